// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/text_source.hpp"

#include <algorithm>
#include <cstring>

#include "common/freefmt.hpp"

namespace hv {

bool TextSource::fill() {
  if (eof_) return false;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ == buf_.size()) buf_.resize(2 * buf_.size());
  const std::streamsize got =
      source_.sgetn(buf_.data() + end_, static_cast<std::streamsize>(buf_.size() - end_));
  if (got <= 0) {
    eof_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  return true;
}

bool TextSource::line(std::string& out, std::size_t width) {
  out.clear();
  std::size_t length = 0;
  char last = 0;
  bool ended = false;
  while (!ended) {
    if (pos_ == end_ && !fill()) break;
    const char* start = buf_.data() + pos_;
    const std::size_t avail = end_ - pos_;
    const auto* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
    const std::size_t n = nl != nullptr ? static_cast<std::size_t>(nl - start) : avail;
    if (out.size() < width) out.append(start, std::min(n, width - out.size()));
    if (n > 0) last = start[n - 1];
    length += n;
    pos_ += n;
    if (nl != nullptr) {
      ++pos_;
      ended = true;
    }
  }
  if (!ended && length == 0) return false;
  if (last == '\r' && length <= width) out.pop_back();
  return true;
}

TextSource::Sample TextSource::sample(std::array<float, 3>& v) {
  bool after_value = false;
  std::size_t got = 0;
  while (got < 3) {
    if (pos_ == end_ && !fill()) return Sample::end_of_file;
    const char c = buf_[pos_];
    if (c == ' ' || c == '\n') {
      ++pos_;
      continue;
    }
    if (c == ',') {
      if (!after_value) return Sample::bad_value;
      after_value = false;
      ++pos_;
      continue;
    }
    if (c == '/') return Sample::bad_value;
    // The last byte in the buffer is looked at only once the next one is known, so
    // that a carriage return can be told apart from one that ends the line.
    std::size_t length = 0;
    for (;;) {
      const std::size_t limit = eof_ ? end_ : end_ - 1;
      std::size_t e = pos_ + length;
      while (e < limit && !ends_value(e)) ++e;
      length = e - pos_;
      if (e < limit || eof_ || length > max_value) break;
      fill();
    }
    if (length > max_value) return Sample::bad_value;
    if (length == 0) {  // a carriage return that ends the line
      ++pos_;
      continue;
    }
    const auto value = parse_real({buf_.data() + pos_, length});
    if (!value) return Sample::bad_value;
    v[got++] = *value;
    after_value = true;
    pos_ += length;
  }
  for (;;) {
    if (pos_ == end_ && !fill()) return Sample::ok;
    const char* start = buf_.data() + pos_;
    const auto* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
    if (nl != nullptr) {
      pos_ += static_cast<std::size_t>(nl - start) + 1;
      return Sample::ok;
    }
    pos_ = end_;
  }
}

}  // namespace hv

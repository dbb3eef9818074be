// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/text_source.hpp"

#include <algorithm>

#include "common/freefmt.hpp"

namespace hv {

bool TextSource::line(std::string& out, std::size_t width) {
  out.clear();
  skip_pending_lf();
  std::size_t length = 0;
  bool ended = false;
  while (!ended) {
    if (pos_ == end_ && !fill()) break;
    const char* start = buf_.data() + pos_;
    const std::size_t avail = end_ - pos_;
    const char* eol = find_line_end(start, avail);
    const auto n = static_cast<std::size_t>(eol - start);
    // Only the characters the format can use are kept: a long line costs no memory.
    if (out.size() < width) out.append(start, std::min(n, width - out.size()));
    length += n;
    pos_ += n;
    if (n < avail) {
      consume_line_end();
      ended = true;
    }
  }
  return ended || length > 0;
}

TextSource::Sample TextSource::sample(std::array<float, 3>& v) {
  bool after_value = false;
  std::size_t got = 0;
  while (got < 3) {
    if (pos_ == end_ && !fill()) return Sample::end_of_file;
    const char c = buf_[pos_];
    if (c == ' ' || c == '\n' || c == '\r') {
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
    const std::size_t length = value_length(max_value, ends_value);
    if (length > max_value) return Sample::bad_value;
    const auto value = parse_real({buf_.data() + pos_, length});
    if (!value) return Sample::bad_value;
    v[got++] = *value;
    after_value = true;
    pos_ += length;
  }
  for (;;) {
    if (pos_ == end_ && !fill()) return Sample::ok;
    const char* start = buf_.data() + pos_;
    const char* eol = find_line_end(start, end_ - pos_);
    if (eol != buf_.data() + end_) {
      pos_ += static_cast<std::size_t>(eol - start);
      consume_line_end();
      return Sample::ok;
    }
    pos_ = end_;
  }
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/gse_lines.hpp"

#include <cstdint>
#include <cstring>
#include <optional>

namespace hv {

namespace {

std::string_view without_cr(const char* start, std::size_t length) {
  if (length > 0 && start[length - 1] == '\r') --length;
  return {start, length};
}

// An optional sign and decimal digits that fit 32 bits: what the free-format read
// takes as an integer, without the cost of a general conversion per sample.
std::optional<std::int32_t> to_int(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
  if (i == text.size() || text.size() - i > 10) return std::nullopt;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    const auto d = static_cast<unsigned>(text[i] - '0');
    if (d > 9) return std::nullopt;
    v = v * 10 + d;
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

}  // namespace

bool GseLines::line(std::string_view& out) {
  cut_ = false;
  after_value_ = false;
  std::size_t scanned = 0;  // bytes after pos_ known to hold no newline
  for (;;) {
    const char* start = buf_.data() + pos_;
    const auto* nl =
        static_cast<const char*>(std::memchr(start + scanned, '\n', end_ - pos_ - scanned));
    if (nl != nullptr) {
      const auto length = static_cast<std::size_t>(nl - start);
      if (length > max_line) {
        out = cut_line();
        return true;
      }
      out = without_cr(start, length);
      pos_ += length + 1;
      return true;
    }
    scanned = end_ - pos_;
    if (scanned > max_line) {
      out = cut_line();
      return true;
    }
    if (!fill()) break;
  }
  if (scanned == 0) return false;
  out = without_cr(buf_.data() + pos_, scanned);
  pos_ = end_;
  return true;
}

std::string_view GseLines::cut_line() {
  cut_ = true;
  long_line_.assign(buf_.data() + pos_, buf_.data() + pos_ + max_line);
  for (;;) {
    const char* start = buf_.data() + pos_;
    const auto* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
    if (nl != nullptr) {
      pos_ += static_cast<std::size_t>(nl - start) + 1;
      break;
    }
    pos_ = end_;
    if (!fill()) break;
  }
  return {long_line_.data(), long_line_.size()};
}

GseLines::Read GseLines::next_int(std::int32_t& value) {
  for (;;) {
    if (pos_ == end_ && !fill()) return Read::end;
    const char c = buf_[pos_];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      ++pos_;
      continue;
    }
    if (c == ',') {
      if (!after_value_) return Read::bad;
      after_value_ = false;
      ++pos_;
      continue;
    }
    if (c == '/') return Read::bad;
    if (quick_int(value)) return Read::value;
    const std::size_t length = value_length(max_value, separates);
    if (length > max_value) return Read::bad;
    const auto v = to_int({buf_.data() + pos_, length});
    if (!v) return Read::bad;
    value = *v;
    pos_ += length;
    after_value_ = true;
    return Read::value;
  }
}

bool GseLines::quick_int(std::int32_t& value) {
  const char* p = buf_.data() + pos_;
  const char* const end = buf_.data() + end_;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  const char* const digits = p;
  std::int64_t v = 0;
  while (p < end && p - digits < 11 && static_cast<unsigned>(*p - '0') <= 9) {
    v = v * 10 + (*p++ - '0');
  }
  // Anything unusual (no digits, too many, a value cut by the end of the buffer, a
  // character that is not a separator) goes the careful way.
  if (p == digits || p - digits > 10 || p == end || !separates(*p)) return false;
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<std::int32_t>(v);
  pos_ = static_cast<std::size_t>(p - buf_.data());
  after_value_ = true;
  return true;
}

void GseLines::skip_line() {
  after_value_ = false;
  for (;;) {
    const char* start = buf_.data() + pos_;
    const auto* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
    if (nl != nullptr) {
      pos_ += static_cast<std::size_t>(nl - start) + 1;
      return;
    }
    pos_ = end_;
    if (!fill()) return;
  }
}

}  // namespace hv

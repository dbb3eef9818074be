// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/freefmt.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace hv {

namespace {

bool ends_value(char c) {
  return c == ' ' || c == ',' || c == '/';
}

std::string_view first_value(std::string_view text) {
  const std::size_t p = text.find_first_not_of(' ');
  if (p == std::string_view::npos) return {};
  std::size_t e = p;
  while (e < text.size() && !ends_value(text[e])) ++e;
  return text.substr(p, e - p);
}

// Checks the shape sign? digits [. digits] [(E|D) sign? digits] and copies the value
// into buf with a D exponent turned into E and a leading plus dropped, the form that
// std::from_chars accepts. buf holds at least v.size() characters. Returns the length,
// or 0 when the shape is wrong.
std::size_t normalise_real(std::string_view v, char* buf) {
  if (v.empty()) return 0;
  std::size_t i = 0, n = 0;
  if (v[i] == '+' || v[i] == '-') {
    if (v[i] == '-') buf[n++] = '-';
    ++i;
  }
  std::size_t digits = 0;
  bool point = false;
  for (; i < v.size(); ++i) {
    const char c = v[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
    buf[n++] = c;
  }
  if (digits == 0) return 0;
  if (i < v.size()) {
    const char c = v[i];
    if (c != 'E' && c != 'e' && c != 'D' && c != 'd') return 0;
    buf[n++] = 'E';
    ++i;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) buf[n++] = v[i++];
    std::size_t exp_digits = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i, ++exp_digits) buf[n++] = v[i];
    if (exp_digits == 0 || i != v.size()) return 0;
  }
  return n;
}

// Decimal order of magnitude of a normalised non-zero real: the value lies in
// [10^(m-1), 10^m). Saturates far outside any floating-point range.
long magnitude(std::string_view v) {
  const std::size_t e = v.find('E');
  const std::string_view mantissa = v.substr(0, e);
  long m = 0;
  bool seen_point = false, seen_digit = false;
  for (const char c : mantissa) {
    if (c == '.') {
      seen_point = true;
    } else if (c >= '1' && c <= '9' && !seen_digit) {
      seen_digit = true;
      if (seen_point) break;
      ++m;
    } else if (c >= '0' && c <= '9') {
      if (seen_digit && !seen_point) ++m;
      if (!seen_digit && seen_point) --m;
    }
  }
  if (e == std::string_view::npos) return m;
  long exp = 0;
  std::size_t i = e + 1;
  const bool neg = i < v.size() && v[i] == '-';
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
  for (; i < v.size(); ++i) exp = std::min(exp * 10 + (v[i] - '0'), 100000L);
  return m + (neg ? -exp : exp);
}

template <typename T>
std::optional<T> parse_floating(std::string_view value) {
  // Numbers are short in practice; only an unusually long one needs the heap.
  std::array<char, 64> small;
  std::string large;
  char* buf = small.data();
  if (value.size() > small.size()) {
    large.resize(value.size());
    buf = large.data();
  }
  const std::size_t n = normalise_real(value, buf);
  if (n == 0) return std::nullopt;
  const std::string_view text(buf, n);
  T out{};
  const auto [end, ec] = std::from_chars(buf, buf + n, out);
  if (end != buf + n) return std::nullopt;
  if (ec == std::errc::result_out_of_range && magnitude(text) <= 0) {
    // Too small for the type: it rounds to zero, as the arithmetic itself would.
    return text.front() == '-' ? -T{0} : T{0};
  }
  if (ec != std::errc{} || !std::isfinite(out)) return std::nullopt;
  return out;
}

}  // namespace

std::optional<float> parse_real(std::string_view value) {
  return parse_floating<float>(value);
}
std::optional<double> parse_double(std::string_view value) {
  return parse_floating<double>(value);
}

std::optional<int> parse_int(std::string_view value) {
  if (!value.empty() && value.front() == '+') {
    value.remove_prefix(1);
    // from_chars takes a minus sign itself, so "+-5" would slip through.
    if (!value.empty() && (value.front() == '+' || value.front() == '-')) return std::nullopt;
  }
  if (value.empty()) return std::nullopt;
  int out = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), out);
  if (ec != std::errc{} || end != value.data() + value.size()) return std::nullopt;
  return out;
}

std::optional<float> read_real(std::string_view text) {
  return parse_real(first_value(text));
}
std::optional<double> read_double(std::string_view text) {
  return parse_double(first_value(text));
}
std::optional<int> read_int(std::string_view text) {
  return parse_int(first_value(text));
}

ListScanner::Item ListScanner::next(std::string_view& value) {
  for (;;) {
    const std::size_t p = rest_.find_first_not_of(' ');
    if (p == std::string_view::npos) {
      rest_ = {};
      return Item::end_of_line;
    }
    rest_.remove_prefix(p);
    const char c = rest_.front();
    if (c == '/') {
      rest_ = {};
      return Item::slash;
    }
    if (c == ',') {
      rest_.remove_prefix(1);
      if (state_ == State::after_value) {
        state_ = State::after_comma;
        continue;
      }
      state_ = State::after_comma;
      return Item::null;
    }
    std::size_t e = 0;
    while (e < rest_.size() && !ends_value(rest_[e])) ++e;
    value = rest_.substr(0, e);
    rest_.remove_prefix(e);
    state_ = State::after_value;
    return Item::value;
  }
}

}  // namespace hv

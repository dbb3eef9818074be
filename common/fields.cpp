// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/fields.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace hv {

namespace {

std::string stars(int w) {
  return std::string(static_cast<std::size_t>(std::max(w, 0)), '*');
}

std::string right(std::string_view text, int w) {
  if (static_cast<int>(text.size()) > w) return stars(w);
  return std::string(static_cast<std::size_t>(w) - text.size(), ' ') + std::string(text);
}

// NaN and infinities, shortened to Inf when Infinity does not fit.
std::string non_finite(double value, int w) {
  if (std::isnan(value)) return right("NaN", w);
  const bool neg = value < 0;
  std::string text = neg ? "-Infinity" : "Infinity";
  if (static_cast<int>(text.size()) > w) text = neg ? "-Inf" : "Inf";
  return right(text, w);
}

// printf with a buffer sized to the result, so that no width or precision truncates.
template <typename... Args>
std::string printed(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
  std::snprintf(out.data(), out.size() + 1, format, args...);
  return out;
}

// The leading zero of a magnitude below one is optional and dropped when the field is
// one character short.
void drop_leading_zero(std::string& text, int w) {
  if (static_cast<int>(text.size()) <= w) return;
  if (text.rfind("0.", 0) == 0) {
    text.erase(0, 1);
  } else if (text.rfind("-0.", 0) == 0) {
    text.erase(1, 1);
  }
}

}  // namespace

// The digits are those of printf: correctly rounded from the binary value, so a value
// exactly half-way (0.125 to 2 decimals) goes to the even digit.
std::string fmt_F(double value, int w, int d) {
  if (!std::isfinite(value)) return non_finite(value, w);
  if (d < 0) return stars(w);
  // A field without decimals still shows its decimal point ("3.").
  std::string text = printed("%#.*f", d, value);
  drop_leading_zero(text, w);
  return right(text, w);
}

std::string fmt_E(double value, int w, int d) {
  if (!std::isfinite(value)) return non_finite(value, w);
  if (d < 1) return stars(w);
  // to_chars gives the correctly rounded digits d.ddd...e±x (as printf's %.*e does,
  // without printf's cost, which is large in a process that registered printf
  // handlers); the field shows them as 0.dddd...E±(x+1).
  std::string buf(static_cast<std::size_t>(d) + 16, '\0');
  const auto done = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                                  std::chars_format::scientific, d - 1);
  buf.resize(static_cast<std::size_t>(done.ptr - buf.data()));
  std::string digits;
  std::size_t p = 0;
  for (; buf[p] != 'e'; ++p) {
    if (buf[p] != '.') digits += buf[p];
  }
  int exponent = std::atoi(buf.c_str() + p + 1) + 1;
  if (value == 0.0) exponent = 0;
  std::string text = std::signbit(value) && value != 0.0 ? "-0." : "0.";
  text += digits;
  const int mag = std::abs(exponent);
  // Exponents beyond two digits take the place of the letter E.
  if (mag <= 99) text += 'E';
  text += exponent < 0 ? '-' : '+';
  if (mag > 99) text += static_cast<char>('0' + mag / 100 % 10);
  text += static_cast<char>('0' + mag / 10 % 10);
  text += static_cast<char>('0' + mag % 10);
  drop_leading_zero(text, w);
  return right(text, w);
}

std::string fmt_I(long long value, int w) {
  return right(std::to_string(value), w);
}

std::string free_real(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

}  // namespace hv

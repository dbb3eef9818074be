// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/fields.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace hv {

namespace {

std::string stars(int w) { return std::string(static_cast<std::size_t>(std::max(w, 0)), '*'); }

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

}  // namespace

std::string fmt_F(double value, int w, int d) {
  if (!std::isfinite(value)) return non_finite(value, w);
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", d, value);
  std::string text(buf);
  if (static_cast<int>(text.size()) > w) {
    // The leading zero of a value below one is optional and dropped when tight.
    if (text.rfind("0.", 0) == 0) text.erase(0, 1);
    else if (text.rfind("-0.", 0) == 0) text.erase(1, 1);
  }
  return right(text, w);
}

std::string fmt_E(double value, int w, int d) {
  if (!std::isfinite(value)) return non_finite(value, w);
  if (d < 1) return stars(w);
  // printf gives the correctly rounded digits d.ddd...e±x; the field shows them as
  // 0.dddd...E±(x+1).
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", d - 1, std::fabs(value));
  std::string digits;
  const char* p = buf;
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits += *p;
  }
  int exponent = std::atoi(p + 1) + 1;
  if (value == 0.0) exponent = 0;
  std::string text = std::signbit(value) && value != 0.0 ? "-0." : "0.";
  text += digits;
  const int mag = std::abs(exponent);
  char ebuf[16];
  if (mag <= 99) {
    std::snprintf(ebuf, sizeof ebuf, "E%c%02d", exponent < 0 ? '-' : '+', mag);
  } else {
    std::snprintf(ebuf, sizeof ebuf, "%c%03d", exponent < 0 ? '-' : '+', mag);
  }
  text += ebuf;
  return right(text, w);
}

std::string fmt_I(long long value, int w) { return right(std::to_string(value), w); }

std::string free_real(float value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed-field writers and free-format lines: every result file and message is
// written through these.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>

namespace hv {

// All fields are right-aligned; a value that does not fit fills its field with
// asterisks, the leading zero of a magnitude below one being dropped first. Digits are
// correctly rounded from the binary value (an exact half goes to the even digit).
// NaN and infinities are written as NaN, Infinity or -Infinity (Inf, -Inf when the
// field is narrower).

// Fixed-point field of width w with d decimals (0.5 as "   0.500" in width 8).
std::string fmt_F(double value, int w, int d);
// Exponent field of width w with d significant digits in the 0.1234567E+01 form; an
// exponent beyond two digits replaces the letter (0.1500000+101).
std::string fmt_E(double value, int w, int d);
// Integer field of width w.
std::string fmt_I(long long value, int w);

// A real in free format: the shortest text that reads back as the same single
// precision value.
std::string free_real(float value);

namespace detail {
inline void put_piece(std::string& out, std::string_view text) {
  out += text;
}
inline void put_piece(std::string& out, char c) {
  out += c;
}
template <typename T>
requires std::is_arithmetic_v<T>
void put_piece(std::string& out, T value) {
  out += ' ';
  if constexpr (std::is_floating_point_v<T>) {
    out += free_real(static_cast<float>(value));
  } else {
    out += std::to_string(value);
  }
}
}  // namespace detail

// Joins the pieces of a free-format line: texts as they stand, numbers in free
// format after one blank.
template <typename... Pieces>
std::string free_text(const Pieces&... pieces) {
  std::string out;
  (detail::put_piece(out, pieces), ...);
  return out;
}

// Writes one free-format line: a blank, then the pieces.
template <typename... Pieces>
void free_line(std::ostream& os, const Pieces&... pieces) {
  os << ' ' << free_text(pieces...) << '\n';
}

}  // namespace hv

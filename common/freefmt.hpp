// SPDX-License-Identifier: GPL-3.0-or-later
// The free-format numeric read used wherever a number is read from text.
#pragma once

#include <optional>
#include <string_view>

namespace hv {

// Reads the first value of a text: leading blanks are skipped and the value ends at a
// blank, a comma, a slash or the end of the text. Reals take an optional sign, digits
// with an optional decimal point and an optional exponent (E or D); integers an
// optional sign and digits. A blank text, a malformed value or one out of range gives
// no value, so that a caller can never go on with a made-up number.
std::optional<float> read_real(std::string_view text);
std::optional<double> read_double(std::string_view text);
std::optional<int> read_int(std::string_view text);

// Parses a complete value text (no separators around it).
std::optional<float> parse_real(std::string_view value);
std::optional<double> parse_double(std::string_view value);
std::optional<int> parse_int(std::string_view value);

// Walks a line of free-format input item by item. Values are separated by blanks, by
// one comma (blanks around it allowed) or by the line end; a comma that follows
// another comma, or opens the read, stands for a null value; a slash ends the read.
// The scanner remembers across lines whether a comma is pending, so one read may
// span several lines: call feed() with each next line.
class ListScanner {
 public:
  enum class Item { value, null, slash, end_of_line };

  ListScanner() = default;
  explicit ListScanner(std::string_view line) : rest_(line) {}
  void feed(std::string_view line) { rest_ = line; }
  // Next item of the current line; for Item::value, value holds its text.
  Item next(std::string_view& value);

 private:
  enum class State { start, after_value, after_comma };
  std::string_view rest_;
  State state_ = State::start;
};

}  // namespace hv

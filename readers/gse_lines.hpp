// SPDX-License-Identifier: GPL-3.0-or-later
// Buffered line and free-format integer input for GSE messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <streambuf>
#include <string_view>
#include <vector>

#include "readers/block_reader.hpp"

namespace hv {

// Reads a text in large blocks and hands out whole lines or free-format integers,
// without a copy per line. Memory stays bounded whatever the text holds: a line
// longer than max_line is cut there and the rest of it skipped.
class GseLines : private BlockReader {
 public:
  static constexpr std::size_t max_line = std::size_t{4} << 20;

  explicit GseLines(std::streambuf& source) : BlockReader(source) {}

  // The next line without its line end; a carriage return before the newline (or
  // before the end of the text) is dropped too, so that files written with CR LF
  // read the same. The view stays valid until the next call. False at the end of the
  // text.
  bool line(std::string_view& out);
  // True when the last line given was cut at max_line.
  bool cut() const { return cut_; }

  enum class Read { value, end, bad };
  // The next value of a free-format integer read that may go on over several lines:
  // values are separated by blanks, tabs, line ends or one comma. A null value (a
  // comma after a comma), a slash, a value that is not a 32-bit integer: bad.
  Read next_int(std::int32_t& value);
  // Leaves the rest of the current line, so that the next line() starts after it.
  void skip_line();

 private:
  // A longer integer value is refused rather than gathered.
  static constexpr std::size_t max_value = 64;

  // The integer at pos_ when it is plainly one and ends inside the buffer; false
  // leaves everything as it was.
  bool quick_int(std::int32_t& value);
  // Keeps the first max_line bytes of the current line apart and skips the rest.
  std::string_view cut_line();
  static bool separates(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == '/';
  }

  std::vector<char> long_line_;
  bool cut_ = false;
  bool after_value_ = false;  // a comma here separates, it is not a null value
};

}  // namespace hv

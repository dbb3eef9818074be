// SPDX-License-Identifier: GPL-3.0-or-later
// Buffered reading of a recording's text: header lines cut to a fixed width, and
// free-format samples of three values each.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <streambuf>
#include <string>
#include <vector>

#include "readers/block_reader.hpp"

namespace hv {

// Reads a file in large blocks. Memory stays bounded whatever the file holds: long
// lines are skipped rather than stored, and a sample value longer than one block is
// refused.
class TextSource : private BlockReader {
 public:
  explicit TextSource(std::streambuf& source) : BlockReader(source) {}

  // Next line cut to its first `width` characters, without its line end: a newline, a
  // carriage return, or the two together. False at the end of the file.
  bool line(std::string& out, std::size_t width);

  enum class Sample { ok, end_of_file, bad_value };
  // One free-format read of three reals starting at the current line: values are
  // separated by blanks, one comma or line ends, and the read goes on over as many
  // lines as it needs; the rest of the line holding the third value is skipped.
  // end_of_file when the file ends before the third value; bad_value for a value that
  // is not a finite number, and for a null value or a slash, which would leave a
  // sample undefined.
  Sample sample(std::array<float, 3>& v);

 private:
  static constexpr std::size_t max_value = block;

  static bool ends_value(char c) {
    return c == ' ' || c == ',' || c == '/' || c == '\n' || c == '\r';
  }
  static const char* find_line_end(const char* start, std::size_t avail) {
    return std::find_if(start, start + avail, [](char c) { return c == '\n' || c == '\r'; });
  }
  // Steps over the line end at pos_; a newline right after a carriage return belongs
  // to the same line end and is skipped when the next read starts.
  void consume_line_end() {
    lf_pending_ = buf_[pos_] == '\r';
    ++pos_;
  }
  void skip_pending_lf() {
    if (!lf_pending_) return;
    lf_pending_ = false;
    if ((pos_ < end_ || fill()) && buf_[pos_] == '\n') ++pos_;
  }

  bool lf_pending_ = false;
};

}  // namespace hv

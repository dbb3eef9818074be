// SPDX-License-Identifier: GPL-3.0-or-later
// Line input for the text files of both programs.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>

namespace hv {

// True when path names a regular file. Input files must be: a directory reads as
// empty, and a device or pipe can hold a line that never ends.
bool is_regular_input(std::string_view path);

// The most characters of a line that any of our text formats uses (the window file
// reads 1000); the rest of a longer line is skipped without being stored.
inline constexpr std::size_t line_kept = 1000;

// Reads the next line without its line end, which is a newline, a carriage return or
// the two together, so that files written on any system read the same. Only the first
// `keep` characters are stored: a file without line ends costs no memory. False at
// the end of the file.
bool read_line(std::istream& in, std::string& line, std::size_t keep = line_kept);

// Skips the UTF-8 byte-order mark that some editors put at the start of a text file,
// so that it becomes neither part of the first path nor hides the first keyword. Call
// it at the start of the stream; anything else is left unread.
inline constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
void skip_byte_order_mark(std::istream& in);

}  // namespace hv

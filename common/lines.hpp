// SPDX-License-Identifier: GPL-3.0-or-later
// Line input for the text files of both programs.
#pragma once

#include <istream>
#include <string>
#include <string_view>

namespace hv {

// True when path names a regular file. Input files must be: a directory reads as
// empty, and a device or pipe can hold a line that never ends.
bool is_regular_input(std::string_view path);

// Reads the next line without its line end (a carriage return before the newline is
// dropped too, so files edited on other systems read the same). False at the end of
// the file.
bool read_line(std::istream& in, std::string& line);

}  // namespace hv

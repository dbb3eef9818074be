// SPDX-License-Identifier: GPL-3.0-or-later
// Line input for the text files of both programs.
#pragma once

#include <istream>
#include <string>

namespace hv {

// Reads the next line without its line end (a carriage return before the newline is
// dropped too, so files edited on other systems read the same). False at the end of
// the file.
bool read_line(std::istream& in, std::string& line);

}  // namespace hv

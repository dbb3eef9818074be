// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line words and the file-existence test shared by both programs.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "common/text.hpp"

namespace hv {

// The command-line arguments (program name not included) as 200-character words;
// longer arguments are cut to 200. Returns the count.
int GUW8(std::span<const std::string> args, std::vector<Name>& words);

// True when no file of that name exists (trailing blanks of the name ignored).
bool CKESFI(const Name& name);

}  // namespace hv

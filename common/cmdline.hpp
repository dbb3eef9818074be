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

// The first argument whose name (trailing blanks aside) is longer than 200 characters,
// or nullptr. Such a name cannot be held without cutting it, and a cut name may reach
// another file.
const std::string* overlong_name(std::span<const std::string> args);

// True when no file of that name exists (trailing blanks of the name ignored).
bool CKESFI(const Name& name);

}  // namespace hv

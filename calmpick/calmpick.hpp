// SPDX-License-Identifier: GPL-3.0-or-later
// The calmpick program behind its entry function.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace hv {

// Runs calmpick with the given arguments (program name not included), writing every
// console line to console. Returns the exit status: 0 done (also after a usage
// error or a missing input file), 200 a recording cannot be read, 210 the window
// length does not fit the storage, 220 the parameter file cannot be read as nine
// values or holds refused values, 230 a file cannot be opened, created or written,
// 240 a list path is longer than 198 characters.
int calmpick_run(std::span<const std::string> args, std::ostream& console);

}  // namespace hv

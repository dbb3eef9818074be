// SPDX-License-Identifier: GPL-3.0-or-later
// The calmpick program behind its entry function.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace hv {

// Runs calmpick with the given arguments (program name not included), writing every
// console line to console. Returns the exit status: 0, 200 or 210.
int calmpick_run(std::span<const std::string> args, std::ostream& console);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// The ratiospec program behind its entry function.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace hv {

struct StageTimes;

// Runs ratiospec with the given arguments (program name not included), writing
// every console line to console. Returns the exit status: 0 clean, 1 warnings, 2 error.
// When times is given, the seconds spent reading, transforming and smoothing are
// added to it (for the benchmarks).
int ratiospec_run(std::span<const std::string> args, std::ostream& console,
                  StageTimes* times = nullptr);

}  // namespace hv

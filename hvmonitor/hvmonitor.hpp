// SPDX-License-Identifier: GPL-3.0-or-later
// hvmonitor: the H/V of a miniSEED archive block by block.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace hv {

// Exit statuses.
inline constexpr int monitor_done = 0;
inline constexpr int monitor_usage = 1;        // not four arguments
inline constexpr int monitor_parameters = 20;  // a parameter file or HV_THREADS refused
inline constexpr int monitor_archive = 30;     // the list or its files refused
inline constexpr int monitor_files = 40;       // an input missing, an output not writable

// Runs hvmonitor list_file calmpick_parameters ratiospec_parameters output_file and
// returns the exit status.
int hvmonitor_run(std::span<const std::string> args, std::ostream& console);

}  // namespace hv

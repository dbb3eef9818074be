// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "common/text.hpp"

namespace hv {

// Takes the window, parameter and output file names from the command line and
// checks that both input files exist. Returns 0, or 1 after printing why.
int GCMLN(std::span<const std::string> args, Name& window_file, Name& parameter_file,
          Name& output_file, std::ostream& console);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// calmpick's command line.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "common/text.hpp"

namespace hv {

// Takes the list, parameter and output file names from the command line. Returns 0,
// 1 (wrong word count, after the usage lines), 3 (a missing input file, after the
// not-found lines of both inputs) or 2 (the output file exists and will be
// overwritten, after the warning lines).
int GCMLNW(std::span<const std::string> args, Name& list_file, Name& parameters_file,
           Name& output_file, std::ostream& console);

}  // namespace hv

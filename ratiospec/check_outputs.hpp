// SPDX-License-Identifier: GPL-3.0-or-later
// Checks on the result names of a run, made before any recording is read.
#pragma once

#include <ostream>

#include "common/text.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Refuses (status 1, after a message) a result name that is longer than 200
// characters or that is the same file as an input of the run (the window file, the
// parameter file or a recording), and an output folder that cannot take a file.
// Every name the options make the run write is checked: the H/V file and its _sp,
// _KAF_fi and per-window files.
int CHECK_OUTPUTS(const Name& output_file, const Name& window_file, const Name& parameter_file,
                  const WINDOWS& windows, const HvOptions& options, std::ostream& console);

}  // namespace hv

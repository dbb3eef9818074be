// SPDX-License-Identifier: GPL-3.0-or-later
// The result files of a finished computation, written as a ratiospec run writes them,
// for front ends that computed without a window file (the Python package).
#pragma once

#include <ostream>

#include "common/text.hpp"
#include "hvlib/hv_compute.hpp"
#include "readers/records.hpp"

namespace hv {

// Writes the H/V file output_file, and as the options ask its _sp, per-window and _az
// files, from a result that went through (windows: one entry per window with its
// labels, Tmax set). All or nothing: the files reach their names together, and none
// does after an error. Returns 0, 2 after label warnings, or 1; console gets
// ratiospec's message lines.
int write_results(const Name& output_file, const HvResult& result, const WINDOWS& windows,
                  const PARAMETERS& par, const HvOptions& options, std::ostream& console);

}  // namespace hv

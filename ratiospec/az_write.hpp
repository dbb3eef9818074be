// SPDX-License-Identifier: GPL-3.0-or-later
// The result file of the H/V per azimuth.
#pragma once

#include <ostream>

#include "common/glun.hpp"
#include "hvlib/hv_compute.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Writes the output name + "_az": the header of the averaged H/V file (windows, the
// rejection lines when windows were rejected, options, counts and labels), one line per
// azimuth with its Fo and band, the column header, then for the valid rows the
// frequency and the geometric-mean ratio of every azimuth (result.azimuths must be set). Returns 0,
// or 1 after an error message.
int AZ_WRITE(const Name& output_file, const HvResult& result, const WINDOWS& windows,
             const PARAMETERS& par, UnitTable& units, std::ostream& console);

}  // namespace hv

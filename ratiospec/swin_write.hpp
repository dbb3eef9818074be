// SPDX-License-Identifier: GPL-3.0-or-later
// The per-window result file.
#pragma once

#include <array>
#include <ostream>
#include <span>
#include <string>

#include "common/glun.hpp"
#include "hvlib/hv_compute.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Writes the file of window w, named output name + "_win_" + w with at least three digits: the
// window's ratios (merged H/V, component 2 / vertical, component 3 / vertical) and
// its smoothed spectra over the valid rows. unit is the unit number taken once for all windows.
// Returns 0, or 1 after an error message.
int SWIN_WRITE(UnitTable& units, int unit, const Name& output_file, int w, const HvResult& result,
               const WINDOWS& windows, const PARAMETERS& par, std::ostream& console);

}  // namespace hv

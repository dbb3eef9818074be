// SPDX-License-Identifier: GPL-3.0-or-later
// Per-window spectral ratios and, when asked, the per-window result files.
#pragma once

#include <span>

#include "ratiospec/ckerr.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"
#include "spectral/matrices.hpp"

namespace hv {

// Turns every window's smoothed spectra into ratios over the vertical (merged
// horizontal, component 2, component 3) in place and writes the per-window files
// when single_win_out asks for them. S1..S3 receive each window's spectra before the
// merge overwrites them; merged lends its space to the merged horizontal spectrum.
// Every step is checked at once with CKERR. Returns 0, or 1 after an error message.
int GEL_HV(RunControl& run, const Name& output_file, WindowMatrices& O, std::span<const float> f,
           std::span<float> merged, int nwin, std::span<float> S1, std::span<float> S2,
           std::span<float> S3, RowRange rows, const WINDOWS& windows, const PARAMETERS& par);

}  // namespace hv

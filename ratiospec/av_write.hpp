// SPDX-License-Identifier: GPL-3.0-or-later
// The averaged result files: the H/V file and the averaged spectra file.
#pragma once

#include <ostream>

#include "common/glun.hpp"
#include "hvlib/hv_compute.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Writes the H/V file (mode 0, named as the output file) or the averaged spectra file
// (mode 1, output name + "_sp"; its Fo is not written): header documenting windows
// and options, then the valid rows of the grid, the three means and the three
// deviations of the ratios (mode 0) or the spectra (mode 1). When windows were
// rejected, the header says which after the window lines. Returns 0, 2 when label
// warnings were given, or 1 after an error message.
int AV_WRITE(int mode, const Name& output_file, const HvResult& result, const WINDOWS& windows,
             const PARAMETERS& par, UnitTable& units, std::ostream& console);

}  // namespace hv

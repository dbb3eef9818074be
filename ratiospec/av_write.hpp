// SPDX-License-Identifier: GPL-3.0-or-later
// The averaged result files: the H/V file and the averaged spectra file.
#pragma once

#include <array>
#include <ostream>
#include <span>

#include "common/glun.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"
#include "spectral/comp_f0.hpp"
#include "spectral/matrices.hpp"
#include "spectral/window_rejection.hpp"

namespace hv {

// Writes the H/V file (mode 0, named as the output file) or the averaged spectra file
// (mode 1, output name + "_sp"): header documenting windows and options, then rows
// jfirst..jlast (1-based) of f, the three means and the three deviations. When windows
// were rejected, the header says which after the window lines. Returns 0, 2 when label
// warnings were given, or 1 after an error message.
int AV_WRITE(int mode, const Name& output_file, std::span<const float> f, const Triple& mean,
             int nfreq, const Triple& sd, const FoBand& fo, RowRange rows, const WINDOWS& windows,
             const PARAMETERS& par, UnitTable& units, std::ostream& console,
             const WindowRejection* rejection = nullptr);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// The averaged result files: the H/V file and the averaged spectra file.
#pragma once

#include <array>
#include <ostream>
#include <span>

#include "common/glun.hpp"
#include "ratiospec/records.hpp"

namespace hv {

// Three columns over the output grid (means or deviations of components 1, 2, 3).
using Triple = std::array<std::span<const float>, 3>;

// Fo and its band of one standard deviation (-9 when Fo was not found).
struct FoBand {
  float minus = -9.0f;
  float fo = -9.0f;
  float plus = -9.0f;
};

// Writes the H/V file (mode 0, named as the output file) or the averaged spectra file
// (mode 1, output name + "_sp"): header documenting windows and options, then rows
// jfirst..jlast (1-based) of f, the three means and the three deviations. Returns 0,
// 2 when label warnings were given, or 1 after an error message.
int AV_WRITE(int mode, const Name& output_file, std::span<const float> f, const Triple& mean,
             int nfreq, const Triple& sd, const FoBand& fo, int jfirst, int jlast,
             const WINDOWS& windows, const PARAMETERS& par, UnitTable& units,
             std::ostream& console);

}  // namespace hv

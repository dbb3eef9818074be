// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace hv {

// Step df = 1/(N·dt) of the transform grid. It is computed once in double and
// rounded to single precision, and this one value serves the spectra, the output
// grid and the smoothing: computed separately in other precisions the grids can
// differ by one unit in the last place and no longer line up.
inline float frequency_step(int N, float dt) {
  return static_cast<float>(1.0 / (static_cast<double>(N) * static_cast<double>(dt)));
}

}  // namespace hv

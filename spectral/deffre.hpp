// SPDX-License-Identifier: GPL-3.0-or-later
// The output frequency grid on which every smoothed spectrum, ratio and average is given.
#pragma once

#include <ostream>
#include <vector>

#include "common/text.hpp"

namespace hv {

// Capacity of the output grid.
inline constexpr int max_frequencies = 4000000;

// Builds the grid f (nfreq strictly increasing single-precision frequencies, Hz) for a
// transform of length N at sampling interval dt, as the freq_spacing option asks:
//   fft                   k·df, k = 1..N/2
//   fft_red:fmin:fmax     the transform grid between fmin and fmax
//   linear:fmin:fmax:n    n equally spaced values, clipped to [df, fny]
//   log:fmin:fmax:n       n logarithmically spaced values, clipped to [df, fny]
// df is frequency_step(N, dt); the arithmetic is done in double. Returns 0, or 1 after
// printing why the option was refused (f is then empty and nfreq 0).
int DEFFRE(int N, float dt, const Option& freq_spacing, std::vector<float>& f, int& nfreq,
           std::ostream& console);

}  // namespace hv

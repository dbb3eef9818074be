// SPDX-License-Identifier: GPL-3.0-or-later
// The output frequency grid on which every smoothed spectrum, ratio and average is given.
#pragma once

#include <string_view>
#include <vector>

#include "spectral/notice.hpp"

namespace hv {

// Capacity of the output grid.
inline constexpr int max_frequencies = 4000000;

// The freq_spacing option:
//   fft                   k·df, k = 1..N/2
//   fft_red:fmin:fmax     the transform grid between fmin and fmax
//   linear:fmin:fmax:n    n equally spaced values, clipped to [df, fny]
//   log:fmin:fmax:n       n logarithmically spaced values, clipped to [df, fny]
struct GridSpacing {
  enum class Kind { fft, fft_red, linear, log };
  Kind kind = Kind::fft;
  double fmin = 0.0, fmax = 0.0;
  int n = 0;
};

// Reads the option; refuses a form, a field count or a number that no transform could
// make a grid of.
Parsed<GridSpacing> parse_freq_spacing(std::string_view text);

// Builds the grid f (nfreq strictly increasing single-precision frequencies, Hz) for a
// transform of length N at sampling interval dt, as the spacing asks. df is
// frequency_step(N, dt); the arithmetic is done in double. Returns 0, or 1 after
// adding why no grid was made to notes (f is then empty and nfreq 0).
int DEFFRE(int N, float dt, const GridSpacing& spacing, std::vector<float>& f, int& nfreq,
           Notices& notes);

}  // namespace hv

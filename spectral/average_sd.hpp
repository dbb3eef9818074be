// SPDX-License-Identifier: GPL-3.0-or-later
// Averages of per-window columns over the windows, row by row, with their deviations.
#pragma once

#include <span>

namespace hv {

// X1, X2, X3: nfreq × nwin matrices stored column by column. For rows jfirst..jlast
// (1-based) of each matrix:
//   geometric = 0: mean and standard deviation (0 for one window);
//   geometric = 1: exp of the mean of ln X and the deviation factor exp(s) of ln X,
//                  so that one deviation spans mean/sd .. mean·sd (one window: the value
//                  itself and 1).
// Zero or negative values are taken as the logarithm gives them (-inf, NaN). Returns 0.
int AVERAGE_SD(int geometric, std::span<const float> X1, std::span<const float> X2,
               std::span<const float> X3, std::span<float> mean1, std::span<float> mean2,
               std::span<float> mean3, int nfreq, int nwin, std::span<float> sd1,
               std::span<float> sd2, std::span<float> sd3, int jfirst, int jlast);

}  // namespace hv

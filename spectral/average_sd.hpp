// SPDX-License-Identifier: GPL-3.0-or-later
// Averages of per-window columns over the windows, row by row, with their deviations.
#pragma once

#include <span>

#include "spectral/matrices.hpp"

namespace hv {

// X1, X2, X3: nfreq × nwin matrices stored column by column. For rows jfirst..jlast
// (1-based) of each matrix:
//   geometric = 0: mean and standard deviation (0 for one window);
//   geometric = 1: exp of the mean of ln X and the deviation factor exp(s) of ln X,
//                  so that one deviation spans mean/sd .. mean·sd (one window: the value
//                  itself and 1).
// Zero or negative values are taken as the logarithm gives them (-inf, NaN). Returns 0.
int AVERAGE_SD(int geometric, const Triple& X, int nfreq, int nwin, const OutTriple& mean,
               const OutTriple& sd, RowRange rows);

}  // namespace hv

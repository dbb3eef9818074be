// SPDX-License-Identifier: GPL-3.0-or-later
// The peak picker of the Fo search.
#pragma once

#include <span>

namespace hv {

// Row (1-based) of the highest local maximum strictly between rows ja and jb of column
// `column` (1-based) of the nfreq-row matrix X: X(j) > X(j-1) and X(j) >= X(j+1); the
// first of equal maxima wins. Returns ja when there is none. A NaN compares false, so
// neither a NaN row nor a row beside one is ever taken as a peak.
int KF0(std::span<const float> X, int nfreq, int column, int ja, int jb);

}  // namespace hv

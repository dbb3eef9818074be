// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace hv {

// Removes the mean of each of the three components of a store whose components lie
// stride samples apart, n samples each. The means are taken in double precision.
void RMEAN(float* x, int stride, int n);

}  // namespace hv

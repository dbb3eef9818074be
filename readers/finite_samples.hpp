// SPDX-License-Identifier: GPL-3.0-or-later
// The check every reader makes on its samples once they are scaled: a gain or a
// calibration small enough to overflow turns samples infinite, and an infinite
// sample would give NaN spectra that look like a result.
#pragma once

#include "readers/recording.hpp"

namespace hv {

// Position (1-based) of the first sample (over the three components) that is not
// finite, or 0 when all are.
int first_non_finite(const Recording& rec);

}  // namespace hv

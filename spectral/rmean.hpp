// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <span>

namespace hv {

// The three components of a recording, of one length.
using Components = std::array<std::span<float>, 3>;

// Removes the mean of each of the three components. The means are taken in double
// precision.
void RMEAN(const Components& x);

}  // namespace hv

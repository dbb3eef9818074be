// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <span>

#include "common/text.hpp"

namespace hv {

// Tapers x[0..n) in place as the taper option asks and sets x[n..nfft) to zero.
//   "cos:p"          cosine taper over trunc(n·p/100) samples at each end, 0 <= p <= 50;
//                    the end samples become zero (also when a single sample is tapered)
//   "box", "boxcar"  no taper
// Status 0, or 1 with a message for an option that cannot be used (x is then unchanged)
// or for n, nfft that do not fit x.
int APPLY_TAPER(std::span<float> x, int n, int nfft, const Option& taper, std::ostream& console);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <string_view>

#include "spectral/notice.hpp"

namespace hv {

// The taper option:
//   "cos:p"          cosine taper over trunc(n·p/100) samples at each end, 0 <= p <= 50;
//                    the end samples become zero (also when a single sample is tapered)
//   "box", "boxcar"  no taper
struct Taper {
  bool box = false;
  float percent = 0.0f;
};

Parsed<Taper> parse_taper(std::string_view text);

// Tapers x[0..n) in place and sets x[n..nfft) to zero. Status 0, or 1 with a notice
// when n or nfft do not fit x (x is then unchanged).
int APPLY_TAPER(std::span<float> x, int n, int nfft, const Taper& taper, Notices& notes);

}  // namespace hv

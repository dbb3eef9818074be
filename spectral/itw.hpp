// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

#include "spectral/notice.hpp"

namespace hv {

// Copies the samples of window w (1-based; from start to end seconds after the first
// sample) of one component column holding nsamp valid samples at interval dt into
// out[0..nout); out.size() is the capacity. Window times are rounded to the nearest
// sample, halves to the later one, in single precision. remove_mean removes the
// window's own mean.
// Status: 0 done; 1 the window's sample range lies outside the recording or is empty;
// 3 the window holds more samples than out (both with a notice). nout is set whenever
// both ends were found.
int ITW(std::span<const float> column, int nsamp, float dt, float start, float end, int w,
        bool remove_mean, std::span<float> out, int& nout, Notices& notes);

}  // namespace hv

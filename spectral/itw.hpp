// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <span>

#include "common/text.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Copies the samples of window w (1-based, `win` is its entry) of component c (1..3) of
// the current recording into out[0..nout); out.size() is the capacity. Window times are
// rounded to the nearest sample, halves to the later one, in single precision. When
// offset_rem is "r_mean:win" the window's own mean is removed.
// Status: 0 done; 1 the window's sample range lies outside the recording or is empty;
// 3 the window holds more samples than out. nout is set whenever both ends were found.
int ITW(const WindowEntry& win, int w, int c, const TIMESERIES& ts, const Option& offset_rem,
        std::span<float> out, int& nout, std::ostream& console);

}  // namespace hv

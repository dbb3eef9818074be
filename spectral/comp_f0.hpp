// SPDX-License-Identifier: GPL-3.0-or-later
// The site's fundamental frequency Fo and its band of one standard deviation.
#pragma once

#include <span>

#include "spectral/matrices.hpp"
#include "spectral/notice.hpp"

namespace hv {

// Fo and its band of one standard deviation (-9 when Fo was not found).
struct FoBand {
  float minus = -9.0f;
  float fo = -9.0f;
  float plus = -9.0f;
};

// The peak of the averaged H/V curve HVmean (rows jfirst..jlast, 1-based) fixes a search
// band f0/t .. f0·t (t from 1.5 at 0.2 Hz to 1.25 at 20 Hz); Fo is the geometric mean
// of the peak frequencies of the windows' H/V curves (HVwin, nfreq × nwin, column by
// column) inside that band, and fo.minus .. fo.plus its band of one geometric standard
// deviation. work receives the window peaks (nwin values at most). When Fo cannot be
// found the three outputs are -9. Returns 0, or 2 after adding a warning to notes.
int COMP_F0(std::span<const float> HVwin, std::span<float> work, std::span<const float> HVmean,
            std::span<const float> f, int nfreq, int nwin, RowRange rows, FoBand& fo,
            Notices& notes);

}  // namespace hv

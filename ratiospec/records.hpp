// SPDX-License-Identifier: GPL-3.0-or-later
// The options of a ratiospec run.
#pragma once

#include "common/text.hpp"

namespace hv {

// The processing options, stored as raw text; each consumer interprets its own. The
// last two are optional analyses: blank (their key absent) leaves a run as without them.
struct PARAMETERS {
  Option freq_spacing;
  Option offset_rem;
  Option taper;
  Option instrument_resp;
  Option smooth;
  Option merge_type;
  Option single_component;
  Option average_type;
  Option single_win_out;
  Option average_spectra_out;
  Option filter_out;
  Option window_rejection;  // "frequency:n": frequency-domain rejection of windows
  Option azimuth_step;      // d degrees: H/V per azimuth 0, d, 2d, ... < 180
};

}  // namespace hv

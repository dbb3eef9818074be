// SPDX-License-Identifier: GPL-3.0-or-later
// The options of a ratiospec run.
#pragma once

#include "common/text.hpp"

namespace hv {

// The eleven processing options, stored as raw text; each consumer interprets its own.
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
};

}  // namespace hv

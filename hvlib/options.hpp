// SPDX-License-Identifier: GPL-3.0-or-later
// The processing options of an H/V computation: as given (texts, echoed in the
// result headers) and as read once into typed values.
#pragma once

#include <optional>

#include "common/text.hpp"
#include "spectral/apply_smooth.hpp"
#include "spectral/apply_taper.hpp"
#include "spectral/azimuth.hpp"
#include "spectral/deffre.hpp"
#include "spectral/hps.hpp"
#include "spectral/merge_hv.hpp"
#include "spectral/notice.hpp"
#include "spectral/window_rejection.hpp"

namespace hv {

// The options as texts, with the defaults of a run. The last two are optional
// analyses: blank (their key absent) leaves a run as without them.
struct PARAMETERS {
  Option freq_spacing{"fft"};
  Option offset_rem{"r_mean:all"};
  Option taper{"cos:5"};
  Option instrument_resp;
  Option smooth{"konno-ohmachi:40"};
  Option merge_type{"quadratic"};
  Option single_component;
  Option average_type;
  Option single_win_out{"no"};
  Option average_spectra_out{"no"};
  Option filter_out{"no"};
  Option window_rejection;  // "frequency:n": frequency-domain rejection of windows
  Option azimuth_step;      // d degrees: H/V per azimuth 0, d, 2d, ... < 180
};

// The options read into their types. A refused option holds the notice that says
// why; the computation reports it where the option is first used, so a front end
// that wants every refusal before the work starts asks first_refusal().
struct HvOptions {
  Parsed<GridSpacing> freq_spacing;
  Parsed<Conditioning> offset_rem;
  Parsed<Taper> taper;
  Parsed<Smoothing> smooth;
  Parsed<MergeType> merge_type;
  Parsed<RejectionOption> window_rejection;
  Parsed<AzimuthSet> azimuth_step;
  // Output flags: per-window files unless "no", averaged spectra only on "yes", the
  // filtered recording unless "no".
  bool single_win_out = false;
  bool average_spectra_out = false;
  bool filter_out = false;
  // Warnings on the yes/no options whose first word is neither (they keep the meaning
  // above, which stored parameter files rely on).
  Notices flag_warnings;

  // The refusal of the first refused option, in the order the computation uses them.
  std::optional<Notice> first_refusal() const;
  bool window_mean() const;    // each window's own mean is removed
  bool complex_merge() const;  // the horizontals are transformed as one complex signal
  bool fft_grid() const;       // the grid is the transform's own
};

HvOptions parse_options(const PARAMETERS& par);

}  // namespace hv

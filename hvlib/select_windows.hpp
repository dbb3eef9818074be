// SPDX-License-Identifier: GPL-3.0-or-later
// Calm windows: per-sample acceptance of the STA/LTA ratio and the window search, and
// the whole selection of one recording as a call.
#pragma once

#include <limits>
#include <span>
#include <vector>

#include "hvlib/hv_compute.hpp"
#include "hvlib/selection_parameters.hpp"
#include "readers/recording.hpp"
#include "spectral/notice.hpp"

namespace hv {

// What a sample is tested against. Each test is a single-precision quotient that must
// be at least 1; a quotient that is not a number fails.
struct AcceptanceLimits {
  float ratmin = 0.5f;
  float ratmax = 2.0f;
  bool saturation_test = false;
  float saturation = 0.0f;  // level that amax may reach
  bool lta_test = false;
  float ltathr = 0.0f;
  float lta_mean = 0.0f;
};

bool sample_accepted(float ratio, float amax, float lta, const AcceptanceLimits& limits);

// nok[i - 1] for i = 1 .. nsamp: first the running count of accepted samples (sample
// 1 never counts), then, for i > nlong, the number of accepted samples among
// i - nlong + 1 .. i. Requires nlong >= 1.
void count_accepted(std::span<const float> ratio, std::span<const float> amax,
                    std::span<const float> lta, int nsamp, int nlong,
                    const AcceptanceLimits& limits, std::span<int> nok);

// First and last sample index (1-based) of each window found.
struct WindowTable {
  std::vector<int> first;
  std::vector<int> last;
  int count = 0;
};

// Finds windows of nlong + 1 samples whose last sample i has nok[i - 1] >= nokmin,
// from sample nlong + 1 on, each ending at least nstep samples after the end of the
// one before, up to max_windows. Requires nstep >= 1.
void search_windows(std::span<const int> nok, int nsamp, int nlong, int nstep, int nokmin,
                    WindowTable& windows, int max_windows = std::numeric_limits<int>::max());

// The calm windows of one recording for the nine selection values: the counts the
// values give at its sampling interval, the taper's messages, and the windows found.
struct CalmWindows {
  enum class Outcome {
    found,               // windows (maybe none) were searched
    no_samples,          // the recording holds no sample
    averages_too_short,  // tsta or tlta below the sampling interval
    window_too_short,    // tlong or the step below one sample
    recording_too_short  // fewer samples than the taper zone and the averages need
  };
  Outcome outcome = Outcome::found;
  RecordingCounts counts;
  int ncz = 0;          // samples of the taper zone at each end
  Notices taper_notes;  // the taper zone's adjustments to a short recording
  WindowTable windows;
};

// The STA/LTA anti-trigger on one recording: conditioning, characteristic function,
// per-sample acceptance and the search for windows, at most max_windows of them.
CalmWindows select_calm_windows(const Recording& rec, const SelectionParameters& par,
                                int max_windows = std::numeric_limits<int>::max());

// Start and end of window k (1-based) of the table in seconds from the first sample:
// (index - 1) x dt formed in single precision.
HvWindow window_times(const WindowTable& windows, int k, float dt);

}  // namespace hv

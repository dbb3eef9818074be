// SPDX-License-Identifier: GPL-3.0-or-later
// The work area of a run and the processing driver HV.
#pragma once

#include <span>
#include <vector>

#include "ratiospec/ckerr.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Program-wide records of one ratiospec run.
struct RatiospecRecords {
  PARAMETERS par;
  WINDOWS windows;
  TIMESERIES ts;
};

// Most values the work area may hold; a run needing this many or more is refused.
inline constexpr long long ROOM_CAPACITY = 4000000;

// Values a run needs: grid, window samples, FFT table, three raw spectra, three
// per-window matrices, three means and the FFT work vector.
long long room_size(int nfreq, int N, int nwin);

// The work area, laid out once per run. (The FFT table and work vector belong to the
// FFT plan; they count in the size above but are not carved out here.)
struct ROOM {
  ROOM(int nfreq, int N, int nwin);
  std::vector<float> values;
  int nfreq, N, M, nwin;
  std::span<float> f, x, S1, S2, S3, O1, O2, O3, mean1, mean2, mean3;
};

// Runs the window loop and everything after it: spectra, smoothing, averages,
// ratios, Fo and the result files. Every step is checked with CKERR.
void HV(RunControl& run, const Name& output_file, RatiospecRecords& rec, ROOM& room);

}  // namespace hv

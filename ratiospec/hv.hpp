// SPDX-License-Identifier: GPL-3.0-or-later
// ratiospec's processing from the first recording on: the computation's stages, with
// ratiospec's storage checks and messages between them, and the result files.
#pragma once

#include "hvlib/hv_compute.hpp"
#include "ratiospec/ckerr.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Program-wide records of one ratiospec run.
struct RatiospecRecords {
  PARAMETERS par;
  HvOptions options;
  WINDOWS windows;
};

// Most values the work area may hold; a run needing this many or more is refused.
inline constexpr long long ROOM_CAPACITY = 4000000;

// Values a run needs: grid, window samples, FFT table, three raw spectra, three
// per-window matrices, three means and the FFT work vector.
long long room_size(int nfreq, int N, int nwin);

// Most per-azimuth ratio values a run may hold (a 5-degree step on the largest work
// area fits).
inline constexpr long long azimuth_capacity = 48'000'000;

// Runs the computation and writes the result files. Every step is checked with CKERR.
void HV(RunControl& run, const Name& output_file, RatiospecRecords& rec);

}  // namespace hv

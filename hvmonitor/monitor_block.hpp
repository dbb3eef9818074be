// SPDX-License-Identifier: GPL-3.0-or-later
// One block of the archive: calm windows in each of its gap-free stretches, then the
// H/V of all its windows, and the criteria of the averaged curve.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hvlib/hv_compute.hpp"
#include "hvlib/peak_criteria.hpp"
#include "hvlib/selection_parameters.hpp"
#include "readers/recording.hpp"

namespace hv {

// What the block loop reads for a block before it is computed.
struct BlockInput {
  int number = 0;  // 1-based, in time order
  double start = 0.0, end = 0.0;
  std::vector<Recording> stretches;  // the block's gap-free stretches, in time order
};

struct BlockResult {
  int number = 0;
  double start = 0.0, end = 0.0;
  double seconds = 0.0;  // of data in the block's stretches
  int selected = 0;      // calm windows found
  // The windows as the window file would give them (times read back from their
  // three-decimal text), the stretch each is cut from, and the stretches' start times
  // and codes.
  std::vector<HvWindow> windows;
  std::vector<int> stretch_of;
  std::vector<Recording> headers;  // the stretches without their samples
  std::optional<HvResult> hv;      // set when the H/V was computed
  PeakCriteria criteria;
  std::string note = "-";  // why there is no result

  int kept() const { return hv ? hv->used : 0; }
};

// Computes a block; the block's samples are let go once the H/V is computed.
BlockResult compute_block(BlockInput& input, const SelectionParameters& selection,
                          const HvOptions& options, const PARAMETERS& par, int threads);

// The criteria of an H/V result on its valid rows.
PeakCriteria result_criteria(const HvResult& r, float window_length);

}  // namespace hv

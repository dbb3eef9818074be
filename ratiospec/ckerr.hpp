// SPDX-License-Identifier: GPL-3.0-or-later
// Run control of ratiospec: status checks, final banners and the exit status.
#pragma once

#include <ostream>

#include "common/glun.hpp"

namespace hv {

// The status that ends a run that went through.
inline constexpr int end_of_run = -99;

// Seconds spent in the stages of a run, gathered only when a benchmark asks for them
// (summed over the threads).
struct StageTimes {
  double reading = 0.0;
  double transforming = 0.0;  // window extraction, taper and spectra
  double smoothing = 0.0;
};

// What one ratiospec run shares for its control: the console, the unit table,
// the warning flag and the number of threads it may use.
struct RunControl {
  std::ostream& console;
  UnitTable units;
  bool warned = false;
  StageTimes* times = nullptr;
  int threads = 1;
  // Set once the run goes for its result files: an error from then on ends with the
  // line saying that none was written.
  bool results_possible = false;
};

// Thrown by CKERR to unwind to the run entry with the exit status; nothing else
// throws it or catches it.
struct RunEnd {
  int exit_status;
};

// Checks a step's status: 0 returns; an even status sets the warning flag and
// returns; an odd status prints the error banner and ends the run (exit 2); -99 ends
// a run that went through (exit 0, or 1 when warnings were issued).
void CKERR(int status, RunControl& run);

}  // namespace hv

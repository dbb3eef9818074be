// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/ratiospec.hpp"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

#include "common/fields.hpp"
#include "common/workers.hpp"
#include "ratiospec/check_outputs.hpp"
#include "ratiospec/ckerr.hpp"
#include "ratiospec/fout.hpp"
#include "ratiospec/gcmln.hpp"
#include "ratiospec/gtws.hpp"
#include "ratiospec/hv.hpp"
#include "ratiospec/parfile_read.hpp"
#include "ratiospec/stage_timer.hpp"
#include "readers/readerth.hpp"
#include "spectral/deffre.hpp"

namespace hv {

namespace {

// Transform length: the sample count of the longest window, Tmax/dt rounded to the
// nearest integer (halves upward) plus one, in single precision like the times. A
// quotient beyond the int range (absurd window times) is held at a length that no work
// area holds, so that the grid or the sizing step refuses it with its message.
int transform_length(float Tmax, float dt) {
  constexpr float too_long = 1.0e9f;
  const float q = Tmax / dt + 0.5f;
  if (!(q < too_long)) return static_cast<int>(too_long);
  return static_cast<int>(std::trunc(q)) + 1;
}

// The number of threads from HV_THREADS (every core when it is not set).
void set_threads(RunControl& run) {
  const char* value = std::getenv("HV_THREADS");
  const std::optional<int> threads = thread_count(value);
  if (!threads) {
    free_line(run.console, " ERROR : HV_THREADS must be a whole number from 1 to", max_threads,
              ": ", value);
    CKERR(1, run);
  }
  run.threads = *threads;
}

void run_sequence(std::span<const std::string> args, RunControl& run) {
  set_threads(run);
  Name window_file, parameter_file, output_file;
  CKERR(GCMLN(args, window_file, parameter_file, output_file, run.console), run);

  // The records are large (the sample store alone holds 3 x 600001 values).
  const auto rec = std::make_unique<RatiospecRecords>();
  CKERR(DEFPAR(rec->par), run);
  CKERR(PARFILE_READ(parameter_file, rec->par, run.units, run.console), run);
  CKERR(GTWS(window_file, rec->windows, run.units, run.console), run);
  if (rec->windows.nwin() == 0) {
    free_line(run.console, " ERROR : no window found in window_file");
    free_line(run.console, window_file.view());
    CKERR(1, run);
  }
  run.results_possible = true;
  CKERR(
      CHECK_OUTPUTS(output_file, window_file, parameter_file, rec->windows, rec->par, run.console),
      run);

  {
    const StageTimer timer(run.times ? &run.times->reading : nullptr);
    CKERR(READERTH(1, rec->windows, rec->par.offset_rem, rec->ts, run.units, run.console), run);
  }
  CKERR(FOUT(output_file, rec->ts, rec->par, run.units, run.console), run);

  const int N = transform_length(rec->windows.Tmax, rec->ts.dt);
  if (N < 2) {
    free_line(run.console, " ERROR : the longest window holds fewer than 2 samples:",
              " window_len =", rec->windows.Tmax);
    CKERR(1, run);
  }
  std::vector<float> grid;
  int nfreq = 0;
  CKERR(DEFFRE(N, rec->ts.dt, rec->par.freq_spacing, grid, nfreq, run.console), run);

  if (room_size(nfreq, N, rec->windows.nwin()) + 1 > ROOM_CAPACITY) {
    free_line(run.console, " ERROR: Required amount of memory exceed current",
              " allowed dimension");
    free_line(run.console, " Try to use fewer windows or shorter window", " duration");
    CKERR(1, run);
  }
  ROOM room(nfreq, N, rec->windows.nwin());
  std::copy_n(grid.begin(), nfreq, room.f.begin());
  HV(run, output_file, *rec, room);
}

}  // namespace

int ratiospec_run(std::span<const std::string> args, std::ostream& console, StageTimes* times) {
  RunControl run{console, {}, false, times};
  try {
    run_sequence(args, run);
    CKERR(end_of_run, run);
  } catch (const RunEnd& end) {
    console.flush();
    return end.exit_status;
  }
  return 2;  // not reached: CKERR(end_of_run) always ends the run
}

}  // namespace hv

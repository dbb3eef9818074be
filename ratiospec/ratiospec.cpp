// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/ratiospec.hpp"

#include "common/fields.hpp"
#include "ratiospec/ckerr.hpp"
#include "ratiospec/gcmln.hpp"
#include "ratiospec/gtws.hpp"
#include "ratiospec/parfile_read.hpp"
#include "ratiospec/records.hpp"

namespace hv {

namespace {

void run_sequence(std::span<const std::string> args, RunControl& run) {
  Name window_file, parameter_file, output_file;
  CKERR(GCMLN(args, window_file, parameter_file, output_file, run.console), run);

  PARAMETERS par;
  CKERR(DEFPAR(par), run);
  CKERR(PARFILE_READ(parameter_file, par, run.units, run.console), run);

  WINDOWS windows;
  CKERR(GTWS(window_file, windows, run.units, run.console), run);

  free_line(run.console, " ratiospec : processing of the windows is not built yet");
  CKERR(1, run);
}

}  // namespace

int ratiospec_run(std::span<const std::string> args, std::ostream& console) {
  RunControl run{console, {}, false};
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

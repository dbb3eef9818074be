// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/ratiospec.hpp"

#include <cstdlib>
#include <memory>
#include <optional>

#include "common/fields.hpp"
#include "common/workers.hpp"
#include "messages/hv_messages.hpp"
#include "ratiospec/check_outputs.hpp"
#include "ratiospec/ckerr.hpp"
#include "ratiospec/gcmln.hpp"
#include "ratiospec/gtws.hpp"
#include "ratiospec/hv.hpp"
#include "ratiospec/parfile_read.hpp"

namespace hv {

namespace {

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

  const auto rec = std::make_unique<RatiospecRecords>();
  CKERR(DEFPAR(rec->par), run);
  CKERR(PARFILE_READ(parameter_file, rec->par, run.units, run.console), run);
  // Refused values are reported where the run first uses them.
  rec->options = parse_options(rec->par);
  for (const Notice& n : rec->options.flag_warnings) {
    report_notice(run.console, n, {rec->par, {}, {}});
    CKERR(n.status, run);
  }
  CKERR(GTWS(window_file, rec->windows, run.units, run.console), run);
  if (rec->windows.nwin() == 0) {
    free_line(run.console, " ERROR : no window found in window_file");
    free_line(run.console, window_file.view());
    CKERR(1, run);
  }
  run.results_possible = true;
  CKERR(CHECK_OUTPUTS(output_file, window_file, parameter_file, rec->windows, rec->options,
                      run.console),
        run);
  HV(run, output_file, *rec);
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

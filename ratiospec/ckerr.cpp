// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/ckerr.hpp"

#include <string>

#include "common/fields.hpp"
#include "common/text.hpp"

namespace hv {

namespace {
void banner(std::ostream& os, const char* line) {
  for (int i = 0; i < 4; ++i) os << line << '\n';
}

[[noreturn]] void error_exit(RunControl& run) {
  banner(run.console, " >>>>>>>>>       CONTROLLED ERROR EXIT       <<<<<<<<<");
  run.units.CLALL();
  run.units.results.discard_all();
  if (run.results_possible) run.console << no_result_written << '\n';
  throw RunEnd{2};
}
}  // namespace

void CKERR(int status, RunControl& run) {
  if (status == 0) return;
  if (status == end_of_run) {
    run.units.CLALL();
    if (std::string failed; !run.units.results.commit_all(failed)) {
      free_line(run.console, " ERROR: can not put the result file in place:");
      free_line(run.console, Name(failed).view());
      error_exit(run);
    }
    if (!run.warned) {
      banner(run.console, " >>>>>>>>>                O.K.               <<<<<<<<<");
      throw RunEnd{0};
    }
    banner(run.console, " >>>>>>>>> WARNING MESSAGES HAVE BEEN ISSUED <<<<<<<<<");
    throw RunEnd{1};
  }
  if (status % 2 == 0) {
    run.warned = true;
    return;
  }
  error_exit(run);
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/ckerr.hpp"

namespace hv {

namespace {
void banner(std::ostream& os, const char* line) {
  for (int i = 0; i < 4; ++i) os << line << '\n';
}
}  // namespace

void CKERR(int status, RunControl& run) {
  if (status == 0) return;
  if (status == end_of_run) {
    run.units.CLALL();
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
  banner(run.console, " >>>>>>>>>       CONTROLLED ERROR EXIT       <<<<<<<<<");
  run.units.CLALL();
  throw RunEnd{2};
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// calmpick's nine selection parameters read from arbitrary bytes, completed and
// checked, and turned into the per-recording counts at a few sampling intervals.
#include <sstream>
#include <string>

#include "fuzz/fuzz_support.hpp"
#include "hvlib/selection_parameters.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hv;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  SelectionParameters par;
  std::string why;
  if (read_selection_parameters(in, par, why) != 0) return 0;
  complete_selection_parameters(par);
  if (!refused_parameters(par).empty()) return 0;
  for (const float dt : {0.001f, 0.01f, 0.5f}) {
    recording_counts(par, dt);
    window_storage(par.tlong, dt);
  }
  return 0;
}

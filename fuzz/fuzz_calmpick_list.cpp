// SPDX-License-Identifier: GPL-3.0-or-later
// A whole calmpick run whose list file is arbitrary bytes, with fixed parameters; the
// list may name the recording written at start-up.
#include <sstream>
#include <string>
#include <vector>

#include "calmpick/calmpick.hpp"
#include "fuzz/fuzz_support.hpp"
#include "tools/synth.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hv;
  static const bool ready = [] {
    synth::Spec spec;
    spec.duration_s = 30.0;
    spec.dt = 0.02;
    synth::write_kaf(fuzz::scratch_file("a.kaf"), synth::synthesize(spec), spec);
    fuzz::write_text(fuzz::scratch_file("pick.par"), "0.5 10.0 0.2 3.0 5.0 0.0 1 0 0.0\n");
    return true;
  }();
  (void)ready;
  const std::string list = fuzz::write_input("list.txt", data, size);
  const std::vector<std::string> args{list, fuzz::scratch_file("pick.par"),
                                      fuzz::scratch_file("picked.txt")};
  std::ostringstream console;
  calmpick_run(args, console);
  return 0;
}

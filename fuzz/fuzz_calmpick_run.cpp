// SPDX-License-Identifier: GPL-3.0-or-later
// A whole calmpick run on a recording made of arbitrary bytes, with a fixed list and
// fixed parameters.
#include <sstream>
#include <string>
#include <vector>

#include "calmpick/calmpick.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hv;
  const std::string recording = fuzz::write_input("rec.kaf", data, size);
  static const bool ready = [&recording] {
    fuzz::write_text(fuzz::scratch_file("list.txt"), recording + "\n");
    fuzz::write_text(fuzz::scratch_file("pick.par"), "0.1 1.0 0.2 3.0 1.0 0.0 0 0 0.0\n");
    return true;
  }();
  (void)ready;
  const std::vector<std::string> args{fuzz::scratch_file("list.txt"),
                                      fuzz::scratch_file("pick.par"),
                                      fuzz::scratch_file("picked.txt")};
  std::ostringstream console;
  calmpick_run(args, console);
  return 0;
}

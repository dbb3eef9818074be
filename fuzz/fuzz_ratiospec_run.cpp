// SPDX-License-Identifier: GPL-3.0-or-later
// A whole ratiospec run on a recording made of arbitrary bytes, with a fixed window
// file (two windows) and a fixed parameter file.
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.hpp"
#include "ratiospec/ratiospec.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hv;
  const std::string recording = fuzz::write_input("rec.kaf", data, size);
  static const bool ready = [&recording] {
    fuzz::write_text(fuzz::scratch_file("w.txt"),
                     "\"" + recording + "\" 0 2 2\n\"" + recording + "\" 1 3 2\n");
    fuzz::write_text(fuzz::scratch_file("hv.par"),
                     "### section processing\naverage_spectra_out: yes\n### end processing\n");
    return true;
  }();
  (void)ready;
  const std::vector<std::string> args{fuzz::scratch_file("w.txt"), fuzz::scratch_file("hv.par"),
                                      fuzz::scratch_file("res")};
  std::ostringstream console;
  ratiospec_run(args, console);
  return 0;
}

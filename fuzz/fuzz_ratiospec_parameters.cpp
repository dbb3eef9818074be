// SPDX-License-Identifier: GPL-3.0-or-later
// ratiospec's parameter file reader on arbitrary bytes.
#include <sstream>

#include "fuzz/fuzz_support.hpp"
#include "ratiospec/parfile_read.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hv;
  const std::string path = fuzz::write_input("hv.par", data, size);
  std::ostringstream console;
  UnitTable units;
  PARAMETERS par;
  DEFPAR(par);
  PARFILE_READ(Name(path), par, units, console);
  return 0;
}

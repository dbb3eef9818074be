// SPDX-License-Identifier: GPL-3.0-or-later
// ratiospec's window file reader on arbitrary bytes.
#include <sstream>

#include "fuzz/fuzz_support.hpp"
#include "ratiospec/gtws.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hv;
  const std::string path = fuzz::write_input("windows.txt", data, size);
  std::ostringstream console;
  UnitTable units;
  WINDOWS windows;
  GTWS(Name(path), windows, units, console);
  return 0;
}

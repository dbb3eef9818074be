// SPDX-License-Identifier: GPL-3.0-or-later
// The KAF reader on arbitrary bytes, through the reader table as both programs call it.
#include <sstream>

#include "fuzz/fuzz_support.hpp"
#include "readers/reader_table.hpp"
#include "readers/records.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hv;
  static TIMESERIES ts;  // 7 MB: made once, not per input
  const std::string path = fuzz::write_input("in.kaf", data, size);
  const ReaderRow* reader = find_reader(2);
  for (const Voice voice : {Voice::ratiospec, Voice::calmpick}) {
    std::ostringstream console;
    UnitTable units;
    RecordingInfo info;
    reader->read(Name(path), ChannelRequest{}, voice, ts, info, units, console);
  }
  return 0;
}

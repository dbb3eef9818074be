// SPDX-License-Identifier: GPL-3.0-or-later
// One reader of the table on arbitrary bytes, in both programs' voices, as the
// dispatchers call it (including their check of the scaled samples).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "fuzz/fuzz_support.hpp"
#include "readers/finite_samples.hpp"
#include "readers/reader_table.hpp"
#include "readers/records.hpp"

namespace hv::fuzz {

inline int read_with_format(int format, const std::uint8_t* data, std::size_t size) {
  const ReaderRow* reader = find_reader(format);
  if (reader == nullptr) {
    // A harness of a format the table lacks would fuzz nothing and pass.
    std::fprintf(stderr, "no reader for format %d\n", format);
    std::abort();
  }
  const std::string path = write_input("in.rec", data, size);
  for (const Voice voice : {Voice::ratiospec, Voice::calmpick}) {
    std::ostringstream console;
    UnitTable units;
    Recording rec;
    if (reader->read(Name(path), ChannelRequest{}, voice, NTIME, rec, units, console) ==
        read_status::ok) {
      check_finite_samples(" fuzz : ", Name(path), rec, console);
    }
  }
  return 0;
}

}  // namespace hv::fuzz

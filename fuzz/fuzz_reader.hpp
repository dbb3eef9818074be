// SPDX-License-Identifier: GPL-3.0-or-later
// One reader of the table on arbitrary bytes, for both programs, with the texts of
// what the read met.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "fuzz/fuzz_support.hpp"
#include "messages/read_messages.hpp"
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
    ReadNotes notes;
    reader->read(Name(path), ChannelRequest{}, voice, NTIME, rec, units, notes);
    report_read(console, notes, voice, Name(path));
  }
  return 0;
}

}  // namespace hv::fuzz

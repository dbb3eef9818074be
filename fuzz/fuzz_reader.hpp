// SPDX-License-Identifier: GPL-3.0-or-later
// One reader of the table on arbitrary bytes, for both programs, with the texts of
// what the read met.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string_view>

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
  // The bytes are read in place, as a binding reads a buffer: no file is written.
  const ReadSource source(Name("fuzz input"), {reinterpret_cast<const char*>(data), size});
  for (const Voice voice : {Voice::ratiospec, Voice::calmpick}) {
    std::ostringstream console;
    UnitTable units;
    Recording rec;
    ReadNotes notes;
    reader->read(source, ChannelRequest{}, voice, NTIME, rec, units, notes);
    report_read(console, notes, voice, source.name);
  }
  return 0;
}

}  // namespace hv::fuzz

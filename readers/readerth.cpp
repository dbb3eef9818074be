// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/readerth.hpp"

#include "common/fields.hpp"
#include "readers/finite_samples.hpp"
#include "readers/reader_table.hpp"

namespace hv {

bool same_recording(const WindowEntry& a, const WindowEntry& b) {
  return a.station == b.station && a.format == b.format && a.channel[0] == b.channel[0] &&
         a.channel[1] == b.channel[1] && a.channel[2] == b.channel[2] && a.file == b.file;
}

int READERTH(const WindowEntry& entry, int max_samples, Recording& rec, UnitTable& units,
             std::ostream& console) {
  const ReaderRow* reader = find_reader(entry.format);
  if (reader == nullptr) {
    free_line(console, "  incorrect format index : ", entry.format, " file:");
    free_line(console, entry.file.view());
    return 1;
  }
  rec = Recording{};
  rec.format = entry.format;
  const ChannelRequest want{entry.channel, entry.station};
  if (reader->read(entry.file, want, Voice::ratiospec, max_samples, rec, units, console) !=
          read_status::ok ||
      check_finite_samples(" READERTH : ", entry.file, rec, console) != 0) {
    rec = Recording{};  // nothing of a failed read is kept
    return 1;
  }
  return 0;
}

int READERTHW(int& format, const Name& file, int max_samples, Recording& rec, UnitTable& units,
              std::ostream& console) {
  // 0 read, 1 a reported failure of a file in this format, 2 not this format;
  // nothing of a failed attempt is kept.
  const auto attempt = [&](const ReaderRow& reader) {
    rec = Recording{};
    rec.format = reader.format;
    int status =
        reader.read(file, ChannelRequest{}, Voice::calmpick, max_samples, rec, units, console);
    if (status == read_status::ok && check_finite_samples(" READERTHW : ", file, rec, console) != 0)
      status = read_status::failed;
    if (status != read_status::ok) rec = Recording{};
    return status;
  };

  if (const ReaderRow* guess = find_reader(format)) {
    const int status = attempt(*guess);
    if (status != read_status::not_format) return status;
  }
  for (const ReaderRow& reader : reader_table()) {
    format = reader.format;
    const int status = attempt(reader);
    if (status != read_status::not_format) return status;
  }
  free_line(console, "  format NOT recognised for this file");
  free_line(console, file.view());
  return 1;
}

}  // namespace hv

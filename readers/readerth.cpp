// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/readerth.hpp"

#include "readers/finite_samples.hpp"
#include "readers/reader_table.hpp"

namespace hv {

namespace {

// A scale that overflows turns samples infinite, and an infinite sample would give
// NaN spectra that look like a result: false after a note of the first one.
bool all_finite(const Recording& rec, ReadNotes& notes) {
  const int bad = first_non_finite(rec);
  if (bad != 0) notes.push_back({format::unknown, dispatch::not_finite, {bad}, {}, {}});
  return bad == 0;
}

}  // namespace

bool same_recording(const WindowEntry& a, const WindowEntry& b) {
  return a.station == b.station && a.format == b.format && a.channel[0] == b.channel[0] &&
         a.channel[1] == b.channel[1] && a.channel[2] == b.channel[2] && a.file == b.file;
}

int READERTH(const WindowEntry& entry, int max_samples, Recording& rec, UnitTable& units,
             ReadNotes& notes) {
  return read_in_format(entry.file, entry.format, {entry.channel, entry.station}, max_samples, rec,
                        units, notes);
}

int read_in_format(const ReadSource& source, int format, const ChannelRequest& want,
                   int max_samples, Recording& rec, UnitTable& units, ReadNotes& notes) {
  rec = Recording{};
  const ReaderRow* reader = find_reader(format);
  if (reader == nullptr) {
    notes.push_back({format::unknown, dispatch::bad_format_index, {format}, {}, {}});
    return 1;
  }
  rec.format = format;
  if (reader->read(source, want, Voice::ratiospec, max_samples, rec, units, notes) !=
          read_status::ok ||
      !all_finite(rec, notes)) {
    rec = Recording{};  // nothing of a failed read is kept
    return 1;
  }
  return 0;
}

int READERTHW(int& format, const ReadSource& file, int max_samples, Recording& rec,
              UnitTable& units, ReadNotes& notes) {
  // 0 read, 1 a noted failure of a file in this format, 2 not this format; nothing
  // of a failed attempt is kept.
  const auto attempt = [&](const ReaderRow& reader) {
    rec = Recording{};
    rec.format = reader.format;
    int status =
        reader.read(file, ChannelRequest{}, Voice::calmpick, max_samples, rec, units, notes);
    if (status == read_status::ok && !all_finite(rec, notes)) status = read_status::failed;
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
  notes.push_back({format::unknown, dispatch::not_recognised, {}, {}, {}});
  return 1;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/read_recording.hpp"

#include "readers/readerth.hpp"

namespace hv {

std::optional<Recording> read_recording(const std::string& path, int format,
                                        const ChannelRequest& want, ReadNotes& notes) {
  UnitTable units;
  Recording rec;
  int status = 1;
  if (format == format::unknown) {
    status = READERTHW(format, Name(path), no_sample_limit, rec, units, notes);
  } else {
    WindowEntry entry;
    entry.file = path;
    entry.format = format;
    entry.channel = want.channel;
    entry.station = want.station;
    status = READERTH(entry, no_sample_limit, rec, units, notes);
  }
  if (status != 0) return std::nullopt;
  return rec;
}

}  // namespace hv

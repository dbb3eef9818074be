// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/read_recording.hpp"

#include "readers/readerth.hpp"

namespace hv {

std::optional<Recording> read_recording(const ReadSource& source, int format,
                                        const ChannelRequest& want, ReadNotes& notes) {
  UnitTable units;
  Recording rec;
  const int status = format == format::unknown
                         ? READERTHW(format, source, no_sample_limit, rec, units, notes)
                         : read_in_format(source, format, want, no_sample_limit, rec, units, notes);
  if (status != 0) return std::nullopt;
  return rec;
}

}  // namespace hv

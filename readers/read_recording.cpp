// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/read_recording.hpp"

#include <memory>
#include <sstream>

#include "readers/finite_samples.hpp"
#include "readers/reader_table.hpp"
#include "readers/readerth.hpp"

namespace hv {

std::optional<Recording> read_recording(const std::string& path, int format,
                                        const ChannelRequest& want, std::string& messages) {
  std::ostringstream console;
  auto ts = std::make_unique<TIMESERIES>();
  RecordingInfo info;
  UnitTable units;
  const Name file(path);
  int status = read_status::failed;
  if (format == format::unknown) {
    status = READERTHW(format, file, *ts, info, units, console);
  } else if (const ReaderRow* reader = find_reader(format)) {
    status = reader->read(file, want, Voice::ratiospec, *ts, info, units, console);
    if (status == read_status::ok) {
      status = check_finite_samples(" READERTH : ", file, *ts, info.nsamp, console);
    }
  }
  if (status != read_status::ok) {
    messages = console.str();
    return std::nullopt;
  }
  Recording rec;
  rec.dt = info.dt;
  rec.channel = info.channel;
  rec.station = info.station;
  rec.labels = info.labels;
  rec.format = format;
  for (int c = 1; c <= 3; ++c) {
    const auto column = ts->column(c).first(static_cast<std::size_t>(info.nsamp));
    rec.component[static_cast<std::size_t>(c - 1)].assign(column.begin(), column.end());
  }
  return rec;
}

}  // namespace hv

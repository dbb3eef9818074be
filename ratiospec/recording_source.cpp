// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/recording_source.hpp"

#include <sstream>

#include "common/fields.hpp"
#include "common/stage_timer.hpp"
#include "readers/finite_samples.hpp"
#include "readers/reader_table.hpp"
#include "readers/readerth.hpp"

namespace hv {

bool WindowFileSource::same_recording(int w) const {
  return hv::same_recording(windows_(w - 1), windows_(w));
}

std::optional<Recording> WindowFileSource::read(int w) {
  const StageTimer timer(reading_seconds_);
  std::ostringstream console;
  WindowEntry& entry = windows_(w);
  const auto failed = [&]() -> std::optional<Recording> {
    lines_[w] = console.str();
    return std::nullopt;
  };
  const ReaderRow* reader = find_reader(entry.format);
  if (reader == nullptr) {
    free_line(console, "  incorrect format index : ", entry.format, " file:");
    free_line(console, entry.file.view());
    return failed();
  }
  auto ts = std::make_unique<TIMESERIES>();
  RecordingInfo info;
  const ChannelRequest want{entry.channel, entry.station};
  if (reader->read(entry.file, want, Voice::ratiospec, *ts, info, units_, console) !=
      read_status::ok) {
    return failed();
  }
  if (check_finite_samples(" READERTH : ", entry.file, *ts, info.nsamp, console) != 0) {
    return failed();
  }
  entry.labels = info.labels;
  Recording rec;
  rec.dt = info.dt;
  rec.channel = info.channel;
  rec.station = info.station;
  rec.labels = info.labels;
  rec.format = entry.format;
  for (int c = 1; c <= 3; ++c) {
    const auto column = ts->column(c).first(static_cast<std::size_t>(info.nsamp));
    rec.component[static_cast<std::size_t>(c - 1)].assign(column.begin(), column.end());
  }
  if (!console.str().empty()) lines_[w] = console.str();
  return rec;
}

void WindowFileSource::print_lines(std::ostream& console, int w) const {
  if (const auto it = lines_.find(w); it != lines_.end()) console << it->second;
}

}  // namespace hv

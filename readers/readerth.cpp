// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/readerth.hpp"

#include <optional>
#include <string_view>

#include "common/fields.hpp"
#include "readers/finite_samples.hpp"
#include "readers/reader_table.hpp"

namespace hv {

namespace {

constexpr std::string_view who = " READERTH : ";
// The interval message has always been printed without the blank before the colon.
constexpr std::string_view who_interval = " READERTH: ";

}  // namespace

bool same_recording(const WindowEntry& a, const WindowEntry& b) {
  return a.station == b.station && a.format == b.format && a.channel[0] == b.channel[0] &&
         a.channel[1] == b.channel[1] && a.channel[2] == b.channel[2] && a.file == b.file;
}

int READERTH(int entry, WINDOWS& windows, TIMESERIES& ts, UnitTable& units, std::ostream& console) {
  if (entry < 1 || entry > windows.nwin()) {
    free_line(console, who, "there is no window entry number", entry);
    return 1;
  }
  WindowEntry& w = windows(entry);
  if (entry > 1 && same_recording(windows(entry - 1), w)) {
    w.labels = windows(entry - 1).labels;
    return 0;
  }

  const ReaderRow* reader = find_reader(w.format);
  if (reader == nullptr) {
    free_line(console, "  incorrect format index : ", w.format, " file:");
    free_line(console, w.file.view());
    ts.nsamp = 0;
    return 1;
  }
  RecordingInfo info;
  const ChannelRequest want{w.channel, w.station};
  if (reader->read(w.file, want, Voice::ratiospec, ts, info, units, console) != read_status::ok) {
    ts.nsamp = 0;
    return 1;
  }
  ts.nsamp = info.nsamp;
  w.labels = info.labels;
  if (check_finite_samples(who, w.file, ts, ts.nsamp, console) != 0) {
    ts.nsamp = 0;
    return 1;
  }

  if (entry == 1) {
    ts.dt = info.dt;
  } else if (info.dt != ts.dt) {
    free_line(console, who_interval, "sampling rate previously found : ", ts.dt);
    free_line(console, "           present sampling rate : ", info.dt);
    free_line(console, w.file.view());
    return 1;
  }
  return 0;
}

int READERTHW(int& format, const Name& file, TIMESERIES& ts, RecordingInfo& info, UnitTable& units,
              std::ostream& console) {
  // 0 read, 1 a reported failure of a file in this format, 2 not this format.
  const auto attempt = [&](const ReaderRow& reader) {
    info = RecordingInfo{};
    const int status =
        reader.read(file, ChannelRequest{}, Voice::calmpick, ts, info, units, console);
    ts.nsamp = status == read_status::ok ? info.nsamp : 0;
    if (status != read_status::ok) return status;
    ts.dt = info.dt;
    if (check_finite_samples(" READERTHW : ", file, ts, ts.nsamp, console) != 0) {
      ts.nsamp = 0;
      return read_status::failed;
    }
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

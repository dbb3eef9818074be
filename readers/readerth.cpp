// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/readerth.hpp"

#include <string>

#include "common/fields.hpp"
#include "readers/reader_kaf.hpp"
#include "readers/rkaf.hpp"
#include "spectral/rmean.hpp"

namespace hv {

namespace {

bool same_recording(const WindowEntry& a, const WindowEntry& b) {
  return a.station == b.station && a.format == b.format && a.channel[0] == b.channel[0] &&
         a.channel[1] == b.channel[1] && a.channel[2] == b.channel[2] && a.file == b.file;
}

const char* format_name(int format) {
  return format == 1 ? "GSE" : "DuneHeron";
}

// Whole-recording conditioning asked by offset_rem. Returns 0, or 1 after a message.
int condition(const PARAMETERS& par, TIMESERIES& ts, std::ostream& console) {
  std::array<Word, 3> field;
  const int count = SPLIT3(par.offset_rem.view(), field, ':');
  if (field[0] == "r_mean") {
    if (count == 1 || field[1] == "all") RMEAN(ts.samples.data(), NTIME, ts.nsamp);
    return 0;
  }
  if (field[0] == "no") return 0;
  if (field[0] == "high-pass" || field[0] == "band-pass" || field[0] == "low-pass") {
    // Going on unfiltered would give results that look valid but are not.
    free_line(console, " READERTH : Butterworth filtering ('", field[0].trimmed(),
              "') is not available yet");
    return 1;
  }
  free_line(console, "  ERROR in 'offset removal' parameter: ", par.offset_rem.view());
  free_line(console, " The key is NOT recognised");
  return 1;
}

}  // namespace

int READERTH(int entry, WINDOWS& windows, const PARAMETERS& par, TIMESERIES& ts, KAFHDR8& kafhdr,
             UnitTable& units, std::ostream& console) {
  if (entry < 1 || entry > windows.nwin()) {
    free_line(console, " READERTH : there is no window entry number", entry);
    return 1;
  }
  WindowEntry& w = windows(entry);
  if (entry > 1 && same_recording(windows(entry - 1), w)) {
    w.labels = windows(entry - 1).labels;
    return 0;
  }

  float interval = 0.0f;
  switch (w.format) {
    case 2: {
      int nsamp = 0;
      float samp_freq = 0.0f;
      std::string reason;
      const int status = RKAF(w.file, NTIME, 0, ts, nsamp, samp_freq, kafhdr, units, reason);
      if (status != kaf::ok) {
        report_kaf_status(status, KafVoice::ratiospec, w.file, nsamp, NTIME, reason, console);
        ts.nsamp = 0;
        return 1;
      }
      ts.nsamp = nsamp;
      interval = 1.0f / samp_freq;
      w.labels = {Text<12>(kafhdr.ch0_id), Text<12>(kafhdr.ch1_id), Text<12>(kafhdr.ch2_id),
                  Text<12>(kafhdr.units)};
      break;
    }
    case 1:
    case 3:
      free_line(console, " READERTH : ", format_name(w.format), " recordings (format index",
                w.format, ") cannot be read yet");
      free_line(console, w.file.view());
      ts.nsamp = 0;
      return 1;
    default:
      free_line(console, "  incorrect format index : ", w.format, " file:");
      free_line(console, w.file.view());
      ts.nsamp = 0;
      return 1;
  }

  if (entry == 1) {
    ts.dt = interval;
  } else if (interval != ts.dt) {
    free_line(console, " READERTH: sampling rate previously found : ", ts.dt);
    free_line(console, "           present sampling rate : ", interval);
    free_line(console, w.file.view());
    return 1;
  }
  return condition(par, ts, console);
}

int READERTHW(int& format, const Name& file, TIMESERIES& ts, std::array<Text<3>, 3>& channel,
              Text<10>& station, KAFHDR8& kafhdr, UnitTable& units, std::ostream& console) {
  // 0 read, 1 a reported failure of a file in this format, 2 not this format. A
  // format whose reader is not built counts as not this format.
  const auto attempt = [&](int f) {
    channel.fill(Text<3>{});
    station = Text<10>{};
    if (f != 2) return 2;
    float dt = 0.0f;
    int nsamp = 0;
    const int status = READER_KAF(file, ts, NTIME, dt, nsamp, kafhdr, units, console);
    channel = {Text<3>("Z"), Text<3>("NS"), Text<3>("EW")};
    station = "TEST";
    ts.nsamp = status == 0 ? nsamp : 0;
    if (status == 0) ts.dt = dt;
    return status;
  };

  if (format >= 1 && format <= 3) {
    const int status = attempt(format);
    if (status == 0 || status == 1) return status;
  }
  for (const int f : {2, 3, 1}) {
    format = f;
    const int status = attempt(f);
    if (status == 0 || status == 1) return status;
  }
  free_line(console, "  format NOT recognised for this file");
  free_line(console, file.view());
  return 1;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/readergse.hpp"

#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>

#include "common/cmdline.hpp"
#include "common/fields.hpp"
#include "common/lines.hpp"

namespace hv {

double gse_velocity_factor(const GSEHDR& hdr) {
  constexpr double two_pi = 2.0 * std::numbers::pi;
  const double calib = hdr.calib, calper = hdr.calper;
  switch (hdr.calib_type) {
    case 0:
      return calib * two_pi / calper * 1.0e-9;
    case 1:
      return calib * 1.0e-9;
    case 2:
      return calib * calper / two_pi * 1.0e-9;
    default:
      return 1.0;
  }
}

namespace {

// One read of a GSE file into the three columns of a recording, shared by both
// programs' readers; they differ in how they pick the waveforms and in the prefix of
// their messages.
class Assembly {
 public:
  Assembly(const Name& file, Voice voice, int max_samples, Recording& rec, UnitTable& units,
           std::ostream& console)
      : file_(file),
        prefix_(voice == Voice::ratiospec ? " READERGSE : " : " READER_GSE : "),
        max_samples_(max_samples),
        rec_(rec),
        units_(units),
        console_(console) {
    buffers_.limit(max_samples);
  }

  // Takes a unit and opens the file. 0 or a gse:: status after its message.
  int open();
  // The next waveform: gse::ok, gse::end_of_file, or gse::unreadable_waveform after
  // its message.
  int next(GSEHDR& hdr);
  // Checks the waveform against the maximum and the waveforms taken before and
  // stores it in m/s as component `column` (1..3). 0 or a gse:: status after its
  // message.
  int take(const GSEHDR& hdr, int column);
  void finish(const GSEHDR& hdr, std::string_view station);

  template <typename... Pieces>
  void say(const Pieces&... pieces) {
    free_line(console_, prefix_, pieces...);
  }
  void say_file() {
    free_line(console_, " in file:");
    file_line();
  }
  void file_line() { free_line(console_, " ", file_.view()); }
  std::ostream& console() { return console_; }

 private:
  const Name& file_;
  std::string_view prefix_;
  int max_samples_;
  Recording& rec_;
  UnitTable& units_;
  std::ostream& console_;
  std::optional<UnitFile> in_;
  std::optional<GseLines> lines_;
  GseBuffers buffers_;
  GseWaveform waveform_;
  float ref_rate_ = -999.0f;
  int ref_count_ = -9999;
};

int Assembly::open() {
  int unit = 0;
  if (units_.GLUN(unit) != 0) {
    say("this error should be impossible");
    free_line(console_, " no logical unit available");
    return gse::no_free_unit;
  }
  if (CKESFI(file_)) {
    say("this file cannot be found :");
    file_line();
    return gse::not_found;
  }
  in_.emplace(units_, unit);
  const std::string path(file_.trimmed());
  // Only regular files: a device or a pipe could hold the read forever.
  if (!is_regular_input(path) || !in_->open_read(path)) {
    say("this file cannot be opened");
    file_line();
    return gse::cannot_open;
  }
  lines_.emplace(*in_->stream().rdbuf());
  return 0;
}

int Assembly::next(GSEHDR& hdr) {
  INIT_HDRVARS(hdr);
  hdr.verbosity = 0;
  const int status = GSEIN(*lines_, buffers_, hdr, waveform_, console_);
  if (status != gse::bad_waveform) return status;
  say("this waveform cannot be read : ", waveform_.failure);
  free_line(console_, " ", waveform_.header_line);
  say_file();
  return gse::unreadable_waveform;
}

int Assembly::take(const GSEHDR& hdr, int column) {
  if (hdr.samps > max_samples_) {
    say("number of samples      : ", hdr.samps);
    free_line(console_, "             greater than dimension : ", max_samples_);
    say_file();
    return gse::too_many_samples;
  }
  if (ref_rate_ < 0.0f) ref_rate_ = hdr.samprat;
  if (ref_count_ < 0) ref_count_ = hdr.samps;
  if (hdr.samprat != ref_rate_) {
    say("sampling rate has changed among channels");
    say_file();
    return gse::rate_changed;
  }
  if (hdr.samps != ref_count_) {
    say("number of samples has changed among ");
    free_line(console_, " channels in file:");
    file_line();
    return gse::count_changed;
  }
  // A zero or unbounded factor would turn every sample into 0 or infinity and every
  // spectral ratio into NaN; no count may overflow single precision either.
  const double f = gse_velocity_factor(hdr);
  if (!(f != 0.0 && std::fabs(f) * 2147483648.0 <= std::numeric_limits<float>::max())) {
    say("channel ", hdr.channel.view(), " of station ", hdr.station.trimmed(),
        " has no usable calibration (counts to m/s)");
    free_line(console_, " calib =", hdr.calib, " calper =", hdr.calper,
              " calib_type =", hdr.calib_type);
    say_file();
    return gse::no_conversion;
  }
  const auto c = static_cast<std::size_t>(column - 1);
  std::vector<float>& out = rec_.component[c];
  out.resize(static_cast<std::size_t>(hdr.samps));
  for (std::size_t k = 0; k < out.size(); ++k) {
    out[k] = static_cast<float>(static_cast<double>(buffers_.samples[k]) * f);
  }
  rec_.channel[c] = hdr.channel;
  rec_.labels[c] = Text<12>(hdr.channel);
  if (column == 1) {
    rec_.start_time = utc_seconds(hdr.year, hdr.month, hdr.day, hdr.hour, hdr.minute,
                                  hdr.second + hdr.msec * 1.0e-3);
  }
  return 0;
}

void Assembly::finish(const GSEHDR& hdr, std::string_view station) {
  rec_.dt = 1.0f / hdr.samprat;
  rec_.station = station;
  rec_.labels[3] = "m/s";
}

}  // namespace

int READERGSE(const Name& file, const ChannelRequest& want, int max_samples, Recording& rec,
              UnitTable& units, std::ostream& console) {
  Assembly gse(file, Voice::ratiospec, max_samples, rec, units, console);
  if (const int status = gse.open(); status != 0) return status;

  Text<10> station = want.station;
  std::array<bool, 3> taken{};
  int found = 0;
  GSEHDR hdr;
  while (found < 3) {
    const int status = gse.next(hdr);
    if (status == gse::end_of_file) break;
    if (status != gse::ok) return status;
    if (station.blank()) station = hdr.station;
    if (!(hdr.station == station)) continue;
    int k = 0;
    while (k < 3 && (taken[static_cast<std::size_t>(k)] ||
                     !(want.channel[static_cast<std::size_t>(k)] == hdr.channel))) {
      ++k;
    }
    if (k == 3) continue;
    if (const int taking = gse.take(hdr, k + 1); taking != 0) return taking;
    taken[static_cast<std::size_t>(k)] = true;
    ++found;
  }
  if (found < 3) {
    gse.say("following channel(s) cannot be found");
    std::string codes = "  channel(s) : ";
    for (std::size_t k = 0; k < 3; ++k) {
      codes += "  ";
      codes += taken[k] ? Text<3>{}.view() : want.channel[k].view();
    }
    free_line(gse.console(), codes);
    free_line(gse.console(), "  for station : ", station.view());
    gse.say_file();
    return gse::channels_missing;
  }
  gse.finish(hdr, station.view());
  return 0;
}

int READER_GSE(const Name& file, int max_samples, Recording& rec, UnitTable& units,
               std::ostream& console) {
  Assembly gse(file, Voice::calmpick, max_samples, rec, units, console);
  if (gse.open() != 0) return read_status::failed;
  GSEHDR hdr;
  for (int column = 1; column <= 3; ++column) {
    const int status = gse.next(hdr);
    if (status == gse::end_of_file) return read_status::not_format;
    if (status != gse::ok || gse.take(hdr, column) != 0) return read_status::failed;
  }
  gse.finish(hdr, hdr.station.view());
  return read_status::ok;
}

int read_gse(const Name& file, const ChannelRequest& want, Voice voice, int max_samples,
             Recording& rec, UnitTable& units, std::ostream& console) {
  if (voice == Voice::calmpick) return READER_GSE(file, max_samples, rec, units, console);
  return READERGSE(file, want, max_samples, rec, units, console) == 0 ? read_status::ok
                                                                      : read_status::failed;
}

}  // namespace hv

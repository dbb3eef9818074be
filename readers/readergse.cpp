// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/readergse.hpp"

#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>

#include "readers/source_stream.hpp"

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
// programs' readers, which differ in how they pick the waveforms.
class Assembly {
 public:
  Assembly(const ReadSource& file, int max_samples, Recording& rec, UnitTable& units,
           ReadNotes& notes)
      : in_(file, units), max_samples_(max_samples), rec_(rec), notes_(notes) {
    buffers_.limit(max_samples);
  }

  // Opens the source. 0 or a gse:: status after its note.
  int open();
  // The next waveform: gse::ok, gse::end_of_file, or gse::unreadable_waveform after
  // its note.
  int next(GSEHDR& hdr);
  // Checks the waveform against the maximum and the waveforms taken before and
  // stores it in m/s as component `column` (1..3). 0 or a gse:: status after its
  // note.
  int take(const GSEHDR& hdr, int column);
  void finish(const GSEHDR& hdr, std::string_view station);

  // Adds the note of a failure and returns its status.
  int fail(int status, std::vector<long long> counts = {}, std::vector<std::string> texts = {},
           std::vector<float> reals = {}) {
    notes_.push_back({format::gse, status, std::move(counts), std::move(reals), std::move(texts)});
    return status;
  }

 private:
  SourceStream in_;
  int max_samples_;
  Recording& rec_;
  ReadNotes& notes_;
  std::optional<GseLines> lines_;
  GseBuffers buffers_;
  GseWaveform waveform_;
  float ref_rate_ = -999.0f;
  int ref_count_ = -9999;
};

int Assembly::open() {
  switch (in_.open()) {
    case SourceStream::Status::ok:
      lines_.emplace(in_.buffer());
      return 0;
    case SourceStream::Status::no_unit:
      return fail(gse::no_free_unit);
    case SourceStream::Status::not_found:
      return fail(gse::not_found);
    case SourceStream::Status::cannot_open:
      break;
  }
  return fail(gse::cannot_open);
}

int Assembly::next(GSEHDR& hdr) {
  INIT_HDRVARS(hdr);
  hdr.verbosity = 0;
  const int status = GSEIN(*lines_, buffers_, hdr, waveform_, notes_);
  if (status != gse::bad_waveform) return status;
  return fail(gse::unreadable_waveform, {}, {waveform_.failure, waveform_.header_line});
}

int Assembly::take(const GSEHDR& hdr, int column) {
  if (hdr.samps > max_samples_) return fail(gse::too_many_samples, {hdr.samps, max_samples_});
  if (ref_rate_ < 0.0f) ref_rate_ = hdr.samprat;
  if (ref_count_ < 0) ref_count_ = hdr.samps;
  if (hdr.samprat != ref_rate_) return fail(gse::rate_changed);
  if (hdr.samps != ref_count_) return fail(gse::count_changed);
  // A zero or unbounded factor would turn every sample into 0 or infinity and every
  // spectral ratio into NaN; no count may overflow single precision either.
  const double f = gse_velocity_factor(hdr);
  if (!(f != 0.0 && std::fabs(f) * 2147483648.0 <= std::numeric_limits<float>::max())) {
    return fail(gse::no_conversion, {hdr.calib_type},
                {std::string(hdr.channel.view()), std::string(hdr.station.trimmed())},
                {hdr.calib, hdr.calper});
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
    rec_.site = site_name(hdr.network.trimmed(), hdr.station.trimmed());
  }
  return 0;
}

void Assembly::finish(const GSEHDR& hdr, std::string_view station) {
  rec_.dt = 1.0f / hdr.samprat;
  rec_.station = station;
  rec_.labels[3] = "m/s";
}

}  // namespace

int READERGSE(const ReadSource& file, const ChannelRequest& want, int max_samples, Recording& rec,
              UnitTable& units, ReadNotes& notes) {
  Assembly gse(file, max_samples, rec, units, notes);
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
    std::vector<std::string> missing;
    for (std::size_t k = 0; k < 3; ++k)
      missing.emplace_back(taken[k] ? Text<3>{}.view() : want.channel[k].view());
    missing.emplace_back(station.view());
    return gse.fail(gse::channels_missing, {}, std::move(missing));
  }
  gse.finish(hdr, station.view());
  return 0;
}

int READER_GSE(const ReadSource& file, int max_samples, Recording& rec, UnitTable& units,
               ReadNotes& notes) {
  Assembly gse(file, max_samples, rec, units, notes);
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

int read_gse(const ReadSource& file, const ChannelRequest& want, Voice voice, int max_samples,
             Recording& rec, UnitTable& units, ReadNotes& notes) {
  if (voice == Voice::calmpick) return READER_GSE(file, max_samples, rec, units, notes);
  return READERGSE(file, want, max_samples, rec, units, notes) == 0 ? read_status::ok
                                                                    : read_status::failed;
}

}  // namespace hv

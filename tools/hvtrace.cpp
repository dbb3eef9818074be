// SPDX-License-Identifier: GPL-3.0-or-later
// hvtrace: prints a decimated min/max envelope of recordings, read through the
// programs' own window-file reader and recording dispatch, so that the site report
// draws exactly the samples that calmpick and ratiospec see.
//
//   hvtrace RECORDING [--format N] [--points P]
//   hvtrace --windows WINDOW_FILE [--points P]
//
// Output, one block per recording (with --windows: each distinct recording once, in
// order of first appearance, with all its windows):
//   recording K
//   path PATH               (the rest of the line; the path as it was read)
//   format F                (the format index that read it)
//   dt DT
//   nsamp N
//   labels L1<TAB>L2<TAB>L3<TAB>UNITS
//   station NAME            (network.station, or the station alone; only when the
//                           format names them: miniSEED, GSE, KAF)
//   start S                 (UTC time of the first sample, seconds since 1970-01-01,
//                           six decimals; only when the format holds one)
//   window START END N      (one line per window of this recording: seconds, and
//                           the window's number in the window file, from 1)
//   envelope B
//   T_FIRST T_LAST MIN1 MAX1 MIN2 MAX2 MIN3 MAX3   (B lines)
// Bucket b of B holds samples floor(b*N/B) .. floor((b+1)*N/B)-1, times in seconds
// from the first sample. Messages go to standard error; the status is 0, or 2 when
// anything could not be read.
#include <libmseed.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "common/freefmt.hpp"
#include "common/glun.hpp"
#include "common/text.hpp"
#include "messages/read_messages.hpp"
#include "ratiospec/gtws.hpp"
#include "readers/gsein.hpp"
#include "readers/reader_table.hpp"
#include "readers/readerth.hpp"
#include "readers/recording.hpp"
#include "readers/records.hpp"
#include "readers/rkaf.hpp"

namespace {

constexpr std::string_view who = " hvtrace : ";
constexpr const char* usage =
    "use : hvtrace RECORDING [--format N] [--points P]\n"
    "      hvtrace --windows WINDOW_FILE [--points P]\n";
constexpr int default_points = 2000;
constexpr int max_points = 100000;
constexpr int failed = 2;

// One recording as a window line names it, with the windows that use it.
struct Recording {
  hv::Name file;
  int format = hv::format::unknown;
  std::array<hv::Text<3>, 3> channel;
  hv::Text<10> station;
  struct Window {
    float start, end;
    int number;  // line of the window file among its windows, from 1
  };
  std::vector<Window> windows;

  bool same_source(const hv::WindowEntry& w) const {
    return file == w.file && format == w.format && channel[0] == w.channel[0] &&
           channel[1] == w.channel[1] && channel[2] == w.channel[2] && station == w.station;
  }
};

// The one place that reads a recording. A window line's format is read as ratiospec
// reads it, with the line's channel codes and station; a recording given without a
// format is read by calmpick's dispatch, which guesses. format: out, the format that
// read the file. Fills data. Returns 0, or 1 after a message.
int read_recording(const Recording& rec, const hv::Name& file, int& format, hv::Recording& data,
                   hv::UnitTable& units, std::ostream& console) {
  format = rec.format;
  hv::ReadNotes notes;
  if (format == hv::format::unknown) {
    const int status = hv::READERTHW(format, file, hv::no_sample_limit, data, units, notes);
    hv::report_read(console, notes, hv::Voice::calmpick, file);
    return status;
  }
  const hv::ReaderRow* reader = hv::find_reader(format);
  if (reader == nullptr) {
    console << who << "format index " << format << " of " << rec.file.trimmed()
            << " is not a format the programs read\n";
    return 1;
  }
  const int status = reader->read(file, hv::ChannelRequest{rec.channel, rec.station},
                                  hv::Voice::ratiospec, hv::no_sample_limit, data, units, notes);
  hv::report_read(console, notes, hv::Voice::ratiospec, file);
  return status == hv::read_status::ok ? 0 : 1;
}

std::string exact(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.9g", value);
  return buf;
}

// Labels travel tab-separated, so a tab inside one becomes a blank.
std::string label_text(const hv::Text<12>& label) {
  std::string text(label.trimmed());
  std::replace(text.begin(), text.end(), '\t', ' ');
  return text;
}

void print_envelope(const hv::Recording& data, int points, std::ostream& out) {
  const std::int64_t n = data.nsamp();
  const std::int64_t buckets = std::min<std::int64_t>(points, n);
  out << "envelope " << buckets << "\n";
  for (std::int64_t b = 0; b < buckets; ++b) {
    const std::int64_t lo = b * n / buckets;
    const std::int64_t hi = (b + 1) * n / buckets;
    out << exact(static_cast<double>(lo) * data.dt) << ' '
        << exact(static_cast<double>(hi - 1) * data.dt);
    for (const std::vector<float>& column : data.component) {
      // NaN samples are left out of the envelope; a bucket of nothing else prints nan.
      float low = std::numeric_limits<float>::quiet_NaN();
      float high = low;
      for (std::int64_t i = lo; i < hi; ++i) {
        const float v = column[static_cast<std::size_t>(i)];
        if (std::isnan(v)) continue;
        if (!(v >= low)) low = v;
        if (!(v <= high)) high = v;
      }
      out << ' ' << exact(low) << ' ' << exact(high);
    }
    out << '\n';
  }
}

// A relative path that does not exist from the current folder is looked for beside
// the window file, where calmpick's list usually put the recordings.
hv::Name locate(const hv::Name& file, const std::filesystem::path& beside) {
  namespace fs = std::filesystem;
  const fs::path path(std::string(file.trimmed()));
  std::error_code ec;
  if (fs::exists(path, ec) || path.is_absolute() || beside.empty()) return file;
  const fs::path other = beside / path;
  if (fs::exists(other, ec) && other.string().size() <= 200) return hv::Name(other.string());
  return file;
}

// Where and when a recording was made, as far as its format says.
struct Origin {
  std::string station;                   // "NET.STA", "STA" or empty
  std::optional<std::int64_t> start_us;  // first sample, microseconds since 1970 (UTC)
};

std::optional<std::int64_t> utc_microseconds(int year, int month, int day, int hour, int minute,
                                             int second, std::int64_t micro) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year} / month / day};
  if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
      second > 60 || micro < 0 || micro >= 1000000) {
    return std::nullopt;
  }
  const std::int64_t days = sys_days{date}.time_since_epoch().count();
  return ((days * 24 + hour) * 60 + minute) * std::int64_t{60000000} +
         std::int64_t{second} * 1000000 + micro;
}

std::string seconds_text(std::int64_t us) {
  const std::int64_t whole = us >= 0 ? us / 1000000 : -((-us + 999999) / 1000000);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%lld.%06lld", static_cast<long long>(whole),
                static_cast<long long>(us - whole * 1000000));
  return buf;
}

std::string joined_station(std::string_view network, std::string_view station) {
  if (station.empty()) return {};
  return network.empty() ? std::string(station) : std::string(network) + "." + std::string(station);
}

// The miniSEED reader cuts the three channels to their common span, so the first
// sample is the latest of the channels' first samples. The records' headers are read
// here again (the reader keeps the times to itself); the samples are not decoded.
Origin miniseed_origin(const hv::Name& file, const hv::Recording& info) {
  Origin origin;
  const std::string path(file.trimmed());
  const std::string station(info.station.trimmed());
  std::array<hptime_t, 3> first;
  first.fill(HPTERROR);
  std::string network;
  MSFileParam* msfp = nullptr;
  MSRecord* msr = nullptr;
  while (ms_readmsr_r(&msfp, &msr, path.c_str(), -1, nullptr, nullptr, 1, 0, 0) == MS_NOERROR) {
    if (msr->samplecnt <= 0 || station != msr->station) continue;
    for (std::size_t k = 0; k < 3; ++k) {
      if (info.channel[k].trimmed() != msr->channel) continue;
      const hptime_t t = msr_starttime(msr);
      if (first[k] == HPTERROR || t < first[k]) first[k] = t;
      network = msr->network;
    }
  }
  ms_readmsr_r(&msfp, &msr, nullptr, 0, nullptr, nullptr, 0, 0, 0);
  origin.station = joined_station(network, station);
  if (std::none_of(first.begin(), first.end(), [](hptime_t t) { return t == HPTERROR; })) {
    // hptime_t counts microseconds.
    origin.start_us = *std::max_element(first.begin(), first.end());
  }
  return origin;
}

Origin kaf_origin(const hv::Name& file, hv::UnitTable& units) {
  hv::KAFHDR8 hdr;
  int ndat = 0;
  float samp_freq = 0.0f;
  hv::Recording header_only;
  if (hv::RKAF(file, hv::no_sample_limit, 1, header_only, ndat, samp_freq, hdr, units) !=
      hv::kaf::ok) {
    return {};
  }
  Origin origin;
  if (hdr.sta_code.trimmed() != hv::kaf::unset_text) {
    origin.station = std::string(hdr.sta_code.trimmed());
  }
  if (hdr.start_year != hv::kaf::unset_int) {
    origin.start_us =
        utc_microseconds(hdr.start_year, hdr.start_month, hdr.start_day, hdr.start_hour,
                         hdr.start_minute, hdr.start_second, std::int64_t{hdr.start_msec} * 1000);
  }
  return origin;
}

// The vertical waveform of the recording: the first of its station and channel.
Origin gse_origin(const hv::Name& file, const hv::Recording& info) {
  std::ifstream in(std::string(file.trimmed()), std::ios::binary);
  if (!in) return {};
  hv::GseLines lines(*in.rdbuf());
  auto buffers = std::make_unique<hv::GseBuffers>();
  hv::GseWaveform waveform;
  hv::GSEHDR hdr;
  hv::ReadNotes ignored;  // the reader has already reported what it found
  for (;;) {
    hv::INIT_HDRVARS(hdr);
    const int status = hv::GSEIN(lines, *buffers, hdr, waveform, ignored);
    if (status == hv::gse::end_of_file) return {};
    if (status != hv::gse::ok) continue;
    if (hdr.station.trimmed() != info.station.trimmed() ||
        hdr.channel.trimmed() != info.channel[0].trimmed()) {
      continue;
    }
    Origin origin;
    origin.station = joined_station(hdr.network.trimmed(), hdr.station.trimmed());
    origin.start_us = utc_microseconds(hdr.year, hdr.month, hdr.day, hdr.hour, hdr.minute,
                                       hdr.second, std::int64_t{hdr.msec} * 1000);
    return origin;
  }
}

Origin origin_of(int format, const hv::Name& file, const hv::Recording& info,
                 hv::UnitTable& units) {
  switch (format) {
    case hv::format::miniseed:
      return miniseed_origin(file, info);
    case hv::format::kaf:
      return kaf_origin(file, units);
    case hv::format::gse:
      return gse_origin(file, info);
    default:
      return {};  // DuneHeron files name neither the station nor the time
  }
}

int print_recording(int index, const Recording& rec, const std::filesystem::path& beside,
                    int points, hv::UnitTable& units, std::ostream& out, std::ostream& console) {
  const hv::Name file = locate(rec.file, beside);
  const std::filesystem::path path(std::string(file.trimmed()));
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    const bool exists = std::filesystem::exists(path, ec);
    console << who << "recording " << rec.file.trimmed()
            << (exists ? " is not a regular file\n" : " does not exist\n");
    return failed;
  }
  int format = hv::format::unknown;
  hv::Recording data;
  if (read_recording(rec, file, format, data, units, console) != 0 || data.nsamp() < 1) {
    console << who << "recording " << rec.file.trimmed() << " could not be read\n";
    return failed;
  }
  out << "recording " << index << "\npath " << file.trimmed() << "\nformat " << format << "\ndt "
      << exact(data.dt) << "\nnsamp " << data.nsamp() << "\nlabels ";
  for (std::size_t k = 0; k < data.labels.size(); ++k) {
    out << (k == 0 ? "" : "\t") << label_text(data.labels[k]);
  }
  out << '\n';
  const Origin origin = origin_of(format, file, data, units);
  if (!origin.station.empty()) out << "station " << origin.station << '\n';
  if (origin.start_us) out << "start " << seconds_text(*origin.start_us) << '\n';
  for (const auto& w : rec.windows)
    out << "window " << exact(w.start) << ' ' << exact(w.end) << ' ' << w.number << '\n';
  print_envelope(data, points, out);
  return 0;
}

// The window file's recordings, each once, in order of first appearance.
std::vector<Recording> recordings_of(const hv::WINDOWS& windows) {
  std::vector<Recording> list;
  for (const hv::WindowEntry& w : windows.entry) {
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const Recording& r) { return r.same_source(w); });
    if (it == list.end()) {
      list.push_back({w.file, w.format, w.channel, w.station, {}});
      it = list.end() - 1;
    }
    it->windows.push_back({w.start, w.end, static_cast<int>(&w - windows.entry.data()) + 1});
  }
  return list;
}

int bad_usage(const std::string& why, std::ostream& console) {
  console << who << why << "\n" << usage;
  return failed;
}

struct Options {
  std::string recording;
  std::string window_file;
  int format = hv::format::unknown;
  int points = default_points;
};

// Returns 0 with the options filled, or the failure status after a message.
int parse_options(std::span<const std::string> args, Options& opt, std::ostream& console) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) {
      if (!opt.recording.empty()) return bad_usage("more than one recording: " + arg, console);
      opt.recording = arg;
      continue;
    }
    if (i + 1 == args.size()) return bad_usage("option " + arg + " needs a value", console);
    const std::string& value = args[++i];
    if (arg == "--windows") {
      opt.window_file = value;
    } else if (arg == "--format" || arg == "--points") {
      const auto number = hv::parse_int(value);
      const int low = arg == "--format" ? 0 : 1;
      const int high = arg == "--format" ? hv::format::miniseed : max_points;
      if (!number || *number < low || *number > high) {
        return bad_usage(arg + " needs a whole number from " + std::to_string(low) + " to " +
                             std::to_string(high) + ", got " + value,
                         console);
      }
      (arg == "--format" ? opt.format : opt.points) = *number;
    } else {
      return bad_usage("unknown option " + arg, console);
    }
  }
  if (opt.recording.empty() == opt.window_file.empty()) {
    return bad_usage("give either a recording or --windows WINDOW_FILE", console);
  }
  if (opt.recording.size() > 200 || opt.window_file.size() > 200) {
    return bad_usage("file names are limited to 200 characters", console);
  }
  return 0;
}

int hvtrace_run(std::span<const std::string> args, std::ostream& out, std::ostream& console) {
  Options opt;
  if (const int status = parse_options(args, opt, console); status != 0) return status;
  hv::UnitTable units;
  std::vector<Recording> list;
  std::filesystem::path beside;
  if (!opt.window_file.empty()) {
    hv::WINDOWS windows;
    const int status = hv::GTWS(hv::Name(opt.window_file), windows, units, console);
    if (status != 0 && status != 2) return failed;
    if (windows.nwin() == 0) {
      console << who << "no window in " << opt.window_file << "\n";
      return failed;
    }
    list = recordings_of(windows);
    beside = std::filesystem::path(opt.window_file).parent_path();
  } else {
    list.push_back({hv::Name(opt.recording), opt.format, {}, {}, {}});
  }
  for (std::size_t k = 0; k < list.size(); ++k) {
    const int status =
        print_recording(static_cast<int>(k) + 1, list[k], beside, opt.points, units, out, console);
    if (status != 0) return status;
  }
  out.flush();
  return out ? 0 : failed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return hvtrace_run(args, std::cout, std::cerr);
}

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
//   window START END        (one line per window of this recording, seconds)
//   envelope B
//   T_FIRST T_LAST MIN1 MAX1 MIN2 MAX2 MIN3 MAX3   (B lines)
// Bucket b of B holds samples floor(b*N/B) .. floor((b+1)*N/B)-1, times in seconds
// from the first sample. Messages go to standard error; the status is 0, or 2 when
// anything could not be read.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "common/freefmt.hpp"
#include "common/glun.hpp"
#include "common/text.hpp"
#include "ratiospec/gtws.hpp"
#include "readers/reader_table.hpp"
#include "readers/readerth.hpp"
#include "readers/recording.hpp"
#include "readers/records.hpp"

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
  std::vector<std::array<float, 2>> windows;

  bool same_source(const hv::WindowEntry& w) const {
    return file == w.file && format == w.format && channel[0] == w.channel[0] &&
           channel[1] == w.channel[1] && channel[2] == w.channel[2] && station == w.station;
  }
};

// The one place that reads a recording. A window line's format is read as ratiospec
// reads it, with the line's channel codes and station; a recording given without a
// format is read by calmpick's dispatch, which guesses. format: out, the format that
// read the file. Fills ts.dt, ts.nsamp and info. Returns 0, or 1 after a message.
int read_recording(const Recording& rec, const hv::Name& file, int& format, hv::TIMESERIES& ts,
                   hv::RecordingInfo& info, hv::UnitTable& units, std::ostream& console) {
  format = rec.format;
  if (format == hv::format::unknown) return hv::READERTHW(format, file, ts, info, units, console);
  const hv::ReaderRow* reader = hv::find_reader(format);
  if (reader == nullptr) {
    console << who << "format index " << format << " of " << rec.file.trimmed()
            << " is not a format the programs read\n";
    return 1;
  }
  const int status = reader->read(file, hv::ChannelRequest{rec.channel, rec.station},
                                  hv::Voice::ratiospec, ts, info, units, console);
  ts.nsamp = status == hv::read_status::ok ? info.nsamp : 0;
  ts.dt = info.dt;
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

void print_envelope(const hv::TIMESERIES& ts, int points, std::ostream& out) {
  const std::int64_t n = ts.nsamp;
  const std::int64_t buckets = std::min<std::int64_t>(points, n);
  out << "envelope " << buckets << "\n";
  for (std::int64_t b = 0; b < buckets; ++b) {
    const std::int64_t lo = b * n / buckets;
    const std::int64_t hi = (b + 1) * n / buckets;
    out << exact(static_cast<double>(lo) * ts.dt) << ' '
        << exact(static_cast<double>(hi - 1) * ts.dt);
    for (int c = 1; c <= 3; ++c) {
      const auto column = ts.column(c);
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

int print_recording(int index, const Recording& rec, const std::filesystem::path& beside,
                    int points, hv::TIMESERIES& ts, hv::UnitTable& units, std::ostream& out,
                    std::ostream& console) {
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
  hv::RecordingInfo info;
  if (read_recording(rec, file, format, ts, info, units, console) != 0 || ts.nsamp < 1) {
    console << who << "recording " << rec.file.trimmed() << " could not be read\n";
    return failed;
  }
  out << "recording " << index << "\npath " << file.trimmed() << "\nformat " << format << "\ndt "
      << exact(ts.dt) << "\nnsamp " << ts.nsamp << "\nlabels ";
  for (std::size_t k = 0; k < info.labels.size(); ++k) {
    out << (k == 0 ? "" : "\t") << label_text(info.labels[k]);
  }
  out << '\n';
  for (const auto& [start, end] : rec.windows)
    out << "window " << exact(start) << ' ' << exact(end) << '\n';
  print_envelope(ts, points, out);
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
    it->windows.push_back({w.start, w.end});
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
  hv::TIMESERIES ts;
  for (std::size_t k = 0; k < list.size(); ++k) {
    const int status = print_recording(static_cast<int>(k) + 1, list[k], beside, opt.points, ts,
                                       units, out, console);
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

// SPDX-License-Identifier: GPL-3.0-or-later
// Reading throughput on 600001-sample three-component recordings: the KAF reader,
// and the GSE reader on a GSE2.0 message in CM6 and in INT form.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "readers/readergse.hpp"
#include "readers/records.hpp"
#include "readers/rkaf.hpp"
#include "tools/synth.hpp"
#include "tools/synth_gse.hpp"

namespace {

// Best wall time of five runs of `read`, which returns true when it succeeded.
double best_of_five(const std::function<bool()>& read) {
  double best = 1.0e30;
  for (int run = 0; run < 5; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!read()) return -1.0;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - t0;
    best = std::min(best, elapsed.count());
  }
  return best;
}

bool report(const char* what, const std::string& path, double seconds) {
  if (seconds < 0.0) {
    std::printf("bench_read: %s failed\n", what);
    return false;
  }
  const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1.0e6;
  std::printf("bench_read: %s, %.1f MB, best of 5: %.3f s, %.1f MB/s\n", what, megabytes, seconds,
              megabytes / seconds);
  return true;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("hv_bench_read_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string kaf = (dir / "bench.kaf").string();
  const std::string cm6 = (dir / "bench_cm6.gse").string();
  const std::string int_form = (dir / "bench_int.gse").string();

  hv::synth::Spec spec;
  spec.duration_s = 6000.0;  // 600001 samples at 100 Hz
  spec.resonance_hz = 2.0;
  const hv::synth::Recording rec = hv::synth::synthesize(spec);
  hv::synth::write_kaf(kaf, rec, spec);
  const auto channels = hv::synth::gse_channels(rec, spec, 2);
  hv::synth::GseStyle style;
  style.datatype = "CM6";
  hv::synth::write_gse(cm6, channels, style);
  style.datatype = "INT";
  hv::synth::write_gse(int_form, channels, style);

  hv::Recording read;
  hv::KAFHDR8 hdr;
  hv::UnitTable units;
  const double kaf_time = best_of_five([&] {
    int ndat = 0;
    float samp_freq = 0.0f;
    return hv::RKAF(hv::Name(kaf), hv::NTIME, 0, read, ndat, samp_freq, hdr, units) == 0 &&
           ndat == hv::NTIME;
  });
  hv::ChannelRequest want;
  want.channel = {hv::Text<3>(spec.ch0), hv::Text<3>(spec.ch1), hv::Text<3>(spec.ch2)};
  want.station = spec.station;
  const auto gse_read = [&](const std::string& path) {
    return [&, path] {
      hv::ReadNotes notes;
      return hv::read_gse(hv::Name(path), want, hv::Voice::ratiospec, hv::NTIME, read, units,
                          notes) == hv::read_status::ok &&
             read.nsamp() == hv::NTIME && notes.empty();
    };
  };
  const double cm6_time = best_of_five(gse_read(cm6));
  const double int_time = best_of_five(gse_read(int_form));

  bool ok = report("KAF, RKAF", kaf, kaf_time);
  ok = report("GSE2.0 CM6, READERGSE", cm6, cm6_time) && ok;
  ok = report("GSE2.0 INT, READERGSE", int_form, int_time) && ok;
  fs::remove_all(dir);
  return ok ? 0 : 1;
}

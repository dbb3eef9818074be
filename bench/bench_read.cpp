// SPDX-License-Identifier: GPL-3.0-or-later
// Reading throughput of the KAF reader on a 600001-sample recording.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "readers/records.hpp"
#include "readers/rkaf.hpp"
#include "tools/synth.hpp"

int main() {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("hv_bench_read_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "bench.kaf").string();

  hv::synth::Spec spec;
  spec.duration_s = 6000.0;  // 600001 samples at 100 Hz
  spec.resonance_hz = 2.0;
  hv::synth::write_kaf(path, hv::synth::synthesize(spec), spec);
  const double megabytes = static_cast<double>(fs::file_size(path)) / 1.0e6;

  auto ts = std::make_unique<hv::TIMESERIES>();
  hv::KAFHDR8 hdr;
  hv::UnitTable units;
  double best = 1.0e30;
  int status = 0, ndat = 0;
  for (int run = 0; run < 5; ++run) {
    float samp_freq = 0.0f;
    const auto t0 = std::chrono::steady_clock::now();
    status = hv::RKAF(hv::Name(path), hv::NTIME, 0, *ts, ndat, samp_freq, hdr, units);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - t0;
    best = std::min(best, elapsed.count());
  }
  fs::remove_all(dir);
  if (status != 0 || ndat != hv::NTIME) {
    std::printf("bench_read: RKAF failed with status %d (%d samples)\n", status, ndat);
    return 1;
  }
  std::printf("bench_read: KAF file of %d samples per component, %.1f MB\n", ndat, megabytes);
  std::printf("bench_read: RKAF best of 5: %.3f s, %.1f MB/s\n", best, megabytes / best);
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Butterworth filtering of a three-component 600001-sample recording with each filter
// kind, against reading the KAF file the recording came from.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "readers/records.hpp"
#include "readers/rkaf.hpp"
#include "spectral/hps.hpp"
#include "tools/synth.hpp"

namespace {

hv::Components components(hv::Recording& rec) {
  return {rec.component[0], rec.component[1], rec.component[2]};
}

constexpr int runs = 5;

double best_of(const std::function<void()>& prepare, const std::function<void()>& work) {
  double best = 1.0e30;
  for (int run = 0; run < runs; ++run) {
    prepare();
    const auto t0 = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - t0;
    best = std::min(best, elapsed.count());
  }
  return best;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("hv_bench_filter_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "bench.kaf").string();

  hv::synth::Spec spec;
  spec.duration_s = 6000.0;  // 600001 samples at 100 Hz
  spec.resonance_hz = 2.0;
  spec.offset = 3.0;
  hv::synth::write_kaf(path, hv::synth::synthesize(spec), spec);

  hv::Recording read;
  hv::KAFHDR8 hdr;
  hv::UnitTable units;
  int status = 0, ndat = 0;
  float samp_freq = 0.0f;
  const double reading = best_of(
      [] {},
      [&] { status = hv::RKAF(hv::Name(path), hv::NTIME, 0, read, ndat, samp_freq, hdr, units); });
  fs::remove_all(dir);
  if (status != 0 || ndat != hv::NTIME) {
    std::printf("bench_filter: RKAF failed with status %d (%d samples)\n", status, ndat);
    return 1;
  }
  const float dt = 1.0f / samp_freq;
  std::printf("bench_filter: %d samples per component at dt = %g s\n", ndat, dt);
  std::printf("bench_filter: reading the KAF file, best of %d: %.3f s\n", runs, reading);

  struct Kind {
    const char* option;
    float fl, fh;
  };
  const std::vector<Kind> kinds = {{"high-pass:0.2", 0.2f, hv::no_corner},
                                   {"low-pass:20", hv::no_corner, 20.0f},
                                   {"band-pass:0.2:20", 0.2f, 20.0f}};
  hv::Recording work;
  bool finite = true;
  for (const Kind& k : kinds) {
    const double filtering =
        best_of([&] { work = read; }, [&] { hv::HPS(components(work), dt, k.fl, k.fh); });
    for (const std::vector<float>& c : work.component) {
      finite = finite && std::all_of(c.begin(), c.end(), [](float v) { return std::isfinite(v); });
    }
    std::printf("bench_filter: %-17s best of %d: %.3f s, %.2f of the reading time\n", k.option,
                runs, filtering, filtering / reading);
  }
  if (!finite) {
    std::printf("bench_filter: a filtered sample is not finite\n");
    return 1;
  }
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of the three spectra of one window (ITW, APPLY_TAPER and XFFT for components
// 1, 2 and 3) on a synthetic 100 Hz recording held in memory, for several transform
// lengths, with plan creation timed apart and the share of the time spent in FFTW's
// own transforms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "ratiospec/records.hpp"
#include "readers/recording.hpp"
#include "spectral/apply_taper.hpp"
#include "spectral/itw.hpp"
#include "spectral/xfft.hpp"
#include "tools/synth.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

std::string factors(int n) {
  std::string out;
  for (int d = 2; d * d <= n; ++d) {
    while (n % d == 0) {
      out += (out.empty() ? "" : "·") + std::to_string(d);
      n /= d;
    }
  }
  if (n > 1) out += (out.empty() ? "" : "·") + std::to_string(n);
  return out;
}

// Mean time of one call over reps calls, the best of three such batches, so that other
// load on the machine inflates the figures as little as possible.
template <typename F>
double best_mean_ms(F&& f, int reps) {
  double best = 0.0;
  for (int batch = 0; batch < 3; ++batch) {
    const auto t0 = Clock::now();
    for (int r = 0; r < reps; ++r) f();
    const double mean = ms_since(t0) / reps;
    best = batch == 0 ? mean : std::min(best, mean);
  }
  return best;
}

struct Figures {
  double window_ms;
  double fftw_ms;
};

// Mean time of one window's three spectra, and of the FFTW executions alone that the
// same window needs (three real transforms, or one real and one complex ones in the
// complex merge mode).
Figures time_window(const hv::Recording& ts, int N, bool complex, const hv::FftPlan& plan,
                    int reps) {
  const float end = static_cast<float>(N - 1) * ts.dt;
  hv::FftWork work(N);
  const hv::Taper taper{false, 5.0f};
  std::vector<float> x(static_cast<std::size_t>(N)), x3(x);
  const std::size_t nf = static_cast<std::size_t>(N / 2 + 1);
  std::vector<float> S1(nf), S2(nf), S3(nf);
  hv::Notices notes;
  float df = 0.0f;
  int nfo = 0;

  const auto one_window = [&] {
    for (int c = 1; c <= 3; ++c) {
      int nout = 0;
      const std::span<float> xc = complex && c == 3 ? std::span<float>(x3) : std::span<float>(x);
      int status =
          hv::ITW(ts.component[c - 1], ts.nsamp(), ts.dt, 0.0f, end, 1, true, xc, nout, notes);
      if (status == 0) status = hv::APPLY_TAPER(xc, nout, N, taper, notes);
      if (status == 0 && (!complex || c == 1))
        status = hv::XFFT(xc, N, ts.dt, c, plan, work, S1, S2, S3, df, nfo);
      if (status == 0 && complex && c == 3)
        status = hv::XFFT_PAIR(x, x3, N, ts.dt, plan, work, S2, S3, df, nfo);
      if (status != 0) {
        std::fprintf(stderr, "window failed with status %d at N = %d\n", status, N);
        std::exit(1);
      }
    }
  };
  const auto transforms = [&] {
    plan.forward_real(work);
    if (complex) {
      plan.forward_complex(work);
    } else {
      plan.forward_real(work);
      plan.forward_real(work);
    }
  };
  one_window();
  const double window_ms = best_mean_ms(one_window, reps);
  const double fftw_ms = best_mean_ms(transforms, reps);
  if (S1[1] < 0.0f || S3[1] < 0.0f) std::printf("unexpected negative amplitude\n");
  return {window_ms, fftw_ms};
}

}  // namespace

int main() {
  const std::vector<int> lengths{2001, 6001, 60001, 60013, 300001, 300007};
  const int longest = *std::max_element(lengths.begin(), lengths.end());

  hv::synth::Spec spec;
  spec.dt = 0.01;
  spec.duration_s = (longest + 99) * spec.dt;
  spec.resonance_hz = 2.0;
  const hv::synth::Recording rec = hv::synth::synthesize(spec);
  hv::Recording ts;
  ts.dt = static_cast<float>(rec.dt);
  ts.component = {rec.z, rec.ns, rec.ew};
  std::printf(
      "bench_spectra: one window's three spectra (ITW + APPLY_TAPER cos:5 + XFFT), "
      "recording of %d samples at dt = %g s\n",
      ts.nsamp(), static_cast<double>(ts.dt));

  for (const int N : lengths) {
    const int reps = std::clamp(2000000 / N, 4, 1000);
    const auto t0 = Clock::now();
    const hv::FftPlan plan(N);
    const double plan_ms = ms_since(t0);
    std::printf("  N = %6d (%s): plan creation %.2f ms (once per run)\n", N, factors(N).c_str(),
                plan_ms);
    for (const char* merge : {"quadratic", "complex"}) {
      const Figures f = time_window(ts, N, std::string_view(merge) == "complex", plan, reps);
      std::printf("  N = %6d merge %-9s: %9.3f ms per window, FFTW %5.1f%% (%.3f ms), %d reps\n", N,
                  merge, f.window_ms, 100.0 * f.fftw_ms / f.window_ms, f.fftw_ms, reps);
    }
  }
  return 0;
}

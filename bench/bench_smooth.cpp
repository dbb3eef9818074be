// SPDX-License-Identifier: GPL-3.0-or-later
// Konno-Ohmachi smoothing (b = 40) on the transform grid: time to build the smoothing
// plan and to apply it to one window's three spectra, with the baseline kernel and the
// widest one this processor runs, on one thread and on all (HV_THREADS if set), against
// the plain evaluation of every weight with log10 and sin, for three transform lengths.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/workers.hpp"
#include "spectral/apply_smooth.hpp"
#include "spectral/deffre.hpp"
#include "spectral/frequency_step.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// A positive, irregular spectrum (deterministic).
std::vector<float> test_spectrum(int nf, unsigned seed) {
  std::vector<float> s(static_cast<std::size_t>(nf));
  unsigned x = seed;
  for (int k = 0; k < nf; ++k) {
    x = x * 1664525u + 1013904223u;
    const double noise = static_cast<double>(x >> 8) / 16777216.0;
    s[static_cast<std::size_t>(k)] = static_cast<float>((1.0 + 0.5 * noise) / (1.0 + 0.001 * k));
  }
  return s;
}

struct PlainResult {
  double seconds = 0.0;
  double weights = 0.0;  // weights evaluated
  double max_rel = 0.0;  // largest relative difference from the plan's output
  int rows = 0;
};

// The plain formula on every `stride`-th smoothed row, compared with the plan's output.
PlainResult plain(float b, float df, int nf, const std::vector<float>& f,
                  const std::vector<std::vector<float>>& S,
                  const std::vector<std::vector<float>>& O, int stride) {
  PlainResult res;
  const float r = std::pow(10.0f, 3.14159f / b);
  const auto t0 = Clock::now();
  for (std::size_t j = 0; j < f.size(); j += static_cast<std::size_t>(stride)) {
    const float fj = f[j];
    if (fj * (r - 1.0f / r) < 2.0f * df) continue;
    const auto i1 = static_cast<long long>(fj / (r * df));
    const auto i2 = static_cast<long long>(r * fj / df);
    if (i2 + 1 > nf) break;
    double sw = 0.0, s[3] = {0.0, 0.0, 0.0};
    for (long long k = i1 + 1; k <= i2; ++k) {
      const double x = b * std::log10(static_cast<double>(k) * df / fj);
      const double w = std::fabs(x) < 0.001 ? 1.0 : std::pow(std::sin(x) / x, 4);
      sw += w;
      for (int c = 0; c < 3; ++c)
        s[c] += w * S[static_cast<std::size_t>(c)][static_cast<std::size_t>(k)];
    }
    res.weights += static_cast<double>(i2 - i1);
    ++res.rows;
    for (int c = 0; c < 3; ++c) {
      const double expect = s[c] / sw;
      const double got = O[static_cast<std::size_t>(c)][j];
      res.max_rel = std::max(res.max_rel, std::fabs(got - expect) / std::fabs(expect));
    }
  }
  res.seconds = seconds_since(t0);
  return res;
}

double apply_seconds(const hv::SmoothPlan& plan, const std::vector<std::vector<float>>& S,
                     std::vector<std::vector<float>>& O, hv::Workers* workers) {
  hv::Notices notes;
  int jfirst = 0, jlast = 0;
  const auto t0 = Clock::now();
  hv::APPLY_SMOOTH(plan, S[0], S[1], S[2], O[0], O[1], O[2], 1, jfirst, jlast, notes, workers);
  return seconds_since(t0);
}

void run(int N, int threads) {
  const float dt = 0.01f;
  const float df = hv::frequency_step(N, dt);
  const int nf = N / 2 + 1;
  std::vector<float> f;
  int nfreq = 0;
  hv::Notices notes;
  hv::DEFFRE(N, dt, hv::GridSpacing{}, f, nfreq, notes);
  std::vector<std::vector<float>> S = {test_spectrum(nf, 1), test_spectrum(nf, 2),
                                       test_spectrum(nf, 3)};
  std::vector<std::vector<float>> O(3, std::vector<float>(static_cast<std::size_t>(nfreq)));

  const hv::Smoothing ko{hv::Smoothing::Form::konno_ohmachi, 40.0f};
  const bool spacing = true;  // the transform grid
  const hv::SimdLevel best = hv::best_simd_level();
  auto t0 = Clock::now();
  const hv::SmoothPlan plan = hv::make_smooth_plan(ko, spacing, df, nf, f);
  const double build = seconds_since(t0);
  const hv::SmoothPlan base_plan =
      hv::make_smooth_plan(ko, spacing, df, nf, f, hv::default_weight_cap, hv::SimdLevel::baseline);
  const double base_apply = apply_seconds(base_plan, S, O, nullptr);
  const double apply = apply_seconds(plan, S, O, nullptr);
  hv::Workers workers(threads);
  const double apply_all = apply_seconds(plan, S, O, &workers);

  // Every row for the shorter transforms; for the longest a sample of rows, whose time
  // is scaled by the ratio of all weights to the sampled ones.
  const int stride = N > 100000 ? 97 : 1;
  const PlainResult p = plain(40.0f, df, nf, f, S, O, stride);
  double all_weights = p.weights;
  if (stride > 1) {
    all_weights = 0.0;
    const PlainResult count = [&] {
      PlainResult c;
      const float r = std::pow(10.0f, 3.14159f / 40.0f);
      for (const float fj : f) {
        if (fj * (r - 1.0f / r) < 2.0f * df) continue;
        const auto i1 = static_cast<long long>(fj / (r * df));
        const auto i2 = static_cast<long long>(r * fj / df);
        if (i2 + 1 > nf) break;
        c.weights += static_cast<double>(i2 - i1);
      }
      return c;
    }();
    all_weights = count.weights;
  }
  const double plain_seconds = p.seconds * all_weights / std::max(p.weights, 1.0);

  std::printf(
      "N = %6d: nfreq %6d, %.3g weights, %zu stored in the plan, %d rows evaluated per call\n", N,
      nfreq, all_weights, plan.stored_weights(), plan.computed_rows());
  std::printf("N = %6d: plan build %.4f s (%d shares for the threads)\n", N, build, plan.shares());
  std::printf(
      "N = %6d: apply to 3 spectra, 1 thread: baseline kernel %.4f s, %s kernel %.4f s "
      "(%.2f ns per weight, %.2fx)\n",
      N, base_apply, std::string(hv::simd_level_name(best)).c_str(), apply,
      1e9 * apply / all_weights, base_apply / apply);
  std::printf("N = %6d: apply to 3 spectra, %d threads: %.4f s (%.2fx of one thread)\n", N,
              workers.size(), apply_all, apply / apply_all);
  if (stride > 1) {
    std::printf(
        "N = %6d: plain sin/log10 formula %.3f s, timed on %d of %d rows (every %d-th) and "
        "scaled by weight count\n",
        N, plain_seconds, p.rows, nfreq, stride);
  } else {
    std::printf("N = %6d: plain sin/log10 formula %.4f s on all %d smoothed rows\n", N,
                plain_seconds, p.rows);
  }
  std::printf(
      "N = %6d: speed-up %.1fx (apply) and %.1fx (build + apply); largest relative "
      "difference %.2e over %d rows\n",
      N, plain_seconds / apply, plain_seconds / (build + apply), p.max_rel, p.rows);
}

}  // namespace

int main() {
  const std::optional<int> threads = hv::thread_count(std::getenv("HV_THREADS"));
  if (!threads) {
    std::fprintf(stderr, "HV_THREADS must be a whole number from 1 to %d\n", hv::max_threads);
    return 2;
  }
  for (const int N : {2001, 20001, 300001}) run(N, *threads);
  return 0;
}

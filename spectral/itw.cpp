// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/itw.hpp"

#include <cmath>
#include <cstddef>
#include <limits>

namespace hv {

namespace {

// Sample number (1-based) nearest to time t, halves to the later sample. The quotient
// and the half are taken in single precision, as the window times themselves are.
// floor rather than truncation, so that a time before the first sample never rounds
// onto it; for t >= 0 both agree. Times that give no representable index (dt of zero,
// a non-finite time) come out as the lowest value, which every range test refuses.
long long sample_number(float t, float dt) {
  const float q = t / dt + 0.5f;
  constexpr float limit = 1.0e15f;
  if (!(q > -limit && q < limit)) {
    return q >= limit ? static_cast<long long>(limit) : -static_cast<long long>(limit);
  }
  return static_cast<long long>(std::floor(q)) + 1;
}

int clamp_to_int(long long v) {
  constexpr long long lo = std::numeric_limits<int>::min();
  constexpr long long hi = std::numeric_limits<int>::max();
  return static_cast<int>(v < lo ? lo : (v > hi ? hi : v));
}

}  // namespace

int ITW(std::span<const float> column, int nsamp, float dt, float start, float end, int w,
        bool remove_mean, std::span<float> out, int& nout, Notices& notes) {
  const long long npts = nsamp;
  const long long iend = sample_number(end, dt);
  const long long istart = sample_number(start, dt);

  const auto wrong_range = [&] {
    Notice n = error_notice(Note::window_outside,
                            {static_cast<double>(npts), static_cast<double>(w),
                             static_cast<double>(istart), static_cast<double>(iend)});
    n.window = w;
    notes.push_back(n);
    return 1;
  };
  // The column bound guards against a sample count that a reader left beyond the store.
  const auto stored = static_cast<long long>(column.size());
  if (iend > npts || istart > npts || istart <= 0 || iend > stored) return wrong_range();
  const long long count = iend - istart + 1;
  nout = clamp_to_int(count);
  if (count <= 0) return wrong_range();

  if (count > static_cast<long long>(out.size())) {
    Notice n = error_notice(Note::window_too_long,
                            {static_cast<double>(count), static_cast<double>(out.size())});
    n.window = w;
    notes.push_back(n);
    return 3;
  }

  const auto first = static_cast<std::size_t>(istart - 1);
  const auto n = static_cast<std::size_t>(count);
  const std::span<const float> samples = column.subspan(first, n);
  if (remove_mean) {
    double sum = 0.0;
    for (const float s : samples) sum += s;
    const double mean = sum / static_cast<double>(count);
    for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<float>(samples[k] - mean);
  } else {
    for (std::size_t k = 0; k < n; ++k) out[k] = samples[k];
  }
  return 0;
}

}  // namespace hv

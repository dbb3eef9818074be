// SPDX-License-Identifier: GPL-3.0-or-later
// Linear interpolation of a raw spectrum at output-grid frequencies: the fallback of
// the smoothing where a smoothing window would be narrower than the transform grid.
#pragma once

#include <span>

namespace hv {

// Where frequency fj falls on the raw grid k·df of nf values: the two samples (0-based)
// and the distance fj - i·df from the lower one, all in single precision.
struct InterpPoint {
  int lo = 0;
  int hi = 0;
  float t = 0.0f;
};

// i = trunc(fj/df); lo = i, hi = min(i + 1, nf - 1). Indices are kept inside the
// spectrum even for a frequency outside it.
InterpPoint interpolation_point(float fj, float df, int nf);

// S(lo) + (S(hi) - S(lo))/df · t; at the last value (hi = lo) the value is held.
inline float interpolate(const InterpPoint& p, std::span<const float> S, float df) {
  const float lo = S[static_cast<std::size_t>(p.lo)];
  const float hi = S[static_cast<std::size_t>(p.hi)];
  return lo + (hi - lo) / df * p.t;
}

// Interpolates the spectrum S (nf values at k·df) at every grid frequency f into O.
void INTERV(std::span<const float> f, float df, std::span<const float> S, int nf,
            std::span<float> O);
// The same for grid row j (1-based) only.
void INTERV1(int j, std::span<const float> f, float df, std::span<const float> S, int nf,
             std::span<float> O);

}  // namespace hv

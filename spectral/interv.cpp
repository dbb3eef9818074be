// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/interv.hpp"

#include <algorithm>

namespace hv {

InterpPoint interpolation_point(float fj, float df, int nf) {
  const float q = fj / df;
  // Clamped before the conversion so that no grid value can index outside the spectrum.
  const float top = static_cast<float>(nf - 1);
  const int i = q >= top ? nf - 1 : (q > 0.0f ? static_cast<int>(q) : 0);
  return {i, std::min(i + 1, nf - 1), fj - static_cast<float>(i) * df};
}

void INTERV(std::span<const float> f, float df, std::span<const float> S, int nf,
            std::span<float> O) {
  for (std::size_t j = 0; j < f.size(); ++j)
    O[j] = interpolate(interpolation_point(f[j], df, nf), S, df);
}

void INTERV1(int j, std::span<const float> f, float df, std::span<const float> S, int nf,
             std::span<float> O) {
  const auto row = static_cast<std::size_t>(j - 1);
  O[row] = interpolate(interpolation_point(f[row], df, nf), S, df);
}

}  // namespace hv

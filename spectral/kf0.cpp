// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/kf0.hpp"

#include <algorithm>
#include <cstddef>

namespace hv {

int KF0(std::span<const float> X, int nfreq, int column, int ja, int jb) {
  const std::span<const float> col =
      X.subspan(static_cast<std::size_t>(column - 1) * static_cast<std::size_t>(nfreq),
                static_cast<std::size_t>(nfreq));
  const auto at = [&](int j) { return col[static_cast<std::size_t>(j - 1)]; };
  float best = -1e20f;
  int peak = ja;
  // Rows whose two neighbours exist in the column.
  const int from = std::max(ja + 1, 2);
  const int to = std::min(jb - 1, nfreq - 1);
  for (int j = from; j <= to; ++j) {
    const float x = at(j);
    if (x > at(j - 1) && x >= at(j + 1) && x > best) {
      best = x;
      peak = j;
    }
  }
  return peak;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/average_sd.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace hv {

namespace {

// The sums are kept in the single-precision result vectors; each logarithm, square
// and root is taken in double.
void average(bool geometric, std::span<const float> X, std::span<float> mean, std::span<float> sd,
             std::size_t nfreq, int nwin, std::size_t first, std::size_t last) {
  for (std::size_t j = first; j < last; ++j) mean[j] = sd[j] = 0.0f;
  if (nwin < 1) return;
  const auto windows = static_cast<std::size_t>(nwin);
  const auto value = [&](std::size_t w, std::size_t j) -> double {
    const double x = X[w * nfreq + j];
    return geometric ? std::log(x) : x;
  };
  if (nwin == 1) {
    for (std::size_t j = first; j < last; ++j) {
      mean[j] = X[j];
      sd[j] = geometric ? 1.0f : 0.0f;
    }
    return;
  }
  for (std::size_t w = 0; w < windows; ++w) {
    for (std::size_t j = first; j < last; ++j) {
      mean[j] = static_cast<float>(mean[j] + value(w, j));
    }
  }
  const auto n = static_cast<float>(nwin);
  for (std::size_t j = first; j < last; ++j) mean[j] /= n;
  for (std::size_t w = 0; w < windows; ++w) {
    for (std::size_t j = first; j < last; ++j) {
      const double d = value(w, j) - mean[j];
      sd[j] = static_cast<float>(sd[j] + d * d);
    }
  }
  const double dof = nwin - 1;
  for (std::size_t j = first; j < last; ++j) {
    const double s = std::sqrt(sd[j] / dof);
    if (geometric) {
      mean[j] = static_cast<float>(std::exp(static_cast<double>(mean[j])));
      sd[j] = static_cast<float>(std::exp(s));
    } else {
      sd[j] = static_cast<float>(s);
    }
  }
}

}  // namespace

int AVERAGE_SD(int geometric, const Triple& X, int nfreq, int nwin, const OutTriple& mean,
               const OutTriple& sd, RowRange rows_valid) {
  if (nfreq < 1) return 0;
  const auto rows = static_cast<std::size_t>(nfreq);
  const auto first = static_cast<std::size_t>(std::max(rows_valid.jfirst, 1) - 1);
  const auto last = std::min(static_cast<std::size_t>(std::max(rows_valid.jlast, 0)), rows);
  const bool geo = geometric != 0;
  for (std::size_t c = 0; c < 3; ++c) average(geo, X[c], mean[c], sd[c], rows, nwin, first, last);
  return 0;
}

}  // namespace hv

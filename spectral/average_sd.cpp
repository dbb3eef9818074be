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

int AVERAGE_SD(int geometric, std::span<const float> X1, std::span<const float> X2,
               std::span<const float> X3, std::span<float> mean1, std::span<float> mean2,
               std::span<float> mean3, int nfreq, int nwin, std::span<float> sd1,
               std::span<float> sd2, std::span<float> sd3, int jfirst, int jlast) {
  if (nfreq < 1) return 0;
  const auto rows = static_cast<std::size_t>(nfreq);
  const auto first = static_cast<std::size_t>(std::max(jfirst, 1) - 1);
  const auto last = std::min(static_cast<std::size_t>(std::max(jlast, 0)), rows);
  const bool geo = geometric != 0;
  average(geo, X1, mean1, sd1, rows, nwin, first, last);
  average(geo, X2, mean2, sd2, rows, nwin, first, last);
  average(geo, X3, mean3, sd3, rows, nwin, first, last);
  return 0;
}

}  // namespace hv

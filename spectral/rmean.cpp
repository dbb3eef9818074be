// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/rmean.hpp"

#include <cstddef>

namespace hv {

void RMEAN(float* x, int stride, int n) {
  if (n <= 0) return;
  for (int c = 0; c < 3; ++c) {
    float* column = x + static_cast<std::ptrdiff_t>(c) * stride;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += column[i];
    const double mean = sum / n;
    for (int i = 0; i < n; ++i) column[i] = static_cast<float>(column[i] - mean);
  }
}

}  // namespace hv

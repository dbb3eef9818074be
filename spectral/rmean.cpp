// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/rmean.hpp"

namespace hv {

void RMEAN(const Components& x) {
  for (const std::span<float> column : x) {
    if (column.empty()) continue;
    double sum = 0.0;
    for (const float v : column) sum += v;
    const double mean = sum / static_cast<double>(column.size());
    for (float& v : column) v = static_cast<float>(v - mean);
  }
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/finite_samples.hpp"

#include <algorithm>
#include <cmath>

namespace hv {

int first_non_finite(const Recording& rec) {
  const auto n = static_cast<std::size_t>(rec.nsamp());
  std::size_t first = n;
  for (const std::vector<float>& component : rec.component) {
    const auto end = component.begin() + static_cast<std::ptrdiff_t>(first);
    const auto it = std::find_if(component.begin(), end, [](float v) { return !std::isfinite(v); });
    first = static_cast<std::size_t>(it - component.begin());
  }
  return first == n ? 0 : static_cast<int>(first) + 1;
}

}  // namespace hv

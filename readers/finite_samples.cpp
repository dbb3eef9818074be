// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/finite_samples.hpp"

#include <algorithm>
#include <cmath>

#include "common/fields.hpp"

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

int check_finite_samples(std::string_view who, const Name& file, const Recording& rec,
                         std::ostream& console) {
  const int bad = first_non_finite(rec);
  if (bad == 0) return 0;
  free_line(console, who, "sample", bad, " is not a finite number once scaled", " in file:");
  free_line(console, file.view());
  return 1;
}

}  // namespace hv

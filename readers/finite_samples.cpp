// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/finite_samples.hpp"

#include <algorithm>
#include <cmath>

#include "common/fields.hpp"

namespace hv {

int first_non_finite(const TIMESERIES& ts, int nsamp) {
  const auto n = static_cast<std::size_t>(std::clamp(nsamp, 0, NTIME));
  std::size_t first = n;
  for (int c = 1; c <= 3; ++c) {
    const std::span<const float> column = ts.column(c).first(first);
    const auto it =
        std::find_if(column.begin(), column.end(), [](float v) { return !std::isfinite(v); });
    first = static_cast<std::size_t>(it - column.begin());
  }
  return first == n ? 0 : static_cast<int>(first) + 1;
}

int check_finite_samples(std::string_view who, const Name& file, const TIMESERIES& ts, int nsamp,
                         std::ostream& console) {
  const int bad = first_non_finite(ts, nsamp);
  if (bad == 0) return 0;
  free_line(console, who, "sample", bad, " is not a finite number once scaled", " in file:");
  free_line(console, file.view());
  return 1;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/merge_hv.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/text.hpp"

namespace hv {

Parsed<MergeType> parse_merge_type(std::string_view text) {
  std::array<Word, 1> t;
  SPLIT3(text, t, ':');
  if (t[0] == "arithmetic") return Parsed<MergeType>::accept(MergeType::arithmetic);
  if (t[0] == "geometric") return Parsed<MergeType>::accept(MergeType::geometric);
  if (t[0] == "quadratic") return Parsed<MergeType>::accept(MergeType::quadratic);
  if (t[0] == "complex") return Parsed<MergeType>::accept(MergeType::complex);
  return Parsed<MergeType>::refuse(error_notice(Note::merge_unknown));
}

void MERGE_HV(MergeType kind, std::span<float> O1col, std::span<float> O2col,
              std::span<float> O3col, std::span<float> M, int jfirst, int jlast) {
  constexpr float sqrt2 = 1.4142135f;
  const auto first = static_cast<std::size_t>(std::max(jfirst, 1) - 1);
  const std::size_t last = std::min(static_cast<std::size_t>(std::max(jlast, 0)), O1col.size());
  for (std::size_t j = first; j < last; ++j) {
    const float v = O1col[j];
    const float h2 = O2col[j];
    const float h3 = O3col[j];
    if (kind == MergeType::complex) {
      O1col[j] = O2col[j] = O3col[j] = h2 / v;
      continue;
    }
    // Products and squares are formed in double so that large amplitudes cannot overflow.
    float m = 0.0f;
    if (kind == MergeType::arithmetic) {
      m = (h2 + h3) / 2.0f;
    } else if (kind == MergeType::geometric) {
      m = static_cast<float>(std::sqrt(static_cast<double>(h2) * h3));
    } else {
      const double d2 = h2;
      const double d3 = h3;
      m = static_cast<float>(std::sqrt(d2 * d2 + d3 * d3)) / sqrt2;
    }
    M[j] = m;
    O1col[j] = m / v;
    O2col[j] = h2 / v;
    O3col[j] = h3 / v;
  }
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// The shapes the spectral stages pass around: columns of the three components over
// the output grid, the per-window matrices and the valid row range.
#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace hv {

// Three columns over the output grid (means or deviations of components 1, 2, 3).
using Triple = std::array<std::span<const float>, 3>;
using OutTriple = std::array<std::span<float>, 3>;

// The valid rows jfirst..jlast (1-based) of the output grid.
struct RowRange {
  int jfirst = 1;
  int jlast = 0;
};

// The per-window matrices of one run: nfreq rows, one column per window.
struct WindowMatrices {
  std::span<float> O1, O2, O3;
  int nfreq = 0;
  std::span<float> column(std::span<float> matrix, int w) const {
    return matrix.subspan(static_cast<std::size_t>(w - 1) * static_cast<std::size_t>(nfreq),
                          static_cast<std::size_t>(nfreq));
  }
};

}  // namespace hv

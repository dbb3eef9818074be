// SPDX-License-Identifier: GPL-3.0-or-later
// Merge of the two horizontal spectra of a window and its spectral ratios.
#pragma once

#include <span>
#include <string_view>

#include "spectral/notice.hpp"

namespace hv {

// How the two horizontal spectra are merged: "arithmetic", "geometric", "quadratic",
// or "complex" (the transform of x_NS + i·x_EW gives the merged spectrum directly).
enum class MergeType { arithmetic, geometric, quadratic, complex };

// The first token of the option names the type.
Parsed<MergeType> parse_merge_type(std::string_view text);

// For rows jfirst..jlast (1-based) of one window's columns (O1 vertical, O2 and O3 the
// horizontals) merges the horizontals into M, then replaces the columns by the ratios
// merged/V, O2/V, O3/V (complex: O2/V in all three; M untouched). A zero vertical
// gives the infinite or undefined ratio the division gives.
void MERGE_HV(MergeType type, std::span<float> O1col, std::span<float> O2col,
              std::span<float> O3col, std::span<float> M, int jfirst, int jlast);

}  // namespace hv

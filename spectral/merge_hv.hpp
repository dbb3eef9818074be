// SPDX-License-Identifier: GPL-3.0-or-later
// Merge of the two horizontal spectra of a window and its spectral ratios.
#pragma once

#include <ostream>
#include <span>

#include "common/text.hpp"

namespace hv {

// For rows jfirst..jlast (1-based) of one window's columns (O1 vertical, O2 and O3 the
// horizontals) merges the horizontals as merge_type asks ("arithmetic", "geometric",
// "quadratic"; "complex" when the transform already merged them into O2 and O3) into
// M, then replaces the columns by the ratios merged/V, O2/V, O3/V ("complex": O2/V in
// all three; M untouched). A zero vertical gives the infinite or undefined ratio the
// division gives. Returns 0, or 1 for an unknown merge type (nothing changed).
int MERGE_HV(const Option& merge_type, std::span<float> O1col, std::span<float> O2col,
             std::span<float> O3col, std::span<float> M, int jfirst, int jlast,
             std::ostream& console);

}  // namespace hv

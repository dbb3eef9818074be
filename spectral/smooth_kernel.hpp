// SPDX-License-Identifier: GPL-3.0-or-later
// The inner loop of the smoothing: the weighted sums of the three spectra over one
// output row's samples, and the weights themselves.
//
// The kernel is built for several instruction sets and chosen at run time, yet gives
// the same bits on every one: sample i of a row always goes to partial sum i mod 8,
// the eight partial sums are combined in one fixed order, and multiplications and
// additions are never fused. A site rerun on another machine gets the same file.
#pragma once

#include <cstdint>
#include <string_view>

namespace hv {

enum class SimdLevel { baseline, avx2, avx512 };
inline constexpr SimdLevel all_simd_levels[] = {SimdLevel::baseline, SimdLevel::avx2,
                                                SimdLevel::avx512};

// Whether this build holds a kernel for the level and this processor can run it.
bool simd_level_supported(SimdLevel level);
// The widest level this processor runs.
SimdLevel best_simd_level();
std::string_view simd_level_name(SimdLevel level);

// How the weights of one row are formed from its samples k = k0 .. k0+n-1.
struct WeightRule {
  enum class Kind : std::uint8_t { unit, stored, linear_tri, log_tri, konno_ohmachi };
  Kind kind = Kind::unit;
  const float* stored = nullptr;   // stored: the row's n weights
  const double* log10k = nullptr;  // log forms: log10(k) for the row's samples
  double centre = 0.0;             // linear_tri: the row's frequency; log forms: log10(f/df)
  double scale = 0.0;  // linear_tri: half width h; log_tri: ln 10 / ln r; konno_ohmachi: b
  double df = 0.0;     // linear_tri: sample spacing
  int k0 = 0;          // linear_tri: first sample
};

// Konno-Ohmachi weights with |x| up to this are taken from the polynomial; beyond it
// (never within a row's own range, only reached by rounding) from the library sine.
inline constexpr double sinc4_polynomial_limit = 3.3;

// Sums over one row: of the weights (n for unit weights) and of the weighted spectra.
struct RowSums {
  double w = 0.0, a = 0.0, b = 0.0, c = 0.0;
};

struct SmoothKernel {
  // The sums over samples s1[0..n-1], s2[...], s3[...] with the rule's weights.
  RowSums (*row_sums)(const WeightRule& rule, const float* s1, const float* s2, const float* s3,
                      int n);
  // The rule's n weights, computed in double and rounded to single precision.
  void (*weights)(const WeightRule& rule, int n, float* out);
};

// The kernel of a level; only for a level that simd_level_supported() accepts.
const SmoothKernel& smooth_kernel(SimdLevel level);

// (sin x / x)^4 from the kernel's polynomial in x², absolute error below 1e-12 for |x|
// up to sinc4_polynomial_limit.
double sinc4(double x);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Compiled with -ffp-contract=off (CMakeLists.txt): a fused multiply-add rounds once
// where the baseline rounds twice, so contraction would make the levels disagree.
#include "spectral/smooth_kernel.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace hv {

namespace {

constexpr int lanes = 8;

// sin(x)/x as a polynomial in y = x², fitted (Chebyshev, near-minimax) on |x| <= 3.3:
// error 1.2e-13, against (sin x / x)^4 below 5e-13.
constexpr std::array<double, 9> sinc_coefficients = {
    0.9999999999998798,      -0.16666666666487837,   0.008333333328950667,
    -0.00019841269427434325, 2.7557299630186e-06,    -2.5051586513314948e-08,
    1.6050859131315049e-10,  -7.571998375087446e-13, 2.4348750620000463e-15};

struct Spectra {
  const float *s1, *s2, *s3;
};

// Whether the samples of a Konno-Ohmachi row reach beyond the polynomial: x grows with
// k, so the ends of the row bound it.
bool ko_beyond_polynomial(const WeightRule& r, int n) {
  if (n <= 0) return false;
  const double x0 = r.scale * (r.log10k[0] - r.centre);
  const double x1 = r.scale * (r.log10k[n - 1] - r.centre);
  return std::fabs(x0) > sinc4_polynomial_limit || std::fabs(x1) > sinc4_polynomial_limit;
}

}  // namespace

// The vector functions below are always inlined into the entry points of their level,
// so no vector crosses a call and the ABI notes about vector arguments do not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#define HV_INLINE [[gnu::always_inline]] inline

namespace baseline_level {
namespace {
constexpr int W = 2;
#include "spectral/smooth_kernel_body.inc"
}  // namespace
}  // namespace baseline_level

// The target pragmas are GCC's: a clang build (the fuzz build) keeps the baseline
// kernel only, which gives the same sums.
#if defined(__x86_64__) && !defined(__clang__)
#define HV_X86_LEVELS 1

#pragma GCC push_options
#pragma GCC target("avx2")
namespace avx2_level {
namespace {
constexpr int W = 4;
#include "spectral/smooth_kernel_body.inc"
}  // namespace
}  // namespace avx2_level
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f")
namespace avx512_level {
namespace {
constexpr int W = 8;
#include "spectral/smooth_kernel_body.inc"
}  // namespace
}  // namespace avx512_level
#pragma GCC pop_options
#endif

#undef HV_INLINE
#pragma GCC diagnostic pop

bool simd_level_supported(SimdLevel level) {
  switch (level) {
    case SimdLevel::baseline:
      return true;
#ifdef HV_X86_LEVELS
    case SimdLevel::avx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2");
    case SimdLevel::avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f");
#else
    default:
      return false;
#endif
  }
  return false;
}

SimdLevel best_simd_level() {
  if (simd_level_supported(SimdLevel::avx512)) return SimdLevel::avx512;
  if (simd_level_supported(SimdLevel::avx2)) return SimdLevel::avx2;
  return SimdLevel::baseline;
}

std::string_view simd_level_name(SimdLevel level) {
  switch (level) {
    case SimdLevel::baseline:
      return "baseline";
    case SimdLevel::avx2:
      return "avx2";
    case SimdLevel::avx512:
      return "avx512";
  }
  return "unknown";
}

const SmoothKernel& smooth_kernel(SimdLevel level) {
#ifdef HV_X86_LEVELS
  if (level == SimdLevel::avx512) return avx512_level::kernel;
  if (level == SimdLevel::avx2) return avx2_level::kernel;
#endif
  (void)level;
  return baseline_level::kernel;
}

double sinc4(double x) {
  return baseline_level::sinc4_polynomial(x);
}

}  // namespace hv

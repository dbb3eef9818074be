// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "spectral/smooth_kernel.hpp"

namespace hv {
namespace {

using Kind = WeightRule::Kind;

// One row: its weight rule and samples, owned here.
struct Row {
  Kind kind;
  int n;
  std::vector<float> s1, s2, s3, stored;
  std::vector<double> log10k;
  WeightRule rule;
};

// A row of n samples of each kind, from sample k0 near 1000, centred on its middle
// sample. `reach` stretches the Konno-Ohmachi argument so that the row's ends lie
// near |x| = reach·pi.
Row make_row(Kind kind, int n, double reach = 1.0) {
  Row r{kind, n, {}, {}, {}, {}, {}, {}};
  const int k0 = std::max(1, 1000 - n / 2);
  for (int i = 0; i < n; ++i) {
    const double k = k0 + i;
    r.s1.push_back(static_cast<float>(1.0 + 0.5 * std::sin(0.37 * k)));
    r.s2.push_back(static_cast<float>(2.0 + std::cos(0.11 * k)));
    r.s3.push_back(static_cast<float>(0.1 + 1e-3 * k));
    r.stored.push_back(static_cast<float>(0.25 + 0.7 * std::fabs(std::sin(0.05 * k))));
    r.log10k.push_back(std::log10(k));
  }
  const double centre = k0 + n / 2;
  r.rule.kind = kind;
  r.rule.stored = r.stored.data();
  r.rule.log10k = r.log10k.data();
  r.rule.k0 = k0;
  switch (kind) {
    case Kind::linear_tri:
      r.rule.df = 0.01;
      r.rule.centre = centre * 0.01;
      r.rule.scale = (n / 2 + 1) * 0.01;
      break;
    case Kind::log_tri:
      r.rule.centre = std::log10(centre);
      // The triangle falls to zero just past the row's last sample.
      r.rule.scale = n > 0 ? 1.0 / std::log10((k0 + n) / centre) : 1.0;
      break;
    case Kind::konno_ohmachi: {
      r.rule.centre = std::log10(centre);
      const double span = n > 1 ? std::log10((k0 + n - 1.0) / centre) : 1.0;
      r.rule.scale = reach * std::acos(-1.0) / std::max(span, 1e-6);
      break;
    }
    default:
      break;
  }
  return r;
}

// The weight of sample i from the definition of each form, with the library's sin.
double plain_weight(const Row& r, int i) {
  const double k = r.rule.k0 + i;
  switch (r.kind) {
    case Kind::unit:
      return 1.0;
    case Kind::stored:
      return r.stored[static_cast<std::size_t>(i)];
    case Kind::linear_tri:
      return 1.0 - std::fabs(r.rule.centre - k * r.rule.df) / r.rule.scale;
    case Kind::log_tri:
      return 1.0 - std::fabs(std::log10(k) - r.rule.centre) * r.rule.scale;
    case Kind::konno_ohmachi: {
      const double x = r.rule.scale * (std::log10(k) - r.rule.centre);
      if (std::fabs(x) < 0.001) return 1.0;
      return std::pow(std::sin(x) / x, 4);
    }
  }
  return 0.0;
}

std::string kind_name(Kind kind) {
  switch (kind) {
    case Kind::unit:
      return "unit";
    case Kind::stored:
      return "stored";
    case Kind::linear_tri:
      return "linear_tri";
    case Kind::log_tri:
      return "log_tri";
    case Kind::konno_ohmachi:
      return "konno_ohmachi";
  }
  return "unknown";
}

struct Shape {
  Kind kind;
  int n;
  double reach;  // Konno-Ohmachi only
};

void PrintTo(const Shape& s, std::ostream* os) {
  *os << kind_name(s.kind) << " row of " << s.n << " samples, reach " << s.reach;
}

std::string shape_name(const ::testing::TestParamInfo<Shape>& info) {
  std::string name = kind_name(info.param.kind) + "_n" + std::to_string(info.param.n);
  if (info.param.reach > 1.0) name += "_beyond_polynomial";
  return name;
}

std::vector<Shape> shapes() {
  std::vector<Shape> out;
  for (const Kind kind :
       {Kind::unit, Kind::stored, Kind::linear_tri, Kind::log_tri, Kind::konno_ohmachi}) {
    // Empty, one weight, around one and two groups of eight, odd lengths, a long row.
    for (const int n : {0, 1, 2, 7, 8, 9, 15, 16, 17, 31, 63, 1001}) out.push_back({kind, n, 1.0});
  }
  // The row's ends beyond the polynomial's range take the library sine.
  for (const int n : {9, 40, 333}) out.push_back({Kind::konno_ohmachi, n, 1.2});
  return out;
}

class KernelRow : public ::testing::TestWithParam<Shape> {};

TEST_P(KernelRow, MatchesThePlainSums) {
  const Shape& p = GetParam();
  const Row r = make_row(p.kind, p.n, p.reach);
  long double w = 0, a = 0, b = 0, c = 0;
  for (int i = 0; i < p.n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    const long double x = plain_weight(r, i);
    w += x;
    a += x * r.s1[u];
    b += x * r.s2[u];
    c += x * r.s3[u];
  }
  for (const SimdLevel level : all_simd_levels) {
    if (!simd_level_supported(level)) continue;
    const RowSums s =
        smooth_kernel(level).row_sums(r.rule, r.s1.data(), r.s2.data(), r.s3.data(), p.n);
    const auto near = [](double got, long double want) {
      return std::fabs(got - static_cast<double>(want)) <= 1e-11 * std::fabs(want) + 1e-300;
    };
    EXPECT_TRUE(near(s.w, w)) << simd_level_name(level) << ": " << s.w << " vs " << double(w);
    EXPECT_TRUE(near(s.a, a)) << simd_level_name(level) << ": " << s.a << " vs " << double(a);
    EXPECT_TRUE(near(s.b, b)) << simd_level_name(level);
    EXPECT_TRUE(near(s.c, c)) << simd_level_name(level);
  }
}

TEST_P(KernelRow, EveryLevelGivesTheBaselineBits) {
  const Shape& p = GetParam();
  const Row r = make_row(p.kind, p.n, p.reach);
  const SmoothKernel& base = smooth_kernel(SimdLevel::baseline);
  const RowSums want = base.row_sums(r.rule, r.s1.data(), r.s2.data(), r.s3.data(), p.n);
  std::vector<float> want_w(static_cast<std::size_t>(p.n) + 1, -1.0f);
  base.weights(r.rule, p.n, want_w.data());
  int levels = 0;
  for (const SimdLevel level : all_simd_levels) {
    if (level == SimdLevel::baseline || !simd_level_supported(level)) continue;
    ++levels;
    const SmoothKernel& k = smooth_kernel(level);
    const RowSums got = k.row_sums(r.rule, r.s1.data(), r.s2.data(), r.s3.data(), p.n);
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0)
        << simd_level_name(level) << ": " << got.a << " vs " << want.a;
    std::vector<float> got_w(want_w.size(), -1.0f);
    k.weights(r.rule, p.n, got_w.data());
    EXPECT_EQ(got_w, want_w) << simd_level_name(level);
  }
  if (levels == 0) GTEST_SKIP() << "this processor runs the baseline kernel only";
}

TEST_P(KernelRow, WeightsFollowTheFormula) {
  const Shape& p = GetParam();
  const Row r = make_row(p.kind, p.n, p.reach);
  std::vector<float> w(static_cast<std::size_t>(p.n) + 1, -7.0f);
  smooth_kernel(best_simd_level()).weights(r.rule, p.n, w.data());
  for (int i = 0; i < p.n; ++i) {
    const double want = plain_weight(r, i);
    ASSERT_NEAR(w[static_cast<std::size_t>(i)], want, 1e-7 * std::fabs(want) + 1e-12) << i;
  }
  EXPECT_EQ(w.back(), -7.0f) << "written past the row";
}

INSTANTIATE_TEST_SUITE_P(Shapes, KernelRow, ::testing::ValuesIn(shapes()), shape_name);

TEST(SmoothKernel, BestLevelIsSupportedAndNamed) {
  EXPECT_TRUE(simd_level_supported(SimdLevel::baseline));
  EXPECT_TRUE(simd_level_supported(best_simd_level()));
  for (const SimdLevel level : all_simd_levels) {
    if (simd_level_supported(level)) {
      EXPECT_GE(static_cast<int>(best_simd_level()), static_cast<int>(level));
    }
  }
  EXPECT_EQ(simd_level_name(SimdLevel::avx2), "avx2");
}

}  // namespace
}  // namespace hv

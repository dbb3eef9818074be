// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "spectral/average_sd.hpp"
#include "spectral/merge_hv.hpp"
#include "tests/support/notices.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

struct Columns {
  std::vector<float> V, H2, H3, M;
};

// Row 2 of four holds V = 2, H2 = 3, H3 = 4; rows 1 and 4 lie outside jfirst..jlast.
Columns example() {
  return {{9, 2, 1, 9}, {9, 3, 3, 9}, {9, 4, 4, 9}, {-1, -1, -1, -1}};
}

int merge(const char* type, Columns& c, std::string* console = nullptr) {
  PARAMETERS par;
  par.merge_type = type;
  const Parsed<MergeType> kind = parse_merge_type(type);
  if (console) *console = test::rendered(test::refusal_of(kind), par);
  if (!kind.ok()) return 1;
  MERGE_HV(*kind.value, c.V, c.H2, c.H3, c.M, 2, 3);
  return 0;
}

struct MergeCase {
  const char* type;
  float merged;  // for H2 = 3, H3 = 4
};
void PrintTo(const MergeCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.type);
}
class MergeTypes : public ::testing::TestWithParam<MergeCase> {};

TEST_P(MergeTypes, MergedSpectrumAndRatios) {
  Columns c = example();
  ASSERT_EQ(merge(GetParam().type, c), 0);
  const float m = GetParam().merged;
  EXPECT_FLOAT_EQ(c.M[1], m);
  EXPECT_FLOAT_EQ(c.V[1], m / 2.0f);
  EXPECT_FLOAT_EQ(c.H2[1], 1.5f);
  EXPECT_FLOAT_EQ(c.H3[1], 2.0f);
  // Row 3: V = 1, H2 = 3, H3 = 4.
  EXPECT_FLOAT_EQ(c.V[2], m);
  EXPECT_FLOAT_EQ(c.H2[2], 3.0f);
  EXPECT_FLOAT_EQ(c.H3[2], 4.0f);
  for (const std::size_t outside : {0u, 3u}) {
    EXPECT_EQ(c.V[outside], 9.0f);
    EXPECT_EQ(c.H2[outside], 9.0f);
    EXPECT_EQ(c.M[outside], -1.0f);
  }
}

INSTANTIATE_TEST_SUITE_P(Types, MergeTypes,
                         ::testing::Values(MergeCase{"arithmetic", 3.5f},
                                           MergeCase{"geometric", std::sqrt(12.0f)},
                                           MergeCase{"quadratic", 5.0f / std::sqrt(2.0f)},
                                           MergeCase{" quadratic:extra", 5.0f / std::sqrt(2.0f)}),
                         test::name_by(&MergeCase::type));

TEST(MergeHv, ComplexTakesTheCommonHorizontalSpectrum) {
  Columns c = example();
  c.H3 = c.H2;
  ASSERT_EQ(merge("complex", c), 0);
  EXPECT_FLOAT_EQ(c.V[1], 1.5f);
  EXPECT_FLOAT_EQ(c.H2[1], 1.5f);
  EXPECT_FLOAT_EQ(c.H3[1], 1.5f);
  EXPECT_EQ(c.M, (std::vector<float>{-1, -1, -1, -1}));
}

TEST(MergeHv, UnknownTypeChangesNothing) {
  Columns c = example();
  const Columns before = c;
  std::string console;
  EXPECT_EQ(merge("Quadratic", c, &console), 1);
  EXPECT_EQ(console, "  ERROR : 'merge type' option wrongly set :\n " +
                         std::string(Option("Quadratic").view().substr(0, 78)) + "\n");
  EXPECT_EQ(c.V, before.V);
  EXPECT_EQ(c.H2, before.H2);
  EXPECT_EQ(c.M, before.M);
}

TEST(MergeHv, ZeroVerticalGivesInfiniteRatios) {
  Columns c = example();
  c.V[1] = 0.0f;
  c.H2[2] = 0.0f;
  c.H3[2] = 0.0f;
  c.V[2] = 0.0f;
  ASSERT_EQ(merge("quadratic", c), 0);
  EXPECT_TRUE(std::isinf(c.V[1]));
  EXPECT_TRUE(std::isinf(c.H2[1]));
  EXPECT_TRUE(std::isnan(c.V[2]));  // 0/0
}

TEST(MergeHv, LargeAmplitudesDoNotOverflow) {
  Columns c = example();
  c.H2[1] = 3e30f;
  c.H3[1] = 4e30f;
  ASSERT_EQ(merge("quadratic", c), 0);
  EXPECT_FLOAT_EQ(c.M[1], 5e30f / std::sqrt(2.0f));
  c = example();
  c.H2[1] = 3e30f;
  c.H3[1] = 4e30f;
  ASSERT_EQ(merge("geometric", c), 0);
  EXPECT_FLOAT_EQ(c.M[1], std::sqrt(12.0f) * 1e30f);
}

// ---------------------------------------------------------------------------

struct Averages {
  std::vector<float> mean[3], sd[3];
};

// X: nfreq × nwin for the first matrix; the second and third hold 2·X and X + 1.
Averages average(int geometric, const std::vector<float>& X, int nfreq, int nwin, int jfirst,
                 int jlast) {
  std::vector<float> X2(X), X3(X);
  for (float& x : X2) x *= 2.0f;
  for (float& x : X3) x += 1.0f;
  Averages a;
  for (int m = 0; m < 3; ++m) {
    a.mean[m].assign(static_cast<std::size_t>(nfreq), -5.0f);
    a.sd[m].assign(static_cast<std::size_t>(nfreq), -5.0f);
  }
  EXPECT_EQ(AVERAGE_SD(geometric, {X, X2, X3}, nfreq, nwin, {a.mean[0], a.mean[1], a.mean[2]},
                       {a.sd[0], a.sd[1], a.sd[2]}, {jfirst, jlast}),
            0);
  return a;
}

TEST(AverageSd, GeometricOfTwoAndEight) {
  // Rows: (2, 8) in row 1, (1, 1) in row 2; column by column.
  const Averages a = average(1, {2, 1, 8, 1}, 2, 2, 1, 2);
  EXPECT_FLOAT_EQ(a.mean[0][0], 4.0f);
  EXPECT_FLOAT_EQ(a.sd[0][0],
                  std::exp(std::fabs(std::log(2.0f) - std::log(8.0f)) / std::sqrt(2.0f)));
  EXPECT_FLOAT_EQ(a.mean[0][1], 1.0f);
  EXPECT_FLOAT_EQ(a.sd[0][1], 1.0f);
  // 4 and 16 give 8 with the same factor; 3 and 9 give sqrt(27).
  EXPECT_FLOAT_EQ(a.mean[1][0], 8.0f);
  EXPECT_FLOAT_EQ(a.sd[1][0], a.sd[0][0]);
  EXPECT_FLOAT_EQ(a.mean[2][0], std::sqrt(27.0f));
}

TEST(AverageSd, ArithmeticOfTwoAndEight) {
  const Averages a = average(0, {2, 1, 8, 1}, 2, 2, 1, 2);
  EXPECT_FLOAT_EQ(a.mean[0][0], 5.0f);
  EXPECT_FLOAT_EQ(a.sd[0][0], std::sqrt(18.0f));  // (3² + 3²)/(2 - 1)
  EXPECT_FLOAT_EQ(a.sd[0][1], 0.0f);
  EXPECT_FLOAT_EQ(a.mean[1][0], 10.0f);
  EXPECT_FLOAT_EQ(a.mean[2][0], 6.0f);
}

TEST(AverageSd, SampleDeviationOfThreeWindows) {
  // 1, 2, 6: mean 3, squares 4 + 1 + 9 = 14 over 2.
  const Averages a = average(0, {1, 2, 6}, 1, 3, 1, 1);
  EXPECT_FLOAT_EQ(a.mean[0][0], 3.0f);
  EXPECT_FLOAT_EQ(a.sd[0][0], std::sqrt(7.0f));
}

class OneWindow : public ::testing::TestWithParam<int> {};

TEST_P(OneWindow, AverageIsTheWindow) {
  const int geometric = GetParam();
  const Averages a = average(geometric, {0.3f, 7.0f, 11.0f}, 3, 1, 1, 3);
  EXPECT_EQ(a.mean[0], (std::vector<float>{0.3f, 7.0f, 11.0f}));
  EXPECT_EQ(a.sd[0], std::vector<float>(3, geometric ? 1.0f : 0.0f));
}

INSTANTIATE_TEST_SUITE_P(Kinds, OneWindow, ::testing::Values(0, 1), test::name_by_value);

TEST(AverageSd, OnlyTheValidRowsAreWritten) {
  const Averages a = average(1, {2, 2, 2, 8, 8, 8}, 3, 2, 2, 2);
  EXPECT_EQ(a.mean[0][0], -5.0f);
  EXPECT_FLOAT_EQ(a.mean[0][1], 4.0f);
  EXPECT_EQ(a.mean[0][2], -5.0f);
  EXPECT_EQ(a.sd[2][2], -5.0f);
}

TEST(AverageSd, ZeroRatioIsCarried) {
  const Averages a = average(1, {0.0f, 4.0f}, 1, 2, 1, 1);
  EXPECT_EQ(a.mean[0][0], 0.0f);  // exp(-inf)
  EXPECT_TRUE(std::isnan(a.sd[0][0]) || std::isinf(a.sd[0][0]));
  const float inf = std::numeric_limits<float>::infinity();
  const Averages b = average(1, {inf, 4.0f}, 1, 2, 1, 1);
  EXPECT_TRUE(std::isinf(b.mean[0][0]));
}

}  // namespace
}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "spectral/apply_smooth.hpp"
#include "spectral/deffre.hpp"
#include "spectral/frequency_step.hpp"
#include "tests/support/notices.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

struct Grid {
  int status = 0;
  std::vector<float> f;
  int nfreq = -1;
  std::string console;
};

Grid grid(int N, float dt, const std::string& option) {
  Grid g;
  PARAMETERS par;
  par.freq_spacing = option;
  const Parsed<GridSpacing> spacing = parse_freq_spacing(option);
  Notices notes = test::refusal_of(spacing);
  g.nfreq = 0;
  g.status = spacing.ok() ? DEFFRE(N, dt, *spacing.value, g.f, g.nfreq, notes) : 1;
  g.console = test::rendered(notes, par);
  return g;
}

void expect_increasing(const std::vector<float>& f) {
  for (std::size_t k = 1; k < f.size(); ++k) ASSERT_LT(f[k - 1], f[k]) << "at " << k;
}

TEST(Deffre, FftOddLengthEndsBelowNyquist) {
  const Grid g = grid(1001, 0.01f, "fft");
  ASSERT_EQ(g.status, 0);
  ASSERT_EQ(g.nfreq, 500);
  ASSERT_EQ(g.f.size(), 500u);
  EXPECT_EQ(g.f.front(), frequency_step(1001, 0.01f));
  EXPECT_NEAR(g.f.back(), 500.0 / (1001 * 0.01), 1e-5);
  expect_increasing(g.f);
}

TEST(Deffre, FftEvenLengthEndsAtNyquist) {
  const Grid g = grid(1000, 0.01f, "fft");
  ASSERT_EQ(g.nfreq, 500);
  EXPECT_NEAR(g.f.back(), 50.0, 1e-5);
}

TEST(Deffre, FftIgnoresFurtherTokens) {
  EXPECT_EQ(grid(1000, 0.01f, "fft:1:2:3:4").f, grid(1000, 0.01f, "fft").f);
}

TEST(Deffre, FftRedWiderThanSpectrumIsTheWholeTransformGrid) {
  const Grid red = grid(1000, 0.01f, "fft_red:0:1000");
  ASSERT_EQ(red.status, 0);
  EXPECT_EQ(red.f, grid(1000, 0.01f, "fft").f);
}

// df = 0.5 Hz and fny = 2 Hz exactly (N = 8, dt = 0.25 s), so the halves are exact.
struct Exact {
  const char* option;
  std::vector<float> expected;
};
void PrintTo(const Exact& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.option);
}
class DeffreExact : public ::testing::TestWithParam<Exact> {};

TEST_P(DeffreExact, Grid) {
  const Grid g = grid(8, 0.25f, GetParam().option);
  ASSERT_EQ(g.status, 0) << g.console;
  EXPECT_EQ(g.f, GetParam().expected);
  EXPECT_EQ(g.nfreq, static_cast<int>(GetParam().expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    HalvesAwayFromZero, DeffreExact,
    ::testing::Values(Exact{"fft_red:1.25:2", {1.5f, 2.0f}},                // 2.5·df -> index 3
                      Exact{"fft_red:0.5:1.75", {0.5f, 1.0f, 1.5f, 2.0f}},  // 3.5·df -> 4
                      Exact{"fft_red:0.74:0.76", {0.5f, 1.0f}},             // 1.48, 1.52 -> 1, 2
                      Exact{"fft_red:1:1", {1.0f}},
                      Exact{"linear:0:2:5", {0.5f, 1.0f, 1.5f, 2.0f}},  // 0 skipped
                      Exact{"linear:1:3:5", {1.0f, 1.5f, 2.0f}},        // stops after fny
                      Exact{"log:0.375:6:5", {0.75f, 1.5f}}),
    test::name_by(&Exact::option));  // 0.375 skipped, 3 stops

TEST(Deffre, LinearSkipsZeroFrequency) {
  // N = 2000 at dt = 0.01 s: df = 0.05 Hz, fny = 50 Hz.
  const Grid g = grid(2000, 0.01f, "linear:0:10:11");
  ASSERT_EQ(g.status, 0);
  EXPECT_EQ(g.f, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST(Deffre, LogStopsAtLastValueNotAboveNyquist) {
  // N = 2500 at dt = 0.02 s: df = 0.02 Hz, fny = 25 Hz. The values are
  // 0.1·1000^(i/99); 0.1·1000^(i/99) <= 25 for i <= 99·log10(250)/3 = 79.13.
  const Grid g = grid(2500, 0.02f, "log:0.1:100:100");
  ASSERT_EQ(g.status, 0);
  ASSERT_EQ(g.nfreq, 80);
  EXPECT_FLOAT_EQ(g.f.front(), 0.1f);
  EXPECT_NEAR(g.f.back(), 0.1 * std::pow(1000.0, 79.0 / 99.0), 1e-5);
  EXPECT_NEAR(g.f[40], 0.1 * std::pow(1000.0, 40.0 / 99.0), 1e-6);
  expect_increasing(g.f);
}

struct Refusal {
  const char* option;
  std::vector<std::string> lines;
};
void PrintTo(const Refusal& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.option);
}
class DeffreRefusal : public ::testing::TestWithParam<Refusal> {};

std::string option_line(const char* option) {
  return " " + std::string(Option(option).view().substr(0, 78)) + "\n";
}

TEST_P(DeffreRefusal, MessageAndStatus) {
  const Grid g = grid(2000, 0.01f, GetParam().option);
  EXPECT_EQ(g.status, 1);
  EXPECT_EQ(g.nfreq, 0);
  EXPECT_TRUE(g.f.empty());
  std::string expected;
  for (const std::string& line : GetParam().lines) {
    expected += line == "<option>" ? option_line(GetParam().option) : line + "\n";
  }
  EXPECT_EQ(g.console, expected);
}

const std::string incorrect = "  incorrect  option(s) for 'frequency spacing':";

INSTANTIATE_TEST_SUITE_P(
    Options, DeffreRefusal,
    ::testing::Values(
        Refusal{"cos", {"  ERROR : 'frequency spacing' option wrongly set :", "<option>"}},
        Refusal{"FFT", {"  ERROR : 'frequency spacing' option wrongly set :", "<option>"}},
        Refusal{"", {"  ERROR : 'frequency spacing' option wrongly set :", "<option>"}},
        Refusal{"fft_red:0.5", {incorrect, "<option>"}},
        Refusal{"fft_red:1:2:3", {incorrect, "<option>"}},
        Refusal{"log:0.1:10", {incorrect, "<option>"}},
        Refusal{"linear:1:10:5:6", {incorrect, "<option>"}},
        Refusal{"linear:1:10:1", {incorrect, "<option>"}},
        Refusal{"log:1:10:0", {incorrect, "<option>"}},
        Refusal{"log:0:10:20", {incorrect, "<option>"}},
        Refusal{"log:-1:10:20", {incorrect, "<option>"}},
        Refusal{"linear:10:1:20", {incorrect, "<option>"}},
        Refusal{"fft_red:30:20", {incorrect, "<option>"}},
        Refusal{"fft_red:60:100", {incorrect, "<option>"}},
        Refusal{"linear:1:10:4000001",
                {"  Frequency spacing option : ", "<option>",
                 "  Number of frequencies (requested or computed) greater than dimension 4000000"}},
        Refusal{"linear:one:10:5",
                {"  ERROR : 'frequency spacing' option, not a number: one", "<option>"}},
        Refusal{"log:0.1:10:many",
                {"  ERROR : 'frequency spacing' option, not a number: many", "<option>"}}),
    test::name_by(&Refusal::option));

TEST(Deffre, GridOutsideTheSpectrumIsRefused) {
  const Grid g = grid(2000, 0.01f, "linear:60:100:5");
  EXPECT_EQ(g.status, 1);
  EXPECT_EQ(g.console.rfind("  ERROR : 'frequency spacing' option gives no frequency", 0), 0u);
}

TEST(Deffre, FftWithoutAnyFrequencyIsRefused) {
  const Grid g = grid(1, 0.01f, "fft");
  EXPECT_EQ(g.status, 1);
  EXPECT_NE(g.console.find("gives no frequency"), std::string::npos);
}

TEST(Deffre, NonPositiveSamplingIntervalIsRefused) {
  EXPECT_EQ(grid(1000, 0.0f, "fft").status, 1);
  EXPECT_EQ(grid(1000, -0.01f, "linear:1:10:10").status, 1);
}

// The grid and the smoothing take df from the same place: for these lengths a df
// computed in single precision would differ by one unit and the grid's first value
// would fall below it.
class DeffreMatchesSmoothing : public ::testing::TestWithParam<int> {};

TEST_P(DeffreMatchesSmoothing, PreliminaryCheckPasses) {
  const int N = GetParam();
  const float dt = 0.01f;
  const Grid g = grid(N, dt, "fft");
  ASSERT_EQ(g.status, 0);
  for (const char* smooth : {"konno-ohmachi:40", "none", "linear:0.5:box"}) {
    const SmoothPlan plan =
        make_smooth_plan(*parse_smooth(smooth).value, true, frequency_step(N, dt), N / 2 + 1, g.f);
    EXPECT_NE(plan.outcome(), SmoothPlan::Outcome::grid_outside) << smooth;
    EXPECT_NE(plan.status(), 1) << smooth;
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DeffreMatchesSmoothing,
                         ::testing::Values(1501, 4001, 5001, 2001, 300001), test::name_by_value);

}  // namespace
}  // namespace hv

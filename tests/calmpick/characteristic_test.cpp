// SPDX-License-Identifier: GPL-3.0-or-later
// The end taper, the conditioning of the components and the STA/LTA sums.
#include "hvlib/characteristic.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <vector>

#include "calmpick/window_lines.hpp"
#include "hvlib/iniwin.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

struct IniwinCase {
  int nwin, nzero, ncos;
  int nzero_after, ncos_after;
  const char* messages;
};

std::string iniwin_name(const IniwinCase& c) {
  return std::string("nwin") + std::to_string(c.nwin) + "_nzero" + std::to_string(c.nzero) +
         "_ncos" + std::to_string(c.ncos);
}
void PrintTo(const IniwinCase& c, std::ostream* os) {
  *os << iniwin_name(c);
}

class Iniwin : public ::testing::TestWithParam<IniwinCase> {};

TEST_P(Iniwin, ReducesTheZonesOfShortRecordings) {
  const auto& c = GetParam();
  std::vector<float> taper(static_cast<std::size_t>(c.nwin), -1.0f);
  int nzero = c.nzero, ncos = c.ncos;
  Notices notes;
  ASSERT_EQ(INIWIN(taper, c.nwin, nzero, ncos, notes), 0);
  std::ostringstream console;
  print_taper_notes(console, notes);
  EXPECT_EQ(nzero, c.nzero_after);
  EXPECT_EQ(ncos, c.ncos_after);
  EXPECT_EQ(console.str(), c.messages);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Iniwin,
    ::testing::Values(IniwinCase{4, 2, 50, 1, 0,
                                 "  nzero too large in iniwin, reset to: 1\n"
                                 "  ncos (iniwin) reset to: 0\n"},
                      IniwinCase{5, 2, 50, 2, 0, "  ncos (iniwin) reset to: 0\n"},
                      IniwinCase{1000, 2, 3, 2, 3, ""}, IniwinCase{200, 2, 50, 2, 50, ""},
                      IniwinCase{104, 2, 50, 2, 49, "  ncos (iniwin) reset to: 49\n"}),
    test::name_by(iniwin_name));

TEST(Iniwin, FourSamplesGiveZeroOneOneZero) {
  std::vector<float> taper(4);
  int nzero = 2, ncos = 50;
  Notices notes;
  INIWIN(taper, 4, nzero, ncos, notes);
  EXPECT_EQ(taper, (std::vector<float>{0.0f, 1.0f, 1.0f, 0.0f}));
}

TEST(Iniwin, FiveSamplesKeepTheMiddleAtOne) {
  std::vector<float> taper(5);
  int nzero = 2, ncos = 50;
  Notices notes;
  INIWIN(taper, 5, nzero, ncos, notes);
  EXPECT_EQ(taper, (std::vector<float>{0.0f, 0.0f, 1.0f, 0.0f, 0.0f}));
}

TEST(Iniwin, RaisedCosineRampAndMirrorImage) {
  std::vector<float> taper(1000);
  int nzero = 2, ncos = 3;
  Notices notes;
  INIWIN(taper, 1000, nzero, ncos, notes);
  const double pi = std::acos(-1.0);
  const std::vector<double> head = {
      0.0, 0.0, 0.5 * (1 - std::cos(pi / 4)), 0.5, 0.5 * (1 - std::cos(3 * pi / 4)), 1.0};
  for (std::size_t i = 0; i < head.size(); ++i) {
    EXPECT_NEAR(taper[i], head[i], 1e-6) << "sample " << i + 1;
    EXPECT_EQ(taper[999 - i], taper[i]) << "sample " << 1000 - i;
  }
  for (std::size_t i = 5; i < 995; ++i) ASSERT_EQ(taper[i], 1.0f) << "sample " << i + 1;
}

TEST(Iniwin, EmptyRecordingStopsWithItsMessage) {
  std::vector<float> taper(1);
  int nzero = 2, ncos = 50;
  Notices notes;
  EXPECT_EQ(INIWIN(taper, 0, nzero, ncos, notes), 1);
  std::ostringstream console;
  print_taper_notes(console, notes);
  EXPECT_EQ(console.str(), "  nwin = 0 ; iniwin stop 1\n");
}

TEST(Window, RemovesTheMeanTapersAndRemovesTheMeanAgain) {
  const std::vector<float> source = {9.0f, 1.0f, 2.0f, 3.0f, 6.0f};
  const std::vector<float> taper = {0.0f, 1.0f, 1.0f, 0.0f};
  std::vector<float> out(4);
  WINDOW(source, out, 2, 4, taper);
  // 1 2 3 6 -> mean 3 -> -2 -1 0 3 -> tapered 0 -1 0 0 -> mean -0.25.
  EXPECT_EQ(out, (std::vector<float>{0.25f, -0.75f, 0.25f, 0.25f}));
}

// A CharacteristicWork for n samples holding the given components, already conditioned.
CharacteristicWork work_with(const std::vector<float>& a, const std::vector<float>& b,
                             const std::vector<float>& c) {
  CharacteristicWork w(static_cast<int>(a.size()));
  w.x1 = a;
  w.x2 = b;
  w.x3 = c;
  return w;
}

TEST(Characteristic, ModulusAndLargestComponent) {
  const int n = 8;
  std::vector<float> a(n, 0.0f), b(n, 0.0f), c(n, 0.0f);
  a[3] = 3.0f;
  b[3] = -4.0f;
  c[3] = 12.0f;
  b[5] = -7.0f;
  auto w = work_with(a, b, c);
  const auto st = characteristic(w, n, 1, 1, 2);
  EXPECT_EQ(w.env[3], 13.0f);
  EXPECT_EQ(w.amax[3], 12.0f);
  EXPECT_EQ(w.env[5], 7.0f);
  EXPECT_EQ(w.amax[5], 7.0f);
  EXPECT_EQ(w.amax[0], 1.0e-20f);  // zero replaced after the running maximum was taken
  EXPECT_EQ(st.env_mean, 20.0f / 8.0f);
  EXPECT_EQ(st.saturation, 0.995f * 12.0f);
}

TEST(Characteristic, SilentRecordingHasNoFiniteRatio) {
  const int n = 50;
  std::vector<float> zero(n, 0.0f);
  auto w = work_with(zero, zero, zero);
  characteristic(w, n, 3, 4, 10);
  for (int i = 0; i < n; ++i) {
    EXPECT_EQ(w.amax[static_cast<std::size_t>(i)], 1.0e-20f);
    EXPECT_EQ(w.lta[static_cast<std::size_t>(i)], 0.0f);
    EXPECT_TRUE(std::isnan(w.ratio[static_cast<std::size_t>(i)]));
  }
}

// S(i) from its definition: every sample enters the sum once and leaves it n samples
// later; a sample in a taper zone (j <= ncz at the start, j > nsamp - ncz at the end)
// enters as m, but every sample from ncz on leaves as its own env(j). Valid while the
// recurrences do not overlap (nsamp >= 2 ncz + n).
double window_sum(const std::vector<float>& env, int nsamp, int ncz, int n, double m, int i) {
  const auto entered = [&](int j) {
    return j <= ncz || j > nsamp - ncz ? m : env[static_cast<std::size_t>(j - 1)];
  };
  double s = 0;
  for (int j = i - n + 1; j <= i; ++j) s += entered(j);
  for (int j = ncz; j <= i - n; ++j) s += entered(j) - env[static_cast<std::size_t>(j - 1)];
  return s;
}

TEST(RunningSum, FollowsTheWindowSumsWithTheirStandIns) {
  const int nsamp = 300, ncz = 10;
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> u(0.5f, 2.0f);
  std::vector<float> env(nsamp);
  for (auto& v : env) v = u(gen);
  const float m = 1.25f;
  for (const int n : {1, 7, 25, 100}) {
    std::vector<float> s(nsamp);
    running_sum(env, nsamp, ncz, n, m, s);
    for (int i = 1; i <= nsamp; ++i) {
      const double expected = window_sum(env, nsamp, ncz, n, m, i);
      ASSERT_NEAR(s[static_cast<std::size_t>(i - 1)], expected, 1e-5 * n)
          << "n " << n << " i " << i;
    }
  }
}

TEST(RunningSum, EachStepIsFormedInDoubleAndStoredInSingle) {
  // n m = 2^24; at i = 6 the step adds env(6) = 3 and removes env(ncz) = 2. In double
  // 2^24 + 1 rounds to 2^24 (tie to even); single-precision steps would give
  // 2^24 + 3 -> 2^24 + 4, minus 2 -> 2^24 + 2.
  const float m = 4194304.0f;
  std::vector<float> env = {0.0f, 2.0f, m, m, m, 3.0f, 3.0f, 3.0f, 3.0f, 3.0f, 0.0f, 0.0f};
  std::vector<float> s(env.size());
  running_sum(env, 12, 2, 4, m, s);
  EXPECT_EQ(s[0], 16777216.0f);
  EXPECT_EQ(s[4], 16777216.0f);
  EXPECT_EQ(s[5], 16777216.0f);
}

TEST(Characteristic, SteadyNoiseGivesRatiosNearOneAndExactlyOneAtTheStart) {
  const int nsamp = 6000, ncz = 52;
  std::mt19937 gen(3);
  std::normal_distribution<float> g(0.0f, 1.0f);
  std::vector<float> a(nsamp), b(nsamp), c(nsamp);
  for (int i = 0; i < nsamp; ++i) {
    a[static_cast<std::size_t>(i)] = g(gen);
    b[static_cast<std::size_t>(i)] = g(gen);
    c[static_cast<std::size_t>(i)] = g(gen);
  }
  auto w = work_with(a, b, c);
  const auto st = characteristic(w, nsamp, ncz, 100, 2500);
  for (int i = 0; i < ncz; ++i) EXPECT_NEAR(w.ratio[static_cast<std::size_t>(i)], 1.0f, 1e-6f);
  for (int i = 0; i < nsamp; ++i) {
    ASSERT_GT(w.ratio[static_cast<std::size_t>(i)], 0.7f) << i;
    ASSERT_LT(w.ratio[static_cast<std::size_t>(i)], 1.3f) << i;
  }
  EXPECT_NEAR(st.lta_mean, st.env_mean, 0.05f * st.env_mean);
  EXPECT_FLOAT_EQ(st.ltathr, 0.2f * st.lta_min + 0.8f * st.lta_max);
  EXPECT_LE(st.lta_min, st.lta_mean);
  EXPECT_GE(st.lta_max, st.lta_mean);
}

TEST(Conditioning, DemeanedTaperedAndDemeanedAgain) {
  const int n = 400;
  Recording ts;
  for (int c = 1; c <= 3; ++c) {
    auto& col = ts.component[static_cast<std::size_t>(c - 1)];
    for (int i = 0; i < n; ++i) col.push_back(100.0f * c + std::sin(0.1f * i));
  }
  CharacteristicWork w(n);
  int nzero = 2, ncos = 50;
  Notices notes;
  INIWIN(w.taper, n, nzero, ncos, notes);
  condition_components(ts, w);
  // The same in double: the offset of 100 c goes, the tapered sinusoid stays.
  std::vector<double> y(n);
  double mean = 0;
  for (int i = 0; i < n; ++i) mean += std::sin(0.1f * i) / n;
  double tapered_mean = 0;
  for (int i = 0; i < n; ++i) {
    y[static_cast<std::size_t>(i)] =
        (std::sin(0.1f * i) - mean) * w.taper[static_cast<std::size_t>(i)];
    tapered_mean += y[static_cast<std::size_t>(i)] / n;
  }
  for (const auto* x : {&w.x1, &w.x2, &w.x3}) {
    for (int i = 0; i < n; ++i) {
      ASSERT_NEAR((*x)[static_cast<std::size_t>(i)], y[static_cast<std::size_t>(i)] - tapered_mean,
                  1e-4)
          << i;
    }
  }
}

}  // namespace
}  // namespace hv

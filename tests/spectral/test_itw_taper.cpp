// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "readers/readerth.hpp"
#include "readers/recording.hpp"
#include "spectral/apply_taper.hpp"
#include "spectral/hps.hpp"
#include "spectral/itw.hpp"
#include "tests/support/notices.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

// A recording of 1000 samples at dt = 0.01 s in which sample i of component c holds
// 1000·c + i, so every copied value tells which sample it came from.
class ItwTest : public ::testing::Test {
 protected:
  static constexpr int npts = 1000;

  void SetUp() override {
    rec.dt = 0.01f;
    rec.resize(npts);
    for (int c = 1; c <= 3; ++c) {
      for (int i = 1; i <= npts; ++i)
        rec.component[c - 1][static_cast<std::size_t>(i - 1)] = 1000.0f * c + i;
    }
    file = "/data/site_A.kaf";
  }

  int cut(float start, float end, int c = 1, const Option& offset = "r_mean:all",
          std::size_t dim = 2000) {
    out.assign(dim, -1.0f);
    nout = 0;
    const bool window_mean =
        parse_offset_rem(offset.view()).value->kind == Conditioning::Kind::window_mean;
    Notices notes;
    const int status = ITW(rec.component[c - 1], rec.nsamp(), rec.dt, start, end, 7, window_mean,
                           out, nout, notes);
    console << test::rendered(notes, {}, file.view());
    return status;
  }

  // The sample number that out[k] was copied from (component 1).
  int source(std::size_t k) const { return static_cast<int>(out[k]) - 1000; }

  std::string file_line() const { return " " + file.str() + "\n"; }

  Recording rec;
  Name file;
  std::vector<float> out;
  int nout = 0;
  std::ostringstream console;
};

struct Rounding {
  float start, end;
  int istart, iend;
  friend std::ostream& operator<<(std::ostream& os, const Rounding& r) {
    return os << r.start << ".." << r.end << " s";
  }
};

class ItwRounding : public ItwTest, public ::testing::WithParamInterface<Rounding> {};

TEST_P(ItwRounding, TimesRoundToTheNearestSampleWithHalvesUpward) {
  const Rounding r = GetParam();
  ASSERT_EQ(cut(r.start, r.end), 0) << console.str();
  EXPECT_EQ(nout, r.iend - r.istart + 1);
  EXPECT_EQ(source(0), r.istart);
  EXPECT_EQ(source(static_cast<std::size_t>(nout - 1)), r.iend);
  EXPECT_EQ(console.str(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Times, ItwRounding,
    ::testing::Values(Rounding{0.0f, 0.99f, 1, 100},      // whole samples
                      Rounding{0.0649f, 0.1051f, 7, 12},  // either side of a half
                      Rounding{-0.004f, 0.02f, 1, 3},     // before the first sample, nearest to it
                      Rounding{0.5f, 0.5f, 51, 51}, Rounding{0.0f, 9.99f, 1, 1000}),
    test::name_by([](const Rounding& r) {
      return test::param_name(r.start) + "_to_" + test::param_name(r.end);
    }));

TEST_F(ItwTest, HalfSampleQuotientIsTakenInSinglePrecision) {
  // 0.065 s and 0.105 s lie half-way between samples: in single precision the quotients
  // are exactly 6.5 and 10.5 and round up to samples 8 and 12. In double precision they
  // fall just below the halves and would round down.
  EXPECT_LT(static_cast<double>(0.065f) / static_cast<double>(0.01f), 6.5);
  EXPECT_LT(static_cast<double>(0.105f) / static_cast<double>(0.01f), 10.5);
  ASSERT_EQ(cut(0.065f, 0.105f), 0);
  EXPECT_EQ(source(0), 8);
  EXPECT_EQ(source(static_cast<std::size_t>(nout - 1)), 12);
}

TEST_F(ItwTest, ComponentSelectsTheColumn) {
  for (int c = 1; c <= 3; ++c) {
    ASSERT_EQ(cut(0.1f, 0.12f, c), 0);
    EXPECT_EQ(nout, 3);
    EXPECT_EQ(out[0], 1000.0f * c + 11.0f);
    EXPECT_EQ(out[2], 1000.0f * c + 13.0f);
    EXPECT_EQ(out[3], -1.0f) << "nothing is written past the window";
  }
}

TEST_F(ItwTest, OneSamplePastTheEndIsRefusedWithTheRangeLines) {
  ASSERT_EQ(cut(0.0f, 9.99f), 0);
  EXPECT_EQ(cut(0.0f, 10.0f), 1);
  EXPECT_EQ(console.str(),
            "  Start sample or end sample incorrectly specified\n"
            "  Number of points of time history :  1000\n"
            "  Window number :  7\n"
            "  Start sample :  1\n"
            "   End sample : 1001\n" +
                file_line());
  EXPECT_EQ(file_line().size(), 202u);
}

struct BadRange {
  float start, end;
  friend std::ostream& operator<<(std::ostream& os, const BadRange& r) {
    return os << r.start << ".." << r.end << " s";
  }
};

class ItwBadRange : public ItwTest, public ::testing::WithParamInterface<BadRange> {};

TEST_P(ItwBadRange, IsRefusedWithStatusOne) {
  EXPECT_EQ(cut(GetParam().start, GetParam().end), 1);
  EXPECT_EQ(console.str().rfind("  Start sample or end sample incorrectly specified\n", 0), 0u);
  EXPECT_EQ(out[0], -1.0f);
}

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Windows, ItwBadRange,
    ::testing::Values(BadRange{10.0f, 10.5f},   // starts after the last sample
                      BadRange{-0.02f, 0.5f},   // starts two samples before the first
                      BadRange{-0.01f, 0.5f},   // starts one sample before the first
                      BadRange{0.5f, 0.3f},     // ends before it starts
                      BadRange{0.0f, 1.0e30f},  // ends far beyond any index
                      BadRange{nan, 0.5f}, BadRange{0.0f, nan}, BadRange{-inf, 0.5f}),
    test::name_by([](const BadRange& r) {
      return test::param_name(r.start) + "_to_" + test::param_name(r.end);
    }));

TEST_F(ItwTest, CountIsHandedBackForAWindowEndingBeforeItsStart) {
  EXPECT_EQ(cut(0.5f, 0.3f), 1);
  EXPECT_EQ(nout, 31 - 51 + 1);
}

TEST_F(ItwTest, ZeroSamplingIntervalIsRefused) {
  rec.dt = 0.0f;
  EXPECT_EQ(cut(0.0f, 0.5f), 1);
}

TEST_F(ItwTest, WindowLongerThanTheWorkVectorIsRefusedWithStatusThree) {
  EXPECT_EQ(cut(0.0f, 0.1f, 1, "r_mean:all", 10), 3);
  EXPECT_EQ(nout, 11);
  EXPECT_EQ(console.str(),
            "  Requested window exceeds current dimension\n"
            "  requested # point :  11\n"
            "  current dimension 10\n" +
                file_line());
  EXPECT_EQ(out[0], -1.0f);
  console.str("");
  EXPECT_EQ(cut(0.0f, 0.09f, 1, "r_mean:all", 10), 0);
}

TEST_F(ItwTest, WindowMeanRemovalOnAConstantWindowGivesZeros) {
  for (std::size_t i = 99; i < 200; ++i) rec.component[1][i] = 3.3f;
  ASSERT_EQ(cut(1.0f, 1.99f, 2, "r_mean:win"), 0);
  ASSERT_EQ(nout, 100);
  for (int k = 0; k < nout; ++k) EXPECT_EQ(out[static_cast<std::size_t>(k)], 0.0f) << k;
}

struct OffsetCase {
  const char* option;
  bool removes_mean;
  friend std::ostream& operator<<(std::ostream& os, const OffsetCase& c) { return os << c.option; }
};

class ItwOffset : public ItwTest, public ::testing::WithParamInterface<OffsetCase> {};

TEST_P(ItwOffset, OnlyRMeanWinRemovesTheWindowMean) {
  ASSERT_EQ(cut(0.1f, 0.2f, 1, GetParam().option), 0);
  ASSERT_EQ(nout, 11);
  // Samples 11..21 hold 1011..1021, whose mean is 1016.
  for (int k = 0; k < nout; ++k) {
    const float raw = 1011.0f + k;
    EXPECT_EQ(out[static_cast<std::size_t>(k)], GetParam().removes_mean ? k - 5.0f : raw) << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Options, ItwOffset,
    ::testing::Values(OffsetCase{"r_mean:win", true}, OffsetCase{"r_mean : win", true},
                      OffsetCase{"r_mean:win:extra", true}, OffsetCase{"r_mean:xyz", false},
                      OffsetCase{"r_mean:all", false}, OffsetCase{"r_mean", false},
                      OffsetCase{"no", false}, OffsetCase{"R_MEAN:win", false},
                      OffsetCase{"high-pass:1", false}),
    test::name_by(&OffsetCase::option));

// ---------------------------------------------------------------------------------------

std::vector<float> tapered(const Option& option, int n, int nfft, int& status,
                           std::string* messages = nullptr) {
  std::vector<float> x(static_cast<std::size_t>(nfft) + 2, 7.0f);
  std::fill(x.begin(), x.begin() + n, 1.0f);
  PARAMETERS par;
  par.taper = option;
  const Parsed<Taper> taper = parse_taper(option.view());
  Notices notes = test::refusal_of(taper);
  status = taper.ok() ? APPLY_TAPER(x, n, nfft, *taper.value, notes) : 1;
  if (messages) *messages = test::rendered(notes, par);
  return x;
}

// Weights 0.5·(1 − cos(πk/4)) of a five-sample taper: 0, (2 − √2)/4, 1/2, (2 + √2)/4, 1.
const double five[] = {0.0, (2.0 - std::sqrt(2.0)) / 4.0, 0.5, (2.0 + std::sqrt(2.0)) / 4.0, 1.0};

struct TaperShape {
  const char* option;
  int n;
  friend std::ostream& operator<<(std::ostream& os, const TaperShape& t) {
    return os << t.option << " on " << t.n;
  }
};

class TaperFiveSamples : public ::testing::TestWithParam<TaperShape> {};

TEST_P(TaperFiveSamples, WeighsBothEndsAndKeepsTheMiddle) {
  const auto [option, n] = GetParam();
  int status = -1;
  const std::vector<float> x = tapered(option, n, n + 3, status);
  ASSERT_EQ(status, 0);
  for (int i = 0; i < n; ++i) {
    const int from_end = std::min(i, n - 1 - i);
    const double want = from_end < 5 ? five[from_end] : 1.0;
    EXPECT_NEAR(x[static_cast<std::size_t>(i)], want, 1e-6) << "sample " << i + 1;
  }
  for (int i = n; i < n + 3; ++i) EXPECT_EQ(x[static_cast<std::size_t>(i)], 0.0f);
  EXPECT_EQ(x[static_cast<std::size_t>(n + 3)], 7.0f) << "nothing is written past nfft";
}

// m = trunc(n·p/100) = 5 in every case: cos:50 on 11 samples leaves sample 6 alone, on
// 10 samples the two stretches meet.
INSTANTIATE_TEST_SUITE_P(Options, TaperFiveSamples,
                         ::testing::Values(TaperShape{"cos:50", 11}, TaperShape{"cos:50", 10},
                                           TaperShape{"cos:5", 100}, TaperShape{"cos : 5", 119},
                                           TaperShape{"cos:5.0", 100}, TaperShape{"cos:1E1", 50}),
                         test::name_by([](const TaperShape& t) {
                           return std::string(t.option) + "_on_" + std::to_string(t.n);
                         }));

class TaperNone : public ::testing::TestWithParam<const char*> {};

TEST_P(TaperNone, LeavesTheSamplesAndPadsWithZeros) {
  int status = -1;
  const std::vector<float> x = tapered(GetParam(), 40, 64, status);
  ASSERT_EQ(status, 0);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(x[static_cast<std::size_t>(i)], 1.0f) << i;
  for (int i = 40; i < 64; ++i) EXPECT_EQ(x[static_cast<std::size_t>(i)], 0.0f) << i;
  EXPECT_EQ(x[64], 7.0f);
}

// cos:2 on 40 samples tapers trunc(0.8) = 0 samples.
INSTANTIATE_TEST_SUITE_P(Options, TaperNone,
                         ::testing::Values("box", "boxcar", "cos:0", "cos:2", "boxcar:10"),
                         test::name_by_value);

TEST(ApplyTaper, SingleTaperedSampleAtEachEndBecomesZero) {
  int status = -1;
  const std::vector<float> x = tapered("cos:10", 10, 10, status);  // m = 1
  ASSERT_EQ(status, 0);
  const std::vector<float> want{0, 1, 1, 1, 1, 1, 1, 1, 1, 0};
  EXPECT_EQ(std::vector<float>(x.begin(), x.begin() + 10), want);
}

TEST(ApplyTaper, CountsThatDoNotFitTheVectorAreRefused) {
  std::vector<float> x(10, 1.0f);
  Notices notes;
  const Taper box{true, 0.0f};
  EXPECT_EQ(APPLY_TAPER(x, 10, 11, box, notes), 1);
  EXPECT_EQ(APPLY_TAPER(x, 11, 11, box, notes), 1);
  EXPECT_EQ(APPLY_TAPER(x, -1, 10, box, notes), 1);
  EXPECT_EQ(x, std::vector<float>(10, 1.0f));
}

struct TaperError {
  const char* option;
  const char* reason;
  friend std::ostream& operator<<(std::ostream& os, const TaperError& t) { return os << t.option; }
};

class TaperRefused : public ::testing::TestWithParam<TaperError> {};

TEST_P(TaperRefused, PrintsTheOptionAndTheReason) {
  int status = -1;
  std::string messages;
  const std::vector<float> x = tapered(GetParam().option, 20, 24, status, &messages);
  EXPECT_EQ(status, 1);
  const std::string value = GetParam().option;
  EXPECT_EQ(messages, "   ERROR in taper parameter:" + value + std::string(80 - value.size(), ' ') +
                          "\n " + GetParam().reason + "\n");
  for (int i = 0; i < 20; ++i) EXPECT_EQ(x[static_cast<std::size_t>(i)], 1.0f) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Options, TaperRefused,
    ::testing::Values(TaperError{"cos:50.1", " Percentage must be less than 50"},
                      TaperError{"cos", " A percentage must be supplied"},
                      TaperError{"cos:5:5", " A percentage must be supplied"},
                      TaperError{"hann:5", " The key is NOT recognised"},
                      TaperError{"COS:5", " The key is NOT recognised"},
                      TaperError{"", " The key is NOT recognised"},
                      TaperError{":5", " The key is NOT recognised"},
                      TaperError{"cos:abc", " The percentage is not a number: abc"},
                      TaperError{"cos:5%", " The percentage is not a number: 5%"},
                      TaperError{"cos:-5", " The percentage must not be negative"}),
    test::name_by(&TaperError::option));

}  // namespace
}  // namespace hv

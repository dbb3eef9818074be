// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "spectral/comp_f0.hpp"
#include "spectral/kf0.hpp"
#include "tests/support/notices.hpp"

namespace hv {
namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

struct PeakCase {
  const char* name;
  std::vector<float> x;
  int ja, jb;
  int expected;
};
void PrintTo(const PeakCase& c, std::ostream* os) {
  *os << c.name;
}
class Kf0Cases : public ::testing::TestWithParam<PeakCase> {};

TEST_P(Kf0Cases, Row) {
  const PeakCase& p = GetParam();
  // The column is the second of the matrix; the first is a decoy.
  std::vector<float> X(p.x.size(), 0.0f);
  for (std::size_t j = 0; j < X.size(); ++j) X[j] = j % 2 == 0 ? 100.0f : -100.0f;
  X.insert(X.end(), p.x.begin(), p.x.end());
  EXPECT_EQ(KF0(X, static_cast<int>(p.x.size()), 2, p.ja, p.jb), p.expected);
}

std::string peak_name(const ::testing::TestParamInfo<PeakCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Columns, Kf0Cases,
    ::testing::Values(
        PeakCase{"Decreasing", {5, 4, 3, 2, 1}, 1, 5, 1},
        PeakCase{"Increasing", {1, 2, 3, 4, 5}, 1, 5, 1},
        PeakCase{"SinglePeak", {1, 3, 2, 1, 0}, 1, 5, 2},
        PeakCase{"HighestOfTwo", {1, 3, 2, 5, 1, 0}, 1, 6, 4},
        PeakCase{"FirstOfEqualPeaks", {1, 5, 2, 5, 1, 0}, 1, 6, 2},
        PeakCase{"PlateauTakesItsLeftRow", {1, 4, 4, 2, 1}, 1, 5, 2},
        PeakCase{"PlateauWithoutRiseIsNoPeak", {4, 4, 4, 2, 1}, 1, 5, 1},
        PeakCase{"BoundsAreExcluded", {1, 2, 5, 1, 0, 9, 1}, 3, 6, 3},
        PeakCase{"SearchInsideTheBounds", {9, 1, 3, 2, 1, 9}, 2, 5, 3},
        PeakCase{"NegativeValues", {-9, -3, -5, -8}, 1, 4, 2},
        PeakCase{"NanRowIsNoPeak", {1, 2, nan, 2, 1}, 1, 5, 1},
        PeakCase{"RowsBesideNanAreNoPeak", {1, 3, nan, 3, 1, 0}, 1, 6, 1},
        PeakCase{"PeakElsewhereDespiteNan", {1, nan, 1, 4, 2, 1}, 1, 6, 4},
        PeakCase{"NanDoesNotBlockALaterPeak", {1, 5, 2, nan, 2, 3, 1}, 1, 7, 2},
        PeakCase{
            "InfiniteRatioIsAPeak", {1, 2, std::numeric_limits<float>::infinity(), 2, 1}, 1, 5, 3}),
    peak_name);

// ---------------------------------------------------------------------------

// Grid 0.1, 0.2, ... 30 Hz (row j at 0.1·j).
std::vector<float> tenth_grid() {
  std::vector<float> f;
  for (int j = 1; j <= 300; ++j) f.push_back(static_cast<float>(0.1 * j));
  return f;
}

// A curve of the grid's length with single-row peaks of height 2 at the given rows.
std::vector<float> peaks_at(std::initializer_list<int> rows, std::size_t n = 300) {
  std::vector<float> x(n, 1.0f);
  for (const int j : rows) x[static_cast<std::size_t>(j - 1)] = 2.0f;
  return x;
}

struct Fo {
  int status;
  float minus, fo, plus;
  std::string console;
};

Fo comp_f0(const std::vector<std::vector<float>>& windows, const std::vector<float>& mean,
           const std::vector<float>& f, int jfirst, int jlast) {
  std::vector<float> HVwin;
  for (const auto& w : windows) HVwin.insert(HVwin.end(), w.begin(), w.end());
  std::vector<float> work(windows.size(), -1.0f);
  Fo r{};
  Notices notes;
  FoBand fo;
  r.status = COMP_F0(HVwin, work, mean, f, static_cast<int>(f.size()),
                     static_cast<int>(windows.size()), {jfirst, jlast}, fo, notes);
  r.minus = fo.minus;
  r.fo = fo.fo;
  r.plus = fo.plus;
  r.console = test::rendered(notes);
  return r;
}

// f0 = 10.1 Hz: t = 1.5 - 9.9·0.25/19.8 = 1.375, band 10.1/1.375 = 7.345 .. 13.8875.
// The search rows are 7.4 Hz (row 74) and 13.9 Hz (row 139), both excluded.
TEST(CompF0, BandFactorAt10Hz) {
  const std::vector<float> f = tenth_grid();
  const std::vector<float> mean = peaks_at({101});
  const Fo r = comp_f0({peaks_at({75}), peaks_at({138}), peaks_at({74}), peaks_at({139}),
                        peaks_at({73, 140}), peaks_at({30, 101, 200})},
                       mean, f, 1, 300);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.console, "");
  // Windows peaking at 7.5, 13.8 and 10.1 Hz count; the others have no peak inside.
  const double m = (std::log(7.5) + std::log(13.8) + std::log(10.1)) / 3.0;
  const double s = std::sqrt((std::pow(std::log(7.5) - m, 2) + std::pow(std::log(13.8) - m, 2) +
                              std::pow(std::log(10.1) - m, 2)) /
                             2.0);
  EXPECT_NEAR(r.fo, std::exp(m), 1e-5);
  EXPECT_NEAR(r.minus, std::exp(m - s), 1e-5);
  EXPECT_NEAR(r.plus, std::exp(m + s), 1e-5);
}

TEST(CompF0, OneContributingWindowHasNoSpread) {
  const std::vector<float> f = tenth_grid();
  const Fo r = comp_f0({peaks_at({95}), peaks_at({})}, peaks_at({101}), f, 1, 300);
  EXPECT_EQ(r.status, 0);
  EXPECT_FLOAT_EQ(r.fo, 9.5f);
  EXPECT_EQ(r.minus, r.fo);
  EXPECT_EQ(r.plus, r.fo);
}

TEST(CompF0, DecreasingAverageHasNoFo) {
  const std::vector<float> f = tenth_grid();
  std::vector<float> mean;
  for (int j = 0; j < 300; ++j) mean.push_back(10.0f - 0.01f * static_cast<float>(j));
  const Fo r = comp_f0({peaks_at({95})}, mean, f, 1, 300);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.console, "  WARNING : Fo does not appear in h/v\n");
  EXPECT_EQ(r.fo, -9.0f);
  EXPECT_EQ(r.minus, -9.0f);
  EXPECT_EQ(r.plus, -9.0f);
}

TEST(CompF0, NoWindowPeakInTheBand) {
  const std::vector<float> f = tenth_grid();
  const Fo r = comp_f0({peaks_at({40}), peaks_at({200}), peaks_at({})}, peaks_at({101}), f, 1, 300);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.console, "  WARNING : it is not possible to compute Fo\n");
  EXPECT_EQ(r.fo, -9.0f);
  EXPECT_EQ(r.plus, -9.0f);
}

TEST(CompF0, NanRatiosAreNoPeaks) {
  const std::vector<float> f = tenth_grid();
  std::vector<float> bad(300, nan);
  std::vector<float> mean = peaks_at({101});
  mean[150] = nan;
  const Fo r = comp_f0({bad, peaks_at({110})}, mean, f, 1, 300);
  EXPECT_EQ(r.status, 0);
  EXPECT_FLOAT_EQ(r.fo, 11.0f);
}

// f0 = 0.3 Hz on a grid from 0.25 Hz: t = 1.5 - 0.1·0.25/19.8 = 1.498737, so
// flo = 0.20017 lies below the grid. f0 = 25 Hz on a grid up to 30 Hz: t = 1.25,
// fhi = 31.25 lies above it.
TEST(CompF0, BandReachingOutsideTheGridWarns) {
  std::vector<float> f;
  for (int j = 0; j < 300; ++j) f.push_back(0.25f + 0.05f * static_cast<float>(j));  // to 15.2
  const Fo low = comp_f0({peaks_at({2})}, peaks_at({2}), f, 1, 300);                 // 0.30 Hz
  EXPECT_EQ(low.status, 2);
  EXPECT_EQ(low.console,
            "  WARNING : Available lower frequency for searching of Fo is:   0.250\n"
            "  instead of:    0.200\n");
  EXPECT_FLOAT_EQ(low.fo, f[1]);

  const std::vector<float> g = tenth_grid();
  const Fo high = comp_f0({peaks_at({250, 280})}, peaks_at({250}), g, 1, 300);
  EXPECT_EQ(high.status, 2);
  EXPECT_EQ(high.console,
            "  WARNING : Available upper frequency for searching of Fo is:  30.000\n"
            "  instead of:   31.250\n");
  EXPECT_FLOAT_EQ(high.fo, 25.0f);  // 28 Hz is as high but comes later
}

TEST(CompF0, SearchIsLimitedToTheValidRows) {
  const std::vector<float> f = tenth_grid();
  // Valid rows 50..150 (5..15 Hz). f0 = 12 Hz: t = 1.5 - 11.8·0.25/19.8 = 1.351010,
  // band 8.882..16.212 Hz, cut at 15 Hz. The window's global maximum at 20 Hz lies
  // outside the valid rows.
  std::vector<float> w = peaks_at({110});
  w[199] = 50.0f;
  const Fo r = comp_f0({w}, peaks_at({120}), f, 50, 150);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.console,
            "  WARNING : Available upper frequency for searching of Fo is:  15.000\n"
            "  instead of:   16.212\n");
  EXPECT_FLOAT_EQ(r.fo, 11.0f);
}

}  // namespace
}  // namespace hv

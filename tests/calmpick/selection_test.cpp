// SPDX-License-Identifier: GPL-3.0-or-later
// Acceptance of samples, the window search and the window-file lines.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "calmpick/window_lines.hpp"
#include "common/glun.hpp"
#include "hvlib/select_windows.hpp"
#include "ratiospec/gtws.hpp"
#include "ratiospec/records.hpp"
#include "tests/support/run.hpp"

namespace hv {
namespace {

TEST(Acceptance, RatioBoundsAreInclusive) {
  AcceptanceLimits lim;
  lim.ratmin = 0.5f;
  lim.ratmax = 2.0f;
  EXPECT_TRUE(sample_accepted(0.5f, 1.0f, 1.0f, lim));
  EXPECT_TRUE(sample_accepted(2.0f, 1.0f, 1.0f, lim));
  EXPECT_FALSE(sample_accepted(std::nextafter(0.5f, 0.0f), 1.0f, 1.0f, lim));
  EXPECT_FALSE(sample_accepted(std::nextafter(2.0f, 3.0f), 1.0f, 1.0f, lim));
  EXPECT_FALSE(sample_accepted(std::numeric_limits<float>::quiet_NaN(), 1.0f, 1.0f, lim));
}

TEST(Acceptance, SaturationLevelItselfIsAccepted) {
  AcceptanceLimits lim;
  lim.saturation_test = true;
  lim.saturation = 0.995f * 1000.0f;
  EXPECT_TRUE(sample_accepted(1.0f, lim.saturation, 1.0f, lim));
  EXPECT_FALSE(sample_accepted(1.0f, std::nextafter(lim.saturation, 2000.0f), 1.0f, lim));
  lim.saturation_test = false;
  EXPECT_TRUE(sample_accepted(1.0f, 1000.0f, 1.0f, lim));
}

TEST(Acceptance, LongTermLevelMayReachTheLargerOfThresholdAndMean) {
  AcceptanceLimits lim;
  lim.lta_test = true;
  lim.ltathr = 3.0f;
  lim.lta_mean = 5.0f;
  EXPECT_TRUE(sample_accepted(1.0f, 1.0f, 5.0f, lim));
  EXPECT_FALSE(sample_accepted(1.0f, 1.0f, 5.5f, lim));
  lim.ltathr = 6.0f;
  EXPECT_TRUE(sample_accepted(1.0f, 1.0f, 5.5f, lim));
  EXPECT_FALSE(sample_accepted(1.0f, 1.0f, 6.5f, lim));
  lim.lta_test = false;
  EXPECT_TRUE(sample_accepted(1.0f, 1.0f, 100.0f, lim));
}

// Ratios of 1 everywhere except at the given (1-based) samples, which are rejected.
std::vector<int> window_counts(int nsamp, int nlong, const std::vector<int>& rejected) {
  std::vector<float> ratio(static_cast<std::size_t>(nsamp), 1.0f);
  for (const int j : rejected) ratio[static_cast<std::size_t>(j - 1)] = 10.0f;
  const std::vector<float> ones(static_cast<std::size_t>(nsamp), 1.0f);
  std::vector<int> nok(static_cast<std::size_t>(nsamp));
  count_accepted(ratio, ones, ones, nsamp, nlong, AcceptanceLimits{}, nok);
  return nok;
}

TEST(WindowCounts, CountTheAcceptedSamplesOfEachWindow) {
  const int nsamp = 40, nlong = 6;
  const std::vector<int> rejected = {3, 10, 11, 25};
  const auto nok = window_counts(nsamp, nlong, rejected);
  for (int i = nlong + 1; i <= nsamp; ++i) {
    int expected = 0;
    for (int j = i - nlong + 1; j <= i; ++j) {
      bool bad = j == 1;
      for (const int r : rejected) bad = bad || r == j;
      expected += bad ? 0 : 1;
    }
    EXPECT_EQ(nok[static_cast<std::size_t>(i - 1)], expected) << "window ending at " << i;
  }
}

TEST(Search, EveryWindowFromTheStartWithTheRequestedStep) {
  // dt 0.01, tlong 20, overlap 0.2: nlong 2000, nstep 1599, nokmin 2000.
  const int nsamp = 10001;
  const auto nok = window_counts(nsamp, 2000, {});
  WindowTable w;
  search_windows(nok, nsamp, 2000, 1599, 2000, w);
  ASSERT_EQ(w.count, 6);
  for (int k = 0; k < w.count; ++k) {
    EXPECT_EQ(w.first[static_cast<std::size_t>(k)], 1 + 1599 * k);
    EXPECT_EQ(w.last[static_cast<std::size_t>(k)], 2001 + 1599 * k);
  }
}

TEST(Search, ASingleRejectedSampleBlocksExactlyTheWindowsHoldingIt) {
  const int nsamp = 300, nlong = 50, j = 120;
  const auto nok = window_counts(nsamp, nlong, {j});
  // With a step of one sample the search finds every window that may end anywhere.
  WindowTable w;
  search_windows(nok, nsamp, nlong, 1, nlong, w);
  std::vector<int> ends(w.last.begin(), w.last.begin() + w.count);
  std::vector<int> expected;
  for (int i = nlong + 1; i <= nsamp; ++i) {
    if (i < j || i > j + nlong - 1) expected.push_back(i);
  }
  EXPECT_EQ(ends, expected);
  for (int k = 0; k < w.count; ++k) {
    EXPECT_EQ(w.first[static_cast<std::size_t>(k)], w.last[static_cast<std::size_t>(k)] - nlong);
  }
}

TEST(Search, ToleratedRejectedSamplesLetWindowsThrough) {
  const int nsamp = 200, nlong = 100;
  const auto nok = window_counts(nsamp, nlong, {30, 31, 32});
  WindowTable strict, tolerant;
  search_windows(nok, nsamp, nlong, 1000, nlong, strict);
  search_windows(nok, nsamp, nlong, 1000, nlong - 3, tolerant);
  ASSERT_EQ(strict.count, 1);
  EXPECT_EQ(strict.last[0], 132);  // the first window without samples 30 to 32
  ASSERT_EQ(tolerant.count, 1);
  EXPECT_EQ(tolerant.last[0], nlong + 1);
}

TEST(Search, StopsAtOneThousandWindows) {
  const int nsamp = 3000;
  const auto nok = window_counts(nsamp, 1, {});
  WindowTable w;
  search_windows(nok, nsamp, 1, 1, 1, w, max_windows_per_recording);
  EXPECT_EQ(w.count, 1000);
  EXPECT_EQ(w.last[999], 1001);
}

TEST(WindowLine, SixteenCharacterPathInFixedColumns) {
  const std::array<Text<3>, 3> ch = {Text<3>("Z"), Text<3>("NS"), Text<3>("EW")};
  const std::string line =
      window_line(quoted_path(Name("/data/site01.kaf")), 15.99f, 35.99f, 2, ch, Text<10>("TEST"));
  ASSERT_EQ(line.size(), 255u);
  EXPECT_EQ(line.substr(0, 18), "\"/data/site01.kaf\"");
  EXPECT_EQ(line.substr(18, 182), std::string(182, ' '));
  // Columns 201..255 counted from 1.
  EXPECT_EQ(line.substr(200, 11), "     15.990");
  EXPECT_EQ(line.substr(211, 11), "     35.990");
  EXPECT_EQ(line.substr(222, 2), " 2");
  EXPECT_EQ(line.substr(224, 18), "   Z     NS    EW ");
  EXPECT_EQ(line.substr(242, 13), "   TEST      ");
}

TEST(WindowLine, LongTimesWidenTheFieldAndStayBlankSeparated) {
  EXPECT_EQ(window_time_field(9999.999f), "9999.999");
  EXPECT_EQ(window_time_field(0.0f), "   0.000");
  EXPECT_EQ(window_time_field(10000.0f), "10000.000");
  EXPECT_EQ(window_time_field(123456.5f), "123456.500");
}

TEST(WindowFile, LinesReadBackThroughTheWindowFileReader) {
  test::TempDir dir;
  const std::string file = dir.file("win.txt");
  const Name path("/data/with blank/site.gse");
  const std::array<Text<3>, 3> ch = {Text<3>("BHZ"), Text<3>("BHN"), Text<3>("BHE")};
  WindowTable w;
  w.count = 3;
  w.first = {1, 1600, 500001};
  w.last = {2001, 3600, 501001};
  {
    std::ofstream out(file);
    write_window_lines(out, path, w, 0.02f, 1, ch, Text<10>("STA01"));
  }
  WINDOWS windows;
  UnitTable units;
  std::ostringstream console;
  ASSERT_EQ(GTWS(Name(file), windows, units, console), 0) << console.str();
  ASSERT_EQ(windows.nwin(), 3);
  // Times of 10000 s and more (50 Hz recordings reach them) get a wider field.
  const float starts[] = {0.0f, 31.98f, 10000.0f};
  const float ends[] = {40.0f, 71.98f, 10020.0f};
  for (int k = 1; k <= 3; ++k) {
    const auto& e = windows(k);
    EXPECT_EQ(e.file, path.trimmed());
    EXPECT_EQ(e.start, starts[k - 1]);
    EXPECT_EQ(e.end, ends[k - 1]);
    EXPECT_EQ(e.format, 1);
    EXPECT_EQ(e.channel[0], "BHZ");
    EXPECT_EQ(e.channel[2], "BHE");
    EXPECT_EQ(e.station, "STA01");
  }
}

}  // namespace
}  // namespace hv

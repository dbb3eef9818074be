// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "spectral/window_rejection.hpp"
#include "tests/support/notices.hpp"

namespace hv {
namespace {

constexpr int nfreq = 60;

// Grid f(j) = j Hz and one column per window: a triangle rising to 10 at row `peak`
// over a floor of 1, or (peak 0) a curve falling from the first row, without an
// interior maximum.
std::vector<float> curves(const std::vector<int>& peaks, std::vector<float>& f) {
  f.clear();
  for (int j = 1; j <= nfreq; ++j) f.push_back(static_cast<float>(j));
  std::vector<float> X;
  for (const int p : peaks) {
    for (int j = 1; j <= nfreq; ++j) {
      X.push_back(p == 0 ? static_cast<float>(nfreq + 1 - j)
                         : std::max(1.0f, 10.0f - static_cast<float>(std::abs(j - p))));
    }
  }
  return X;
}

struct RejectionCase {
  const char* name;
  std::vector<int> peaks;  // peak row (= frequency in Hz) per window, 0 for none
  double n_sd;
  std::vector<int> rejected;
  int iterations;
};

class Rejection : public ::testing::TestWithParam<RejectionCase> {};

TEST_P(Rejection, RejectsTheExpectedWindows) {
  const RejectionCase& c = GetParam();
  std::vector<float> f;
  const std::vector<float> X = curves(c.peaks, f);
  const int nwin = static_cast<int>(c.peaks.size());
  const WindowRejection r = reject_windows(X, f, nfreq, nwin, RowRange{1, nfreq}, c.n_sd);
  EXPECT_EQ(r.rejected(), c.rejected);
  EXPECT_EQ(r.kept_count(), nwin - static_cast<int>(c.rejected.size()));
  EXPECT_EQ(r.iterations, c.iterations);
}

// Hand calculations on ln(peak):
//  far_outlier: eight windows at 19..21 Hz and one at 50; the outlier lies
//    (8/9)·ln(50/20) = 0.81 from the mean, sigma = 0.31, so 2 sigma = 0.62 takes it;
//    the eight left have sigma 0.038, 2 sigma = 0.076 > ln(21/20) = 0.049: kept.
//  last_two_stay: 10, 20, 50 Hz at 0.1 sigma (0.081): 10 and 50 Hz lie outside; 50 Hz
//    is the farthest (0.84 against 0.77) and goes; the last two always stay.
//  equal_peaks: sigma 0, but the mean of three ln 6 rounds 2e-16 away from ln 6.
//  sample_sd: 10, 20, 20, 20 Hz: 10 Hz lies 0.520 from the mean; the sample deviation
//    0.347 gives 1.6 sigma = 0.555 and keeps it (the population one, 0.300, would not).
//  both_must_settle: 27, 31, 40, 43 Hz, sigma 0.217: 27 Hz (0.249 away) goes; sigma
//    falls to 0.172 while the offset of the mean curve's peak barely moves, so a second
//    round takes 31 Hz (0.194 away); the third finds only two windows left.
INSTANTIATE_TEST_SUITE_P(
    Cases, Rejection,
    ::testing::Values(
        RejectionCase{"far_outlier", {20, 20, 21, 19, 20, 21, 19, 20, 50}, 2.0, {9}, 2},
        RejectionCase{
            "far_outlier_kept_at_three_sd", {20, 20, 21, 19, 20, 21, 19, 20, 50}, 3.0, {}, 1},
        RejectionCase{"no_peak_goes_at_once", {20, 20, 21, 0, 19}, 100.0, {4}, 1},
        RejectionCase{"last_two_stay", {10, 20, 50}, 0.1, {3}, 2},
        RejectionCase{"fewer_than_two_peaks_rejects_nothing", {0, 0, 20}, 2.0, {}, 0},
        RejectionCase{"equal_peaks", {6, 6, 6}, 0.5, {}, 1},
        RejectionCase{"close_peaks", {19, 20, 21, 20}, 2.0, {}, 1},
        RejectionCase{"sample_sd", {10, 20, 20, 20}, 1.6, {}, 1},
        RejectionCase{"both_must_settle", {27, 31, 40, 43}, 1.0, {1, 2}, 3}),
    [](const ::testing::TestParamInfo<RejectionCase>& info) { return info.param.name; });

TEST(Rejection, PeakOutsideTheValidRowsIsNoPeak) {
  std::vector<float> f;
  const std::vector<float> X = curves({20, 20, 21, 55, 19}, f);
  const WindowRejection r = reject_windows(X, f, nfreq, 5, RowRange{1, 50}, 100.0);
  EXPECT_EQ(r.rejected(), std::vector<int>{4});
}

struct OptionCase {
  const char* name;
  const char* value;
  bool valid;
  bool active;
  double n_sd;
};

class RejectionOptionCases : public ::testing::TestWithParam<OptionCase> {};

TEST_P(RejectionOptionCases, Reads) {
  const OptionCase& c = GetParam();
  PARAMETERS par;
  par.window_rejection = c.value;
  const Parsed<RejectionOption> parsed = parse_window_rejection(c.value);
  const std::optional<RejectionOption>& r = parsed.value;
  std::ostringstream console;
  console << test::rendered(test::refusal_of(parsed), par);
  ASSERT_EQ(r.has_value(), c.valid) << console.str();
  if (c.valid) {
    EXPECT_EQ(r->active, c.active);
    EXPECT_EQ(r->n_sd, c.n_sd);
    EXPECT_EQ(console.str(), "");
  } else {
    EXPECT_EQ(console.str().rfind("  incorrect  option(s) for 'window_rejection':\n " +
                                      Option(c.value).str().substr(0, 78) + "\n",
                                  0),
              0u)
        << console.str();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, RejectionOptionCases,
    ::testing::Values(OptionCase{"blank", "", true, false, 0.0},
                      OptionCase{"none", "none", true, false, 0.0},
                      OptionCase{"two", " frequency:2", true, true, 2.0},
                      OptionCase{"fraction", "frequency:2.5", true, true, 2.5},
                      OptionCase{"zero", "frequency:0", false, false, 0.0},
                      OptionCase{"negative", "frequency:-1", false, false, 0.0},
                      OptionCase{"text", "frequency:x", false, false, 0.0},
                      OptionCase{"infinite", "frequency:1e999", false, false, 0.0},
                      OptionCase{"no_n", "frequency", false, false, 0.0},
                      OptionCase{"two_values", "frequency:2:3", false, false, 0.0},
                      OptionCase{"unknown_form", "freq:2", false, false, 0.0}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return info.param.name; });

}  // namespace
}  // namespace hv

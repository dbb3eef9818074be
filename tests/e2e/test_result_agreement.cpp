// SPDX-License-Identifier: GPL-3.0-or-later
// ratiospec's result files checked against each other and against a closed form: the
// averaged H/V file and the averaged spectra against the per-window files, Fo against
// the windows' own peaks, and one spectrum amplitude against that of a sinusoid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/result_table.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"

namespace hv::test {
namespace {

using Table = Rows;

struct MeanSd {
  double mean, sd;  // sd with n - 1 degrees of freedom
};

MeanSd arithmetic(const std::vector<double>& x) {
  double m = 0.0, s = 0.0;
  for (const double v : x) m += v / static_cast<double>(x.size());
  for (const double v : x) s += (v - m) * (v - m);
  return {m, std::sqrt(s / static_cast<double>(x.size() - 1))};
}

// exp of the mean and of the standard deviation of the logarithms.
MeanSd geometric(std::vector<double> x) {
  for (double& v : x) v = std::log(v);
  const MeanSd logs = arithmetic(x);
  return {std::exp(logs.mean), std::exp(logs.sd)};
}

// Row of the highest local maximum of a column (above the row before, not below the row
// after) strictly between rows a and b; -1 when there is none.
int highest_peak(const Table& t, int column, int a, int b) {
  int peak = -1;
  for (int j = a + 1; j < b; ++j) {
    const auto at = [&](int i) { return t[static_cast<std::size_t>(i)][column]; };
    if (at(j) > at(j - 1) && at(j) >= at(j + 1) && (peak < 0 || at(j) > at(peak))) peak = j;
  }
  return peak;
}

class ResultAgreement : public ::testing::Test {
 protected:
  // Writes a recording and runs ratiospec on `count` consecutive 20 s windows of it.
  void run(const synth::Recording& rec, int count, const std::vector<std::string>& options) {
    synth::Spec spec;
    synth::write_kaf(dir.file("site.kaf"), rec, spec);
    std::string windows, par = "### section processing\n";
    for (int k = 0; k < count; ++k) {
      windows += dir.file("site.kaf") + " " + std::to_string(20 * k) + " " +
                 std::to_string(20 * (k + 1)) + " 2 Z NS EW TEST\n";
    }
    for (const auto& option : options) par += option + "\n";
    write_file(dir.file("w.txt"), windows);
    write_file(dir.file("p.txt"), par + "### end processing\n");
    const auto result = run_ratiospec({dir.file("w.txt"), dir.file("p.txt"), out()});
    ASSERT_LE(result.status, 1) << result.console;
  }

  // Six windows of a site whose horizontals differ: the north-south one carries a
  // resonance at 2.5 Hz, the east-west one, twice as strong, another at 4 Hz.
  void run_on_two_resonances(const std::vector<std::string>& options) {
    synth::Spec spec;
    spec.duration_s = 121.0;
    spec.seed = 11;
    spec.resonance_hz = 2.5;
    synth::Recording rec = synth::synthesize(spec);
    spec.seed = 12;
    spec.resonance_hz = 4.0;
    const synth::Recording other = synth::synthesize(spec);
    std::ranges::transform(other.ew, rec.ew.begin(), [](float v) { return 2.0f * v; });
    run(rec, windows, options);
  }

  std::vector<Table> window_tables() const {
    std::vector<Table> tables;
    for (int w = 1; w <= windows; ++w) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, "_win_%03d", w);
      tables.push_back(rows_of_file(out() + suffix));
    }
    return tables;
  }

  // Column c of row j of every window table.
  static std::vector<double> across(const std::vector<Table>& tables, std::size_t j, int c) {
    std::vector<double> x;
    for (const auto& t : tables) x.push_back(t.at(j).at(static_cast<std::size_t>(c)));
    return x;
  }

  std::string out() const { return dir.file("res"); }

  static constexpr int windows = 6;
  TempDir dir;
};

// Averaged file: freq, av_HV, ns_HV, ew_HV and their log deviations; a window file:
// freq, merged, ns_HV and ew_HV ratios, then the three spectra.
TEST_F(ResultAgreement, AveragedRatiosAreGeometricMeansOfTheWindowRatios) {
  run_on_two_resonances({"single_win_out: yes"});
  const Table av = rows_of_file(out());
  const auto per_window = window_tables();
  ASSERT_FALSE(av.empty());
  ASSERT_EQ(av.size(), per_window[0].size());
  for (std::size_t j = 0; j < av.size(); ++j) {
    EXPECT_EQ(av[j][0], per_window[0][j][0]);
    for (int c = 1; c <= 3; ++c) {
      const MeanSd g = geometric(across(per_window, j, c));
      EXPECT_NEAR(av[j][c], g.mean, 1e-5 * g.mean) << "row " << j << " column " << c;
      EXPECT_NEAR(av[j][c + 3], g.sd, 1e-4 * g.sd) << "row " << j << " column " << c;
    }
  }
  // The horizontals differ enough for a swap of their columns to show.
  EXPECT_GT(av[av.size() / 2][3], 1.3 * av[av.size() / 2][2]);
}

TEST_F(ResultAgreement, AveragedSpectraAreArithmeticMeansOfTheWindowSpectra) {
  run_on_two_resonances({"single_win_out: yes", "average_spectra_out: yes"});
  const Table sp = rows_of_file(out() + "_sp");
  const auto per_window = window_tables();
  ASSERT_FALSE(sp.empty());
  ASSERT_EQ(sp.size(), per_window[0].size());
  for (std::size_t j = 0; j < sp.size(); ++j) {
    for (int c = 1; c <= 3; ++c) {
      const MeanSd a = arithmetic(across(per_window, j, c + 3));
      EXPECT_NEAR(sp[j][c], a.mean, 1e-5 * a.mean) << "row " << j << " column " << c;
      EXPECT_NEAR(sp[j][c + 3], a.sd, 1e-4 * a.sd) << "row " << j << " column " << c;
    }
  }
}

// Fo is exp(mean ± sd) of the logarithms of the windows' merged-ratio peaks, each
// searched within f0/t .. f0·t around the averaged curve's peak f0, where t falls
// linearly from 1.5 at 0.2 Hz to 1.25 at 20 Hz.
TEST_F(ResultAgreement, FoComesFromTheWindowsPeaksOfTheMergedRatio) {
  run_on_two_resonances({"single_win_out: yes"});
  const Table av = rows_of_file(out());
  const int last = static_cast<int>(av.size()) - 1;
  const int j0 = highest_peak(av, 1, 0, last);
  ASSERT_GT(j0, 0);
  const double f0 = av[static_cast<std::size_t>(j0)][0];
  const double t = std::clamp(1.5 - (f0 - 0.2) * 0.25 / 19.8, 1.25, 1.5);
  const auto first_reaching = [&](double f) {
    int j = 0;
    while (j < last && av[static_cast<std::size_t>(j)][0] < f) ++j;
    return j;
  };
  const int ja = first_reaching(f0 / t), jb = first_reaching(f0 * t);
  std::vector<double> peaks;
  for (const auto& table : window_tables()) {
    const int j = highest_peak(table, 1, ja, jb);
    if (j > 0) peaks.push_back(table[static_cast<std::size_t>(j)][0]);
  }
  ASSERT_GE(peaks.size(), 2u);
  const MeanSd g = geometric(peaks);

  double fo = 0.0, minus = 0.0, plus = 0.0;
  int found = 0;
  for (const auto& line : read_lines(out())) {
    if (!line.starts_with(" # n_freq_samples:")) continue;
    found = std::sscanf(line.c_str(), " # n_freq_samples: %*d Fo: %lf range +/- 1 s.d.: %lf - %lf",
                        &fo, &minus, &plus);
  }
  ASSERT_EQ(found, 3);
  EXPECT_NEAR(fo, g.mean, 2e-4);
  EXPECT_NEAR(minus, g.mean / g.sd, 2e-4);
  EXPECT_NEAR(plus, g.mean * g.sd, 2e-4);
}

// A cosine of amplitude A on transform row k of an N-sample window, unsmoothed and
// untapered, has the spectrum amplitude dt·A·N/2 on that row.
TEST_F(ResultAgreement, CosineOnAGridFrequencyHasTheClosedFormAmplitude) {
  synth::Spec spec;
  spec.duration_s = 20.0;
  spec.noise_amplitude = 0.01;  // keeps every other row and ratio finite
  synth::Recording rec = synth::synthesize(spec);
  const int n = 2001, k = 100;
  const double dt = 0.01, amplitude = 10.0;
  ASSERT_EQ(rec.z.size(), static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < rec.z.size(); ++i) {
    const double c = amplitude * std::cos(2.0 * std::numbers::pi * k * static_cast<double>(i) / n);
    rec.z[i] += static_cast<float>(c);
    rec.ns[i] += static_cast<float>(2.0 * c);
    rec.ew[i] += static_cast<float>(3.0 * c);
  }
  run(rec, 1, {"smooth: none", "taper: box", "single_win_out: yes"});
  const Table t = rows_of_file(out() + "_win_001");
  const double f = k / (n * dt), expected = dt * amplitude * n / 2.0;
  const auto row = std::ranges::min_element(
      t, [f](const auto& a, const auto& b) { return std::abs(a[0] - f) < std::abs(b[0] - f); });
  ASSERT_NE(row, t.end());
  const auto& r = *row;
  EXPECT_NEAR(r[0], f, 1e-6 * f);
  EXPECT_NEAR(r[4], expected, 1e-3 * expected);
  EXPECT_NEAR(r[5], 2.0 * expected, 2e-3 * expected);
  EXPECT_NEAR(r[6], 3.0 * expected, 3e-3 * expected);
  EXPECT_NEAR(r[1], std::sqrt((4.0 + 9.0) / 2.0), 1e-3);  // quadratic merge of 2 and 3
  EXPECT_NEAR(r[2], 2.0, 1e-3);
  EXPECT_NEAR(r[3], 3.0, 1e-3);
}

}  // namespace
}  // namespace hv::test

// SPDX-License-Identifier: GPL-3.0-or-later
// ratiospec's optional analyses end to end: frequency-domain window rejection and the
// H/V per azimuth, on generated recordings whose disturbance or direction is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/messages.hpp"
#include "tests/support/result_table.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"

namespace hv::test {
namespace {

constexpr double window_s = 20.0;
constexpr int nwin = 24;
constexpr double resonance_hz = 2.5;

std::vector<std::string> lines_starting(const std::vector<std::string>& lines,
                                        const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& line : lines) {
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

struct Fo {
  double fo, minus, plus;
};

// Fo and band from a line holding "Fo: x range +/- 1 s.d.: a - b [Hz]".
Fo fo_of(const std::string& line) {
  Fo fo{};
  const std::size_t at = line.find("Fo: ");
  EXPECT_NE(at, std::string::npos) << line;
  std::sscanf(line.c_str() + at, "Fo: %lf range +/- 1 s.d.: %lf - %lf", &fo.fo, &fo.minus,
              &fo.plus);
  return fo;
}

Fo hv_fo(const std::vector<std::string>& lines) {
  const auto found = lines_starting(lines, " # n_freq_samples:");
  return found.size() == 1 ? fo_of(found[0]) : Fo{};
}

// The window numbers listed on the rejection lines.
std::vector<int> rejected_windows(const std::vector<std::string>& lines) {
  std::vector<int> out;
  for (const auto& line : lines_starting(lines, " # rejected_windows:")) {
    std::istringstream in(line.substr(20));
    int w = 0;
    while (in >> w) out.push_back(w);
  }
  return out;
}

// Row whose frequency is nearest to hz.
const std::vector<double>& row_at(const Rows& rows, double hz) {
  std::size_t best = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (std::fabs(rows[i][0] - hz) < std::fabs(rows[best][0] - hz)) best = i;
  }
  return rows[best];
}

class OptionalAnalyses : public ::testing::Test {
 protected:
  // Noise with a 2.5 Hz resonance of gain 10 on both horizontals, 24 windows of 20 s:
  // every window's highest H/V peak is the resonance.
  synth::Recording site(unsigned seed = 7) {
    spec.duration_s = nwin * window_s + 1.0;
    spec.seed = seed;
    spec.resonance_hz = resonance_hz;
    spec.resonance_gain = 10.0;
    return synth::synthesize(spec);
  }

  // Adds a horizontal-only sinusoid of amplitude a at hz to the given windows (1-based).
  static void disturb(synth::Recording& rec, const std::vector<int>& windows, double hz, double a) {
    for (const int w : windows) {
      const auto first = static_cast<std::size_t>((w - 1) * window_s / rec.dt);
      const auto last = static_cast<std::size_t>(w * window_s / rec.dt);
      for (std::size_t k = first; k <= last; ++k) {
        const double s =
            a * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(k) * rec.dt);
        rec.ns[k] += static_cast<float>(s);
        rec.ew[k] += static_cast<float>(0.5 * s);
      }
    }
  }

  std::string write(const synth::Recording& rec) {
    const std::string path = dir.file("site.kaf");
    synth::write_kaf(path, rec, spec);
    std::string text;
    for (int k = 0; k < nwin; ++k) {
      text += "\"" + path + "\" " + std::to_string(k * window_s) + " " +
              std::to_string((k + 1) * window_s) + "\n";
    }
    write_file(dir.file("windows.txt"), text);
    return dir.file("windows.txt");
  }

  // The grid starts at 1 Hz: below it a few raw values decide a window's ratio, and
  // their random peaks would compete with the resonance.
  RunResult run(const std::string& windows, const std::vector<std::string>& options,
                const std::string& out = "res") {
    std::string text = "### section processing\nfreq_spacing: log:1:20:200\n";
    for (const auto& option : options) text += option + "\n";
    text += "### end processing\n";
    write_file(dir.file("par.txt"), text);
    return run_ratiospec({windows, dir.file("par.txt"), dir.file(out)});
  }

  std::vector<std::string> result(const std::string& name) { return read_lines(dir.file(name)); }

  synth::Spec spec;
  TempDir dir;
};

// Two windows carry a strong peak at 3.4 Hz, inside the Fo search band around the
// resonance but many spreads of the clean windows' peaks away from it.
TEST_F(OptionalAnalyses, RejectionRemovesExactlyTheDisturbedWindowsAndFoReturnsToTheResonance) {
  synth::Recording rec = site();
  const std::vector<int> disturbed{5, 17};
  disturb(rec, disturbed, 3.4, 100.0);
  const auto windows = write(rec);

  ASSERT_LE(run(windows, {}, "plain").status, 1);
  const auto result_run = run(windows, {"window_rejection: frequency:3"}, "kept");
  ASSERT_LE(result_run.status, 1) << result_run.console;
  EXPECT_EQ(count_of(result_run.console, "  window rejection: 22 of 24 windows kept after"), 1)
      << result_run.console;

  const auto kept = result("kept");
  EXPECT_EQ(rejected_windows(kept), disturbed);
  const Fo plain = hv_fo(result("plain")), cleaned = hv_fo(kept);
  EXPECT_GT(plain.fo, resonance_hz * 1.02);
  EXPECT_NEAR(cleaned.fo, resonance_hz, 0.02 * resonance_hz);
  EXPECT_LT(cleaned.plus / cleaned.minus, plain.plus / plain.minus);
}

TEST_F(OptionalAnalyses, AveragesTakeOnlyTheKeptWindows) {
  synth::Recording rec = site();
  disturb(rec, {2, 9}, 3.4, 100.0);
  const auto windows = write(rec);
  ASSERT_LE(run(windows, {"window_rejection: frequency:3", "single_win_out: yes",
                          "average_spectra_out: yes"})
                .status,
            1);
  const std::vector<int> rejected = rejected_windows(result("res"));
  ASSERT_EQ(rejected, (std::vector<int>{2, 9}));
  EXPECT_EQ(rejected_windows(result("res_sp")), rejected);

  // Per-window files are written for every window; the averages are the means of the
  // kept windows' columns: geometric for the ratio, arithmetic for the spectrum.
  std::vector<Rows> per_window;
  for (int w = 1; w <= nwin; ++w) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "res_win_%03d", w);
    per_window.push_back(rows_of(result(suffix)));
  }
  const Rows hv = rows_of(result("res")), sp = rows_of(result("res_sp"));
  ASSERT_EQ(hv.size(), per_window[0].size());
  for (std::size_t j = 0; j < hv.size(); j += 37) {
    double log_sum = 0.0, sum = 0.0;
    for (int w = 1; w <= nwin; ++w) {
      if (w == 2 || w == 9) continue;
      log_sum += std::log(per_window[static_cast<std::size_t>(w - 1)][j][1]);
      sum += per_window[static_cast<std::size_t>(w - 1)][j][4];
    }
    EXPECT_NEAR(hv[j][1], std::exp(log_sum / (nwin - 2)), 2e-5 * hv[j][1]) << hv[j][0];
    EXPECT_NEAR(sp[j][1], sum / (nwin - 2), 2e-5 * sp[j][1]) << sp[j][0];
  }
}

TEST_F(OptionalAnalyses, CleanRecordingLosesNoWindowAndKeepsItsResults) {
  const auto windows = write(site());
  ASSERT_LE(run(windows, {}, "plain").status, 1);
  const auto with = run(windows, {"window_rejection: frequency:3"}, "checked");
  ASSERT_LE(with.status, 1) << with.console;
  const auto checked = result("checked");
  EXPECT_EQ(lines_starting(checked, " # rejected_windows:"),
            std::vector<std::string>{" # rejected_windows: none"});
  EXPECT_EQ(count_of(with.console, "  window rejection: 24 of 24 windows kept after 1 iterations"),
            1);
  EXPECT_EQ(rows_of(checked), rows_of(result("plain")));
  EXPECT_EQ(lines_starting(checked, " # n_freq_samples:"),
            lines_starting(result("plain"), " # n_freq_samples:"));
}

TEST_F(OptionalAnalyses, KeysGivenWithoutValueLeaveEveryFileAsWithoutThem) {
  const auto windows = write(site());
  const std::vector<std::string> common{"single_win_out: yes", "average_spectra_out: yes"};
  ASSERT_LE(run(windows, common, "plain").status, 1);
  std::vector<std::string> blank = common;
  blank.push_back("window_rejection:");
  blank.push_back("azimuth_step:");
  ASSERT_LE(run(windows, blank, "blank").status, 1);
  for (const std::string suffix : {"", "_sp", "_win_001", "_win_024"}) {
    EXPECT_EQ(read_file(dir.file("plain" + suffix)), read_file(dir.file("blank" + suffix)))
        << suffix;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("blank_az")));
}

// A site whose resonance is on the east-west component only.
synth::Recording east_west_site(synth::Spec spec) {
  spec.resonance_hz = resonance_hz;
  spec.resonance_gain = 5.0;
  const synth::Recording resonant = synth::synthesize(spec);
  spec.resonance_hz = 0.0;
  spec.seed += 100;
  synth::Recording rec = synth::synthesize(spec);
  rec.ew = resonant.ew;
  return rec;
}

TEST_F(OptionalAnalyses, EastWestResonancePeaksAtNinetyDegreesOnly) {
  spec.duration_s = nwin * window_s + 1.0;
  const auto windows = write(east_west_site(spec));
  const auto out = run(windows, {"azimuth_step: 30", "single_win_out: yes"});
  ASSERT_LE(out.status, 1) << out.console;
  const auto az = result("res_az");
  std::string header = " #    freq";
  for (const std::string label :
       {"az_0.00", "az_30.00", "az_60.00", "az_90.00", "az_120.00", "az_150.00"}) {
    header += std::string(16 - label.size(), ' ') + label;  // a blank and 15 characters
  }
  EXPECT_EQ(lines_starting(az, " #    freq").at(0), header);
  const auto fo_lines = lines_starting(az, " # azimuth:");
  ASSERT_EQ(fo_lines.size(), 6u);
  EXPECT_EQ(fo_lines[3].substr(0, 20), " # azimuth:   90.00 ");
  const Fo east = fo_of(fo_lines[3]);
  EXPECT_NEAR(east.fo, resonance_hz, 0.05 * resonance_hz);
  EXPECT_LT(east.minus, east.fo);
  EXPECT_GT(east.plus, east.fo);

  const Rows rows = rows_of(az);
  const auto& at_resonance = row_at(rows, resonance_hz);
  ASSERT_EQ(at_resonance.size(), 7u);
  EXPECT_GT(at_resonance[4], 3.0);  // 90 degrees: the east-west gain of 5
  EXPECT_LT(at_resonance[1], 1.5);  // 0 degrees: north-south noise over vertical noise
  // 60 degrees carries sin²(60°) = 3/4 of the east-west power, 30 degrees 1/4.
  EXPECT_GT(at_resonance[3], at_resonance[2]);
  EXPECT_GT(at_resonance[2], at_resonance[1]);
}

TEST_F(OptionalAnalyses, NorthAndEastAzimuthsEqualTheComponentRatios) {
  spec.duration_s = nwin * window_s + 1.0;
  synth::Recording rec = east_west_site(spec);
  disturb(rec, {6}, 12.0, 1000.0);
  const auto windows = write(rec);
  // The transform's own grid is narrowed by the smoothing, which warns at window 1:
  // that window's azimuths are still computed.
  for (const char* spacing : {"freq_spacing: log:1:20:200", "freq_spacing: fft"}) {
    ASSERT_LE(run(windows, {"azimuth_step: 90", "window_rejection: frequency:2", spacing}).status,
              1);
    const Rows hv = rows_of(result("res")), az = rows_of(result("res_az"));
    const std::vector<int> rejected = rejected_windows(result("res_az"));
    // (Over the whole transform grid the disturbance is not the largest peak.)
    if (spacing[14] == 'l') {
      ASSERT_NE(std::find(rejected.begin(), rejected.end(), 6), rejected.end());
    }
    ASSERT_EQ(hv.size(), az.size());
    // The same ratios averaged over the same kept windows: equal to the last digit.
    for (std::size_t j = 0; j < hv.size(); ++j) {
      ASSERT_EQ(az[j].size(), 3u);
      EXPECT_EQ(az[j][0], hv[j][0]);
      EXPECT_EQ(az[j][1], hv[j][2]) << spacing << " " << hv[j][0];
      EXPECT_EQ(az[j][2], hv[j][3]) << spacing << " " << hv[j][0];
    }
  }
}

struct BadOption {
  std::string name;
  std::string line;
  std::string key;
};

class BadAnalysisOption : public OptionalAnalyses,
                          public ::testing::WithParamInterface<BadOption> {};

TEST_P(BadAnalysisOption, EndsTheRunWithTheMessageNamingTheKey) {
  spec.duration_s = 2 * window_s + 1.0;
  const std::string path = dir.file("short.kaf");
  synth::write_kaf(path, synth::synthesize(spec), spec);
  write_file(dir.file("w.txt"), "\"" + path + "\" 0 20\n\"" + path + "\" 20 40\n");
  const auto result_run = run(dir.file("w.txt"), {GetParam().line});
  EXPECT_EQ(result_run.status, 2);
  EXPECT_EQ(count_of(result_run.console, "  incorrect  option(s) for '" + GetParam().key + "':\n"),
            1)
      << result_run.console;
  EXPECT_EQ(count_of(result_run.console, error_banner), 4);
  EXPECT_FALSE(std::filesystem::exists(dir.file("res")));
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadAnalysisOption,
    ::testing::Values(BadOption{"n_zero", "window_rejection: frequency:0", "window_rejection"},
                      BadOption{"n_negative", "window_rejection: frequency:-2", "window_rejection"},
                      BadOption{"n_text", "window_rejection: frequency:two", "window_rejection"},
                      BadOption{"n_missing", "window_rejection: frequency", "window_rejection"},
                      BadOption{"unknown_form", "window_rejection: time:2", "window_rejection"},
                      BadOption{"step_7", "azimuth_step: 7", "azimuth_step"},
                      BadOption{"step_zero", "azimuth_step: 0", "azimuth_step"},
                      BadOption{"step_negative", "azimuth_step: -10", "azimuth_step"},
                      BadOption{"step_text", "azimuth_step: ten", "azimuth_step"},
                      BadOption{"step_above_half_turn", "azimuth_step: 360", "azimuth_step"}),
    [](const ::testing::TestParamInfo<BadOption>& info) { return info.param.name; });

}  // namespace
}  // namespace hv::test

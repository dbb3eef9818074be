// SPDX-License-Identifier: GPL-3.0-or-later
// ratiospec run end to end on generated KAF recordings: result files, messages and
// exit statuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/freefmt.hpp"
#include "readers/records.hpp"
#include "readers/rkaf.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/param_name.hpp"
#include "tests/support/result_table.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"

namespace hv::test {
namespace {

class RatiospecRun : public ::testing::Test {
 protected:
  // A generated recording of the given length with a site resonance at 2.5 Hz.
  std::string recording(const std::string& name, double duration_s, double dt = 0.01,
                        const std::string& units = "m/s", double resonance_hz = 2.5) {
    synth::Spec spec;
    spec.duration_s = duration_s;
    spec.dt = dt;
    spec.seed = 11;
    spec.resonance_hz = resonance_hz;
    spec.units = units;
    const std::string path = dir.file(name);
    synth::write_kaf(path, synth::synthesize(spec), spec);
    return path;
  }

  // Consecutive windows of the given length over [0, count·length].
  std::string windows(const std::string& recording_path, int count, double length,
                      const std::string& name = "windows.txt") {
    std::ostringstream out;
    out << "# windows for the test\n";
    for (int k = 0; k < count; ++k) {
      char line[512];
      std::snprintf(line, sizeof line, "\"%s\" %.3f %.3f 2 Z NS EW TEST\n", recording_path.c_str(),
                    k * length, (k + 1) * length);
      out << line;
    }
    write_file(dir.file(name), out.str());
    return dir.file(name);
  }

  std::string parameters(const std::vector<std::string>& options) {
    std::string text = "### section processing\n";
    for (const auto& option : options) text += option + "\n";
    text += "### end processing\n";
    write_file(dir.file("par.txt"), text);
    return dir.file("par.txt");
  }

  RunResult run(const std::string& window_file, const std::string& par_file) {
    return run_ratiospec({window_file, par_file, out()});
  }

  std::string out() const { return dir.file("res"); }

  TempDir dir;
};

int count_lines_starting(const std::vector<std::string>& lines, const std::string& prefix) {
  int n = 0;
  for (const auto& line : lines) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

// Fo and its band from the n_freq_samples line of an H/V file.
struct FoLine {
  int n;
  double minus, fo, plus;
};

FoLine fo_line(const std::vector<std::string>& lines) {
  for (const auto& line : lines) {
    if (line.rfind(" # n_freq_samples: ", 0) != 0) continue;
    FoLine fo{};
    fo.n = std::stoi(line.substr(19, 6));
    fo.fo = std::stod(line.substr(31, 9));
    fo.minus = std::stod(line.substr(59, 9));
    fo.plus = std::stod(line.substr(71, 9));
    return fo;
  }
  ADD_FAILURE() << "no n_freq_samples line";
  return {};
}

TEST_F(RatiospecRun, DefaultOptionsWriteTheHvFileAndWarnAboutTheNarrowedRange) {
  const auto rec = recording("site.kaf", 125.0);
  const auto result = run(windows(rec, 6, 20.0), parameters({}));
  EXPECT_EQ(result.status, 1) << result.console;
  EXPECT_EQ(count_of(result.console, warning_banner), 4);
  EXPECT_EQ(
      count_of(result.console,
               "  WARNING : output frequency limits have been changed by the smoothing procedure"),
      1);
  EXPECT_FALSE(std::filesystem::exists(out() + "_sp"));
  EXPECT_FALSE(std::filesystem::exists(out() + "_win_001"));

  const auto lines = read_lines(out());
  ASSERT_GT(lines.size(), 20u);
  EXPECT_EQ(lines[0], "  ### data used in the H/V ratio processing:");
  const std::string window1 = " # " + rec + ' ' + "         0.00        20.00 Z   NS  EW  TES";
  EXPECT_EQ(lines[1], window1);
  EXPECT_EQ(lines[7], " #");
  EXPECT_EQ(lines[8], " # parameters actually used in the processing:");
  EXPECT_EQ(lines[9], " ### section processing");
  EXPECT_EQ(lines[10], " # freq_spacing:" + std::string("fft") + std::string(77, ' '));
  EXPECT_EQ(lines[13], " # smooth:konno-ohmachi:40" + std::string(64, ' '));
  EXPECT_EQ(lines[17], " ### end processing");
  EXPECT_EQ(lines[18],
            " # WARNING : output frequency limits have been changed by the smoothing procedure");
  EXPECT_EQ(lines[19], " #------------------------------");
  EXPECT_EQ(lines[20], " # n_windows:      6");
  EXPECT_EQ(lines[21], " # window_len:     20.000");
  const auto pad12 = [](std::string label) {
    return " " + label + std::string(12 - label.size(), ' ');
  };
  EXPECT_EQ(lines[22], " # labels: " + pad12("Z") + pad12("N") + pad12("E") + pad12("m/s"));
  EXPECT_EQ(lines[24],
            " #    freq           av_HV           ns_HV           ew_HV       av_HV_logstd    "
            "ns_HV_logstd    ew_HV_logstd");

  const FoLine fo = fo_line(lines);
  const auto rows = rows_of(lines);
  EXPECT_EQ(static_cast<int>(rows.size()), fo.n);
  EXPECT_LT(fo.n, 1000);  // N = 2001: 1000 grid frequencies, the top ones narrowed away
  for (const auto& row : rows) ASSERT_EQ(row.size(), 7u);
  // Every row is 7 fields of a blank and 15 characters.
  EXPECT_EQ(lines[25].size(), 7u * 16u);
  // Rows lie on the transform grid k/(N·dt), N = 2001.
  const double df = 1.0 / 20.01;
  EXPECT_NEAR(rows.front()[0], df * std::round(rows.front()[0] / df), 1e-6);
}

TEST_F(RatiospecRun, FoLiesWithinFivePercentOfTheGeneratedResonance) {
  const auto rec = recording("site.kaf", 610.0);
  const auto result = run(windows(rec, 30, 20.0), parameters({}));
  ASSERT_LE(result.status, 1) << result.console;
  const FoLine fo = fo_line(read_lines(out()));
  EXPECT_NEAR(fo.fo, 2.5, 0.05 * 2.5);
  EXPECT_LE(fo.minus, fo.fo);
  EXPECT_GE(fo.plus, fo.fo);
}

TEST_F(RatiospecRun, WindowLengthsWhoseStepRoundsDifferentlyInFloatRunCleanly) {
  // 15, 40 and 50 s windows at dt = 0.01 give N = 1501, 4001, 5001, for which a
  // frequency step computed in float differs from the one computed in double.
  for (const double length : {15.0, 40.0, 50.0}) {
    const auto rec = recording("site.kaf", 2 * length + 1);
    const auto result = run(windows(rec, 2, length), parameters({}));
    EXPECT_EQ(result.status, 1) << length << "\n" << result.console;
    EXPECT_EQ(count_of(result.console, "impossible"), 0) << result.console;
  }
}

TEST_F(RatiospecRun, NoSmoothingOnTheFftGridKeepsEveryRowAndEndsCleanly) {
  const auto rec = recording("site.kaf", 41.0);
  const auto result = run(windows(rec, 2, 20.0), parameters({"smooth: none"}));
  EXPECT_EQ(result.status, 0) << result.console;
  EXPECT_EQ(count_of(result.console, ok_banner), 4);
  const auto lines = read_lines(out());
  EXPECT_EQ(fo_line(lines).n, 1000);
  EXPECT_EQ(count_lines_starting(lines, " # WARNING"), 0);
}

struct OptionCase {
  std::string option;
  int rows;  // expected row count, or -1 when only a successful run is checked
};
void PrintTo(const OptionCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.option);
}

class RatiospecOptions : public RatiospecRun, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(RatiospecOptions, RunCompletesWithAFullResultFile) {
  const auto rec = recording("site.kaf", 61.0);
  const auto result = run(windows(rec, 3, 20.0), parameters({GetParam().option}));
  ASSERT_LE(result.status, 1) << result.console;
  const auto lines = read_lines(out());
  const FoLine fo = fo_line(lines);
  EXPECT_EQ(static_cast<int>(rows_of(lines).size()), fo.n);
  if (GetParam().rows >= 0) {
    EXPECT_EQ(fo.n, GetParam().rows);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryForm, RatiospecOptions,
    ::testing::Values(
        OptionCase{"freq_spacing: fft_red:1:10", -1},
        OptionCase{"freq_spacing: linear:0.5:20:40", 40},
        OptionCase{"freq_spacing: log:0.5:20:60", 60}, OptionCase{"smooth: linear:0.5:box", -1},
        OptionCase{"smooth: linear:0.5:tri", -1}, OptionCase{"smooth: log:10:box", -1},
        OptionCase{"smooth: log:10:tri", -1}, OptionCase{"smooth: konno-ohmachi:20", -1},
        OptionCase{"merge_type: arithmetic", -1}, OptionCase{"merge_type: geometric", -1},
        OptionCase{"merge_type: complex", -1}, OptionCase{"taper: cos:10", -1},
        OptionCase{"taper: box", -1}, OptionCase{"taper: boxcar", -1},
        OptionCase{"offset_rem: r_mean", -1}, OptionCase{"offset_rem: r_mean:win", -1},
        OptionCase{"offset_rem: no", -1}, OptionCase{"offset_rem: r_mean:xyz", -1}),
    name_by(&OptionCase::option));

TEST_F(RatiospecRun, ComplexMergeGivesThreeEqualRatioColumns) {
  const auto rec = recording("site.kaf", 41.0);
  ASSERT_LE(run(windows(rec, 2, 20.0), parameters({"merge_type: complex"})).status, 1);
  for (const auto& row : rows_of(read_lines(out()))) {
    EXPECT_EQ(row[1], row[2]);
    EXPECT_EQ(row[1], row[3]);
  }
}

TEST_F(RatiospecRun, AverageSpectraFileHasItsOwnHeaderAndNoFo) {
  const auto rec = recording("site.kaf", 41.0);
  const auto result = run(windows(rec, 2, 20.0), parameters({"average_spectra_out: yes"}));
  ASSERT_LE(result.status, 1) << result.console;
  const auto lines = read_lines(out() + "_sp");
  EXPECT_EQ(lines[0], "  ### data used in the FOURIER spectra processing:");
  bool found = false;
  for (const auto& line : lines) {
    if (line.rfind(" # n_freq_samples: ", 0) == 0) {
      EXPECT_EQ(line.size(), 25u);  // no Fo part
      found = true;
    }
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(count_lines_starting(lines,
                                 " #    freq          vert_sp           ns_sp           ew_sp      "
                                 "   vert_SD           ns_SD           ew_SD"),
            1);
  // Spectra are positive amplitudes with non-negative deviations.
  for (const auto& row : rows_of(lines)) {
    EXPECT_GT(row[1], 0.0);
    EXPECT_GE(row[4], 0.0);
  }
}

TEST_F(RatiospecRun, SingleWindowFilesOnePerWindow) {
  const auto rec = recording("site.kaf", 61.0);
  const auto result = run(windows(rec, 3, 20.0), parameters({"single_win_out: yes"}));
  ASSERT_LE(result.status, 1) << result.console;
  for (const char* suffix : {"_win_001", "_win_002", "_win_003"}) {
    const auto lines = read_lines(out() + suffix);
    ASSERT_GT(lines.size(), 20u) << suffix;
    EXPECT_EQ(lines[0], " ### window used in the H/V ratio processing:");
    EXPECT_EQ(lines[12],
              " # WARNING : output frequency limits have been changed by the smoothing procedure");
    EXPECT_EQ(lines[13], " ### end processing");
    EXPECT_EQ(lines[17],
              " #   freq            mergedHV           ns_HV            ew_HV          specvert    "
              "     spec-ns          spec-ew");
    const auto rows = rows_of(lines);
    ASSERT_FALSE(rows.empty());
    // The merged ratio of a quadratic merge is sqrt((H2² + H3²)/2)/V.
    for (const auto& row : rows) {
      const double merged = std::sqrt((row[5] * row[5] + row[6] * row[6]) / 2.0) / row[4];
      EXPECT_NEAR(row[1], merged, 1e-5 * merged);
      EXPECT_NEAR(row[2], row[5] / row[4], 1e-5 * row[2]);
    }
  }
  EXPECT_FALSE(std::filesystem::exists(out() + "_win_004"));
}

TEST_F(RatiospecRun, FilteredRecordingIsWrittenAndReadBackAsKaf) {
  const auto rec = recording("site.kaf", 41.0);
  const auto result = run(windows(rec, 2, 20.0), parameters({"filter_out: yes"}));
  EXPECT_EQ(result.status, 0) << result.console;
  EXPECT_FALSE(std::filesystem::exists(out()));
  Recording filtered;
  KAFHDR8 hdr;
  UnitTable units;
  int ndat = 0;
  float freq = 0.0f;
  ASSERT_EQ(RKAF(Name(out() + "_KAF_fi"), NTIME, 0, filtered, ndat, freq, hdr, units), 0);
  EXPECT_EQ(ndat, 4101);
  EXPECT_NEAR(freq, 100.0f, 1e-4f);
  EXPECT_TRUE(hdr.units == "filtered");
  // The default offset removal leaves every component with a zero mean.
  for (const std::vector<float>& component : filtered.component) {
    double sum = 0.0;
    for (const float v : component) sum += v;
    EXPECT_NEAR(sum / ndat, 0.0, 1e-4);
  }
}

// The yes/no options keep their stored meaning (filter_out and single_win_out: yes
// unless "no"; average_spectra_out: no unless "yes"), but a first word that is
// neither is named in a warning.
struct FlagCase {
  const char* option;
  const char* suffix;  // the result file the option asks for
  bool written;
  const char* warning;  // "" for none
};

class YesNoOption : public RatiospecRun, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(YesNoOption, KeepsItsMeaningAndWarnsOnOtherWords) {
  const FlagCase& c = GetParam();
  const auto rec = recording("site.kaf", 41.0);
  const auto result = run(windows(rec, 2, 20.0), parameters({c.option}));
  EXPECT_EQ(std::filesystem::exists(out() + c.suffix), c.written) << result.console;
  EXPECT_EQ(count_of(result.console, "is neither yes nor no;"), *c.warning ? 1 : 0);
  if (*c.warning) {
    EXPECT_EQ(count_of(result.console, c.warning), 1) << result.console;
    EXPECT_EQ(result.status, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, YesNoOption,
    ::testing::Values(FlagCase{"filter_out: false", "_KAF_fi", true,
                               "filter_out: 'false' is neither yes nor no; taken as yes"},
                      FlagCase{"filter_out: no", "_KAF_fi", false, ""},
                      FlagCase{"single_win_out: No", "_win_001", true,
                               "single_win_out: 'No' is neither yes nor no; taken as yes"},
                      FlagCase{"single_win_out: yes", "_win_001", true, ""},
                      FlagCase{"average_spectra_out: YES", "_sp", false,
                               "average_spectra_out: 'YES' is neither yes nor no; taken as no"},
                      FlagCase{"average_spectra_out: yes", "_sp", true, ""}),
    test::name_by(&FlagCase::option));

TEST_F(RatiospecRun, RecordingsWithDifferentUnitsAreFlaggedInFileAndOnceOnConsole) {
  const auto a = recording("a.kaf", 41.0, 0.01, "m/s");
  const auto b = recording("b.kaf", 41.0, 0.01, "counts");
  write_file(dir.file("w.txt"), "\"" + a + "\" 0 20\n\"" + b + "\" 0 20\n");
  const auto result = run(dir.file("w.txt"), parameters({"average_spectra_out: yes"}));
  EXPECT_EQ(result.status, 1) << result.console;
  EXPECT_EQ(count_of(result.console, "  WARNING : UNITS label is not the same for all files"), 1);
  EXPECT_EQ(count_lines_starting(read_lines(out()),
                                 " # WARNING : UNITS label is not the same for all files"),
            1);
  EXPECT_EQ(count_lines_starting(read_lines(out() + "_sp"),
                                 " # WARNING : UNITS label is not the same for all files"),
            1);
}

TEST_F(RatiospecRun, RecordingsWithDifferentComponentLabelsAreFlagged) {
  synth::Spec spec;
  spec.duration_s = 41.0;
  const auto a = dir.file("a.kaf");
  synth::write_kaf(a, synth::synthesize(spec), spec);
  spec.ch1 = "NS";
  const auto b = dir.file("b.kaf");
  synth::write_kaf(b, synth::synthesize(spec), spec);
  write_file(dir.file("w.txt"), a + " 0 20\n" + b + " 0 20\n");
  const auto result = run(dir.file("w.txt"), parameters({"smooth: none"}));
  EXPECT_EQ(result.status, 1) << result.console;
  EXPECT_EQ(count_of(result.console, "  WARNING : COMPONENT labels are not the same for all files"),
            1);
  EXPECT_EQ(count_of(result.console, "UNITS"), 0);
  EXPECT_EQ(count_lines_starting(read_lines(out()),
                                 " # WARNING : COMPONENT labels are not the same for all files"),
            1);
}

TEST_F(RatiospecRun, ResultFileThatCannotBeCreatedEndsWithTheErrorExit) {
  const auto rec = recording("site.kaf", 41.0);
  const std::string missing = dir.file("no/such/dir/res");
  const auto result = run_ratiospec({windows(rec, 2, 20.0), parameters({}), missing});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.console.find("  ERROR : no file can be created in the folder of the output "
                                "file:\n " +
                                Name(missing).str() + "\n"),
            std::string::npos)
      << result.console;
  EXPECT_EQ(count_of(result.console, error_banner), 4);
}

TEST_F(RatiospecRun, IdenticalComponentsGiveNoFoAndMinusNineFields) {
  // Three identical components: every ratio is exactly 1 and the averaged curve has
  // no maximum.
  std::string text =
      "KORVEN ASCII data format (kaf) v. 1\nSTA_CODE = FLAT\nSAMP_FREQ = 100\nNDAT = 2001\n"
      "START_TIME = 2003 06 14 14 40 30.000\nUNITS = m/s\nCH0_ID = Z\nCH1_ID = N\nCH2_ID = E\n"
      "####--------------------\n";
  unsigned state = 12345;
  for (int i = 0; i < 2001; ++i) {
    state = state * 1103515245u + 12345u;
    const double v = static_cast<double>(state >> 8) / (1 << 24) - 0.5;
    text += std::to_string(v) + " " + std::to_string(v) + " " + std::to_string(v) + "\n";
  }
  write_file(dir.file("flat.kaf"), text);
  write_file(dir.file("w.txt"), dir.file("flat.kaf") + " 0 20\n");
  const auto result = run(dir.file("w.txt"), parameters({"merge_type: arithmetic"}));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(count_of(result.console, "  WARNING : Fo does not appear in h/v"), 1);
  const auto lines = read_lines(out());
  bool found = false;
  for (const auto& line : lines) {
    if (line.rfind(" # n_freq_samples: ", 0) == 0) {
      EXPECT_NE(line.find("  Fo:   -9.0000 range +/- 1 s.d.:   -9.0000 -   -9.0000 [Hz]"),
                std::string::npos)
          << line;
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

TEST_F(RatiospecRun, WorkAreaOfExactlyFourMillionValuesIsRefused) {
  // N = 7870 (a 78.69 s window at 100 Hz), a linear grid of 3898 frequencies and
  // 335 windows: 4·3898 + 7·7870 + 3·3936 + 3·335·3898 + 20 = 4,000,000.
  const auto rec = recording("site.kaf", 80.0);
  const auto params = parameters({"freq_spacing: linear:1:40:3898", "smooth: none"});
  std::string text;
  for (int k = 0; k < 335; ++k) text += "\"" + rec + "\" 0 78.69\n";
  write_file(dir.file("w.txt"), text);
  auto result = run(dir.file("w.txt"), params);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(count_of(result.console,
                     "  ERROR: Required amount of memory exceed current allowed dimension\n"
                     "  Try to use fewer windows or shorter window duration\n"),
            1)
      << result.console;
  EXPECT_FALSE(std::filesystem::exists(out()));

  // One window less fits.
  text.clear();
  for (int k = 0; k < 334; ++k) text += "\"" + rec + "\" 0 78.69\n";
  write_file(dir.file("w.txt"), text);
  result = run(dir.file("w.txt"), params);
  EXPECT_LE(result.status, 1) << result.console;
  EXPECT_TRUE(std::filesystem::exists(out()));
}

struct AbsurdWindowCase {
  std::string spacing;
  std::string message;
};
void PrintTo(const AbsurdWindowCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.spacing);
}

class RatiospecAbsurdWindow : public RatiospecRun,
                              public ::testing::WithParamInterface<AbsurdWindowCase> {};

// A window end of 1e30 s makes Tmax/dt far too large for any transform length: the run
// must end with the message of the step that refuses such a length.
TEST_P(RatiospecAbsurdWindow, IsRefusedByTheGridOrTheSizing) {
  const auto rec = recording("site.kaf", 21.0);
  write_file(dir.file("w.txt"), "\"" + rec + "\" 0 1e30\n");
  const auto result = run(dir.file("w.txt"), parameters({"freq_spacing: " + GetParam().spacing}));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(count_of(result.console, GetParam().message), 1) << result.console;
  EXPECT_EQ(count_of(result.console, "fewer than 2 samples"), 0) << result.console;
  EXPECT_EQ(count_of(result.console, error_banner), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Spacings, RatiospecAbsurdWindow,
    ::testing::Values(
        AbsurdWindowCase{"fft", "  Number of frequencies (requested or computed) greater than"},
        AbsurdWindowCase{"linear:1:10:10",
                         "  ERROR: Required amount of memory exceed current allowed dimension"}),
    name_by(&AbsurdWindowCase::spacing));

TEST_F(RatiospecRun, WindowFileWithoutWindowsEndsWithTheErrorExit) {
  write_file(dir.file("w.txt"), "# only a comment\n\n");
  const auto result = run(dir.file("w.txt"), parameters({}));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(count_of(result.console, error_banner), 4);
  EXPECT_NE(result.console.find("no window"), std::string::npos);
}

TEST_F(RatiospecRun, WindowBeyondTheRecordingIsReportedWithItsSamples) {
  const auto rec = recording("site.kaf", 30.0);
  write_file(dir.file("w.txt"), "\"" + rec + "\" 0 20\n\"" + rec + "\" 15 35\n");
  const auto result = run(dir.file("w.txt"), parameters({}));
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.console.find("  Start sample or end sample incorrectly specified\n"),
            std::string::npos)
      << result.console;
  EXPECT_NE(result.console.find("  Window number :  2"), std::string::npos) << result.console;
  EXPECT_EQ(count_of(result.console, error_banner), 4);
}

// Every recording must share the first one's sampling interval; any difference counts.
TEST_F(RatiospecRun, RecordingAtAnotherRateIsRefusedWithBothIntervals) {
  const auto fast = recording("a.kaf", 30.0);
  const auto slow = recording("b.kaf", 30.0, 0.02);
  write_file(dir.file("w.txt"), "\"" + fast + "\" 0 20\n\"" + slow + "\" 0 20\n");
  const auto result = run(dir.file("w.txt"), parameters({}));
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.console.find("  READERTH: sampling rate previously found :  0.01\n"
                                "            present sampling rate :  0.02\n " +
                                Name(slow).str()),
            std::string::npos)
      << result.console;
}

TEST_F(RatiospecRun, ObsoleteKeyOnAGoodRunEndsWithTheWarningBanner) {
  const auto rec = recording("site.kaf", 41.0);
  const auto result = run(windows(rec, 2, 20.0), parameters({"smooth: none", "average_type: x"}));
  EXPECT_EQ(result.status, 1) << result.console;
  EXPECT_EQ(count_of(result.console, warning_banner), 4);
}

}  // namespace
}  // namespace hv::test

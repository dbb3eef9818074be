// SPDX-License-Identifier: GPL-3.0-or-later
// Both programs on miniSEED recordings: the bundled real recording against its
// published peak frequency, generated files against the same samples read as KAF,
// and refused files.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/param_name.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"
#include "tools/synth_mseed.hpp"

namespace hv::test {
namespace {

const std::string real = std::string(HV_SOURCE_DIR) + "/data/UT.STN11.A2_C50.miniseed";

struct Fo {
  double fo, minus, plus;
};

// The Fo line of an averaged H/V file.
std::optional<Fo> fo_of(const std::string& result) {
  for (const auto& line : read_lines(result)) {
    const auto at = line.find("Fo:");
    if (at == std::string::npos) continue;
    Fo fo{};
    if (std::sscanf(line.c_str() + at, "Fo: %lf range +/- 1 s.d.: %lf - %lf", &fo.fo, &fo.minus,
                    &fo.plus) == 3) {
      return fo;
    }
  }
  return std::nullopt;
}

// The result rows (everything after the column header line).
std::vector<std::string> rows_of(const std::string& result) {
  const auto lines = read_lines(result);
  std::vector<std::string> rows;
  bool after = false;
  for (const auto& line : lines) {
    if (after) rows.push_back(line);
    if (line.rfind(" #    freq", 0) == 0) after = true;
  }
  return rows;
}

class MiniseedRun : public ::testing::Test {
 protected:
  // count consecutive windows of length s from 0 s on, with the given format and codes.
  std::string windows(const std::string& recording, int count, double length,
                      const std::string& format_and_codes) {
    std::ostringstream out;
    for (int k = 0; k < count; ++k) {
      char line[512];
      std::snprintf(line, sizeof line, "\"%s\" %.3f %.3f %s\n", recording.c_str(), k * length,
                    (k + 1) * length, format_and_codes.c_str());
      out << line;
    }
    const std::string path = dir.file("windows_" + std::to_string(++files) + ".txt");
    write_file(path, out.str());
    return path;
  }
  std::string parameters(const std::string& options = "") {
    write_file(dir.file("hv.par"), "### section processing\n" + options + "### end processing\n");
    return dir.file("hv.par");
  }
  std::string list(const std::string& recording) {
    write_file(dir.file("list.txt"), recording + "\n");
    write_file(dir.file("pick.par"), "1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n");
    return dir.file("list.txt");
  }

  TempDir dir;
  WorkingDirectory cwd{dir.path()};
  int files = 0;
};

// The published analysis: 30 windows of 60 s, Konno-Ohmachi b = 40, f0 0.7135 Hz with
// a band of one standard deviation from 0.594 to 0.834 Hz.
TEST_F(MiniseedRun, RealRecordingGivesFoInsideThePublishedBand) {
  const auto run = run_ratiospec(
      {windows(real, 30, 59.99, "4 BHZ BHN BHE STN11"),
       parameters("freq_spacing: log:0.3:40:2048\ntaper: cos:5\nsmooth: konno-ohmachi:40\n"
                  "merge_type: quadratic\n"),
       dir.file("hv")});
  ASSERT_LE(run.status, 1) << run.console;
  const auto fo = fo_of(dir.file("hv"));
  ASSERT_TRUE(fo.has_value());
  EXPECT_GT(fo->fo, 0.594);
  EXPECT_LT(fo->fo, 0.834);
}

// A grid that stops short of the peak hides it: the averaged curve is then largest on
// its first row and the run warns, naming that frequency. A grid holding the peak,
// or missing it with no amplification at its edge, does not.
struct EdgeCase {
  const char* name;
  const char* spacing;
  int status;
  const char* warning;  // the frequency named, or "" for no warning
};

class RealRecordingGrid : public MiniseedRun, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(RealRecordingGrid, WarnsWhenTheCurveIsLargestAtTheGridEdge) {
  const EdgeCase& c = GetParam();
  const auto run =
      run_ratiospec({windows(real, 30, 59.99, "4 BHZ BHN BHE STN11"),
                     parameters(std::string("freq_spacing: ") + c.spacing + "\n"), dir.file("hv")});
  EXPECT_EQ(run.status, c.status) << run.console;
  const std::string warning = "largest at the edge of the frequency grid, at";
  EXPECT_EQ(count_of(run.console, warning), *c.warning ? 1 : 0) << run.console;
  if (*c.warning) {
    EXPECT_EQ(count_of(run.console, warning + std::string(c.warning)), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Spacings, RealRecordingGrid,
                         ::testing::Values(EdgeCase{"published", "log:0.3:40:2048", 0, ""},
                                           EdgeCase{"above_the_peak", "fft_red:0.9:30", 1,
                                                    "    0.9000 Hz:"},
                                           EdgeCase{"no_amplification", "log:2:40:512", 0, ""}),
                         test::name_by(&EdgeCase::name));

TEST_F(MiniseedRun, CalmpickThenRatiospecOnTheRealRecording) {
  const auto picked = run_calmpick({list(real), dir.file("pick.par"), dir.file("w.txt")});
  ASSERT_EQ(picked.status, 0) << picked.console;
  const auto lines = read_lines(dir.file("w.txt"));
  ASSERT_GE(lines.size(), 10u) << picked.console;
  for (const auto& line : lines) {
    std::istringstream fields(line.substr(line.rfind('"') + 1));
    double start = 0, end = 0;
    std::string format, z, n, e, station;
    fields >> start >> end >> format >> z >> n >> e >> station;
    EXPECT_EQ(format + " " + z + " " + n + " " + e + " " + station, "4 BHZ BHN BHE STN11");
    EXPECT_LE(end, 1800.0);
  }

  const auto run = run_ratiospec({dir.file("w.txt"), parameters(), dir.file("hv")});
  ASSERT_LE(run.status, 1) << run.console;
  const auto fo = fo_of(dir.file("hv"));
  ASSERT_TRUE(fo.has_value());
  EXPECT_GT(fo->fo, 0.594);
  EXPECT_LT(fo->fo, 0.834);
}

// The same samples as KAF (columns Z, N, E) and as miniSEED (channels written E, N, Z,
// records interleaved) give the same result rows, number for number.
TEST_F(MiniseedRun, SameSamplesAsKafGiveTheSameResults) {
  synth::Spec spec;
  spec.duration_s = 300.0;
  spec.seed = 5;
  spec.resonance_hz = 3.0;
  const synth::Recording rec = synth::synthesize(spec);
  synth::write_kaf(dir.file("site.kaf"), rec, spec);
  std::vector<synth::MseedBlock> blocks(3);
  const std::array<const std::vector<float>*, 3> columns = {&rec.ew, &rec.ns, &rec.z};
  for (std::size_t k = 0; k < 3; ++k) {
    blocks[k].channel = std::string("HH") + "ENZ"[k];
    blocks[k].encoding = synth::MseedEncoding::float32;
    blocks[k].samples.assign(columns[k]->begin(), columns[k]->end());
  }
  synth::write_miniseed(dir.file("site.mseed"), blocks, true);

  const std::string par = parameters("freq_spacing: log:0.5:20:200\n");
  const auto kaf = run_ratiospec(
      {windows(dir.file("site.kaf"), 6, 40.0, "2 Z NS EW TEST"), par, dir.file("hv_kaf")});
  const auto mseed =
      run_ratiospec({windows(dir.file("site.mseed"), 6, 40.0, "4"), par, dir.file("hv_mseed")});
  ASSERT_LE(kaf.status, 1) << kaf.console;
  ASSERT_LE(mseed.status, 1) << mseed.console;
  const auto expected = rows_of(dir.file("hv_kaf"));
  ASSERT_EQ(expected.size(), 200u);
  EXPECT_EQ(rows_of(dir.file("hv_mseed")), expected);
}

std::string gap_recording(const std::string& path) {
  std::vector<synth::MseedBlock> blocks(4);
  for (std::size_t k = 0; k < 4; ++k) {
    blocks[k].channel = std::string("BH") + "ZNEE"[k];
    blocks[k].samples.assign(k == 2 ? 3000 : 6000, 1.0 + static_cast<double>(k));
  }
  blocks[3].start_us += 31'000'000;  // E resumes one second after its first 30 s end
  synth::write_miniseed(path, blocks);
  return path;
}

TEST_F(MiniseedRun, RatiospecStopsOnAGapAndWritesNothing) {
  const std::string recording = gap_recording(dir.file("gap.mseed"));
  const auto run = run_ratiospec({windows(recording, 1, 20.0, "4"), parameters(), dir.file("hv")});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(count_of(run.console, "  READERMSEED : a gap of 1 s in channel BHE"), 1) << run.console;
  EXPECT_FALSE(std::filesystem::exists(dir.file("hv")));
}

TEST_F(MiniseedRun, CalmpickReportsTheRefusedRecording) {
  const std::string recording = gap_recording(dir.file("gap.mseed"));
  const auto run = run_calmpick({list(recording), dir.file("pick.par"), dir.file("w.txt")});
  EXPECT_EQ(run.status, 200);
  EXPECT_EQ(count_of(run.console, "  READER_MSEED : a gap of 1 s in channel BHE"), 1)
      << run.console;
}

}  // namespace
}  // namespace hv::test

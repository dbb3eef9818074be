// SPDX-License-Identifier: GPL-3.0-or-later
// calmpick run end to end: command line, files, exit statuses and the window file,
// on KAF recordings written by hand or generated.
#include "tests/support/run.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/param_name.hpp"
#include "tools/synth.hpp"

namespace hv {
namespace {

using test::read_file;
using test::read_lines;
using test::run_calmpick;
using test::split_lines;
using test::write_file;

std::string padded(const std::string& s, std::size_t n) {
  std::string out = s;
  out.resize(n, ' ');
  return out;
}

std::string name_line(const std::string& name) {
  std::string line = " ";
  line += padded(name, 200);
  return line;
}

// A time as the window file shows it: 3 decimals, right-aligned in 8 characters.
std::string time8(double t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%8.3f", t);
  return buf;
}

// The line that a KAF recording's window gets.
std::string kaf_window_line(const std::string& path, double start, double end) {
  std::string quoted = "\"";
  quoted += path;
  quoted += '"';
  return padded(quoted, 200) + "   " + time8(start) + "   " + time8(end) +
         " 2   Z     NS    EW    TEST      ";
}

// A KAF file with the given sampling frequency and samples(k, c) for k = 0 .. ndat-1.
void write_kaf(const std::string& path, double freq, int ndat,
               const std::function<double(int, int)>& sample) {
  std::ostringstream s;
  s << "KORVEN ASCII data format (kaf) v. 1\n"
    << "STA_CODE = T01\nSAMP_FREQ = " << freq << "\nNDAT = " << ndat
    << "\nSTART_TIME = 2003 06 14 14 40 30.000\nUNITS = m/s\n"
    << "CH0_ID = Z\nCH1_ID = N\nCH2_ID = E\n####--------------------\n";
  for (int k = 0; k < ndat; ++k)
    s << sample(k, 0) << ' ' << sample(k, 1) << ' ' << sample(k, 2) << '\n';
  write_file(path, s.str());
}

void write_noise(const std::string& path, double duration_s, double dt, unsigned seed,
                 std::vector<synth::Transient> transients = {}) {
  synth::Spec spec;
  spec.duration_s = duration_s;
  spec.dt = dt;
  spec.seed = seed;
  spec.transients = std::move(transients);
  synth::write_kaf(path, synth::synthesize(spec), spec);
}

// Runs in its own temporary working directory, where the window-count file goes.
class CalmpickRun : public ::testing::Test {
 protected:
  std::string file(const std::string& name) const { return dir_.file(name); }
  // Writes the list and parameter files and runs on them with output file "win.txt".
  test::RunResult run(const std::vector<std::string>& recordings, const std::string& parameters) {
    std::string list;
    for (const auto& r : recordings) list += r + "\n";
    write_file(file("list.txt"), list);
    write_file(file("par.txt"), parameters);
    return run_calmpick({file("list.txt"), file("par.txt"), file("win.txt")});
  }
  std::vector<std::string> counts() const { return read_lines(file("calmpick_counts.txt")); }
  std::vector<std::string> windows() const { return read_lines(file("win.txt")); }

  test::TempDir dir_;
  test::WorkingDirectory cwd_{dir_.path()};
};

TEST_F(CalmpickRun, WrongWordCountGivesUsageAndCreatesNothing) {
  for (const auto& args :
       {std::vector<std::string>{"a", "b"}, std::vector<std::string>{"a", "b", "c", "d"}}) {
    const auto r = run_calmpick(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.console,
              " WINDOWS SELECTION MODULE - ERROR !! \n"
              " use : calmpick list_file parameters_file output_file\n");
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(CalmpickRun, BothMissingInputFilesAreReported) {
  const auto r = run_calmpick({file("nolist"), file("nopar"), file("win.txt")});
  EXPECT_EQ(r.status, 250);
  EXPECT_EQ(r.console, "  WINDOWS SELECTION MODULE - ERROR !! \n  list file not found ! \n" +
                           name_line(file("nolist")) +
                           "\n  WINDOWS SELECTION MODULE - ERROR !! \n"
                           "  parameter file not found ! \n" +
                           name_line(file("nopar")) + "\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(CalmpickRun, EmptyListWithExistingOutputWarnsAndOverwrites) {
  write_file(file("win.txt"), "old window line\n");
  write_file(file("calmpick_counts.txt"), "  7\n");
  const auto r = run({}, "/\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.console, "  WARNING \n  output file already  exists: it will be overwritten \n" +
                           name_line(file("win.txt")) + "\n I have read input_selectauto\n");
  EXPECT_EQ(read_file(file("win.txt")), "");
  EXPECT_EQ(read_file(file("calmpick_counts.txt")), "");
}

TEST_F(CalmpickRun, EveryWindowOfSteadyNoiseFromTheStart) {
  const std::string rec = file("noise.kaf");
  write_noise(rec, 100.0, 0.01, 11);
  const auto r = run({rec}, "1.0 25.0 0.5 2.0 20.0 0.2 0 0 0.0\n");
  ASSERT_EQ(r.status, 0) << r.console;
  // nlong 2000, tstep 16 s, nstep 1599: windows end at samples 2001 + 1599 k.
  std::vector<std::string> expected;
  for (int k = 0; k < 6; ++k) expected.push_back(kaf_window_line(rec, 15.99 * k, 20.0 + 15.99 * k));
  EXPECT_EQ(windows(), expected);
  EXPECT_EQ(counts(), std::vector<std::string>{"  6"});
  const auto lines = split_lines(r.console);
  const std::vector<std::string> tail = {" File to read: " + padded(rec, 200),
                                         " NCZ:  52 NDATACZ:  9950", "  2001 20 0 16 1599", "  6"};
  ASSERT_GE(lines.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), tail);
}

TEST_F(CalmpickRun, ParametersAfterASlashTakeTheirDefaults) {
  const std::string rec = file("noise.kaf");
  write_noise(rec, 40.0, 0.01, 5);
  // isatur given as 1000 counts as not given: the saturation test applies.
  const auto r = run({rec}, "1.0,,0.5\n2.0 30.0,,1000 /\n");
  ASSERT_EQ(r.status, 0) << r.console;
  // tlong 30 s, overlap 0.2, tbad 0: tstep 24 s, nstep 2399.
  EXPECT_NE(r.console.find("\n  3001 30 0 24 2399\n"), std::string::npos) << r.console;
}

TEST_F(CalmpickRun, SaturationTestRejectsTheLargestSample) {
  // One spike far above the noise: with isatur 1 no window may hold it.
  const std::string rec = file("spike.kaf");
  write_kaf(rec, 100.0, 6001, [](int k, int c) {
    return k == 3000 ? 40.0 : std::sin(0.37 * k + c) + 0.5 * std::sin(1.3 * k);
  });
  const auto with = run({rec}, "1 25 0.01 100 20 0.2 1 0 0\n");
  ASSERT_EQ(with.status, 0) << with.console;
  for (const auto& line : windows()) {
    const double start = std::stod(line.substr(203, 8)), end = std::stod(line.substr(214, 8));
    EXPECT_FALSE(start < 30.0 && end >= 30.0) << line;
  }
  const auto without = run({rec}, "1 25 0.01 100 20 0.2 0 0 0\n");
  ASSERT_EQ(without.status, 0) << without.console;
  EXPECT_EQ(windows().size(), 3u);  // ends at samples 2001, 3600, 5199
}

TEST_F(CalmpickRun, StopsAtOneThousandWindowsPerRecording) {
  const std::string rec = file("noise.kaf");
  write_noise(rec, 100.0, 0.01, 2);
  // Windows of 0.1 s (nlong 10) advancing by nstep 9 samples.
  const auto r = run({rec}, "1 25 0.5 2 0.1 0 0 0 0\n");
  ASSERT_EQ(r.status, 0) << r.console;
  const auto lines = windows();
  ASSERT_EQ(lines.size(), 1000u);
  EXPECT_EQ(lines.back(), kaf_window_line(rec, 8991 * 0.01, 9001 * 0.01));
  EXPECT_EQ(counts(), std::vector<std::string>{"  1000"});
}

TEST_F(CalmpickRun, RecordingShorterThanTheWindowStillReportsItsCount) {
  const std::string shortrec = file("short.kaf"), rec = file("noise.kaf");
  write_noise(shortrec, 15.0, 0.01, 3);
  write_noise(rec, 40.0, 0.01, 4);
  const auto r = run({shortrec, rec}, "1.0 5.0 0.5 2.0 20.0 0.2 0 0 0\n");
  ASSERT_EQ(r.status, 0) << r.console;
  EXPECT_EQ(counts(), (std::vector<std::string>{"  0", "  2"}));
  EXPECT_NE(r.console.find(" NDATACZ:  1450\n  2001 20 0 16 1599\n  0\n"), std::string::npos)
      << r.console;
  EXPECT_EQ(windows(), (std::vector<std::string>{kaf_window_line(rec, 0.0, 20.0),
                                                 kaf_window_line(rec, 15.99, 35.99)}));
}

TEST_F(CalmpickRun, UnreadableThirdRecordingKeepsTheEarlierLines) {
  const std::string a = file("a.kaf"), b = file("b.kaf"), c = file("missing.kaf");
  write_noise(a, 30.0, 0.01, 1);
  write_noise(b, 30.0, 0.01, 2);
  const auto r = run({a, b, c, a}, "1 25 0.5 2 20 0.2 0 0 0\n");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(windows(), (std::vector<std::string>{kaf_window_line(a, 0.0, 20.0),
                                                 kaf_window_line(b, 0.0, 20.0)}));
  EXPECT_EQ(counts(), (std::vector<std::string>{"  1", "  1"}));
  const auto lines = split_lines(r.console);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "  Following file can not be read:");
  EXPECT_EQ(lines.back(), name_line(c));
}

TEST_F(CalmpickRun, WindowTooLongForTheStorageEndsWith210) {
  const std::string rec = file("fast.kaf");
  write_kaf(rec, 1000.0, 500, [](int k, int c) { return std::sin(0.1 * k * (c + 1)); });
  const auto r = run({rec}, "1 25 0.5 2 600 /\n");
  EXPECT_EQ(r.status, 210);
  const auto lines = split_lines(r.console);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], " Problem : tlong too large : nt larger than ntime");
  EXPECT_EQ(lines[lines.size() - 2], " tlong = 600 nt=  1048576  ntime = 600001");
  EXPECT_EQ(lines.back(), " no result file was written");
}

TEST_F(CalmpickRun, RecordingsThatCannotBeAnalysedAreSkippedAndTheRunGoesOn) {
  const std::string empty = file("empty.kaf"), tiny = file("tiny.kaf"), rec = file("noise.kaf");
  write_kaf(empty, 100.0, 0, [](int, int) { return 0.0; });
  write_kaf(tiny, 100.0, 120, [](int k, int c) { return std::sin(0.2 * k + c); });
  write_noise(rec, 30.0, 0.01, 8);
  // Only the first 200 characters of a list line are its path.
  const std::string blank_field = std::string(200, ' ') + "beyond.kaf";
  const auto r = run({empty, "", "   ", blank_field, tiny, rec}, "1 25 0.5 2 20 0.2 0 0 0\n");
  ASSERT_EQ(r.status, 0) << r.console;
  EXPECT_EQ(counts(), (std::vector<std::string>{"  0", "  0", "  1"}));
  EXPECT_EQ(windows(), std::vector<std::string>{kaf_window_line(rec, 0.0, 20.0)});
  EXPECT_EQ(test::count_of(r.console, " File to read: "), 3);  // blank paths are skipped
  EXPECT_NE(r.console.find("it holds no samples:\n" + name_line(empty)), std::string::npos);
  EXPECT_NE(r.console.find("that the STA/LTA averages need:\n" + name_line(tiny)),
            std::string::npos)
      << r.console;
}

TEST_F(CalmpickRun, AveragesShorterThanTheSamplingIntervalSkipTheRecording) {
  const std::string rec = file("noise.kaf");
  write_noise(rec, 30.0, 0.01, 8);
  const auto r = run({rec}, "0.005 25 0.5 2 20 0.2 0 0 0\n");
  ASSERT_EQ(r.status, 0) << r.console;
  EXPECT_EQ(counts(), std::vector<std::string>{"  0"});
  EXPECT_TRUE(windows().empty());
  EXPECT_NE(r.console.find("must be at least its sampling interval"), std::string::npos);
}

struct FailureCase {
  const char* parameters;
  int status;
  const char* message;
};
void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.parameters);
}

class CalmpickParameterFailure : public CalmpickRun,
                                 public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CalmpickParameterFailure, EndsBeforeAnyRecordingIsRead) {
  const auto r = run({file("never-read.kaf")}, GetParam().parameters);
  EXPECT_EQ(r.status, GetParam().status);
  EXPECT_NE(r.console.find(GetParam().message), std::string::npos) << r.console;
  EXPECT_NE(r.console.find(name_line(file("par.txt"))), std::string::npos);
  EXPECT_EQ(r.console.find("File to read"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(file("win.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, CalmpickParameterFailure,
    ::testing::Values(FailureCase{"1.0 25.0 0.5\n", 220, "ends after 3 of the nine values"},
                      FailureCase{"", 220, "ends after 0 of the nine values"},
                      FailureCase{"1 25 0.5 2 20 0.2 yes 0 0\n", 220, "isatur"},
                      FailureCase{"1 25 0.5 2 20 1.0 1 0 0\n", 220, "overlap must stay below 1"},
                      FailureCase{"1 25 -0.5 2 /\n", 220, "ratmin must be greater than 0"},
                      FailureCase{"1 25 0.5 2 0 /\n", 220, "tlong must be greater than 0"}),
    test::name_by(&FailureCase::message));

TEST_F(CalmpickRun, PathOf198CharactersFitsTheWindowFileAnd199IsRefused) {
  const std::string folder = file("");
  ASSERT_LT(folder.size(), 190u);
  // With its two quotes a 198-character path fills the 200-character field exactly.
  const std::string rec = folder + std::string(198 - folder.size() - 4, 'x') + ".kaf";
  ASSERT_EQ(rec.size(), 198u);
  write_noise(rec, 30.0, 0.01, 8);
  // Alone, the 198-character path is taken and its window lines are written.
  const auto alone = run({rec}, "1 25 0.5 2 20 0.2 0 0 0\n");
  EXPECT_EQ(alone.status, 0) << alone.console;
  ASSERT_FALSE(windows().empty());
  EXPECT_EQ(windows()[0].substr(0, 200), "\"" + rec + "\"");
  std::filesystem::remove(file("win.txt"));
  const auto r = run({rec, rec + "x"}, "1 25 0.5 2 20 0.2 0 0 0\n");
  EXPECT_EQ(r.status, 240);
  EXPECT_NE(r.console.find("more than 198 characters"), std::string::npos);
  // A refused run keeps no result, not even the windows of the earlier recordings.
  EXPECT_FALSE(std::filesystem::exists(file("win.txt")));
}

// With iltalev 1 a sample is refused when its LTA exceeds both the mean LTA and
// 0.2 x lowest + 0.8 x highest LTA: here every sample whose 25 s LTA spans only the
// loud second half of the recording, four times the level of the first.
TEST_F(CalmpickRun, LongTermLevelTestKeepsTheWindowsOutOfTheLoudPart) {
  const std::string path = file("loud.kaf");
  synth::Spec spec;
  spec.duration_s = 200.0;
  spec.seed = 9;
  synth::Recording rec = synth::synthesize(spec);
  for (auto* c : {&rec.z, &rec.ns, &rec.ew}) {
    for (std::size_t i = 10000; i < c->size(); ++i) (*c)[i] *= 4.0f;
  }
  synth::write_kaf(path, rec, spec);
  const auto window_ends = [&](const std::string& iltalev) {
    const auto r = run({path}, "1 25 0.01 100 20 0.2 0 " + iltalev + " 0\n");
    EXPECT_EQ(r.status, 0) << r.console;
    std::vector<double> ends;
    for (const auto& line : windows()) ends.push_back(std::stod(line.substr(214, 8)));
    return ends;
  };
  const auto all = window_ends("0"), quiet = window_ends("1");
  ASSERT_FALSE(all.empty());
  EXPECT_GT(all.back(), 180.0);
  ASSERT_FALSE(quiet.empty());
  EXPECT_LE(quiet.back(), 125.0);
}

TEST_F(CalmpickRun, FilesThatCannotBeOpenedAreErrors) {
  write_file(file("list.txt"), "");
  write_file(file("par.txt"), "/\n");
  std::filesystem::create_directory(file("dir"));
  const auto out = run_calmpick({file("list.txt"), file("par.txt"), file("dir")});
  EXPECT_EQ(out.status, 230);
  EXPECT_NE(out.console.find("output file cannot be created:\n" + name_line(file("dir"))),
            std::string::npos)
      << out.console;
  const auto par = run_calmpick({file("list.txt"), file("dir"), file("win.txt")});
  EXPECT_EQ(par.status, 230);
  EXPECT_NE(par.console.find("parameter file cannot be opened:\n" + name_line(file("dir"))),
            std::string::npos)
      << par.console;
  // A device would be read as one line that never ends.
  EXPECT_EQ(run_calmpick({"/dev/zero", file("par.txt"), file("win.txt")}).status, 230);
}

TEST_F(CalmpickRun, TransientsAreNeverInsideASelectedWindow) {
  const std::string rec = file("bursts.kaf");
  const std::vector<synth::Transient> bursts = {{100.0, 100.0, 2.0}, {230.0, 60.0, 3.0}};
  write_noise(rec, 320.0, 0.01, 21, bursts);
  const auto r = run({rec}, "/\n");
  ASSERT_EQ(r.status, 0) << r.console;
  const auto lines = windows();
  ASSERT_GE(lines.size(), 5u);
  for (const auto& line : lines) {
    const double start = std::stod(line.substr(203, 8)), end = std::stod(line.substr(214, 8));
    for (const auto& b : bursts) {
      // Where the Hann envelope lifts the burst above the unit noise level.
      const double edge = b.duration_s * std::asin(std::sqrt(1.0 / b.amplitude)) / M_PI;
      const double from = b.time_s + edge, to = b.time_s + b.duration_s - edge;
      EXPECT_TRUE(end < from || start > to) << line.substr(200);
    }
  }
}

}  // namespace
}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ratiospec/ckerr.hpp"
#include "ratiospec/gcmln.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/param_name.hpp"
#include "tests/support/run.hpp"

namespace hv {
namespace {

using test::error_banner;
using test::four_times;
using test::name_line;

class CkerrEven : public ::testing::TestWithParam<int> {};
TEST_P(CkerrEven, SetsTheWarningFlagSilentlyAndReturns) {
  std::ostringstream console;
  RunControl run{.console = console, .units = {}};
  CKERR(0, run);
  EXPECT_FALSE(run.warned);
  CKERR(GetParam(), run);
  EXPECT_TRUE(run.warned);
  EXPECT_EQ(console.str(), "");
}
INSTANTIATE_TEST_SUITE_P(Ckerr, CkerrEven, ::testing::Values(2, 4, -2), test::name_by_value);

class CkerrOdd : public ::testing::TestWithParam<int> {};
TEST_P(CkerrOdd, PrintsTheErrorBannerAndEndsWithStatusTwo) {
  std::ostringstream console;
  RunControl run{.console = console, .units = {}};
  CKERR(2, run);
  try {
    CKERR(GetParam(), run);
    FAIL() << "the run went on";
  } catch (const RunEnd& end) {
    EXPECT_EQ(end.exit_status, 2);
  }
  EXPECT_EQ(console.str(), four_times(error_banner));
}
INSTANTIATE_TEST_SUITE_P(Ckerr, CkerrOdd, ::testing::Values(1, 3, 5, -1), test::name_by_value);

TEST(Ckerr, EndOfRunGivesOkOrWarningBannerAndItsStatus) {
  for (const bool warned : {false, true}) {
    std::ostringstream console;
    RunControl run{.console = console, .units = {}};
    if (warned) CKERR(2, run);
    try {
      CKERR(end_of_run, run);
      FAIL() << "the run went on";
    } catch (const RunEnd& end) {
      EXPECT_EQ(end.exit_status, warned ? 1 : 0);
    }
    EXPECT_EQ(console.str(), four_times(warned ? test::warning_banner : test::ok_banner));
  }
}

TEST(Ckerr, EndingARunClosesUnits31To50Only) {
  test::TempDir dir;
  const std::string path = dir.file("f");
  test::write_file(path, "x\n");
  for (const int status : {1, end_of_run}) {
    std::ostringstream console;
    RunControl run{.console = console, .units = {}};
    UnitFile mine(run.units, 31), fixed(run.units, 10);
    ASSERT_TRUE(mine.open_read(path));
    ASSERT_TRUE(fixed.open_read(path));
    EXPECT_THROW(CKERR(status, run), RunEnd);
    EXPECT_FALSE(mine.is_open());
    EXPECT_TRUE(fixed.is_open());
  }
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    test::write_file(windows, "# none\n");
    test::write_file(parameters, "### section processing\n### end processing\n");
  }
  test::TempDir dir;
  std::string windows = dir.file("site.win");
  std::string parameters = dir.file("site.par");
  std::string output = dir.file("site.hv");
};

TEST_F(CommandLine, GcmlnTakesTheThreeNamesInOrder) {
  std::ostringstream console;
  Name w, p, o;
  EXPECT_EQ(GCMLN(std::vector<std::string>{windows, parameters, output}, w, p, o, console), 0);
  EXPECT_EQ(w, windows);
  EXPECT_EQ(p, parameters);
  EXPECT_EQ(o, output);
  EXPECT_EQ(console.str(), "");
}

class WrongArgumentCount : public CommandLine, public ::testing::WithParamInterface<int> {};
TEST_P(WrongArgumentCount, PrintsTheUsageAndTheErrorBanner) {
  const std::vector<std::string> all{windows, parameters, output, output};
  const std::vector<std::string> args(all.begin(), all.begin() + GetParam());
  const test::RunResult r = test::run_ratiospec(args);
  EXPECT_EQ(r.status, 2);
  const std::vector<std::string> lines = test::split_lines(r.console);
  ASSERT_EQ(lines.size(), 6u) << r.console;
  EXPECT_NE(lines[0].find("RATIOSPEC"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("module v.1.0."), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("May 2003"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1], " use : ratiospec window_file parameters_file output_file");
  for (std::size_t k = 2; k < 6; ++k) EXPECT_EQ(lines[k], error_banner);
}
INSTANTIATE_TEST_SUITE_P(RatiospecRun, WrongArgumentCount, ::testing::Values(0, 1, 2, 4),
                         test::name_by_value);

TEST_F(CommandLine, MissingWindowFileIsNamedAndEndsTheRun) {
  const std::string absent = dir.file("absent.win");
  const test::RunResult r = test::run_ratiospec({absent, parameters, output});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.console,
            "  window file not found ! \n" + name_line(absent) + "\n" + four_times(error_banner));
}

TEST_F(CommandLine, MissingParameterFileIsNamedAndEndsTheRun) {
  const std::string absent = dir.file("absent.par");
  const test::RunResult r = test::run_ratiospec({windows, absent, output});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.console, "  parameter file not found ! \n" + name_line(absent) + "\n" +
                           four_times(error_banner));
}

TEST_F(CommandLine, BothFilesMissingGiveBothMessagesThenOneBanner) {
  const std::string w = dir.file("no.win"), p = dir.file("no.par");
  const test::RunResult r = test::run_ratiospec({w, p, output});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.console, "  window file not found ! \n" + name_line(w) + "\n" +
                           "  parameter file not found ! \n" + name_line(p) + "\n" +
                           four_times(error_banner));
}

TEST_F(CommandLine, ADirectoryIsNoWindowFile) {
  const test::RunResult r = test::run_ratiospec({dir.path().string(), parameters, output});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.console.find(" GTWS : error in opening window_file\n"), std::string::npos)
      << r.console;
}

TEST_F(CommandLine, ArgumentsOver200CharactersAreRefusedNotCut) {
  // A file exists under the first 200 characters; a longer argument must not reach it.
  const std::string base = dir.path().string() + "/";
  const std::string cut = base + std::string(200 - base.size(), 'w');
  test::write_file(cut, "# none\n");
  std::ostringstream console;
  Name w, p, o;
  EXPECT_EQ(GCMLN(std::vector<std::string>{cut, parameters, output}, w, p, o, console), 0);
  EXPECT_EQ(w.view(), cut);
  for (const auto& args :
       {std::vector<std::string>{cut + "t", parameters, output},
        std::vector<std::string>{cut, parameters, output + std::string(300, 'o')}}) {
    std::ostringstream refused;
    EXPECT_EQ(GCMLN(args, w, p, o, refused), 1);
    EXPECT_NE(refused.str().find("longer than 200 characters"), std::string::npos);
  }
}

}  // namespace
}  // namespace hv

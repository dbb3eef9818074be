// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ratiospec/gtws.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/param_name.hpp"
#include "tests/support/run.hpp"

namespace hv {
namespace {

using test::matches;

class Gtws : public ::testing::Test {
 protected:
  int read(const std::string& content) {
    test::write_file(path, content);
    console.str("");
    const int status = GTWS(Name(path), windows, units, console);
    EXPECT_FALSE(units.is_open(31));
    return status;
  }
  std::vector<std::string> lines() const { return test::split_lines(console.str()); }

  test::TempDir dir;
  std::string path = dir.file("site.win");
  WINDOWS windows;
  UnitTable units;
  std::ostringstream console;
};

TEST_F(Gtws, ThreeItemsGiveAKafWindowWithoutChannelsOrStation) {
  ASSERT_EQ(read("rec.kaf 12.5 32.25\n"), 0);
  ASSERT_EQ(windows.nwin(), 1);
  const WindowEntry& w = windows(1);
  EXPECT_EQ(w.file, "rec.kaf");
  EXPECT_EQ(w.start, 12.5f);
  EXPECT_EQ(w.end, 32.25f);
  EXPECT_EQ(w.format, 2);
  for (const auto& c : w.channel) EXPECT_TRUE(c.blank());
  EXPECT_TRUE(w.station.blank());
  EXPECT_EQ(windows.Tmax, 19.75f);
  EXPECT_EQ(console.str(), "");
}

TEST_F(Gtws, OptionalItemsAreCutToTheirFieldsAndLaterOnesIgnored) {
  ASSERT_EQ(read("msg.gse 0 1.5D1 1 BHZX BHN BHE STATIONCODE12 extra items\n"), 0);
  const WindowEntry& w = windows(1);
  EXPECT_EQ(w.end, 15.0f);
  EXPECT_EQ(w.format, 1);
  EXPECT_EQ(w.channel[0], "BHZ");
  EXPECT_EQ(w.channel[1], "BHN");
  EXPECT_EQ(w.channel[2], "BHE");
  EXPECT_EQ(w.station, "STATIONCOD");
}

TEST_F(Gtws, ReadsTheFixedColumnsOfTheWindowWriter) {
  // Columns: quoted path padded to 200, start and end as F8.3 after three blanks, the
  // format digit in 224, channel labels in 228, 234 and 240, the station in 246.
  const std::string path_field = "\"/data/site 1.kaf\"";
  const std::string line = path_field + std::string(200 - path_field.size(), ' ') + "   " +
                           "  12.345" + "   " + "9999.999" + " " + "2" + "   " + "Z  " + "   " +
                           "NS " + "   " + "EW " + "   " + "TEST      ";
  ASSERT_EQ(line.size(), 255u);
  ASSERT_EQ(read(line + "\n" + line + "\n"), 0);
  ASSERT_EQ(windows.nwin(), 2);
  const WindowEntry& w = windows(2);
  EXPECT_EQ(w.file, "/data/site 1.kaf");
  EXPECT_EQ(w.start, 12.345f);
  EXPECT_EQ(w.end, 9999.999f);
  EXPECT_EQ(w.format, 2);
  EXPECT_EQ(w.channel[0], "Z");
  EXPECT_EQ(w.channel[1], "NS");
  EXPECT_EQ(w.channel[2], "EW");
  EXPECT_EQ(w.station, "TEST");
  EXPECT_EQ(windows.Tmax, 9999.999f - 12.345f);
}

TEST_F(Gtws, TmaxIsTheLongestDurationInSinglePrecision) {
  ASSERT_EQ(read("# header comment\n\na 0 10\n\"b c\" 5 25.5 3\n   \na 0.1 0.3\n"), 0);
  ASSERT_EQ(windows.nwin(), 3);
  EXPECT_EQ(windows(2).file, "b c");
  EXPECT_EQ(windows(2).format, 3);
  EXPECT_EQ(windows.Tmax, 20.5f);
  ASSERT_EQ(read("a 0.1 0.3\n"), 0);
  EXPECT_EQ(windows.Tmax, 0.3f - 0.1f);
}

TEST_F(Gtws, CommentsAndBlankLinesOnlyGiveNoWindow) {
  EXPECT_EQ(read("# a\n\n#b 0 10\n      \n"), 0);
  EXPECT_EQ(windows.nwin(), 0);
  EXPECT_EQ(windows.Tmax, 0.0f);
  EXPECT_EQ(console.str(), "");
}

TEST_F(Gtws, ItemsBeyondColumn1000AreNotRead) {
  std::string line = "a.kaf 0 10";
  line += std::string(1000 - line.size(), ' ') + " 3";
  ASSERT_EQ(read(line + "\r\n"), 0);
  EXPECT_EQ(windows(1).format, 2);
}

TEST_F(Gtws, ValuesAreNotCheckedHere) {
  ASSERT_EQ(read("a 30 10 7\na -5 -1 0\n"), 0);
  EXPECT_EQ(windows(1).format, 7);
  EXPECT_EQ(windows(2).start, -5.0f);
  EXPECT_EQ(windows.Tmax, 4.0f);
}

struct BadLine {
  std::string content;
  std::string message;  // pattern of the second console line
  friend std::ostream& operator<<(std::ostream& os, const BadLine& c) { return os << c.content; }
};
class GtwsBadLine : public Gtws, public ::testing::WithParamInterface<BadLine> {};
TEST_P(GtwsBadLine, IsAnErrorGivingItsLineNumber) {
  EXPECT_EQ(read(GetParam().content), 1);
  const std::vector<std::string> got = lines();
  ASSERT_GE(got.size(), 2u) << console.str();
  EXPECT_EQ(got[0], "  ERROR");
  EXPECT_TRUE(matches(got[1], GetParam().message)) << got[1];
}
INSTANTIATE_TEST_SUITE_P(
    Window, GtwsBadLine,
    ::testing::Values(
        BadLine{"# c\na 0 10\n\nb 5\n", R"(  missing item\(s\) in window_file at line:\s+4)"},
        BadLine{"\"only.kaf\"\n", R"(  missing item\(s\) in window_file at line:\s+1)"},
        BadLine{"a\t0\t10\n", R"(  missing item\(s\) in window_file at line:\s+1)"},
        BadLine{"# c\n# c\n\"my file 0 10\n",
                R"(  file_name incorrectly specified in window_file at line:\s+3)"},
        BadLine{"a 0 10\n\" 0 10\n",
                R"(  file_name incorrectly specified in window_file at line:\s+2)"},
        BadLine{"a 0 10\n# c\na zero 10\n",
                R"(  GTWS : start time 'zero' is not a number.* at line:\s+3)"},
        BadLine{"a 0 1O\n", R"(  GTWS : end time '1O' is not a number.* at line:\s+1)"},
        BadLine{"a 0 10 KAF\n", R"(  GTWS : format index 'KAF' is not a number.* at line:\s+1)"},
        BadLine{"a 0 10 2.0\n", R"(  GTWS : format index '2.0' is not a number.* at line:\s+1)"}),
    test::name_by(&BadLine::content));

TEST_F(Gtws, ANonNumericItemNamesTheFile) {
  EXPECT_EQ(read("a , 10\n"), 1);
  EXPECT_EQ(lines().back(), test::name_line(path));
}

TEST_F(Gtws, MissingFileCannotBeOpened) {
  EXPECT_EQ(GTWS(Name(dir.file("absent.win")), windows, units, console), 3);
  EXPECT_EQ(console.str(), "  GTWS : error in opening window_file\n");
}

TEST_F(Gtws, NoFreeUnitIsAnError) {
  test::write_file(path, "a 0 10\n");
  std::vector<std::unique_ptr<UnitFile>> taken;
  for (int u = 31; u <= 50; ++u) {
    taken.push_back(std::make_unique<UnitFile>(units, u));
    ASSERT_TRUE(taken.back()->open_read(path));
  }
  EXPECT_EQ(GTWS(Name(path), windows, units, console), 1);
  EXPECT_EQ(lines(), (std::vector<std::string>{"  GTWS : this error should be impossible",
                                               "  no logical unit available"}));
}

std::string window_lines(int n) {
  std::string out;
  out.reserve(static_cast<std::size_t>(n) * 12);
  for (int k = 0; k < n; ++k) out += "r.kaf 0 10\n";
  return out;
}

TEST_F(Gtws, TwentyThousandWindowsAreAllUsedWithoutWarning) {
  EXPECT_EQ(read(window_lines(20000) + "# trailing comment\n\n"), 0);
  EXPECT_EQ(windows.nwin(), 20000);
  EXPECT_EQ(console.str(), "");
}

TEST_F(Gtws, OneWindowMoreGivesTheWarningAndTheFirstTwentyThousand) {
  EXPECT_EQ(read(window_lines(19999) + "last.kaf 0 20\nover.kaf 0 30\nmore 0 40\n"), 2);
  EXPECT_EQ(windows.nwin(), 20000);
  EXPECT_EQ(windows(20000).file, "last.kaf");
  EXPECT_EQ(windows.Tmax, 20.0f);
  const std::vector<std::string> got = lines();
  ASSERT_EQ(got.size(), 3u) << console.str();
  EXPECT_EQ(got[0], "  WARNING");
  EXPECT_EQ(got[1], "  Number of windows greater than allowed  dimension");
  EXPECT_TRUE(matches(got[2], R"(  Only the first\s+20000\s+windows  are used)")) << got[2];
}

// The run as a user starts it: a window-file error ends it with the error banner.
class GtwsRun : public ::testing::Test {
 protected:
  test::RunResult run(const std::string& content) {
    test::write_file(windows, content);
    test::write_file(parameters, "### section processing\n### end processing\n");
    return test::run_ratiospec({windows, parameters, dir.file("out")});
  }
  test::TempDir dir;
  std::string parameters = dir.file("p.par");
  std::string windows = dir.file("w.win");
};

TEST_F(GtwsRun, ErrorsEndTheRunRightAfterTheirMessage) {
  for (const std::string content : {"# c\nb 5\n", "\"open 0 10\n", "a x 10\n"}) {
    const test::RunResult r = run(content);
    EXPECT_EQ(r.status, 2) << content;
    const std::vector<std::string> got = test::split_lines(r.console);
    ASSERT_GE(got.size(), 6u) << r.console;
    EXPECT_EQ(got[0], "  ERROR") << r.console;
    EXPECT_TRUE(r.console.ends_with(test::four_times(test::error_banner))) << r.console;
    EXPECT_EQ(test::count_of(r.console, test::error_banner), 4) << r.console;
  }
}

TEST_F(GtwsRun, AWindowFileWithoutWindowsEndsWithTheErrorExit) {
  const test::RunResult r = run("# nothing but comments\n\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.console.ends_with(test::four_times(test::error_banner))) << r.console;
}

}  // namespace
}  // namespace hv

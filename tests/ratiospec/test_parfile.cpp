// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ratiospec/parfile_read.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/param_name.hpp"
#include "tests/support/run.hpp"

namespace hv {
namespace {

using test::name_line;

const std::string section = "### section processing\n";
const std::string end_line = "### end processing\n";

class ParfileRead : public ::testing::Test {
 protected:
  // Writes the parameter file, sets the defaults and reads the file over them.
  int read(const std::string& content) {
    test::write_file(path, content);
    EXPECT_EQ(DEFPAR(par), 0);
    console.str("");
    return PARFILE_READ(Name(path), par, units, console);
  }
  std::vector<std::string> lines() const { return test::split_lines(console.str()); }

  test::TempDir dir;
  std::string path = dir.file("site.par");
  PARAMETERS par;
  UnitTable units;
  std::ostringstream console;
};

void expect_defaults(const PARAMETERS& par) {
  EXPECT_EQ(par.freq_spacing, "fft");
  EXPECT_EQ(par.offset_rem, "r_mean:all");
  EXPECT_EQ(par.taper, "cos:5");
  EXPECT_TRUE(par.instrument_resp.blank());
  EXPECT_EQ(par.smooth, "konno-ohmachi:40");
  EXPECT_EQ(par.merge_type, "quadratic");
  EXPECT_TRUE(par.single_component.blank());
  EXPECT_TRUE(par.average_type.blank());
  EXPECT_EQ(par.single_win_out, "no");
  EXPECT_EQ(par.average_spectra_out, "no");
  EXPECT_EQ(par.filter_out, "no");
}

TEST_F(ParfileRead, OnlyTheSectionLinesKeepsEveryDefault) {
  EXPECT_EQ(read(section + end_line), 0);
  expect_defaults(par);
  EXPECT_EQ(console.str(), "");
  EXPECT_FALSE(units.is_open(31));
}

TEST_F(ParfileRead, StoresEveryKeyWithTheBlanksAfterItsColon) {
  const std::string content = "free text before the section\n# and a comment\n" + section +
                              "freq_spacing:log:0.2:20:100\n"
                              "offset_rem :  r_mean:win\n"
                              "   taper  : cos:10\n"
                              "smooth: konno-ohmachi:40\n"
                              "\n"
                              "#merge_type: arithmetic\n"
                              "merge_type:geometric   \n"
                              "single_win_out:yes\n"
                              "average_spectra_out:yes:extra\n"
                              "filter_out:high-pass:0.2\n" +
                              end_line;
  EXPECT_EQ(read(content), 0);
  EXPECT_EQ(par.freq_spacing, "log:0.2:20:100");
  EXPECT_EQ(par.offset_rem, "  r_mean:win");
  EXPECT_EQ(par.taper, " cos:10");
  EXPECT_EQ(par.smooth, " konno-ohmachi:40");
  EXPECT_EQ(par.merge_type, "geometric");
  EXPECT_EQ(par.single_win_out, "yes");
  EXPECT_EQ(par.average_spectra_out, "yes:extra");
  EXPECT_EQ(par.filter_out, "high-pass:0.2");
}

TEST_F(ParfileRead, KeysMayBeFollowedByBlanksAndTheLastOccurrenceWins) {
  EXPECT_EQ(read(section + "taper   :cos:10\ntaper:box\n" + end_line), 0);
  EXPECT_EQ(par.taper, "box");
}

TEST_F(ParfileRead, StoresOnlyTheFirst80CharactersOfAValueFromThe200OfTheLine) {
  const std::string value(150, 'v');
  EXPECT_EQ(read(section + "smooth:" + value + "\n" + "taper:" + std::string(194, ' ') + "x\n" +
                 end_line),
            0);
  EXPECT_EQ(par.smooth.view(), std::string(80, 'v'));
  EXPECT_TRUE(par.taper.blank());  // its x stands in column 201
}

TEST_F(ParfileRead, LinesAfterTheEndAreNotRead) {
  EXPECT_EQ(read(section + end_line + "SMOOTH:none\ninstrument_resp:x\n"), 0);
  expect_defaults(par);
  EXPECT_EQ(console.str(), "");
}

TEST_F(ParfileRead, SectionAndEndLinesMayCarryTextAfterThem) {
  EXPECT_EQ(read("### section processing (ratiospec)\ntaper:box\n### end processing here\n"), 0);
  EXPECT_EQ(par.taper, "box");
}

TEST_F(ParfileRead, CarriageReturnLineEndsReadTheSame) {
  EXPECT_EQ(read("### section processing\r\ntaper:box\r\n### end processing\r\n"), 0);
  EXPECT_EQ(par.taper, "box");
  EXPECT_EQ(console.str(), "");
}

TEST_F(ParfileRead, ALineThatIsExactlyAKeyBlanksThatOption) {
  EXPECT_EQ(read(section + "merge_type\n" + end_line), 0);
  EXPECT_TRUE(par.merge_type.blank());
}

struct UndefinedCase {
  std::string line;
  std::string shown;  // the key as the message shows it, before padding to 32
  friend std::ostream& operator<<(std::ostream& os, const UndefinedCase& c) { return os << c.line; }
};
class UndefinedKey : public ParfileRead, public ::testing::WithParamInterface<UndefinedCase> {};
TEST_P(UndefinedKey, IsAnErrorNamingTheKeyAndTheFile) {
  // The obsolete key after it shows that reading stops at the unknown one.
  EXPECT_EQ(read(section + GetParam().line + "\ninstrument_resp:x\n" + end_line), 1);
  const std::string key = (GetParam().shown + std::string(32, ' ')).substr(0, 32);
  EXPECT_EQ(console.str(), " ERROR : undefined parameter key : '" + key + "' in file :\n" +
                               name_line(path) + "\n");
  EXPECT_TRUE(par.instrument_resp.blank());
}
INSTANTIATE_TEST_SUITE_P(
    Parfile, UndefinedKey,
    ::testing::Values(UndefinedCase{"SMOOTH: none", "SMOOTH"},
                      UndefinedCase{"smoothing:none", "smoothing"},
                      UndefinedCase{"taper\t: cos:10", "taper\t"},
                      UndefinedCase{"  smooth  no colon", "  smooth  no colon"},
                      UndefinedCase{" ### end processing", " ### end processing"},
                      UndefinedCase{std::string(40, 'k') + ":1", std::string(32, 'k')}),
    test::name_by(&UndefinedCase::line));

TEST_F(ParfileRead, ObsoleteKeysAreStoredWithAWarningAndReadingGoesOn) {
  EXPECT_EQ(read(section + "instrument_resp: resp.txt\nsingle_component:z\naverage_type:x\n" +
                 "taper:box\n" + end_line),
            2);
  EXPECT_EQ(par.instrument_resp, " resp.txt");
  EXPECT_EQ(par.single_component, "z");
  EXPECT_EQ(par.average_type, "x");
  EXPECT_EQ(par.taper, "box");
  const auto warning = [](const std::string& key) {
    return " WARNING: parameter '" + Name(key).str() + "' obsolete: not taken into account";
  };
  EXPECT_EQ(lines(),
            (std::vector<std::string>{warning("instrument_resp"), warning("single_component"),
                                      warning("average_type")}));
}

TEST_F(ParfileRead, AnErrorAfterAnObsoleteKeyGivesTheErrorStatus) {
  EXPECT_EQ(read(section + "average_type:x\nbogus:1\n" + end_line), 1);
  EXPECT_EQ(lines().size(), 3u);
}

TEST_F(ParfileRead, MissingSectionLineIsAnError) {
  // Indented, the section line is not recognised.
  EXPECT_EQ(read("taper:box\n " + section + "smooth:none\n" + end_line), 1);
  EXPECT_EQ(lines(), (std::vector<std::string>{"  ERROR in parfile_read:",
                                               "  line '### section processing' not found in file",
                                               name_line(path)}));
  expect_defaults(par);
}

TEST_F(ParfileRead, SectionLineMayBeLongerThan80Characters) {
  EXPECT_EQ(read(section.substr(0, 22) + std::string(100, 'x') + "\ntaper:box\n" + end_line), 0);
  EXPECT_EQ(par.taper, "box");
}

TEST_F(ParfileRead, FileEndingInsideTheSectionWarnsAndKeepsWhatWasRead) {
  for (const std::string& body : {std::string(), std::string("taper:box\n")}) {
    EXPECT_EQ(read(section + body), 2);
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "  WARNING in parfile_read:",
                           "  following file ended before '### end processing'", name_line(path)}));
    EXPECT_EQ(par.taper, body.empty() ? "cos:5" : "box");
    EXPECT_FALSE(units.is_open(31));
  }
}

TEST_F(ParfileRead, AFileThatCannotBeOpenedIsAnError) {
  EXPECT_EQ(PARFILE_READ(Name(dir.path().string()), par, units, console), 1);
  EXPECT_EQ(lines().front(), "  ERROR in parfile_read:");
  EXPECT_EQ(lines().back(), name_line(dir.path().string()));
}

TEST_F(ParfileRead, NoFreeUnitIsAnError) {
  test::write_file(path, section + end_line);
  std::vector<std::unique_ptr<UnitFile>> taken;
  for (int u = 31; u <= 50; ++u) {
    taken.push_back(std::make_unique<UnitFile>(units, u));
    ASSERT_TRUE(taken.back()->open_read(path));
  }
  EXPECT_EQ(PARFILE_READ(Name(path), par, units, console), 1);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"  ERROR in parfile_read:",
                                      "   could not find free unit number for parameter file"}));
}

// The run as a user starts it: a parameter-file error ends it before the window file.
class ParfileRun : public ::testing::Test {
 protected:
  test::RunResult run(const std::string& content) {
    test::write_file(parameters, content);
    test::write_file(windows, "\"unclosed 0 10\n");
    return test::run_ratiospec({windows, parameters, dir.file("out")});
  }
  test::TempDir dir;
  std::string parameters = dir.file("p.par");
  std::string windows = dir.file("w.win");
};

TEST_F(ParfileRun, UnknownKeyEndsTheRunWithTheErrorBanner) {
  const test::RunResult r = run(section + "SMOOTH:none\n" + end_line);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.console, " ERROR : undefined parameter key : 'SMOOTH" + std::string(26, ' ') +
                           "' in file :\n" + name_line(parameters) + "\n" +
                           test::four_times(test::error_banner));
}

TEST_F(ParfileRun, MissingSectionEndsTheRunWithTheErrorBanner) {
  const test::RunResult r = run("smooth:none\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.console,
            "  ERROR in parfile_read:\n  line '### section processing' not found in "
            "file\n" +
                name_line(parameters) + "\n" + test::four_times(test::error_banner));
}

TEST_F(ParfileRun, WarningsLetTheRunGoOnToTheWindowFile) {
  const test::RunResult r = run(section + "average_type:x\n");
  EXPECT_EQ(r.status, 2);
  const std::string console = r.console;
  EXPECT_LT(console.find(" WARNING: parameter 'average_type"), console.find("WARNING in parfile"));
  EXPECT_NE(console.find("file_name incorrectly specified"), std::string::npos) << console;
}

}  // namespace
}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Command-line words, the parameter file, the format presets and the counts derived
// from the parameters.
#include <gtest/gtest.h>

#include <sstream>

#include "calmpick/format_preset.hpp"
#include "calmpick/longcar.hpp"
#include "hvlib/selection_parameters.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

TEST(Longcar, FindsTheLastNonBlankFromTheGivenLength) {
  EXPECT_EQ(LONGCAR("abc   ", 6), 3);
  EXPECT_EQ(LONGCAR("abc de", 4), 3);
  EXPECT_EQ(LONGCAR("      ", 6), 0);
  EXPECT_EQ(LONGCAR("ab\t  ", 5), 3);  // a tab is not a blank
  EXPECT_EQ(LONGCAR("abc", 10), 3);
}

struct PresetCase {
  const char* path;
  int format;
};
void PrintTo(const PresetCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.path);
}

class FormatPreset : public ::testing::TestWithParam<PresetCase> {};

TEST_P(FormatPreset, ComesFromTheLastThreeCharacters) {
  EXPECT_EQ(format_preset(Name(GetParam().path)), GetParam().format) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FormatPreset,
    ::testing::Values(PresetCase{"/data/site1.gse", 1}, PresetCase{"/data/SITE1.GSE", 1},
                      PresetCase{"/data/site1.Gse", 0}, PresetCase{"/data/site1.kaf", 2},
                      PresetCase{"/data/site1.KAF", 2}, PresetCase{"/data/out_fi", 2},
                      PresetCase{"/data/site1.Kaf", 0}, PresetCase{"/data/site1.dat", 0},
                      PresetCase{"kaf   ", 2}, PresetCase{"af", 0}, PresetCase{"", 0},
                      PresetCase{"x.gse\t", 0}, PresetCase{"/data/a.mseed", 4},
                      PresetCase{"A.MINISEED  ", 4}, PresetCase{"seed", 4},
                      PresetCase{"/data/a.Seed", 0}, PresetCase{"eed", 0}),
    test::name_by(&PresetCase::path));

SelectionParameters read_ok(const std::string& text) {
  std::istringstream in(text);
  SelectionParameters p;
  std::string why;
  EXPECT_EQ(read_selection_parameters(in, p, why), 0) << why;
  complete_selection_parameters(p);
  return p;
}

std::string read_fails(const std::string& text) {
  std::istringstream in(text);
  SelectionParameters p;
  std::string why;
  EXPECT_EQ(read_selection_parameters(in, p, why), 1);
  EXPECT_FALSE(why.empty());
  return why;
}

TEST(SelectionParameterFile, AllNineValuesOverAnyNumberOfLines) {
  const auto p = read_ok("2.0 30.0\n0.4\n\n3.0, 15.0, 0.5\n0 1 0.25 extra words ignored\n");
  EXPECT_EQ(p.tsta, 2.0f);
  EXPECT_EQ(p.tlta, 30.0f);
  EXPECT_EQ(p.ratmin, 0.4f);
  EXPECT_EQ(p.ratmax, 3.0f);
  EXPECT_EQ(p.tlong, 15.0f);
  EXPECT_EQ(p.overlap, 0.5f);
  EXPECT_EQ(p.isatur, 0);
  EXPECT_EQ(p.iltalev, 1);
  EXPECT_EQ(p.tbad, 0.25f);
}

TEST(SelectionParameterFile, SlashLeavesTheRestAtTheirDefaults) {
  const auto p = read_ok("1.0 25.0 0.5 2.0 30.0 /\n9 9 9 9\n");
  EXPECT_EQ(p.tlong, 30.0f);
  EXPECT_EQ(p.overlap, 0.2f);
  EXPECT_EQ(p.isatur, 1);
  EXPECT_EQ(p.iltalev, 0);
  EXPECT_EQ(p.tbad, 0.0f);
}

TEST(SelectionParameterFile, EmptyFieldKeepsTheDefaultAndTheReadGoesOn) {
  const auto p = read_ok("1.0,,0.5\n4.0\n12.0 0.1\n0\n1\n2.5\n");
  EXPECT_EQ(p.tsta, 1.0f);
  EXPECT_EQ(p.tlta, 25.0f);
  EXPECT_EQ(p.ratmin, 0.5f);
  EXPECT_EQ(p.ratmax, 4.0f);
  EXPECT_EQ(p.tlong, 12.0f);
  EXPECT_EQ(p.overlap, 0.1f);
  EXPECT_EQ(p.isatur, 0);
  EXPECT_EQ(p.iltalev, 1);
  EXPECT_EQ(p.tbad, 2.5f);
}

TEST(SelectionParameterFile, SlashAloneGivesEveryDefault) {
  const auto p = read_ok("/\n");
  EXPECT_EQ(p.tsta, 1.0f);
  EXPECT_EQ(p.tlta, 25.0f);
  EXPECT_EQ(p.ratmin, 0.5f);
  EXPECT_EQ(p.ratmax, 2.0f);
  EXPECT_EQ(p.tlong, 20.0f);
  EXPECT_EQ(p.overlap, 0.2f);
  EXPECT_EQ(p.isatur, 1);
  EXPECT_EQ(p.iltalev, 0);
  EXPECT_EQ(p.tbad, 0.0f);
}

TEST(SelectionParameterFile, SentinelValuesCountAsNotGiven) {
  const auto p = read_ok("1.005e20 1 1 1 1 0 1000 1000 1.005E20\n");
  EXPECT_EQ(p.tsta, 1.0f);
  EXPECT_EQ(p.isatur, 1);
  EXPECT_EQ(p.iltalev, 0);
  EXPECT_EQ(p.tbad, 0.0f);
  const auto q = read_ok("1 1 1 1 1 0 999 1001 1\n");
  EXPECT_EQ(q.isatur, 999);
  EXPECT_EQ(q.iltalev, 1001);
}

TEST(SelectionParameterFile, RefusesAFileThatEndsEarlyWithoutSlash) {
  EXPECT_NE(read_fails("1.0 25.0 0.5\n2.0\n").find("4 of the nine"), std::string::npos);
  read_fails("");
}

TEST(SelectionParameterFile, RefusesAValueOfTheWrongType) {
  const std::string why = read_fails("1.0 25.0 0.5 2.0 20.0 0.2 1.0 0 0\n");
  EXPECT_NE(why.find("isatur"), std::string::npos);
  EXPECT_NE(why.find("integer"), std::string::npos);
  EXPECT_NE(read_fails("1.0\nabc 0.5\n").find("line 2"), std::string::npos);
}

struct RefusalCase {
  const char* text;
  const char* names;  // the parameter the refusal names
};
void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.text);
}

class RefusedParameters : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusedParameters, NameTheValue) {
  const auto p = read_ok(GetParam().text);
  const auto refused = refused_parameters(p);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].rfind(GetParam().names, 0), 0u) << refused[0];
}

INSTANTIATE_TEST_SUITE_P(
    Values, RefusedParameters,
    ::testing::Values(RefusalCase{"1 25 0 2 20 0.2 1 0 0", "ratmin"},
                      RefusalCase{"1 25 0.5 -2 20 0.2 1 0 0", "ratmax"},
                      RefusalCase{"1 25 0.5 2 0 0.2 1 0 0", "tlong"},
                      RefusalCase{"1 25 0.5 2 -20 0.2 1 0 0", "tlong"},
                      RefusalCase{"1 25 0.5 2 20 1 1 0 0", "overlap"},
                      RefusalCase{"1 25 0.5 2 20 1.5 1 0 0", "overlap"},
                      RefusalCase{"1 25 2 2 20 0.2 1 0 0", "ratmin must be below"},
                      RefusalCase{"1 25 3 2 20 0.2 1 0 0", "ratmin must be below"},
                      RefusalCase{"1 25 0.5 2 20 0.2 1 0 -0.01", "tbad"}),
    test::name_by(&RefusalCase::text));

TEST(RefusedParameters, InconsistentButUsableValuesPass) {
  EXPECT_TRUE(refused_parameters(read_ok("1 25 1.99 2 20 -0.5 7 7 0")).empty());
  EXPECT_TRUE(refused_parameters(read_ok("/")).empty());
}

struct StorageCase {
  float tlong, dt;
  long long nt;
};

std::string storage_name(const StorageCase& c) {
  return std::string("tlong") + test::param_name(c.tlong) + "_dt" + test::param_name(c.dt);
}
void PrintTo(const StorageCase& c, std::ostream* os) {
  *os << storage_name(c);
}

class WindowStorage : public ::testing::TestWithParam<StorageCase> {};

TEST_P(WindowStorage, IsTwoToTheTruncatedLog2PlusOne) {
  EXPECT_EQ(window_storage(GetParam().tlong, GetParam().dt), GetParam().nt);
}

// k = trunc(log10(q) / 0.30103); 0.30103 is a little above log10(2), so a power of
// two q = 2^j gives k = j - 1.
INSTANTIATE_TEST_SUITE_P(
    Quotients, WindowStorage,
    ::testing::Values(StorageCase{20.0f, 0.01f, 2048}, StorageCase{600.0f, 0.001f, 1048576},
                      StorageCase{5242.88f, 0.01f, 524288}, StorageCase{5250.0f, 0.01f, 1048576},
                      StorageCase{1.0f, 0.5f, 2}, StorageCase{524288.0f, 1.0f, 524288},
                      StorageCase{524289.0f, 1.0f, 1048576}),
    test::name_by(storage_name));

TEST(RecordingCounts, AtOneHundredHertz) {
  const auto p = read_ok("1 25 0.5 2 20 0.2 1 0 0.5");
  const auto c = recording_counts(p, 0.01f);
  EXPECT_EQ(c.nsta, 100);
  EXPECT_EQ(c.nlta, 2500);
  EXPECT_EQ(c.ncos, 50);
  EXPECT_EQ(c.nzero, 2);
  EXPECT_EQ(c.nlong, 2000);
  EXPECT_EQ(c.tstep, 16.0f);
  EXPECT_EQ(c.nstep, 1599);
  EXPECT_EQ(c.nokmin, 1950);  // up to 50 rejected samples in a window
}

TEST(RecordingCounts, TruncatedCountsLoseASampleWhileTheWindowIsRounded) {
  // 1 / 0.004f is 249.99999 in single precision.
  const auto p = read_ok("1 25 0.5 2 1 0.2 1 0 0");
  const auto c = recording_counts(p, 0.004f);
  EXPECT_EQ(c.nsta, 249);
  EXPECT_EQ(c.nlong, 250);
  EXPECT_EQ(c.ncos, 124);
}

}  // namespace
}  // namespace hv

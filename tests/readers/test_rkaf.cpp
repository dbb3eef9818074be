// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "readers/rkaf.hpp"
#include "tests/readers/kaf_files.hpp"
#include "tests/support/param_name.hpp"
#include "tests/support/run.hpp"

namespace hv {
namespace {

using test::kaf_text;
using test::minimal_header;
using test::with_line;

class RkafTest : public ::testing::Test {
 protected:
  // Writes the text as a file and reads it; returns the status.
  int read(const std::string& text, int header_only = 0) {
    test::write_file(path, text);
    return RKAF(Name(path), NTIME, header_only, rec, ndat, samp_freq, hdr, units, reason);
  }
  float sample(int column, int k) const {
    return rec.component[static_cast<std::size_t>(column - 1)][static_cast<std::size_t>(k)];
  }

  test::TempDir dir;
  std::string path = dir.file("rec.kaf");
  Recording rec;
  KAFHDR8 hdr;
  UnitTable units;
  int ndat = 0;
  float samp_freq = 0.0f;
  std::string reason;
};

TEST_F(RkafTest, MinimalFileFillsHeaderAndColumns) {
  ASSERT_EQ(read(kaf_text(minimal_header(), test::two_samples)), kaf::ok);
  EXPECT_EQ(ndat, 2);
  EXPECT_EQ(samp_freq, 100.0f);
  EXPECT_EQ(hdr.sta_code, "ABC");
  EXPECT_EQ(hdr.ch2_id, "E");
  EXPECT_EQ(hdr.start_month, 6);
  EXPECT_EQ(hdr.gain, -12345.0f);
  EXPECT_EQ(sample(1, 0), 1.5f);
  EXPECT_EQ(sample(3, 0), 300.0f);
  EXPECT_EQ(sample(3, 1), -0.6f);
  EXPECT_FALSE(units.is_open(31)) << "the file must be closed on return";
}

struct FirstLineCase {
  std::string line;
  int status;
};
void PrintTo(const FirstLineCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.line);
}
class RkafFirstLine : public RkafTest, public ::testing::WithParamInterface<FirstLineCase> {};

TEST_P(RkafFirstLine, IsComparedOverItsFirst35Characters) {
  EXPECT_EQ(read(kaf_text(minimal_header(), test::two_samples, GetParam().line)),
            GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RkafFirstLine,
    ::testing::Values(FirstLineCase{"KORVEN ASCII data format (kaf) v. 1     ", kaf::ok},
                      FirstLineCase{"KORVEN ASCII data format (kaf) v. 1.7 written by hand",
                                    kaf::ok},
                      FirstLineCase{"KORVEN ASCII data format (kaf) v. 1\r", kaf::ok},
                      FirstLineCase{"korven ascii data format (kaf) v. 1", kaf::not_kaf},
                      FirstLineCase{"KORVEN ASCII data format (kaf) v. 2", kaf::not_kaf},
                      FirstLineCase{"KORVEN ASCII data format (kaf) v.", kaf::not_kaf},
                      FirstLineCase{" KORVEN ASCII data format (kaf) v. 1", kaf::not_kaf}),
    test::name_by(&FirstLineCase::line));

TEST_F(RkafTest, EmptyMissingOrDirectory) {
  EXPECT_EQ(read(""), kaf::line_base + 1);
  EXPECT_EQ(RKAF(Name(dir.file("none.kaf")), NTIME, 0, rec, ndat, samp_freq, hdr, units),
            kaf::cannot_open);
  EXPECT_EQ(RKAF(Name(dir.path().string()), NTIME, 0, rec, ndat, samp_freq, hdr, units),
            kaf::cannot_open);
  EXPECT_EQ(ndat, -12345);
}

TEST_F(RkafTest, KeysFoldCommentsSkipLastValueWinsLinesCutAt100) {
  auto header = with_line(minimal_header(), "NDAT", "  ndat   =   2");
  header = with_line(header, "UNITS", "UNITS = " + std::string(120, 'x'));
  header.insert(header.begin(), {"# a comment = with an equals sign", "", "    ", "#GAIN = 1000"});
  header.push_back("s t a_Code= Mixed Case");
  ASSERT_EQ(read(kaf_text(header, test::two_samples)), kaf::ok);
  EXPECT_EQ(ndat, 2);
  EXPECT_EQ(hdr.sta_code, "Mixed Case");
  EXPECT_EQ(hdr.units, std::string(92, 'x'));
  EXPECT_EQ(hdr.gain, -12345.0f);
  EXPECT_EQ(sample(1, 0), 1.5f);
}

struct HeaderFault {
  std::string key;  // line replaced (removed when line is empty); "+" appends
  std::string line;
  int status;  // 1000 + n is written as the line number n
  std::string reason;
};
void PrintTo(const HeaderFault& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.line);
}
class RkafHeaderFault : public RkafTest, public ::testing::WithParamInterface<HeaderFault> {};

// Line numbers: 1 is the format line, the minimal header takes lines 2..9 with NDAT
// on line 4, START_TIME on 5, SAMP_FREQ on 3, and an appended line is line 10.
TEST_P(RkafHeaderFault, GivesItsStatusAndReason) {
  const HeaderFault& c = GetParam();
  auto header = minimal_header();
  if (c.key == "+") {
    header.push_back(c.line);
  } else {
    header = with_line(header, c.key, c.line);
  }
  EXPECT_EQ(read(kaf_text(header, test::two_samples)), c.status);
  EXPECT_EQ(reason, c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RkafHeaderFault,
    ::testing::Values(
        HeaderFault{"+", "NDATA = 2", 1010, ""}, HeaderFault{"+", "NDAT 2", 1010, ""},
        HeaderFault{"+", "\tGAIN = 2", 1010, ""}, HeaderFault{"CH2_ID", "", kaf::keys_not_set, ""},
        HeaderFault{"STA_CODE", "STA_CODE = -12345", kaf::keys_not_set, ""},
        HeaderFault{"SAMP_FREQ", "SAMP_FREQ = fast", 1003, "SAMP_FREQ is not a number"},
        HeaderFault{"SAMP_FREQ", "SAMP_FREQ = 0", 1003, "SAMP_FREQ must be greater than zero"},
        HeaderFault{"SAMP_FREQ", "SAMP_FREQ = -100", 1003, "SAMP_FREQ must be greater than zero"},
        HeaderFault{"SAMP_FREQ", "SAMP_FREQ = 1e-45", 1003, "SAMP_FREQ must be greater than zero"},
        HeaderFault{"NDAT", "NDAT = 2.5", 1004, "NDAT is not a whole number"},
        HeaderFault{"NDAT", "NDAT = -1", 1004, "NDAT must not be negative"},
        HeaderFault{"START_TIME", "START_TIME = 2003 06 14 14 40", 1005,
                    "START_TIME must hold year, month, day, hour, minute and seconds"},
        HeaderFault{"START_TIME", "START_TIME = 2003 06 14 14 40 1e30", 1005,
                    "START_TIME must hold year, month, day, hour, minute and seconds"},
        HeaderFault{"START_TIME", "START_TIME = 2003,,14 14 40 1", 1005,
                    "START_TIME must hold year, month, day, hour, minute and seconds"},
        HeaderFault{"+", "NORTH_ROT = north", 1010, "NORTH_ROT is not a number"},
        HeaderFault{"+", "GAIN = 0", 1010, "GAIN must not be zero"},
        HeaderFault{"+", "GAIN = 1e99", 1010, "GAIN is not a number"},
        HeaderFault{"SAMP_FREQ", "SAMP_FREQ = 62,5", 1003,
                    "SAMP_FREQ holds a second number after its value"},
        HeaderFault{"SAMP_FREQ", "SAMP_FREQ = 62 , .5", 1003,
                    "SAMP_FREQ holds a second number after its value"},
        HeaderFault{"NDAT", "NDAT = 2 -3", 1004, "NDAT holds a second number after its value"},
        HeaderFault{"+", "GAIN = 1,5", 1010, "GAIN holds a second number after its value"},
        HeaderFault{"+", "NORTH_ROT = 12 30", 1010,
                    "NORTH_ROT holds a second number after its value"}),
    test::name_by([](const HeaderFault& c) { return c.line.empty() ? "no_" + c.key : c.line; }));

// A unit word after a header number is not a second number.
TEST_F(RkafTest, HeaderNumberFollowedByAUnitWordIsRead) {
  auto header = with_line(minimal_header(), "SAMP_FREQ", "SAMP_FREQ = 62.5 Hz");
  header.push_back("GAIN = 2 counts/(m/s)");
  ASSERT_EQ(read(kaf_text(header, test::two_samples)), kaf::ok) << reason;
  EXPECT_EQ(samp_freq, 62.5f);
  EXPECT_EQ(sample(1, 0), 0.75f);
}

// A gain small enough that a sample divided by it overflows must not hand on
// infinite samples; the same samples with a gain of one more decade are finite.
TEST_F(RkafTest, GainThatOverflowsASampleIsRefused) {
  auto header = minimal_header();
  header.push_back("GAIN = 1e-29");
  EXPECT_EQ(read(kaf_text(header, "1 2 3\n4 5 1e10\n")), kaf::not_finite);
  header.back() = "GAIN = 1e-28";
  EXPECT_EQ(read(kaf_text(header, "1 2 3\n4 5 1e10\n")), kaf::ok);
  EXPECT_EQ(sample(3, 1), 1e38f);
}

// Old Mac files end their lines with a carriage return alone, header included.
TEST_F(RkafTest, CarriageReturnAloneEndsEveryLine) {
  std::string text = kaf_text(minimal_header(), "1.5 2.5 3.5\r-1 -2 -3\r");
  for (char& c : text) c = c == '\n' ? '\r' : c;
  ASSERT_EQ(read(text), kaf::ok) << reason;
  EXPECT_EQ(ndat, 2);
  EXPECT_TRUE(hdr.ch2_id == "E");
  EXPECT_EQ(sample(1, 1), -1.0f);
  EXPECT_EQ(sample(3, 1), -3.0f);
}

// A header line without a line end is kept to its first 100 characters only.
TEST_F(RkafTest, HeaderLineOfManyMegabytesIsCutNotStored) {
  auto header = minimal_header();
  header.push_back("# " + std::string(std::size_t{3} << 20, 'x'));
  ASSERT_EQ(read(kaf_text(header, test::two_samples)), kaf::ok);
  EXPECT_EQ(sample(3, 1), -0.6f);
}

struct StartCase {
  std::string value;
  int second;
  int msec;
};
void PrintTo(const StartCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.value);
}
class RkafStartTime : public RkafTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(RkafStartTime, SplitsSecondsAndRoundedMilliseconds) {
  const auto header = with_line(minimal_header(), "START_TIME", "START_TIME = " + GetParam().value);
  ASSERT_EQ(read(kaf_text(header, ""), 1), kaf::ok);
  EXPECT_EQ(hdr.start_second, GetParam().second);
  EXPECT_EQ(hdr.start_msec, GetParam().msec);
}

INSTANTIATE_TEST_SUITE_P(Cases, RkafStartTime,
                         ::testing::Values(StartCase{"2003 06 14 14 40 30.000", 30, 0},
                                           StartCase{"2003 06 14 14 40 30.25", 30, 250},
                                           StartCase{"2003 06 14 14 40 59.9996", 59, 1000},
                                           StartCase{"2003,6,14,14,40,7.0625D0", 7, 63}),
                         test::name_by(&StartCase::value));

TEST_F(RkafTest, GainDividesEverySample) {
  auto header = minimal_header();
  header.push_back("GAIN = 1.0D3");
  header.push_back("NORTH_ROT = 12.5");
  ASSERT_EQ(read(kaf_text(header, "2500 -1 0.5\n10 20 30\n")), kaf::ok);
  EXPECT_EQ(hdr.gain, 1000.0f);
  EXPECT_EQ(hdr.north_rot, 12.5f);
  EXPECT_EQ(sample(1, 0), 2.5f);
  EXPECT_EQ(sample(2, 0), -0.001f);
  EXPECT_EQ(sample(3, 0), 0.0005f);
  EXPECT_EQ(sample(3, 1), 0.03f);
}

struct SampleCase {
  std::string name;
  std::string samples;
};
void PrintTo(const SampleCase& c, std::ostream* os) {
  *os << c.name;
}
class RkafSampleLayout : public RkafTest, public ::testing::WithParamInterface<SampleCase> {};

// Every layout holds the samples (1.5, 2.5, 3.5) and (-1, -2, -3).
TEST_P(RkafSampleLayout, ReadsTheSameAsOneBlankSeparatedLine) {
  ASSERT_EQ(read(kaf_text(minimal_header(), GetParam().samples)), kaf::ok);
  EXPECT_EQ(sample(1, 0), 1.5f);
  EXPECT_EQ(sample(2, 0), 2.5f);
  EXPECT_EQ(sample(3, 0), 3.5f);
  EXPECT_EQ(sample(1, 1), -1.0f);
  EXPECT_EQ(sample(2, 1), -2.0f);
  EXPECT_EQ(sample(3, 1), -3.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RkafSampleLayout,
    ::testing::Values(SampleCase{"Blanks", "1.5 2.5 3.5\n-1 -2 -3\n"},
                      SampleCase{"Commas", "1.5,2.5 , 3.5\n-1,-2,-3\n"},
                      SampleCase{"SplitOverLines", "1.5\n  2.5\n3.5\n-1 -2\n-3\n"},
                      SampleCase{"CommaBeforeLineEnd", "1.5,\n2.5,3.5\n-1 -2 -3\n"},
                      SampleCase{"ExtraNumbersIgnored", "1.5 2.5 3.5 99 x\n-1 -2 -3 4\n"},
                      SampleCase{"BlankLineBetween", "1.5 2.5 3.5\n\n   \n-1 -2 -3\n"},
                      SampleCase{"CarriageReturns", "1.5 2.5 3.5\r\n-1 -2 -3\r\n"},
                      SampleCase{"CarriageReturnsAlone", "1.5 2.5 3.5\r-1\r-2 -3\r"},
                      SampleCase{"NoFinalNewline", "1.5 2.5 3.5\n-1 -2 -3"},
                      SampleCase{"ExponentsAndSigns", "+15E-1 .25D1 3.5e0\n-1. -2D0 -0.3E1\n"},
                      SampleCase{"LinesAfterNdatIgnored", "1.5 2.5 3.5\n-1 -2 -3\nnot read\n"},
                      SampleCase{"LongValue",
                                 "1.5" + std::string(100, '0') + " 2.5 3.5\n-1 -2 -3\n"}),
    [](const auto& info) { return info.param.name; });

class RkafBadSamples : public RkafTest, public ::testing::WithParamInterface<SampleCase> {};

TEST_P(RkafBadSamples, GiveStatus9) {
  EXPECT_EQ(read(kaf_text(minimal_header(), GetParam().samples)), kaf::bad_sample);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RkafBadSamples,
    ::testing::Values(
        SampleCase{"Truncated", "1 2 3\n4 5\n"}, SampleCase{"NoSamples", ""},
        SampleCase{"Word", "1 2 3\n4 five 6\n"}, SampleCase{"Overflow", "1 2 3\n4 1e39 6\n"},
        SampleCase{"NotANumber", "1 2 3\nNaN 5 6\n"}, SampleCase{"NullValue", "1 2 3\n4,,5 6\n"},
        SampleCase{"LeadingComma", "1 2 3\n,4 5 6\n"}, SampleCase{"Slash", "1 2 3\n4 5 / 6\n"},
        SampleCase{"Tabs", "1 2 3\n4\t5\t6\n"},
        SampleCase{"CarriageReturnCutsAValue", "1 2 3\n4\r5\n"},
        SampleCase{"ValueOverOneMebibyte",
                   "1 2 3\n4 0." + std::string(std::size_t{1} << 20, '5') + " 6\n"}),
    [](const auto& info) { return info.param.name; });

// The file is read in blocks of 1 MiB; a line end split between two blocks must
// still read as a line end.
TEST_F(RkafTest, CarriageReturnAtTheEndOfABlock) {
  constexpr std::size_t cr_at = (std::size_t{1} << 20) - 1;
  const std::size_t header =
      kaf_text(with_line(minimal_header(), "NDAT", "NDAT = 000000"), "").size();
  const std::size_t pad = (cr_at - header - 5) % 7;
  const std::size_t lines = (cr_at - header - 5 - pad) / 7 + 2;
  std::string samples = "1 2 3" + std::string(pad, ' ') + "\r\n";
  for (std::size_t k = 1; k < lines; ++k) samples += "4 5 6\r\n";
  const std::string text = kaf_text(
      with_line(minimal_header(), "NDAT", "NDAT = " + std::to_string(1000000 + lines).substr(1)),
      samples);
  ASSERT_EQ(text.substr(cr_at, 2), "\r\n");
  ASSERT_EQ(read(text), kaf::ok);
  EXPECT_EQ(sample(3, static_cast<int>(lines) - 1), 6.0f);
}

TEST_F(RkafTest, BinaryGarbageIsNotKaf) {
  std::string garbage;
  unsigned x = 12345;
  for (int i = 0; i < 100000; ++i) {
    x = x * 1103515245u + 12345u;
    garbage += static_cast<char>(x >> 24);
  }
  EXPECT_EQ(read(garbage), kaf::not_kaf);
  EXPECT_EQ(read(kaf_text(minimal_header(), garbage)), kaf::bad_sample);
}

TEST_F(RkafTest, NdatAtTheDimensionIsReadAndOneMoreIsRefused) {
  std::string samples;
  samples.reserve(6 * static_cast<std::size_t>(NTIME) + 16);
  for (int k = 1; k < NTIME; ++k) samples += "0 0 0\n";
  samples += "1 2 3\n";
  const auto full = with_line(minimal_header(), "NDAT", "NDAT = 600001");
  ASSERT_EQ(read(kaf_text(full, samples)), kaf::ok);
  EXPECT_EQ(ndat, NTIME);
  EXPECT_EQ(sample(3, NTIME - 1), 3.0f);

  const auto over = with_line(minimal_header(), "NDAT", "NDAT = 600002");
  rec.component[0].assign(1, 42.0f);
  EXPECT_EQ(read(kaf_text(over, "")), kaf::too_many_samples);
  EXPECT_EQ(ndat, 600002);
  EXPECT_EQ(sample(1, 0), 42.0f) << "no sample is read past the dimension check";
  EXPECT_EQ(read(kaf_text(over, ""), 1), kaf::ok)
      << "the header alone does not check the dimension";
}

}  // namespace
}  // namespace hv

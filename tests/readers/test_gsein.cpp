// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "messages/read_messages.hpp"
#include "readers/gsein.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/run.hpp"
#include "tools/synth_gse.hpp"

namespace hv {
namespace {

// Every waveform of a text read in turn by GSEIN.
struct Reading {
  std::vector<int> status;
  std::vector<GSEHDR> hdr;
  std::vector<GseWaveform> waveform;
  std::vector<std::vector<std::int32_t>> samples;
  std::string console;             // the warnings as the programs print them
  std::vector<std::string> trace;  // of every waveform
};

Reading read_all(const std::string& text, std::size_t text_capacity = 6 * std::size_t{NTIME},
                 int verbosity = 0) {
  std::stringbuf source(text);
  GseLines in(source);
  auto buffers = std::make_unique<GseBuffers>();
  buffers->limit(NTIME);
  buffers->text_capacity = text_capacity;
  ReadNotes notes;
  Reading r;
  for (;;) {
    GSEHDR hdr;
    INIT_HDRVARS(hdr);
    hdr.verbosity = verbosity;
    GseWaveform w;
    const int status = GSEIN(in, *buffers, hdr, w, notes);
    r.trace.insert(r.trace.end(), w.trace.begin(), w.trace.end());
    r.status.push_back(status);
    if (status == gse::end_of_file) break;
    r.waveform.push_back(w);
    if (status != gse::ok) break;
    r.hdr.push_back(hdr);
    // A waveform above the limit is read to its header only: no samples.
    const std::size_t n = hdr.samps > NTIME ? 0 : static_cast<std::size_t>(hdr.samps);
    r.samples.emplace_back(buffers->samples.begin(), buffers->samples.begin() + n);
  }
  r.console = read_messages(notes, Voice::ratiospec, Name("in.gse"));
  return r;
}

// A GSE2.0 header written field by field in its columns.
const std::string wid2_fields =
    "WID2 "
    "2005/08/31 "    // date, columns 6-15
    "02:33:5.9995 "  // time, 17-28
    "AB    "         // station, 30-34
    "  Z "           // channel, 36-38, right-aligned
    "RJOB "          // auxiliary id, 40-43
    "INT "           // data type, 45-47
    "       3 "      // samples, 49-56
    " 200.000000 "   // sampling rate, 58-68
    "  9.49e-02 "    // calib, 70-79
    "  1.500 "       // calper, 81-87
    "STS-2  "        // instrument, 89-94
    " -1.0 "         // horizontal angle, 96-100
    "90.0";          // vertical angle, 102-105
const std::string sta2_fields =
    "STA2 "
    "NET       "     // network, 6-14
    " 46.12345 "     // latitude, 16-24
    "  -6.54321 "    // longitude, 26-35
    "WGS-84       "  // coordinate system, 37-48
    "0.250 "         // elevation in km, 50-54
    "0.010";         // depth in km, 56-60

TEST(Gsein, Gse2HeaderFieldsComeFromTheirColumns) {
  const auto r =
      read_all("BEGIN GSE2.0\n" + wid2_fields + "\n" + sta2_fields + "\nDAT2\n1 2\n3\nCHK2 6\n");
  ASSERT_EQ(r.status.front(), gse::ok) << r.waveform.front().failure;
  const GSEHDR& h = r.hdr.front();
  EXPECT_EQ(h.version, 2);
  EXPECT_EQ(h.year, 2005);
  EXPECT_EQ(h.month, 8);
  EXPECT_EQ(h.day, 31);
  EXPECT_EQ(h.second, 5) << "seconds are truncated";
  EXPECT_EQ(h.msec, 1000) << "0.9995 s rounds to 1000 ms";
  EXPECT_EQ(h.station, "AB");
  EXPECT_EQ(h.channel, "Z") << "a right-aligned code is taken without its leading blanks";
  EXPECT_EQ(h.auxid, "RJOB");
  EXPECT_EQ(h.datatype, "INT");
  EXPECT_EQ(h.samps, 3);
  EXPECT_EQ(h.samprat, 200.0f);
  EXPECT_EQ(h.calib, 9.49e-2f);
  EXPECT_EQ(h.calper, 1.5f);
  EXPECT_EQ(h.vang, 90.0f);
  EXPECT_EQ(h.lat, 46.12345f);
  EXPECT_FLOAT_EQ(h.elev, 250.0f) << "km to m";
  EXPECT_FLOAT_EQ(h.edepth, 10.0f);
  EXPECT_EQ(r.samples.front(), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(r.waveform.front().checksum, 6);
  EXPECT_EQ(r.waveform.front().header_line, wid2_fields);
  EXPECT_EQ(r.console, "");
  EXPECT_EQ(r.status.back(), gse::end_of_file);
}

const std::string wid1_fields =
    "WID1  "
    "1998060 "       // year and day of year, 7-13
    "01 16 59 990 "  // hour, minute, second, millisecond
    "       4 "      // samples, 28-35
    "LE0083 "        // station, 37-42
    "M88-SCAL "      // channel id, 44-51
    "sz "            // channel, 53-54
    "124.9999924 "   // sampling rate, 56-66
    "NOTYPE "        // instrument, 68-73
    "INTV "          // data type, 75-78
    "1";             // differences, 80
const std::string wid1_second =
    "16.000000"  // calib, 1-9
    "2"          // calibration type, 10
    " 1.2500"    // calper, 11-17
    "    0.5000    0.2500    0.0000 -999.0000   -1.00   -1.00   -1.0";

TEST(Gsein, Gse1HeaderFieldsComeFromTheirColumns) {
  // One difference: 1, 1, 1, -3 are the samples 1, 2, 3, 0; their sum is 6.
  const auto r = read_all(wid1_fields + "\n" + wid1_second + "\nDAT1\n1 1\n1 -3\nCHK1      6\n");
  ASSERT_EQ(r.status.front(), gse::ok) << r.waveform.front().failure;
  const GSEHDR& h = r.hdr.front();
  EXPECT_EQ(h.year, 1998);
  EXPECT_EQ(h.jday, 60);
  EXPECT_EQ(h.month, 3);
  EXPECT_EQ(h.day, 1);
  EXPECT_EQ(h.msec, 990) << "milliseconds come from their own field";
  EXPECT_EQ(h.station, "LE0083");
  EXPECT_EQ(h.channel, "SHZ") << "two letters s, z become S, H, Z";
  EXPECT_EQ(h.samprat, 124.9999924f);
  EXPECT_EQ(h.ndiff, 1);
  EXPECT_EQ(h.calib, 16.0f);
  EXPECT_EQ(h.calib_type, 2);
  EXPECT_EQ(h.calper, 1.25f);
  EXPECT_EQ(h.lat, 0.5f);
  EXPECT_EQ(h.edepth, -999.0f);
  EXPECT_EQ(h.vang, -1.0f) << "a blank field keeps its reset value";
  EXPECT_EQ(r.samples.front(), (std::vector<std::int32_t>{1, 2, 3, 0}));
  EXPECT_EQ(r.console, "");
}

TEST(Gsein, TextWithoutHeaderLineEndsAtOnce) {
  const auto r = read_all("BEGIN GSE2.0\nMSG_TYPE DATA\nWID3 nothing\nSTOP\n");
  EXPECT_EQ(r.status, std::vector<int>{gse::end_of_file});
  EXPECT_EQ(read_all("").status, std::vector<int>{gse::end_of_file});
}

// JULIEN in both directions; the rows run in order, so a leap year before does not
// leave February at 29 days.
TEST(Julien, TwoDigitYearsAndLeapYears) {
  struct Row {
    int year_in, jday, year, month, day;
  };
  for (const Row& row :
       {Row{2004, 60, 2004, 2, 29}, Row{3, 60, 2003, 3, 1}, Row{98, 60, 1998, 3, 1},
        Row{69, 1, 2069, 1, 1}, Row{70, 365, 1970, 12, 31}, Row{2000, 366, 2000, 12, 31}}) {
    int day = 0, month = 0, year = row.year_in, jday = row.jday;
    JULIEN(day, month, year, jday, 0);
    EXPECT_EQ(year, row.year) << row.year_in;
    EXPECT_EQ(month, row.month) << row.year_in << " day " << row.jday;
    EXPECT_EQ(day, row.day) << row.year_in << " day " << row.jday;
    int back = 0;
    JULIEN(day, month, year, back, 1);
    EXPECT_EQ(back, row.jday) << row.year_in;
  }
}

TEST(Julien, OutOfRangeLeavesTheResultAlone) {
  int day = 7, month = 13, year = 2001, jday = 99;
  JULIEN(day, month, year, jday, 1);
  EXPECT_EQ(jday, 99);
  month = 5;
  jday = 366;
  JULIEN(day, month, year, jday, 0);
  EXPECT_EQ(month, 5);
}

TEST(Checksums, HandSums) {
  using V = std::vector<std::int32_t>;
  constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(ICHECK_SUM_GSE1(V{5, -7}), -2);
  EXPECT_EQ(ICHECK_SUM_GSE1(V{max, 1}), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ICHECK_SUM_GSE2(V{123, -200}), 77);
  EXPECT_EQ(ICHECK_SUM_GSE2(V{99999999, 1}), 0);
  EXPECT_EQ(ICHECK_SUM_GSE2(V{-150000000}), 50000000);
  EXPECT_EQ(ICHECK_SUM_GSE2(V{60000000, 60000000, -5}), 19999995);
  EXPECT_EQ(ICHECK_SUM_GSE2(V{std::numeric_limits<std::int32_t>::min()}), 47483648);
}

TEST(Remdif1, UndoesOneDifferenceModulo2To32) {
  std::vector<std::int32_t> x = {1, 2, 3, std::numeric_limits<std::int32_t>::max()};
  REMDIF1(x);
  EXPECT_EQ(x, (std::vector<std::int32_t>{1, 3, 6, std::numeric_limits<std::int32_t>::min() + 5}));
}

// The line with text written over it from the given column on.
std::string with(std::string line, std::size_t column, const std::string& text) {
  line.replace(column - 1, text.size(), text);
  return line;
}

// The checksum line against the samples 1, 2, 3 (sum 6).
struct ChecksumCase {
  std::string name;
  int version;
  std::string line;
  bool reported;
};

class ChecksumLine : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(ChecksumLine, IsReportedOnlyWhenItDiffers) {
  const ChecksumCase& c = GetParam();
  const std::string head = c.version == 2 ? wid2_fields + "\nDAT2\n"
                                          : with(with(wid1_fields, 28, "       3"), 80, "0") +
                                                "\n" + wid1_second + "\nDAT1\n";
  const auto r = read_all(head + "1 2 3\n" + c.line + "\n");
  ASSERT_EQ(r.status.front(), gse::ok) << r.waveform.front().failure;
  EXPECT_EQ(r.samples.front(), (std::vector<std::int32_t>{1, 2, 3})) << "delivered either way";
  if (!c.reported) {
    EXPECT_EQ(r.console, "");
    return;
  }
  const auto lines = test::split_lines(r.console);
  ASSERT_EQ(lines.size(), 4u) << r.console;
  EXPECT_EQ(lines[0], " Error in checksum in the following waveform");
  EXPECT_EQ(lines[1], " " + r.waveform.front().header_line);
  EXPECT_TRUE(test::matches(lines[2], R"( Read checksum       =\s+-?[0-9]+)")) << lines[2];
  EXPECT_TRUE(test::matches(lines[3], R"( Calculated checksum =\s+6)")) << lines[3];
  EXPECT_EQ(r.waveform.front().checksum, 6);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChecksumLine,
    ::testing::Values(ChecksumCase{"gse2_equal", 2, "CHK2        6", false},
                      ChecksumCase{"gse2_negative_sign_only", 2, "CHK2       -6", false},
                      ChecksumCase{"gse2_different", 2, "CHK2        7", true},
                      ChecksumCase{"gse2_negative_different", 2, "CHK2       -7", true},
                      ChecksumCase{"gse1_equal", 1, "CHK1              6", false},
                      ChecksumCase{"gse1_sign_counts", 1, "CHK1             -6", true}),
    [](const auto& info) { return info.param.name; });

// A waveform that cannot be used, and what GSEIN says about it.
struct FailureCase {
  std::string name;
  std::string text;
  std::string failure;
  std::string console = "";
};

class BadWaveform : public ::testing::TestWithParam<FailureCase> {};

TEST_P(BadWaveform, FailsWithItsReason) {
  const auto r = read_all(GetParam().text, 64);
  ASSERT_EQ(r.status, std::vector<int>{gse::bad_waveform});
  const GseWaveform& w = r.waveform.back();
  EXPECT_NE(w.failure.find(GetParam().failure), std::string::npos) << w.failure;
  EXPECT_EQ(w.header_line.substr(0, 3), "WID");
  EXPECT_EQ(r.console, GetParam().console);
}

std::string wid2_with(std::size_t column, const std::string& text) {
  return with(wid2_fields, column, text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadWaveform,
    ::testing::Values(
        FailureCase{"eof_before_dat2", wid2_fields + "\nSTA2\n", "before the DAT2 line"},
        FailureCase{"samples_unreadable", wid2_with(49, "     3x3") + "\nDAT2\n1 2 3\nCHK2 6\n",
                    "number of samples"},
        FailureCase{"samples_negative", wid2_with(49, "      -3") + "\nDAT2\nCHK2 0\n", "negative"},
        FailureCase{"rate_zero", wid2_with(58, "   0.000000") + "\nDAT2\n1 2 3\nCHK2 6\n",
                    "sampling rate"},
        FailureCase{"rate_blank", wid2_with(58, "           ") + "\nDAT2\n1 2 3\nCHK2 6\n",
                    "sampling rate"},
        FailureCase{"int_data_end_early", wid2_fields + "\nDAT2\n1 2\n", "ends after 2 of 3"},
        FailureCase{"int_data_run_into_checksum", wid2_fields + "\nDAT2\n1 2\nCHK2 3\n",
                    "sample 3 cannot be read"},
        FailureCase{"int_null_value", wid2_fields + "\nDAT2\n1,,2 3\nCHK2 6\n",
                    "sample 2 cannot be read"},
        FailureCase{"eof_before_checksum", wid2_fields + "\nDAT2\n1 2 3\n", "before the CHK2 line"},
        FailureCase{"checksum_unreadable", wid2_fields + "\nDAT2\n1 2 3\nCHK2 six\n",
                    "checksum cannot be read"},
        FailureCase{"type_unknown", wid2_with(45, "FLT") + "\nDAT2\n1 2 3\nCHK2 6\n",
                    "data type FLT"},
        FailureCase{"type_cm5", wid2_with(45, "CM5") + "\nDAT2\n-0+\nCHK2 6\n", "data type CM5"},
        FailureCase{"cm6_fewer_samples", wid2_with(45, "CM6") + "\nDAT2\n-0\nCHK2 3\n",
                    "hold 2 of 3 samples",
                    " Error in retrieving correct number of samples !\n"
                    " Expected  3, received  2\n"},
        FailureCase{"cm6_longer_than_buffer",
                    wid2_with(45, "CM6") + "\nDAT2\n" + std::string(60, '+') + "\n" +
                        std::string(5, '+') + "\nCHK2 0\n",
                    "longer than 64 characters"},
        FailureCase{"cm6_eof_before_checksum", wid2_with(45, "CM6") + "\nDAT2\n-0-\n",
                    "before the CHK2 line"},
        FailureCase{"gse1_eof_before_second_line", wid1_fields + "\n", "second header line"},
        FailureCase{"gse1_second_line_unreadable", wid1_fields + "\nDAT1\n1 2 3 4\n",
                    "calibration factor"},
        FailureCase{"gse1_eof_before_dat1", wid1_fields + "\n" + wid1_second + "\n", "DAT1"},
        FailureCase{"gse1_fixed_field_blank",
                    with(wid1_fields, 75, "INT3 0") + "\n" + wid1_second +
                        "\nDAT1\n  1  2\n  3   \nCHK1 6\n",
                    "sample 4 cannot be read"},
        FailureCase{
            "gse1_type_int0",
            with(wid1_fields, 75, "INT0 0") + "\n" + wid1_second + "\nDAT1\n1234\nCHK1 10\n",
            "data type INT0"},
        FailureCase{"gse1_no_checksum_line",
                    wid1_fields + "\n" + wid1_second + "\nDAT1\n1 1 1 -3\n",
                    "before the checksum line"}),
    [](const auto& info) { return info.param.name; });

TEST(Gsein, DecodedSamplesBeyondTheCountAreReportedAndTheWaveformKept) {
  const auto r = read_all(wid2_with(45, "CM6") + "\nDAT2\n-0-1\nCHK2 13\n");
  ASSERT_EQ(r.status.front(), gse::ok);
  EXPECT_EQ(r.console,
            " Error in retrieving correct number of samples !\n Expected  3, received  4\n");
  // Second differences 1, 2, 1 undone twice: 1, 4, 8.
  EXPECT_EQ(r.samples.front(), (std::vector<std::int32_t>{1, 4, 8}));
}

TEST(Gsein, TooManySamplesReturnsTheHeaderAndTheNextCallFindsTheNextWaveform) {
  const std::string big = wid2_with(49, "  600002") + "\nDAT2\n1 2 3\nCHK2 6\n";
  const auto r = read_all(big + wid2_fields + "\nDAT2\n4 5 6\nCHK2 15\n");
  ASSERT_EQ(r.status, (std::vector<int>{gse::ok, gse::ok, gse::end_of_file}));
  EXPECT_EQ(r.hdr[0].samps, 600002);
  EXPECT_EQ(r.samples[1], (std::vector<std::int32_t>{4, 5, 6}));
}

TEST(Gsein, CompressedLinesLongerThan132CharactersAreKept) {
  std::vector<std::int32_t> x(200);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = static_cast<std::int32_t>(i * 7919 * 104729 % 2000000) - 1000000;
  }
  std::vector<std::int32_t> d = x;
  synth::difference(d);
  synth::difference(d);
  const std::string text = synth::encode_cm(6, d);
  ASSERT_GT(text.size(), 300u);
  const std::string head = wid2_with(45, "CM6").replace(48, 8, "     200");
  const auto r = read_all(head + "\nDAT2\n" + text + "\nCHK2 " +
                          std::to_string(synth::gse2_checksum(x)) + "\n");
  ASSERT_EQ(r.status.front(), gse::ok) << r.waveform.front().failure;
  EXPECT_EQ(r.samples.front(), x);
  EXPECT_EQ(r.console, "");
}

TEST(Gsein, Gse1ChecksumOfElevenCharactersIsReadWhole) {
  synth::GseChannel c;
  c.channel = "sz";
  c.counts = {-2147483647, -1, 5};  // sum -2147483643, written from column 9
  synth::GseStyle style;
  style.version = 1;
  style.datatype = "INTV";
  style.ndiff = 0;
  const auto r = read_all(synth::gse_waveform(c, style));
  ASSERT_EQ(r.status.front(), gse::ok);
  EXPECT_EQ(r.waveform.front().checksum, -2147483643);
  EXPECT_EQ(r.console, "");
}

TEST(Gsein, VerbosityAboveZeroTracesTheVersion) {
  const auto r = read_all(wid2_fields + "\nDAT2\n1 2 3\nCHK2 6\n", 6 * std::size_t{NTIME}, 1);
  EXPECT_EQ(r.trace, std::vector<std::string>{"-- reading GSE2.0 format data"});
  EXPECT_EQ(r.console, "");
}

// Every data type through the writer of the test tools: the samples come back exactly,
// with no message, from LF and CR LF files alike.
struct TypeCase {
  int version;
  std::string datatype;
  int ndiff;
  bool crlf;
};

class EveryDataType : public ::testing::TestWithParam<TypeCase> {};

TEST_P(EveryDataType, RoundTrips) {
  const TypeCase& c = GetParam();
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::int32_t> noise(-400000, 400000);
  synth::GseChannel a, b;
  a.channel = c.version == 2 ? "BHZ" : "bz";
  b.channel = c.version == 2 ? "BHN" : "bn";
  // Small values, values whose CM7/CM8 text would hold a line feed, large values.
  a.counts = {0, 10, 13, 32, -10, 10, 138, 1 << 20, -(1 << 20), 7};
  for (int i = 0; i < 3000; ++i) b.counts.push_back(noise(rng) * (i % 7 == 0 ? 1 : 0) + i);
  synth::GseStyle style;
  style.version = c.version;
  style.datatype = c.datatype;
  style.ndiff = c.ndiff;
  style.crlf = c.crlf;
  const auto r = read_all("BEGIN\n" + synth::gse_waveform(a, style) +
                          synth::gse_waveform(b, style) + "STOP\n");
  ASSERT_EQ(r.status, (std::vector<int>{gse::ok, gse::ok, gse::end_of_file}))
      << (r.waveform.empty() ? "" : r.waveform.back().failure) << r.console;
  EXPECT_EQ(r.samples[0], a.counts);
  EXPECT_EQ(r.samples[1], b.counts);
  EXPECT_EQ(r.hdr[1].channel, c.version == 2 ? "BHN" : "BHN");
  EXPECT_EQ(r.console, "");
}

INSTANTIATE_TEST_SUITE_P(
    Types, EveryDataType,
    ::testing::Values(TypeCase{2, "INT", 0, false}, TypeCase{2, "CM6", 0, false},
                      TypeCase{2, "CM7", 0, false}, TypeCase{2, "CM8", 0, false},
                      TypeCase{2, "CM6", 0, true}, TypeCase{2, "CM8", 0, true},
                      TypeCase{1, "INTV", 0, false}, TypeCase{1, "INTV", 1, true},
                      TypeCase{1, "INT8", 2, false}, TypeCase{1, "CMP6", 2, false},
                      TypeCase{1, "CMP7", 1, false}, TypeCase{1, "CMP8", 3, true}),
    [](const auto& info) {
      return "gse" + std::to_string(info.param.version) + "_" + info.param.datatype + "_diff" +
             std::to_string(info.param.ndiff) + (info.param.crlf ? "_crlf" : "");
    });

}  // namespace
}  // namespace hv

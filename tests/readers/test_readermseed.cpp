// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <vector>

#include "readers/readermseed.hpp"
#include "readers/readerth.hpp"
#include "tests/support/read_console.hpp"
#include "tests/support/run.hpp"
#include "tools/synth_mseed.hpp"

namespace hv {
namespace {

using synth::MseedBlock;
using synth::MseedEncoding;

constexpr std::int64_t t0 = 1'500'000'000'000'000;  // 2017-07-14T02:40:00 UTC
const std::string t0_text = "2017-07-14T02:40:00";

// Sample i (counted from t0) of a channel: the channel's tag times 10000 plus i, and
// a half for float encodings, so that every value tells its channel and its time.
double value(const std::string& channel, std::int64_t i, bool fraction) {
  const int tag = channel.back() == 'Z' ? 1 : channel.back() == 'N' ? 2 : 3;
  return tag * 10000.0 + static_cast<double>(i) + (fraction ? 0.5 : 0.0);
}

bool is_float(MseedEncoding e) {
  return e == MseedEncoding::float32 || e == MseedEncoding::float64;
}

// count samples of channel from sample first on, at 100 Hz unless rate says.
MseedBlock block(const std::string& channel, std::int64_t first, int count,
                 MseedEncoding encoding = MseedEncoding::steim2, double rate = 100.0) {
  MseedBlock b;
  b.channel = channel;
  b.rate = rate;
  b.encoding = encoding;
  b.start_us = t0 + static_cast<std::int64_t>(static_cast<double>(first) * 1.0e6 / rate);
  for (int i = 0; i < count; ++i)
    b.samples.push_back(value(channel, first + i, is_float(encoding)));
  return b;
}

ChannelRequest request(const std::string& z, const std::string& n, const std::string& e,
                       const std::string& station = "") {
  return {{Text<3>(z), Text<3>(n), Text<3>(e)}, Text<10>(station)};
}

class MiniseedRead : public ::testing::Test {
 protected:
  std::string write(const std::vector<MseedBlock>& blocks, bool interleave = false) {
    synth::write_miniseed(path, blocks, interleave);
    return path;
  }
  int read(const ChannelRequest& want = {}, Voice voice = Voice::ratiospec) {
    return test::read_into(console, voice, Name(path), [&](ReadNotes& notes) {
      return read_miniseed(Name(path), want, voice, NTIME, info, units, notes);
    });
  }
  // Column c holds n samples of channel from sample first on.
  void expect_column(int c, const std::string& channel, std::int64_t first, int n,
                     bool fraction = false) {
    const std::vector<float>& col = info.component[static_cast<std::size_t>(c - 1)];
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(col[i], static_cast<float>(value(channel, first + i, fraction)))
          << "column " << c << " sample " << i;
    }
  }

  test::TempDir dir;
  std::string path = dir.file("rec.mseed");
  Recording info;
  UnitTable units;
  std::ostringstream console;
};

struct RoundTrip {
  std::string name;
  MseedEncoding encoding;
  int record_length;
  bool interleave;
};

class MiniseedRoundTrip : public MiniseedRead, public ::testing::WithParamInterface<RoundTrip> {};

// Channels written E, N, Z, several records each, land in columns Z, N, E.
TEST_P(MiniseedRoundTrip, EverySampleComesBackInItsColumn) {
  const auto e = GetParam().encoding;
  std::vector<MseedBlock> blocks = {block("BHE", 0, 1500, e), block("BHN", 0, 1500, e),
                                    block("BHZ", 0, 1500, e)};
  for (auto& b : blocks) b.record_length = GetParam().record_length;
  write(blocks, GetParam().interleave);
  ASSERT_EQ(read(), read_status::ok) << console.str();
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(info.nsamp(), 1500);
  EXPECT_EQ(info.dt, 0.01f);
  EXPECT_EQ(info.station, "SYN");
  EXPECT_EQ(info.channel[0], "BHZ");
  EXPECT_EQ(info.channel[2], "BHE");
  EXPECT_EQ(info.labels[1], "BHN");
  EXPECT_EQ(info.labels[3], "counts");
  expect_column(1, "BHZ", 0, 1500, is_float(e));
  expect_column(2, "BHN", 0, 1500, is_float(e));
  expect_column(3, "BHE", 0, 1500, is_float(e));
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, MiniseedRoundTrip,
    ::testing::Values(RoundTrip{"steim1", MseedEncoding::steim1, 512, false},
                      RoundTrip{"steim2_interleaved", MseedEncoding::steim2, 512, true},
                      RoundTrip{"steim2_4096", MseedEncoding::steim2, 4096, false},
                      RoundTrip{"int32", MseedEncoding::int32, 256, false},
                      RoundTrip{"float32", MseedEncoding::float32, 512, true},
                      RoundTrip{"float64", MseedEncoding::float64, 1024, false}),
    [](const auto& info) { return info.param.name; });

TEST_F(MiniseedRead, NamedChannelsFillTheColumnsInTheOrderAsked) {
  write({block("BHZ", 0, 300), block("BHN", 0, 300), block("BHE", 0, 300)});
  ASSERT_EQ(read(request("BHE", "BHZ", "BHN")), read_status::ok) << console.str();
  expect_column(1, "BHE", 0, 300);
  expect_column(2, "BHZ", 0, 300);
  expect_column(3, "BHN", 0, 300);
  EXPECT_EQ(info.channel[0], "BHE");
}

// Z from 0 to 999, N from 5 to 899, E from 2 (a hundredth of a sample late) to 949:
// the common span is samples 5 to 899.
TEST_F(MiniseedRead, ChannelsAreCutToTheirCommonSpan) {
  MseedBlock e = block("BHE", 2, 948);
  e.start_us += 100;
  write({block("BHZ", 0, 1000), block("BHN", 5, 895), e});
  ASSERT_EQ(read(), read_status::ok) << console.str();
  EXPECT_EQ(info.nsamp(), 895);
  expect_column(1, "BHZ", 5, 895);
  expect_column(2, "BHN", 5, 895);
  expect_column(3, "BHE", 5, 895);
}

// Z overlaps itself and then pauses until the span begins, at sample 300; N pauses
// after the span ends, at sample 899 where E ends: no break touches the span.
TEST_F(MiniseedRead, BreaksOutsideTheCommonSpanAreAccepted) {
  write({block("BHZ", 0, 100), block("BHZ", 90, 110), block("BHZ", 300, 800),
         block("BHN", 300, 600), block("BHN", 950, 100), block("BHE", 300, 600)});
  ASSERT_EQ(read(), read_status::ok) << console.str();
  EXPECT_EQ(info.nsamp(), 600);
  expect_column(1, "BHZ", 300, 600);
  expect_column(2, "BHN", 300, 600);
}

// Both sides of the continuity limit: N's second record 0.4 sample late continues the
// run, 0.6 sample late it leaves a gap.
TEST_F(MiniseedRead, RecordsWithinHalfASampleOfTheirTimeContinueTheRun) {
  for (const int late_us : {4000, 6000}) {
    MseedBlock late = block("BHN", 100, 200);
    late.start_us += late_us;
    write({block("BHZ", 0, 300), block("BHN", 0, 100), late, block("BHE", 0, 300)});
    console.str("");
    if (late_us == 4000) {
      ASSERT_EQ(read(), read_status::ok) << console.str();
      expect_column(2, "BHN", 0, 300);
    } else {
      EXPECT_EQ(read(), read_status::failed);
      EXPECT_NE(console.str().find("a gap of 0.006 s in channel BHN"), std::string::npos);
    }
  }
}

TEST_F(MiniseedRead, BlankStationTakesTheFirstStationAndANamedOneIsFound) {
  std::vector<MseedBlock> blocks;
  for (const char* station : {"AAA", "BBB"}) {
    for (const char* c : {"HHZ", "HH1", "HH2"}) {
      blocks.push_back(block(c, station[0] == 'A' ? 0 : 10, 400));
      blocks.back().station = station;
    }
  }
  write(blocks, true);
  ASSERT_EQ(read(), read_status::ok) << console.str();
  EXPECT_EQ(info.station, "AAA");
  EXPECT_EQ(info.channel[1], "HH1");
  expect_column(1, "HHZ", 0, 400);
  ASSERT_EQ(read(request("", "", "", "BBB")), read_status::ok) << console.str();
  EXPECT_EQ(info.station, "BBB");
  expect_column(3, "HH2", 10, 400);
}

// Both sides of the sample limit: 600001 samples per channel are read, 600002 are not.
TEST_F(MiniseedRead, SampleLimitHoldsOnTheCommonSpan) {
  for (const int n : {NTIME, NTIME + 1}) {
    write({block("BHZ", 0, n), block("BHN", 0, n), block("BHE", 0, n + 7)});
    console.str("");
    if (n == NTIME) {
      ASSERT_EQ(read(), read_status::ok) << console.str();
      expect_column(3, "BHE", 0, NTIME);
    } else {
      EXPECT_EQ(read(), read_status::failed);
      EXPECT_EQ(test::split_lines(console.str())[1],
                "   cut the file to at most 6000 s per channel (600001 samples)");
    }
  }
}

// The bundled recording as its provenance describes it: 30 minutes and one sample at
// 100 Hz of BHZ, BHN and BHE at station STN11.
TEST_F(MiniseedRead, RealRecordingHasItsDocumentedShape) {
  path = std::string(HV_SOURCE_DIR) + "/data/UT.STN11.A2_C50.miniseed";
  ASSERT_EQ(read(), read_status::ok) << console.str();
  EXPECT_EQ(info.nsamp(), 180001);
  EXPECT_EQ(info.dt, 0.01f);
  EXPECT_EQ(info.station, "STN11");
  EXPECT_EQ(info.channel[0], "BHZ");
  EXPECT_EQ(info.channel[1], "BHN");
  EXPECT_EQ(info.channel[2], "BHE");
}

TEST_F(MiniseedRead, LibraryDiagnosticsStayOffTheConsoleAndStderr) {
  std::string damaged;
  for (const char* c : {"BHZ", "BHN", "BHE"}) {
    std::string copy = synth::pack_miniseed(std::vector{block(c, 0, 300)});
    if (c[2] == 'N') copy[64 + 20] ^= 0x5a;  // a difference word of the first frame
    damaged += copy;
  }
  test::write_file(path, damaged);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(read(), read_status::failed);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_NE(console.str().find("(channel BHN)"), std::string::npos) << console.str();
}

// A file the reader refuses, the voice it speaks in, and the first line it prints.
struct Refusal {
  std::string name;
  std::function<std::string()> bytes;  // written as the file; "none" for no file
  ChannelRequest want;
  Voice voice;
  std::string first_line;  // empty: silent
  int status = read_status::failed;
};

std::string three(int n = 300, MseedEncoding e = MseedEncoding::steim2) {
  return synth::pack_miniseed(
      std::vector{block("BHZ", 0, n, e), block("BHN", 0, n, e), block("BHE", 0, n, e)});
}

std::string with(std::vector<MseedBlock> blocks) {
  return synth::pack_miniseed(blocks);
}

MseedBlock at_station(MseedBlock b, const std::string& station, const std::string& location) {
  b.station = station;
  b.location = location;
  return b;
}

void PrintTo(const Refusal& c, std::ostream* os) {
  *os << c.name;
}

class MiniseedRefusal : public MiniseedRead, public ::testing::WithParamInterface<Refusal> {};

TEST_P(MiniseedRefusal, OneClearMessageNamingTheFile) {
  const Refusal& c = GetParam();
  const std::string bytes = c.bytes();
  if (bytes != "none") test::write_file(path, bytes);
  EXPECT_EQ(read(c.want, c.voice), c.status);
  const auto lines = test::split_lines(console.str());
  if (c.first_line.empty()) {
    EXPECT_EQ(console.str(), "");
    return;
  }
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), c.first_line);
  EXPECT_EQ(lines.back(), " " + Name(path).str());
}

const std::string who = "  READERMSEED : ";

INSTANTIATE_TEST_SUITE_P(
    Cases, MiniseedRefusal,
    ::testing::Values(
        Refusal{"missing",
                [] { return std::string("none"); },
                {},
                Voice::ratiospec,
                who + "this file cannot be found"},
        Refusal{"empty",
                [] { return std::string(); },
                {},
                Voice::calmpick,
                "  READER_MSEED : this file is empty"},
        Refusal{"text_ratiospec",
                [] { return std::string(600, 'x'); },
                {},
                Voice::ratiospec,
                who + "this file is not miniSEED"},
        Refusal{"text_calmpick",
                [] { return std::string(600, 'x'); },
                {},
                Voice::calmpick,
                "",
                read_status::not_format},
        Refusal{"truncated_last_record",
                [] {
                  const std::string bytes = three();
                  return bytes.substr(0, bytes.size() - 100);
                },
                {},
                Voice::ratiospec,
                who + "the record at offset 1024 is cut short: the file ends "
                      "before it does"},
        Refusal{"trailing_junk",
                [] { return three() + std::string(512, '#'); },
                {},
                Voice::ratiospec,
                who + "the bytes from offset 1536 on are not a miniSEED record"},
        Refusal{"gap",
                [] {
                  return with({block("BHZ", 0, 300), block("BHN", 0, 100), block("BHN", 150, 150),
                               block("BHE", 0, 300)});
                },
                {},
                Voice::ratiospec,
                who + "a gap of 0.5 s in channel BHN at " + t0_text.substr(0, 17) +
                    "01.000000, inside the span the channels share"},
        Refusal{"overlap",
                [] {
                  return with({block("BHZ", 0, 300), block("BHN", 0, 300), block("BHE", 0, 300),
                               block("BHE", 200, 50)});
                },
                {},
                Voice::ratiospec,
                who + "an overlap of 1 s in channel BHE at " + t0_text.substr(0, 17) +
                    "03.000000, inside the "
                    "span the channels share"},
        Refusal{"offset_by_a_fifth",
                [] {
                  MseedBlock n = block("BHN", 0, 300);
                  n.start_us += 2000;
                  return with({block("BHZ", 0, 300), n, block("BHE", 0, 300)});
                },
                {},
                Voice::ratiospec,
                who + "the samples of channel BHN lie 0.002 s after those of channel BHZ"},
        Refusal{"rates_differ",
                [] {
                  return with({block("BHZ", 0, 300),
                               block("BHN", 0, 300, MseedEncoding::steim2, 50),
                               block("BHE", 0, 300)});
                },
                {},
                Voice::ratiospec,
                who + "the channels have different sampling rates (Hz) : BHZ 100 BHN 50 BHE 100"},
        Refusal{"rate_changes",
                [] {
                  return with({block("BHZ", 0, 300), block("BHN", 0, 300), block("BHE", 0, 100),
                               block("BHE", 50, 100, MseedEncoding::steim2, 50)});
                },
                {},
                Voice::ratiospec,
                who + "the sampling rate of channel BHE changes from 100 to 50 Hz at " +
                    t0_text.substr(0, 17) + "01.000000"},
        Refusal{"rate_too_low",
                [] {
                  return with({block("BHZ", 0, 30, MseedEncoding::steim2, 1.0e-4),
                               block("BHN", 0, 30, MseedEncoding::steim2, 1.0e-4),
                               block("BHE", 0, 30, MseedEncoding::steim2, 1.0e-4)});
                },
                {},
                Voice::ratiospec,
                who + "channel BHZ has a sampling rate of 0.0001 Hz at " + t0_text +
                    ".000000, outside 0.001 to 100000 Hz"},
        Refusal{"no_east",
                [] {
                  return with({block("BHZ", 0, 300), block("BHN", 0, 300)});
                },
                {},
                Voice::calmpick,
                "  READER_MSEED : no channel of station SYN ends in E or 2"},
        Refusal{"named_missing", [] { return three(); }, request("BHZ", "BH1", "BH2"),
                Voice::ratiospec, who + "channel(s) not found for station SYN : BH1 BH2"},
        Refusal{"ambiguous_vertical",
                [] {
                  return with({block("BHZ", 0, 300), block("HHZ", 0, 300), block("BHN", 0, 300),
                               block("BHE", 0, 300)});
                },
                {},
                Voice::calmpick,
                "  READER_MSEED : more than one channel of station SYN ends in Z : BHZ HHZ"},
        Refusal{"asked_twice", [] { return three(); }, request("BHZ", "BHZ", "BHE"),
                Voice::ratiospec, who + "channel BHZ is asked for two components"},
        Refusal{"two_locations",
                [] {
                  return with({block("BHZ", 0, 300), block("BHN", 0, 300), block("BHE", 0, 300),
                               at_station(block("BHN", 0, 300), "SYN", "10")});
                },
                {},
                Voice::ratiospec,
                who + "the chosen channels come from more than one network.location : XX.-- XX.10"},
        Refusal{"station_absent", [] { return three(); }, request("", "", "", "OTHER"),
                Voice::ratiospec, who + "station OTHER is not in this file"},
        Refusal{"no_common_time",
                [] {
                  return with({block("BHZ", 0, 300), block("BHN", 0, 300), block("BHE", 400, 300)});
                },
                {},
                Voice::ratiospec,
                who + "the three channels have no time in common"},
        Refusal{"steim_damaged",
                [] {
                  std::string bytes = three();
                  bytes[64 + 8 + 3] ^= 1;  // the last sample that BHZ's first record holds
                  return bytes;
                },
                {},
                Voice::ratiospec,
                who + "the record at offset 0 (channel BHZ) : its samples do not end on the last "
                      "value it records"},
        // 512-byte INT32 records hold 112 samples; BHZ's third and last one (76 samples)
        // claims 4095, which libmseed would copy from far past the record.
        Refusal{"more_samples_than_the_record_holds",
                [] {
                  std::string bytes = three(300, MseedEncoding::int32);
                  bytes[1024 + 30] = '\x0f';
                  bytes[1024 + 31] = '\xff';
                  return bytes;
                },
                {},
                Voice::ratiospec,
                who + "the record at offset 1024 (channel BHZ) : it announces more samples "
                      "than its data section holds"}),
    [](const auto& info) { return info.param.name; });

// Through ratiospec's dispatcher: the window line's codes and station pick the
// channels, the labels are the codes and counts, and the samples are as recorded.
TEST_F(MiniseedRead, ReaderthReadsFormatFourByTheWindowLine) {
  write({block("HHZ", 0, 200), block("HHN", 0, 200), block("HHE", 0, 200)});
  WindowEntry w;
  w.file = path;
  w.format = format::miniseed;
  w.channel = {Text<3>("HHN"), Text<3>("HHE"), Text<3>("HHZ")};
  w.station = "SYN";
  ReadNotes notes;
  ASSERT_EQ(READERTH(w, NTIME, info, units, notes), 0);
  EXPECT_TRUE(notes.empty());
  EXPECT_EQ(info.nsamp(), 200);
  EXPECT_EQ(info.dt, 0.01f);
  EXPECT_EQ(info.labels[0], "HHN");
  EXPECT_EQ(info.labels[3], "counts");
  // HHN holds 20000 + i.
  EXPECT_FLOAT_EQ(info.component[0][0], 20000.0f);
  EXPECT_FLOAT_EQ(info.component[0][199], 20199.0f);
}

// Through calmpick's dispatcher without a guess: KAF, DuneHeron and GSE decline, then
// miniSEED reads the file and reports the format and the codes it used.
TEST_F(MiniseedRead, ReaderthwFallsBackToMiniseed) {
  write({block("BHE", 0, 200), block("BHN", 0, 200), block("BHZ", 0, 200)});
  int format = format::unknown;
  ReadNotes notes;
  ASSERT_EQ(READERTHW(format, Name(path), NTIME, info, units, notes), 0);
  EXPECT_EQ(format, format::miniseed);
  EXPECT_EQ(info.channel[0], "BHZ");
  EXPECT_EQ(info.channel[2], "BHE");
  EXPECT_EQ(info.station, "SYN");
  EXPECT_EQ(info.nsamp(), 200);
  EXPECT_EQ(info.dt, 0.01f);
  expect_column(1, "BHZ", 0, 200);
}

}  // namespace
}  // namespace hv

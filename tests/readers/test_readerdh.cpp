// SPDX-License-Identifier: GPL-3.0-or-later
// The DuneHeron reader called directly, in both voices.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "readers/readerdh.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/read_console.hpp"
#include "tests/support/run.hpp"
#include "tools/synth_dh.hpp"

namespace hv {
namespace {

using test::name_line;

// A header with descriptive lines around the recognised ones.
std::string dh_text(const std::vector<std::string>& header, const std::string& samples) {
  std::string text = "DuneHeron recorder 4711\nOperator: someone\n";
  for (const auto& line : header) text += line + "\n";
  return text + "Maximum amplitude: 12 counts\n" + samples;
}

const std::string three_samples = "1 2 3\n-4 5.5 6e1\n7, 8 9\n";

class DuneHeronRead : public ::testing::Test {
 protected:
  std::string write(const std::string& text, const std::string& name = "rec.dh") {
    const std::string path = dir.file(name);
    test::write_file(path, text);
    return path;
  }
  int read(const std::string& path, Voice voice = Voice::ratiospec) {
    return test::read_into(console, voice, Name(path), [&](ReadNotes& notes) {
      return read_duneheron(Name(path), ChannelRequest{}, voice, NTIME, info, units, notes);
    });
  }
  std::vector<std::string> lines() const { return test::split_lines(console.str()); }
  float sample(int column, int k) const {
    return info.component[static_cast<std::size_t>(column - 1)][static_cast<std::size_t>(k)];
  }

  test::TempDir dir;
  Recording info;
  UnitTable units;
  std::ostringstream console;
};

TEST_F(DuneHeronRead, ColumnsIntervalAndLabels) {
  const std::string path =
      write(dh_text({"Sample rate: 200 Hz", "Sample number: 3", "sample rate: 50"}, three_samples));
  for (const Voice voice : {Voice::ratiospec, Voice::calmpick}) {
    ASSERT_EQ(read(path, voice), read_status::ok) << console.str();
    EXPECT_EQ(console.str(), "");
    EXPECT_EQ(info.dt, 1.0f / 200.0f) << "the lower-case rate line is not a rate line";
    EXPECT_EQ(info.nsamp(), 3);
    EXPECT_EQ(sample(1, 0), 1.0f);
    EXPECT_EQ(sample(2, 1), 5.5f);
    EXPECT_EQ(sample(3, 1), 60.0f);
    EXPECT_EQ(sample(1, 2), 7.0f);
    EXPECT_EQ(sample(3, 2), 9.0f);
    EXPECT_EQ(info.labels, (std::array<Text<12>, 4>{"Vert", "N-S", "E-W", "m/s"}));
    EXPECT_EQ(info.channel, (std::array<Text<3>, 3>{"Z", "NS", "EW"}));
    EXPECT_EQ(info.station, "TEST");
  }
}

TEST_F(DuneHeronRead, RecordingLengthInMinutesGivesTheCount) {
  std::string samples;
  for (int k = 0; k < 60001; ++k) samples += std::to_string(k) + " 0 0\n";
  ASSERT_EQ(read(write(dh_text({"Sample rate: 100", "Recording length: 10"}, samples))),
            read_status::ok)
      << console.str();
  EXPECT_EQ(info.nsamp(), 60000);
  EXPECT_EQ(sample(1, 59999), 59999.0f);
}

TEST_F(DuneHeronRead, SampleNumberWinsOverRecordingLength) {
  ASSERT_EQ(read(write(dh_text({"Recording length: 10", "Sample rate: 100", "Sample number: 2"},
                               three_samples))),
            read_status::ok);
  EXPECT_EQ(info.nsamp(), 2);
}

TEST_F(DuneHeronRead, GainThenConversionDivideEverySample) {
  ASSERT_EQ(read(write(
                dh_text({"Sample rate: 100", "Sample number: 3", "Gain: 2", "Conversion factor: 4"},
                        three_samples))),
            read_status::ok);
  EXPECT_EQ(sample(1, 0), 1.0f / 8.0f);
  EXPECT_EQ(sample(2, 1), 5.5f / 8.0f);
  EXPECT_EQ(sample(3, 2), 9.0f / 8.0f);
}

TEST_F(DuneHeronRead, MaximumLineMustComeWithinAThousandLines) {
  std::vector<std::string> header = {"Sample rate: 100", "Sample number: 3"};
  for (int n = 0; n < 995; ++n) header.push_back("filler line " + std::to_string(n));
  // Lines: two descriptive, the 997 above, "Maximum" on line 1000.
  ASSERT_EQ(read(write(dh_text(header, three_samples))), read_status::ok) << console.str();
  header.push_back("one more");
  EXPECT_EQ(read(write(dh_text(header, three_samples)), Voice::calmpick), read_status::not_format);
}

TEST_F(DuneHeronRead, GeneratedFileReadsBackSampleForSample) {
  synth::Spec spec;
  spec.duration_s = 30.0;
  spec.dt = 0.005;
  const synth::Recording rec = synth::synthesize(spec);
  synth::DuneHeronHeader header;
  header.count = synth::DuneHeronHeader::Count::recording_length;
  header.gain = 0.5;
  header.conversion = 4.0;
  const std::string path = dir.file("gen.dh");
  synth::write_duneheron(path, rec, header);
  ASSERT_EQ(read(path), read_status::ok) << console.str();
  ASSERT_EQ(info.nsamp(), static_cast<int>(rec.z.size()));
  EXPECT_EQ(info.dt, 1.0f / 200.0f);
  for (std::size_t k = 0; k < rec.z.size(); k += 97) {
    const int i = static_cast<int>(k);
    ASSERT_EQ(sample(1, i), rec.z[k]) << k;
    ASSERT_EQ(sample(2, i), rec.ns[k]) << k;
    ASSERT_EQ(sample(3, i), rec.ew[k]) << k;
  }
}

// One refused file: what ratiospec prints ("FILE" stands for the file-name line) and
// what calmpick's silent reader returns.
struct Refusal {
  std::string name;
  std::string text;  // empty: the file does not exist
  std::vector<std::string> ratiospec;
  int calmpick;
};

void PrintTo(const Refusal& r, std::ostream* os) {
  *os << r.name;
}

class DuneHeronRefusal : public DuneHeronRead, public ::testing::WithParamInterface<Refusal> {};

TEST_P(DuneHeronRefusal, ReportedByRatiospecSilentInCalmpick) {
  const Refusal& r = GetParam();
  const std::string path = dir.file("bad.dh");
  if (!r.text.empty()) test::write_file(path, r.text);
  EXPECT_EQ(read(path), read_status::failed);
  std::vector<std::string> expected;
  for (const auto& line : r.ratiospec) expected.push_back(line == "FILE" ? name_line(path) : line);
  EXPECT_EQ(lines(), expected);
  console.str("");
  EXPECT_EQ(read(path, Voice::calmpick), r.calmpick);
  EXPECT_EQ(console.str(), "");
}

const std::string who = "  READERDuneHeron : ";
const std::string not_dh = who + "this is NOT a DuneHeron file";
constexpr int not_format = read_status::not_format;
constexpr int failed = read_status::failed;

INSTANTIATE_TEST_SUITE_P(
    Cases, DuneHeronRefusal,
    ::testing::Values(
        Refusal{"Missing", "", {who + "this file cannot be opened", "FILE"}, failed},
        Refusal{"NoMaximumLine",
                "Sample rate: 100\nSample number: 3\n1 2 3\n",
                {not_dh, who + "the file ends before the \"Maximum\" line", "FILE"},
                not_format},
        Refusal{"NoRateButSampleNumber",
                dh_text({"Sample number: 3"}, three_samples),
                {not_dh, who + "no \"Sample rate\" line", "FILE"},
                not_format},
        Refusal{"RateZero",
                dh_text({"Sample rate: 0", "Sample number: 3"}, three_samples),
                {not_dh, who + "the sampling rate on line 3 is not above 0", "FILE"},
                not_format},
        Refusal{"RateNotANumber",
                dh_text({"Sample rate: fast"}, three_samples),
                {not_dh, who + "the value on line 3 is not a number", "FILE"},
                not_format},
        Refusal{
            "NoCount",
            dh_text({"Sample rate: 100"}, three_samples),
            {not_dh, who + "neither a \"Sample number\" nor a \"Recording\" length line", "FILE"},
            not_format},
        Refusal{"TooManySamples",
                dh_text({"Sample rate: 100", "Sample number: 600002"}, three_samples),
                {who + "number of samples      :  600002",
                 "         greater than dimension :  600001", "FILE"},
                failed},
        Refusal{"OneSampleShort",
                dh_text({"Sample rate: 100", "Sample number: 4"}, three_samples),
                {who + "found less data points than those specified in the header", "FILE"},
                failed},
        Refusal{"BadSample",
                dh_text({"Sample rate: 100", "Sample number: 3"}, "1 2 3\n4 x 6\n7 8 9\n"),
                {who + "error reading time histories data", "FILE"},
                failed}),
    [](const auto& info) { return info.param.name; });

// Samples divided by 0 would pass for a recording; the refusal names the header line
// in both voices.
struct Divisor {
  std::string name;
  std::string line;
  int number;  // of the line in the file
};

void PrintTo(const Divisor& d, std::ostream* os) {
  *os << d.name;
}

class ZeroDivisor : public DuneHeronRead, public ::testing::WithParamInterface<Divisor> {};

TEST_P(ZeroDivisor, RefusedInBothVoices) {
  const Divisor& d = GetParam();
  const std::string path =
      write(dh_text({"Sample rate: 100", "Sample number: 3", d.line}, three_samples));
  for (const auto& [voice, prefix] : {std::pair{Voice::ratiospec, who},
                                      std::pair{Voice::calmpick, std::string("  READER_DH : ")}}) {
    console.str("");
    EXPECT_EQ(read(path, voice), read_status::failed);
    EXPECT_EQ(lines(),
              (std::vector<std::string>{prefix + "the gain or conversion value on header line " +
                                            std::to_string(d.number) + " is 0 or not finite:",
                                        " " + d.line, name_line(path)}));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ZeroDivisor,
                         ::testing::Values(Divisor{"Gain", "Gain: 0", 5},
                                           Divisor{"Conversion", "Conversion factor: 0.0", 5}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace hv

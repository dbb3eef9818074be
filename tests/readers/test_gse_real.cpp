// SPDX-License-Identifier: GPL-3.0-or-later
// The published GSE test recordings of tests/data/gse (see PROVENANCE.md there).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "readers/gsein.hpp"
#include "readers/readerth.hpp"
#include "tests/support/run.hpp"

namespace hv {
namespace {

std::string data_file(const std::string& name) {
  return std::string(HV_TEST_DATA) + "/gse/" + name;
}

// The checksum as the file stores it: the first number after CHK1 or CHK2 on the
// last line that begins so (one data line of twiceCHK2.gse2 begins with CHK2 too).
long stored_checksum(const std::string& text) {
  long value = 0;
  for (const std::string& line : test::split_lines(text)) {
    if (line.rfind("CHK2 ", 0) == 0 || line.rfind("CHK1", 0) == 0)
      value = std::stol(line.substr(4));
  }
  return value;
}

struct RealFile {
  std::string name;
  std::string file;
  int version;
  std::string station;
  std::string channel;
  int samps;
  float samprat;
  std::string datatype;
  int year, month, day, hour, minute, second, msec;
};

class RealRecording : public ::testing::TestWithParam<RealFile> {};

TEST_P(RealRecording, HeaderCountAndChecksum) {
  const RealFile& f = GetParam();
  const std::string text = test::read_file(data_file(f.file));
  std::stringbuf source(text);
  GseLines in(source);
  auto buffers = std::make_unique<GseBuffers>();
  GSEHDR hdr;
  GseWaveform w;
  ReadNotes notes;
  ASSERT_EQ(GSEIN(in, *buffers, hdr, w, notes), gse::ok) << w.failure;
  EXPECT_TRUE(notes.empty()) << "no checksum or count warning";
  EXPECT_EQ(hdr.version, f.version);
  EXPECT_EQ(hdr.station, f.station);
  EXPECT_EQ(hdr.channel, f.channel);
  EXPECT_EQ(hdr.samps, f.samps);
  EXPECT_EQ(hdr.samprat, f.samprat);
  EXPECT_EQ(hdr.datatype, f.datatype);
  EXPECT_EQ(hdr.year, f.year);
  EXPECT_EQ(hdr.month, f.month);
  EXPECT_EQ(hdr.day, f.day);
  EXPECT_EQ(hdr.hour, f.hour);
  EXPECT_EQ(hdr.minute, f.minute);
  EXPECT_EQ(hdr.second, f.second);
  EXPECT_EQ(hdr.msec, f.msec);
  // The checksum of the decoded samples against the one the writer stored: a check of
  // the whole chain of decoding and differences.
  const std::span<const std::int32_t> x(buffers->samples.data(), static_cast<std::size_t>(f.samps));
  const long computed = f.version == 2 ? ICHECK_SUM_GSE2(x) : ICHECK_SUM_GSE1(x);
  const long stored = stored_checksum(text);
  EXPECT_EQ(computed, f.version == 2 ? std::labs(stored) : stored);
  EXPECT_EQ(GSEIN(in, *buffers, hdr, w, notes), gse::end_of_file);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealRecording,
    ::testing::Values(RealFile{"rjob_gse2_cm6", "loc_RJOB20050831023349.z", 2, "RJOB", "Z", 12000,
                               200.0f, "CM6", 2005, 8, 31, 2, 33, 49, 850},
                      RealFile{"rnha_gse2_cm6_negative_checksum", "twiceCHK2.gse2", 2, "RNHA",
                               "EHN", 750, 200.0f, "CM6", 2009, 5, 18, 6, 47, 20, 255},
                      RealFile{"stau_gse1_cmp6", "loc_STAU20031119011659.z", 1, "LE0083", "HZ",
                               3000, 124.9999924f, "CMP6", 2003, 11, 19, 1, 16, 59, 990}),
    [](const auto& info) { return info.param.name; });

// A three-component file made of one real waveform under three channel codes, the
// waveforms in the order E, Z, N.
std::string three_components(const std::string& text, std::size_t channel_column,
                             const std::array<std::string, 3>& codes) {
  const std::size_t wid = text.find("WID");
  std::string out;
  for (const std::string& code : {codes[2], codes[0], codes[1]}) {
    std::string copy = text.substr(wid);
    copy.replace(channel_column - 1, code.size(), code);
    out += copy;
  }
  return out;
}

struct ThreeCase {
  std::string name;
  std::string file;
  std::size_t channel_column;
  std::array<std::string, 3> file_codes;  // as written in the channel columns
  std::array<std::string, 3> codes;       // as requested and reported
  double factor;                          // counts to m/s from the header's calibration
};

class RealThreeComponents : public ::testing::TestWithParam<ThreeCase> {};

TEST_P(RealThreeComponents, ReadInRequestedOrderInMetresPerSecond) {
  const ThreeCase& c = GetParam();
  test::TempDir dir;
  const std::string text = test::read_file(data_file(c.file));
  const std::string path = dir.file("three.gse");
  test::write_file(path, three_components(text, c.channel_column, c.file_codes));

  std::stringbuf source(text);
  GseLines in(source);
  auto buffers = std::make_unique<GseBuffers>();
  GSEHDR hdr;
  GseWaveform w;
  ReadNotes notes;
  ASSERT_EQ(GSEIN(in, *buffers, hdr, w, notes), gse::ok);

  Recording rec;
  UnitTable units;
  WindowEntry entry;
  entry.file = path;
  entry.format = format::gse;
  for (std::size_t k = 0; k < 3; ++k) entry.channel[k] = c.codes[k];
  ASSERT_EQ(READERTH(entry, NTIME, rec, units, notes), 0);
  EXPECT_EQ(rec.nsamp(), hdr.samps);
  EXPECT_EQ(rec.dt, 1.0f / hdr.samprat);
  const auto& labels = rec.labels;
  EXPECT_EQ(labels[3], "m/s");
  for (int col = 1; col <= 3; ++col) {
    EXPECT_EQ(labels[static_cast<std::size_t>(col - 1)],
              c.codes[static_cast<std::size_t>(col - 1)]);
    for (const int k : {0, 1, hdr.samps / 2, hdr.samps - 1}) {
      const double expected = buffers->samples[static_cast<std::size_t>(k)] * c.factor;
      EXPECT_NEAR(rec.component[static_cast<std::size_t>(col - 1)][static_cast<std::size_t>(k)],
                  expected, 1e-6 * std::fabs(expected))
          << "column " << col << " sample " << k;
    }
  }

  // calmpick, guessing GSE from the name, takes the waveforms in file order (E, Z,
  // N) and reports their codes.
  int guess = format::gse;
  Recording info;
  ASSERT_EQ(READERTHW(guess, Name(path), NTIME, info, units, notes), 0);
  EXPECT_EQ(info.channel[0], c.codes[2]);
  EXPECT_EQ(info.channel[1], c.codes[0]);
  EXPECT_EQ(info.station, hdr.station);
  EXPECT_TRUE(notes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealThreeComponents,
    ::testing::Values(
        // GSE2.0: calib 9.49e-2 nm per count at calper 1 s, velocity by 2 pi / calper.
        ThreeCase{"rjob",
                  "loc_RJOB20050831023349.z",
                  36,
                  {"  Z", "  N", "  E"},
                  {"Z", "N", "E"},
                  9.49e-2 * 2.0 * std::numbers::pi * 1.0e-9},
        ThreeCase{"rnha",
                  "twiceCHK2.gse2",
                  36,
                  {"EHZ", "EHN", "EHE"},
                  {"EHZ", "EHN", "EHE"},
                  9.49e-2 * 2.0 * std::numbers::pi * 1.0e-9},
        // GSE1.0, calibration type 1 (velocity): calib 16 nm per count.
        ThreeCase{"stau",
                  "loc_STAU20031119011659.z",
                  53,
                  {" z", " n", " e"},
                  {"HZ", "HN", "HE"},
                  16.0e-9}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace hv

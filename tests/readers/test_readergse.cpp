// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "readers/readergse.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/read_console.hpp"
#include "tests/support/run.hpp"
#include "tools/synth_gse.hpp"

namespace hv {
namespace {

synth::GseChannel channel(const std::string& station, const std::string& code, int first, int n = 5,
                          double samprat = 100.0) {
  synth::GseChannel c;
  c.station = station;
  c.channel = code;
  c.samprat = samprat;
  for (int i = 0; i < n; ++i) c.counts.push_back(first + 10 * i);
  return c;
}

class ReaderGse : public ::testing::Test {
 protected:
  std::string write(const std::vector<synth::GseChannel>& channels, synth::GseStyle style = {}) {
    synth::write_gse(path, channels, style);
    return path;
  }
  int readergse(const std::string& station, const std::array<std::string, 3>& codes,
                int max_samples = NTIME) {
    ChannelRequest want;
    want.station = station;
    for (std::size_t k = 0; k < 3; ++k) want.channel[k] = codes[k];
    return test::read_into(console, Voice::ratiospec, Name(path), [&](ReadNotes& notes) {
      return READERGSE(Name(path), want, max_samples, info, units, notes);
    });
  }
  int reader_gse(int max_samples = NTIME) {
    return test::read_into(console, Voice::calmpick, Name(path), [&](ReadNotes& notes) {
      return READER_GSE(Name(path), max_samples, info, units, notes);
    });
  }
  float sample(int column, int k) const {
    return info.component[static_cast<std::size_t>(column - 1)][static_cast<std::size_t>(k)];
  }
  std::vector<std::string> lines() const { return test::split_lines(console.str()); }
  std::string file_line() const { return "  " + Name(path).str(); }

  test::TempDir dir;
  std::string path = dir.file("rec.gse");
  Recording info;
  UnitTable units;
  std::ostringstream console;
};

// calib 1 nm per count at calper 1 s: a GSE2.0 count is 2 pi 1e-9 m/s.
constexpr double gse2_unit = 2.0 * std::numbers::pi * 1.0e-9;

TEST_F(ReaderGse, ChannelsFillColumnsInTheRequestedOrder) {
  write({channel("STA", "E", 300), channel("STA", "Z", 100), channel("STA", "N", 200)});
  ASSERT_EQ(readergse("STA", {"Z", "N", "E"}), 0) << console.str();
  EXPECT_EQ(console.str(), "");
  for (int col = 1; col <= 3; ++col) {
    for (int k = 0; k < 5; ++k) {
      EXPECT_FLOAT_EQ(sample(col, k), static_cast<float>((100 * col + 10 * k) * gse2_unit))
          << "column " << col << " sample " << k;
    }
  }
  EXPECT_EQ(info.nsamp(), 5);
  EXPECT_EQ(info.dt, 1.0f / 100.0f);
  EXPECT_EQ(info.channel[0], "Z");
  EXPECT_EQ(info.channel[2], "E");
  EXPECT_EQ(info.station, "STA");
  EXPECT_EQ(info.labels[1], "N");
  EXPECT_EQ(info.labels[3], "m/s");
  EXPECT_FALSE(units.is_open(UnitTable::first_unit)) << "the file is closed on return";
}

TEST_F(ReaderGse, BlankStationTakesTheFirstWaveformsStationAndSkipsOthers) {
  write({channel("ONE", "Z", 100), channel("TWO", "Z", 900), channel("TWO", "N", 900),
         channel("ONE", "N", 200), channel("TWO", "E", 900), channel("ONE", "E", 300)});
  ASSERT_EQ(readergse("", {"Z", "N", "E"}), 0) << console.str();
  EXPECT_EQ(info.station, "ONE");
  EXPECT_FLOAT_EQ(sample(2, 0), static_cast<float>(200 * gse2_unit));
  EXPECT_FLOAT_EQ(sample(3, 0), static_cast<float>(300 * gse2_unit));
}

TEST_F(ReaderGse, ARepeatedCodeFillsTheNextColumnThatNamesIt) {
  write({channel("STA", "Z", 100), channel("STA", "Z", 200), channel("STA", "Z", 300)});
  ASSERT_EQ(readergse("STA", {"Z", "Z", "Z"}), 0) << console.str();
  EXPECT_FLOAT_EQ(sample(3, 0), static_cast<float>(300 * gse2_unit));
}

TEST_F(ReaderGse, MissingChannelIsListed) {
  write({channel("STA", "Z", 100), channel("OTHER", "N", 0), channel("STA", "E", 300)});
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}), gse::channels_missing);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"  READERGSE : following channel(s) cannot be found",
                                      "   channel(s) :        N       ",
                                      "   for station : STA       ", "  in file:", file_line()}));
}

TEST_F(ReaderGse, ChangesAmongChannelsAreRefused) {
  write({channel("STA", "Z", 100), channel("STA", "N", 200, 5, 50.0)});
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}), gse::rate_changed);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"  READERGSE : sampling rate has changed among channels",
                                      "  in file:", file_line()}));

  console.str("");
  write({channel("STA", "Z", 100), channel("STA", "N", 200, 6)});
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}), gse::count_changed);
  EXPECT_EQ(lines(), (std::vector<std::string>{"  READERGSE : number of samples has changed among ",
                                               "  channels in file:", file_line()}));
}

TEST_F(ReaderGse, MaximumSamplesBothSides) {
  write({channel("STA", "Z", 100), channel("STA", "N", 200), channel("STA", "E", 300)});
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}, 5), 0) << console.str();
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}, 4), gse::too_many_samples);
  EXPECT_EQ(lines(), (std::vector<std::string>{"  READERGSE : number of samples      :  5",
                                               "              greater than dimension :  4",
                                               "  in file:", file_line()}));
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}, no_sample_limit), 0) << "no limit is not an error";
}

TEST_F(ReaderGse, MissingAndUnopenableFiles) {
  path = dir.file("none.gse");
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}), gse::not_found);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"  READERGSE : this file cannot be found :", file_line()}));
  console.str("");
  path = dir.path().string();
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}), gse::cannot_open);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"  READERGSE : this file cannot be opened", file_line()}));
}

TEST_F(ReaderGse, UnreadableWaveformNamesFileAndHeaderLine) {
  synth::GseStyle style;
  style.datatype = "INT";
  write({channel("STA", "Z", 100)}, style);
  std::string text = test::read_file(path);
  text.resize(text.find("CHK2"));  // the file ends inside the waveform
  test::write_file(path, text);
  EXPECT_EQ(readergse("STA", {"Z", "N", "E"}), gse::unreadable_waveform);
  const auto l = lines();
  ASSERT_EQ(l.size(), 4u) << console.str();
  EXPECT_EQ(l[0],
            "  READERGSE : this waveform cannot be read : the file ends before the CHK2 line");
  EXPECT_EQ(l[1].substr(0, 7), "  WID2 ");
  EXPECT_EQ(l[2], "  in file:");
  EXPECT_EQ(l[3], file_line());
}

// Counts to m/s by calibration type (GSE1.0), and refused calibrations.
struct CalibCase {
  std::string name;
  int version;
  int calib_type;
  double calib, calper;
  double factor;  // 0: refused
};

class Calibration : public ReaderGse, public ::testing::WithParamInterface<CalibCase> {};

TEST_P(Calibration, GivesTheFactorOrIsRefused) {
  const CalibCase& c = GetParam();
  std::vector<synth::GseChannel> channels = {channel("STA", "sz", 1000), channel("STA", "sn", 0),
                                             channel("STA", "se", 0)};
  for (auto& ch : channels) {
    ch.calib = c.calib;
    ch.calper = c.calper;
    ch.calib_type = c.calib_type;
    if (c.version == 2) ch.channel = "S" + ch.channel.substr(1, 1);
  }
  synth::GseStyle style;
  style.version = c.version;
  style.datatype = c.version == 2 ? "CM6" : "CMP6";
  write(channels, style);
  const std::string z = c.version == 2 ? "Sz" : "SHZ";
  const int status =
      readergse("STA", {z, c.version == 2 ? "Sn" : "SHN", c.version == 2 ? "Se" : "SHE"});
  if (c.factor == 0.0) {
    EXPECT_EQ(status, gse::no_conversion);
    EXPECT_NE(console.str().find("channel " + z), std::string::npos) << console.str();
    EXPECT_NE(console.str().find(Name(path).str()), std::string::npos);
    return;
  }
  ASSERT_EQ(status, 0) << console.str();
  EXPECT_FLOAT_EQ(sample(1, 0), static_cast<float>(1000 * c.factor));
  EXPECT_FLOAT_EQ(sample(1, 4), static_cast<float>(1040 * c.factor));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Calibration,
    ::testing::Values(
        CalibCase{"gse2_unit", 2, 1, 1.0, 1.0, 2.0 * std::numbers::pi * 1.0e-9},
        CalibCase{"gse2_period", 2, 1, 2.0, 4.0, 2.0 * 2.0 * std::numbers::pi / 4.0 * 1.0e-9},
        CalibCase{"gse1_displacement", 1, 0, 3.0, 0.5, 3.0 * 2.0 * std::numbers::pi / 0.5 * 1.0e-9},
        CalibCase{"gse1_velocity", 1, 1, 3.0, 0.5, 3.0e-9},
        CalibCase{"gse1_acceleration", 1, 2, 3.0, 0.5,
                  3.0 * 0.5 / (2.0 * std::numbers::pi) * 1.0e-9},
        CalibCase{"gse1_other_type_keeps_counts", 1, 7, 3.0, 0.5, 1.0},
        CalibCase{"gse2_calib_zero", 2, 1, 0.0, 1.0, 0.0},
        CalibCase{"gse2_calper_zero", 2, 1, 1.0, 0.0, 0.0},
        CalibCase{"gse1_velocity_calib_zero", 1, 1, 0.0, 1.0, 0.0}),
    [](const auto& info) { return info.param.name; });

TEST_F(ReaderGse, CalmpickTakesTheFirstThreeWaveformsAndReportsTheirCodes) {
  write({channel("ONE", "BHE", 300), channel("ONE", "BHZ", 100), channel("TWO", "BHN", 200),
         channel("ONE", "XXX", 0)});
  ASSERT_EQ(reader_gse(), read_status::ok) << console.str();
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(info.channel[0], "BHE");
  EXPECT_EQ(info.channel[1], "BHZ");
  EXPECT_EQ(info.channel[2], "BHN");
  EXPECT_EQ(info.station, "TWO") << "the station of the third waveform";
  EXPECT_FLOAT_EQ(sample(1, 0), static_cast<float>(300 * gse2_unit));
  EXPECT_FLOAT_EQ(sample(3, 4), static_cast<float>(240 * gse2_unit));
}

TEST_F(ReaderGse, CalmpickSaysNothingWhenTheFileIsNotGse) {
  write({channel("ONE", "BHE", 300), channel("ONE", "BHZ", 100)});
  EXPECT_EQ(reader_gse(), read_status::not_format);
  test::write_file(path, "KORVEN ASCII data format (kaf) v. 1\n");
  EXPECT_EQ(reader_gse(), read_status::not_format);
  EXPECT_EQ(console.str(), "");
}

TEST_F(ReaderGse, CalmpickReportsFailuresInItsVoice) {
  write({channel("ONE", "BHE", 300), channel("ONE", "BHZ", 100, 4)});
  EXPECT_EQ(reader_gse(), read_status::failed);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"  READER_GSE : number of samples has changed among ",
                                      "  channels in file:", file_line()}));
  console.str("");
  test::write_file(path, test::read_file(path).substr(0, 400));
  EXPECT_EQ(reader_gse(), read_status::failed);
  EXPECT_EQ(lines().front().substr(0, 46), "  READER_GSE : this waveform cannot be read : ");
}

}  // namespace
}  // namespace hv

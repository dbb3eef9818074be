// SPDX-License-Identifier: GPL-3.0-or-later
// Both programs on GSE messages written by the test tools: the H/V of a GSE recording
// equals that of the same samples written as KAF in m/s.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/result_table.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"
#include "tools/synth_gse.hpp"

namespace hv::test {
namespace {

// Numbers of the rows after the column header of a result file.
double fo_of(const std::string& path) {
  for (const auto& line : read_lines(path)) {
    if (line.rfind(" # n_freq_samples: ", 0) == 0) return std::stod(line.substr(31, 9));
  }
  ADD_FAILURE() << "no Fo line in " << path;
  return 0.0;
}

std::string window_line(const std::string& path, double start, double end, int format,
                        const std::string& codes_and_station) {
  char line[600];
  std::snprintf(line, sizeof line, "\"%s\" %.3f %.3f %d %s\n", path.c_str(), start, end, format,
                codes_and_station.c_str());
  return line;
}

// How the GSE message is laid out and how the window file asks for it.
struct Layout {
  std::string name;
  int version;
  std::string datatype;
  bool shuffled;       // waveforms in the order E, Z, N rather than Z, N, E
  bool decoy;          // waveforms of another station between them
  bool blank_station;  // the window lines name no station
  int files;           // recordings named by the window file
};

class GseRun : public ::testing::TestWithParam<Layout> {
 protected:
  // One recording as a GSE message and as KAF holding the same samples in m/s.
  void write_recording(int index, std::string& gse, std::string& kaf) {
    const Layout& l = GetParam();
    synth::Spec spec;
    spec.duration_s = 100.0;
    spec.seed = 20 + static_cast<unsigned>(index);
    spec.resonance_hz = 3.0;
    spec.station = "SITE";
    spec.ch0 = "SHZ";
    spec.ch1 = "SHN";
    spec.ch2 = "SHE";
    const synth::Recording rec = synth::synthesize(spec);
    std::vector<synth::GseChannel> channels = synth::gse_channels(rec, spec, l.version);

    synth::Recording in_ms{rec.dt, {}, {}, {}};
    std::vector<float>* out[3] = {&in_ms.z, &in_ms.ns, &in_ms.ew};
    for (std::size_t c = 0; c < 3; ++c) {
      const double f = synth::velocity_factor(channels[c], l.version);
      for (const std::int32_t count : channels[c].counts) {
        out[c]->push_back(static_cast<float>(count * f));
      }
    }
    kaf = dir.file("rec" + std::to_string(index) + ".kaf");
    synth::write_kaf(kaf, in_ms, spec);

    std::vector<synth::GseChannel> message;
    const std::vector<std::size_t> order =
        l.shuffled ? std::vector<std::size_t>{2, 0, 1} : std::vector<std::size_t>{0, 1, 2};
    for (std::size_t i = 0; i < 3; ++i) {
      const std::size_t c = order[i];
      // Same code, another station, other counts: taking it would change the H/V. It
      // comes before the waveform it imitates, except after the first waveform, whose
      // station a window line without one takes.
      synth::GseChannel decoy = channels[(c + 1) % 3];
      decoy.station = "DECOY";
      decoy.channel = channels[c].channel;
      if (l.decoy && i > 0) message.push_back(decoy);
      message.push_back(channels[c]);
      if (l.decoy && i == 0) message.push_back(decoy);
    }
    synth::GseStyle style;
    style.version = l.version;
    style.datatype = l.datatype;
    gse = dir.file("rec" + std::to_string(index) + ".gse");
    synth::write_gse(gse, message, style);
  }

  TempDir dir;
};

TEST_P(GseRun, HvEqualsThatOfTheSameSamplesAsKaf) {
  const Layout& l = GetParam();
  std::string gse_windows, kaf_windows;
  for (int r = 0; r < l.files; ++r) {
    std::string gse, kaf;
    write_recording(r, gse, kaf);
    for (int w = 0; w < 4; ++w) {
      const std::string request = l.blank_station ? "SHZ SHN SHE" : "SHZ SHN SHE SITE";
      gse_windows += window_line(gse, 20.0 * w, 20.0 * w + 20.0, 1, request);
      kaf_windows += window_line(kaf, 20.0 * w, 20.0 * w + 20.0, 2, "Z NS EW TEST");
    }
  }
  write_file(dir.file("gse_windows.txt"), gse_windows);
  write_file(dir.file("kaf_windows.txt"), kaf_windows);
  write_file(dir.file("par.txt"), "### section processing\n### end processing\n");

  const auto from_kaf =
      run_ratiospec({dir.file("kaf_windows.txt"), dir.file("par.txt"), dir.file("kaf_res")});
  ASSERT_LE(from_kaf.status, 1) << from_kaf.console;
  const auto from_gse =
      run_ratiospec({dir.file("gse_windows.txt"), dir.file("par.txt"), dir.file("gse_res")});
  ASSERT_EQ(from_gse.status, from_kaf.status) << from_gse.console;

  const auto expected = rows_of_file(dir.file("kaf_res"));
  const auto got = rows_of_file(dir.file("gse_res"));
  ASSERT_GT(expected.size(), 10u);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].size(), expected[i].size());
    for (std::size_t j = 0; j < got[i].size(); ++j) {
      EXPECT_NEAR(got[i][j], expected[i][j], 1e-4 * std::fabs(expected[i][j]) + 1e-12)
          << "row " << i << " column " << j;
    }
  }
  EXPECT_NEAR(fo_of(dir.file("gse_res")), 3.0, 0.3);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, GseRun,
    ::testing::Values(Layout{"gse2_cm6_out_of_order_with_decoy", 2, "CM6", true, true, false, 1},
                      Layout{"gse2_int_blank_station_with_decoy", 2, "INT", true, true, true, 1},
                      Layout{"gse2_cm8_two_files", 2, "CM8", false, true, false, 2},
                      Layout{"gse1_cmp6_out_of_order_with_decoy", 1, "CMP6", true, true, false, 1},
                      Layout{"gse1_intv_blank_station_two_files", 1, "INTV", false, false, true,
                             2}),
    [](const auto& info) { return info.param.name; });

TEST(GseRunFormat, ANamedStationThatIsMissingEndsTheRun) {
  TempDir dir;
  synth::Spec spec;
  spec.duration_s = 30.0;
  const auto channels = synth::gse_channels(synth::synthesize(spec), spec, 2);
  synth::write_gse(dir.file("a.gse"), channels, synth::GseStyle{});
  write_file(dir.file("w.txt"), window_line(dir.file("a.gse"), 0.0, 20.0, 1, "Z N E OTHER"));
  write_file(dir.file("par.txt"), "### section processing\n### end processing\n");
  const auto run = run_ratiospec({dir.file("w.txt"), dir.file("par.txt"), dir.file("res")});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.console.find(" READERGSE : following channel(s) cannot be found"),
            std::string::npos)
      << run.console;
  EXPECT_EQ(run.console.find("not supported yet"), std::string::npos);
}

// calmpick on a GSE2.0 CM6 message, then ratiospec on its window file.
class GseChain : public ::testing::Test {
 protected:
  TempDir dir;
  WorkingDirectory cwd{dir.path()};
};

TEST_F(GseChain, WindowFileCarriesTheCodesAndStationAndFoIsTheResonance) {
  synth::Spec spec;
  spec.duration_s = 600.0;
  spec.seed = 5;
  spec.resonance_hz = 4.0;
  spec.station = "ALPHA";
  spec.ch0 = "HHZ";
  spec.ch1 = "HHN";
  spec.ch2 = "HHE";
  spec.transients = {{150.0, 40.0, 3.0}, {400.0, 60.0, 2.0}};
  const std::string recording = dir.file("site.gse");
  synth::write_gse(recording, synth::gse_channels(synth::synthesize(spec), spec, 2),
                   synth::GseStyle{});
  write_file(dir.file("list.txt"), recording + "\n");
  write_file(dir.file("pick.par"), "1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n");

  const auto picked = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), dir.file("w.txt")});
  ASSERT_EQ(picked.status, 0) << picked.console;
  const auto lines = read_lines(dir.file("w.txt"));
  ASSERT_GE(lines.size(), 8u) << picked.console;
  for (const auto& line : lines) {
    ASSERT_EQ(line.size(), 255u);
    EXPECT_EQ(line.substr(223, 1), "1");
    EXPECT_EQ(line.substr(227, 3), "HHZ");
    EXPECT_EQ(line.substr(233, 3), "HHN");
    EXPECT_EQ(line.substr(239, 3), "HHE");
    EXPECT_EQ(line.substr(245), "ALPHA     ");
  }

  write_file(dir.file("hv.par"), "### section processing\n### end processing\n");
  const auto processed = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), dir.file("res")});
  EXPECT_LE(processed.status, 1) << processed.console;
  EXPECT_NEAR(fo_of(dir.file("res")), 4.0, 0.2);
}

TEST_F(GseChain, ATruncatedGseFileIsAnUnreadableRecording) {
  synth::Spec spec;
  spec.duration_s = 60.0;
  const std::string recording = dir.file("cut.gse");
  synth::write_gse(recording, synth::gse_channels(synth::synthesize(spec), spec, 2),
                   synth::GseStyle{});
  const std::string text = read_file(recording);
  write_file(recording, text.substr(0, text.rfind("CHK2")));
  write_file(dir.file("list.txt"), recording + "\n");
  write_file(dir.file("pick.par"), "1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n");
  const auto picked = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), dir.file("w.txt")});
  EXPECT_EQ(picked.status, 200);
  EXPECT_NE(picked.console.find(
                "  READER_GSE : this waveform cannot be read : the file ends before the CHK2 line"),
            std::string::npos)
      << picked.console;
  EXPECT_EQ(picked.console.find("format NOT recognised"), std::string::npos);
}

}  // namespace
}  // namespace hv::test

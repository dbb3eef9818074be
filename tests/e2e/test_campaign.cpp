// SPDX-License-Identifier: GPL-3.0-or-later
// The campaign script: calmpick then ratiospec for every recording of a list.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"

namespace hv::test {
namespace {

class Campaign : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir.file("pick.par"), "1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n");
    write_file(dir.file("hv.par"), "### section processing\n### end processing\n");
  }

  void recording(const std::string& name, double resonance_hz) {
    synth::Spec spec;
    spec.duration_s = 300.0;
    spec.seed = static_cast<unsigned>(resonance_hz * 10);
    spec.resonance_hz = resonance_hz;
    synth::write_kaf(dir.file(name), synth::synthesize(spec), spec);
  }

  ChildResult campaign(const std::string& list_text) {
    write_file(dir.file("list.txt"), list_text);
    return run_child("/bin/bash",
                     {source_file("tools/run_campaign.sh"), "-j", "2", "-b",
                      std::filesystem::path(built_program("ratiospec")).parent_path().string(),
                      "list.txt", "pick.par", "hv.par", "out"},
                     {}, dir.path().string());
  }

  // The Fo of a station's averaged H/V file.
  double fo(const std::string& station) {
    for (const std::string& line : read_lines(dir.file("out/" + station + "/" + station + "_hv"))) {
      const auto at = line.find("Fo:");
      if (at != std::string::npos) return std::stod(line.substr(at + 3, 10));
    }
    return -1.0;
  }

  TempDir dir;
};

TEST_F(Campaign, GoodStationsAreProcessedAndTheFailedOneIsNamed) {
  recording("north.kaf", 3.0);
  recording("south.kaf", 6.0);
  write_file(dir.file("broken.kaf"), "this is no recording\n");
  const ChildResult r =
      campaign("north.kaf\n\n# a comment\nbroken.kaf\n" + dir.file("south.kaf") + "\n");
  EXPECT_EQ(r.status, 1) << r.output;
  const std::vector<std::string> lines = split_lines(r.output);
  ASSERT_EQ(lines.size(), 4u) << r.output;
  EXPECT_EQ(count_of(r.output, ": done, "), 2) << r.output;
  EXPECT_EQ(count_of(r.output, "broken: FAILED, calmpick exit status 200"), 1) << r.output;
  for (const char* progress : {"[1/3] ", "[2/3] ", "[3/3] "}) {
    EXPECT_EQ(count_of(r.output, progress), 1) << progress;
  }
  EXPECT_EQ(lines.back(), "run_campaign: 1 of 3 stations failed: broken");
  // Each station's result comes from its own recording.
  EXPECT_NEAR(fo("north"), 3.0, 0.3);
  EXPECT_NEAR(fo("south"), 6.0, 0.6);
}

TEST_F(Campaign, AllStationsThroughGiveStatusZero) {
  recording("east.kaf", 4.0);
  const ChildResult r = campaign("east.kaf\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(count_of(r.output, "[1/1] east: done, "), 1) << r.output;
  EXPECT_NEAR(fo("east"), 4.0, 0.4);
}

TEST_F(Campaign, TwoRecordingsWithOneStationNameAreRefused) {
  recording("west.kaf", 4.0);
  std::filesystem::create_directory(dir.path() / "other");
  recording("other/west.kaf", 5.0);
  const ChildResult r = campaign("west.kaf\nother/west.kaf\n");
  EXPECT_EQ(r.status, 2) << r.output;
  EXPECT_NE(r.output.find("station name 'west'"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out" / "west" / "west_hv"));
}

}  // namespace
}  // namespace hv::test

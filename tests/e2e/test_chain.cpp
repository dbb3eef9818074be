// SPDX-License-Identifier: GPL-3.0-or-later
// The two programs one after the other: calmpick's window file feeds ratiospec.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run.hpp"
#include "tools/synth.hpp"
#include "tools/synth_dh.hpp"

namespace hv::test {
namespace {

// Runs in a temporary working directory, where calmpick writes its count file.
class CalmpickThenRatiospec : public ::testing::Test {
 protected:
  TempDir dir;
  WorkingDirectory cwd{dir.path()};
};

TEST_F(CalmpickThenRatiospec, WindowsAvoidTransientsAndGiveTheResonanceAsFo) {
  synth::Spec spec;
  spec.duration_s = 600.0;
  spec.seed = 3;
  spec.resonance_hz = 4.0;
  spec.transients = {{100.0, 40.0, 3.0}, {333.0, 60.0, 2.0}, {480.0, 50.0, 4.0}};
  const std::string recording = dir.file("site.kaf");
  synth::write_kaf(recording, synth::synthesize(spec), spec);
  write_file(dir.file("list.txt"), recording + "\n");
  write_file(dir.file("pick.par"), "1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n");

  const auto picked = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), dir.file("w.txt")});
  ASSERT_EQ(picked.status, 0) << picked.console;
  const auto lines = read_lines(dir.file("w.txt"));
  ASSERT_GE(lines.size(), 10u) << picked.console;
  for (const auto& line : lines) {
    ASSERT_EQ(line.size(), 255u);
    const double start = std::stod(line.substr(203, 8));
    const double end = std::stod(line.substr(214, 8));
    for (const auto& t : spec.transients) {
      const bool overlaps = start < t.time_s + t.duration_s && end > t.time_s;
      EXPECT_FALSE(overlaps) << "window " << start << "-" << end << " holds the transient at "
                             << t.time_s << " s";
    }
  }

  write_file(dir.file("hv.par"), "### section processing\n### end processing\n");
  const auto processed = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), dir.file("res")});
  EXPECT_EQ(processed.status, 1) << processed.console;
  bool found = false;
  for (const auto& line : read_lines(dir.file("res"))) {
    if (line.rfind(" # n_windows: ", 0) == 0) {
      EXPECT_EQ(std::stoi(line.substr(14)), static_cast<int>(lines.size()));
    }
    if (line.rfind(" # n_freq_samples: ", 0) == 0) {
      EXPECT_NEAR(std::stod(line.substr(31, 9)), 4.0, 0.2) << line;
      found = true;
    }
  }
  EXPECT_TRUE(found);
}

// Text files saved by some editors start with a UTF-8 byte-order mark; each input
// read with one gives the same windows and the same H/V as without it.
struct MarkCase {
  const char* marked;     // the file that starts with the mark
  const char* recording;  // the recording the chain reads
};

class ByteOrderMark : public CalmpickThenRatiospec, public ::testing::WithParamInterface<MarkCase> {
 protected:
  // Writes the recording in the format its name says.
  void write_recording(const std::string& name) {
    synth::Spec spec;
    spec.duration_s = 200.0;
    spec.resonance_hz = 3.0;
    const synth::Recording rec = synth::synthesize(spec);
    const std::string path = dir.file(name);
    if (name.ends_with(".kaf")) synth::write_kaf(path, rec, spec);
    if (name.ends_with(".dh")) {
      // Without its free title line the file starts with the sample rate's key, which
      // the mark would hide.
      synth::write_duneheron(path, rec);
      const std::string text = read_file(path);
      write_file(path, text.substr(text.find('\n') + 1));
    }
  }

  // Runs the chain; the file named `marked` starts with the mark.
  std::string chain(const std::string& marked, const std::string& recording) {
    const auto mark = [&](const std::string& name, const std::string& text) {
      write_file(dir.file(name), (name == marked ? "\xEF\xBB\xBF" : "") + text);
    };
    write_recording(recording);
    mark(recording, read_file(dir.file(recording)));
    mark("list.txt", dir.file(recording) + "\n");
    mark("pick.par", "1.0 25.0 0.5 2.0 20.0 0.2 1 0 0.0\n");
    mark("hv.par", "### section processing\nsmooth: konno-ohmachi:20\n### end processing\n");
    const auto picked =
        run_calmpick({dir.file("list.txt"), dir.file("pick.par"), dir.file("w.txt")});
    EXPECT_EQ(picked.status, 0) << picked.console;
    mark("w.txt", read_file(dir.file("w.txt")));
    const auto processed = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), dir.file("res")});
    EXPECT_LE(processed.status, 1) << processed.console;
    return read_file(dir.file("w.txt")).substr(marked == "w.txt" ? 3 : 0) +
           read_file(dir.file("res"));
  }
};

TEST_P(ByteOrderMark, IsSkippedAtTheStartOfEveryTextInput) {
  const MarkCase& c = GetParam();
  const std::string plain = chain("", c.recording);
  EXPECT_EQ(chain(c.marked, c.recording), plain);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ByteOrderMark,
    ::testing::Values(MarkCase{"list.txt", "site.kaf"}, MarkCase{"pick.par", "site.kaf"},
                      MarkCase{"w.txt", "site.kaf"}, MarkCase{"hv.par", "site.kaf"},
                      MarkCase{"site.kaf", "site.kaf"}, MarkCase{"site.dh", "site.dh"}),
    [](const auto& info) {
      std::string name = info.param.marked;
      name[name.find('.')] = '_';
      return name;
    });

}  // namespace
}  // namespace hv::test

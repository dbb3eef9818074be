// SPDX-License-Identifier: GPL-3.0-or-later
// The real ratiospec program run with HV_THREADS = 1, 2, 3 and 8: every result file
// byte for byte the same, the console and the exit status the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"

namespace hv::test {
namespace {

namespace fs = std::filesystem;

struct ThreadCase {
  std::string name;
  std::vector<std::string> options;
  int windows;          // windows per recording
  double length;        // window length, s
  bool two_recordings;  // windows alternate between two recordings
  // An error ends the run: the last window names a recording that cannot be read, or
  // a window in the middle lies beyond the end of its recording.
  enum { no_error, unreadable_last, outside_in_the_middle } error = no_error;
};

void PrintTo(const ThreadCase& c, std::ostream* os) {
  *os << c.name;
}

// Everything a run leaves: the console, the status and every file it wrote.
struct RunImage {
  int status = -1;
  std::string console;
  std::map<std::string, std::string> files;
};

class SameForEveryThreadCount : public ::testing::TestWithParam<ThreadCase> {
 protected:
  void SetUp() override {
    const ThreadCase& c = GetParam();
    // NS and EW differ (independent noise) so that a swapped column would show.
    make_recording("a.kaf", 2.5, 5);
    if (c.two_recordings) make_recording("b.kaf", 4.0, 6);
    std::ostringstream w;
    for (int k = 0; k < c.windows; ++k) {
      for (const char* rec : {"a.kaf", "b.kaf"}) {
        if (rec[0] == 'b' && !c.two_recordings) continue;
        char line[512];
        std::snprintf(line, sizeof line, "\"%s\" %.3f %.3f 2 Z NS EW TEST\n", dir.file(rec).c_str(),
                      k * c.length, (k + 1) * c.length);
        w << line;
      }
      // Two such windows: only the first may be reported.
      if ((k == 4 || k == 6) && c.error == ThreadCase::outside_in_the_middle) {
        w << "\"" << dir.file("a.kaf") << "\" 500.000 520.000 2 Z NS EW TEST\n";
      }
    }
    if (c.error == ThreadCase::unreadable_last) {
      write_file(dir.file("broken.kaf"), "no recording here\n");
      w << "\"" << dir.file("broken.kaf") << "\" 0.000 10.000 2 Z NS EW TEST\n";
    }
    write_file(dir.file("windows.txt"), w.str());
    std::string par = "### section processing\n";
    for (const std::string& o : c.options) par += o + "\n";
    write_file(dir.file("par.txt"), par + "### end processing\n");
  }

  void make_recording(const std::string& name, double resonance_hz, unsigned seed) {
    synth::Spec spec;
    spec.duration_s = 400.0;
    spec.seed = seed;
    spec.resonance_hz = resonance_hz;
    synth::write_kaf(dir.file(name), synth::synthesize(spec), spec);
  }

  RunImage run(const std::string& threads) {
    const fs::path out = dir.path() / ("out" + threads);
    fs::create_directories(out);
    const ChildResult r =
        run_child(built_program("ratiospec"),
                  {dir.file("windows.txt"), dir.file("par.txt"), (out / "res").string()},
                  {{"HV_THREADS", threads}});
    RunImage image{r.status, r.output, {}};
    for (const auto& entry : fs::directory_iterator(out)) {
      image.files[entry.path().filename().string()] = read_file(entry.path().string());
    }
    return image;
  }

  TempDir dir;
};

TEST_P(SameForEveryThreadCount, FilesConsoleAndStatus) {
  const RunImage one = run("1");
  ASSERT_FALSE(one.console.empty());
  if (GetParam().error == ThreadCase::no_error) {
    ASSERT_LE(one.status, 1) << one.console;
    ASSERT_TRUE(one.files.count("res")) << one.console;
  } else {
    ASSERT_EQ(one.status, 2) << one.console;
  }
  for (const char* threads : {"2", "3", "8"}) {
    const RunImage many = run(threads);
    EXPECT_EQ(many.status, one.status) << threads << " threads";
    EXPECT_EQ(many.console, one.console) << threads << " threads";
    ASSERT_EQ(many.files.size(), one.files.size()) << threads << " threads";
    for (const auto& [name, content] : one.files) {
      const auto it = many.files.find(name);
      ASSERT_NE(it, many.files.end()) << name << " missing with " << threads << " threads";
      EXPECT_TRUE(it->second == content) << name << " differs with " << threads << " threads";
    }
  }
}

const std::string all_files[] = {"single_win_out: yes", "average_spectra_out: yes"};

std::vector<ThreadCase> thread_cases() {
  std::vector<ThreadCase> cases = {
      // The default Konno-Ohmachi smoothing on the transform grid, long windows: the
      // rows of each window are spread over the threads.
      {"fft_konno_ohmachi_long_windows", {all_files[0], all_files[1]}, 3, 100.0, false},
      // Many short windows: the windows are spread over the threads.
      {"fft_konno_ohmachi_many_windows", {all_files[0], all_files[1]}, 19, 20.0, false},
      {"two_recordings_alternating", {all_files[0], "merge_type: complex"}, 6, 30.0, true},
      {"unreadable_last_window", {all_files[0]}, 8, 20.0, false, ThreadCase::unreadable_last},
      {"window_outside_in_the_middle",
       {all_files[0]},
       12,
       20.0,
       false,
       ThreadCase::outside_in_the_middle},
      {"window_means_removed", {"offset_rem: r_mean:win", "taper: box"}, 8, 25.0, false},
  };
  const char* forms[][2] = {{"none", "none"},
                            {"linear_box", "linear:0.4:box"},
                            {"linear_tri", "linear:0.4:tri"},
                            {"log_box", "log:10:box"},
                            {"log_tri", "log:15:tri"},
                            {"konno_ohmachi", "konno-ohmachi:20"}};
  for (const char* grid : {"log", "linear"}) {
    for (const auto& form : forms) {
      const std::string spacing = std::string("freq_spacing: ") + grid + ":0.5:40:400";
      cases.push_back({std::string(grid) + "_grid_" + form[0],
                       {spacing, std::string("smooth: ") + form[1], all_files[0], all_files[1]},
                       5,
                       40.0,
                       false});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Runs, SameForEveryThreadCount, ::testing::ValuesIn(thread_cases()),
                         [](const ::testing::TestParamInfo<ThreadCase>& info) {
                           return info.param.name;
                         });

struct Setting {
  const char* name;
  const char* value;
  bool refused;
};

void PrintTo(const Setting& s, std::ostream* os) {
  *os << "HV_THREADS='" << s.value << "'";
}

class ThreadSetting : public ::testing::TestWithParam<Setting> {};

// Both sides of each limit: a refused value ends the run before any result file.
TEST_P(ThreadSetting, AcceptedOrRefusedWithAMessage) {
  TempDir dir;
  synth::Spec spec;
  spec.duration_s = 60.0;
  synth::write_kaf(dir.file("a.kaf"), synth::synthesize(spec), spec);
  std::string window = "\"";
  window += dir.file("a.kaf");
  window += "\" 0 20 2 Z NS EW TEST\n";
  write_file(dir.file("w.txt"), window);
  write_file(dir.file("p.txt"), "### section processing\n### end processing\n");
  const ChildResult r =
      run_child(built_program("ratiospec"), {dir.file("w.txt"), dir.file("p.txt"), dir.file("res")},
                {{"HV_THREADS", GetParam().value}});
  std::string message = " ERROR : HV_THREADS must be a whole number from 1 to 256: ";
  message += GetParam().value;
  if (GetParam().refused) {
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_EQ(count_of(r.output, message), 1) << r.output;
    EXPECT_FALSE(fs::exists(dir.file("res")));
  } else {
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(fs::exists(dir.file("res")));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, ThreadSetting,
    ::testing::Values(Setting{"zero", "0", true}, Setting{"one", "1", false},
                      Setting{"limit", "256", false}, Setting{"above_limit", "257", true},
                      Setting{"blanks_around", " 2 ", false}, Setting{"word", "all", true},
                      Setting{"negative", "-1", true}),
    [](const ::testing::TestParamInfo<Setting>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hv::test

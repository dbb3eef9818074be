// SPDX-License-Identifier: GPL-3.0-or-later
// Both programs on hostile but realistic command lines: outputs named like inputs,
// results that cannot be completed, overlong names. Inputs must stay intact and a
// failed run must leave no result behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/result_file.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"

namespace hv::test {
namespace {

namespace fs = std::filesystem;

class Safety : public ::testing::Test {
 protected:
  Safety() {
    synth::Spec spec;
    spec.duration_s = 41.0;
    spec.seed = 5;
    spec.resonance_hz = 2.5;
    synth::write_kaf(dir.file("site.kaf"), synth::synthesize(spec), spec);
    const std::string quoted = std::string(1, '"').append(dir.file("site.kaf")).append(1, '"');
    write_file(dir.file("w.txt"), quoted + " 0 20\n" + quoted + " 20 40\n");
    write_file(dir.file("hv.par"), "### section processing\n### end processing\n");
    write_file(dir.file("list.txt"), dir.file("site.kaf") + "\n");
    write_file(dir.file("pick.par"), "1.0 25.0 0.5 2.0 5.0 0.2 1 0 0.0\n");
  }

  // Every file of the folder with its content, to show that nothing changed.
  std::vector<std::pair<std::string, std::string>> snapshot() const {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      if (entry.is_regular_file()) {
        files.emplace_back(entry.path().filename().string(), read_file(entry.path().string()));
      }
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  TempDir dir;
  WorkingDirectory cwd{dir.path()};
};

// An output of a run given as the name (possibly another spelling of it) of an input.
struct SameFileCase {
  std::string label;
  std::string input;   // file of the folder that must survive
  std::string output;  // output argument, relative to the folder
};

std::string case_name(const ::testing::TestParamInfo<SameFileCase>& info) {
  return info.param.label;
}

class RatiospecOutputOnInput : public Safety, public ::testing::WithParamInterface<SameFileCase> {};

TEST_P(RatiospecOutputOnInput, IsRefusedBeforeAnythingIsWritten) {
  const SameFileCase& c = GetParam();
  // Options that ask for every result file, so that each suffixed name is written.
  write_file(dir.file("hv.par"),
             "### section processing\naverage_spectra_out: yes\nsingle_win_out: yes\n"
             "filter_out: yes\nazimuth_step: 30\n### end processing\n");
  if (c.input != c.output) fs::create_symlink(dir.file(c.input), dir.file(c.output));
  const auto before = snapshot();
  // The output name for the result that lands on the input.
  std::string output = dir.file(c.output);
  for (const std::string_view suffix : {"_sp", "_win_002", "_KAF_fi", "_az"}) {
    if (output.ends_with(suffix)) output.resize(output.size() - suffix.size());
  }
  const auto result = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), output});
  EXPECT_EQ(result.status, 2) << result.console;
  EXPECT_NE(result.console.find("the result file would replace an input file"), std::string::npos)
      << result.console;
  EXPECT_NE(result.console.find(dir.file(c.input)), std::string::npos) << result.console;
  EXPECT_TRUE(result.console.ends_with(std::string(no_result_written) + "\n"));
  EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RatiospecOutputOnInput,
    ::testing::Values(SameFileCase{"WindowFile", "w.txt", "w.txt"},
                      SameFileCase{"ParameterFile", "hv.par", "hv.par"},
                      SameFileCase{"Recording", "site.kaf", "site.kaf"},
                      SameFileCase{"LinkToRecordingAsSpectraFile", "site.kaf", "x_sp"},
                      SameFileCase{"LinkToWindowFileAsSecondWindowFile", "w.txt", "x_win_002"},
                      SameFileCase{"LinkToParametersAsFilteredFile", "hv.par", "x_KAF_fi"},
                      SameFileCase{"LinkToRecordingAsAzimuthFile", "site.kaf", "x_az"}),
    case_name);

class CalmpickOutputOnInput : public Safety, public ::testing::WithParamInterface<SameFileCase> {};

TEST_P(CalmpickOutputOnInput, IsRefusedBeforeAnythingIsWritten) {
  const SameFileCase& c = GetParam();
  if (c.input != c.output && !c.input.empty()) {
    fs::create_symlink(dir.file(c.input), dir.file(c.output));
  }
  const auto before = snapshot();
  const auto result = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), c.output});
  EXPECT_EQ(result.status, 230) << result.console;
  EXPECT_TRUE(result.console.ends_with(std::string(no_result_written) + "\n")) << result.console;
  EXPECT_EQ(snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Cases, CalmpickOutputOnInput,
                         ::testing::Values(SameFileCase{"ListFile", "list.txt", "list.txt"},
                                           SameFileCase{"ParameterFile", "pick.par", "pick.par"},
                                           SameFileCase{"Recording", "site.kaf", "site.kaf"},
                                           SameFileCase{"LinkToList", "list.txt", "link"},
                                           SameFileCase{"SideFileName", "",
                                                        "./calmpick_counts.txt"}),
                         case_name);

TEST_F(Safety, CalmpickWritesItsFilesOnlyWhenTheRunEnds) {
  const auto result = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), "picked.txt"});
  ASSERT_EQ(result.status, 0) << result.console;
  EXPECT_FALSE(read_file(dir.file("picked.txt")).empty());
  EXPECT_EQ(read_file(dir.file("calmpick_counts.txt")).find_first_not_of(" 0123456789\n"),
            std::string::npos);
  for (const auto& [name, content] : snapshot()) EXPECT_FALSE(name.ends_with(".tmp")) << name;
}

TEST_F(Safety, CalmpickRefusedParametersLeaveEarlierResultsUntouched) {
  write_file(dir.file("picked.txt"), "earlier\n");
  write_file(dir.file("calmpick_counts.txt"), "earlier counts\n");
  write_file(dir.file("pick.par"), "1.0 25.0 3.0 2.0 5.0 0.2 1 0 0.0\n");  // ratmin > ratmax
  const auto before = snapshot();
  const auto result = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), "picked.txt"});
  EXPECT_EQ(result.status, 220) << result.console;
  EXPECT_EQ(snapshot(), before);
}

TEST_F(Safety, CalmpickKeepsTheWindowsOfRecordingsBeforeAnUnreadableOne) {
  write_file(dir.file("list.txt"), dir.file("site.kaf") + "\n" + dir.file("bad.kaf") + "\n");
  write_file(dir.file("bad.kaf"), "not a recording\n");
  const auto result = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), "picked.txt"});
  EXPECT_EQ(result.status, 200) << result.console;
  EXPECT_NE(read_file(dir.file("picked.txt")).find("site.kaf"), std::string::npos);
}

// Every result that the options below ask for, in a successful run.
const char* const all_results =
    "### section processing\naverage_spectra_out: yes\nsingle_win_out: yes\n"
    "### end processing\n";

// Files may grow to `bytes` only, as on a disk that fills up; writes beyond fail.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    signal_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, signal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*signal_)(int) = nullptr;
};

TEST_F(Safety, RatiospecFailingAfterSomeResultsLeavesNoneOfTheRun) {
  write_file(dir.file("hv.par"), all_results);
  const std::vector<std::string> args{dir.file("w.txt"), dir.file("hv.par"), dir.file("res")};
  ASSERT_LE(run_ratiospec(args).status, 1);
  // The spectra file is written first and is smaller than the per-window files that
  // follow: a limit just above its size lets it through and cuts the next one.
  const auto size = [&](const std::string& name) { return fs::file_size(dir.file(name)); };
  ASSERT_GT(size("res_win_001"), size("res_sp"));
  for (const char* name : {"res", "res_sp", "res_win_001", "res_win_002"}) {
    write_file(dir.file(name), std::string("earlier ").append(name));
  }
  const auto before = snapshot();
  RunResult result{};
  {
    const FileSizeLimit full_disk(size("res_sp") + 1);
    result = run_ratiospec(args);
  }
  EXPECT_EQ(result.status, 2) << result.console;
  EXPECT_NE(result.console.find("can not create or write file"), std::string::npos);
  EXPECT_TRUE(result.console.ends_with(std::string(no_result_written) + "\n")) << result.console;
  EXPECT_EQ(snapshot(), before);
}

TEST_F(Safety, CalmpickOnAFullDiskKeepsTheEarlierResults) {
  write_file(dir.file("picked.txt"), "earlier\n");
  const auto before = snapshot();
  RunResult result{};
  {
    const FileSizeLimit full_disk(10);  // the window file needs a 255-character line
    result = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), "picked.txt"});
  }
  EXPECT_EQ(result.status, 230) << result.console;
  EXPECT_TRUE(result.console.ends_with(std::string(no_result_written) + "\n")) << result.console;
  EXPECT_EQ(snapshot(), before);
}

// Putting a result in place by renaming would replace a device or meet a folder.
TEST_F(Safety, RatiospecRefusesAnOutputThatIsADeviceOrAFolder) {
  // A FIFO of the test's own stands for a device: no test touches a system device.
  fs::create_directory(dir.file("res"));
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  for (const std::string& output : {dir.file("fifo"), dir.file("res")}) {
    const auto result = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), output});
    EXPECT_EQ(result.status, 2) << result.console;
    EXPECT_NE(result.console.find("taken by something other than a file"), std::string::npos)
        << result.console;
  }
  EXPECT_TRUE(fs::is_fifo(dir.file("fifo")));
  EXPECT_TRUE(fs::is_directory(dir.file("res")));
}

TEST_F(Safety, RatiospecChecksItsOutputFolderBeforeReadingRecordings) {
  fs::create_directory(dir.file("ro"));
  fs::permissions(dir.file("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  if (access(dir.file("ro").c_str(), W_OK) == 0) GTEST_SKIP() << "running with write access";
  // The recording is missing: the folder check must come first to be seen.
  write_file(dir.file("w.txt"), "\"" + dir.file("gone.kaf") + "\" 0 20\n");
  const auto result = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), dir.file("ro/res")});
  EXPECT_EQ(result.status, 2) << result.console;
  EXPECT_NE(result.console.find("no file can be created in the folder of the output file"),
            std::string::npos)
      << result.console;
  fs::permissions(dir.file("ro"), fs::perms::owner_all);
}

TEST_F(Safety, RatiospecReadsAParameterFileWithCarriageReturnsAlone) {
  write_file(dir.file("hv.par"),
             "### section processing\raverage_spectra_out: yes\r### end processing\r");
  const auto result = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), dir.file("res")});
  EXPECT_LE(result.status, 1) << result.console;
  EXPECT_TRUE(fs::exists(dir.file("res_sp"))) << result.console;
}

// A gain so small that a sample divided by it is infinite: both programs refuse the
// recording instead of producing NaN curves or no windows without a word.
TEST_F(Safety, SamplesThatOverflowWhenScaledAreAnErrorInBothPrograms) {
  synth::Spec spec;
  spec.duration_s = 41.0;
  synth::write_kaf(dir.file("site.kaf"), synth::synthesize(spec), spec, {"GAIN = 1e-38"});
  const auto hv = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), dir.file("res")});
  EXPECT_EQ(hv.status, 2) << hv.console;
  EXPECT_NE(hv.console.find("not a finite number"), std::string::npos) << hv.console;
  EXPECT_FALSE(fs::exists(dir.file("res")));
  const auto pick = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), "picked.txt"});
  EXPECT_EQ(pick.status, 200) << pick.console;
  EXPECT_NE(pick.console.find("not a finite number"), std::string::npos) << pick.console;
}

// Output names around the 200-character limit: the limit itself is accepted and one
// more character refused, never cut to another name.
struct LengthCase {
  int length;
  bool accepted;
};

class OverlongOutput : public Safety, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(OverlongOutput, RatiospecRefusesWhatItWouldCut) {
  const std::string folder = dir.path().string() + "/";
  const int length = GetParam().length;
  const std::string output =
      folder + std::string(static_cast<std::size_t>(length) - folder.size(), 'r');
  const auto result = run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), output});
  if (GetParam().accepted) {
    EXPECT_LE(result.status, 1) << result.console;
    EXPECT_TRUE(fs::exists(output));
  } else {
    EXPECT_EQ(result.status, 2) << result.console;
    EXPECT_FALSE(fs::exists(output.substr(0, 200)));
  }
}

TEST_P(OverlongOutput, CalmpickRefusesWhatItWouldCut) {
  const int length = GetParam().length;
  const std::string output(static_cast<std::size_t>(length), 'p');
  const auto result = run_calmpick({dir.file("list.txt"), dir.file("pick.par"), output});
  if (GetParam().accepted) {
    EXPECT_EQ(result.status, 0) << result.console;
    EXPECT_TRUE(fs::exists(dir.file(output)));
  } else {
    EXPECT_EQ(result.status, 230) << result.console;
    EXPECT_FALSE(fs::exists(dir.file(output.substr(0, 200))));
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, OverlongOutput,
                         ::testing::Values(LengthCase{200, true}, LengthCase{201, false},
                                           LengthCase{260, false}),
                         [](const auto& info) {
                           return "Length" + std::to_string(info.param.length);
                         });

}  // namespace
}  // namespace hv::test

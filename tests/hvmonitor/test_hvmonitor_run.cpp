// SPDX-License-Identifier: GPL-3.0-or-later
// hvmonitor on a generated archive of 30 hours at 10 Hz whose resonance moves from
// 2 Hz to 4 Hz at 06:00 on its second day, with a minute missing in one block.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "hvmonitor/hvmonitor.hpp"
#include "readers/recording.hpp"
#include "tests/support/child.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"
#include "tools/synth_mseed.hpp"

namespace hv::test {
namespace {

constexpr double rate = 10.0;
constexpr std::int64_t hour = 36000;  // samples
const double t0 = *utc_seconds(2021, 3, 1, 20, 0, 0);
constexpr std::int64_t switch_at = 10 * hour;  // 2021-03-02T06:00:00
constexpr std::int64_t total = 30 * hour;
// The archive's first sample comes 30 s after its first block starts.
constexpr std::int64_t first_sample = 300;
// The missing minute, from 2021-03-02T00:30:00 (inside block 5).
constexpr std::int64_t gap_from = 4 * hour + hour / 2, gap_samples = 600;

const char* codes[3] = {"HHZ", "HHN", "HHE"};

// Integer counts of the three components over the whole archive.
const std::array<std::vector<double>, 3>& archive_samples() {
  static const std::array<std::vector<double>, 3> samples = [] {
    std::array<std::vector<double>, 3> out;
    for (int part = 0; part < 2; ++part) {
      synth::Spec spec;
      spec.dt = 1.0 / rate;
      spec.seed = 7 + part;
      spec.resonance_hz = part == 0 ? 2.0 : 4.0;
      spec.duration_s = static_cast<double>((part == 0 ? switch_at : total - switch_at) - 1) / rate;
      const synth::Recording r = synth::synthesize(spec);
      for (const auto* c : {&r.z, &r.ns, &r.ew}) {
        auto& dest = out[static_cast<std::size_t>(c == &r.z ? 0 : c == &r.ns ? 1 : 2)];
        for (const float v : *c) dest.push_back(std::round(1000.0 * v));
      }
    }
    return out;
  }();
  return samples;
}

// Samples from..to - 1 of every channel, the missing minute left out.
std::vector<synth::MseedBlock> slice(std::int64_t from, std::int64_t to) {
  std::vector<synth::MseedBlock> blocks;
  for (std::size_t k = 0; k < 3; ++k) {
    for (const auto& [a, b] : {std::pair{from, std::min(to, gap_from)},
                               std::pair{std::max(from, gap_from + gap_samples), to}}) {
      if (a >= b) continue;
      synth::MseedBlock m;
      m.channel = codes[k];
      m.rate = rate;
      m.start_us = std::llround((t0 + static_cast<double>(a) / rate) * 1.0e6);
      m.samples.assign(archive_samples()[k].begin() + a, archive_samples()[k].begin() + b);
      blocks.push_back(std::move(m));
    }
  }
  return blocks;
}

const std::string selection = "1.0 25.0 0.5 2.0 20.0 0.0 0 0 0.0\n";
const std::string processing =
    "### section processing\n### end processing\n"
    "### section monitor\nblock: 3600\nblock_files: yes\n### end monitor\n";

struct Table {
  std::vector<std::vector<std::string>> rows;  // the words of each block row
};

Table table_of(const std::string& path) {
  Table t;
  for (const std::string& line : read_lines(path)) {
    if (line.rfind(" #", 0) == 0) continue;
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    t.rows.push_back(words);
  }
  return t;
}

// Runs hvmonitor in dir on the files with HV_THREADS threads.
int monitor(const TempDir& dir, const std::vector<std::string>& files, int threads,
            std::string* console = nullptr) {
  const WorkingDirectory here(dir.path());
  std::string list;
  for (const auto& f : files) list += f + "\n";
  write_file("list", list);
  write_file("calmpick.par", selection);
  write_file("ratiospec.par", processing);
  setenv("HV_THREADS", std::to_string(threads).c_str(), 1);
  std::ostringstream out;
  const std::vector<std::string> args{"list", "calmpick.par", "ratiospec.par", "out"};
  const int status = hvmonitor_run(args, out);
  unsetenv("HV_THREADS");
  if (console) *console = out.str();
  return status;
}

// The archive split one file per channel per UTC day, listed in no particular order,
// run once with two threads and block files.
const TempDir& split_run() {
  static const std::unique_ptr<TempDir> dir = [] {
    auto d = std::make_unique<TempDir>();
    std::vector<std::string> files;
    for (const std::int64_t day_start : {first_sample, 4 * hour, 28 * hour}) {
      const std::int64_t day_end = day_start == first_sample ? 4 * hour
                                   : day_start == 4 * hour   ? 28 * hour
                                                             : total;
      for (const synth::MseedBlock& b : slice(day_start, day_end)) {
        const std::string name = b.channel + "_" + std::to_string(day_start) + "_" +
                                 std::to_string(b.start_us) + ".mseed";
        synth::write_miniseed(d->file(name), std::vector{b});
        files.insert(files.begin(), name);
      }
    }
    if (monitor(*d, files, 2) != monitor_done) throw std::runtime_error("the split run failed");
    return d;
  }();
  return *dir;
}

class Monitor : public ::testing::Test {
 protected:
  const TempDir* split_ = &split_run();
};

TEST_F(Monitor, RowsFollowTheResonanceHourByHourAndTheGapSplitsItsBlock) {
  const Table t = table_of(split_->file("out"));
  ASSERT_EQ(t.rows.size(), 30u);
  EXPECT_EQ(t.rows[0][0], "2021-03-01T20:00:00.000");
  EXPECT_EQ(t.rows[0][2], "3570.0");
  EXPECT_EQ(t.rows[29][1], "2021-03-03T02:00:00.000");
  for (std::size_t b = 0; b < t.rows.size(); ++b) {
    const double fo = std::stod(t.rows[b][5]);
    const double expected = b < 10 ? 2.0 : 4.0;
    EXPECT_NEAR(fo, expected, 0.15 * expected) << "block " << b + 1;
    EXPECT_EQ(t.rows[b].back(), "-") << "block " << b + 1;
  }
  // Block 5 lost a minute; its block file lists windows from both of its stretches.
  EXPECT_EQ(t.rows[4][2], "3540.0");
  EXPECT_EQ(t.rows[5][2], "3600.0");
  int before = 0, after = 0;
  for (const std::string& line : read_lines(split_->file("out_blk_0005"))) {
    if (line.rfind(" # 2021-03-02T00:00:00.000 ", 0) == 0) ++before;
    if (line.rfind(" # 2021-03-02T00:31:00.000 ", 0) == 0) ++after;
  }
  EXPECT_GT(before, 0);
  EXPECT_GT(after, 0);
  EXPECT_EQ(std::to_string(before + after), t.rows[4][4]);
}

// One file for all, or one per channel per day, and any thread count: the same bytes.
TEST_F(Monitor, OneFileAndAnyThreadCountGiveTheSameBytes) {
  TempDir one;
  synth::write_miniseed(one.file("all.mseed"), slice(first_sample, total), true);
  for (const int threads : {1, 3}) {
    ASSERT_EQ(monitor(one, {"all.mseed"}, threads), monitor_done);
    for (const std::string name : {"out", "out_hv", "out_blk_0005", "out_blk_0030"}) {
      EXPECT_EQ(read_file(one.file(name)), read_file(split_->file(name)))
          << name << " with " << threads << " threads";
    }
  }
}

// A block, its stretches written as files of their own and run through calmpick
// and ratiospec, gives the same windows, rows and Fo: block 12 (07:00 to 08:00 on the
// second day) in one file, block 5 in two files on either side of its gap.
class MonitorAgreement : public Monitor, public ::testing::WithParamInterface<int> {};

TEST_P(MonitorAgreement, ABlockEqualsCalmpickThenRatiospecOnItsStretchFiles) {
  const int number = GetParam();
  const std::int64_t from = (number - 1) * hour, to = number * hour;
  TempDir own;
  const WorkingDirectory here(own.path());
  std::string list;
  for (const auto& [a, b] : {std::pair{from, std::min(to, gap_from)},
                             std::pair{std::max(from, gap_from + gap_samples), to}}) {
    if (a >= b) continue;
    const std::string name = "part" + std::to_string(a) + ".mseed";
    synth::write_miniseed(name, slice(a, b), true);
    list += name + "\n";
  }
  write_file("list", list);
  write_file("calmpick.par", selection);
  write_file("ratiospec.par", processing);
  ASSERT_EQ(run_calmpick({"list", "calmpick.par", "windows"}).status, 0);
  ASSERT_LE(run_ratiospec({"windows", "ratiospec.par", "result"}).status, 1);

  const auto after_options = [](const std::string& path, bool window_lines) {
    std::vector<std::string> kept;
    bool past = false;
    for (const std::string& line : read_lines(path)) {
      past = past || line == " ### end processing";
      if (window_lines && !past && line.rfind(" # ", 0) == 0) {
        // The window times and codes, without the name of the recording.
        kept.push_back(line.substr(line.find(' ', 3)));
      } else if (!window_lines && past) {
        kept.push_back(line);
      }
    }
    return kept;
  };
  char name[32];
  std::snprintf(name, sizeof name, "out_blk_%04d", number);
  const std::string block = split_->file(name);
  EXPECT_EQ(after_options(block, false), after_options("result", false));
  EXPECT_EQ(after_options(block, true), after_options("result", true));
  const Table t = table_of(split_->file("out"));
  EXPECT_EQ(std::to_string(read_lines("windows").size()),
            t.rows[static_cast<std::size_t>(number - 1)][4]);
}

INSTANTIATE_TEST_SUITE_P(Blocks, MonitorAgreement, ::testing::Values(12, 5),
                         [](const auto& info) { return "block_" + std::to_string(info.param); });

// The site report's criteria, read from each block file, against the table's verdicts.
TEST_F(Monitor, TheReportsCriteriaOnEachBlockFileGiveTheTablesVerdicts) {
  const std::string script =
      "import sys\n"
      "from report import results, criteria\n"
      "for path in sys.argv[1:]:\n"
      "    hv = results.read_averaged_hv(path)\n"
      "    a = criteria.assess(hv.freq, hv.hv, hv.sigma, hv.window_len, hv.n_kept,\n"
      "                        hv.fo_minus, hv.fo_plus)\n"
      "    print(a.reliable, a.clear_passed)\n";
  std::vector<std::string> args{"-c", script};
  for (int b = 1; b <= 30; ++b) {
    char name[32];
    std::snprintf(name, sizeof name, "out_blk_%04d", b);
    args.push_back(split_->file(name));
  }
  const ChildResult py =
      // The report's modules alone, without the package's compiled module.
      run_child("/usr/bin/python3", args,
                {{"PYTHONPATH", std::string(HV_SOURCE_DIR) + "/python/hvsite"}});
  ASSERT_EQ(py.status, 0) << py.output;
  const std::vector<std::string> lines = split_lines(py.output);
  const Table t = table_of(split_->file("out"));
  ASSERT_EQ(lines.size(), t.rows.size());
  int reliable = 0;
  for (std::size_t b = 0; b < lines.size(); ++b) {
    EXPECT_EQ(lines[b], t.rows[b][10] + " " + t.rows[b][11]) << "block " << b + 1;
    reliable += t.rows[b][10] == "yes";
  }
  EXPECT_GT(reliable, 0);
}

// Refused inputs: a defined status, a message, and no result file (beside one
// accepted run of the same shape).
struct Refused {
  const char* name;
  const char* monitor_lines;  // of the monitor section
  const char* list;           // the list file's text
  int status;
  const char* message;
};

class MonitorRefusals : public ::testing::TestWithParam<Refused> {};

TEST_P(MonitorRefusals, StopWithTheirStatusAndWriteNothing) {
  TempDir dir;
  const WorkingDirectory here(dir.path());
  synth::write_miniseed("a.mseed", slice(0, 3000), true);
  std::vector<synth::MseedBlock> other = slice(3000, 3100);
  for (auto& b : other) b.station = "OTH";
  synth::write_miniseed("other.mseed", other, true);
  // A record near the end damaged: found only when its block (the last) is read.
  std::string damaged = synth::pack_miniseed(slice(0, 3000), true);
  damaged[damaged.size() - 400] = static_cast<char>(damaged[damaged.size() - 400] ^ 0x5a);
  write_file("damaged.mseed", damaged);
  write_file("list", GetParam().list);
  write_file("calmpick.par", selection);
  write_file("ratiospec.par", std::string("### section processing\n### end processing\n"
                                          "### section monitor\n") +
                                  GetParam().monitor_lines + "### end monitor\n");
  std::ostringstream console;
  const std::vector<std::string> args{"list", "calmpick.par", "ratiospec.par", "out"};
  const int status = hvmonitor_run(args, console);
  EXPECT_EQ(status, GetParam().status);
  EXPECT_NE(console.str().find(GetParam().message), std::string::npos) << console.str();
  EXPECT_EQ(std::filesystem::exists("out"), status == monitor_done);
  EXPECT_EQ(std::filesystem::exists("out_hv"), status == monitor_done);
  EXPECT_FALSE(status != monitor_done && std::filesystem::exists("out_blk_0001"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MonitorRefusals,
    ::testing::Values(Refused{"accepted_the_same_section_with_a_block_of_300_s", "block: 300\n",
                              "a.mseed\n", monitor_done, "1 blocks, 1 with an H/V"},
                      Refused{"step_of_zero", "step: 0\n", "a.mseed\n", monitor_parameters,
                              "value '0' of key 'step' refused"},
                      Refused{"step_giving_more_than_a_million_blocks", "step: 0.0001\n",
                              "a.mseed\n", monitor_parameters, "blocks from"},
                      Refused{"end_before_start",
                              "start: 2021-03-01T21:00:00\nend: 2021-03-01T20:00:00\n", "a.mseed\n",
                              monitor_parameters, "is not after start"},
                      Refused{"unknown_key", "blocks: 600\n", "a.mseed\n", monitor_parameters,
                              "undefined parameter key : 'blocks'"},
                      Refused{"block_shorter_than_a_window", "block: 19.9\n", "a.mseed\n",
                              monitor_parameters, "shorter than one calm window"},
                      Refused{"empty_list", "", "\n  \n", monitor_archive, "names no file"},
                      Refused{"missing_file", "", "a.mseed\nnone.mseed\n", monitor_archive,
                              "cannot be opened or read"},
                      Refused{"another_station", "", "a.mseed\nother.mseed\n", monitor_archive,
                              "holds station OTH"},
                      Refused{"damaged_record_after_blocks_were_written",
                              "block: 60\nblock_files: yes\n", "damaged.mseed\n", monitor_archive,
                              "cannot be used"},
                      Refused{"nothing_between_start_and_end", "start: 2021-03-04T00:00:00\n",
                              "a.mseed\n", monitor_archive, "holds no sample from"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hv::test

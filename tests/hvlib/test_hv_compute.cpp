// SPDX-License-Identifier: GPL-3.0-or-later
// The H/V computation as a library call: values in, a result value out.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "hvlib/hv_compute.hpp"
#include "hvlib/select_windows.hpp"
#include "readers/read_recording.hpp"
#include "tests/support/result_table.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"

namespace hv {
namespace {

Recording recording_of(const synth::Recording& s) {
  Recording r;
  r.dt = static_cast<float>(s.dt);
  r.component = {s.z, s.ns, s.ew};
  return r;
}

bool stopped(const HvResult& r) {
  return std::any_of(r.notices.begin(), r.notices.end(),
                     [](const Notice& n) { return n.status % 2 != 0; });
}

// The programs stop at 600001 samples per component; the library holds what it is given.
TEST(HvCompute, RecordingLongerThanTheProgramsHoldIsComputed) {
  synth::Spec spec;
  spec.duration_s = 7000.0;
  spec.resonance_hz = 2.5;
  const std::vector<Recording> recordings{recording_of(synth::synthesize(spec))};
  ASSERT_EQ(recordings[0].nsamp(), 700001);
  // Windows past sample 600001 only.
  std::vector<HvWindow> windows;
  for (float t = 6100.0f; t + 60.0f <= 7000.0f; t += 60.0f) windows.push_back({t, t + 59.99f});
  const std::vector<int> recording_of(windows.size(), 0);
  MemorySource source(recordings, recording_of);
  const HvOptions options = parse_options(PARAMETERS{});
  const HvResult r = compute_hv(options, windows, source, 2);
  ASSERT_FALSE(stopped(r));
  EXPECT_EQ(r.nwin, 15);
  EXPECT_EQ(r.N, 6000);
  EXPECT_NEAR(r.fo.fo, 2.5, 0.25);
}

// A front end without the programs' order of messages hears of a refused option
// before any recording is read.
class CountingSource : public RecordingSource {
 public:
  bool same_recording(int) const override { return true; }
  std::optional<Recording> read(int) override {
    ++reads;
    return std::nullopt;
  }
  int reads = 0;
};

TEST(HvCompute, RefusedOptionStopsBeforeAnyRecordingIsRead) {
  PARAMETERS par;
  par.merge_type = "quadratc";
  CountingSource source;
  const std::vector<HvWindow> windows{{0.0f, 10.0f}};
  const HvResult r = compute_hv(parse_options(par), windows, source, 1);
  EXPECT_EQ(source.reads, 0);
  ASSERT_EQ(r.notices.size(), 1u);
  EXPECT_EQ(r.notices[0].code, Note::merge_unknown);
}

// The library alone on the bundled recording: read, calm windows with calmpick's
// defaults, H/V with ratiospec's defaults. The programs on the same recording give
// the same windows and the very numbers of the averaged file.
TEST(HvCompute, BundledRecordingGivesTheNumbersOfThePrograms) {
  const std::string real = std::string(HV_SOURCE_DIR) + "/data/UT.STN11.A2_C50.miniseed";
  ReadNotes notes;
  const std::optional<Recording> rec = read_recording(Name(real), format::miniseed, {}, notes);
  ASSERT_TRUE(rec);
  EXPECT_TRUE(notes.empty()) << "nothing to say of a good read";
  SelectionParameters par;
  complete_selection_parameters(par);
  const CalmWindows calm = select_calm_windows(*rec, par);
  ASSERT_EQ(calm.outcome, CalmWindows::Outcome::found);
  std::vector<HvWindow> windows;
  for (int k = 1; k <= calm.windows.count; ++k)
    windows.push_back(window_times(calm.windows, k, rec->dt));
  const std::vector<Recording> recordings{*rec};
  const std::vector<int> recording_of(windows.size(), 0);
  MemorySource source(recordings, recording_of);
  const HvResult r = compute_hv(parse_options(PARAMETERS{}), windows, source, 2);
  ASSERT_FALSE(stopped(r));

  test::TempDir dir;
  test::write_file(dir.file("list.txt"), real + "\n");
  test::write_file(dir.file("pick.par"), "/\n");
  test::write_file(dir.file("hv.par"), "### section processing\n### end processing\n");
  const test::WorkingDirectory cwd(dir.path());
  ASSERT_EQ(
      test::run_calmpick({dir.file("list.txt"), dir.file("pick.par"), dir.file("w.txt")}).status,
      0);
  const auto lines = test::read_lines(dir.file("w.txt"));
  ASSERT_EQ(lines.size(), windows.size());
  for (std::size_t k = 0; k < lines.size(); ++k) {
    EXPECT_EQ(lines[k].substr(203, 8), fmt_F(windows[k].start, 8, 3)) << k;
    EXPECT_EQ(lines[k].substr(214, 8), fmt_F(windows[k].end, 8, 3)) << k;
  }
  ASSERT_LE(test::run_ratiospec({dir.file("w.txt"), dir.file("hv.par"), dir.file("hv")}).status, 1);
  const test::Rows rows = test::rows_of_file(dir.file("hv"));
  ASSERT_EQ(static_cast<int>(rows.size()), r.rows.jlast - r.rows.jfirst + 1);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto j = static_cast<std::size_t>(r.rows.jfirst - 1) + i;
    const std::array<float, 7> got = {r.f[j],     r.mean[0][j], r.mean[1][j], r.mean[2][j],
                                      r.sd[0][j], r.sd[1][j],   r.sd[2][j]};
    for (std::size_t c = 0; c < got.size(); ++c) {
      ASSERT_EQ(fmt_E(got[c], 15, 7), fmt_E(rows[i][c], 15, 7)) << "row " << i << " column " << c;
    }
  }
}

}  // namespace
}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// The H/V computation as a library call: values in, a result value out.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "hvlib/hv_compute.hpp"
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

}  // namespace
}  // namespace hv

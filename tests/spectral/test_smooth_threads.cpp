// SPDX-License-Identifier: GPL-3.0-or-later
// The smoothing plan applied with its rows spread over threads, and with each kernel
// this processor runs: the columns must come out bit for bit as from one thread with
// the baseline kernel.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "common/workers.hpp"
#include "spectral/apply_smooth.hpp"
#include "spectral/deffre.hpp"
#include "spectral/frequency_step.hpp"

namespace hv {
namespace {

struct SplitCase {
  const char* smooth;
  const char* spacing;
  int N;
  std::size_t cap;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
  *os << c.smooth << " on " << c.spacing << " (N = " << c.N << "), cap " << c.cap;
}

std::string split_name(const ::testing::TestParamInfo<SplitCase>& info) {
  std::string name = std::string(info.param.smooth) + "_" + info.param.spacing + "_N" +
                     std::to_string(info.param.N) + (info.param.cap == 0 ? "_computed" : "");
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

using Columns = std::array<std::vector<float>, 3>;

class RowSplit : public ::testing::TestWithParam<SplitCase> {
 protected:
  void SetUp() override {
    const SplitCase& p = GetParam();
    const float dt = 0.01f;
    df_ = frequency_step(p.N, dt);
    nf_ = p.N / 2 + 1;
    int nfreq = 0;
    Notices notes;
    ASSERT_EQ(DEFFRE(p.N, dt, *parse_freq_spacing(p.spacing).value, f_, nfreq, notes), 0);
    for (std::size_t c = 0; c < 3; ++c) {
      for (int k = 0; k < nf_; ++k) {
        S_[c].push_back(static_cast<float>((1.5 + std::sin(0.29 * k + static_cast<double>(c))) /
                                           (1.0 + 0.001 * k)));
      }
    }
  }

  SmoothPlan plan(SimdLevel level) const {
    const SplitCase& p = GetParam();
    const bool fft = std::string_view(p.spacing) == "fft";
    return make_smooth_plan(*parse_smooth(p.smooth).value, fft, df_, nf_, f_, p.cap, level);
  }

  Columns apply(const SmoothPlan& plan, Workers* workers) const {
    Columns O;
    for (auto& o : O) o.assign(f_.size(), std::nanf(""));
    int jfirst = 0, jlast = 0;
    Notices notes;
    EXPECT_NE(
        APPLY_SMOOTH(plan, S_[0], S_[1], S_[2], O[0], O[1], O[2], 1, jfirst, jlast, notes, workers),
        1);
    return O;
  }

  std::vector<float> f_;
  float df_ = 0.0f;
  int nf_ = 0;
  Columns S_;
};

bool same_bits(const Columns& a, const Columns& b) {
  for (std::size_t c = 0; c < 3; ++c) {
    if (a[c].size() != b[c].size() ||
        std::memcmp(a[c].data(), b[c].data(), a[c].size() * sizeof(float)) != 0) {
      return false;
    }
  }
  return true;
}

TEST_P(RowSplit, SameBitsForEveryThreadCountAndKernel) {
  const SmoothPlan serial = plan(SimdLevel::baseline);
  ASSERT_GT(serial.shares(), 1) << "the plan is not split: the test would prove nothing";
  const Columns want = apply(serial, nullptr);
  for (const SimdLevel level : all_simd_levels) {
    if (!simd_level_supported(level)) continue;
    const SmoothPlan p = plan(level);
    for (const int threads : {1, 2, 3, 8}) {
      Workers workers(threads);
      EXPECT_TRUE(same_bits(apply(p, &workers), want))
          << simd_level_name(level) << ", " << threads << " threads";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RowSplit,
    ::testing::Values(SplitCase{"konno-ohmachi:40", "fft", 20001, default_weight_cap},
                      SplitCase{"konno-ohmachi:40", "fft", 2001, 0},
                      SplitCase{"konno-ohmachi:10", "log:0.1:45:3000", 20001, 0},
                      SplitCase{"log:20:tri", "log:0.1:45:3000", 20001, default_weight_cap},
                      SplitCase{"linear:0.5:tri", "linear:0.5:45:3000", 20001, 0},
                      SplitCase{"linear:0.5:box", "fft", 20001, default_weight_cap}),
    split_name);

}  // namespace
}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "spectral/azimuth.hpp"
#include "spectral/frequency_step.hpp"
#include "spectral/merge_hv.hpp"
#include "spectral/xfft.hpp"
#include "tests/support/notices.hpp"
#include "tests/support/result_table.hpp"

namespace hv {
namespace {

using test::noise;

constexpr float dt = 0.01f;

// Amplitude spectrum of x through XFFT, the path every component takes.
std::vector<float> amplitude(const std::vector<float>& x, const FftPlan& plan, FftWork& work) {
  const int N = static_cast<int>(x.size());
  std::vector<float> S(static_cast<std::size_t>(N / 2 + 1));
  float df = 0.0f;
  int nf = 0;
  EXPECT_EQ(XFFT(x, N, dt, 1, plan, work, S, S, S, df, nf), 0);
  return S;
}

struct RotationCase {
  const char* name;
  int N;
  bool pair;  // horizontals transformed together as x_NS + i·x_EW
};

class RotatedSpectra : public ::testing::TestWithParam<RotationCase> {};

// The rotated spectra built from the two transforms equal the spectra of the rotated
// time series transformed directly; at 0 and 90 degrees, from separate transforms, they
// are the component spectra bit for bit.
TEST_P(RotatedSpectra, EqualTheSpectraOfTheRotatedSeries) {
  const int N = GetParam().N;
  const int nf = N / 2 + 1;
  const std::vector<float> ns = noise(N, 3), ew = noise(N, 4);
  const FftPlan plan(N);
  FftWork work(N);
  const float df = frequency_step(N, dt);
  std::vector<float> f;
  for (int k = 1; k < nf; ++k) f.push_back(static_cast<float>(k) * df);
  const int nfreq = static_cast<int>(f.size());
  const SmoothPlan smooth = make_smooth_plan(Smoothing{}, true, df, nf, f);
  ASSERT_EQ(smooth.status(), 0);
  const std::optional<AzimuthSet> set = parse_azimuth_step("15").value;
  ASSERT_TRUE(set);

  AzimuthWork az_work(nf, nfreq);
  AzimuthMatrices out(set->count(), nfreq, 2);
  std::vector<std::complex<double>> east(static_cast<std::size_t>(nf));
  if (GetParam().pair) {
    const auto data = work.complex_data();
    for (int k = 0; k < N; ++k) data[static_cast<std::size_t>(k)] = {ns[k], ew[k]};
    plan.forward_complex(work);
    split_pair(work.complex_data(), az_work);
    east = az_work.east;
  } else {
    amplitude(ns, plan, work);
    keep_spectrum(work.real_output(), az_work.north);
    amplitude(ew, plan, work);
    std::copy_n(work.real_output().begin(), nf, east.begin());
  }
  const std::vector<float> ones(static_cast<std::size_t>(nfreq), 1.0f);
  AZIMUTH_RATIOS(smooth, *set, az_work.north, east, dt, ones, 2, out, az_work);

  for (int a = 0; a < set->count(); ++a) {
    const double theta = set->degrees[static_cast<std::size_t>(a)] * std::numbers::pi / 180.0;
    std::vector<float> h(static_cast<std::size_t>(N));
    for (int k = 0; k < N; ++k) {
      h[k] = static_cast<float>(std::cos(theta) * ns[k] + std::sin(theta) * ew[k]);
    }
    const std::vector<float> direct = amplitude(h, plan, work);
    const std::span<float> column = out.column(a, 2);
    const bool exact = !GetParam().pair && (a == 0 || set->degrees[a] == 90.0);
    for (int j = 0; j < nfreq; ++j) {
      if (exact) {
        ASSERT_EQ(column[j], direct[j + 1]) << "azimuth " << set->degrees[a] << " row " << j;
      } else {
        ASSERT_NEAR(column[j], direct[j + 1], 2e-5 * (1.0 + direct[j + 1]))
            << "azimuth " << set->degrees[a] << " row " << j;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, RotatedSpectra,
                         ::testing::Values(RotationCase{"even_separate", 256, false},
                                           RotationCase{"odd_separate", 1001, false},
                                           RotationCase{"even_pair", 256, true},
                                           RotationCase{"odd_pair", 1001, true}),
                         [](const ::testing::TestParamInfo<RotationCase>& info) {
                           return info.param.name;
                         });

// Four azimuths (one group of three and one alone): each azimuth's average and Fo
// come from its own matrix. Its two windows hold 2 and 8 times a peak at row 5 + 3a,
// so the geometric mean is 4 times the peak and Fo its frequency.
TEST(AzimuthAverages, EachAzimuthFromItsOwnMatrix) {
  constexpr int nfreq = 30, count = 4;
  std::vector<float> f;
  for (int j = 1; j <= nfreq; ++j) f.push_back(static_cast<float>(j));
  AzimuthMatrices az(count, nfreq, 2);
  const auto shape = [](int a, int j) {
    return std::max(1.0f, 6.0f - static_cast<float>(std::abs(j - (5 + 3 * a))));
  };
  for (int a = 0; a < count; ++a) {
    for (int j = 1; j <= nfreq; ++j) {
      az.column(a, 1)[j - 1] = 2.0f * shape(a, j);
      az.column(a, 2)[j - 1] = 8.0f * shape(a, j);
    }
  }
  const AzimuthAverages avg = average_azimuths(az, 2, f, RowRange{1, nfreq});
  for (int a = 0; a < count; ++a) {
    for (int j = 1; j <= nfreq; ++j) {
      EXPECT_NEAR(avg.curve(a, nfreq)[j - 1], 4.0f * shape(a, j), 1e-5f * shape(a, j));
    }
    EXPECT_FLOAT_EQ(avg.fo[static_cast<std::size_t>(a)].fo, static_cast<float>(5 + 3 * a));
  }
}

struct StepCase {
  const char* name;
  const char* value;
  int count;  // -1: refused
};

class AzimuthStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(AzimuthStep, Reads) {
  const StepCase& c = GetParam();
  PARAMETERS par;
  par.azimuth_step = c.value;
  const Parsed<AzimuthSet> parsed = parse_azimuth_step(c.value);
  const std::optional<AzimuthSet>& set = parsed.value;
  std::ostringstream console;
  console << test::rendered(test::refusal_of(parsed), par);
  if (c.count < 0) {
    EXPECT_FALSE(set);
    EXPECT_EQ(console.str().rfind("  incorrect  option(s) for 'azimuth_step':\n", 0), 0u);
    return;
  }
  ASSERT_TRUE(set) << console.str();
  ASSERT_EQ(set->count(), c.count);
  for (int k = 0; k < c.count; ++k) {
    const double theta = set->degrees[static_cast<std::size_t>(k)];
    EXPECT_NEAR(theta, k * 180.0 / c.count, 1e-12);
    EXPECT_NEAR(set->cosine[k], std::cos(theta * std::numbers::pi / 180.0), 1e-15);
    EXPECT_NEAR(set->sine[k], std::sin(theta * std::numbers::pi / 180.0), 1e-15);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, AzimuthStep,
    ::testing::Values(StepCase{"blank", "", 0}, StepCase{"ten", "10", 18},
                      StepCase{"seven_and_a_half", " 7.5", 24}, StepCase{"half_turn", "180", 1},
                      StepCase{"one_degree", "1", 180}, StepCase{"below_one_degree", "0.5", -1},
                      StepCase{"not_dividing", "7", -1}, StepCase{"zero", "0", -1},
                      StepCase{"negative", "-10", -1}, StepCase{"text", "ten", -1},
                      StepCase{"two_values", "10:20", -1}, StepCase{"above_half_turn", "200", -1}),
    [](const ::testing::TestParamInfo<StepCase>& info) { return info.param.name; });

}  // namespace
}  // namespace hv

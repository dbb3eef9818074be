// SPDX-License-Identifier: GPL-3.0-or-later
// Butterworth filters against closed forms: the textbook digital second-order
// coefficients, the squared magnitude of a prewarped Butterworth response, zero
// phase, the choice of kind and the checks on the corners.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "common/text.hpp"
#include "spectral/hps.hpp"
#include "tests/support/notices.hpp"

namespace hv {
namespace {

constexpr double pi = std::numbers::pi;

// Magnitude response of digital sections at f (Hz), from their coefficients.
double magnitude(const Sections& sections, double f, double dt) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * pi * f * dt);  // z^-1
  std::complex<double> h = 1.0;
  for (const Section& s : sections) {
    h *= (double(s.sn[0]) + z1 * (double(s.sn[1]) + z1 * double(s.sn[2]))) /
         (double(s.sd[0]) + z1 * (double(s.sd[1]) + z1 * double(s.sd[2])));
  }
  return std::abs(h);
}

// Squared magnitude of a second-order Butterworth designed by the bilinear transform
// with prewarping: 1/(1 + W^4) where W is the low-pass prototype frequency that f
// maps to. Run forward and backward, the filter scales a sinusoid by this value.
struct Design {
  std::string name;
  FilterKind kind;
  double fl, fh;  // the corner a kind does not use is ignored
};

void PrintTo(const Design& d, std::ostream* os) {
  *os << d.name;
}

double butterworth_squared(const Design& d, double f, double dt) {
  const double k = std::tan(pi * f * dt);
  const double kl = std::tan(pi * d.fl * dt), kh = std::tan(pi * d.fh * dt);
  double w = 0.0;
  switch (d.kind) {
    case FilterKind::low_pass:
      w = k / kh;
      break;
    case FilterKind::high_pass:
      w = kl / k;
      break;
    case FilterKind::band_pass:
      w = (k * k - kl * kh) / (k * (kh - kl));
      break;
  }
  return 1.0 / (1.0 + std::pow(w, 4));
}

Sections sections_of(const Design& d, float dt) {
  const float fl = static_cast<float>(d.fl), fh = static_cast<float>(d.fh);
  switch (d.kind) {
    case FilterKind::low_pass:
      return low_pass_sections(fh, dt);
    case FilterKind::high_pass:
      return high_pass_sections(fl, dt);
    case FilterKind::band_pass:
      break;
  }
  return band_pass_sections(fl, fh, dt);
}

void filter(const Design& d, std::vector<float>& x, float dt) {
  const float fl = static_cast<float>(d.fl), fh = static_cast<float>(d.fh);
  switch (d.kind) {
    case FilterKind::low_pass:
      return XLPF(x, fh, dt);
    case FilterKind::high_pass:
      return XHPF(x, fl, dt);
    case FilterKind::band_pass:
      return XBPF(x, fl, fh, dt);
  }
}

// ---------------------------------------------------------------------------
// Designed coefficients against the textbook second-order Butterworth:
// K = tan(pi f dt), n = 1 + sqrt2 K + K^2; low-pass b = (K^2, 2K^2, K^2)/n, high-pass
// b = (1, -2, 1)/n; both a = (1, 2(K^2 - 1)/n, (1 - sqrt2 K + K^2)/n).
struct Corner {
  std::string name;
  double f, dt;
};

void PrintTo(const Corner& c, std::ostream* os) {
  *os << c.name;
}

class TextbookCoefficients : public ::testing::TestWithParam<Corner> {};

TEST_P(TextbookCoefficients, LowPassAndHighPass) {
  const auto [name, f, dt] = GetParam();
  const double k = std::tan(pi * f * dt), n = 1.0 + std::sqrt(2.0) * k + k * k;
  const std::vector<double> a = {1.0, 2.0 * (k * k - 1.0) / n,
                                 (1.0 - std::sqrt(2.0) * k + k * k) / n};
  const std::vector<double> low = {k * k / n, 2.0 * k * k / n, k * k / n};
  const std::vector<double> high = {1.0 / n, -2.0 / n, 1.0 / n};
  const float fs = static_cast<float>(f), dts = static_cast<float>(dt);
  for (const auto& [sections, b] :
       {std::pair{low_pass_sections(fs, dts), low}, std::pair{high_pass_sections(fs, dts), high}}) {
    ASSERT_EQ(sections.size(), 1u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_NEAR(sections[0].sn[i], b[i], 2e-6 * std::max(1.0, std::fabs(b[i]))) << i;
      EXPECT_NEAR(sections[0].sd[i], a[i], 2e-6 * std::max(1.0, std::fabs(a[i]))) << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corners, TextbookCoefficients,
                         ::testing::Values(Corner{"f1_dt0p01", 1.0, 0.01},
                                           Corner{"f10_dt0p01", 10.0, 0.01},
                                           Corner{"f0p2_dt0p005", 0.2, 0.005},
                                           Corner{"f45_dt0p01", 45.0, 0.01},
                                           Corner{"f3_dt0p25", 0.3, 0.25}),
                         [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Response of each kind: the squared magnitude is 1/2 at a corner, 0 at DC for a
// high-pass, 1 at DC for a low-pass and 1 at a band's centre; a sinusoid in the middle
// of a long record comes out scaled by that value and with no phase shift.
class Response : public ::testing::TestWithParam<Design> {
 protected:
  static constexpr float dt = 0.01f;
};

TEST_P(Response, SquaredMagnitudeAtCornersDcAndCentre) {
  const Design& d = GetParam();
  const Sections sections = sections_of(d, dt);
  const auto applied = [&](double f) { return std::pow(magnitude(sections, f, dt), 2); };
  if (d.kind != FilterKind::low_pass) {
    EXPECT_NEAR(applied(d.fl), 0.5, 1e-4);
    EXPECT_NEAR(applied(0.0), 0.0, 1e-9);
  }
  if (d.kind != FilterKind::high_pass) {
    EXPECT_NEAR(applied(d.fh), 0.5, 1e-4);
  }
  if (d.kind == FilterKind::low_pass) {
    EXPECT_NEAR(applied(0.0), 1.0, 1e-5);
  }
  if (d.kind == FilterKind::band_pass) {
    const double centre =
        std::atan(std::sqrt(std::tan(pi * d.fl * dt) * std::tan(pi * d.fh * dt))) / (pi * dt);
    EXPECT_NEAR(applied(centre), 1.0, 1e-4);
  }
}

TEST_P(Response, SinusoidComesOutScaledAndInPhase) {
  const Design& d = GetParam();
  for (const double f : {0.7, 1.0, 2.0, 4.0, 10.0, 25.0, 40.0}) {
    std::vector<float> x(20001);
    for (std::size_t i = 0; i < x.size(); ++i) {
      x[i] = static_cast<float>(std::sin(2.0 * pi * f * static_cast<double>(i) * dt));
    }
    filter(d, x, dt);
    const double gain = butterworth_squared(d, f, dt);
    double worst = 0.0;
    for (std::size_t i = 9000; i < 11000; ++i) {
      const double expected = gain * std::sin(2.0 * pi * f * static_cast<double>(i) * dt);
      worst = std::max(worst, std::fabs(x[i] - expected));
    }
    EXPECT_LT(worst, 2e-4) << "f = " << f << " Hz, expected gain " << gain;
  }
}

TEST_P(Response, ImpulseResponseIsSymmetric) {
  const Design& d = GetParam();
  std::vector<float> x(8001, 0.0f);
  const std::size_t mid = 4000;
  x[mid] = 1.0f;
  filter(d, x, dt);
  ASSERT_GT(std::fabs(x[mid]), 1e-3);
  const float peak = *std::max_element(x.begin(), x.end());
  for (std::size_t k = 1; k <= mid; ++k) {
    ASSERT_NEAR(x[mid + k], x[mid - k], 1e-6f * peak) << "lag " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Response,
    ::testing::Values(Design{"high_pass_2", FilterKind::high_pass, 2.0, 0},
                      Design{"low_pass_10", FilterKind::low_pass, 0, 10.0},
                      Design{"band_pass_2_10", FilterKind::band_pass, 2.0, 10.0},
                      Design{"band_pass_0p5_45", FilterKind::band_pass, 0.5, 45.0}),
    [](const auto& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// HPS: the choice of kind at dt = 0.01 s (limit 47.5 Hz, Nyquist 50 Hz).
struct Choice {
  std::string name;
  float fl, fh;
  FilterKind kind;
};

void PrintTo(const Choice& c, std::ostream* os) {
  *os << c.name;
}

class KindChoice : public ::testing::TestWithParam<Choice> {};

TEST_P(KindChoice, AtOneHundredHertz) {
  const Choice& c = GetParam();
  EXPECT_EQ(filter_kind(0.01f, c.fl, c.fh), c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Corners, KindChoice,
    ::testing::Values(Choice{"band_0p5_45", 0.5f, 45.0f, FilterKind::band_pass},
                      Choice{"band_0p5_47p4", 0.5f, 47.4f, FilterKind::band_pass},
                      Choice{"band_0p5_48_is_high", 0.5f, 48.0f, FilterKind::high_pass},
                      Choice{"band_48_49_is_low", 48.0f, 49.0f, FilterKind::low_pass},
                      Choice{"high_option", 1.0f, no_corner, FilterKind::high_pass},
                      Choice{"high_option_above_limit", 48.0f, no_corner, FilterKind::high_pass},
                      Choice{"low_option", no_corner, 10.0f, FilterKind::low_pass}),
    [](const auto& info) { return info.param.name; });

// Three components of equal length, one after the other in x.
Components thirds(std::vector<float>& x) {
  const std::size_t n = x.size() / 3;
  const std::span<float> all(x);
  return {all.first(n), all.subspan(n, n), all.subspan(2 * n, n)};
}

// Mean removal comes first for high-pass and band-pass: a constant record becomes
// exactly zero, while the low-pass keeps it.
TEST(Hps, ConstantRecordBecomesZeroUnlessLowPassed) {
  constexpr int n = 3000;
  for (const auto& [fl, fh] : {std::pair{1.0f, no_corner}, std::pair{1.0f, 10.0f}}) {
    std::vector<float> x(3 * n, 2.5f);
    HPS(thirds(x), 0.01f, fl, fh);
    EXPECT_EQ(*std::max_element(x.begin(), x.end()), 0.0f) << fl << " " << fh;
    EXPECT_EQ(*std::min_element(x.begin(), x.end()), 0.0f) << fl << " " << fh;
  }
  std::vector<float> x(3 * n, 2.5f);
  HPS(thirds(x), 0.01f, no_corner, 10.0f);
  EXPECT_NEAR(x[n / 2], 2.5f, 1e-5f);
  EXPECT_NEAR(x[2 * n + n / 2], 2.5f, 1e-5f);
}

// ---------------------------------------------------------------------------
// The offset_rem values that ask for a filter, at dt = 0.01 s: both sides of every
// limit. Accepted values give their corners; refused ones a message with the reason.
struct CornerCase {
  std::string name;
  std::string option;
  bool accepted;
  float fl, fh;        // when accepted
  std::string reason;  // a fragment of the second line, when refused
};

void PrintTo(const CornerCase& c, std::ostream* os) {
  *os << c.name;
}

class Corners : public ::testing::TestWithParam<CornerCase> {};

TEST_P(Corners, AreCheckedAgainstTheSamplingInterval) {
  const CornerCase& c = GetParam();
  PARAMETERS par;
  par.offset_rem = c.option;
  const Parsed<Conditioning> parsed = parse_offset_rem(c.option);
  Notices notes = test::refusal_of(parsed);
  const auto corners =
      parsed.ok() ? filter_corners(*parsed.value, 0.01f, notes) : std::optional<FilterCorners>{};
  std::ostringstream console;
  console << test::rendered(notes, par);
  ASSERT_EQ(corners.has_value(), c.accepted) << console.str();
  if (c.accepted) {
    EXPECT_EQ(console.str(), "");
    EXPECT_EQ(corners->fl, c.fl);
    EXPECT_EQ(corners->fh, c.fh);
    return;
  }
  const std::string first = "   ERROR in 'offset removal' parameter: " + Option(c.option).str();
  EXPECT_EQ(console.str().substr(0, first.size() + 1), first + "\n");
  EXPECT_NE(console.str().find(c.reason, first.size()), std::string::npos) << console.str();
}

const std::string above_zero = "Hz is not above 0";
const std::string nyquist = "Hz is not below the Nyquist frequency 50 Hz";
const std::string inaccurate = "too close to 0 or to the Nyquist frequency";

INSTANTIATE_TEST_SUITE_P(
    Options, Corners,
    ::testing::Values(
        CornerCase{"high", "high-pass:0.5", true, 0.5f, no_corner, ""},
        CornerCase{"high_just_below_nyquist", "high-pass:49.9", true, 49.9f, no_corner, ""},
        CornerCase{"high_at_nyquist", "high-pass:50", false, 0, 0, nyquist},
        CornerCase{"high_zero", "high-pass:0", false, 0, 0, "corner frequency 0 " + above_zero},
        CornerCase{"high_low_but_accurate", "high-pass:0.05", true, 0.05f, no_corner, ""},
        CornerCase{"high_unstable_in_single", "high-pass:0.003", false, 0, 0, inaccurate},
        // Stable, but its squared response at the corner is 0.43, not 1/2.
        CornerCase{"high_stable_but_inaccurate", "high-pass:0.006", false, 0, 0, inaccurate},
        CornerCase{"high_next_to_nyquist", "high-pass:49.999", false, 0, 0, inaccurate},
        CornerCase{"band_narrow_and_low", "band-pass:0.01:0.02", false, 0, 0, inaccurate},
        CornerCase{"high_missing", "high-pass", false, 0, 0, "a corner frequency is missing"},
        CornerCase{"high_not_number", "high-pass:abc", false, 0, 0, "'abc' is not a number"},
        CornerCase{"low", "low-pass:10", true, no_corner, 10.0f, ""},
        CornerCase{"low_below_limit", "low-pass:47.4", true, no_corner, 47.4f, ""},
        CornerCase{"low_above_limit", "low-pass:47.6", false, 0, 0, "above 95 % of the Nyquist"},
        CornerCase{"band", "band-pass:0.5:45", true, 0.5f, 45.0f, ""},
        CornerCase{"band_upper_above_limit", "band-pass:0.5:49", true, 0.5f, 49.0f, ""},
        CornerCase{"band_upper_at_nyquist", "band-pass:0.5:50", false, 0, 0, nyquist},
        CornerCase{"band_equal", "band-pass:10:10", false, 0, 0, "is not below the upper one"},
        CornerCase{"band_one_corner", "band-pass:1", false, 0, 0, "missing"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace hv

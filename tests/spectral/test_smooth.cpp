// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "spectral/apply_smooth.hpp"
#include "spectral/deffre.hpp"
#include "spectral/frequency_step.hpp"
#include "spectral/interv.hpp"
#include "tests/support/notices.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

using Spectra = std::array<std::vector<float>, 3>;

struct Smoothed {
  int status = 0;
  int jfirst = 0;
  int jlast = 0;
  Spectra O;
  std::string console;
};

struct Transform {
  int N;
  float dt;
  const char* spacing;
  float df() const { return frequency_step(N, dt); }
  int nf() const { return N / 2 + 1; }
  std::vector<float> grid() const {
    std::vector<float> f;
    int nfreq = 0;
    Notices notes;
    EXPECT_EQ(DEFFRE(N, dt, *parse_freq_spacing(spacing).value, f, nfreq, notes), 0);
    return f;
  }
};

std::vector<std::string> tokens(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (const char c : text + ":") {
    if (c == ':' || c == ' ') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.resize(std::max<std::size_t>(out.size(), 3));
  return out;
}

// The smoothing written row by row from its definition, every weight evaluated from
// its formula with the library's sin, log and log10.
Smoothed plain_smooth(const std::string& option, const Transform& s, const std::vector<float>& f,
                      const Spectra& S) {
  const float df = s.df();
  const long long nf = s.nf();
  const int nfreq = static_cast<int>(f.size());
  const std::vector<std::string> t = tokens(option);
  Smoothed out;
  out.jfirst = 1;
  out.jlast = nfreq;
  for (auto& o : out.O) o.assign(f.size(), 0.0f);
  bool narrowed = false;

  const auto interv1 = [&](int j) {
    const float fj = f[static_cast<std::size_t>(j - 1)];
    const int i = static_cast<int>(fj / df);
    const int lo = i;
    const int hi = std::min<int>(i + 1, static_cast<int>(nf) - 1);
    for (int c = 0; c < 3; ++c) {
      const std::vector<float>& x = S[static_cast<std::size_t>(c)];
      out.O[static_cast<std::size_t>(c)][static_cast<std::size_t>(j - 1)] =
          x[static_cast<std::size_t>(lo)] +
          (x[static_cast<std::size_t>(hi)] - x[static_cast<std::size_t>(lo)]) / df *
              (fj - static_cast<float>(i) * df);
    }
  };
  const auto weighted = [&](int j, long long k1, long long k2, auto weight) {
    double sw = 0.0;
    std::array<double, 3> sum{};
    for (long long k = k1; k <= k2; ++k) {
      const double w = weight(k);
      sw += w;
      for (std::size_t c = 0; c < 3; ++c) sum[c] += w * S[c][static_cast<std::size_t>(k)];
    }
    for (std::size_t c = 0; c < 3; ++c) {
      out.O[c][static_cast<std::size_t>(j - 1)] = static_cast<float>(sum[c] / sw);
    }
  };
  const auto unit = [](long long) { return 1.0; };

  if (t[0] == "none") {
    for (int j = 1; j <= nfreq; ++j) {
      if (tokens(s.spacing)[0] == "fft") {
        for (std::size_t c = 0; c < 3; ++c) {
          out.O[c][static_cast<std::size_t>(j - 1)] = S[c][static_cast<std::size_t>(j)];
        }
      } else {
        interv1(j);
      }
    }
  } else if (t[0] == "linear" && (t[2] == "box" || t[2] == "tri")) {
    const float W = std::stof(t[1]);
    const float h = W / 2.0f;
    const bool box = t[2] == "box";
    if ((box && W < df) || (!box && h < df)) {
      for (int j = 1; j <= nfreq; ++j) interv1(j);
    } else {
      for (int j = 1; j <= nfreq; ++j) {
        const float fj = f[static_cast<std::size_t>(j - 1)];
        const float add = box ? 0.5f : 0.0f;
        const auto i1 = static_cast<long long>((fj - h) / df + add);
        const auto i2 = static_cast<long long>((fj + h) / df + add);
        if (i1 < (box ? 0 : -1)) {
          out.jfirst = j + 1;
          narrowed = true;
          continue;
        }
        if (i2 + 1 > nf) {
          out.jlast = j - 1;
          narrowed = true;
          break;
        }
        if (box) {
          weighted(j, i1, i2, unit);
        } else {
          weighted(j, i1 + 1, i2, [&](long long k) {
            return 1.0 - std::fabs(static_cast<double>(fj) - static_cast<double>(k) * df) / h;
          });
        }
      }
    }
  } else if ((t[0] == "log" && (t[2] == "box" || t[2] == "tri")) || t[0] == "konno-ohmachi") {
    const float p = std::stof(t[1]);
    const bool ko = t[0] == "konno-ohmachi";
    const bool box = !ko && t[2] == "box";
    if (ko && (p < 3.0f || p > 100.0f)) {
      out.status = 1;
      return out;
    }
    const float r = ko ? std::pow(10.0f, 3.14159f / p) : 1.0f + p / 100.0f;
    for (int j = 1; j <= nfreq; ++j) {
      const float fj = f[static_cast<std::size_t>(j - 1)];
      if (fj * (r - 1.0f / r) < (box ? df : 2.0f * df)) {
        interv1(j);
        continue;
      }
      const float add = box ? 0.5f : 0.0f;
      const auto i1 = static_cast<long long>(fj / (r * df) + add);
      const auto i2 = static_cast<long long>(r * fj / df + add);
      if (i2 + 1 > nf) {
        out.jlast = j - 1;
        narrowed = true;
        break;
      }
      if (box) {
        weighted(j, i1, i2, unit);
      } else if (ko) {
        weighted(j, i1 + 1, i2, [&](long long k) {
          const double x = p * std::log10(static_cast<double>(k) * df / fj);
          return std::fabs(x) < 0.001 ? 1.0 : std::pow(std::sin(x) / x, 4);
        });
      } else {
        weighted(j, i1 + 1, i2, [&](long long k) {
          return 1.0 - std::fabs(std::log(static_cast<double>(k) * df / fj)) / std::log(r);
        });
      }
    }
  } else {
    out.status = 1;
    return out;
  }
  if (narrowed) out.status = out.jlast - out.jfirst < 2 ? 1 : 2;
  return out;
}

Smoothed run_plan(const std::string& option, const Transform& s, const std::vector<float>& f,
                  const Spectra& S, std::size_t cap = default_weight_cap, int windows = 1) {
  Smoothed out;
  PARAMETERS par;
  par.smooth = option;
  const Parsed<Smoothing> smooth = parse_smooth(option);
  for (auto& o : out.O) o.assign(f.size(), -1.0f);
  Notices notes;
  if (!smooth.ok()) {
    // A refused option is reported at every window that would be smoothed.
    for (int w = 1; w <= windows; ++w) notes.push_back(*smooth.refusal);
    out.status = 1;
  } else {
    const bool fft = std::string_view(s.spacing) == "fft";
    const SmoothPlan plan = make_smooth_plan(*smooth.value, fft, s.df(), s.nf(), f, cap);
    for (int w = 1; w <= windows; ++w) {
      out.status = APPLY_SMOOTH(plan, S[0], S[1], S[2], out.O[0], out.O[1], out.O[2], w, out.jfirst,
                                out.jlast, notes);
    }
  }
  out.console = test::rendered(notes, par);
  return out;
}

// Positive spectra with structure at every scale.
Spectra irregular_spectra(int nf) {
  Spectra S;
  for (std::size_t c = 0; c < 3; ++c) {
    S[c].resize(static_cast<std::size_t>(nf));
    for (int k = 0; k < nf; ++k) {
      S[c][static_cast<std::size_t>(k)] = static_cast<float>(
          (1.0 + 0.6 * std::sin(0.37 * k + static_cast<double>(c)) + 0.3 * std::cos(0.011 * k)) /
          (1.0 + 0.002 * k));
    }
  }
  return S;
}

Spectra constant_spectra(int nf, float value) {
  Spectra S;
  for (auto& x : S) x.assign(static_cast<std::size_t>(nf), value);
  return S;
}

// ---------------------------------------------------------------------------
// The plan against the plain formula, on every form and several grids, with the
// weights held in the plan and with every weight evaluated at application time.

const Transform fft_grid{2001, 0.01f, "fft"};
const Transform log_grid{4001, 0.01f, "log:0.2:45:400"};
const Transform linear_grid{2000, 0.01f, "linear:0.5:40:300"};
const Transform red_grid{3001, 0.005f, "fft_red:1:20"};
// df = 0.1 Hz: the bounds of boxes of round widths (0.5 Hz: f ± 2.5·df) fall on halves
// and the order of evaluation decides the bin.
const Transform tenth_grid{1000, 0.01f, "fft"};

struct PlanCase {
  const char* smooth;
  Transform setup;
  std::size_t cap;
};

std::string case_name(const ::testing::TestParamInfo<PlanCase>& info) {
  std::string name = std::string(info.param.smooth) + "_" + info.param.setup.spacing + "_N" +
                     std::to_string(info.param.setup.N) + "_" +
                     (info.param.cap == 0 ? "computed" : "stored");
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

void PrintTo(const PlanCase& c, std::ostream* os) {
  *os << c.smooth << " on " << c.setup.spacing << " (N = " << c.setup.N << "), cap " << c.cap;
}

class PlanMatchesFormula : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanMatchesFormula, SameRowsAndValues) {
  const PlanCase& p = GetParam();
  const std::vector<float> f = p.setup.grid();
  const Spectra S = irregular_spectra(p.setup.nf());
  const Smoothed expected = plain_smooth(p.smooth, p.setup, f, S);
  const Smoothed got = run_plan(p.smooth, p.setup, f, S, p.cap);
  ASSERT_EQ(got.status, expected.status) << got.console;
  if (expected.status == 1) return;
  ASSERT_EQ(got.jfirst, expected.jfirst);
  ASSERT_EQ(got.jlast, expected.jlast);
  int bad = 0;
  for (std::size_t c = 0; c < 3; ++c) {
    for (int j = expected.jfirst; j <= expected.jlast; ++j) {
      const auto r = static_cast<std::size_t>(j - 1);
      const double want = expected.O[c][r];
      if (std::fabs(got.O[c][r] - want) > 1e-6 * std::fabs(want) && ++bad <= 5) {
        ADD_FAILURE() << "component " << c + 1 << " row " << j << ": " << got.O[c][r]
                      << " instead of " << want;
      }
    }
  }
  EXPECT_EQ(bad, 0);
}

std::vector<PlanCase> plan_cases() {
  const char* forms[] = {"none",
                         "linear:0.3:box",
                         "linear:0.3:tri",
                         "linear:0.01:box",
                         "linear:0.08:tri",
                         "linear:4:box",
                         "linear:4:tri",
                         "log:5:box",
                         "log:20:tri",
                         "log:300:tri",
                         "konno-ohmachi:40",
                         "konno-ohmachi:3",
                         "konno-ohmachi:100",
                         "linear:0.5:box",
                         "linear:0.7:box",
                         "log:25:box"};
  std::vector<PlanCase> cases;
  for (const Transform& setup : {fft_grid, log_grid, linear_grid, red_grid, tenth_grid}) {
    for (const char* form : forms) {
      for (const std::size_t cap : {default_weight_cap, std::size_t{0}}) {
        cases.push_back({form, setup, cap});
      }
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Forms, PlanMatchesFormula, ::testing::ValuesIn(plan_cases()), case_name);

TEST(SmoothPlan, CapSplitsRowsBetweenStoredAndComputed) {
  const std::vector<float> f = fft_grid.grid();
  const Smoothing ko{Smoothing::Form::konno_ohmachi, 40.0f};
  const SmoothPlan all = make_smooth_plan(ko, true, fft_grid.df(), fft_grid.nf(), f);
  EXPECT_EQ(all.computed_rows(), 0);
  const SmoothPlan some = make_smooth_plan(ko, true, fft_grid.df(), fft_grid.nf(), f, 20000);
  EXPECT_GT(some.computed_rows(), 0);
  EXPECT_GT(some.stored_weights(), 0u);
  EXPECT_LE(some.stored_weights(), 20000u);
  const Spectra S = irregular_spectra(fft_grid.nf());
  const Smoothed a = run_plan("konno-ohmachi:40", fft_grid, f, S);
  const Smoothed b = run_plan("konno-ohmachi:40", fft_grid, f, S, 20000);
  for (std::size_t c = 0; c < 3; ++c) {
    for (int j = a.jfirst; j <= a.jlast; ++j) {
      const auto r = static_cast<std::size_t>(j - 1);
      ASSERT_NEAR(a.O[c][r], b.O[c][r], 1e-6 * std::fabs(a.O[c][r])) << j;
    }
  }
}

TEST(Sinc4, PolynomialMatchesLibrarySineBeyondTheFirstZero) {
  for (int i = -33000; i <= 33000; ++i) {
    const double x = i * 1e-4;
    const double s = x == 0.0 ? 1.0 : std::sin(x) / x;
    ASSERT_NEAR(sinc4(x), s * s * s * s, 1e-12) << x;
  }
  EXPECT_LE(std::acos(-1.0) * 1.01, sinc4_polynomial_limit);
}

// ---------------------------------------------------------------------------
// Closed forms.

class ConstantSpectrum : public ::testing::TestWithParam<const char*> {};

TEST_P(ConstantSpectrum, StaysConstant) {
  for (const Transform& setup : {fft_grid, log_grid}) {
    const std::vector<float> f = setup.grid();
    const Smoothed got = run_plan(GetParam(), setup, f, constant_spectra(setup.nf(), 2.5f));
    ASSERT_NE(got.status, 1) << got.console;
    for (std::size_t c = 0; c < 3; ++c) {
      for (int j = got.jfirst; j <= got.jlast; ++j) {
        ASSERT_NEAR(got.O[c][static_cast<std::size_t>(j - 1)], 2.5f, 2.5e-6) << setup.spacing << j;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, ConstantSpectrum,
                         ::testing::Values("none", "linear:0.3:box", "linear:0.3:tri",
                                           "linear:0.01:box", "log:5:box", "log:20:tri",
                                           "konno-ohmachi:40", "konno-ohmachi:3",
                                           "konno-ohmachi:100"),
                         test::name_by_value);

// N = 400 at dt = 0.01 s: df = 0.25 Hz exactly, so the window bounds below are exact.
const Transform quarter{400, 0.01f, "fft"};

TEST(SmoothPlan, QuarterHertzSetupIsExact) {
  ASSERT_EQ(quarter.df(), 0.25f);
}

// A symmetric window keeps a straight line straight: S = 3 + 2k at k·df.
struct Ramp {
  const char* smooth;
  int symmetric_from;  // first row whose window is centred on it
};
void PrintTo(const Ramp& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.smooth);
}
class RampUnderSymmetricWindow : public ::testing::TestWithParam<Ramp> {};

TEST_P(RampUnderSymmetricWindow, StaysOnTheLine) {
  const std::vector<float> f = quarter.grid();
  Spectra S;
  for (auto& x : S) {
    for (int k = 0; k < quarter.nf(); ++k) x.push_back(3.0f + 2.0f * static_cast<float>(k));
  }
  const Smoothed got = run_plan(GetParam().smooth, quarter, f, S);
  ASSERT_EQ(got.status, 2);
  for (int j = GetParam().symmetric_from; j <= got.jlast; ++j) {
    ASSERT_NEAR(got.O[1][static_cast<std::size_t>(j - 1)], 3.0 + 2.0 * j, 1e-4) << j;
  }
}

// df = 0.25 Hz. W = 1: the box spans k = j-2..j+2 (from j = 2 on; row 1 truncates -0.5
// to 0 and keeps an uneven window), the triangle weights 1/2, 1, 1/2 around j.
// W = 2.5: k = j-5..j+5 from j = 5 on.
INSTANTIATE_TEST_SUITE_P(Shapes, RampUnderSymmetricWindow,
                         ::testing::Values(Ramp{"linear:1:box", 2}, Ramp{"linear:1:tri", 1},
                                           Ramp{"linear:2.5:box", 5}),
                         test::name_by(&Ramp::smooth));

TEST(SmoothPlan, BoxAtTheLowEdgeKeepsItsTruncatedWindow) {
  const std::vector<float> f = quarter.grid();
  Spectra S;
  for (auto& x : S) {
    for (int k = 0; k < quarter.nf(); ++k) x.push_back(3.0f + 2.0f * static_cast<float>(k));
  }
  // Row 1, W = 1: i1 = trunc(-0.5) = 0, i2 = trunc(3.5) = 3: mean of 3, 5, 7, 9.
  const Smoothed got = run_plan("linear:1:box", quarter, f, S);
  EXPECT_EQ(got.jfirst, 1);
  EXPECT_FLOAT_EQ(got.O[0][0], 6.0f);
}

TEST(SmoothPlan, BoxMeanOfFiveSamples) {
  const std::vector<float> f = quarter.grid();
  Spectra S;
  for (auto& x : S) {
    for (int k = 0; k < quarter.nf(); ++k) x.push_back(static_cast<float>(k * k));
  }
  const Smoothed got = run_plan("linear:1:box", quarter, f, S);
  // Row 10: (8² + 9² + 10² + 11² + 12²)/5 = 102.
  EXPECT_FLOAT_EQ(got.O[0][9], 102.0f);
  // Triangle, row 10: (0.5·81 + 100 + 0.5·121)/2 = 100.5.
  EXPECT_FLOAT_EQ(run_plan("linear:1:tri", quarter, f, S).O[0][9], 100.5f);
}

// Konno-Ohmachi b = 40: r = 10^(3.14159/40) = 1.19823, r - 1/r = 0.363667, so rows
// below f = 2·df/0.363667 = 5.4995·df are interpolated. On the grid of N = 2001
// (nf = 1001) the last row whose window ends inside the spectrum is
// j = 835 (835·r = 1000.52, 836·r = 1001.72).
TEST(KonnoOhmachi, WidthAndInterpolationSwitch) {
  const std::vector<float> f = fft_grid.grid();
  Spectra S;
  for (auto& x : S) {
    for (int k = 0; k < fft_grid.nf(); ++k)
      x.push_back(static_cast<float>(k) * static_cast<float>(k));
  }
  const Smoothed got = run_plan("konno-ohmachi:40", fft_grid, f, S);
  EXPECT_EQ(got.status, 2);
  EXPECT_EQ(got.jfirst, 1);
  EXPECT_EQ(got.jlast, 835);
  // Rows 1..5 are interpolated, which at k·df returns the sample itself.
  for (int j = 1; j <= 5; ++j) {
    EXPECT_NEAR(got.O[0][static_cast<std::size_t>(j - 1)], static_cast<float>(j * j), 1e-3) << j;
  }
  // Row 6 is smoothed: 6/r = 5.007 and 6·r = 7.189, so k = 6 (the centre, weight
  // exactly 1) and k = 7.
  const double x = 40.0 * std::log10(7.0 / 6.0);
  const double w7 = std::pow(std::sin(x) / x, 4);
  EXPECT_NEAR(got.O[0][5], (36.0 + 49.0 * w7) / (1.0 + w7), 1e-4);
}

// ---------------------------------------------------------------------------
// Interpolation.

TEST(Interv, LinearBetweenSamplesAndHeldAtTheEnd) {
  const float df = 0.25f;
  const std::vector<float> S = {1.0f, 3.0f, 7.0f, 8.0f};
  const std::vector<float> f = {0.25f, 0.3125f, 0.625f, 0.75f, 0.77f};
  std::vector<float> O(f.size());
  INTERV(f, df, S, 4, O);
  EXPECT_FLOAT_EQ(O[0], 3.0f);
  EXPECT_FLOAT_EQ(O[1], 4.0f);  // a quarter of the way from 3 to 7
  EXPECT_FLOAT_EQ(O[2], 7.5f);  // half way from 7 to 8
  EXPECT_FLOAT_EQ(O[3], 8.0f);  // last sample
  EXPECT_FLOAT_EQ(O[4], 8.0f);  // held beyond it
  std::vector<float> one(f.size(), -1.0f);
  INTERV1(3, f, df, S, 4, one);
  EXPECT_EQ(one, (std::vector<float>{-1.0f, -1.0f, 7.5f, -1.0f, -1.0f}));
}

class NarrowWindowInterpolates : public ::testing::TestWithParam<const char*> {};

TEST_P(NarrowWindowInterpolates, EveryRow) {
  for (const Transform& setup : {fft_grid, log_grid}) {
    const std::vector<float> f = setup.grid();
    const Spectra S = irregular_spectra(setup.nf());
    const Smoothed got = run_plan(GetParam(), setup, f, S);
    ASSERT_EQ(got.status, 0);
    ASSERT_EQ(got.jlast, static_cast<int>(f.size()));
    std::vector<float> expected(f.size());
    INTERV(f, setup.df(), S[2], setup.nf(), expected);
    EXPECT_EQ(got.O[2], expected) << setup.spacing;
  }
}

// df = 0.005 Hz (fft grid) and 0.005 Hz (log grid): box W < df, triangle W < 2·df.
INSTANTIATE_TEST_SUITE_P(Widths, NarrowWindowInterpolates,
                         ::testing::Values("linear:0.0049:box", "linear:0.0099:tri",
                                           "linear:-1:box", "log:0:box", "log:-50:tri"),
                         test::name_by_value);

// ---------------------------------------------------------------------------
// Range narrowing and messages.

struct Narrowing {
  const char* smooth;
  int jfirst;
};
void PrintTo(const Narrowing& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.smooth);
}
class LowEdge : public ::testing::TestWithParam<Narrowing> {};

// df = 0.25 Hz. Box W = 1.25: row 1 gives (0.25 - 0.625)/0.25 + 0.5 = -1 and is dropped.
// Triangle W = 1.25: (0.25 - 0.625)/0.25 = -1.5 truncates to -1, reaching zero
// frequency, and is kept. Triangle W = 2.5: -4, -3, -2 are dropped, -1 (row 4) kept.
TEST_P(LowEdge, FirstValidRow) {
  const std::vector<float> f = quarter.grid();
  const Smoothed got = run_plan(GetParam().smooth, quarter, f, irregular_spectra(quarter.nf()));
  EXPECT_EQ(got.jfirst, GetParam().jfirst);
  EXPECT_EQ(got.status, 2);
  for (int j = 1; j < got.jfirst; ++j) EXPECT_EQ(got.O[0][static_cast<std::size_t>(j - 1)], 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Shapes, LowEdge,
                         ::testing::Values(Narrowing{"linear:1.25:box", 2},
                                           Narrowing{"linear:1.25:tri", 1},
                                           Narrowing{"linear:2.5:tri", 4}),
                         test::name_by(&Narrowing::smooth));

const std::string narrowed_warning =
    "  WARNING : output frequency limits have been changed by the smoothing procedure\n";

TEST(SmoothPlan, NarrowingWarnsOnceAtWindowOne) {
  const std::vector<float> f = fft_grid.grid();
  const Smoothed got = run_plan("konno-ohmachi:40", fft_grid, f, irregular_spectra(fft_grid.nf()),
                                default_weight_cap, 3);
  EXPECT_EQ(got.status, 2);
  EXPECT_EQ(got.console, narrowed_warning);
  EXPECT_LT(got.jlast, static_cast<int>(f.size()));
  EXPECT_EQ(got.O[0].back(), 0.0f);
}

TEST(SmoothPlan, NoWarningWithoutNarrowing) {
  const std::vector<float> f = linear_grid.grid();
  const Smoothed got =
      run_plan("konno-ohmachi:40", linear_grid, f, irregular_spectra(linear_grid.nf()));
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.console, "");
  EXPECT_EQ(got.jfirst, 1);
  EXPECT_EQ(got.jlast, static_cast<int>(f.size()));
}

std::string padded(const char* option) {
  return std::string(Option(option).view());
}

struct Refusal {
  const char* smooth;
  std::string lines;
};
void PrintTo(const Refusal& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.smooth);
}
class SmoothRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(SmoothRefusal, MessageAtEveryWindow) {
  const std::vector<float> f = fft_grid.grid();
  const Smoothed got = run_plan(GetParam().smooth, fft_grid, f, irregular_spectra(fft_grid.nf()),
                                default_weight_cap, 2);
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.console, GetParam().lines + GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Options, SmoothRefusal,
    ::testing::Values(
        Refusal{"kono:40",
                "  ERROR : smoothing parameter not recognized: " + padded("kono:40") + "\n"},
        Refusal{"linear:1:cos",
                "  ERROR : smoothing parameter not recognized: " + padded("linear:1:cos") + "\n"},
        Refusal{"log:10",
                "  ERROR : smoothing parameter not recognized: " + padded("log:10") + "\n"},
        Refusal{"konno-ohmachi:2.9",
                "  ERROR : smoothing parameter: " + padded("konno-ohmachi:2.9") +
                    "\n  allowed Konno_Ohmachi bandwidth is between   3.0 - 100.0\n"},
        Refusal{"konno-ohmachi:101",
                "  ERROR : smoothing parameter: " + padded("konno-ohmachi:101") +
                    "\n  allowed Konno_Ohmachi bandwidth is between   3.0 - 100.0\n"},
        Refusal{"konno-ohmachi:forty",
                "  ERROR : smoothing parameter: " + padded("konno-ohmachi:forty") +
                    "\n  the width, percentage or bandwidth is not a number\n"},
        Refusal{"log:ten:tri", "  ERROR : smoothing parameter: " + padded("log:ten:tri") +
                                   "\n  the width, percentage or bandwidth is not a number\n"},
        Refusal{"linear::box",  // the empty width is no token: the shape is missing
                "  ERROR : smoothing parameter not recognized: " + padded("linear::box") + "\n"},
        Refusal{"log:-100:box", "  ERROR : smoothing parameter: " + padded("log:-100:box") +
                                    "\n  the log smoothing width must be greater than -100 %\n"},
        Refusal{"linear:90:box",
                "  ERROR : smoothing window too large:\n"
                "  number of significant smoothed spectrum values less than 2 !!\n"},
        Refusal{"log:1e5:tri",
                "  ERROR : smoothing window too large:\n"
                "  number of significant smoothed spectrum values less than 2 !!\n"},
        Refusal{"linear:1e30:tri",
                "  ERROR : smoothing window too large:\n"
                "  number of significant smoothed spectrum values less than 2 !!\n"}),
    test::name_by(&Refusal::smooth));

TEST(SmoothPlan, BandwidthLimitsAreAccepted) {
  const std::vector<float> f = fft_grid.grid();
  for (const char* option : {"konno-ohmachi:3", "konno-ohmachi:100", "konno-ohmachi:40:extra"}) {
    EXPECT_NE(run_plan(option, fft_grid, f, irregular_spectra(fft_grid.nf())).status, 1) << option;
  }
}

TEST(SmoothPlan, GridOutsideTheSpectrumIsRefused) {
  const std::string message =
      "  This error should be impossible! : Fmax > Fny or Fmin < df (apply_smooth)\n";
  const Spectra S = irregular_spectra(fft_grid.nf());
  const float df = fft_grid.df();
  for (const std::vector<float>& f :
       {std::vector<float>{df * 0.5f, df}, std::vector<float>{df, 1000.0f * df + 0.2f * df},
        std::vector<float>{}}) {
    const Smoothed got = run_plan("none", fft_grid, f, S);
    EXPECT_EQ(got.status, 1);
    EXPECT_EQ(got.console, message);
  }
  // Up to a tenth of df beyond the last sample is accepted and held.
  const std::vector<float> f = {df, 1000.05f * df};
  const Smoothed got = run_plan("linear:0.001:box", fft_grid, f, S);
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.O[0][1], S[0][1000]);
}

TEST(SmoothPlan, ShortArraysAreRefused) {
  const std::vector<float> f = fft_grid.grid();
  const SmoothPlan plan = make_smooth_plan(Smoothing{}, true, fft_grid.df(), fft_grid.nf(), f);
  const Spectra S = irregular_spectra(fft_grid.nf() - 1);
  std::vector<float> O(f.size());
  Notices notes;
  int jfirst = 0, jlast = 0;
  EXPECT_EQ(APPLY_SMOOTH(plan, S[0], S[1], S[2], O, O, O, 1, jfirst, jlast, notes), 1);
  EXPECT_NE(test::rendered(notes).find("ERROR"), std::string::npos);
}

}  // namespace
}  // namespace hv

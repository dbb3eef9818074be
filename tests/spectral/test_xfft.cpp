// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <iostream>
#include <numbers>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

#include "spectral/apply_taper.hpp"
#include "spectral/frequency_step.hpp"
#include "spectral/merge_hv.hpp"
#include "spectral/xfft.hpp"
#include "tests/support/param_name.hpp"
#include "tests/support/result_table.hpp"

namespace hv {
namespace {

using test::noise;

using cld = std::complex<long double>;
constexpr long double pi_l = std::numbers::pi_v<long double>;
constexpr float dt = 0.01f;

// Direct DFT in long double, X(k) = Σ x(j)·exp(−2πi·jk/N), for the bins asked. The
// kernel is read from a table of exp(−2πi·m/N) at m = jk mod N, so its argument is
// exact for every N.
class DirectDft {
 public:
  explicit DirectDft(int N) : n_(static_cast<std::size_t>(N)), kernel_(n_) {
    for (std::size_t m = 0; m < n_; ++m) {
      const long double a =
          -2.0L * pi_l * static_cast<long double>(m) / static_cast<long double>(n_);
      kernel_[m] = {std::cos(a), std::sin(a)};
    }
  }
  cld operator()(const std::vector<float>& x, std::size_t k) const {
    long double re = 0, im = 0;
    k %= n_;
    std::size_t m = 0;
    for (std::size_t j = 0; j < n_; ++j) {
      re += x[j] * kernel_[m].real();
      im += x[j] * kernel_[m].imag();
      m += k;
      if (m >= n_) m -= n_;
    }
    return {re, im};
  }

 private:
  std::size_t n_;
  std::vector<cld> kernel_;
};

struct Spectra {
  std::vector<float> S1, S2, S3;
  float df = 0;
  int nf = 0;
  explicit Spectra(int N) : S1(static_cast<std::size_t>(N / 2 + 1), -1.0f), S2(S1), S3(S1) {}
};

int run_xfft(const FftPlan& plan, const std::vector<float>& x, int component, Spectra& s) {
  FftWork work(plan.size());
  return XFFT(x, plan.size(), dt, component, plan, work, s.S1, s.S2, s.S3, s.df, s.nf);
}

std::vector<float> plain_spectrum(const std::vector<float>& x) {
  FftPlan plan(static_cast<int>(x.size()));
  Spectra s(plan.size());
  EXPECT_EQ(run_xfft(plan, x, 1, s), 0);
  return s.S1;
}

double max_of(const std::vector<float>& v) {
  return *std::max_element(v.begin(), v.end());
}

// ---------------------------------------------------------------------------------------

TEST(XfftGrid, StepAndCountFollowTheTransformLength) {
  for (const int N : {1, 2, 3, 1500, 1501, 2000, 2001}) {
    FftPlan plan(N);
    Spectra s(N);
    ASSERT_EQ(run_xfft(plan, std::vector<float>(static_cast<std::size_t>(N), 1.0f), 1, s), 0);
    EXPECT_EQ(s.nf, N / 2 + 1) << N;
    EXPECT_EQ(s.df, frequency_step(N, dt)) << N;
    const double last = (s.nf - 1) * static_cast<double>(s.df);
    const double nyquist = 0.5 / static_cast<double>(dt);
    if (N % 2 == 1) {
      EXPECT_NEAR(last, (N - 1) / (2.0 * N * static_cast<double>(dt)), 1e-6 * nyquist) << N;
      EXPECT_LT(last, nyquist * (1 - 0.5 / N)) << N;
    } else {
      EXPECT_NEAR(last, nyquist, 1e-6 * nyquist) << N;
    }
  }
}

class XfftFrequencyStep : public ::testing::TestWithParam<int> {};

// The grid and the spectra must share one df: the step computed in double and rounded
// once, which here differs from the step computed in single precision throughout.
TEST_P(XfftFrequencyStep, IsTheCorrectlyRoundedStepNotTheSinglePrecisionOne) {
  const int N = GetParam();
  const float exact = static_cast<float>(1.0L / (static_cast<long double>(N) * dt));
  EXPECT_EQ(frequency_step(N, dt), exact);
  EXPECT_NE(frequency_step(N, dt), 1.0f / (static_cast<float>(N) * dt));
}

INSTANTIATE_TEST_SUITE_P(Lengths, XfftFrequencyStep, ::testing::Values(1501, 4001, 5001),
                         test::name_by_value);

// x(j) = A·cos(2π·α·j/N + φ) has the DFT A/2·(e^{iφ}·D(α − k) + e^{−iφ}·D(−α − k)) with
// D(β) = Σ_j e^{2πiβj/N} = e^{iπβ(N−1)/N}·sin(πβ)/sin(πβ/N) (N when β is a multiple of N).
cld dirichlet(long double beta, int N) {
  const long double s = std::sin(pi_l * beta / N);
  if (std::fabs(s) < 1e-15L) return static_cast<long double>(N);
  return std::polar(std::sin(pi_l * beta) / s, pi_l * beta * (N - 1) / N);
}

struct Sinusoid {
  int N;
  double alpha;  // frequency in bins
  friend std::ostream& operator<<(std::ostream& os, const Sinusoid& s) {
    return os << "N = " << s.N << ", " << s.alpha << " bins";
  }
};

class XfftSinusoid : public ::testing::TestWithParam<Sinusoid> {};

TEST_P(XfftSinusoid, MatchesTheClosedForm) {
  const auto [N, alpha] = GetParam();
  const double A = 2.5, phi = 0.7;
  std::vector<float> x(static_cast<std::size_t>(N));
  for (int j = 0; j < N; ++j) {
    x[static_cast<std::size_t>(j)] =
        static_cast<float>(A * std::cos(2 * std::numbers::pi * alpha * j / N + phi));
  }
  const std::vector<float> S = plain_spectrum(x);
  const double peak = dt * A * N / 2;
  for (int k = 0; k < N / 2 + 1; ++k) {
    const cld X =
        (A / 2.0L) * (std::polar(1.0L, static_cast<long double>(phi)) * dirichlet(alpha - k, N) +
                      std::polar(1.0L, -static_cast<long double>(phi)) * dirichlet(-alpha - k, N));
    EXPECT_NEAR(S[static_cast<std::size_t>(k)], dt * static_cast<double>(std::abs(X)), 2e-6 * peak)
        << "bin " << k;
  }
  if (alpha == std::floor(alpha)) {
    EXPECT_NEAR(S[static_cast<std::size_t>(alpha)], peak, 1e-6 * peak);
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, XfftSinusoid,
                         ::testing::Values(Sinusoid{64, 5}, Sinusoid{63, 5}, Sinusoid{64, 7.3},
                                           Sinusoid{63, 7.3}, Sinusoid{1000, 100.5},
                                           Sinusoid{1001, 100.5}, Sinusoid{257, 31.25},
                                           Sinusoid{2001, 0.4}),
                         test::name_by([](const Sinusoid& s) {
                           return std::to_string(s.N) + "_samples_" + test::param_name(s.alpha) +
                                  "_bins";
                         }));

TEST(Xfft, ZeroPaddedWindowHasTheSpectrumOfTheFullLength) {
  const int n = 37, N = 100;
  std::vector<float> x(N, 5.0f);
  std::fill(x.begin(), x.begin() + n, 1.0f);
  Notices notes;
  ASSERT_EQ(APPLY_TAPER(x, n, N, Taper{true, 0.0f}, notes), 0);
  const std::vector<float> S = plain_spectrum(x);
  // n ones in N: |X(k)| = |sin(πkn/N) / sin(πk/N)|, X(0) = n.
  EXPECT_FLOAT_EQ(S[0], dt * n);
  for (int k = 1; k <= N / 2; ++k) {
    const double want =
        std::fabs(std::sin(std::numbers::pi * k * n / N) / std::sin(std::numbers::pi * k / N));
    EXPECT_NEAR(S[static_cast<std::size_t>(k)], dt * want, 1e-6 * dt * n) << "bin " << k;
  }
}

// ---------------------------------------------------------------------------------------

class XfftComplex : public ::testing::TestWithParam<int> {
 protected:
  // Components 1, 2, 3 of one window as the driver transforms them.
  Spectra run(const std::vector<float>& x1, const std::vector<float>& x2,
              const std::vector<float>& x3, std::string_view merge = "complex") {
    const int N = static_cast<int>(x1.size());
    const FftPlan plan(N);
    FftWork work(N);
    Spectra s(N);
    EXPECT_EQ(run_xfft(plan, x1, 1, s), 0);
    const Parsed<MergeType> type = parse_merge_type(merge);
    if (type.ok() && *type.value == MergeType::complex) {
      EXPECT_EQ(XFFT_PAIR(x2, x3, N, dt, plan, work, s.S2, s.S3, s.df, s.nf), 0);
      EXPECT_EQ(s.nf, N / 2 + 1);
    } else {
      EXPECT_EQ(run_xfft(plan, x2, 2, s), 0);
      EXPECT_EQ(run_xfft(plan, x3, 3, s), 0);
    }
    return s;
  }
};

TEST_P(XfftComplex, VanishingThirdComponentGivesThePlainSpectrumOverRootTwo) {
  const int N = GetParam();
  const std::vector<float> x1 = noise(N, 1), x2 = noise(N, 2),
                           zero(static_cast<std::size_t>(N), 0.0f);
  const Spectra s = run(x1, x2, zero);
  const std::vector<float> plain1 = plain_spectrum(x1), plain2 = plain_spectrum(x2);
  EXPECT_EQ(s.S2, s.S3);
  EXPECT_EQ(s.S1, plain1) << "the vertical is transformed as usual";
  const double tol = 1e-6 * max_of(plain2);
  for (std::size_t k = 0; k < s.S2.size(); ++k) {
    EXPECT_NEAR(s.S2[k], plain2[k] / std::numbers::sqrt2, tol) << "bin " << k;
  }
}

TEST_P(XfftComplex, AmplitudeIsThatOfTheHorizontalsAsOneComplexSignal) {
  const int N = GetParam();
  const std::vector<float> x2 = noise(N, 3), x3 = noise(N, 4);
  const Spectra s = run(noise(N, 5), x2, x3);
  EXPECT_EQ(s.S2, s.S3);
  const DirectDft dft(N);
  const double scale = dt / static_cast<double>(1.4142135f);
  double peak = 0;
  std::vector<double> want(s.S2.size());
  for (std::size_t k = 0; k < want.size(); ++k) {
    const cld X = dft(x2, k) + cld(0, 1) * dft(x3, k);
    want[k] = scale * static_cast<double>(std::abs(X));
    peak = std::max(peak, want[k]);
  }
  for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(s.S2[k], want[k], 1e-6 * peak) << k;
}

TEST_P(XfftComplex, RotatingPhasorLiesAtPositiveFrequencyOnly) {
  // x2 + i·x3 = e^{2πi·k0·j/N}: with the kernel exp(−2πi·jk/N) all of it falls in bin k0;
  // the opposite rotation puts it in bin N − k0, outside the stored half.
  const int N = GetParam(), k0 = 3;
  std::vector<float> c(static_cast<std::size_t>(N)), s(c.size()), minus_s(c.size());
  for (int j = 0; j < N; ++j) {
    const double a = 2 * std::numbers::pi * k0 * j / N;
    c[static_cast<std::size_t>(j)] = static_cast<float>(std::cos(a));
    s[static_cast<std::size_t>(j)] = static_cast<float>(std::sin(a));
    minus_s[static_cast<std::size_t>(j)] = -s[static_cast<std::size_t>(j)];
  }
  const double full = dt / static_cast<double>(1.4142135f) * N;
  const Spectra forward = run(c, c, s);
  EXPECT_NEAR(forward.S2[k0], full, 1e-6 * full);
  const Spectra backward = run(c, c, minus_s);
  EXPECT_NEAR(backward.S2[k0], 0.0, 1e-6 * full);
}

TEST_P(XfftComplex, OtherMergeTypesTransformEachHorizontalAlone) {
  const int N = GetParam();
  const std::vector<float> x2 = noise(N, 6), x3 = noise(N, 7);
  for (const char* merge : {"quadratic", "geometric", "arithmetic", "complexity", ""}) {
    const Spectra s = run(noise(N, 8), x2, x3, merge);
    EXPECT_EQ(s.S2, plain_spectrum(x2)) << merge;
    EXPECT_EQ(s.S3, plain_spectrum(x3)) << merge;
  }
}

INSTANTIATE_TEST_SUITE_P(Lengths, XfftComplex, ::testing::Values(64, 63, 101, 1000),
                         test::name_by_value);

TEST(Xfft, MismatchedLengthsAreRefused) {
  FftPlan plan(16);
  FftWork work(16), short_work(15);
  Spectra s(16);
  const std::vector<float> x = noise(16, 10);
  EXPECT_EQ(XFFT(x, 15, dt, 1, plan, work, s.S1, s.S2, s.S3, s.df, s.nf), 1);
  EXPECT_EQ(XFFT(std::span(x).first(15), 16, dt, 1, plan, work, s.S1, s.S2, s.S3, s.df, s.nf), 1);
  EXPECT_EQ(XFFT(x, 16, dt, 1, plan, work, std::span(s.S1).first(8), s.S2, s.S3, s.df, s.nf), 1);
  EXPECT_EQ(XFFT(x, 16, dt, 4, plan, work, s.S1, s.S2, s.S3, s.df, s.nf), 1);
  EXPECT_EQ(XFFT(x, 16, dt, 1, plan, short_work, s.S1, s.S2, s.S3, s.df, s.nf), 1);
  EXPECT_EQ(XFFT_PAIR(x, std::span(x).first(15), 16, dt, plan, work, s.S2, s.S3, s.df, s.nf), 1);
  FftPlan moved = std::move(plan);
  EXPECT_EQ(XFFT(x, 16, dt, 1, plan, work, s.S1, s.S2, s.S3, s.df, s.nf), 1);
  EXPECT_EQ(XFFT(x, 16, dt, 1, moved, work, s.S1, s.S2, s.S3, s.df, s.nf), 0);
}

// ---------------------------------------------------------------------------------------
// Accuracy sweep against the long-double DFT: relative L2 error of the raw double
// transforms (real and complex input) and of the single-precision amplitudes.

struct SweepError {
  double real = 0, complex = 0, amplitude = 0;
};

double rel_l2(const std::vector<cld>& want, const std::vector<std::complex<double>>& got) {
  long double num = 0, den = 0;
  for (std::size_t k = 0; k < want.size(); ++k) {
    num += std::norm(want[k] - cld(got[k].real(), got[k].imag()));
    den += std::norm(want[k]);
  }
  return den == 0 ? static_cast<double>(std::sqrt(num)) : static_cast<double>(std::sqrt(num / den));
}

// Compares the bins listed (all of them when empty) for inputs a (real) and a + i·b.
SweepError sweep_one(int N, std::vector<std::size_t> bins) {
  const std::vector<float> a = noise(N, static_cast<std::uint32_t>(N)),
                           b = noise(N, static_cast<std::uint32_t>(3 * N + 1));
  const auto n = static_cast<std::size_t>(N);
  if (bins.empty()) {
    for (std::size_t k = 0; k < n; ++k) bins.push_back(k);
  }
  const DirectDft dft(N);
  std::vector<cld> A(n), B(n);
  for (const std::size_t k : bins) {
    A[k] = dft(a, k);
    B[k] = dft(b, k);
  }

  const FftPlan plan(N);
  FftWork work(N);
  std::copy(a.begin(), a.end(), work.real_input().begin());
  plan.forward_real(work);
  const auto half = work.real_output();
  const auto cplx = work.complex_data();
  for (std::size_t j = 0; j < n; ++j) cplx[j] = {a[j], b[j]};
  plan.forward_complex(work);

  SweepError e;
  std::vector<cld> want_r, want_c, want_amp;
  std::vector<std::complex<double>> got_r, got_c, got_amp;
  Spectra s(N);
  EXPECT_EQ(run_xfft(plan, a, 1, s), 0);
  for (const std::size_t k : bins) {
    want_c.push_back(A[k] + cld(0, 1) * B[k]);
    got_c.push_back(cplx[k]);
    if (k < half.size()) {
      want_r.push_back(A[k]);
      got_r.push_back(half[k]);
      want_amp.push_back(dt * std::abs(A[k]));
      got_amp.push_back(s.S1[k]);
    }
  }
  e.real = rel_l2(want_r, got_r);
  e.complex = rel_l2(want_c, got_c);
  e.amplitude = rel_l2(want_amp, got_amp);
  return e;
}

void check_sweep(const std::vector<int>& lengths, const std::vector<std::size_t>& bins,
                 const char* label) {
  SweepError worst;
  for (const int N : lengths) {
    const SweepError e = sweep_one(N, bins);
    // Double-precision transforms stay near 1e-16·log N; the amplitudes are rounded
    // once to single precision (2^-24 ≈ 6e-8).
    EXPECT_LT(e.real, 1e-13) << "N = " << N;
    EXPECT_LT(e.complex, 1e-13) << "N = " << N;
    EXPECT_LT(e.amplitude, 1e-7) << "N = " << N;
    worst.real = std::max(worst.real, e.real);
    worst.complex = std::max(worst.complex, e.complex);
    worst.amplitude = std::max(worst.amplitude, e.amplitude);
  }
  std::cout << "  " << label << ": worst relative L2 error, real input " << worst.real
            << ", complex input " << worst.complex << ", float amplitude " << worst.amplitude
            << '\n';
}

TEST(FftPlanAccuracy, EveryLengthUpTo256) {
  std::vector<int> lengths;
  for (int N = 1; N <= 256; ++N) lengths.push_back(N);
  check_sweep(lengths, {}, "N = 1..256");
}

TEST(FftPlanAccuracy, SelectedLengthsUpTo2048) {
  check_sweep({257,  331,  360,  479,  500,  512,  625,  719,  729,  840, 997,
               1000, 1009, 1024, 1331, 1500, 1501, 1999, 2000, 2001, 2048},
              {}, "N = 257..2048, selected");
}

TEST(FftPlanAccuracy, LargePrimeAndComposedLengthsOnSampledBins) {
  std::vector<std::size_t> bins;
  for (std::size_t k = 0; k < 20; ++k) bins.push_back(k * 7919 % 10007);
  check_sweep({10007, 65537, 599999, 600001}, bins, "N = 10007, 65537, 599999, 600001, 20 bins");
}

// Two computations in one process may make their plans at once: every planner call
// is made under one lock (FFTW's planner keeps global state).
TEST(FftPlanAccuracy, PlansMadeInSeveralThreadsAtOnce) {
  std::vector<SweepError> errors(8);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < errors.size(); ++t) {
    threads.emplace_back(
        [&errors, t] { errors[t] = sweep_one(97 + 31 * static_cast<int>(t), {}); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const SweepError& e : errors) {
    EXPECT_LT(e.real, 1e-13);
    EXPECT_LT(e.complex, 1e-13);
  }
}

}  // namespace
}  // namespace hv

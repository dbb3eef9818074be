// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/xfft.hpp"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "spectral/frequency_step.hpp"

namespace hv {

namespace {

struct FftwFree {
  void operator()(void* p) const { fftw_free(p); }
};
// FFTW's planner keeps global state: making and destroying plans is not thread-safe
// (executing them is). Every planner call of the process goes through this lock, so
// that two computations in one process may plan at once.
std::mutex& planner_lock() {
  static std::mutex lock;
  return lock;
}

struct PlanDestroy {
  void operator()(fftw_plan p) const {
    const std::lock_guard<std::mutex> hold(planner_lock());
    fftw_destroy_plan(p);
  }
};
using PlanHandle = std::unique_ptr<std::remove_pointer_t<fftw_plan>, PlanDestroy>;

template <typename T>
std::unique_ptr<T[], FftwFree> fftw_array(std::size_t count) {
  auto* p = static_cast<T*>(fftw_malloc(sizeof(T) * count));
  if (p == nullptr) throw std::bad_alloc();
  return std::unique_ptr<T[], FftwFree>(p);
}

constexpr float sqrt2 = 1.4142135f;

int largest_prime_factor(int n) {
  int largest = 1;
  for (int d = 2; d <= n / d; ++d) {
    while (n % d == 0) {
      largest = d;
      n /= d;
    }
  }
  return std::max(largest, n);
}

// FFTW_ESTIMATE's real-input plans for lengths with a very large prime factor run up to
// twice as slow as its complex plans of the same length (599999: 84 against 36 ms on the
// development machine; 10007: the real plan still wins). Such lengths take the complex
// transform of (x, 0) instead. The choice depends on N alone, so results stay
// reproducible.
constexpr int real_via_complex_factor = 20000;

}  // namespace

// Planning needs arrays of the transform's size and alignment; execution then runs
// on any FftWork buffers, which fftw_malloc aligns the same way.
struct FftWork::Buffers {
  std::size_t n;
  std::unique_ptr<double[], FftwFree> real_in;
  std::unique_ptr<fftw_complex[], FftwFree> real_out;
  std::unique_ptr<fftw_complex[], FftwFree> cplx;
  std::unique_ptr<fftw_complex[], FftwFree> real_as_complex;  // for lengths via_complex

  explicit Buffers(int N)
      : n(static_cast<std::size_t>(N)),
        real_in(fftw_array<double>(n)),
        real_out(fftw_array<fftw_complex>(n / 2 + 1)),
        cplx(fftw_array<fftw_complex>(n)),
        real_as_complex(fftw_array<fftw_complex>(n)) {
    std::fill_n(real_in.get(), n, 0.0);
    for (std::size_t k = 0; k < n; ++k) cplx[k][0] = cplx[k][1] = 0.0;
  }
};

FftWork::FftWork(int N) : n_(N) {
  if (N < 1)
    throw std::invalid_argument("transform length must be positive, not " + std::to_string(N));
  b_ = std::make_unique<Buffers>(N);
}

FftWork::~FftWork() = default;
// A moved-from work area has length 0, so that XFFT refuses it instead of using no buffers.
FftWork::FftWork(FftWork&& other) noexcept
    : n_(std::exchange(other.n_, 0)), b_(std::move(other.b_)) {}

FftWork& FftWork::operator=(FftWork&& other) noexcept {
  n_ = std::exchange(other.n_, 0);
  b_ = std::move(other.b_);
  return *this;
}

std::span<double> FftWork::real_input() {
  return {b_->real_in.get(), b_->n};
}

std::span<const std::complex<double>> FftWork::real_output() const {
  // fftw_complex is double[2], laid out as std::complex<double> is guaranteed to be.
  return {reinterpret_cast<const std::complex<double>*>(b_->real_out.get()), b_->n / 2 + 1};
}

std::span<std::complex<double>> FftWork::complex_data() {
  return {reinterpret_cast<std::complex<double>*>(b_->cplx.get()), b_->n};
}

struct FftPlan::Plans {
  bool via_complex = false;
  PlanHandle real;
  PlanHandle c2c;

  explicit Plans(int N) {
    // FFTW_ESTIMATE plans without touching the arrays, so their content is free.
    FftWork::Buffers scratch(N);
    via_complex = largest_prime_factor(N) > real_via_complex_factor;
    const std::lock_guard<std::mutex> hold(planner_lock());
    if (via_complex) {
      real.reset(fftw_plan_dft_1d(N, scratch.real_as_complex.get(), scratch.real_as_complex.get(),
                                  FFTW_FORWARD, FFTW_ESTIMATE));
    } else {
      real.reset(
          fftw_plan_dft_r2c_1d(N, scratch.real_in.get(), scratch.real_out.get(), FFTW_ESTIMATE));
    }
    c2c.reset(
        fftw_plan_dft_1d(N, scratch.cplx.get(), scratch.cplx.get(), FFTW_FORWARD, FFTW_ESTIMATE));
    if (!real || !c2c)
      throw std::runtime_error("FFTW could not plan a transform of length " + std::to_string(N));
  }
};

FftPlan::FftPlan(int N) : n_(N) {
  if (N < 1)
    throw std::invalid_argument("transform length must be positive, not " + std::to_string(N));
  p_ = std::make_unique<Plans>(N);
}

FftPlan::~FftPlan() = default;
// A moved-from plan has length 0, so that XFFT refuses it instead of using no plans.
FftPlan::FftPlan(FftPlan&& other) noexcept
    : n_(std::exchange(other.n_, 0)), p_(std::move(other.p_)) {}

FftPlan& FftPlan::operator=(FftPlan&& other) noexcept {
  n_ = std::exchange(other.n_, 0);
  p_ = std::move(other.p_);
  return *this;
}

void FftPlan::forward_real(FftWork& work) const {
  FftWork::Buffers& b = *work.b_;
  if (!p_->via_complex) {
    fftw_execute_dft_r2c(p_->real.get(), b.real_in.get(), b.real_out.get());
    return;
  }
  for (std::size_t k = 0; k < b.n; ++k) {
    b.real_as_complex[k][0] = b.real_in[k];
    b.real_as_complex[k][1] = 0.0;
  }
  fftw_execute_dft(p_->real.get(), b.real_as_complex.get(), b.real_as_complex.get());
  for (std::size_t k = 0; k < b.n / 2 + 1; ++k) {
    b.real_out[k][0] = b.real_as_complex[k][0];
    b.real_out[k][1] = b.real_as_complex[k][1];
  }
}

void FftPlan::forward_complex(FftWork& work) const {
  fftw_execute_dft(p_->c2c.get(), work.b_->cplx.get(), work.b_->cplx.get());
}

namespace {

void store_amplitudes(std::span<const std::complex<double>> X, double scale, std::span<float> S) {
  for (std::size_t k = 0; k < S.size(); ++k) {
    const double re = X[k].real();
    const double im = X[k].imag();
    S[k] = static_cast<float>(scale * std::sqrt(re * re + im * im));
  }
}

bool fits(int N, const FftPlan& plan, const FftWork& work) {
  return N >= 1 && plan.size() == N && work.size() == N;
}

}  // namespace

int XFFT(std::span<const float> x, int N, float dt, int component, const FftPlan& plan,
         FftWork& work, std::span<float> S1, std::span<float> S2, std::span<float> S3, float& df,
         int& nf) {
  if (!fits(N, plan, work) || x.size() < static_cast<std::size_t>(N)) return 1;
  if (component < 1 || component > 3) return 1;
  df = frequency_step(N, dt);
  nf = N / 2 + 1;
  const auto n = static_cast<std::size_t>(N);
  const auto nfu = static_cast<std::size_t>(nf);
  const std::span<float> target = component == 1 ? S1 : (component == 2 ? S2 : S3);
  if (target.size() < nfu) return 1;
  const std::span<double> in = work.real_input();
  for (std::size_t k = 0; k < n; ++k) in[k] = x[k];
  plan.forward_real(work);
  store_amplitudes(work.real_output(), static_cast<double>(dt), target.first(nfu));
  return 0;
}

int XFFT_PAIR(std::span<const float> x2, std::span<const float> x3, int N, float dt,
              const FftPlan& plan, FftWork& work, std::span<float> S2, std::span<float> S3,
              float& df, int& nf) {
  if (!fits(N, plan, work)) return 1;
  const auto n = static_cast<std::size_t>(N);
  if (x2.size() < n || x3.size() < n) return 1;
  df = frequency_step(N, dt);
  nf = N / 2 + 1;
  const auto nfu = static_cast<std::size_t>(nf);
  if (S2.size() < nfu || S3.size() < nfu) return 1;
  const std::span<std::complex<double>> data = work.complex_data();
  for (std::size_t k = 0; k < n; ++k)
    data[k] = {static_cast<double>(x2[k]), static_cast<double>(x3[k])};
  plan.forward_complex(work);
  store_amplitudes(data.first(nfu), static_cast<double>(dt) / static_cast<double>(sqrt2),
                   S2.first(nfu));
  std::copy_n(S2.begin(), nfu, S3.begin());
  return 0;
}

}  // namespace hv

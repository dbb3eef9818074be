// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <memory>
#include <span>

namespace hv {

// The buffers one caller transforms in, for one length N. Each thread that
// transforms needs its own; they are allocated once, never per window.
class FftWork {
 public:
  explicit FftWork(int N);
  ~FftWork();
  FftWork(FftWork&& other) noexcept;
  FftWork& operator=(FftWork&& other) noexcept;
  FftWork(const FftWork&) = delete;
  FftWork& operator=(const FftWork&) = delete;

  int size() const { return n_; }
  // Real input: fill real_input() (N values), call FftPlan::forward_real(), read
  // real_output() (the N/2 + 1 non-negative frequencies).
  std::span<double> real_input();
  std::span<const std::complex<double>> real_output() const;
  // Complex input, transformed in place by FftPlan::forward_complex(): N values.
  std::span<std::complex<double>> complex_data();

 private:
  friend class FftPlan;
  struct Buffers;
  int n_ = 0;
  std::unique_ptr<Buffers> b_;
};

// Forward transforms of one length N, X(k) = Σ x(j)·exp(−2πi·jk/N), unnormalised, in
// double precision: the one seam to the FFT library (FFTW today). The plans are made
// once here (FFTW_ESTIMATE) and hold no data: they execute on the buffers of the
// FftWork handed to them, so one const plan serves every thread. The planner is not
// thread-safe, its execution is: every planner call of the process is made under one
// lock, so that plans may be made in several threads at once.
class FftPlan {
 public:
  explicit FftPlan(int N);
  ~FftPlan();
  FftPlan(FftPlan&& other) noexcept;
  FftPlan& operator=(FftPlan&& other) noexcept;
  FftPlan(const FftPlan&) = delete;
  FftPlan& operator=(const FftPlan&) = delete;

  int size() const { return n_; }
  void forward_real(FftWork& work) const;
  void forward_complex(FftWork& work) const;

 private:
  struct Plans;
  int n_ = 0;
  std::unique_ptr<Plans> p_;
};

// Amplitude spectrum A(k) = dt·|X(k)|, k = 0..nf−1, of the N samples x of one component,
// stored in S1, S2 or S3 by component (1, 2, 3); df = frequency_step(N, dt) and
// nf = N/2 + 1. Status 0; 1 when the plan or the work buffers are not of length N, x
// is shorter than N, the target spectrum holds fewer than nf values, or the component
// is not 1..3.
int XFFT(std::span<const float> x, int N, float dt, int component, const FftPlan& plan,
         FftWork& work, std::span<float> S1, std::span<float> S2, std::span<float> S3, float& df,
         int& nf);

// The complex merge of the horizontals: the amplitude (dt/√2)·|X(k)| of the signal
// x2 + i·x3 goes to both S2 and S3. Status and df, nf as for XFFT.
int XFFT_PAIR(std::span<const float> x2, std::span<const float> x3, int N, float dt,
              const FftPlan& plan, FftWork& work, std::span<float> S2, std::span<float> S3,
              float& df, int& nf);

}  // namespace hv

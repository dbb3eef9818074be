// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <memory>
#include <span>

#include "common/text.hpp"

namespace hv {

// Forward transforms of one length N, X(k) = Σ x(j)·exp(−2πi·jk/N), unnormalised, in
// double precision. The FFTW plans are made once here (FFTW_ESTIMATE) and executed on
// the object's own buffers, so that a run plans each length once and allocates nothing
// per window. All planner calls stay inside this class: the FFTW planner is not
// thread-safe. The complex buffer also carries the horizontal components from one
// XFFT call to the next in the "complex" merge mode.
class FftPlan {
 public:
  explicit FftPlan(int N);
  ~FftPlan();
  FftPlan(FftPlan&& other) noexcept;
  FftPlan& operator=(FftPlan&& other) noexcept;
  FftPlan(const FftPlan&) = delete;
  FftPlan& operator=(const FftPlan&) = delete;

  int size() const { return n_; }

  // Real input: fill real_input() (N values), call forward_real(), read real_output()
  // (the N/2 + 1 non-negative frequencies).
  std::span<double> real_input();
  std::span<const std::complex<double>> real_output() const;
  void forward_real();

  // Complex input, transformed in place: complex_data() holds N values.
  std::span<std::complex<double>> complex_data();
  void forward_complex();

  // True between the XFFT calls for components 2 and 3 in the complex merge mode,
  // while the complex buffer holds component 2 waiting for component 3.
  bool horizontal_pending() const { return horizontal_pending_; }

 private:
  friend int XFFT(std::span<const float>, int, float, int, const Option&, FftPlan&,
                  std::span<float>, std::span<float>, std::span<float>, float&, int&);
  struct Buffers;
  int n_ = 0;
  bool horizontal_pending_ = false;
  std::unique_ptr<Buffers> b_;
};

// Amplitude spectrum A(k) = dt·|X(k)|, k = 0..nf−1, of the N samples x of one component,
// stored in S1, S2 or S3 by component (1, 2, 3); df = frequency_step(N, dt) and
// nf = N/2 + 1. When the first token of merge_type is "complex", component 2 is only
// kept in the plan and component 3 completes the signal x2 + i·x3, whose amplitude
// (dt/√2)·|X(k)| goes to both S2 and S3.
// Status 0; 1 when the plan is not of length N, x is shorter than N, the target
// spectrum holds fewer than nf values, the component is not 1..3, or component 3 comes
// in complex mode without component 2 before it.
int XFFT(std::span<const float> x, int N, float dt, int component, const Option& merge_type,
         FftPlan& plan, std::span<float> S1, std::span<float> S2, std::span<float> S3, float& df,
         int& nf);

}  // namespace hv

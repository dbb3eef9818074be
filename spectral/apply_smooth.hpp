// SPDX-License-Identifier: GPL-3.0-or-later
// Spectral smoothing: the raw amplitude spectra of a window (k·df, k = 0..nf-1) are
// smoothed onto the output grid f, one column per window.
//
// Everything that depends only on the smooth option, the grid, df and nf (validity of
// the option, the valid row range, each row's sample range and weights or the
// interpolation it falls back to) is worked out once per run in a SmoothPlan; the
// plan is then applied to the three spectra of every window in one pass per row.
// Rows are independent, so a run with several threads splits them between its
// threads; each row is summed by the same kernel in the same order whatever the split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "common/text.hpp"
#include "common/workers.hpp"
#include "spectral/notice.hpp"
#include "spectral/smooth_kernel.hpp"

namespace hv {

// At most this many weights are kept in a plan (4 bytes each); the weights of the
// remaining rows are evaluated on the fly at every application.
inline constexpr std::size_t default_weight_cap = 8'000'000;

// The smooth option: "none", "linear:W:box|tri" (W in Hz), "log:P:box|tri" (P in % of
// the frequency), "konno-ohmachi:b" (bandwidth b from 3 to 100).
struct Smoothing {
  enum class Form { none, linear_box, linear_tri, log_box, log_tri, konno_ohmachi };
  Form form = Form::none;
  float param = 0.0f;  // width, percentage or bandwidth
};

// Reads the option; refuses an unknown form or shape, a parameter that is not a
// number, a Konno-Ohmachi bandwidth outside [3, 100] and a log width at or below
// -100 % (no window at all).
Parsed<Smoothing> parse_smooth(std::string_view text);

class SmoothPlan {
 public:
  using Form = Smoothing::Form;
  enum class Outcome {
    valid,
    grid_outside,  // the grid reaches outside the spectrum
    too_few_rows   // the narrowed range keeps fewer than three rows
  };

  // fft_grid: the grid is the transform's own (freq_spacing fft), so that without
  // smoothing row j is sample j.
  SmoothPlan(const Smoothing& smooth, bool fft_grid, float df, int nf, std::span<const float> f,
             std::size_t weight_cap = default_weight_cap, SimdLevel simd = best_simd_level());

  // 0 valid, 1 error, 2 valid with a narrowed row range.
  int status() const;
  Outcome outcome() const { return outcome_; }
  Form form() const { return form_; }
  // Valid rows, 1-based.
  int jfirst() const { return jfirst_; }
  int jlast() const { return jlast_; }
  bool narrowed() const { return narrowed_; }
  int nfreq() const { return static_cast<int>(f_.size()); }
  int nf() const { return nf_; }
  float df() const { return df_; }
  // Weights held by the plan, and rows whose weights are evaluated at each application.
  std::size_t stored_weights() const { return weights_.size(); }
  int computed_rows() const { return computed_rows_; }
  // The groups of consecutive valid rows, of about equal work, that threads take one
  // at a time.
  int shares() const { return static_cast<int>(share_ends_.size()); }

  // The plan's notices: errors at every call, the narrowing warning for window 1 only.
  void report(Notices& notes, int w) const;
  // Smooths the three spectra (nf values each) into rows jfirst..jlast of the three
  // columns (nfreq values each); the other rows are set to 0. Only for a plan whose
  // status is not 1. With workers, the rows are spread over their threads.
  void smooth(std::span<const float> S1, std::span<const float> S2, std::span<const float> S3,
              std::span<float> O1, std::span<float> O2, std::span<float> O3,
              Workers* workers = nullptr) const;

 private:
  enum class Kind : std::uint8_t { outside, copy, interp, box, stored, computed };
  struct Row {
    std::int32_t k0 = 0;  // first sample (interp: lower sample)
    std::int32_t n = 0;   // sample count (interp: upper sample)
    float t = 0.0f;       // interp: distance from the lower sample
    std::uint32_t woff = 0;
    Kind kind = Kind::outside;
  };

  struct Columns {
    std::span<const float> S1, S2, S3;
    std::span<float> O1, O2, O3;
  };

  void build_rows(float param, bool fft_grid, std::size_t weight_cap);
  void interpolate_row(std::size_t row);
  void store_weights(std::size_t weight_cap);
  void split_rows();
  // How the weights of a stored or computed row are formed.
  WeightRule rule(std::size_t row) const;
  void smooth_rows(std::size_t first, std::size_t last, const Columns& io) const;

  std::vector<float> f_;
  float df_;
  int nf_;
  Outcome outcome_ = Outcome::valid;
  Form form_ = Form::none;
  int jfirst_ = 1;
  int jlast_ = 0;
  bool narrowed_ = false;
  float b_ = 0.0f;  // Konno-Ohmachi bandwidth
  float h_ = 0.0f;  // half width of the linear triangle
  double inv_ln_r_ = 0.0;
  std::vector<Row> rows_;
  std::vector<float> weights_;  // weights of the stored rows, one after the other
  std::vector<double> log10k_;  // log10(k), k = 0..nf-1, for the logarithmic forms
  int computed_rows_ = 0;
  const SmoothKernel* kernel_;
  std::vector<std::uint32_t> share_ends_;  // last row (exclusive, 0-based) of each share
};

SmoothPlan make_smooth_plan(const Smoothing& smooth, bool fft_grid, float df, int nf,
                            std::span<const float> f, std::size_t weight_cap = default_weight_cap,
                            SimdLevel simd = best_simd_level());

// Smooths one window's three raw spectra into the given output columns (nfreq values
// each), adds the plan's notices and returns 0, 1 or 2; jfirst and jlast receive
// the valid rows (1-based). With workers, the rows are spread over their threads.
int APPLY_SMOOTH(const SmoothPlan& plan, std::span<const float> S1, std::span<const float> S2,
                 std::span<const float> S3, std::span<float> O1col, std::span<float> O2col,
                 std::span<float> O3col, int w, int& jfirst, int& jlast, Notices& notes,
                 Workers* workers = nullptr);

}  // namespace hv

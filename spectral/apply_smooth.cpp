// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/apply_smooth.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "common/fields.hpp"
#include "common/freefmt.hpp"
#include "spectral/interv.hpp"

namespace hv {

namespace {

// The Konno-Ohmachi window width is derived from this single-precision value of pi.
constexpr float pi_single = 3.14159f;
constexpr double ln10 = 2.302585092994045684;
// A share of the rows given to one thread holds at least this much work (a tenth of a
// millisecond or more), so that waking threads never costs more than it saves.
constexpr std::size_t min_share_cost = 1 << 17;
// At most this many shares: enough to balance rows of very different widths.
constexpr std::size_t max_shares = 256;

// trunc() of a single-precision value, clamped so that even an absurd width cannot
// overflow the conversion; the clamped values lie far outside any spectrum.
long long trunc_toward_zero(float x) {
  constexpr float limit = 1e15f;
  if (!(x > -limit)) return -static_cast<long long>(limit);
  if (x > limit) return static_cast<long long>(limit);
  return static_cast<long long>(x);
}

}  // namespace

Parsed<Smoothing> parse_smooth(std::string_view text) {
  using P = Parsed<Smoothing>;
  using Form = Smoothing::Form;
  std::array<Word, 3> t;
  SPLIT3(text, t, ':');
  const bool box = t[2] == "box";
  const bool tri = t[2] == "tri";
  Smoothing s;
  if (t[0] == "none") {
    return P::accept(s);
  } else if (t[0] == "linear" && (box || tri)) {
    s.form = box ? Form::linear_box : Form::linear_tri;
  } else if (t[0] == "log" && (box || tri)) {
    s.form = box ? Form::log_box : Form::log_tri;
  } else if (t[0] == "konno-ohmachi") {
    s.form = Form::konno_ohmachi;
  } else {
    return P::refuse(error_notice(Note::smooth_not_recognized));
  }
  const std::optional<float> v = read_real(t[1].view());
  if (!v) return P::refuse(error_notice(Note::smooth_not_a_number));
  s.param = *v;
  if (s.form == Form::konno_ohmachi && (s.param < 3.0f || s.param > 100.0f)) {
    return P::refuse(error_notice(Note::smooth_bandwidth));
  }
  const bool log_form = s.form == Form::log_box || s.form == Form::log_tri;
  if (log_form && !(1.0f + s.param / 100.0f > 0.0f)) {
    return P::refuse(error_notice(Note::smooth_log_width));
  }
  return P::accept(s);
}

SmoothPlan::SmoothPlan(const Smoothing& smooth, bool fft_grid, float df, int nf,
                       std::span<const float> f, std::size_t weight_cap, SimdLevel simd)
    : f_(f.begin(), f.end()),
      df_(df),
      nf_(nf),
      form_(smooth.form),
      jlast_(static_cast<int>(f.size())),
      kernel_(&smooth_kernel(simd_level_supported(simd) ? simd : SimdLevel::baseline)) {
  const float top = static_cast<float>(nf - 1) * df + df / 10.0f;
  if (f_.empty() || nf < 1 || !(df > 0.0f) || !(f_.back() <= top) || !(f_.front() >= df)) {
    outcome_ = Outcome::grid_outside;
    return;
  }
  build_rows(smooth.param, fft_grid, weight_cap);
}

void SmoothPlan::interpolate_row(std::size_t row) {
  const InterpPoint p = interpolation_point(f_[row], df_, nf_);
  rows_[row] = {p.lo, p.hi, p.t, 0, Kind::interp};
}

void SmoothPlan::build_rows(float param, bool fft_grid, std::size_t weight_cap) {
  const std::size_t nfreq = f_.size();
  const float df = df_;
  const long long nf = nf_;
  rows_.assign(nfreq, Row{});
  const auto interpolate_all = [&] {
    for (std::size_t r = 0; r < nfreq; ++r) interpolate_row(r);
  };
  const auto set_row = [&](int j, Kind kind, long long k0, long long n) {
    rows_[static_cast<std::size_t>(j - 1)] = {static_cast<std::int32_t>(k0),
                                              static_cast<std::int32_t>(n), 0.0f, 0, kind};
  };
  // Rows from j on would need samples beyond the spectrum.
  const auto narrow_top = [&](int j) {
    jlast_ = j - 1;
    narrowed_ = true;
  };
  const int rows = static_cast<int>(nfreq);

  switch (form_) {
    case Form::none: {
      if (fft_grid) {
        // The grid is the transform grid: row j holds sample j.
        for (int j = 1; j <= rows; ++j) {
          if (j < nf_)
            set_row(j, Kind::copy, j, 1);
          else
            interpolate_row(static_cast<std::size_t>(j - 1));
        }
      } else {
        interpolate_all();
      }
      break;
    }
    case Form::linear_box: {
      if (param < df) {
        interpolate_all();
        break;
      }
      const float h = param / 2.0f;
      for (int j = 1; j <= rows; ++j) {
        const float fj = f_[static_cast<std::size_t>(j - 1)];
        const long long i1 = trunc_toward_zero((fj - h) / df + 0.5f);
        const long long i2 = trunc_toward_zero((fj + h) / df + 0.5f);
        if (i1 < 0) {
          jfirst_ = j + 1;
          narrowed_ = true;
          continue;
        }
        if (i2 + 1 > nf) {
          narrow_top(j);
          break;
        }
        set_row(j, Kind::box, i1, i2 - i1 + 1);
      }
      break;
    }
    case Form::linear_tri: {
      const float h = param / 2.0f;
      if (h < df) {
        interpolate_all();
        break;
      }
      h_ = h;
      for (int j = 1; j <= rows; ++j) {
        const float fj = f_[static_cast<std::size_t>(j - 1)];
        const long long i1 = trunc_toward_zero((fj - h) / df);
        const long long i2 = trunc_toward_zero((fj + h) / df);
        if (i1 < -1) {
          jfirst_ = j + 1;
          narrowed_ = true;
          continue;
        }
        if (i2 + 1 > nf) {
          narrow_top(j);
          break;
        }
        set_row(j, Kind::computed, i1 + 1, i2 - i1);
      }
      break;
    }
    case Form::log_box:
    case Form::log_tri:
    case Form::konno_ohmachi: {
      float r = 0.0f;
      float reach = df;  // f·(r - 1/r) below this: the row is interpolated
      bool rounded = false;
      if (form_ == Form::konno_ohmachi) {
        b_ = param;
        r = std::pow(10.0f, pi_single / param);
        reach = 2.0f * df;
      } else {
        r = 1.0f + param / 100.0f;
        rounded = form_ == Form::log_box;
        if (!rounded) reach = 2.0f * df;
      }
      inv_ln_r_ = 1.0 / std::log(static_cast<double>(r));
      const float spread = r - 1.0f / r;
      const float half = rounded ? 0.5f : 0.0f;
      for (int j = 1; j <= rows; ++j) {
        const float fj = f_[static_cast<std::size_t>(j - 1)];
        if (fj * spread < reach) {
          interpolate_row(static_cast<std::size_t>(j - 1));
          continue;
        }
        const long long i1 = trunc_toward_zero(fj / (r * df) + half);
        const long long i2 = trunc_toward_zero(r * fj / df + half);
        if (i2 + 1 > nf) {
          narrow_top(j);
          break;
        }
        if (rounded)
          set_row(j, Kind::box, i1, i2 - i1 + 1);
        else
          set_row(j, Kind::computed, i1 + 1, i2 - i1);
      }
      break;
    }
  }

  if (narrowed_ && jlast_ - jfirst_ < 2) {
    outcome_ = Outcome::too_few_rows;
    rows_.clear();
    return;
  }

  if (form_ == Form::log_tri || form_ == Form::konno_ohmachi) {
    log10k_.resize(static_cast<std::size_t>(nf_));
    for (std::size_t k = 0; k < log10k_.size(); ++k)
      log10k_[k] = std::log10(static_cast<double>(k));
  }
  store_weights(weight_cap);
  split_rows();
}

// Weights are kept for the rows in order until the cap is reached; the first rows are
// the narrowest, so the cap holds as many rows as possible.
void SmoothPlan::store_weights(std::size_t weight_cap) {
  const auto first = static_cast<std::size_t>(jfirst_ - 1);
  const auto last = static_cast<std::size_t>(jlast_);
  weight_cap = std::min<std::size_t>(weight_cap, std::numeric_limits<std::uint32_t>::max());
  std::size_t total = 0;
  for (std::size_t r = first; r < last; ++r) {
    const Row& row = rows_[r];
    if (row.kind != Kind::computed) continue;
    if (total + static_cast<std::size_t>(row.n) > weight_cap) break;
    total += static_cast<std::size_t>(row.n);
  }
  // The weights are kept in single precision as they are: the application divides
  // by the sum of the kept weights, so no normalisation is needed.
  weights_.resize(total);
  std::size_t used = 0;
  for (std::size_t r = first; r < last; ++r) {
    Row& row = rows_[r];
    if (row.kind != Kind::computed) continue;
    if (used + static_cast<std::size_t>(row.n) > total) {
      ++computed_rows_;
      continue;
    }
    kernel_->weights(rule(r), row.n, &weights_[used]);
    row.kind = Kind::stored;
    row.woff = static_cast<std::uint32_t>(used);
    used += static_cast<std::size_t>(row.n);
  }
}

// Cuts the valid rows into shares of about equal work for the threads. The cut has no
// bearing on the results: every row is summed alone.
void SmoothPlan::split_rows() {
  const auto first = static_cast<std::size_t>(jfirst_ - 1);
  const auto last = static_cast<std::size_t>(jlast_);
  const auto cost = [this](std::size_t r) {
    const Row& row = rows_[r];
    const bool summed =
        row.kind == Kind::box || row.kind == Kind::stored || row.kind == Kind::computed;
    // A computed weight costs a polynomial besides the sum.
    const std::size_t per_sample = row.kind == Kind::computed ? 4 : 1;
    return 16 + (summed ? per_sample * static_cast<std::size_t>(row.n) : 0);
  };
  std::size_t total = 0;
  for (std::size_t r = first; r < last; ++r) total += cost(r);
  const std::size_t count = std::clamp<std::size_t>(total / min_share_cost, 1, max_shares);
  const std::size_t per_share = total / count + 1;
  std::size_t acc = 0;
  for (std::size_t r = first; r < last; ++r) {
    acc += cost(r);
    if (acc >= per_share) {
      share_ends_.push_back(static_cast<std::uint32_t>(r + 1));
      acc = 0;
    }
  }
  if (share_ends_.empty() || share_ends_.back() != last) {
    share_ends_.push_back(static_cast<std::uint32_t>(last));
  }
}

WeightRule SmoothPlan::rule(std::size_t r) const {
  const Row& row = rows_[r];
  WeightRule rule;
  if (row.kind == Kind::box) return rule;
  if (row.kind == Kind::stored) {
    rule.kind = WeightRule::Kind::stored;
    rule.stored = &weights_[row.woff];
    return rule;
  }
  const double fj = f_[r];
  const double df = df_;
  switch (form_) {
    case Form::linear_tri:
      rule.kind = WeightRule::Kind::linear_tri;
      rule.centre = fj;
      rule.df = df;
      rule.scale = h_;
      rule.k0 = row.k0;
      break;
    case Form::log_tri:
      rule.kind = WeightRule::Kind::log_tri;
      rule.log10k = log10k_.data() + row.k0;
      rule.centre = std::log10(fj / df);
      rule.scale = ln10 * inv_ln_r_;
      break;
    case Form::konno_ohmachi:
      rule.kind = WeightRule::Kind::konno_ohmachi;
      rule.log10k = log10k_.data() + row.k0;
      rule.centre = std::log10(fj / df);
      rule.scale = b_;
      break;
    default:
      break;
  }
  return rule;
}

int SmoothPlan::status() const {
  if (outcome_ != Outcome::valid) return 1;
  return narrowed_ ? 2 : 0;
}

void SmoothPlan::report(Notices& notes, int w) const {
  if (outcome_ == Outcome::grid_outside) notes.push_back(error_notice(Note::smooth_grid_outside));
  if (outcome_ == Outcome::too_few_rows) notes.push_back(error_notice(Note::smooth_too_few_rows));
  if (outcome_ == Outcome::valid && narrowed_ && w == 1) {
    notes.push_back(warning_notice(Note::smooth_narrowed));
  }
}

void SmoothPlan::smooth(std::span<const float> S1, std::span<const float> S2,
                        std::span<const float> S3, std::span<float> O1, std::span<float> O2,
                        std::span<float> O3, Workers* workers) const {
  const auto first = static_cast<std::size_t>(jfirst_ - 1);
  const auto last = static_cast<std::size_t>(jlast_);
  const std::size_t nfreq = f_.size();
  const bool valid = status() != 1;
  for (std::size_t r = 0; r < nfreq; ++r) {
    if (valid && r >= first && r < last) continue;
    O1[r] = O2[r] = O3[r] = 0.0f;
  }
  if (!valid) return;
  const Columns io{S1, S2, S3, O1, O2, O3};
  const auto share = [&](int i, int) {
    const auto u = static_cast<std::size_t>(i);
    smooth_rows(u == 0 ? first : share_ends_[u - 1], share_ends_[u], io);
  };
  if (workers != nullptr && shares() > 1) {
    workers->run(shares(), share);
  } else {
    for (int i = 0; i < shares(); ++i) share(i, 0);
  }
}

void SmoothPlan::smooth_rows(std::size_t first, std::size_t last, const Columns& io) const {
  for (std::size_t r = first; r < last; ++r) {
    const Row& row = rows_[r];
    const auto k0 = static_cast<std::size_t>(row.k0);
    switch (row.kind) {
      case Kind::outside:
        io.O1[r] = io.O2[r] = io.O3[r] = 0.0f;
        break;
      case Kind::copy:
        io.O1[r] = io.S1[k0];
        io.O2[r] = io.S2[k0];
        io.O3[r] = io.S3[k0];
        break;
      case Kind::interp: {
        const InterpPoint p{row.k0, row.n, row.t};
        io.O1[r] = interpolate(p, io.S1, df_);
        io.O2[r] = interpolate(p, io.S2, df_);
        io.O3[r] = interpolate(p, io.S3, df_);
        break;
      }
      case Kind::box:
      case Kind::stored:
      case Kind::computed: {
        const RowSums s = kernel_->row_sums(rule(r), &io.S1[k0], &io.S2[k0], &io.S3[k0], row.n);
        io.O1[r] = static_cast<float>(s.a / s.w);
        io.O2[r] = static_cast<float>(s.b / s.w);
        io.O3[r] = static_cast<float>(s.c / s.w);
        break;
      }
    }
  }
}

SmoothPlan make_smooth_plan(const Smoothing& smooth, bool fft_grid, float df, int nf,
                            std::span<const float> f, std::size_t weight_cap, SimdLevel simd) {
  return SmoothPlan(smooth, fft_grid, df, nf, f, weight_cap, simd);
}

int APPLY_SMOOTH(const SmoothPlan& plan, std::span<const float> S1, std::span<const float> S2,
                 std::span<const float> S3, std::span<float> O1col, std::span<float> O2col,
                 std::span<float> O3col, int w, int& jfirst, int& jlast, Notices& notes,
                 Workers* workers) {
  jfirst = plan.jfirst();
  jlast = plan.jlast();
  plan.report(notes, w);
  const int status = plan.status();
  if (status == 1) return 1;
  const auto nf = static_cast<std::size_t>(plan.nf());
  const auto nfreq = static_cast<std::size_t>(plan.nfreq());
  if (S1.size() < nf || S2.size() < nf || S3.size() < nf || O1col.size() < nfreq ||
      O2col.size() < nfreq || O3col.size() < nfreq) {
    notes.push_back(error_notice(Note::smooth_short_arrays));
    return 1;
  }
  plan.smooth(S1, S2, S3, O1col, O2col, O3col, workers);
  return status;
}

}  // namespace hv

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
// Weights evaluated on the fly are produced and consumed in blocks of this many samples.
constexpr int block = 256;

// trunc() of a single-precision value, clamped so that even an absurd width cannot
// overflow the conversion; the clamped values lie far outside any spectrum.
long long trunc_toward_zero(float x) {
  constexpr float limit = 1e15f;
  if (!(x > -limit)) return -static_cast<long long>(limit);
  if (x > limit) return static_cast<long long>(limit);
  return static_cast<long long>(x);
}

// sin(x)/x as a polynomial in y = x², fitted (Chebyshev, near-minimax) on |x| <= 3.3:
// error 1.2e-13, against (sin x / x)^4 below 5e-13.
constexpr std::array<double, 9> sinc_coefficients = {
    0.9999999999998798,      -0.16666666666487837,   0.008333333328950667,
    -0.00019841269427434325, 2.7557299630186e-06,    -2.5051586513314948e-08,
    1.6050859131315049e-10,  -7.571998375087446e-13, 2.4348750620000463e-15};

inline double sinc4_polynomial(double x) {
  const auto& c = sinc_coefficients;
  const double y = x * x;
  const double y2 = y * y;
  const double y4 = y2 * y2;
  // Estrin's scheme: shorter dependency chains than Horner's rule, and no control flow
  // so that the calling loop is vectorised.
  const double p = ((c[0] + c[1] * y) + y2 * (c[2] + c[3] * y)) +
                   y4 * (((c[4] + c[5] * y) + y2 * (c[6] + c[7] * y)) + y4 * c[8]);
  const double p2 = p * p;
  return p2 * p2;
}

inline double ko_weight_exact(double x) {
  if (std::fabs(x) < 0.001) return 1.0;
  const double s = std::sin(x) / x;
  return (s * s) * (s * s);
}

// Weighted sums of the three spectra, in double, over independent lanes so that the
// compiler can keep several additions in flight (and vectorise them) without
// reassociating a single sum.
struct Sums {
  static constexpr int lanes = 4;
  std::array<double, lanes> w{}, a{}, b{}, c{};

  template <typename Weight>
  void add(const Weight* wk, const float* s1, const float* s2, const float* s3, int m) {
    int i = 0;
    for (; i + lanes <= m; i += lanes) {
      for (int l = 0; l < lanes; ++l) {
        const double x = wk[i + l];
        w[l] += x;
        a[l] += x * s1[i + l];
        b[l] += x * s2[i + l];
        c[l] += x * s3[i + l];
      }
    }
    for (; i < m; ++i) {
      const double x = wk[i];
      w[0] += x;
      a[0] += x * s1[i];
      b[0] += x * s2[i];
      c[0] += x * s3[i];
    }
  }

  void add_unit(const float* s1, const float* s2, const float* s3, int m) {
    int i = 0;
    for (; i + lanes <= m; i += lanes) {
      for (int l = 0; l < lanes; ++l) {
        a[l] += s1[i + l];
        b[l] += s2[i + l];
        c[l] += s3[i + l];
      }
    }
    for (; i < m; ++i) {
      a[0] += s1[i];
      b[0] += s2[i];
      c[0] += s3[i];
    }
  }

  static double total(const std::array<double, lanes>& v) { return (v[0] + v[1]) + (v[2] + v[3]); }
};

}  // namespace

double sinc4(double x) {
  return sinc4_polynomial(x);
}

SmoothPlan::SmoothPlan(const Option& smooth, const Option& freq_spacing, float df, int nf,
                       std::span<const float> f, std::size_t weight_cap)
    : smooth_(smooth),
      f_(f.begin(), f.end()),
      df_(df),
      nf_(nf),
      jlast_(static_cast<int>(f.size())) {
  const float top = static_cast<float>(nf - 1) * df + df / 10.0f;
  if (f_.empty() || nf < 1 || !(df > 0.0f) || !(f_.back() <= top) || !(f_.front() >= df)) {
    outcome_ = Outcome::grid_outside;
    return;
  }

  std::array<Word, 3> t;
  SPLIT3(smooth.view(), t, ':');
  const bool box = t[2] == "box";
  const bool tri = t[2] == "tri";
  if (t[0] == "none") {
    form_ = Form::none;
  } else if (t[0] == "linear" && (box || tri)) {
    form_ = box ? Form::linear_box : Form::linear_tri;
  } else if (t[0] == "log" && (box || tri)) {
    form_ = box ? Form::log_box : Form::log_tri;
  } else if (t[0] == "konno-ohmachi") {
    form_ = Form::konno_ohmachi;
  } else {
    outcome_ = Outcome::not_recognized;
    return;
  }
  float param = 0.0f;
  if (form_ != Form::none) {
    const std::optional<float> v = read_real(t[1].view());
    if (!v) {
      outcome_ = Outcome::not_a_number;
      return;
    }
    param = *v;
  }
  build_rows(param, freq_spacing, weight_cap);
}

void SmoothPlan::interpolate_row(std::size_t row) {
  const InterpPoint p = interpolation_point(f_[row], df_, nf_);
  rows_[row] = {p.lo, p.hi, p.t, 0, Kind::interp};
}

void SmoothPlan::build_rows(float param, const Option& freq_spacing, std::size_t weight_cap) {
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
      std::array<Word, 1> spacing;
      SPLIT3(freq_spacing.view(), spacing, ':');
      if (spacing[0] == "fft") {
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
        if (param < 3.0f || param > 100.0f) {
          outcome_ = Outcome::bandwidth;
          return;
        }
        b_ = param;
        r = std::pow(10.0f, pi_single / param);
        reach = 2.0f * df;
      } else {
        r = 1.0f + param / 100.0f;
        if (!(r > 0.0f)) {
          outcome_ = Outcome::log_width;
          return;
        }
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
  // Weights are kept for the rows in order until the cap is reached; the first rows are
  // the narrowest, so the cap holds as many rows as possible.
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
  std::array<double, block> w{};
  for (std::size_t r = first; r < last; ++r) {
    Row& row = rows_[r];
    if (row.kind != Kind::computed) continue;
    if (used + static_cast<std::size_t>(row.n) > total) {
      ++computed_rows_;
      continue;
    }
    row.kind = Kind::stored;
    row.woff = static_cast<std::uint32_t>(used);
    for (int k = 0; k < row.n; k += block) {
      const int m = std::min(block, row.n - k);
      weights(r, row.k0 + k, m, w.data());
      float* out = &weights_[used];
      for (int i = 0; i < m; ++i) out[i] = static_cast<float>(w[static_cast<std::size_t>(i)]);
      used += static_cast<std::size_t>(m);
    }
  }
}

void SmoothPlan::weights(std::size_t row, int k, int m, double* w) const {
  const double fj = f_[row];
  const double df = df_;
  switch (form_) {
    case Form::linear_tri: {
      const double h = h_;
      for (int i = 0; i < m; ++i) w[i] = 1.0 - std::fabs(fj - (k + i) * df) / h;
      break;
    }
    case Form::log_tri: {
      const double lj = std::log10(fj / df);
      const double scale = ln10 * inv_ln_r_;
      const double* L = log10k_.data() + k;
      for (int i = 0; i < m; ++i) w[i] = 1.0 - std::fabs(L[i] - lj) * scale;
      break;
    }
    case Form::konno_ohmachi: {
      const double lj = std::log10(fj / df);
      const double b = b_;
      const double* L = log10k_.data() + k;
      // x grows with k, so the ends of the block bound it. The sample range ends at
      // the window's first zero, |x| ~ pi; the polynomial covers that with room to
      // spare, and anything beyond takes the library sine.
      const double reach = std::max(std::fabs(b * (L[0] - lj)), std::fabs(b * (L[m - 1] - lj)));
      if (reach <= sinc4_polynomial_limit) {
        for (int i = 0; i < m; ++i) w[i] = sinc4_polynomial(b * (L[i] - lj));
      } else {
        for (int i = 0; i < m; ++i) w[i] = ko_weight_exact(b * (L[i] - lj));
      }
      // The centre, |x| < 0.001, has weight 1. Setting it apart from the loop above
      // keeps that loop free of comparisons (which would stop its vectorisation); x
      // grows with k, so the centre samples are one contiguous run found by bisection.
      const auto x = [&](int i) { return b * (L[i] - lj); };
      int lo = 0;
      for (int hi = m; lo < hi;) {
        const int mid = lo + (hi - lo) / 2;
        if (x(mid) <= -0.001)
          lo = mid + 1;
        else
          hi = mid;
      }
      for (int i = lo; i < m && std::fabs(x(i)) < 0.001; ++i) w[i] = 1.0;
      break;
    }
    default:
      std::fill(w, w + m, 1.0);
      break;
  }
}

int SmoothPlan::status() const {
  if (outcome_ != Outcome::valid) return 1;
  return narrowed_ ? 2 : 0;
}

void SmoothPlan::report(std::ostream& console, int w) const {
  switch (outcome_) {
    case Outcome::valid:
      if (narrowed_ && w == 1) {
        free_line(console, " WARNING : output frequency limits have been changed",
                  " by the smoothing procedure");
      }
      break;
    case Outcome::grid_outside:
      free_line(console, " This error should be impossible! : Fmax > Fny",
                " or Fmin < df (apply_smooth)");
      break;
    case Outcome::not_recognized:
      free_line(console, " ERROR : smoothing parameter not recognized: ", smooth_.view());
      break;
    case Outcome::not_a_number:
      free_line(console, " ERROR : smoothing parameter: ", smooth_.view());
      free_line(console, " the width, percentage or bandwidth is not a number");
      break;
    case Outcome::bandwidth:
      free_line(console, " ERROR : smoothing parameter: ", smooth_.view());
      free_line(console, " allowed Konno_Ohmachi bandwidth is between ", fmt_F(3.0, 5, 1), " - ",
                fmt_F(100.0, 5, 1));
      break;
    case Outcome::log_width:
      free_line(console, " ERROR : smoothing parameter: ", smooth_.view());
      free_line(console, " the log smoothing width must be greater than -100 %");
      break;
    case Outcome::too_few_rows:
      free_line(console, " ERROR : smoothing window too large:");
      free_line(console, " number of significant smoothed spectrum values ", "less than 2 !!");
      break;
  }
}

void SmoothPlan::smooth(std::span<const float> S1, std::span<const float> S2,
                        std::span<const float> S3, std::span<float> O1, std::span<float> O2,
                        std::span<float> O3) const {
  const auto first = static_cast<std::size_t>(jfirst_ - 1);
  const auto last = static_cast<std::size_t>(jlast_);
  const std::size_t nfreq = f_.size();
  const bool valid = status() != 1;
  for (std::size_t r = 0; r < nfreq; ++r) {
    if (valid && r >= first && r < last) continue;
    O1[r] = O2[r] = O3[r] = 0.0f;
  }
  if (!valid) return;
  std::array<double, block> w{};
  for (std::size_t r = first; r < last; ++r) {
    const Row& row = rows_[r];
    const auto k0 = static_cast<std::size_t>(row.k0);
    switch (row.kind) {
      case Kind::outside:
        O1[r] = O2[r] = O3[r] = 0.0f;
        break;
      case Kind::copy:
        O1[r] = S1[k0];
        O2[r] = S2[k0];
        O3[r] = S3[k0];
        break;
      case Kind::interp: {
        const InterpPoint p{row.k0, row.n, row.t};
        O1[r] = interpolate(p, S1, df_);
        O2[r] = interpolate(p, S2, df_);
        O3[r] = interpolate(p, S3, df_);
        break;
      }
      case Kind::box: {
        Sums s;
        s.add_unit(&S1[k0], &S2[k0], &S3[k0], row.n);
        const double n = row.n;
        O1[r] = static_cast<float>(Sums::total(s.a) / n);
        O2[r] = static_cast<float>(Sums::total(s.b) / n);
        O3[r] = static_cast<float>(Sums::total(s.c) / n);
        break;
      }
      case Kind::stored:
      case Kind::computed: {
        Sums s;
        if (row.kind == Kind::stored) {
          s.add(&weights_[row.woff], &S1[k0], &S2[k0], &S3[k0], row.n);
        } else {
          for (int k = 0; k < row.n; k += block) {
            const int m = std::min(block, row.n - k);
            weights(r, row.k0 + k, m, w.data());
            const auto at = k0 + static_cast<std::size_t>(k);
            s.add(w.data(), &S1[at], &S2[at], &S3[at], m);
          }
        }
        const double sw = Sums::total(s.w);
        O1[r] = static_cast<float>(Sums::total(s.a) / sw);
        O2[r] = static_cast<float>(Sums::total(s.b) / sw);
        O3[r] = static_cast<float>(Sums::total(s.c) / sw);
        break;
      }
    }
  }
}

SmoothPlan make_smooth_plan(const Option& smooth, const Option& freq_spacing, float df, int nf,
                            std::span<const float> f, std::size_t weight_cap) {
  return SmoothPlan(smooth, freq_spacing, df, nf, f, weight_cap);
}

int APPLY_SMOOTH(const SmoothPlan& plan, std::span<const float> S1, std::span<const float> S2,
                 std::span<const float> S3, std::span<float> O1col, std::span<float> O2col,
                 std::span<float> O3col, int w, int& jfirst, int& jlast, std::ostream& console) {
  jfirst = plan.jfirst();
  jlast = plan.jlast();
  plan.report(console, w);
  const int status = plan.status();
  if (status == 1) return 1;
  const auto nf = static_cast<std::size_t>(plan.nf());
  const auto nfreq = static_cast<std::size_t>(plan.nfreq());
  if (S1.size() < nf || S2.size() < nf || S3.size() < nf || O1col.size() < nfreq ||
      O2col.size() < nfreq || O3col.size() < nfreq) {
    free_line(console, " ERROR : apply_smooth: spectra or output columns shorter than the",
              " smoothing plan");
    return 1;
  }
  plan.smooth(S1, S2, S3, O1col, O2col, O3col);
  return status;
}

}  // namespace hv

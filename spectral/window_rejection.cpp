// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/window_rejection.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "common/freefmt.hpp"
#include "common/text.hpp"
#include "spectral/kf0.hpp"

namespace hv {

namespace {

// Peak statistics of the kept windows.
struct PeakStats {
  double mu = 0.0;      // mean of ln(peak)
  double sigma = 0.0;   // standard deviation of ln(peak)
  double offset = 0.0;  // |exp(mu) - peak of the kept windows' geometric-mean curve|
};

// A quantity has settled when it moved by no more than 1 % of its previous value.
bool settled(double previous, double current) {
  return std::fabs(current - previous) <= 0.01 * std::fabs(previous);
}

class Judge {
 public:
  Judge(std::span<const float> HVwin, std::span<const float> f, int nfreq, RowRange rows)
      : hv_(HVwin),
        f_(f),
        nfreq_(nfreq),
        rows_(rows),
        first_(static_cast<std::size_t>(rows.jfirst - 1)),
        last_(static_cast<std::size_t>(rows.jlast)),
        log_sum_(last_ - first_, 0.0),
        mean_(static_cast<std::size_t>(nfreq), 0.0f) {}

  // ln of the frequency of the highest interior maximum of window w, or nothing.
  std::optional<double> log_peak(int w) const {
    const int j = KF0(hv_, nfreq_, w, rows_.jfirst, rows_.jlast);
    if (j == rows_.jfirst) return std::nullopt;
    return std::log(static_cast<double>(f_[static_cast<std::size_t>(j - 1)]));
  }

  // Adds (sign 1) or removes (sign -1) window w (0-based) from the sums of ln H/V of
  // the kept windows, so that a round costs only the windows it rejects.
  void count(std::size_t w, double sign) {
    const std::size_t base = w * static_cast<std::size_t>(nfreq_);
    for (std::size_t j = first_; j < last_; ++j) {
      log_sum_[j - first_] += sign * std::log(static_cast<double>(hv_[base + j]));
    }
  }

  PeakStats stats(const std::vector<double>& ln_peak, const std::vector<char>& kept) {
    PeakStats s;
    int n = 0;
    for (std::size_t w = 0; w < kept.size(); ++w) {
      if (kept[w] == 0) continue;
      s.mu += ln_peak[w];
      ++n;
    }
    s.mu /= n;
    for (std::size_t w = 0; w < kept.size(); ++w) {
      if (kept[w] != 0) s.sigma += (ln_peak[w] - s.mu) * (ln_peak[w] - s.mu);
    }
    s.sigma = n > 1 ? std::sqrt(s.sigma / (n - 1)) : 0.0;
    s.offset = std::fabs(std::exp(s.mu) - mean_curve_peak(n));
    return s;
  }

 private:
  // Peak frequency of the geometric-mean curve of the n kept windows; NaN when the
  // curve has no interior maximum.
  double mean_curve_peak(int n) {
    for (std::size_t j = first_; j < last_; ++j) {
      mean_[j] = static_cast<float>(std::exp(log_sum_[j - first_] / n));
    }
    const int j0 = KF0(mean_, nfreq_, 1, rows_.jfirst, rows_.jlast);
    if (j0 == rows_.jfirst) return std::nan("");
    return f_[static_cast<std::size_t>(j0 - 1)];
  }

  std::span<const float> hv_;
  std::span<const float> f_;
  int nfreq_;
  RowRange rows_;
  std::size_t first_, last_;
  std::vector<double> log_sum_;
  std::vector<float> mean_;
};

// Peak-frequency offsets of a curve without a peak are taken as 0.
PeakStats finite_offset(PeakStats s) {
  if (!std::isfinite(s.offset)) s.offset = 0.0;
  return s;
}

// One round of the n_sd test; returns the number of windows it rejected.
int reject_outliers(const std::vector<double>& ln_peak, const PeakStats& s, double n_sd,
                    std::vector<char>& kept, Judge& judge) {
  // Rounding of the mean of equal values must not reject them when sigma is 0.
  constexpr double slack = 1e-9;
  std::vector<std::pair<double, std::size_t>> outliers;
  int n_kept = 0;
  for (std::size_t w = 0; w < kept.size(); ++w) {
    if (kept[w] == 0) continue;
    ++n_kept;
    const double distance = std::fabs(ln_peak[w] - s.mu);
    if (distance > n_sd * s.sigma + slack) outliers.emplace_back(distance, w);
  }
  // Farthest first; among equal distances the earlier window goes first.
  std::stable_sort(outliers.begin(), outliers.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  int rejected = 0;
  for (const auto& [distance, w] : outliers) {
    if (n_kept - rejected <= 2) break;
    kept[w] = 0;
    judge.count(w, -1.0);
    ++rejected;
  }
  return rejected;
}

}  // namespace

Parsed<RejectionOption> parse_window_rejection(std::string_view text) {
  using P = Parsed<RejectionOption>;
  std::array<Word, 3> words;
  const int count = SPLIT3(text, words, ':');
  if (count == 0 || (count == 1 && words[0] == "none")) return P::accept({});
  if (!(words[0] == "frequency")) return P::refuse(error_notice(Note::rejection_not_recognised));
  if (count != 2) return P::refuse(error_notice(Note::rejection_form));
  const std::optional<double> n = parse_double(words[1].trimmed());
  if (!n || !(*n > 0.0)) return P::refuse(error_notice(Note::rejection_n));
  return P::accept({true, *n});
}

int WindowRejection::kept_count() const {
  return static_cast<int>(std::count(kept.begin(), kept.end(), char{1}));
}

std::vector<int> WindowRejection::rejected() const {
  std::vector<int> out;
  for (std::size_t w = 0; w < kept.size(); ++w) {
    if (kept[w] == 0) out.push_back(static_cast<int>(w) + 1);
  }
  return out;
}

WindowRejection reject_windows(std::span<const float> HVwin, std::span<const float> f, int nfreq,
                               int nwin, RowRange rows, double n_sd) {
  WindowRejection out;
  out.n_sd = n_sd;
  const auto windows = static_cast<std::size_t>(std::max(nwin, 0));
  out.kept.assign(windows, 1);
  Judge judge(HVwin, f, nfreq, rows);
  std::vector<double> ln_peak(windows, 0.0);
  std::vector<char> with_peak(windows, 0);
  for (std::size_t w = 0; w < windows; ++w) {
    const std::optional<double> p = judge.log_peak(static_cast<int>(w) + 1);
    if (p) {
      ln_peak[w] = *p;
      with_peak[w] = 1;
    }
  }
  if (std::count(with_peak.begin(), with_peak.end(), char{1}) < 2) return out;
  out.kept = with_peak;
  for (std::size_t w = 0; w < windows; ++w) {
    if (out.kept[w] != 0) judge.count(w, 1.0);
  }

  PeakStats before = finite_offset(judge.stats(ln_peak, out.kept));
  while (out.iterations < max_rejection_rounds) {
    ++out.iterations;
    if (reject_outliers(ln_peak, before, n_sd, out.kept, judge) == 0) break;
    const PeakStats after = finite_offset(judge.stats(ln_peak, out.kept));
    if (settled(before.offset, after.offset) && settled(before.sigma, after.sigma)) break;
    before = after;
  }
  return out;
}

int compact_columns(std::span<float> matrix, int nfreq, const std::vector<char>& kept) {
  const auto rows = static_cast<std::size_t>(nfreq);
  std::size_t to = 0;
  for (std::size_t w = 0; w < kept.size(); ++w) {
    if (kept[w] == 0) continue;
    if (to != w) {
      std::copy_n(matrix.begin() + static_cast<std::ptrdiff_t>(w * rows), rows,
                  matrix.begin() + static_cast<std::ptrdiff_t>(to * rows));
    }
    ++to;
  }
  return static_cast<int>(to);
}

}  // namespace hv

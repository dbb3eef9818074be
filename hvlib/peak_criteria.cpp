// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvlib/peak_criteria.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace hv {

namespace {

using Rows = std::vector<double>;

Rows doubles(std::span<const float> v) {
  return Rows(v.begin(), v.end());
}

// Index of the largest interior maximum, or -1.
int largest_interior_maximum(const Rows& v) {
  int best = -1;
  double best_value = -std::numeric_limits<double>::infinity();
  for (std::size_t j = 1; j + 1 < v.size(); ++j) {
    if (v[j] > v[j - 1] && v[j] >= v[j + 1] && v[j] > best_value) {
      best = static_cast<int>(j);
      best_value = v[j];
    }
  }
  return best;
}

bool covered(const Rows& f, double low, double high) {
  return !f.empty() && f.front() <= low && f.back() >= high;
}

// An interval criterion: `definite` is what one row can force (fail for "every row",
// pass for "some row"), and settled says whether a row did.
Verdict decide(Verdict definite, bool settled, bool is_covered, bool has_nan) {
  if (settled) return definite;
  if (!is_covered || has_nan) return Verdict::not_evaluable;
  return definite == Verdict::fail ? Verdict::pass : Verdict::fail;
}

Verdict passes(bool ok) {
  return ok ? Verdict::pass : Verdict::fail;
}

Verdict sigma_low_around_peak(const PeakCriteria& p, const Rows& f, const Rows& sigma) {
  const double limit = p.f0 > 0.5 ? 2.0 : 3.0;
  const double low = 0.5 * p.f0, high = 2.0 * p.f0;
  int rows = 0, known = 0;
  int worst = -1;
  for (std::size_t j = 0; j < f.size(); ++j) {
    if (!(low < f[j] && f[j] < high)) continue;
    ++rows;
    if (std::isnan(sigma[j])) continue;
    ++known;
    if (worst < 0 || sigma[j] > sigma[static_cast<std::size_t>(worst)]) worst = static_cast<int>(j);
  }
  const bool broken = worst >= 0 && !(sigma[static_cast<std::size_t>(worst)] < limit);
  return decide(Verdict::fail, broken, covered(f, low, high), known < rows);
}

Verdict largest_inside(const Rows& hv) {
  int top = -1;
  for (std::size_t j = 0; j < hv.size(); ++j) {
    if (std::isnan(hv[j])) continue;
    if (top < 0 || hv[j] > hv[static_cast<std::size_t>(top)]) top = static_cast<int>(j);
  }
  if (top < 0) return Verdict::not_evaluable;
  return passes(top != 0 && top != static_cast<int>(hv.size()) - 1);
}

Verdict half_amplitude_side(const PeakCriteria& p, const Rows& f, const Rows& hv, bool below) {
  const double half = p.a0 / 2.0;
  const double low = below ? p.f0 / 4.0 : p.f0;
  const double high = below ? p.f0 : 4.0 * p.f0;
  bool hit = false, has_nan = false;
  for (std::size_t j = 0; j < f.size(); ++j) {
    if (!(low <= f[j] && f[j] <= high)) continue;
    hit = hit || hv[j] < half;
    has_nan = has_nan || std::isnan(hv[j]);
  }
  return decide(Verdict::pass, hit, covered(f, low, high), has_nan);
}

Verdict band_peaks_stable(const PeakCriteria& p, const Rows& f, const Rows& hv, const Rows& sigma) {
  Rows upper(hv.size()), lower(hv.size());
  for (std::size_t j = 0; j < hv.size(); ++j) {
    upper[j] = hv[j] * sigma[j];
    lower[j] = hv[j] / sigma[j];
  }
  const double low = 0.95 * p.f0, high = 1.05 * p.f0;
  int found = 0;
  bool outside = false;
  for (const Rows* curve : {&upper, &lower}) {
    const int j = largest_interior_maximum(*curve);
    if (j < 0) continue;
    ++found;
    const double at = f[static_cast<std::size_t>(j)];
    if (!(low <= at && at <= high)) outside = true;
  }
  if (outside) return Verdict::fail;
  return found < 2 ? Verdict::not_evaluable : Verdict::pass;
}

}  // namespace

std::array<double, 2> peak_thresholds(double f0) {
  if (f0 < 0.2) return {0.25 * f0, 3.0};
  if (f0 < 0.5) return {0.20 * f0, 2.5};
  if (f0 < 1.0) return {0.15 * f0, 2.0};
  if (f0 < 2.0) return {0.10 * f0, 1.78};
  return {0.05 * f0, 1.58};
}

Decision PeakCriteria::reliability() const {
  if (std::find(reliable.begin(), reliable.end(), Verdict::fail) != reliable.end()) {
    return Decision::no;
  }
  return std::all_of(reliable.begin(), reliable.end(), [](Verdict v) { return v == Verdict::pass; })
             ? Decision::yes
             : Decision::undetermined;
}

int PeakCriteria::clear_passed() const {
  return static_cast<int>(std::count(clear.begin(), clear.end(), Verdict::pass));
}

Decision PeakCriteria::clear_peak() const {
  const int passed = clear_passed();
  if (passed >= 5) return Decision::yes;
  const auto unknown = std::count(clear.begin(), clear.end(), Verdict::not_evaluable);
  return passed + unknown < 5 ? Decision::no : Decision::undetermined;
}

PeakCriteria assess_peak(std::span<const float> freq, std::span<const float> hv_values,
                         std::span<const float> sigma_values, double lw, int nw,
                         std::optional<FoRange> fo) {
  const Rows f = doubles(freq), hv = doubles(hv_values), sigma = doubles(sigma_values);
  PeakCriteria p;
  p.reliable.fill(Verdict::not_evaluable);
  p.clear.fill(Verdict::not_evaluable);
  p.reliable[3] = largest_inside(hv);
  p.row = largest_interior_maximum(hv);
  if (p.row < 0) return p;
  p.has_peak = true;
  p.f0 = f[static_cast<std::size_t>(p.row)];
  p.a0 = hv[static_cast<std::size_t>(p.row)];

  p.reliable[0] = passes(p.f0 > 10.0 / lw);
  p.reliable[1] = passes(lw * nw * p.f0 > 200.0);
  p.reliable[2] = sigma_low_around_peak(p, f, sigma);

  const auto [epsilon, theta] = peak_thresholds(p.f0);
  p.clear[0] = half_amplitude_side(p, f, hv, true);
  p.clear[1] = half_amplitude_side(p, f, hv, false);
  p.clear[2] = passes(p.a0 > 2.0);
  p.clear[3] = band_peaks_stable(p, f, hv, sigma);
  if (fo) p.clear[4] = passes((fo->plus - fo->minus) / 2.0 < epsilon);
  const double at_peak = sigma[static_cast<std::size_t>(p.row)];
  if (!std::isnan(at_peak)) p.clear[5] = passes(at_peak < theta);
  return p;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// The reliability and clear-peak criteria of an averaged H/V curve: four criteria on
// whether the curve can be trusted, six on whether its peak is clear. Each ends as a
// pass, a fail or not evaluable; a criterion whose data do not reach a decision never
// counts as a pass. A criterion over an interval of frequencies decides on the rows it
// has when they already settle it, and is not evaluable when the undecided part of the
// interval lies outside the rows or a value there is not a number.
#pragma once

#include <array>
#include <optional>
#include <span>

namespace hv {

enum class Verdict { pass, fail, not_evaluable };
enum class Decision { yes, no, undetermined };

struct PeakCriteria {
  // The peak: the largest local maximum strictly inside the rows (rising strictly from
  // the row before, not falling to the row after; the first of equal maxima).
  bool has_peak = false;
  int row = -1;  // index in the rows given
  double f0 = 0.0, a0 = 0.0;
  // f0 > 10/lw; lw*nw*f0 > 200; sigma_A below 2 (3 when f0 <= 0.5 Hz) for
  // 0.5 f0 < f < 2 f0; the curve's largest value not on the first or last row.
  std::array<Verdict, 4> reliable{};
  // A < A0/2 somewhere in [f0/4, f0]; the same in [f0, 4 f0]; A0 > 2; the peaks of
  // A*sigma_A and A/sigma_A within f0 +/- 5 %; sigma_f < epsilon(f0);
  // sigma_A(f0) < theta(f0).
  std::array<Verdict, 6> clear{};

  // No when one reliability criterion fails, yes when all pass.
  Decision reliability() const;
  int clear_passed() const;
  // Yes with at least five clear-peak criteria passed, no when five can no longer be.
  Decision clear_peak() const;
};

// Fo's band of one standard deviation, as the averaged result gives it.
struct FoRange {
  double minus = 0.0, plus = 0.0;
};

// The criteria for the curve hv with deviation factor sigma on the rows freq (the
// valid rows of an averaged result), windows of lw seconds, nw windows averaged, and
// Fo's band when Fo was found.
PeakCriteria assess_peak(std::span<const float> freq, std::span<const float> hv,
                         std::span<const float> sigma, double lw, int nw,
                         std::optional<FoRange> fo);

// The thresholds epsilon (Hz) and theta of the frequency spread and the amplitude
// deviation at f0.
std::array<double, 2> peak_thresholds(double f0);

}  // namespace hv

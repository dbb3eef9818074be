// SPDX-License-Identifier: GPL-3.0-or-later
// Frequency-domain rejection of windows: windows whose H/V peak lies far from the
// others (a passing vehicle, wind on the sensor) are removed from the averages by the
// lognormal spread of the windows' peak frequencies, iterated until it settles.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "common/text.hpp"
#include "spectral/matrices.hpp"
#include "spectral/notice.hpp"

namespace hv {

// The window_rejection option: blank (the key was not given) or "none" for no
// rejection, "frequency:n" for rejection at n standard deviations (n > 0).
struct RejectionOption {
  bool active = false;
  double n_sd = 0.0;
};

// Reads the option; refuses any other form and an n that is not a positive number.
Parsed<RejectionOption> parse_window_rejection(std::string_view text);

// The outcome of a rejection run over nwin windows.
struct WindowRejection {
  double n_sd = 0.0;
  std::vector<char> kept;  // one flag per window, in window order
  int iterations = 0;      // rounds of the n_sd test that were made
  int nwin() const { return static_cast<int>(kept.size()); }
  int kept_count() const;
  // 1-based numbers of the rejected windows, in window order.
  std::vector<int> rejected() const;
};

// At most this many rounds of the n_sd test are made.
inline constexpr int max_rejection_rounds = 50;

// Judges the windows by their merged H/V curves HVwin (nfreq × nwin, column by column;
// rows jfirst..jlast valid):
//  1. each window's peak frequency is the highest interior maximum of its curve (the
//     peak picker of Fo); a window without one is rejected at once;
//  2. over the kept windows: mean mu and standard deviation sigma of ln(peak), and
//     the peak f_mc of their geometric-mean curve;
//  3. kept windows with |ln(peak) - mu| > n_sd·sigma are rejected;
//  4. 2 and 3 are repeated until |exp(mu) - f_mc| and sigma each change by no more
//     than 1 % of their previous values, or after max_rejection_rounds rounds.
// Two windows always stay: when fewer than two have a peak nothing is rejected, and
// a round rejects the farthest windows first and stops at two.
WindowRejection reject_windows(std::span<const float> HVwin, std::span<const float> f, int nfreq,
                               int nwin, RowRange rows, double n_sd);

// Moves the kept columns of an nfreq-row matrix to its front, keeping their order.
// Returns the number of kept columns.
int compact_columns(std::span<float> matrix, int nfreq, const std::vector<char>& kept);

}  // namespace hv

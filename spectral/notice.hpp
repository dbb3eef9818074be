// SPDX-License-Identifier: GPL-3.0-or-later
// What the computation reports instead of printing: a code from one table and the
// values its message needs. The programs turn each code into their own text; the
// library's callers may read the codes and values directly.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hv {

enum class Note {
  // freq_spacing and the frequency grid
  grid_wrongly_set,   // the form is none of fft, fft_red, linear, log
  grid_incorrect,     // wrong field count, empty or falling range, n < 2, log from 0
  grid_too_many,      // more frequencies than the grid holds
  grid_not_a_number,  // text: the field that is not a number
  grid_bad_input,     // value: transform length, sampling interval
  grid_empty,         // value: df, fny
  // offset_rem: mean removal and filters
  offset_not_recognised,
  filter_bad_interval,  // value: dt
  filter_corner_missing,
  filter_corner_not_number,     // text: the field
  filter_corner_not_positive,   // value: corner
  filter_corner_above_nyquist,  // value: corner, Nyquist frequency
  filter_band_order,            // value: lower, upper corner
  filter_low_pass_limit,        // value: corner, 95 % of the Nyquist frequency
  filter_unstable,              // value: dt
  // taper
  taper_not_recognised,
  taper_no_percentage,
  taper_not_a_number,  // text: the field
  taper_above_50,
  taper_negative,
  taper_too_long,  // value: sample count, transform length, work vector size
  // smooth
  smooth_narrowed,  // warning, for window 1 only
  smooth_grid_outside,
  smooth_not_recognized,
  smooth_not_a_number,
  smooth_bandwidth,
  smooth_log_width,
  smooth_too_few_rows,
  smooth_short_arrays,
  // merge_type
  merge_unknown,
  // window_rejection
  rejection_not_recognised,
  rejection_form,
  rejection_n,
  // azimuth_step
  azimuth_one_number,
  azimuth_not_a_number,
  azimuth_not_positive,
  azimuth_not_divisor,
  azimuth_below_one_degree,
  // window extraction; value: samples of the recording, window, start, end sample
  window_outside,
  window_too_long,  // value: samples asked, room
  // Fo
  fo_not_in_hv,       // warning
  fo_lower_limit,     // warning; value: lowest available, wanted frequency
  fo_upper_limit,     // warning; value: highest available, wanted frequency
  fo_not_computable,  // warning
  peak_at_grid_edge,  // warning; value: frequency of the largest averaged H/V
  // the run
  interval_changed,  // value: sampling interval of the first recording, of this one
  window_too_short,  // value: longest window, seconds
  no_windows,
  // A yes/no option whose first word is neither; text: the key; value: 1 when taken as
  // yes, 0 as no.
  flag_not_yes_no,
  // What the recording source had to say on reading the window's recording (its
  // texts are the source's own); an error when it gave no recording.
  recording_read,
  // calmpick's taper zone on a short recording: no sample at all, and the counts of
  // end zeros and ramp samples cut to fit (value: the new count)
  taper_zone_empty,
  taper_zeros_reset,
  taper_ramp_reset,
};

struct Notice {
  Note code;
  int status = 1;  // 1 an error, 2 a warning, 0 for information
  int window = 0;  // the window it concerns (1-based), 0 for the run
  std::array<double, 4> value{};
  std::string text;
};

using Notices = std::vector<Notice>;

inline Notice error_notice(Note code, std::array<double, 4> value = {},
                           std::string_view text = {}) {
  return {code, 1, 0, value, std::string(text)};
}
inline Notice warning_notice(Note code, std::array<double, 4> value = {}) {
  return {code, 2, 0, value, {}};
}

// An option read from its text: the value, or the notice that refuses it.
template <typename T>
struct Parsed {
  std::optional<T> value;
  std::optional<Notice> refusal;

  static Parsed accept(T v) { return {std::move(v), std::nullopt}; }
  static Parsed refuse(Notice n) { return {std::nullopt, std::move(n)}; }
  bool ok() const { return value.has_value(); }
};

}  // namespace hv

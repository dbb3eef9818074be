// SPDX-License-Identifier: GPL-3.0-or-later
#include "messages/hv_messages.hpp"

#include <algorithm>

#include "common/fields.hpp"
#include "spectral/deffre.hpp"

namespace hv {

namespace {

// Up to 78 characters of an option, as the refusals echo it.
std::string_view echo(const Option& option) {
  return option.view().substr(0, 78);
}

void grid(std::ostream& os, const Notice& n, const PARAMETERS& par) {
  switch (n.code) {
    case Note::grid_wrongly_set:
      free_line(os, " ERROR : 'frequency spacing' option wrongly set :");
      break;
    case Note::grid_incorrect:
      free_line(os, " incorrect  option(s) for 'frequency spacing':");
      break;
    case Note::grid_too_many:
      free_line(os, " Frequency spacing option : ");
      free_line(os, echo(par.freq_spacing));
      free_line(os, " Number of frequencies (requested or computed)", " greater than dimension",
                max_frequencies);
      return;
    case Note::grid_not_a_number:
      free_line(os, " ERROR : 'frequency spacing' option, not a number: ", n.text);
      break;
    case Note::grid_empty:
      free_line(os,
                " ERROR : 'frequency spacing' option gives no frequency between df =", n.value[0],
                " and fny =", n.value[1]);
      break;
    default:  // grid_bad_input
      free_line(os, " ERROR : frequency grid: transform length", static_cast<int>(n.value[0]),
                " or sampling interval", n.value[1], " not positive");
      return;
  }
  free_line(os, echo(par.freq_spacing));
}

void offset(std::ostream& os, const Notice& n, const PARAMETERS& par) {
  free_line(os, "  ERROR in 'offset removal' parameter: ", par.offset_rem.view());
  const auto v = n.value;
  switch (n.code) {
    case Note::offset_not_recognised:
      return free_line(os, " The key is NOT recognised");
    case Note::filter_bad_interval:
      return free_line(
          os, free_text("no filter can be designed for the sampling interval", v[0], " s"));
    case Note::filter_corner_missing:
      return free_line(os, "a corner frequency is missing");
    case Note::filter_corner_not_number:
      return free_line(os, free_text("the corner frequency '", n.text, "' is not a number"));
    case Note::filter_corner_not_positive:
      return free_line(os, free_text("the corner frequency", v[0], " Hz is not above 0"));
    case Note::filter_corner_above_nyquist:
      return free_line(os, free_text("the corner frequency", v[0],
                                     " Hz is not below the Nyquist frequency", v[1], " Hz"));
    case Note::filter_band_order:
      return free_line(os, free_text("the lower corner frequency", v[0],
                                     " Hz is not below the upper one", v[1], " Hz"));
    case Note::filter_low_pass_limit:
      return free_line(os, free_text("the low-pass corner frequency", v[0],
                                     " Hz is above 95 % of the Nyquist frequency,", v[1], " Hz"));
    default:  // filter_unstable
      return free_line(os, free_text("the corner frequencies lie too close to 0 or to the Nyquist",
                                     " frequency for a stable, accurate filter at the sampling",
                                     " interval", v[0], " s"));
  }
}

void taper(std::ostream& os, const Notice& n, const PARAMETERS& par) {
  if (n.code == Note::taper_too_long) {
    return free_line(os, " APPLY_TAPER : sample count", static_cast<long long>(n.value[0]),
                     " or transform length", static_cast<long long>(n.value[1]),
                     " exceeds the work vector of", static_cast<long long>(n.value[2]));
  }
  free_line(os, "  ERROR in taper parameter:", par.taper.view());
  switch (n.code) {
    case Note::taper_not_recognised:
      return free_line(os, " The key is NOT recognised");
    case Note::taper_no_percentage:
      return free_line(os, " A percentage must be supplied");
    case Note::taper_not_a_number:
      return free_line(os, free_text(" The percentage is not a number: ", n.text));
    case Note::taper_above_50:
      return free_line(os, " Percentage must be less than 50");
    default:  // taper_negative
      return free_line(os, " The percentage must not be negative");
  }
}

void smooth(std::ostream& os, const Notice& n, const PARAMETERS& par) {
  const std::string_view option = par.smooth.view();
  switch (n.code) {
    case Note::smooth_narrowed:
      return free_line(os, " WARNING : output frequency limits have been changed",
                       " by the smoothing procedure");
    case Note::smooth_grid_outside:
      return free_line(os, " This error should be impossible! : Fmax > Fny",
                       " or Fmin < df (apply_smooth)");
    case Note::smooth_not_recognized:
      return free_line(os, " ERROR : smoothing parameter not recognized: ", option);
    case Note::smooth_not_a_number:
      free_line(os, " ERROR : smoothing parameter: ", option);
      return free_line(os, " the width, percentage or bandwidth is not a number");
    case Note::smooth_bandwidth:
      free_line(os, " ERROR : smoothing parameter: ", option);
      return free_line(os, " allowed Konno_Ohmachi bandwidth is between ", fmt_F(3.0, 5, 1), " - ",
                       fmt_F(100.0, 5, 1));
    case Note::smooth_log_width:
      free_line(os, " ERROR : smoothing parameter: ", option);
      return free_line(os, " the log smoothing width must be greater than -100 %");
    case Note::smooth_too_few_rows:
      free_line(os, " ERROR : smoothing window too large:");
      return free_line(os, " number of significant smoothed spectrum values ", "less than 2 !!");
    default:  // smooth_short_arrays
      return free_line(os, " ERROR : apply_smooth: spectra or output columns shorter than the",
                       " smoothing plan");
  }
}

// The refusal of an optional analysis: its key, its value and why.
void analysis(std::ostream& os, const Notice& n, const PARAMETERS& par) {
  const bool rejection = n.code <= Note::rejection_n;
  free_line(os, rejection ? " incorrect  option(s) for 'window_rejection':"
                          : " incorrect  option(s) for 'azimuth_step':");
  free_line(os, echo(rejection ? par.window_rejection : par.azimuth_step));
  switch (n.code) {
    case Note::rejection_not_recognised:
      return free_line(os, " The key is NOT recognised");
    case Note::rejection_form:
      return free_line(os, " the form is frequency:n");
    case Note::rejection_n:
      return free_line(os, " n (standard deviations) must be a positive number");
    case Note::azimuth_one_number:
      return free_line(os, " azimuth_step takes one number of degrees");
    case Note::azimuth_not_a_number:
      return free_line(os, " azimuth_step is not a number");
    case Note::azimuth_not_positive:
      return free_line(os, " azimuth_step must be positive");
    case Note::azimuth_not_divisor:
      return free_line(os, " azimuth_step must divide 180 degrees");
    default:  // azimuth_below_one_degree
      return free_line(os, " azimuth_step must be at least 1 degree");
  }
}

void fo(std::ostream& os, const Notice& n) {
  switch (n.code) {
    case Note::fo_not_in_hv:
      return free_line(os, " WARNING : Fo does not appear in h/v");
    case Note::fo_not_computable:
      return free_line(os, " WARNING : it is not possible to compute Fo");
    case Note::peak_at_grid_edge:
      free_line(os, " WARNING : the averaged H/V is largest at the edge of the frequency grid, at",
                fmt_F(n.value[0], 10, 4), " Hz:");
      return free_line(os, " the peak may lie outside the grid; widen freq_spacing to see it");
    default: {
      const bool lower = n.code == Note::fo_lower_limit;
      free_line(os,
                lower ? " WARNING : Available lower frequency for searching of"
                      : " WARNING : Available upper frequency for searching of",
                " Fo is:", fmt_F(n.value[0], 8, 3));
      return free_line(os, " instead of: ", fmt_F(n.value[1], 8, 3));
    }
  }
}

void run(std::ostream& os, const Notice& n, const NoticeContext& context) {
  const auto v = n.value;
  switch (n.code) {
    case Note::window_outside:
      free_line(os, " Start sample or end sample incorrectly specified");
      free_line(os, " Number of points of time history : ", static_cast<long long>(v[0]));
      free_line(os, " Window number : ", static_cast<int>(v[1]));
      free_line(os, " Start sample : ", static_cast<long long>(v[2]));
      free_line(os, "  End sample :", static_cast<long long>(v[3]));
      return free_line(os, context.file_of(n.window));
    case Note::window_too_long:
      free_line(os, " Requested window exceeds current dimension");
      free_line(os, " requested # point : ", static_cast<long long>(v[0]));
      free_line(os, " current dimension", static_cast<long long>(v[1]));
      return free_line(os, context.file_of(n.window));
    case Note::interval_changed:
      free_line(os, " READERTH: ", "sampling rate previously found : ", v[0]);
      free_line(os, "           present sampling rate : ", v[1]);
      return free_line(os, context.file_of(n.window));
    case Note::window_too_short:
      return free_line(
          os, " ERROR : the longest window holds fewer than 2 samples:", " window_len =", v[0]);
    case Note::flag_not_yes_no: {
      const std::string_view key = n.text;
      const Option& value = key == "single_win_out" ? context.par.single_win_out
                            : key == "filter_out"   ? context.par.filter_out
                                                    : context.par.average_spectra_out;
      std::string_view text = value.trimmed();
      text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
      free_line(os, " WARNING : ", key, ": '", text, "' is neither yes nor no;",
                n.value[0] != 0.0 ? " taken as yes" : " taken as no");
      return;
    }
    case Note::recording_read:
      if (context.source_lines) context.source_lines(os, n.window);
      return;
    default:  // no_windows
      return free_line(os, " ERROR : no window found in window_file");
  }
}

}  // namespace

void report_notice(std::ostream& console, const Notice& n, const NoticeContext& context) {
  const PARAMETERS& par = context.par;
  if (n.code <= Note::grid_empty) return grid(console, n, par);
  if (n.code <= Note::filter_unstable) return offset(console, n, par);
  if (n.code <= Note::taper_too_long) return taper(console, n, par);
  if (n.code <= Note::smooth_short_arrays) return smooth(console, n, par);
  if (n.code == Note::merge_unknown) {
    free_line(console, " ERROR : 'merge type' option wrongly set :");
    return free_line(console, echo(par.merge_type));
  }
  if (n.code <= Note::azimuth_below_one_degree) return analysis(console, n, par);
  if (n.code >= Note::fo_not_in_hv && n.code <= Note::peak_at_grid_edge) return fo(console, n);
  run(console, n, context);
}

std::size_t report_notices(std::ostream& console, const Notices& notes, std::size_t from,
                           const NoticeContext& context) {
  for (std::size_t i = from; i < notes.size(); ++i) report_notice(console, notes[i], context);
  return notes.size();
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/result_header.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "common/fields.hpp"

namespace hv {

void write_window_line(std::ostream& os, const WindowEntry& win) {
  os << " # " << win.file.trimmed() << ' ' << fmt_F(win.start, 13, 2) << fmt_F(win.end, 13, 2);
  for (const auto& channel : win.channel) os << ' ' << channel.view();
  os << ' ' << win.station.view().substr(0, 3) << '\n';
}

void write_option_lines(std::ostream& os, const PARAMETERS& par) {
  const std::array<std::pair<const char*, const Option*>, 7> echoed{{
      {"# freq_spacing:", &par.freq_spacing},
      {"# offset_rem:", &par.offset_rem},
      {"# taper:", &par.taper},
      {"# smooth:", &par.smooth},
      {"# merge_type:", &par.merge_type},
      {"# single_win_out:", &par.single_win_out},
      {"# average_spectra_out:", &par.average_spectra_out},
  }};
  for (const auto& [key, value] : echoed) os << ' ' << key << value->view() << '\n';
  // The optional analyses are echoed only when asked for, so that a run without them
  // writes the same header as before they existed.
  if (!par.window_rejection.blank()) {
    os << " # window_rejection:" << par.window_rejection.view() << '\n';
  }
  if (!par.azimuth_step.blank()) os << " # azimuth_step:" << par.azimuth_step.view() << '\n';
}

void write_rejection_lines(std::ostream& os, const WindowRejection& rejection) {
  os << " # window_rejection: kept " << fmt_I(rejection.kept_count(), 6) << " of "
     << fmt_I(rejection.nwin(), 6) << " windows after " << fmt_I(rejection.iterations, 3)
     << " iterations at " << fmt_F(rejection.n_sd, 8, 3) << " s.d.\n";
  const std::vector<int> rejected = rejection.rejected();
  if (rejected.empty()) {
    os << " # rejected_windows: none\n";
    return;
  }
  constexpr std::size_t per_line = 10;
  for (std::size_t i = 0; i < rejected.size(); i += per_line) {
    os << " # rejected_windows:";
    for (std::size_t k = i; k < std::min(rejected.size(), i + per_line); ++k) {
      os << fmt_I(rejected[k], 7);
    }
    os << '\n';
  }
}

void write_labels_line(std::ostream& os, const std::array<Text<12>, 4>& labels) {
  os << " # labels: ";
  for (const auto& label : labels) os << ' ' << label.view();
  os << '\n';
}

void write_narrowed_line(std::ostream& os) {
  os << " # WARNING : output frequency limits have been changed"
     << " by the smoothing procedure\n";
}

void write_rule_line(std::ostream& os) {
  os << " #" << std::string(30, '-') << '\n';
}

void write_result_header(std::ostream& os, std::string_view title, const WINDOWS& windows,
                         const PARAMETERS& par, const HvResult& result,
                         std::span<const std::string_view> warnings) {
  free_line(os, title);
  for (const WindowEntry& win : windows.entry) write_window_line(os, win);
  if (result.rejection) write_rejection_lines(os, *result.rejection);
  os << " #\n";
  free_line(os, "# parameters actually used in the processing:");
  os << " ### section processing\n";
  write_option_lines(os, par);
  os << " ### end processing\n";
  if (valid_rows(result) != result.nfreq()) write_narrowed_line(os);
  for (const std::string_view line : warnings) os << line << '\n';
  write_rule_line(os);
  os << " # n_windows: " << fmt_I(windows.nwin(), 6) << '\n';
  os << " # window_len: " << fmt_F(windows.Tmax, 10, 3) << '\n';
  write_labels_line(os, windows(1).labels);
}

int valid_rows(const HvResult& result) {
  return result.rows.jlast - result.rows.jfirst + 1;
}

}  // namespace hv

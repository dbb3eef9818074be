// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvlib/options.hpp"

namespace hv {

HvOptions parse_options(const PARAMETERS& par) {
  HvOptions o;
  o.freq_spacing = parse_freq_spacing(par.freq_spacing.view());
  o.offset_rem = parse_offset_rem(par.offset_rem.view());
  o.taper = parse_taper(par.taper.view());
  o.smooth = parse_smooth(par.smooth.view());
  o.merge_type = parse_merge_type(par.merge_type.view());
  o.window_rejection = parse_window_rejection(par.window_rejection.view());
  o.azimuth_step = parse_azimuth_step(par.azimuth_step.view());
  o.single_win_out = !first_token_is(par.single_win_out.view(), "no");
  o.average_spectra_out = first_token_is(par.average_spectra_out.view(), "yes");
  o.filter_out = !first_token_is(par.filter_out.view(), "no");
  const auto check = [&o](const char* key, const Option& value, bool taken) {
    if (first_token_is(value.view(), "yes") || first_token_is(value.view(), "no")) return;
    o.flag_warnings.push_back({Note::flag_not_yes_no, 2, 0, {taken ? 1.0 : 0.0}, key});
  };
  check("single_win_out", par.single_win_out, o.single_win_out);
  check("average_spectra_out", par.average_spectra_out, o.average_spectra_out);
  check("filter_out", par.filter_out, o.filter_out);
  return o;
}

std::optional<Notice> HvOptions::first_refusal() const {
  for (const std::optional<Notice>* r :
       {&offset_rem.refusal, &freq_spacing.refusal, &window_rejection.refusal,
        &azimuth_step.refusal, &taper.refusal, &smooth.refusal, &merge_type.refusal}) {
    if (*r) return *r;
  }
  return std::nullopt;
}

bool HvOptions::window_mean() const {
  return offset_rem.ok() && offset_rem.value->kind == Conditioning::Kind::window_mean;
}

bool HvOptions::complex_merge() const {
  return merge_type.ok() && *merge_type.value == MergeType::complex;
}

bool HvOptions::fft_grid() const {
  return freq_spacing.ok() && freq_spacing.value->kind == GridSpacing::Kind::fft;
}

}  // namespace hv

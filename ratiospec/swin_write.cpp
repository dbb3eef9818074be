// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/swin_write.hpp"

#include <optional>

#include "common/fields.hpp"
#include "ratiospec/result_header.hpp"
#include "ratiospec/result_names.hpp"

namespace hv {

int SWIN_WRITE(UnitTable& units, int unit, const Name& output_file, int w, const HvResult& r,
               const WINDOWS& windows, const PARAMETERS& par, std::ostream& console) {
  const std::optional<std::string> name = result_name(output_file, window_suffix(w), console);
  if (!name) return 1;
  UnitFile file(units, unit);
  if (!file.open_result(*name)) {
    report_not_created("SWIN_WRITE", *name, console);
    return 1;
  }
  std::ostream& os = file.stream();
  const WindowEntry& win = windows(w);

  free_line(os, "### window used in the H/V ratio processing:");
  write_window_line(os, win);
  os << " #\n";
  free_line(os, "# parameters actually used in the processing:");
  os << " ### section processing\n";
  write_option_lines(os, par);
  const int n = valid_rows(r);
  if (n != r.nfreq()) write_narrowed_line(os);
  os << " ### end processing\n";
  write_rule_line(os);
  write_labels_line(os, win.labels);
  os << " # n_freq_samples: " << fmt_I(n, 6) << '\n';
  os << " #   freq            mergedHV           "
     << "ns_HV            ew_HV          specvert         "
     << "spec-ns          spec-ew\n";
  for (int j = r.rows.jfirst; j <= r.rows.jlast; ++j) {
    const auto i = static_cast<std::size_t>(j - 1);
    os << ' ' << fmt_E(r.f[i], 15, 7);
    for (const auto& matrix : r.ratios) os << "  " << fmt_E(r.column(matrix, w)[i], 15, 7);
    for (const auto& matrix : r.spectra) os << "  " << fmt_E(r.column(matrix, w)[i], 15, 7);
    os << '\n';
  }
  os.flush();
  if (!os) {
    report_not_created("SWIN_WRITE", *name, console);
    return 1;
  }
  return 0;
}

}  // namespace hv

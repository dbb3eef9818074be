// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/az_write.hpp"

#include <optional>
#include <string>

#include "common/fields.hpp"
#include "ratiospec/result_header.hpp"
#include "ratiospec/result_names.hpp"

namespace hv {

namespace {

// "az_" and the azimuth in degrees with two decimals: az_0.00, az_172.50.
std::string column_label(double degrees) {
  const std::string value = fmt_F(degrees, 7, 2);
  return "az_" + value.substr(value.find_first_not_of(' '));
}

void write_fo_lines(std::ostream& os, const AzimuthSet& set, const AzimuthAverages& averages) {
  os << " # n_azimuths: " << fmt_I(set.count(), 6) << "  azimuth_step: " << fmt_F(set.step, 8, 3)
     << '\n';
  for (int a = 0; a < set.count(); ++a) {
    const FoBand& fo = averages.fo[static_cast<std::size_t>(a)];
    os << " # azimuth: " << fmt_F(set.degrees[static_cast<std::size_t>(a)], 7, 2)
       << "  Fo: " << fmt_F(fo.fo, 9, 4) << " range +/- 1 s.d.: " << fmt_F(fo.minus, 9, 4) << " - "
       << fmt_F(fo.plus, 9, 4) << " [Hz]\n";
  }
}

void write_rows(std::ostream& os, std::span<const float> f, int nfreq, const AzimuthSet& set,
                const AzimuthAverages& averages, RowRange rows) {
  os << " #    freq";
  for (const double degrees : set.degrees) {
    const std::string label = column_label(degrees);
    os << ' ' << std::string(15 - std::min<std::size_t>(15, label.size()), ' ') << label;
  }
  os << '\n';
  for (int j = rows.jfirst; j <= rows.jlast; ++j) {
    const auto i = static_cast<std::size_t>(j - 1);
    os << ' ' << fmt_E(f[i], 15, 7);
    for (int a = 0; a < set.count(); ++a) os << ' ' << fmt_E(averages.curve(a, nfreq)[i], 15, 7);
    os << '\n';
  }
}

}  // namespace

int AZ_WRITE(const Name& output_file, const HvResult& r, const WINDOWS& windows,
             const PARAMETERS& par, UnitTable& units, std::ostream& console) {
  const OpenResult out = open_result_file("AZ_WRITE", output_file, "_az", units, console);
  if (!out.file) return 1;
  std::ostream& os = out.file->stream();
  write_result_header(os, " ### data used in the azimuthal H/V ratio processing:", windows, par, r);
  os << " # n_freq_samples: " << fmt_I(valid_rows(r), 6) << '\n';
  write_fo_lines(os, r.azimuth, *r.azimuths);
  write_rows(os, r.f, r.nfreq(), r.azimuth, *r.azimuths, r.rows);
  os.flush();
  if (!os) {
    report_not_created("AZ_WRITE", out.name, console);
    return 1;
  }
  return 0;
}

}  // namespace hv

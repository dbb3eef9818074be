// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/av_write.hpp"

#include <array>
#include <string_view>
#include <vector>

#include "common/fields.hpp"
#include "ratiospec/result_header.hpp"
#include "ratiospec/result_names.hpp"

namespace hv {

namespace {

// Label differences between consecutive windows: the units label, then the three
// component labels together.
struct LabelCheck {
  bool units_differ = false;
  bool components_differ = false;
};

LabelCheck check_labels(const WINDOWS& windows) {
  LabelCheck check;
  for (int k = 1; k < windows.nwin(); ++k) {
    const auto& a = windows(k).labels;
    const auto& b = windows(k + 1).labels;
    if (!(a[3] == b[3])) check.units_differ = true;
    if (!(a[0] == b[0]) || !(a[1] == b[1]) || !(a[2] == b[2])) check.components_differ = true;
  }
  return check;
}

void write_rows(std::ostream& os, std::span<const float> f,
                const std::array<std::vector<float>, 3>& mean,
                const std::array<std::vector<float>, 3>& sd, RowRange rows) {
  for (int j = rows.jfirst; j <= rows.jlast; ++j) {
    const auto i = static_cast<std::size_t>(j - 1);
    for (const float v : {f[i], mean[0][i], mean[1][i], mean[2][i], sd[0][i], sd[1][i], sd[2][i]}) {
      os << ' ' << fmt_E(v, 15, 7);
    }
    os << '\n';
  }
}

}  // namespace

int AV_WRITE(int mode, const Name& output_file, const HvResult& r, const WINDOWS& windows,
             const PARAMETERS& par, UnitTable& units, std::ostream& console) {
  const OpenResult out =
      open_result_file("AV_WRITE", output_file, mode == 0 ? "" : "_sp", units, console);
  if (!out.file) return 1;
  std::ostream& os = out.file->stream();
  int status = 0;

  std::vector<std::string_view> warnings;
  const LabelCheck labels = check_labels(windows);
  if (labels.units_differ) {
    status = 2;
    warnings.push_back(" # WARNING : UNITS label is not the same for all files");
    if (mode == 0) free_line(console, " WARNING :", " UNITS label is not the same for all files");
  }
  if (labels.components_differ) {
    status = 2;
    warnings.push_back(" # WARNING : COMPONENT labels are not the same for all files");
    if (mode == 0) {
      free_line(console, " WARNING :", " COMPONENT labels are not the same for all files");
    }
  }
  write_result_header(os,
                      mode == 0 ? " ### data used in the H/V ratio processing:"
                                : " ### data used in the FOURIER spectra processing:",
                      windows, par, r, warnings);
  os << " # n_freq_samples: " << fmt_I(valid_rows(r), 6);
  if (mode == 0) {
    os << "  Fo: " << fmt_F(r.fo.fo, 9, 4) << " range +/- 1 s.d.: " << fmt_F(r.fo.minus, 9, 4)
       << " - " << fmt_F(r.fo.plus, 9, 4) << " [Hz]";
  }
  os << '\n';
  if (mode == 0) {
    os << " #    freq           av_HV           "
       << "ns_HV           ew_HV       av_HV_logstd    "
       << "ns_HV_logstd    ew_HV_logstd\n";
    write_rows(os, r.f, r.mean, r.sd, r.rows);
  } else {
    os << " #    freq          vert_sp           "
       << "ns_sp           ew_sp         vert_SD           "
       << "ns_SD           ew_SD\n";
    write_rows(os, r.f, r.spectra_mean, r.spectra_sd, r.rows);
  }
  os.flush();
  if (!os) {
    report_not_created("AV_WRITE", out.name, console);
    return 1;
  }
  return status;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/av_write.hpp"

#include <optional>
#include <string>

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

void write_rows(std::ostream& os, std::span<const float> f, const Triple& mean, const Triple& sd,
                int jfirst, int jlast) {
  for (int j = jfirst; j <= jlast; ++j) {
    const auto i = static_cast<std::size_t>(j - 1);
    for (const float v : {f[i], mean[0][i], mean[1][i], mean[2][i], sd[0][i], sd[1][i], sd[2][i]}) {
      os << ' ' << fmt_E(v, 15, 7);
    }
    os << '\n';
  }
}

}  // namespace

int AV_WRITE(int mode, const Name& output_file, std::span<const float> f, const Triple& mean,
             int nfreq, const Triple& sd, const FoBand& fo, RowRange rows, const WINDOWS& windows,
             const PARAMETERS& par, UnitTable& units, std::ostream& console,
             const WindowRejection* rejection) {
  const int jfirst = rows.jfirst, jlast = rows.jlast;
  const OpenResult out =
      open_result_file("AV_WRITE", output_file, mode == 0 ? "" : "_sp", units, console);
  if (!out.file) return 1;
  std::ostream& os = out.file->stream();
  int status = 0;

  if (mode == 0) {
    free_line(os, " ### data used in the H/V ratio processing:");
  } else {
    free_line(os, " ### data used in the FOURIER spectra", " ", "processing:");
  }
  for (const WindowEntry& win : windows.entry) write_window_line(os, win);
  if (rejection != nullptr) write_rejection_lines(os, *rejection);
  os << " #\n";
  free_line(os, "# parameters actually used in the processing:");
  os << " ### section processing\n";
  write_option_lines(os, par);
  os << " ### end processing\n";
  const int n = jlast - jfirst + 1;
  if (n != nfreq) write_narrowed_line(os);

  const LabelCheck labels = check_labels(windows);
  if (labels.units_differ) {
    status = 2;
    os << " # WARNING : UNITS label is not the same for all files\n";
    if (mode == 0) free_line(console, " WARNING :", " UNITS label is not the same for all files");
  }
  if (labels.components_differ) {
    status = 2;
    os << " # WARNING : COMPONENT labels are not the"
       << " same for all files\n";
    if (mode == 0) {
      free_line(console, " WARNING :", " COMPONENT labels are not the same for all files");
    }
  }

  write_rule_line(os);
  os << " # n_windows: " << fmt_I(windows.nwin(), 6) << '\n';
  os << " # window_len: " << fmt_F(windows.Tmax, 10, 3) << '\n';
  write_labels_line(os, windows(1).labels);
  os << " # n_freq_samples: " << fmt_I(n, 6);
  if (mode == 0) {
    os << "  Fo: " << fmt_F(fo.fo, 9, 4) << " range +/- 1 s.d.: " << fmt_F(fo.minus, 9, 4) << " - "
       << fmt_F(fo.plus, 9, 4) << " [Hz]";
  }
  os << '\n';
  if (mode == 0) {
    os << " #    freq           av_HV           "
       << "ns_HV           ew_HV       av_HV_logstd    "
       << "ns_HV_logstd    ew_HV_logstd\n";
  } else {
    os << " #    freq          vert_sp           "
       << "ns_sp           ew_sp         vert_SD           "
       << "ns_SD           ew_SD\n";
  }
  write_rows(os, f, mean, sd, jfirst, jlast);
  os.flush();
  if (!os) {
    report_not_created("AV_WRITE", out.name, console);
    return 1;
  }
  return status;
}

}  // namespace hv

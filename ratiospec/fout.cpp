// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/fout.hpp"

#include <optional>
#include <string>

#include "common/fields.hpp"
#include "ratiospec/ckerr.hpp"
#include "ratiospec/result_names.hpp"

namespace hv {

int FOUT(const Name& output_file, const Recording& rec, const HvOptions& options, UnitTable& units,
         std::ostream& console) {
  if (!options.filter_out) return 0;

  const OpenResult out = open_result_file("FOUT", output_file, "_KAF_fi", units, console);
  if (!out.file) return 1;
  std::ostream& os = out.file->stream();
  os << "KORVEN ASCII data format (kaf) v. 1     \n"
     << "STA_CODE = FIL\n"
     << "START_TIME = 2003 06 14 14 40 30.000\n"
     << "SAMP_FREQ = " << fmt_E(1.0f / rec.dt, 15, 7) << '\n'
     << "NDAT = " << fmt_I(rec.nsamp(), 10) << '\n'
     << "CH0_ID = ver\nCH1_ID = ho1\nCH2_ID = ho2\n"
     << "UNITS =  filtered\n"
     << "# GAIN = 1.0\n"
     << "####----------------------------------------\n";
  const auto& [z, ns, ew] = rec.component;
  std::string line;
  for (std::size_t i = 0; i < static_cast<std::size_t>(rec.nsamp()); ++i) {
    line = free_text(z[i], ns[i], ew[i]);  // begins with a blank, as a free-format line does
    os << line << '\n';
  }
  os.flush();
  if (!os) {
    report_not_created("FOUT", out.name, console);
    return 1;
  }
  return end_of_run;
}

}  // namespace hv

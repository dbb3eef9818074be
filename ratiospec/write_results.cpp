// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/write_results.hpp"

#include <string>

#include "common/fields.hpp"
#include "common/glun.hpp"
#include "ratiospec/av_write.hpp"
#include "ratiospec/az_write.hpp"
#include "ratiospec/check_outputs.hpp"
#include "ratiospec/swin_write.hpp"

namespace hv {

namespace {

int write_all(const Name& output_file, const HvResult& r, const WINDOWS& windows,
              const PARAMETERS& par, const HvOptions& options, UnitTable& units,
              std::ostream& console) {
  int status = 0;
  if (options.average_spectra_out) {
    status = AV_WRITE(1, output_file, r, windows, par, units, console);
    if (status % 2 != 0) return status;
  }
  if (options.single_win_out) {
    int unit = 0;
    if (units.GLUN(unit) != 0) return 1;
    for (int w = 1; w <= r.nwin; ++w) {
      if (SWIN_WRITE(units, unit, output_file, w, r, windows, par, console) != 0) return 1;
    }
  }
  const int av = AV_WRITE(0, output_file, r, windows, par, units, console);
  if (av % 2 != 0) return av;
  if (av != 0) status = av;
  if (r.azimuths && AZ_WRITE(output_file, r, windows, par, units, console) != 0) return 1;
  return status;
}

}  // namespace

int write_results(const Name& output_file, const HvResult& result, const WINDOWS& windows,
                  const PARAMETERS& par, const HvOptions& options, std::ostream& console) {
  // Without a window file or a parameter file, the recordings are the only inputs
  // a result could replace.
  const Name first = windows.entry.empty() ? Name() : windows(1).file;
  HvOptions checked = options;
  checked.filter_out = false;
  if (CHECK_OUTPUTS(output_file, first, first, windows, checked, console) != 0) return 1;
  UnitTable units;
  const int status = write_all(output_file, result, windows, par, options, units, console);
  units.CLALL();
  if (status % 2 != 0) {
    units.results.discard_all();
    return status;
  }
  if (std::string failed; !units.results.commit_all(failed)) {
    free_line(console, " ERROR: can not put the result file in place:");
    free_line(console, Name(failed).view());
    return 1;
  }
  return status;
}

}  // namespace hv

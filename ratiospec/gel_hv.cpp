// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/gel_hv.hpp"

#include <algorithm>

#include "common/fields.hpp"
#include "ratiospec/swin_write.hpp"
#include "spectral/merge_hv.hpp"

namespace hv {

int GEL_HV(RunControl& run, const Name& output_file, WindowMatrices& O, std::span<const float> f,
           std::span<float> merged, int nwin, std::span<float> S1, std::span<float> S2,
           std::span<float> S3, RowRange rows, const WINDOWS& windows, const PARAMETERS& par) {
  const int jfirst = rows.jfirst, jlast = rows.jlast;
  const bool per_window = !first_token_is(par.single_win_out.view(), "no");

  int unit = 0;
  if (per_window && run.units.GLUN(unit) != 0) {
    free_line(run.console, " ERROR: GEL_HV could not find free unit number");
    return 1;
  }
  // Rows jfirst..jlast of a column.
  const auto valid = [jfirst, jlast](std::span<float> column) {
    return column.subspan(static_cast<std::size_t>(jfirst - 1),
                          static_cast<std::size_t>(jlast - jfirst + 1));
  };
  for (int w = 1; w <= nwin; ++w) {
    const std::span<float> c1 = O.column(O.O1, w), c2 = O.column(O.O2, w), c3 = O.column(O.O3, w);
    if (per_window) {
      std::ranges::copy(valid(c1), valid(S1).begin());
      std::ranges::copy(valid(c2), valid(S2).begin());
      std::ranges::copy(valid(c3), valid(S3).begin());
    }
    CKERR(MERGE_HV(par.merge_type, c1, c2, c3, merged, jfirst, jlast, run.console), run);
    if (per_window) {
      CKERR(SWIN_WRITE(run.units, unit, output_file, w, f, {c1, c2, c3}, {S1, S2, S3}, O.nfreq,
                       jfirst, jlast, windows, par, run.console),
            run);
    }
  }
  return 0;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// The result file of the H/V per azimuth.
#pragma once

#include <ostream>
#include <span>

#include "common/glun.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"
#include "spectral/azimuth.hpp"
#include "spectral/matrices.hpp"
#include "spectral/window_rejection.hpp"

namespace hv {

// Writes the output name + "_az": the header of the averaged H/V file (windows, the
// rejection lines when windows were rejected, options, counts and labels), one line per
// azimuth with its Fo and band, the column header, then for rows jfirst..jlast the
// frequency and the geometric-mean ratio of every azimuth. Returns 0, or 1 after an
// error message.
int AZ_WRITE(const Name& output_file, std::span<const float> f, int nfreq, const AzimuthSet& set,
             const AzimuthAverages& averages, RowRange rows, const WINDOWS& windows,
             const PARAMETERS& par, const WindowRejection* rejection, UnitTable& units,
             std::ostream& console);

}  // namespace hv

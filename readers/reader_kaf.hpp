// SPDX-License-Identifier: GPL-3.0-or-later
// calmpick's KAF reader: RKAF with calmpick's messages.
#pragma once

#include <ostream>

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/records.hpp"

namespace hv {

// Reads the KAF file into columns 1..3 of ts.samples (at most max_samples each) and
// gives the sampling interval and the sample count. Returns 0; 2 when the file is
// not KAF, so that other formats can be tried; 1 for any other failure. Every
// failure is reported on the console first.
int READER_KAF(const Name& file, TIMESERIES& ts, int max_samples, float& dt, int& nsamp,
               KAFHDR8& kafhdr, UnitTable& units, std::ostream& console);

}  // namespace hv

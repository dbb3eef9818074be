// SPDX-License-Identifier: GPL-3.0-or-later
// The conditioned recording of the first window, written as a KAF file.
#pragma once

#include <ostream>

#include "common/glun.hpp"
#include "ratiospec/records.hpp"
#include "readers/recording.hpp"
#include "readers/records.hpp"

namespace hv {

// When filter_out asks for it, writes the current recording (as conditioned after
// reading) to output name + "_KAF_fi" and returns -99, which ends the run there.
// Returns 0 when nothing is asked, 1 after an error message.
int FOUT(const Name& output_file, const Recording& rec, const HvOptions& options, UnitTable& units,
         std::ostream& console);

}  // namespace hv

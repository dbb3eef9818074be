// SPDX-License-Identifier: GPL-3.0-or-later
// The window file reader.
#pragma once

#include <ostream>

#include "common/glun.hpp"
#include "common/text.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Reads the window file into windows (count and Tmax included). Returns 0, 2 when
// the window limit was reached (the first 20000 windows are kept), or 1, 3, 5 after
// an error message.
int GTWS(const Name& window_file, WINDOWS& windows, UnitTable& units, std::ostream& console);

}  // namespace hv

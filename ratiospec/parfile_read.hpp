// SPDX-License-Identifier: GPL-3.0-or-later
// The processing options: defaults and the parameter file.
#pragma once

#include <ostream>

#include "common/glun.hpp"
#include "common/text.hpp"
#include "ratiospec/records.hpp"

namespace hv {

// Sets the option defaults. Returns 0.
int DEFPAR(PARAMETERS& par);

// Reads the processing section of the parameter file into par. Returns 0, 2 after a
// warning (obsolete key, file ending inside the section) or 1 after an error.
int PARFILE_READ(const Name& parameter_file, PARAMETERS& par, UnitTable& units,
                 std::ostream& console);

}  // namespace hv

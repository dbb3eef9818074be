// SPDX-License-Identifier: GPL-3.0-or-later
// hvmonitor's texts for the archive's refusals.
#pragma once

#include <ostream>

#include "readers/mseed_archive.hpp"

namespace hv {

void report_archive_problem(std::ostream& console, const ArchiveProblem& p);

}  // namespace hv

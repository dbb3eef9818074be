// SPDX-License-Identifier: GPL-3.0-or-later
// The format guess that calmpick hands to its reader dispatch.
#pragma once

#include "common/text.hpp"

namespace hv {

// Format index guessed from the last three characters of the trimmed path:
// "gse"/"GSE" 1, "kaf"/"KAF"/"_fi" (ratiospec's filtered series) 2, anything else,
// mixed case and paths shorter than three characters included, 0 (no guess); but a
// path ending in "seed" or "SEED" (.mseed, .miniseed) guesses miniSEED, 4.
int format_preset(const Name& path);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Names of the result files, all formed from the output file name.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "common/text.hpp"

namespace hv {

// The output name up to its last non-blank character followed by suffix, or nothing
// (after a message naming it) when the result would exceed 200 characters: cutting
// the suffix would make different result files share one name and overwrite each other.
std::optional<std::string> result_name(const Name& output_file, std::string_view suffix,
                                       std::ostream& console);

// Suffix of the per-window file of window w: "_win_" and w with at least three
// digits (001 .. 999, then 1000 ...), so every window has a name of its own.
std::string window_suffix(int w);

// Reports a result file that could not be created.
void report_not_created(std::string_view routine, std::string_view name, std::ostream& console);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Names of the result files, all formed from the output file name.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "common/glun.hpp"
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

// A result file opened on a unit, with its name for later messages.
struct OpenResult {
  std::unique_ptr<UnitFile> file;
  std::string name;
};

// Opens the result file output_file + suffix for `routine` on a free unit; no file,
// after the routine's message, when the name is refused, no unit is free or the file
// cannot be created.
OpenResult open_result_file(std::string_view routine, const Name& output_file,
                            std::string_view suffix, UnitTable& units, std::ostream& console);

}  // namespace hv

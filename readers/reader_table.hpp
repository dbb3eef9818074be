// SPDX-License-Identifier: GPL-3.0-or-later
// The recording formats both programs read: one row per format. A new format is a
// reader file and one row here.
#pragma once

#include <span>
#include <string_view>

#include "readers/recording.hpp"

namespace hv {

struct ReaderRow {
  int format;             // index in the window file
  std::string_view name;  // as messages name the format
  ReadFunction read;
};

// Every format, in the order in which calmpick tries them when its guess fails.
std::span<const ReaderRow> reader_table();

// The row of a format index, or nullptr when no format has that index.
const ReaderRow* find_reader(int format);

}  // namespace hv

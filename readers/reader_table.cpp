// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/reader_table.hpp"

#include <algorithm>
#include <array>

#include "readers/readerdh.hpp"
#include "readers/readergse.hpp"
#include "readers/readermseed.hpp"
#include "readers/rkaf.hpp"

namespace hv {

namespace {

constexpr std::array<ReaderRow, 4> rows = {{
    {format::kaf, "KAF", read_kaf},
    {format::duneheron, "DuneHeron", read_duneheron},
    {format::gse, "GSE", read_gse},
    {format::miniseed, "miniSEED", read_miniseed},
}};

}  // namespace

std::span<const ReaderRow> reader_table() {
  return rows;
}

const ReaderRow* find_reader(int format) {
  const auto it = std::find_if(rows.begin(), rows.end(),
                               [format](const ReaderRow& row) { return row.format == format; });
  return it == rows.end() ? nullptr : &*it;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/reader_table.hpp"

#include <algorithm>
#include <array>

#include "common/fields.hpp"
#include "readers/rkaf.hpp"

namespace hv {

namespace {

// A format whose reader is not built: ratiospec says so and stops, calmpick goes on
// to the next format, as for a file of another format.
template <int Format>
int read_not_built(const Name& file, const ChannelRequest& /*want*/, Voice voice,
                   TIMESERIES& /*ts*/, RecordingInfo& /*info*/, UnitTable& /*units*/,
                   std::ostream& console) {
  if (voice == Voice::calmpick) return read_status::not_format;
  free_line(console, " READERTH : ", find_reader(Format)->name, " recordings (format index", Format,
            ") cannot be read yet");
  free_line(console, file.view());
  return read_status::failed;
}

constexpr std::array<ReaderRow, 3> rows = {{
    {format::kaf, "KAF", read_kaf},
    {format::duneheron, "DuneHeron", read_not_built<format::duneheron>},
    {format::gse, "GSE", read_not_built<format::gse>},
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

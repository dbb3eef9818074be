// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/gtws.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "common/fields.hpp"
#include "common/freefmt.hpp"
#include "common/lines.hpp"

namespace hv {

namespace {

// Reports an item that is not a number, naming the item, the line and the file, and
// gives the error status.
int bad_number(std::ostream& console, const char* what, const Word& item, long line_number,
               const Name& window_file) {
  free_line(console, " ERROR");
  free_line(console, " GTWS : ", what, " '", item.trimmed(), "' is not a number in window_file",
            " at line:  ", line_number);
  free_line(console, window_file.view());
  return 1;
}

}  // namespace

int GTWS(const Name& window_file, WINDOWS& windows, UnitTable& units, std::ostream& console) {
  windows.entry.clear();
  windows.Tmax = 0.0f;
  int unit = 0;
  if (units.GLUN(unit) != 0) {
    free_line(console, " GTWS : this error should be impossible");
    free_line(console, " no logical unit available");
    return 1;
  }
  UnitFile file(units, unit);
  if (!file.open_read(window_file.trimmed())) {
    free_line(console, " GTWS : error in opening window_file");
    return 3;
  }

  std::array<Word, 8> words;
  std::string line;
  long line_number = 0;
  while (read_line(file.stream(), line)) {
    ++line_number;
    const std::string_view text =
        std::string_view(line).substr(0, std::min<std::size_t>(1000, line.size()));
    if (!text.empty() && text.front() == '#') continue;

    words.fill(Word{});
    int count = 0;
    if (SPLIT4(text, words, count) != 0) {
      free_line(console, " ERROR");
      free_line(console, " file_name incorrectly specified in window_file",
                " at line:  ", line_number);
      return 1;
    }
    if (count == 0) continue;
    if (count < 3) {
      free_line(console, " ERROR");
      free_line(console, " missing item(s) in window_file at line:  ", line_number);
      return 1;
    }
    if (windows.nwin() == WINDOWS::capacity) {
      file.close();
      free_line(console, " WARNING");
      free_line(console, " Number of windows greater than allowed  dimension");
      free_line(console, " Only the first ", WINDOWS::capacity, "  windows  are used");
      return 2;
    }

    WindowEntry entry;
    entry.file = words[0];
    const std::optional<float> start = read_real(words[1].view());
    if (!start) return bad_number(console, "start time", words[1], line_number, window_file);
    const std::optional<float> end = read_real(words[2].view());
    if (!end) return bad_number(console, "end time", words[2], line_number, window_file);
    entry.start = *start;
    entry.end = *end;
    if (count >= 4) {
      const std::optional<int> format = read_int(words[3].view());
      if (!format) return bad_number(console, "format index", words[3], line_number, window_file);
      entry.format = *format;
    }
    for (std::size_t c = 0; c < 3; ++c) entry.channel[c] = words[4 + c].view();
    entry.station = words[7].view();
    windows.Tmax = std::max(windows.Tmax, entry.end - entry.start);
    windows.entry.push_back(entry);
  }
  if (file.stream().bad()) {
    free_line(console, " GTWS : error in reading window_file");
    return 5;
  }
  return 0;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "calmpick/window_lines.hpp"

#include <cstdio>

#include "calmpick/longcar.hpp"
#include "common/fields.hpp"

namespace hv {

Name quoted_path(const Name& path) {
  const int n = LONGCAR(path.view(), static_cast<int>(Name::size()));
  std::string q = "\"";
  q += path.view().substr(0, static_cast<std::size_t>(n));
  q += '"';
  return Name(q);
}

std::string window_time_field(float seconds) {
  std::string field = fmt_F(seconds, 8, 3);
  if (field.find('*') != std::string::npos) {
    const int width = std::snprintf(nullptr, 0, "%.3f", static_cast<double>(seconds));
    field = fmt_F(seconds, width, 3);
  }
  return field;
}

std::string window_line(const Name& quoted, float start, float end, int format,
                        const std::array<Text<3>, 3>& channel, const Text<10>& station) {
  std::string line(quoted.view());
  line += "   ";
  line += window_time_field(start);
  line += "   ";
  line += window_time_field(end);
  line += ' ';
  line += fmt_I(format, 1);
  for (const auto& c : channel) {
    line += "   ";
    line += c.view();
  }
  line += "   ";
  line += station.view();
  return line;
}

void write_window_lines(std::ostream& out, const Name& path, const WindowTable& windows, float dt,
                        int format, const std::array<Text<3>, 3>& channel,
                        const Text<10>& station) {
  const Name quoted = quoted_path(path);
  for (int k = 1; k <= windows.count; ++k) {
    const HvWindow t = window_times(windows, k, dt);
    out << window_line(quoted, t.start, t.end, format, channel, station) << '\n';
  }
}
void print_taper_notes(std::ostream& console, const Notices& notes) {
  for (const Notice& n : notes) {
    if (n.code == Note::taper_zone_empty) free_line(console, " nwin = 0 ; iniwin stop 1");
    if (n.code == Note::taper_zeros_reset) {
      free_line(console, " nzero too large in iniwin, reset to:", static_cast<int>(n.value[0]));
    }
    if (n.code == Note::taper_ramp_reset) {
      free_line(console, " ncos (iniwin) reset to:", static_cast<int>(n.value[0]));
    }
  }
}

}  // namespace hv

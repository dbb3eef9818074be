// SPDX-License-Identifier: GPL-3.0-or-later
// The lines of calmpick's window file, and its texts for the selection's notices.
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "common/text.hpp"
#include "hvlib/select_windows.hpp"

namespace hv {

// Most windows calmpick keeps for one recording.
inline constexpr int max_windows_per_recording = 1000;

// The recording field of a window-file line: the trimmed path between double quotes,
// blank-padded to 200 characters. The trimmed path must hold at most 198 characters.
Name quoted_path(const Name& path);

// A time of the window file: width 8, 3 decimals, or just wide enough for times of
// 10000 s and more, so that the line stays readable as blank-separated items.
std::string window_time_field(float seconds);

// One window-file line: the quoted path, start and end (each after 3 blanks), the
// format digit after 1 blank, the three channel codes and the station, each after 3
// blanks. 255 characters while the times stay below 10000 s.
std::string window_line(const Name& quoted, float start, float end, int format,
                        const std::array<Text<3>, 3>& channel, const Text<10>& station);

// Writes the lines of every window in the table; start and end times are
// (index - 1) x dt formed in single precision.
void write_window_lines(
    std::ostream& out, const Name& path, const WindowTable& windows, float dt, int format,
    const std::array<Text<3>, 3>& channel,
    const Text<10>& station);  // The taper zone's adjustments, as calmpick has always printed them.
void print_taper_notes(std::ostream& console, const Notices& notes);

}  // namespace hv

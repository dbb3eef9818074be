// SPDX-License-Identifier: GPL-3.0-or-later
// Header lines shared by the averaged and the per-window result files.
#pragma once

#include <array>
#include <ostream>

#include "ratiospec/records.hpp"
#include "readers/records.hpp"
#include "spectral/window_rejection.hpp"

namespace hv {

// " # <file> <start> <end> <ch1> <ch2> <ch3> <sta>" for one window.
void write_window_line(std::ostream& os, const WindowEntry& win);
// The seven echoed options, each " # key:" followed by the 80-character value, then
// window_rejection and azimuth_step in the same form when they were given.
void write_option_lines(std::ostream& os, const PARAMETERS& par);
// Which windows the frequency-domain rejection removed: one line with the kept count,
// the window count, the rounds made and n, then the rejected window numbers (1-based,
// in window order), ten per line, or "none".
void write_rejection_lines(std::ostream& os, const WindowRejection& rejection);
// " # labels: " and the four 12-character labels.
void write_labels_line(std::ostream& os, const std::array<Text<12>, 4>& labels);
// The note that smoothing narrowed the valid frequency range.
void write_narrowed_line(std::ostream& os);
// A blank, "#" and 30 minus signs.
void write_rule_line(std::ostream& os);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Header lines shared by the averaged, azimuth and per-window result files.
#pragma once

#include <array>
#include <ostream>
#include <span>
#include <string_view>

#include "hvlib/hv_compute.hpp"
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

// The header of the averaged H/V, averaged spectra and azimuth files: the title, the
// window lines, the rejection lines when windows were rejected, the options, the
// narrowing note, the given warning lines, the rule, the window count and length and
// the labels.
void write_result_header(std::ostream& os, std::string_view title, const WINDOWS& windows,
                         const PARAMETERS& par, const HvResult& result,
                         std::span<const std::string_view> warnings = {});

// The number of valid rows of a result.
int valid_rows(const HvResult& result);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// The program-wide records of a ratiospec run: options and window list.
#pragma once

#include <array>
#include <vector>

#include "common/text.hpp"

namespace hv {

// The eleven processing options, stored as raw text; each consumer interprets its own.
struct PARAMETERS {
  Option freq_spacing;
  Option offset_rem;
  Option taper;
  Option instrument_resp;
  Option smooth;
  Option merge_type;
  Option single_component;
  Option average_type;
  Option single_win_out;
  Option average_spectra_out;
  Option filter_out;
};

// One line of the window file.
struct WindowEntry {
  Name file;
  float start = 0.0f;  // seconds from the first sample of the recording
  float end = 0.0f;
  std::array<Text<3>, 3> channel;  // vertical, north-south, east-west (GSE only)
  Text<10> station;
  int format = 2;  // 1 GSE, 2 KAF, 3 DuneHeron
  // Component labels 1..3 and the units label of the window's recording, filled
  // when the recording is read.
  std::array<Text<12>, 4> labels;
};

struct WINDOWS {
  static constexpr int capacity = 20000;
  std::vector<WindowEntry> entry;  // window w is entry[w - 1]
  float Tmax = 0.0f;               // longest window duration, seconds
  int nwin() const { return static_cast<int>(entry.size()); }
  WindowEntry& operator()(int w) { return entry[static_cast<std::size_t>(w - 1)]; }
  const WindowEntry& operator()(int w) const { return entry[static_cast<std::size_t>(w - 1)]; }
};

}  // namespace hv

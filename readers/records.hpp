// SPDX-License-Identifier: GPL-3.0-or-later
// Recording records: the programs' sample limit, the KAF header and the window list
// that names the recordings.
#pragma once

#include <array>
#include <vector>

#include "common/text.hpp"

namespace hv {

// Most samples per component that any recording may hold.
inline constexpr int NTIME = 600001;

// Marks of a KAF header field that was not set.
namespace kaf {
inline constexpr int unset_int = -12345;
inline constexpr float unset_real = -12345.0f;
inline constexpr const char* unset_text = "-12345";
}  // namespace kaf

// Header of the last KAF file read.
struct KAFHDR8 {
  int start_year = kaf::unset_int;
  int start_month = kaf::unset_int;
  int start_day = kaf::unset_int;
  int start_hour = kaf::unset_int;
  int start_minute = kaf::unset_int;
  int start_second = kaf::unset_int;
  int start_msec = kaf::unset_int;
  int ndat = kaf::unset_int;
  float start_seconds = kaf::unset_real;
  float samp_freq = kaf::unset_real;
  float north_rot = kaf::unset_real;
  float gain = kaf::unset_real;
  Text<100> sta_code{kaf::unset_text};
  Text<100> ch0_id{kaf::unset_text};
  Text<100> ch1_id{kaf::unset_text};
  Text<100> ch2_id{kaf::unset_text};
  Text<100> units{kaf::unset_text};
};

// One line of the window file.
struct WindowEntry {
  Name file;
  float start = 0.0f;  // seconds from the first sample of the recording
  float end = 0.0f;
  std::array<Text<3>, 3> channel;  // vertical, north-south, east-west (GSE, miniSEED)
  Text<10> station;
  int format = 2;  // 1 GSE, 2 KAF, 3 DuneHeron, 4 miniSEED
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

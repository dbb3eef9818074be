// SPDX-License-Identifier: GPL-3.0-or-later
// Per-sample acceptance, window search and the window-file lines of calmpick.
#pragma once

#include <array>
#include <ostream>
#include <span>
#include <string>

#include "common/text.hpp"

namespace hv {

// Most windows kept for one recording.
inline constexpr int max_windows_per_recording = 1000;

// What a sample is tested against. Each test is a single-precision quotient that must
// be at least 1; a quotient that is not a number fails.
struct AcceptanceLimits {
  float ratmin = 0.5f;
  float ratmax = 2.0f;
  bool saturation_test = false;
  float saturation = 0.0f;  // level that amax may reach
  bool lta_test = false;
  float ltathr = 0.0f;
  float lta_mean = 0.0f;
};

bool sample_accepted(float ratio, float amax, float lta, const AcceptanceLimits& limits);

// nok[i - 1] for i = 1 .. nsamp: first the running count of accepted samples (sample
// 1 never counts), then, for i > nlong, the number of accepted samples among
// i - nlong + 1 .. i. Requires nlong >= 1.
void count_accepted(std::span<const float> ratio, std::span<const float> amax,
                    std::span<const float> lta, int nsamp, int nlong,
                    const AcceptanceLimits& limits, std::span<int> nok);

// First and last sample index (1-based) of each window found.
struct WindowTable {
  std::array<int, max_windows_per_recording> first{};
  std::array<int, max_windows_per_recording> last{};
  int count = 0;
};

// Finds windows of nlong + 1 samples whose last sample i has nok[i - 1] >= nokmin,
// from sample nlong + 1 on, each ending at least nstep samples after the end of the
// one before, up to max_windows_per_recording. Requires nstep >= 1.
void search_windows(std::span<const int> nok, int nsamp, int nlong, int nstep, int nokmin,
                    WindowTable& windows);

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
void write_window_lines(std::ostream& out, const Name& path, const WindowTable& windows, float dt,
                        int format, const std::array<Text<3>, 3>& channel, const Text<10>& station);

}  // namespace hv

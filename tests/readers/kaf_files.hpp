// SPDX-License-Identifier: GPL-3.0-or-later
// KAF files written by hand for the reader tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hv::test {

inline constexpr std::string_view kaf_first_line = "KORVEN ASCII data format (kaf) v. 1";
inline constexpr std::string_view kaf_separator = "####----------------------------------------";

// The eight required keys, for a recording of two samples at 100 Hz.
inline std::vector<std::string> minimal_header() {
  return {"STA_CODE = ABC", "SAMP_FREQ = 100", "NDAT = 2",   "START_TIME = 2003 06 14 14 40 30.000",
          "UNITS = m/s",    "CH0_ID = Z",      "CH1_ID = N", "CH2_ID = E"};
}

inline constexpr std::string_view two_samples = "1.5 -2 3e2\n4 5.25 -6D-1\n";

// The header with the line of `key` replaced by `line` (removed when line is empty).
inline std::vector<std::string> with_line(std::vector<std::string> header, std::string_view key,
                                          const std::string& line) {
  for (auto it = header.begin(); it != header.end(); ++it) {
    if (it->compare(0, key.size(), key) == 0 && (*it)[key.size()] == ' ') {
      if (line.empty()) {
        header.erase(it);
      } else {
        *it = line;
      }
      break;
    }
  }
  return header;
}

inline std::string kaf_text(const std::vector<std::string>& header, std::string_view samples,
                            std::string_view first = kaf_first_line) {
  std::string text(first);
  text += '\n';
  for (const std::string& line : header) text += line + '\n';
  text += kaf_separator;
  text += '\n';
  text += samples;
  return text;
}

}  // namespace hv::test

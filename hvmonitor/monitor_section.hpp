// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor section of the parameter file: how the archive is cut into blocks.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/text.hpp"
#include "readers/recording.hpp"

namespace hv {

struct MonitorParameters {
  double block = 3600.0;             // seconds
  double step = 3600.0;              // seconds between block starts; the block length unless given
  std::optional<double> start, end;  // seconds since 1970
  ChannelRequest channels;           // blank codes: the reader's rule
  bool block_files = false;
  // The section's lines as given, echoed in the result header.
  std::vector<std::string> lines;
};

// Reads "### section monitor" .. "### end monitor" of the parameter file; without the
// section every key keeps its default. Returns 0, or 1 after a message naming the key,
// the value and the file (unknown key, refused value, section not ended).
int read_monitor_section(const Name& parameter_file, MonitorParameters& p, std::ostream& console);

// "YYYY-MM-DDThh:mm:ss" as seconds since 1970, or nothing.
std::optional<double> parse_utc(std::string_view text);

// Seconds since 1970 as "YYYY-MM-DDThh:mm:ss.mmm", rounded to the millisecond.
std::string iso_millis(double seconds);

}  // namespace hv

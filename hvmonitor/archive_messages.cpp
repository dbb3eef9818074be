// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvmonitor/archive_messages.hpp"

#include <sstream>

#include "common/fields.hpp"
#include "hvmonitor/monitor_section.hpp"

namespace hv {

namespace {

std::string joined(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += " " + item;
  return out;
}

std::string number(double v) {
  std::ostringstream out;
  out << v;
  return out.str();
}

}  // namespace

void report_archive_problem(std::ostream& console, const ArchiveProblem& p) {
  using Code = ArchiveProblem::Code;
  const auto line = [&](const std::string& text) { free_line(console, text); };
  const auto error = [&](const std::string& text) { line(" hvmonitor : ERROR, " + text); };
  const std::string at = iso_millis(p.time);
  switch (p.code) {
    case Code::none:
      return;
    case Code::file_unreadable:
      error("a file of the list cannot be opened or read:");
      break;
    case Code::file_empty:
      error("a file of the list is empty:");
      break;
    case Code::not_miniseed:
      error(free_text("the bytes from offset", p.offset, " on are not a miniSEED record in:"));
      break;
    case Code::record_cut:
      error(free_text("the record at offset", p.offset,
                      " is cut short: the file ends before it does:"));
      break;
    case Code::rate_out_of_range:
      error("channel " + p.channel + " has a sampling rate of " + number(p.value) + " Hz at " + at +
            ", outside 0.001 to 100000 Hz, in:");
      break;
    case Code::no_samples:
      error("the files of the list hold no sample");
      return;
    case Code::stations_mixed:
      error("a file holds station " + p.names.at(1) + " where the archive is of station " +
            p.names.at(0) + ":");
      line(p.file);
      line("  list the files of one station, or name it with station: in the monitor section");
      return;
    case Code::station_absent:
      error("station " + p.channel + " is not in the archive");
      line("  stations found :" + joined(p.names));
      return;
    case Code::channel_absent:
      error("no channel " + p.channel + " (code or last letters) in the archive");
      line("  channels found :" + joined(p.names));
      return;
    case Code::channel_ambiguous:
      error("more than one channel fits a component :" + joined(p.names));
      line("  name the three codes with channels: in the monitor section");
      return;
    case Code::channel_twice:
      error("channel " + p.channel + " is asked for two components");
      return;
    case Code::sources_mixed:
      error("the chosen channels come from more than one network.location :" + joined(p.names));
      return;
    case Code::rate_differs:
      error("channel " + p.channel + " is sampled at " + number(p.value) + " Hz from " + at +
            " where the archive is sampled at " + number(p.expected) + " Hz, in:");
      break;
    case Code::overlap_disagrees:
      error("overlapping records of channel " + p.channel + " hold different samples at " + at +
            ", in:");
      line(p.file);
      line(p.other_file);
      return;
    case Code::record_damaged:
      error(free_text("the record at offset", p.offset, " (channel ") + p.channel +
            ") cannot be used: " + (p.names.empty() ? std::string() : p.names[0]) + ", in:");
      break;
    case Code::channels_misaligned:
      error("the samples of channel " + p.channel + " lie " + number(p.value) +
            " s after those of channel " + p.other_channel + " at " + at);
      line("  more than a tenth of a sample: the channels cannot share one time axis");
      return;
  }
  line(p.file);
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/recording_source.hpp"

#include "common/stage_timer.hpp"
#include "messages/read_messages.hpp"
#include "readers/readerth.hpp"

namespace hv {

bool WindowFileSource::same_recording(int w) const {
  return hv::same_recording(windows_(w - 1), windows_(w));
}

std::optional<Recording> WindowFileSource::read(int w) {
  const StageTimer timer(reading_seconds_);
  ReadNotes notes;
  WindowEntry& entry = windows_(w);
  Recording rec;
  const int status = READERTH(entry, NTIME, rec, units_, notes);
  if (!notes.empty()) lines_[w] = read_messages(notes, Voice::ratiospec, entry.file);
  if (status != 0) return std::nullopt;
  entry.labels = rec.labels;
  return rec;
}

void WindowFileSource::print_lines(std::ostream& console, int w) const {
  if (const auto it = lines_.find(w); it != lines_.end()) console << it->second;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Reader dispatch: ratiospec's READERTH (format from the window file) and calmpick's
// READERTHW (format guessed, with fallback).
#pragma once

#include <ostream>

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/recording.hpp"
#include "readers/records.hpp"

namespace hv {

// Makes the recording of window entry `entry` (1-based) current in ts: reads it
// unless entry - 1 names the same recording, writes the entry's labels, checks the
// sampling interval against the run's (set by entry 1). Returns 0, or 1 after
// printing why.
int READERTH(int entry, WINDOWS& windows, TIMESERIES& ts, UnitTable& units, std::ostream& console);

// True when window entries a and b name the same recording, so that READERTH reads
// nothing for b after a.
bool same_recording(const WindowEntry& a, const WindowEntry& b);

// Reads a recording for calmpick. format: in, the guess (format::unknown for none);
// out, the format read. Fills ts.samples, ts.nsamp, ts.dt and info (with the channel
// codes and station to write into the window file). Returns 0, or 1 after printing
// why.
int READERTHW(int& format, const Name& file, TIMESERIES& ts, RecordingInfo& info, UnitTable& units,
              std::ostream& console);

}  // namespace hv

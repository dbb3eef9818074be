// SPDX-License-Identifier: GPL-3.0-or-later
// Reader dispatch: ratiospec's READERTH (format from the window file, conditioning
// by the offset_rem option) and calmpick's READERTHW (format guessed, with fallback).
#pragma once

#include <array>
#include <ostream>

#include "common/glun.hpp"
#include "common/text.hpp"
#include "ratiospec/records.hpp"
#include "readers/records.hpp"

namespace hv {

// Makes the recording of window entry `entry` (1-based) current in ts: reads it
// unless entry - 1 names the same recording, writes the entry's labels, checks the
// sampling interval against the run's (set by entry 1) and conditions the samples
// as offset_rem asks. Returns 0, or 1 after printing why.
int READERTH(int entry, WINDOWS& windows, const PARAMETERS& par, TIMESERIES& ts, KAFHDR8& kafhdr,
             UnitTable& units, std::ostream& console);

// Reads a recording for calmpick. format: in, the guess (0 none, 1 GSE, 2 KAF,
// 3 DuneHeron); out, the format read. Fills ts.samples, ts.nsamp, ts.dt, the channel
// codes and the station code. Returns 0, or 1 after printing why.
int READERTHW(int& format, const Name& file, TIMESERIES& ts, std::array<Text<3>, 3>& channel,
              Text<10>& station, KAFHDR8& kafhdr, UnitTable& units, std::ostream& console);

}  // namespace hv

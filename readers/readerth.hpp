// SPDX-License-Identifier: GPL-3.0-or-later
// Reader dispatch: ratiospec's READERTH (format from the window file) and calmpick's
// READERTHW (format guessed, with fallback).
#pragma once

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/recording.hpp"
#include "readers/records.hpp"

namespace hv {

// Reads the recording a window line names, in the line's format and with its
// channels and station, at most max_samples per component. Returns 0, or 1 after
// the note that says why; a failed read leaves rec empty. Notes of a read that
// succeeds are warnings.
int READERTH(const WindowEntry& entry, int max_samples, Recording& rec, UnitTable& units,
             ReadNotes& notes);

// READERTH on any source: a file or bytes in memory, in the format given, with the
// channels and station asked for.
int read_in_format(const ReadSource& source, int format, const ChannelRequest& want,
                   int max_samples, Recording& rec, UnitTable& units, ReadNotes& notes);

// True when window entries a and b name the same recording, so that it is read once
// for both.
bool same_recording(const WindowEntry& a, const WindowEntry& b);

// Reads a recording for calmpick. format: in, the guess (format::unknown for none);
// out, the format read. Fills rec with the channel codes and station to write into
// the window file. Returns 0, or 1 after the note that says why; the notes of every
// format tried come first.
int READERTHW(int& format, const ReadSource& file, int max_samples, Recording& rec,
              UnitTable& units, ReadNotes& notes);

}  // namespace hv

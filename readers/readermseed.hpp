// SPDX-License-Identifier: GPL-3.0-or-later
// miniSEED recordings. The records are decoded by libmseed, which no other file of
// the system calls.
#pragma once

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/recording.hpp"

namespace hv {

// Codes of the miniSEED reader's notes; the texts are the reason and its detail
// lines.
namespace mseed {
inline constexpr int failed = 1;
inline constexpr int channel_choice = 3;  // the program says how to name the channels
}  // namespace mseed

// Reads three channels of one station from a miniSEED file into rec. Channel k of
// the request fills component k; a blank code takes the one
// channel of the station whose code ends in Z, N or 1, E or 2 (for columns 1, 2, 3),
// and a blank station the station of the first record. The three channels must
// share one network and location, one sampling rate and one time axis; they are cut
// to the span they have in common, which must hold no gap or overlap and at most
// max_samples samples; rec.start_time is its first sample's time. Samples of any encoding become
// counts in single precision.
//
// Returns read_status::ok; read_status::not_format, silently, when calmpick asks
// and the file does not begin with a miniSEED record; read_status::failed after a
// note of the reason otherwise.
int read_miniseed(const ReadSource& file, const ChannelRequest& want, Voice voice, int max_samples,
                  Recording& rec, UnitTable& units, ReadNotes& notes);

}  // namespace hv

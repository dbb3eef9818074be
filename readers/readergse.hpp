// SPDX-License-Identifier: GPL-3.0-or-later
// GSE recordings: three single-channel waveforms of a GSE1.0/GSE2.0 message make one
// three-component recording in m/s. ratiospec's READERGSE looks for the channels and
// station of the window line; calmpick's READER_GSE takes the first three waveforms.
#pragma once

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/gsein.hpp"
#include "readers/recording.hpp"

namespace hv {

// Status codes of READERGSE.
namespace gse {
inline constexpr int no_free_unit = 1;
inline constexpr int not_found = 5;
inline constexpr int cannot_open = 9;
inline constexpr int channels_missing = 17;
inline constexpr int too_many_samples = 19;
inline constexpr int rate_changed = 21;
inline constexpr int count_changed = 23;
inline constexpr int unreadable_waveform = 25;
inline constexpr int no_conversion = 27;  // the calibration gives no finite, non-zero factor
}  // namespace gse

// The values each failure's note carries (format::gse): too_many_samples the
// waveform's count and the limit; unreadable_waveform why and its header line;
// no_conversion the channel and station, calib and calper, and calib_type;
// channels_missing the three requested codes (blanks for those found) and the station.

// Counts to m/s by the calibration of the waveform.
double gse_velocity_factor(const GSEHDR& hdr);

// Fills the components of rec with the waveforms whose channel codes are
// want.channel[0..2], in that order, at station want.station (blank: the station of
// the first waveform of the file), at most max_samples each, and the rest of rec.
// Returns 0 or a gse:: status after the note that says why.
int READERGSE(const ReadSource& file, const ChannelRequest& want, int max_samples, Recording& rec,
              UnitTable& units, ReadNotes& notes);

// Fills the components of rec with the first three waveforms of the file, with their
// channel codes and station (that of the third). Returns 0; 2 without a note when
// the file holds fewer than three waveforms; 1 after the note that says why for any
// other failure.
int READER_GSE(const ReadSource& file, int max_samples, Recording& rec, UnitTable& units,
               ReadNotes& notes);

// Either of the two, as the program given reads, as a reader of the dispatch table:
// 0, 1 (noted) or 2 (not a GSE file; calmpick only).
int read_gse(const ReadSource& file, const ChannelRequest& want, Voice voice, int max_samples,
             Recording& rec, UnitTable& units, ReadNotes& notes);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// DuneHeron field-recorder files: a free-form header of descriptive lines, a few of
// which are recognised by their first words, ended by the line whose first word is
// "Maximum", then three columns of samples (vertical, north-south, east-west).
#pragma once

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/recording.hpp"

namespace hv {

// Status codes of the DuneHeron reader.
namespace dh {
inline constexpr int ok = 0;
inline constexpr int no_free_unit = 1;  // GLUN's status
inline constexpr int not_found = 5;
inline constexpr int too_many_samples = 7;
inline constexpr int cannot_open = 9;
inline constexpr int read_error = 11;
inline constexpr int not_duneheron = 13;
inline constexpr int data_short = 15;
// A gain or conversion value of 0 or one that is not finite.
inline constexpr int bad_divisor = 17;
}  // namespace dh

// Reads the DuneHeron file into rec (at most max_samples per component). A failure
// gives one note: the dh:: status; the sample count, max_samples and the header line
// of a refused divisor as counts; why the file is not DuneHeron (when known) and that
// line's text as texts. read_status::failed, or read_status::not_format when calmpick
// asks and the file is not DuneHeron.
int read_duneheron(const ReadSource& file, const ChannelRequest& want, Voice voice, int max_samples,
                   Recording& rec, UnitTable& units, ReadNotes& notes);

}  // namespace hv

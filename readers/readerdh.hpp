// SPDX-License-Identifier: GPL-3.0-or-later
// DuneHeron field-recorder files: a free-form header of descriptive lines, a few of
// which are recognised by their first words, ended by the line whose first word is
// "Maximum", then three columns of samples (vertical, north-south, east-west).
#pragma once

#include <ostream>

#include "common/glun.hpp"
#include "common/text.hpp"
#include "readers/recording.hpp"

namespace hv {

// Reads the DuneHeron file into rec (at most max_samples per component). In ratiospec's
// voice every failure is reported on the console and returns read_status::failed.
// In calmpick's voice the reader is silent and returns read_status::not_format when
// the file is not DuneHeron, read_status::failed for any other failure; a gain or
// conversion value that would divide the samples into infinity is reported in both
// voices.
int read_duneheron(const Name& file, const ChannelRequest& want, Voice voice, int max_samples,
                   Recording& rec, UnitTable& units, std::ostream& console);

}  // namespace hv

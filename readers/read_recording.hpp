// SPDX-License-Identifier: GPL-3.0-or-later
// One recording read through the reader table into a value sized to its data.
#pragma once

#include <optional>
#include <string>

#include "readers/recording.hpp"

namespace hv {

// Reads the recording of a file or of bytes in memory in the given format
// (format::unknown: the format is guessed as calmpick guesses it), with the channels
// and station of a window line.
// Nothing when it cannot be read. notes receives what the read met (the warnings of
// a read that succeeds, or why it failed).
std::optional<Recording> read_recording(const ReadSource& source, int format,
                                        const ChannelRequest& want, ReadNotes& notes);

}  // namespace hv

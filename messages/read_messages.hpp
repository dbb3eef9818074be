// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of what a read met (the readers' notes), as each program has always
// printed them: ratiospec's and calmpick's readers name themselves differently and
// word some messages otherwise, and calmpick says nothing of a DuneHeron file it
// cannot use.
#pragma once

#include <ostream>
#include <string>

#include "readers/recording.hpp"

namespace hv {

// Prints the notes of one read of `file` in the voice of the program that read it.
void report_read(std::ostream& console, const ReadNotes& notes, Voice voice, const Name& file);

// The same lines as one text.
std::string read_messages(const ReadNotes& notes, Voice voice, const Name& file);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// A reader called as a program calls it: with fresh notes, whose texts in the
// program's voice are then added to console.
#pragma once

#include <ostream>

#include "messages/read_messages.hpp"

namespace hv::test {

template <typename Read>
int read_into(std::ostream& console, Voice voice, const Name& file, Read read) {
  ReadNotes notes;
  const int status = read(notes);
  report_read(console, notes, voice, file);
  return status;
}

}  // namespace hv::test

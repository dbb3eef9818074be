// SPDX-License-Identifier: GPL-3.0-or-later
// What the two miniSEED readers share of libmseed: its log silenced, the lock around
// its calls, and the check of a Steim record's last sample. Only the miniSEED readers
// include this header.
#pragma once

#include <libmseed.h>

#include <mutex>

namespace hv {

// libmseed prints its own diagnostics; every failure is reported in the readers' words.
void silence_library_log();

// libmseed keeps process-wide state (its log set-up and encoding fall-backs), so
// records are parsed under this lock when archives are read beside other work.
std::mutex& libmseed_lock();

// A Steim record carries its last sample (the reverse integration constant) beside
// the differences. libmseed only warns when the decoded samples do not end on it, so
// damaged frames would pass as samples; the check is made here.
bool steim_intact(const MSRecord& m);

}  // namespace hv

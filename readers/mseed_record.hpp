// SPDX-License-Identifier: GPL-3.0-or-later
// What the two miniSEED readers share of libmseed: its log silenced, the lock around
// its calls, the check of a Steim record's last sample and the copy of its samples. Only the
// miniSEED readers include this header.
#pragma once

#include <libmseed.h>

#include <cstddef>
#include <cstdint>
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

// libmseed walks a record's blockettes by the offsets the record gives (below 64 KiB
// from its start) and trusts a record length it derives from a damaged header, so it
// can read past the bytes it is handed. Buffers handed to it keep this many bytes
// after their data, so that such reads stay inside them.
inline constexpr std::size_t libmseed_slack = std::size_t{65536} + 4096;

// libmseed decodes the samples of an uncompressed record (integers, floats, text and
// the older 16- and 24-bit encodings) from its data section without bounding them by
// the record's length, so a header claiming more samples than the section holds
// would have it read past the record; the Steim decoders are bounded. True when the
// data section begins inside the record and holds the samples the header claims.
// m is a record parsed without its data.
bool samples_fit(const MSRecord& m);

// Copies the decoded samples from .. to - 1 (0-based in the record) of m to out,
// converted to Out; false when the record holds text, not samples.
template <typename Out>
bool copy_decoded(const MSRecord& m, std::int64_t from, std::int64_t to, Out* out) {
  const auto copy = [&](const auto* in) {
    for (std::int64_t i = from; i < to; ++i) *out++ = static_cast<Out>(in[i]);
  };
  switch (m.sampletype) {
    case 'i':
      copy(static_cast<const std::int32_t*>(m.datasamples));
      return true;
    case 'f':
      copy(static_cast<const float*>(m.datasamples));
      return true;
    case 'd':
      copy(static_cast<const double*>(m.datasamples));
      return true;
    default:
      return false;
  }
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// A miniSEED archive spread over many files: the records are indexed one by one (no
// file is held whole), assembled per channel in time order, and any span of the three
// chosen channels is read back as gap-free stretches. Nothing is printed: a refusal
// comes back as a problem code with the values its message needs.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "readers/recording.hpp"

namespace hv {

struct ArchiveProblem {
  enum class Code {
    none,
    file_unreadable,     // file: cannot be opened or read
    file_empty,          // file
    not_miniseed,        // file, offset: the bytes there are not a record
    record_cut,          // file, offset: the file ends inside the record
    rate_out_of_range,   // file, channel, time, value (Hz)
    no_samples,          // no record of the list holds a sample
    stations_mixed,      // file (holding the second station), names (stations)
    station_absent,      // names (stations found)
    channel_absent,      // channel (letters or code asked), names (channels found)
    channel_ambiguous,   // names (the codes that fit)
    channel_twice,       // channel
    sources_mixed,       // names (network.location of the channels)
    rate_differs,        // file, channel, time, value (Hz), expected (Hz)
    overlap_disagrees,   // file, other_file, channel, time
    record_damaged,      // file, offset, channel, names[0] (why)
    channels_misaligned  // channel, other_channel, time, value (seconds apart)
  };
  Code code = Code::none;
  std::string file, other_file;
  std::string channel, other_channel;
  double time = 0.0;  // seconds since 1970
  std::uint64_t offset = 0;
  double value = 0.0, expected = 0.0;
  std::vector<std::string> names;
};

// A span where the three channels all have samples without a gap: sample i lies at
// start + i x period.
struct ArchiveStretch {
  double start = 0.0;  // seconds since 1970
  std::int64_t nsamp = 0;
};

// Samples first .. first + count - 1 of a stretch.
struct StretchPiece {
  int stretch = 0;
  std::int64_t first = 0;
  std::int64_t count = 0;
};

class MseedArchive {
 public:
  MseedArchive();
  ~MseedArchive();
  MseedArchive(MseedArchive&&) noexcept;
  MseedArchive& operator=(MseedArchive&&) noexcept;

  // Indexes the files and chooses the channels (blank codes and station as the
  // miniSEED reader chooses them). Overlapping records are compared sample by sample.
  // Returns read_status::ok, or read_status::failed with problem set.
  int open(std::span<const std::string> files, const ChannelRequest& want, ArchiveProblem& problem);

  double period() const;  // seconds
  float dt() const;       // the sampling interval as the readers give it
  const std::vector<ArchiveStretch>& stretches() const;
  // The pieces of the stretches whose sample times t satisfy from <= t < to.
  std::vector<StretchPiece> pieces(double from, double to) const;
  // Reads a piece as a recording of its own (codes, labels, start time); threads may
  // read side by side. Returns read_status::ok, or read_status::failed with problem set
  // (a record that cannot be decoded).
  int read(const StretchPiece& piece, Recording& rec, ArchiveProblem& problem) const;

 private:
  struct Index;
  std::unique_ptr<Index> index_;
};

}  // namespace hv

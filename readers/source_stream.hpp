// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes of one read, opened: a file on a logical unit of the run, as the
// programs have always opened recordings, or bytes held in memory.
#pragma once

#include <cstddef>
#include <ios>
#include <optional>
#include <streambuf>
#include <string_view>

#include "common/glun.hpp"
#include "readers/recording.hpp"

namespace hv {

class SourceStream {
 public:
  enum class Status { ok, no_unit, not_found, cannot_open };

  SourceStream(const ReadSource& source, UnitTable& units) : source_(source), units_(units) {}

  // A file takes a free unit, must exist and be a regular file (a device or a pipe
  // could hold the read forever); bytes in memory need nothing. A byte-order mark at
  // the start is skipped either way.
  Status open();
  // The bytes after the mark; valid once open() gave Status::ok.
  std::streambuf& buffer();
  // Bytes the source holds, or nothing when a file's size cannot be had.
  std::optional<std::size_t> size() const;
  // Frees a file's unit once the read needs no more of it.
  void close() {
    if (file_) file_->close();
  }

 private:
  // Reads bytes in place, and seeks in them as in a file.
  class MemoryBuffer : public std::streambuf {
   public:
    explicit MemoryBuffer(std::string_view bytes);
    void skip(std::size_t n) { gbump(static_cast<int>(n)); }

   protected:
    pos_type seekoff(off_type off, std::ios::seekdir dir, std::ios::openmode which) override;
    pos_type seekpos(pos_type pos, std::ios::openmode which) override {
      return seekoff(pos, std::ios::beg, which);
    }
  };

  const ReadSource& source_;
  UnitTable& units_;
  std::optional<UnitFile> file_;
  std::optional<MemoryBuffer> memory_;
};

// Samples per component worth storing for a header's count of `claimed`: a sample
// takes at least two characters, so no more than half the source's bytes can be read,
// and a false count claims no more memory than the source could fill.
std::size_t storable_samples(std::size_t claimed, const SourceStream& source);

}  // namespace hv

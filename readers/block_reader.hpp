// SPDX-License-Identifier: GPL-3.0-or-later
// The buffered reading under the text formats: a text read in large blocks into one
// buffer, which each format's reader scans in place with its own rules for lines and
// values.
#pragma once

#include <cstddef>
#include <streambuf>
#include <vector>

namespace hv {

class BlockReader {
 protected:
  static constexpr std::size_t block = std::size_t{1} << 20;

  explicit BlockReader(std::streambuf& source) : source_(source), buf_(block) {}

  // Moves the unread bytes to the front and appends what the source gives next; the
  // buffer doubles only when the unread bytes fill it, so each reader bounds its
  // size by the longest line or value it keeps. False when nothing came.
  bool fill();

  // The length of the value that starts at pos_: the bytes before the first one for
  // which ends(c) holds, or before the end of the text, reading on as needed. Stops
  // reading once the length is above max.
  template <typename Ends>
  std::size_t value_length(std::size_t max, Ends ends) {
    std::size_t length = 0;
    for (;;) {
      std::size_t e = pos_ + length;
      while (e < end_ && !ends(buf_[e])) ++e;
      length = e - pos_;
      if (e < end_ || length > max || !fill()) return length;
    }
  }

  std::streambuf& source_;
  std::vector<char> buf_;
  std::size_t pos_ = 0;  // first unread byte
  std::size_t end_ = 0;  // end of the bytes read
  bool eof_ = false;
};

}  // namespace hv

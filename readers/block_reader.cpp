// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/block_reader.hpp"

#include <cstring>

namespace hv {

bool BlockReader::fill() {
  if (eof_) return false;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ == buf_.size()) buf_.resize(2 * buf_.size());
  const std::streamsize got =
      source_.sgetn(buf_.data() + end_, static_cast<std::streamsize>(buf_.size() - end_));
  if (got <= 0) {
    eof_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
  return true;
}

}  // namespace hv

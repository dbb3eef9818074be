// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/source_stream.hpp"

#include <algorithm>
#include <filesystem>
#include <string>

#include "common/cmdline.hpp"
#include "common/lines.hpp"

namespace hv {

SourceStream::MemoryBuffer::MemoryBuffer(std::string_view bytes) {
  char* first = const_cast<char*>(bytes.data());  // the get area is only read
  setg(first, first, first + bytes.size());
}

std::streambuf::pos_type SourceStream::MemoryBuffer::seekoff(off_type off, std::ios::seekdir dir,
                                                             std::ios::openmode which) {
  const off_type size = egptr() - eback();
  const off_type base = dir == std::ios::beg ? 0 : dir == std::ios::cur ? gptr() - eback() : size;
  if (!(which & std::ios::in) || base + off < 0 || base + off > size) return pos_type(off_type(-1));
  setg(eback(), eback() + base + off, egptr());
  return pos_type(base + off);
}

SourceStream::Status SourceStream::open() {
  if (source_.bytes) {
    memory_.emplace(*source_.bytes);
    if (source_.bytes->starts_with(byte_order_mark)) memory_->skip(byte_order_mark.size());
    return Status::ok;
  }
  int unit = 0;
  if (units_.GLUN(unit) != 0) return Status::no_unit;
  if (CKESFI(source_.name)) return Status::not_found;
  file_.emplace(units_, unit);
  if (!file_->open_read(source_.name.trimmed())) return Status::cannot_open;
  return Status::ok;
}

std::streambuf& SourceStream::buffer() {
  if (memory_) return *memory_;
  return *file_->stream().rdbuf();
}

std::optional<std::size_t> SourceStream::size() const {
  if (source_.bytes) return source_.bytes->size();
  std::error_code ec;
  const std::uintmax_t bytes = std::filesystem::file_size(std::string(source_.name.trimmed()), ec);
  if (ec) return std::nullopt;
  return static_cast<std::size_t>(bytes);
}

std::size_t storable_samples(std::size_t claimed, const SourceStream& source) {
  const std::optional<std::size_t> size = source.size();
  return size ? std::min(claimed, *size / 2 + 1) : claimed;
}

}  // namespace hv

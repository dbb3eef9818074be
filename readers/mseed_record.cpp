// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/mseed_record.hpp"

#include <cstddef>
#include <cstdint>

namespace hv {

namespace {

void discard_log_line(char*) {}

}  // namespace

void silence_library_log() {
  // The logging set-up is process-wide, hence made once.
  static const bool silenced = [] {
    ms_loginit(discard_log_line, nullptr, discard_log_line, nullptr);
    return true;
  }();
  (void)silenced;
}

std::mutex& libmseed_lock() {
  static std::mutex lock;
  return lock;
}

bool samples_fit(const MSRecord& m) {
  if (m.samplecnt <= 0) return true;
  const std::int64_t room = std::int64_t{m.reclen} - m.fsdh->data_offset;
  if (room < 0) return false;
  std::int64_t bytes = 0;  // of one sample in the record
  switch (m.encoding) {
    case DE_ASCII:
      bytes = 1;
      break;
    case DE_INT16:
    case DE_GEOSCOPE163:
    case DE_GEOSCOPE164:
    case DE_CDSN:
    case DE_SRO:
    case DE_DWWSSN:
      bytes = 2;
      break;
    case DE_GEOSCOPE24:
      bytes = 3;
      break;
    case DE_INT32:
    case DE_FLOAT32:
      bytes = 4;
      break;
    case DE_FLOAT64:
      bytes = 8;
      break;
    default:
      return true;
  }
  return m.samplecnt <= room / bytes;
}

bool steim_intact(const MSRecord& m) {
  if (m.encoding != DE_STEIM1 && m.encoding != DE_STEIM2) return true;
  if (m.numsamples < 1 || m.sampletype != 'i') return false;
  const std::size_t at = std::size_t{m.fsdh->data_offset} + 8;
  if (at + 4 > static_cast<std::size_t>(m.reclen)) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(m.record) + at;
  const std::uint32_t big = std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                            std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
  const std::uint32_t little = std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                               std::uint32_t{p[1]} << 8 | std::uint32_t{p[0]};
  const auto last = static_cast<std::int32_t>(m.byteorder == 1 ? big : little);
  return last == static_cast<const std::int32_t*>(m.datasamples)[m.numsamples - 1];
}

}  // namespace hv

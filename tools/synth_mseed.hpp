// SPDX-License-Identifier: GPL-3.0-or-later
// miniSEED files for tests and benchmarks, packed with libmseed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hv::synth {

enum class MseedEncoding { int32, steim1, steim2, float32, float64 };

// One run of samples of one channel, packed into as many records as it needs.
// Several blocks of the same channel make gaps, overlaps or shifted starts.
struct MseedBlock {
  std::string network = "XX";
  std::string station = "SYN";
  std::string location;
  std::string channel = "BHZ";
  double rate = 100.0;
  std::int64_t start_us = 1'500'000'000'000'000;  // first sample, microseconds since 1970
  MseedEncoding encoding = MseedEncoding::steim2;
  int record_length = 512;
  // Integer encodings need integral values in the int32 range.
  std::vector<double> samples;
};

// The records of the blocks, block after block; with interleave the records of the
// blocks are taken in turn, as a data centre multiplexes channels. Throws
// std::runtime_error when libmseed cannot pack a block.
std::string pack_miniseed(std::span<const MseedBlock> blocks, bool interleave = false);

// Writes pack_miniseed(blocks, interleave) to path; throws std::runtime_error when
// the file cannot be written.
void write_miniseed(const std::string& path, std::span<const MseedBlock> blocks,
                    bool interleave = false);

}  // namespace hv::synth

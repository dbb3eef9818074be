// SPDX-License-Identifier: GPL-3.0-or-later
// GSE1.0 and GSE2.0 files for tests, benchmarks and the generator: an encoder of the
// CM6, CM7 and CM8 sample texts, the differencing and checksums, and writers of
// waveforms in every data type.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/synth.hpp"

namespace hv::synth {

// The CM6 (n = 6), CM7 or CM8 text of the samples, without line breaks. Every sample
// takes the fewest characters it can. For CM7 and CM8, a sample whose index is listed
// in `corrected` is written 32 further from zero and followed by the correction
// pair, which moves it back; a sample whose text would end in a line feed (or, as the
// last of the text, in a carriage return or a blank) is written that way too, so that
// the text survives being cut into lines. end_marker appends the pair that ends the
// data.
std::string encode_cm(int n, std::span<const std::int32_t> x,
                      std::span<const std::size_t> corrected = {}, bool end_marker = false);

// One differencing pass in place: x(i) -= x(i-1) from the last sample down, modulo
// 2^32.
void difference(std::span<std::int32_t> x);
// Sum modulo 2^32.
std::int32_t gse1_checksum(std::span<const std::int32_t> x);
// Sum kept below 10^8 in magnitude by remainders; its magnitude.
std::int32_t gse2_checksum(std::span<const std::int32_t> x);

struct GseChannel {
  std::string station = "SYN";  // up to 5 characters (GSE2.0), 6 (GSE1.0)
  // GSE2.0: up to 3 characters. GSE1.0: the two characters written (the reader makes
  // "sz" the code SHZ).
  std::string channel = "Z";
  double samprat = 100.0;
  double calib = 1.0;   // nm per count
  double calper = 1.0;  // s
  int calib_type = 1;   // GSE1.0 only
  std::vector<std::int32_t> counts;
};

struct GseStyle {
  int version = 2;
  // GSE2.0: INT, CM6, CM7, CM8. GSE1.0: INTV, INT1 .. INT9, CMP6, CMP7, CMP8.
  std::string datatype = "CM6";
  int ndiff = 2;                    // GSE1.0: differencing passes; GSE2.0 CMn always takes 2
  bool negative_checksum = false;   // GSE2.0: write the checksum with a minus sign
  std::int32_t checksum_error = 0;  // added to the checksum written
  bool crlf = false;                // lines end in carriage return and line feed
  std::size_t line_length = 80;     // characters of a data line
};

// Counts to m/s for the channel's calibration, as a GSE reader converts them.
double velocity_factor(const GseChannel& channel, int version);

// The lines of one waveform: header, data and checksum.
std::string gse_waveform(const GseChannel& channel, const GseStyle& style);

// A GSE message holding the waveforms, with a message header before them and STOP at
// the end. Throws std::invalid_argument for a channel the style cannot write and
// std::runtime_error when the file cannot be written.
void write_gse(const std::string& path, const std::vector<GseChannel>& channels,
               const GseStyle& style);

// The three components of a recording as counts, with the channel codes and station
// of `spec` (for GSE1.0 a three-letter code XHY is written XY, a shorter one
// right-aligned in two columns), under one calibration of three significant digits
// chosen so that the largest magnitude is about 10^6 counts.
std::vector<GseChannel> gse_channels(const Recording& rec, const Spec& spec, int version);

}  // namespace hv::synth

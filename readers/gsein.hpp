// SPDX-License-Identifier: GPL-3.0-or-later
// GSE1.0 and GSE2.0 waveforms: the waveform header GSEHDR and GSEIN, which reads one
// waveform at a time (header, plain or compressed samples, differences, checksum).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/text.hpp"
#include "readers/gse_lines.hpp"
#include "readers/recording.hpp"

namespace hv {

// Header of the waveform being read. INIT_HDRVARS gives every field the value below
// except verbosity and coordsys.
struct GSEHDR {
  int verbosity = 0;  // trace lines of GSEIN are printed above level 0
  int year = 0;
  int month = 0;
  int day = 0;
  int jday = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int msec = 0;
  int samps = 0;
  int version = 0;     // 1 GSE1.0, 2 GSE2.0
  int ndiff = 0;       // GSE1.0: differencing passes applied to the samples
  int calib_type = 0;  // GSE1.0: 0 displacement, 1 velocity, 2 acceleration
  float samprat = 0.0f;
  float calib = 1.0f;   // nm per count
  float calper = 1.0f;  // s
  float lat = -999.0f;
  float lon = -999.0f;
  float elev = -999.0f;    // m
  float edepth = -999.0f;  // m
  float gse1_extra1 = -1.0f;
  float gse1_extra2 = -1.0f;
  float hang = -1.0f;
  float vang = -1.0f;
  Text<10> station;
  Text<10> auxid;  // GSE2.0 auxiliary id, GSE1.0 channel id
  Text<3> channel;
  Text<6> instype{"_"};
  Text<9> network;
  Text<12> coordsys;
  Text<10> datatype;
};

void INIT_HDRVARS(GSEHDR& hdr);

// Day of year from year, month and day (mode above 0), or month and day from year
// and day of year (mode 0 or less). Years below 1900 get 1900 added, then years below
// 1970 get 100 more; every fourth year is a leap year. Values out of range leave the
// computed fields untouched.
void JULIEN(int& day, int& month, int& year, int& jday, int mode);

// Undoes one differencing pass in place: x(i) += x(i-1), modulo 2^32.
void REMDIF1(std::span<std::int32_t> x);

// The GSE1.0 checksum: the sum of the samples modulo 2^32.
std::int32_t ICHECK_SUM_GSE1(std::span<const std::int32_t> x);
// The GSE2.0 checksum: a sum kept below 10^8 in magnitude; its magnitude.
std::int32_t ICHECK_SUM_GSE2(std::span<const std::int32_t> x);

namespace gse {
inline constexpr int ok = 0;
inline constexpr int bad_waveform = 1;  // the waveform after the header line cannot be used
inline constexpr int end_of_file = 999;
// Warnings of a waveform that is read: a decoder that filled its store, a decoded
// count other than the header's (counts: the header's and the decoded), a checksum
// that does not match (counts: read and computed; text: the header line).
inline constexpr int decoder_full = 101;
inline constexpr int count_differs = 103;
inline constexpr int checksum_differs = 105;
}  // namespace gse

// The buffers GSEIN fills, owned by its caller and reused for every waveform; they
// grow to the largest waveform read.
struct GseBuffers {
  // Waveforms of more samples are read to their header only.
  int max_samples = no_sample_limit;
  // Most characters of one waveform's compressed text: six per sample.
  std::size_t text_capacity = 6 * static_cast<std::size_t>(no_sample_limit);
  std::vector<char> text;
  std::vector<std::int32_t> samples;

  void limit(int max) {
    max_samples = max;
    text_capacity = 6 * static_cast<std::size_t>(max);
  }
};

// What GSEIN reports beside the header.
struct GseWaveform {
  std::int32_t checksum = 0;       // as read, or the computed one when they differ
  std::string header_line;         // the WID1/WID2 line, trimmed
  std::string failure;             // why the waveform cannot be used (status gse::bad_waveform)
  std::vector<std::string> trace;  // the steps of the read, when hdr.verbosity asks for them
};

// Reads the next waveform of the message from `in`: searches its WID1 or WID2 line,
// fills hdr and samples 1..samps of buffers.samples, and reads up to its checksum
// line. Returns gse::ok (also when samps is above max_samples: the header is then read and
// the data are not), gse::end_of_file when no further header line comes, or
// gse::bad_waveform with out.failure saying why. A checksum that does not match and
// a decoded count that is too high are warnings added to notes; they do not fail.
int GSEIN(GseLines& in, GseBuffers& buffers, GSEHDR& hdr, GseWaveform& out, ReadNotes& notes);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Synthetic recordings written as DuneHeron field-recorder files.
#pragma once

#include <optional>
#include <string>

#include "tools/synth.hpp"

namespace hv::synth {

// The header variants a DuneHeron file may take.
struct DuneHeronHeader {
  // How the sample count is given: a "Sample number" line, or a "Recording length"
  // line in minutes from which the reader computes it.
  enum class Count { sample_number, recording_length } count = Count::sample_number;
  // A "Gain" line and a "Conversion factor" line. The samples are written multiplied
  // by both, so that the reader, which divides by them, gets the recording back.
  std::optional<double> gain;
  std::optional<double> conversion;
};

// Writes rec as a DuneHeron file: descriptive lines, the recognised header lines,
// the "Maximum" line, then one line of vertical, north-south and east-west per
// sample. Throws std::invalid_argument for a recording or header that cannot be
// written so (components of different lengths, dt not positive, a divisor of 0, a
// length in minutes that does not give the sample count back), std::runtime_error
// when the file cannot be written.
void write_duneheron(const std::string& path, const Recording& rec,
                     const DuneHeronHeader& header = {});

}  // namespace hv::synth

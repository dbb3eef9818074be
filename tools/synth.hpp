// SPDX-License-Identifier: GPL-3.0-or-later
// Synthetic three-component recordings for tests, benchmarks and the demo.
#pragma once

#include <string>
#include <vector>

namespace hv::synth {

// A burst added to all three components: a 5 Hz sinusoid (lowered to a quarter of
// the sampling frequency when that is below) under a Hann envelope of the given
// duration, peak amplitude `amplitude`, starting at time_s.
struct Transient {
  double time_s;
  double amplitude;
  double duration_s;
};

struct Spec {
  double duration_s = 1800.0;  // recording length; samples = round(duration/dt) + 1
  double dt = 0.01;
  unsigned seed = 1;
  double noise_amplitude = 1.0;  // rms of the vertical noise
  double resonance_hz = 0.0;     // 0: no resonance; else the horizontals are amplified around it
  double resonance_gain = 4.0;   // H/V amplitude ratio at the resonance (1 far from it)
  double resonance_q = 3.0;
  std::vector<Transient> transients;
  double clip_level = 0.0;  // 0: none; else samples are clipped to +-clip_level
  double offset = 0.0;      // constant added to every sample (to test offset removal)
  std::string station = "SYN", units = "m/s", ch0 = "Z", ch1 = "N", ch2 = "E";
};

struct Recording {
  double dt;
  std::vector<float> z, ns, ew;
};

// Three independent white-noise components of rms noise_amplitude; with a resonance
// the two horizontals pass through a peaking filter whose gain is resonance_gain at
// resonance_hz and tends to 1 away from it. Then the transients are added, then the
// offset, and last the samples are clipped (an instrument saturates on the total
// signal). The same spec gives the same samples on every machine: the noise comes
// from std::mt19937 through a normal transform of our own. Throws
// std::invalid_argument for a spec that cannot be generated (dt not positive,
// negative duration, resonance at or above the Nyquist frequency, ...).
Recording synthesize(const Spec& spec);

// Writes a KAF file; extra_header_lines go before the separator (for tests: GAIN,
// NORTH_ROT, comments). Samples are written with enough digits to read back
// exactly. Throws std::runtime_error when the file cannot be written.
void write_kaf(const std::string& path, const Recording& rec, const Spec& spec,
               const std::vector<std::string>& extra_header_lines = {});

}  // namespace hv::synth

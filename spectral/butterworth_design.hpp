// SPDX-License-Identifier: GPL-3.0-or-later
// The Butterworth design kit: analog prototype poles, second-order analog sections
// for the low-pass prototype and its high-pass and band-pass transforms, frequency
// scaling and prewarping, the bilinear transform, and the cascade that runs a
// record through the digital sections.
#pragma once

#include <array>
#include <complex>
#include <span>
#include <vector>

namespace hv {

// A prototype pole: a single real pole, or the upper pole of a complex-conjugate pair.
enum class PoleType { single, pair };

struct Pole {
  std::complex<float> p;
  PoleType type;
};

// Analog prototype: its poles and the gain that multiplies the first numerator.
struct Prototype {
  std::vector<Pole> poles;
  float dcvalue = 1.0f;
};

// One second-order section. Analog: coefficients of s^0, s^1, s^2. Digital: of z^0,
// z^-1, z^-2, with sd[0] exactly 1.
struct Section {
  std::array<float, 3> sn{};
  std::array<float, 3> sd{};
};

using Sections = std::vector<Section>;

// Butterworth prototype of the given order (>= 1): a real pole -1 first when the
// order is odd, then one pole per conjugate pair on the left half of the unit circle.
Prototype BUROOTS(int order);

// Analog low-pass and high-pass sections at a corner of 1 rad/s, one per pole.
Sections LP(const Prototype& proto);
Sections LPTHP(const Prototype& proto);
// Analog band-pass sections between the (prewarped) corners fl and fh in Hz: two per
// conjugate pair, one per real pole, scaled to dcvalue at the band centre.
Sections LPTBP(const Prototype& proto, float fl, float fh);

// Scales low-pass or high-pass sections from 1 rad/s to the corner f in Hz.
void CUTOFFS(Sections& sections, float f);

// Prewarped frequency: tan(2*pi*f*T/2) * 2/T / (2*pi).
float WARP(float f, float T);
// The corner f (Hz) at interval dt as the bilinear transform of BILIN2 needs it,
// tan(pi*f*dt)/(2*pi), so that the digital filter has its corner exactly at f.
float prewarp(float f, float dt);

// Analog to digital sections by s = (1 - z^-1)/(1 + z^-1).
void BILIN2(Sections& sections);

// Runs x through the digital sections in order, in place; when zerophase is non-zero
// it then runs it through them again from the last sample to the first, which
// squares the magnitude response and cancels the phase. The recursion is carried in
// double precision; each output is stored as a float.
void APPLY(std::span<float> x, int zerophase, const Sections& sections);

}  // namespace hv

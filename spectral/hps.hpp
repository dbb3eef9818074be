// SPDX-License-Identifier: GPL-3.0-or-later
// Zero-phase Butterworth filtering of a whole recording: the choice of filter kind
// from the two corners (HPS), the three designers-and-appliers, and the reading and
// checking of the offset_rem values that ask for a filter.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string_view>

#include "spectral/butterworth_design.hpp"

namespace hv {

// Stands for the corner that a one-sided filter does not use: above any usable
// frequency, so that HPS picks the other side.
inline constexpr float no_corner = 1.0e25f;

enum class FilterKind { high_pass, low_pass, band_pass };

// The kind HPS applies for corners fl, fh (Hz) at interval dt (s). With the limit L at
// 95 % of the Nyquist frequency: a lower corner above L with an upper corner below the
// Nyquist frequency gives a low-pass at fh (the low-pass option, or a band that lies
// wholly above L); otherwise an upper corner above L gives a high-pass at fl; any
// other pair a band-pass.
FilterKind filter_kind(float dt, float fl, float fh);

// The digital second-order sections of each design at interval dt.
Sections high_pass_sections(float fl, float dt);
Sections low_pass_sections(float fh, float dt);
Sections band_pass_sections(float fl, float fh, float dt);

// Design the filter afresh and apply it, zero-phase, to x in place.
void XHPF(std::span<float> x, float fl, float dt);
void XLPF(std::span<float> x, float fh, float dt);
void XBPF(std::span<float> x, float fl, float fh, float dt);

// Filters the three components of x in place: component c (1..3) is samples
// (c-1)*stride .. (c-1)*stride + npts - 1. High-pass and band-pass first remove each
// component's mean; a low-pass keeps it. The corners must have passed
// filter_corners.
void HPS(std::span<float> x, int stride, int npts, float dt, float fl, float fh);

// The corners that an offset_rem value asks for, as HPS takes them.
struct FilterCorners {
  float fl;
  float fh;
};

// Reads "high-pass:f", "band-pass:f1:f2" or "low-pass:f" and checks that the corners
// give a meaningful, stable filter at interval dt: every corner a number above 0 and
// below the Nyquist frequency, a band's lower corner below its upper one, a low-pass
// corner at most 95 % of the Nyquist frequency. Returns the corners, or nothing after
// a message naming the option, its value and the reason.
std::optional<FilterCorners> filter_corners(std::string_view offset_rem, float dt,
                                            std::ostream& console);

}  // namespace hv

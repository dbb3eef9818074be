// SPDX-License-Identifier: GPL-3.0-or-later
// Zero-phase Butterworth filtering of a whole recording: the choice of filter kind
// from the two corners (HPS), the three designers-and-appliers, and the reading and
// checking of the offset_rem values that ask for a filter.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "spectral/butterworth_design.hpp"
#include "spectral/notice.hpp"
#include "spectral/rmean.hpp"

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

// Filters the three components of x in place. High-pass and band-pass first remove
// each component's mean; a low-pass keeps it. The corners must have passed
// filter_corners.
void HPS(const Components& x, float dt, float fl, float fh);

// The corners that an offset_rem value asks for, as HPS takes them.
struct FilterCorners {
  float fl;
  float fh;
};

// The offset_rem option: what is done to the recording (and each window) before the
// windows are cut out.
struct Conditioning {
  enum class Kind {
    none,            // "no" (and r_mean with a second word other than all or win)
    recording_mean,  // "r_mean", "r_mean:all": each component's mean over the recording
    window_mean,     // "r_mean:win": each window's own mean
    high_pass,       // "high-pass:f"
    band_pass,       // "band-pass:f1:f2"
    low_pass         // "low-pass:f"
  };
  Kind kind = Kind::none;
  float f1 = 0.0f, f2 = 0.0f;  // corner frequencies, Hz
  bool filters() const { return kind >= Kind::high_pass; }
};

// Reads the option; refuses an unknown key and a missing or non-numeric corner.
Parsed<Conditioning> parse_offset_rem(std::string_view text);

// Checks that a filter's corners give a meaningful, stable filter at interval dt:
// every corner a number above 0 and below the Nyquist frequency, a band's lower
// corner below its upper one, a low-pass corner at most 95 % of the Nyquist
// frequency. Returns the corners, or nothing after a notice with the reason.
std::optional<FilterCorners> filter_corners(const Conditioning& c, float dt, Notices& notes);

// Conditions a whole recording at interval dt as c asks (the recording's mean, or a
// filter; a window's own mean is removed when the window is cut out). Returns 0, or 1
// after the notice of corners that give no usable filter.
int condition_recording(const Conditioning& c, float dt, const Components& x, Notices& notes);

}  // namespace hv

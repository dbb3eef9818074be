// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/hps.hpp"

#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <string>

#include "common/freefmt.hpp"
#include "common/text.hpp"
#include "spectral/rmean.hpp"

namespace hv {

namespace {

// Every filter here is of the second order.
constexpr int order = 2;

float limit_of(float dt) {
  return 0.95f / (2.0f * dt);
}

float nyquist_of(float dt) {
  return 0.5f / dt;
}

// Squared magnitude of digital sections at f (Hz), from the coefficients as stored.
double squared_response(const Sections& sections, float f, float dt) {
  const double w = 2.0 * std::numbers::pi * static_cast<double>(f) * static_cast<double>(dt);
  const std::complex<double> z1 = std::polar(1.0, -w);  // z^-1
  std::complex<double> h = 1.0;
  for (const Section& s : sections) {
    const auto poly = [z1](const std::array<float, 3>& c) {
      return static_cast<double>(c[0]) +
             z1 * (static_cast<double>(c[1]) + z1 * static_cast<double>(c[2]));
    };
    h *= poly(s.sn) / poly(s.sd);
  }
  return std::norm(h);
}

// The single-precision sections do what was asked: finite coefficients, poles inside
// the unit circle, and a squared response within 10 % of 1/2 at every corner used.
// Corners very close to 0 Hz or to the Nyquist frequency fail this: rounding the
// coefficients to single precision moves the poles onto or past the unit circle
// (the output grows without bound) or far from where the corner puts them.
bool usable(const Sections& sections, std::span<const float> corners, float dt) {
  for (const Section& s : sections) {
    for (const float c : s.sn) {
      if (!std::isfinite(c)) return false;
    }
    for (const float c : s.sd) {
      if (!std::isfinite(c)) return false;
    }
    const double a1 = s.sd[1], a2 = s.sd[2];
    if (!(std::fabs(a2) < 1.0 && std::fabs(a1) < 1.0 + a2)) return false;
  }
  for (const float f : corners) {
    if (!(std::fabs(squared_response(sections, f, dt) - 0.5) <= 0.05)) return false;
  }
  return true;
}

Sections sections_for(FilterKind kind, float fl, float fh, float dt) {
  switch (kind) {
    case FilterKind::high_pass:
      return high_pass_sections(fl, dt);
    case FilterKind::low_pass:
      return low_pass_sections(fh, dt);
    case FilterKind::band_pass:
      break;
  }
  return band_pass_sections(fl, fh, dt);
}

}  // namespace

FilterKind filter_kind(float dt, float fl, float fh) {
  const float limit = limit_of(dt);
  if (fl > limit && fh < nyquist_of(dt)) return FilterKind::low_pass;
  if (fh > limit) return FilterKind::high_pass;
  return FilterKind::band_pass;
}

Sections high_pass_sections(float fl, float dt) {
  Sections sections = LPTHP(BUROOTS(order));
  CUTOFFS(sections, prewarp(fl, dt));
  BILIN2(sections);
  return sections;
}

Sections low_pass_sections(float fh, float dt) {
  Sections sections = LP(BUROOTS(order));
  CUTOFFS(sections, prewarp(fh, dt));
  BILIN2(sections);
  return sections;
}

Sections band_pass_sections(float fl, float fh, float dt) {
  Sections sections = LPTBP(BUROOTS(order), prewarp(fl, dt), prewarp(fh, dt));
  BILIN2(sections);
  return sections;
}

void XHPF(std::span<float> x, float fl, float dt) {
  APPLY(x, 1, high_pass_sections(fl, dt));
}

void XLPF(std::span<float> x, float fh, float dt) {
  APPLY(x, 1, low_pass_sections(fh, dt));
}

void XBPF(std::span<float> x, float fl, float fh, float dt) {
  APPLY(x, 1, band_pass_sections(fl, fh, dt));
}

void HPS(const Components& x, float dt, float fl, float fh) {
  if (x[0].empty()) return;
  const FilterKind kind = filter_kind(dt, fl, fh);
  if (kind != FilterKind::low_pass) RMEAN(x);
  for (const std::span<float> component : x) {
    switch (kind) {
      case FilterKind::high_pass:
        XHPF(component, fl, dt);
        break;
      case FilterKind::low_pass:
        XLPF(component, fh, dt);
        break;
      case FilterKind::band_pass:
        XBPF(component, fl, fh, dt);
        break;
    }
  }
}

Parsed<Conditioning> parse_offset_rem(std::string_view text) {
  using P = Parsed<Conditioning>;
  using Kind = Conditioning::Kind;
  std::array<Word, 3> field;
  const int count = SPLIT3(text, field, ':');
  Conditioning c;
  if (field[0] == "r_mean") {
    // r_mean with a second word other than all or win removes no mean at all.
    if (count == 1 || field[1] == "all") c.kind = Kind::recording_mean;
    if (count >= 2 && field[1] == "win") c.kind = Kind::window_mean;
    return P::accept(c);
  }
  if (field[0] == "no") return P::accept(c);
  if (field[0] == "high-pass") {
    c.kind = Kind::high_pass;
  } else if (field[0] == "band-pass") {
    c.kind = Kind::band_pass;
  } else if (field[0] == "low-pass") {
    c.kind = Kind::low_pass;
  } else {
    return P::refuse(error_notice(Note::offset_not_recognised));
  }
  const int needed = c.kind == Kind::band_pass ? 2 : 1;
  for (int k = 0; k < needed; ++k) {
    const auto index = static_cast<std::size_t>(k + 1);
    if (count <= k + 1) return P::refuse(error_notice(Note::filter_corner_missing));
    const auto value = read_real(field[index].view());
    if (!value) {
      return P::refuse(error_notice(Note::filter_corner_not_number, {}, field[index].trimmed()));
    }
    (k == 0 ? c.f1 : c.f2) = *value;
  }
  return P::accept(c);
}

std::optional<FilterCorners> filter_corners(const Conditioning& c, float dt, Notices& notes) {
  using Kind = Conditioning::Kind;
  const auto refuse = [&notes](Note code, std::array<double, 4> value) {
    notes.push_back(error_notice(code, value));
    return std::nullopt;
  };
  if (!(dt > 0.0f) || !std::isfinite(dt)) return refuse(Note::filter_bad_interval, {dt});
  const bool band = c.kind == Kind::band_pass;
  const float nyquist = nyquist_of(dt), limit = limit_of(dt);
  for (const float corner : {c.f1, c.f2}) {
    if (!(corner > 0.0f)) return refuse(Note::filter_corner_not_positive, {corner});
    if (!(corner < nyquist)) return refuse(Note::filter_corner_above_nyquist, {corner, nyquist});
    if (!band) break;
  }
  FilterCorners corners{c.f1, no_corner};
  if (band) {
    if (!(c.f1 < c.f2)) return refuse(Note::filter_band_order, {c.f1, c.f2});
    corners.fh = c.f2;
  } else if (c.kind == Kind::low_pass) {
    // Low-pass corners are offered only up to the limit that HPS tells the kinds apart by.
    if (c.f1 > limit) return refuse(Note::filter_low_pass_limit, {c.f1, limit});
    corners = {no_corner, c.f1};
  }

  const FilterKind kind = filter_kind(dt, corners.fl, corners.fh);
  const std::array<float, 2> used = {kind == FilterKind::low_pass ? corners.fh : corners.fl,
                                     corners.fh};
  const std::size_t n_used = kind == FilterKind::band_pass ? 2 : 1;
  if (!usable(sections_for(kind, corners.fl, corners.fh, dt), std::span(used).first(n_used), dt)) {
    return refuse(Note::filter_unstable, {dt});
  }
  return corners;
}

int condition_recording(const Conditioning& c, float dt, const Components& x, Notices& notes) {
  if (c.kind == Conditioning::Kind::recording_mean) RMEAN(x);
  if (!c.filters()) return 0;
  const std::optional<FilterCorners> corners = filter_corners(c, dt, notes);
  if (!corners) return 1;
  HPS(x, dt, corners->fl, corners->fh);
  return 0;
}

}  // namespace hv

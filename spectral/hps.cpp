// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/hps.hpp"

#include <array>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <string>

#include "common/fields.hpp"
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

// Prints the two lines of a refused filter option.
std::nullopt_t refuse(std::string_view option, std::ostream& console, const std::string& why) {
  free_line(console, "  ERROR in 'offset removal' parameter: ", Option(option).view());
  free_line(console, why);
  return std::nullopt;
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

void HPS(std::span<float> x, int stride, int npts, float dt, float fl, float fh) {
  if (npts <= 0) return;
  const FilterKind kind = filter_kind(dt, fl, fh);
  if (kind != FilterKind::low_pass) RMEAN(x.data(), stride, npts);
  for (std::size_t c = 0; c < 3; ++c) {
    const std::span<float> component =
        x.subspan(c * static_cast<std::size_t>(stride), static_cast<std::size_t>(npts));
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

std::optional<FilterCorners> filter_corners(std::string_view offset_rem, float dt,
                                            std::ostream& console) {
  std::array<Word, 3> field;
  const int count = SPLIT3(offset_rem, field, ':');
  const bool band = count > 0 && field[0] == "band-pass";
  const bool high = count > 0 && field[0] == "high-pass";
  if (!band && !high && !(count > 0 && field[0] == "low-pass")) {
    return refuse(offset_rem, console, " The key is NOT recognised");
  }
  if (!(dt > 0.0f) || !std::isfinite(dt)) {
    return refuse(offset_rem, console,
                  free_text("no filter can be designed for the sampling interval", dt, " s"));
  }

  const int needed = band ? 2 : 1;
  std::array<float, 2> f{};
  for (int k = 0; k < needed; ++k) {
    const auto index = static_cast<std::size_t>(k + 1);
    if (count <= k + 1) return refuse(offset_rem, console, "a corner frequency is missing");
    const auto value = read_real(field[index].view());
    if (!value) {
      return refuse(
          offset_rem, console,
          free_text("the corner frequency '", field[index].trimmed(), "' is not a number"));
    }
    f[static_cast<std::size_t>(k)] = *value;
  }

  const float nyquist = nyquist_of(dt), limit = limit_of(dt);
  for (int k = 0; k < needed; ++k) {
    const float corner = f[static_cast<std::size_t>(k)];
    if (!(corner > 0.0f)) {
      return refuse(offset_rem, console,
                    free_text("the corner frequency", corner, " Hz is not above 0"));
    }
    if (!(corner < nyquist)) {
      return refuse(offset_rem, console,
                    free_text("the corner frequency", corner,
                              " Hz is not below the Nyquist frequency", nyquist, " Hz"));
    }
  }
  FilterCorners corners{f[0], no_corner};
  if (band) {
    if (!(f[0] < f[1])) {
      return refuse(offset_rem, console,
                    free_text("the lower corner frequency", f[0], " Hz is not below the upper one",
                              f[1], " Hz"));
    }
    corners.fh = f[1];
  } else if (!high) {
    // Low-pass corners are offered only up to the limit that HPS tells the kinds apart by.
    if (f[0] > limit) {
      return refuse(offset_rem, console,
                    free_text("the low-pass corner frequency", f[0],
                              " Hz is above 95 % of the Nyquist frequency,", limit, " Hz"));
    }
    corners = {no_corner, f[0]};
  }

  const FilterKind kind = filter_kind(dt, corners.fl, corners.fh);
  const std::array<float, 2> used = {kind == FilterKind::low_pass ? corners.fh : corners.fl,
                                     corners.fh};
  const std::size_t n_used = kind == FilterKind::band_pass ? 2 : 1;
  if (!usable(sections_for(kind, corners.fl, corners.fh, dt), std::span(used).first(n_used), dt)) {
    return refuse(
        offset_rem, console,
        free_text("the corner frequencies lie too close to 0 or to the Nyquist",
                  " frequency for a stable, accurate filter at the sampling interval", dt, " s"));
  }
  return corners;
}

}  // namespace hv

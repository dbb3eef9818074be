// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/butterworth_design.hpp"

#include <cmath>
#include <cstddef>

namespace hv {

namespace {

constexpr float pi = 3.1415927f;
constexpr float two_pi = 6.2831855f;
constexpr float four_pi_squared = 39.47842f;

float squared_modulus(std::complex<float> p) {
  return p.real() * p.real() + p.imag() * p.imag();
}

// A polynomial of s given by its coefficients of s^0, s^1, s^2, at s.
std::complex<float> at(const std::array<float, 3>& c, std::complex<float> s) {
  return (c[2] * s + c[1]) * s + c[0];
}

// One pass of a digital section over x, forward or backward, in place.
template <bool backward>
void run_section(std::span<float> x, const Section& s) {
  const double b0 = s.sn[0], b1 = s.sn[1], b2 = s.sn[2];
  const double a1 = s.sd[1], a2 = s.sd[2];
  double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
  const std::size_t n = x.size();
  for (std::size_t k = 0; k < n; ++k) {
    float& v = x[backward ? n - 1 - k : k];
    const double xi = v;
    const double yi = b0 * xi + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    v = static_cast<float>(yi);
    x2 = x1;
    x1 = xi;
    y2 = y1;
    y1 = yi;
  }
}

}  // namespace

Prototype BUROOTS(int order) {
  Prototype proto;
  if (order % 2 == 1) proto.poles.push_back({{-1.0f, 0.0f}, PoleType::single});
  const float m = static_cast<float>(order);
  for (int k = 1; k <= order / 2; ++k) {
    const float theta = pi * ((2.0f * static_cast<float>(k) - 1.0f) / (2.0f * m) + 0.5f);
    proto.poles.push_back({{std::cos(theta), std::sin(theta)}, PoleType::pair});
  }
  proto.dcvalue = 1.0f;
  return proto;
}

Sections LP(const Prototype& proto) {
  Sections sections;
  for (const Pole& pole : proto.poles) {
    const float pr = pole.p.real();
    if (pole.type == PoleType::pair) {
      const float m2 = squared_modulus(pole.p);
      sections.push_back({{m2, 0.0f, 0.0f}, {m2, -2.0f * pr, 1.0f}});
    } else {
      sections.push_back({{-pr, 0.0f, 0.0f}, {-pr, 1.0f, 0.0f}});
    }
  }
  if (!sections.empty()) {
    for (float& b : sections.front().sn) b *= proto.dcvalue;
  }
  return sections;
}

Sections LPTHP(const Prototype& proto) {
  Sections sections;
  for (const Pole& pole : proto.poles) {
    const float pr = pole.p.real();
    if (pole.type == PoleType::pair) {
      const float m2 = squared_modulus(pole.p);
      sections.push_back({{0.0f, 0.0f, m2}, {1.0f, -2.0f * pr, m2}});
    } else {
      sections.push_back({{0.0f, -pr, 0.0f}, {1.0f, -pr, 0.0f}});
    }
  }
  if (!sections.empty()) {
    for (float& b : sections.front().sn) b *= proto.dcvalue;
  }
  return sections;
}

Sections LPTBP(const Prototype& proto, float fl, float fh) {
  const float a = four_pi_squared * fl * fh;
  const float b = two_pi * (fh - fl);
  Sections sections;
  for (const Pole& pole : proto.poles) {
    if (pole.type == PoleType::pair) {
      const std::complex<float> bp = b * pole.p;
      const std::complex<float> root = std::sqrt(bp * bp - 4.0f * a);
      for (const std::complex<float> q : {(bp + root) / 2.0f, (bp - root) / 2.0f}) {
        sections.push_back({{0.0f, b, 0.0f}, {squared_modulus(q), -2.0f * q.real(), 1.0f}});
      }
    } else {
      sections.push_back({{0.0f, b, 0.0f}, {a, -b * pole.p.real(), 1.0f}});
    }
  }
  // At the geometric centre of the band the transformed prototype is real; scale the
  // first section so that the gain there is dcvalue.
  const std::complex<float> centre(0.0f, std::sqrt(a));
  std::complex<float> h(1.0f, 0.0f);
  for (const Section& s : sections) h *= at(s.sn, centre) / at(s.sd, centre);
  const float scale =
      (std::complex<float>(proto.dcvalue) / std::sqrt(std::real(h) * std::conj(h))).real();
  if (!sections.empty()) {
    for (float& coefficient : sections.front().sn) coefficient *= scale;
  }
  return sections;
}

void CUTOFFS(Sections& sections, float f) {
  const float w = two_pi * f;
  const float w2 = w * w;
  for (Section& s : sections) {
    s.sn[1] /= w;
    s.sd[1] /= w;
    s.sn[2] /= w2;
    s.sd[2] /= w2;
  }
}

float WARP(float f, float T) {
  const float angle = two_pi * f * T / 2.0f;
  return 2.0f * std::tan(angle) / T / two_pi;
}

float prewarp(float f, float dt) {
  return WARP(f * dt / 2.0f, 2.0f);
}

void BILIN2(Sections& sections) {
  for (Section& s : sections) {
    const auto [a0, a1, a2] = s.sd;
    const auto [b0, b1, b2] = s.sn;
    const float e = a0 + a1 + a2;
    s.sd = {1.0f, 2.0f * (a0 - a2) / e, (a0 - a1 + a2) / e};
    s.sn = {(b0 + b1 + b2) / e, 2.0f * (b0 - b2) / e, (b0 - b1 + b2) / e};
  }
}

void APPLY(std::span<float> x, int zerophase, const Sections& sections) {
  for (const Section& s : sections) run_section<false>(x, s);
  if (zerophase == 0) return;
  for (const Section& s : sections) run_section<true>(x, s);
}

}  // namespace hv

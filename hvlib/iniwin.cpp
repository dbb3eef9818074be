// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvlib/iniwin.hpp"

#include <cmath>

namespace hv {

int INIWIN(std::span<float> taper, int nwin, int& nzero, int& ncos, Notices& notes) {
  if (nwin <= 0) {
    notes.push_back(error_notice(Note::taper_zone_empty));
    return 1;
  }
  if (2 * nzero >= nwin) {
    nzero = (nwin - 1) / 2;
    notes.push_back(warning_notice(Note::taper_zeros_reset, {static_cast<double>(nzero)}));
  }
  if (2 * (nzero + ncos) >= nwin) {
    ncos = (nwin - 2 * nzero - 1) / 2;
    notes.push_back(warning_notice(Note::taper_ramp_reset, {static_cast<double>(ncos)}));
  }
  constexpr float pi = 3.1415927f;
  const auto at = [&](int i) -> float& { return taper[static_cast<std::size_t>(i - 1)]; };
  for (int i = 1; i <= nwin / 2; ++i) {
    float w = 1.0f;
    if (i <= nzero) {
      w = 0.0f;
    } else if (i <= nzero + ncos) {
      w = (1.0f - std::cos(pi * static_cast<float>(i - nzero) / static_cast<float>(ncos + 1))) *
          0.5f;
    }
    at(i) = w;
    at(nwin + 1 - i) = w;
  }
  if (nwin % 2 == 1) at((nwin + 1) / 2) = 1.0f;
  return 0;
}

}  // namespace hv

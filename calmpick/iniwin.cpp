// SPDX-License-Identifier: GPL-3.0-or-later
#include "calmpick/iniwin.hpp"

#include <cmath>

#include "common/fields.hpp"

namespace hv {

int INIWIN(std::span<float> taper, int nwin, int& nzero, int& ncos, std::ostream& console) {
  if (nwin <= 0) {
    free_line(console, " nwin = 0 ; iniwin stop 1");
    return 1;
  }
  if (2 * nzero >= nwin) {
    nzero = (nwin - 1) / 2;
    free_line(console, " nzero too large in iniwin, reset to:", nzero);
  }
  if (2 * (nzero + ncos) >= nwin) {
    ncos = (nwin - 2 * nzero - 1) / 2;
    free_line(console, " ncos (iniwin) reset to:", ncos);
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/apply_taper.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

#include "common/freefmt.hpp"
#include "common/text.hpp"

namespace hv {

namespace {

constexpr float pi = 3.1415927f;

// Both ends of x[0..n) weighted by 0.5·(1 − cos(π·k/(m−1))), k = 0..m−1, in single
// precision. m = 1 would divide 0 by 0; its single weight is taken as the k = 0 weight
// of every longer taper, zero.
void cosine_taper(std::span<float> x, int n, int m) {
  if (m <= 0) return;
  const auto last = static_cast<std::size_t>(n) - 1;
  if (m == 1) {
    x[0] = 0.0f;
    x[last] = 0.0f;
    return;
  }
  const auto span = static_cast<float>(m - 1);
  for (int k = 0; k < m; ++k) {
    const float w = 0.5f * (1.0f - std::cos(pi * static_cast<float>(k) / span));
    const auto i = static_cast<std::size_t>(k);
    x[i] *= w;
    x[last - i] *= w;
  }
}

}  // namespace

Parsed<Taper> parse_taper(std::string_view text) {
  using P = Parsed<Taper>;
  std::array<Word, 3> words;
  const int count = SPLIT3(text, words, ':');
  if (count > 0 && (words[0] == "box" || words[0] == "boxcar")) return P::accept({true, 0.0f});
  if (count == 0 || !(words[0] == "cos"))
    return P::refuse(error_notice(Note::taper_not_recognised));
  if (count != 2) return P::refuse(error_notice(Note::taper_no_percentage));
  const std::optional<float> p = read_real(words[1].view());
  if (!p) return P::refuse(error_notice(Note::taper_not_a_number, {}, words[1].trimmed()));
  if (*p > 50.0f) return P::refuse(error_notice(Note::taper_above_50));
  // A negative percentage would taper nothing, as cos:0 does, and hide the mistake.
  if (*p < 0.0f) return P::refuse(error_notice(Note::taper_negative));
  return P::accept({false, *p});
}

int APPLY_TAPER(std::span<float> x, int n, int nfft, const Taper& taper, Notices& notes) {
  if (n < 0 || nfft < 0 || static_cast<std::size_t>(std::max(n, nfft)) > x.size()) {
    notes.push_back(error_notice(
        Note::taper_too_long,
        {static_cast<double>(n), static_cast<double>(nfft), static_cast<double>(x.size())}));
    return 1;
  }
  if (!taper.box) {
    // Rounding of n·p/100 can never reach past n/2 for p <= 50; the bound keeps the two
    // tapered stretches apart regardless.
    const int m = std::min(static_cast<int>(static_cast<float>(n) * taper.percent / 100.0f), n / 2);
    cosine_taper(x, n, m);
  }
  if (n < nfft) {
    std::fill(x.begin() + n, x.begin() + nfft, 0.0f);
  }
  return 0;
}

}  // namespace hv

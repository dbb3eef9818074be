// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/apply_taper.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

#include "common/fields.hpp"
#include "common/freefmt.hpp"

namespace hv {

namespace {

constexpr float pi = 3.1415927f;

int refuse(const Option& taper, std::string_view reason, std::ostream& console) {
  free_line(console, "  ERROR in taper parameter:", taper.view());
  free_line(console, reason);
  return 1;
}

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

int APPLY_TAPER(std::span<float> x, int n, int nfft, const Option& taper, std::ostream& console) {
  if (n < 0 || nfft < 0 || static_cast<std::size_t>(std::max(n, nfft)) > x.size()) {
    free_line(console, " APPLY_TAPER : sample count", n, " or transform length", nfft,
              " exceeds the work vector of", static_cast<long long>(x.size()));
    return 1;
  }

  std::array<Word, 3> words;
  const int count = SPLIT3(taper.view(), words, ':');
  const bool box = count > 0 && (words[0] == "box" || words[0] == "boxcar");
  if (!box) {
    if (count == 0 || !(words[0] == "cos"))
      return refuse(taper, " The key is NOT recognised", console);
    if (count != 2) return refuse(taper, " A percentage must be supplied", console);
    const std::optional<float> p = read_real(words[1].view());
    if (!p) {
      return refuse(taper, free_text(" The percentage is not a number: ", words[1].trimmed()),
                    console);
    }
    if (*p > 50.0f) return refuse(taper, " Percentage must be less than 50", console);
    // A negative percentage would taper nothing, as cos:0 does, and hide the mistake.
    if (*p < 0.0f) return refuse(taper, " The percentage must not be negative", console);
    // Rounding of n·p/100 can never reach past n/2 for p <= 50; the bound keeps the two
    // tapered stretches apart regardless.
    const int m = std::min(static_cast<int>(static_cast<float>(n) * *p / 100.0f), n / 2);
    cosine_taper(x, n, m);
  }
  if (n < nfft) {
    std::fill(x.begin() + n, x.begin() + nfft, 0.0f);
  }
  return 0;
}

}  // namespace hv

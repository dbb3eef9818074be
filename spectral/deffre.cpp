// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/deffre.hpp"

#include <array>
#include <cmath>
#include <optional>

#include "common/freefmt.hpp"
#include "common/text.hpp"
#include "spectral/frequency_step.hpp"

namespace hv {

namespace {

// Appends the values v(i), i = 0..n-1, that lie in [df, fny], stopping at the first
// one above fny.
template <typename Value>
void append_clipped(int n, double df, double fny, Value value, std::vector<float>& f) {
  for (int i = 0; i < n; ++i) {
    const double v = value(i);
    if (v < df) continue;
    if (v > fny) break;
    f.push_back(static_cast<float>(v));
  }
}

int refuse(Notices& notes, Note code, std::array<double, 4> value = {}) {
  notes.push_back(error_notice(code, value));
  return 1;
}

}  // namespace

Parsed<GridSpacing> parse_freq_spacing(std::string_view text) {
  using P = Parsed<GridSpacing>;
  std::array<Word, 5> words;
  const int count = SPLIT3(text, words, ':');
  GridSpacing g;
  if (count >= 1 && words[0] == "fft") {
    g.kind = GridSpacing::Kind::fft;
  } else if (count >= 1 && words[0] == "fft_red") {
    g.kind = GridSpacing::Kind::fft_red;
  } else if (count >= 1 && words[0] == "linear") {
    g.kind = GridSpacing::Kind::linear;
  } else if (count >= 1 && words[0] == "log") {
    g.kind = GridSpacing::Kind::log;
  } else {
    return P::refuse(error_notice(Note::grid_wrongly_set));
  }
  const bool ranged = g.kind == GridSpacing::Kind::linear || g.kind == GridSpacing::Kind::log;
  if ((g.kind == GridSpacing::Kind::fft_red && count != 3) || (ranged && count != 4)) {
    return P::refuse(error_notice(Note::grid_incorrect));
  }
  if (g.kind == GridSpacing::Kind::fft) return P::accept(g);

  for (int t = 1; t <= 2; ++t) {
    const Word& word = words[static_cast<std::size_t>(t)];
    const std::optional<double> v = read_double(word.view());
    if (!v) return P::refuse(error_notice(Note::grid_not_a_number, {}, word.trimmed()));
    (t == 1 ? g.fmin : g.fmax) = *v;
  }
  if (!ranged) return P::accept(g);
  const std::optional<int> n = read_int(words[3].view());
  if (!n) return P::refuse(error_notice(Note::grid_not_a_number, {}, words[3].trimmed()));
  if (*n > max_frequencies) return P::refuse(error_notice(Note::grid_too_many));
  // One value has no step, a falling or empty range no increasing grid, and a
  // logarithmic axis needs a positive start.
  if (*n < 2 || !(g.fmax > g.fmin) || (g.kind == GridSpacing::Kind::log && !(g.fmin > 0.0))) {
    return P::refuse(error_notice(Note::grid_incorrect));
  }
  g.n = *n;
  return P::accept(g);
}

int DEFFRE(int N, float dt, const GridSpacing& spacing, std::vector<float>& f, int& nfreq,
           Notices& notes) {
  f.clear();
  nfreq = 0;
  if (N < 1 || !(dt > 0.0f) || !std::isfinite(dt)) {
    return refuse(notes, Note::grid_bad_input, {static_cast<double>(N), dt});
  }
  const double df = frequency_step(N, dt);
  const double fny = static_cast<double>(N / 2) * df;
  double fmin = spacing.fmin, fmax = spacing.fmax;

  switch (spacing.kind) {
    case GridSpacing::Kind::fft:
      if (N / 2 > max_frequencies) return refuse(notes, Note::grid_too_many);
      f.reserve(static_cast<std::size_t>(N / 2));
      for (int k = 1; k <= N / 2; ++k) f.push_back(static_cast<float>(k * df));
      break;
    case GridSpacing::Kind::fft_red: {
      fmax = std::min(fmax, fny);
      fmin = std::max(fmin, df);
      const double i1 = std::round(fmin / df);
      const double i2 = std::round(fmax / df);
      if (i2 < i1) return refuse(notes, Note::grid_incorrect);
      if (i2 - i1 + 1 > max_frequencies) return refuse(notes, Note::grid_too_many);
      const int first = static_cast<int>(i1);
      const int n = static_cast<int>(i2 - i1) + 1;
      f.reserve(static_cast<std::size_t>(n));
      for (int k = 0; k < n; ++k) f.push_back(static_cast<float>((first + k) * df));
      break;
    }
    case GridSpacing::Kind::linear: {
      const double step = (fmax - fmin) / (spacing.n - 1);
      append_clipped(
          spacing.n, df, fny, [&](int i) { return fmin + i * step; }, f);
      break;
    }
    case GridSpacing::Kind::log: {
      const double a = std::log(fmin);
      const double step = (std::log(fmax) - a) / (spacing.n - 1);
      append_clipped(
          spacing.n, df, fny, [&](int i) { return std::exp(a + i * step); }, f);
      break;
    }
  }
  if (f.empty()) return refuse(notes, Note::grid_empty, {df, fny});
  nfreq = static_cast<int>(f.size());
  return 0;
}

}  // namespace hv

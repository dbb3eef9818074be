// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/deffre.hpp"

#include <array>
#include <cmath>
#include <optional>

#include "common/fields.hpp"
#include "common/freefmt.hpp"
#include "spectral/frequency_step.hpp"

namespace hv {

namespace {

class GridBuilder {
 public:
  GridBuilder(const Option& option, std::ostream& console) : option_(option), console_(console) {}

  int wrongly_set() const {
    free_line(console_, " ERROR : 'frequency spacing' option wrongly set :");
    return echo_option();
  }
  int incorrect() const {
    free_line(console_, " incorrect  option(s) for 'frequency spacing':");
    return echo_option();
  }
  int too_many() const {
    free_line(console_, " Frequency spacing option : ");
    echo_option();
    free_line(console_, " Number of frequencies (requested or computed)", " greater than dimension",
              max_frequencies);
    return 1;
  }
  int not_a_number(const Word& token) const {
    free_line(console_, " ERROR : 'frequency spacing' option, not a number: ", token.trimmed());
    return echo_option();
  }
  int empty(double df, double fny) const {
    free_line(console_, " ERROR : 'frequency spacing' option gives no frequency between df =", df,
              " and fny =", fny);
    return echo_option();
  }

 private:
  int echo_option() const {
    free_line(console_, option_.view().substr(0, 78));
    return 1;
  }
  const Option& option_;
  std::ostream& console_;
};

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

}  // namespace

int DEFFRE(int N, float dt, const Option& freq_spacing, std::vector<float>& f, int& nfreq,
           std::ostream& console) {
  f.clear();
  nfreq = 0;
  const GridBuilder report(freq_spacing, console);

  std::array<Word, 5> words;
  const int count = SPLIT3(freq_spacing.view(), words, ':');
  const bool fft = count >= 1 && words[0] == "fft";
  const bool fft_red = count >= 1 && words[0] == "fft_red";
  const bool linear = count >= 1 && words[0] == "linear";
  const bool log = count >= 1 && words[0] == "log";
  if (!fft && !fft_red && !linear && !log) return report.wrongly_set();
  if ((fft_red && count != 3) || ((linear || log) && count != 4)) return report.incorrect();

  if (N < 1 || !(dt > 0.0f) || !std::isfinite(dt)) {
    free_line(console, " ERROR : frequency grid: transform length", N, " or sampling interval", dt,
              " not positive");
    return 1;
  }
  const double df = frequency_step(N, dt);
  const double fny = static_cast<double>(N / 2) * df;

  if (fft) {
    if (N / 2 > max_frequencies) return report.too_many();
    f.reserve(static_cast<std::size_t>(N / 2));
    for (int k = 1; k <= N / 2; ++k) f.push_back(static_cast<float>(k * df));
  } else {
    double fmin = 0.0, fmax = 0.0;
    for (int t = 1; t <= 2; ++t) {
      const std::optional<double> v = read_double(words[static_cast<std::size_t>(t)].view());
      if (!v) return report.not_a_number(words[static_cast<std::size_t>(t)]);
      (t == 1 ? fmin : fmax) = *v;
    }
    if (fft_red) {
      fmax = std::min(fmax, fny);
      fmin = std::max(fmin, df);
      const double i1 = std::round(fmin / df);
      const double i2 = std::round(fmax / df);
      if (i2 < i1) return report.incorrect();
      if (i2 - i1 + 1 > max_frequencies) return report.too_many();
      const int first = static_cast<int>(i1);
      const int n = static_cast<int>(i2 - i1) + 1;
      f.reserve(static_cast<std::size_t>(n));
      for (int k = 0; k < n; ++k) f.push_back(static_cast<float>((first + k) * df));
    } else {
      const std::optional<int> n = read_int(words[3].view());
      if (!n) return report.not_a_number(words[3]);
      if (*n > max_frequencies) return report.too_many();
      // One value has no step, a falling or empty range no increasing grid, and a
      // logarithmic axis needs a positive start.
      if (*n < 2 || !(fmax > fmin) || (log && !(fmin > 0.0))) return report.incorrect();
      if (linear) {
        const double step = (fmax - fmin) / (*n - 1);
        append_clipped(
            *n, df, fny, [&](int i) { return fmin + i * step; }, f);
      } else {
        const double a = std::log(fmin);
        const double step = (std::log(fmax) - a) / (*n - 1);
        append_clipped(
            *n, df, fny, [&](int i) { return std::exp(a + i * step); }, f);
      }
    }
  }
  if (f.empty()) return report.empty(df, fny);
  nfreq = static_cast<int>(f.size());
  return 0;
}

}  // namespace hv

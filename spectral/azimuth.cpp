// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/azimuth.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "common/freefmt.hpp"
#include "common/text.hpp"
#include "spectral/average_sd.hpp"

namespace hv {

namespace {

// cos and sin of an azimuth in degrees, exact at the quarter turns so that azimuth 0
// is the north-south component and 90 the east-west one, bit for bit.
std::pair<double, double> direction(double degrees) {
  if (degrees == 0.0) return {1.0, 0.0};
  if (degrees == 90.0) return {0.0, 1.0};
  const double r = degrees * std::numbers::pi / 180.0;
  return {std::cos(r), std::sin(r)};
}

std::size_t index(int a, int w, int nfreq, int nwin) {
  return (static_cast<std::size_t>(a) * static_cast<std::size_t>(nwin) +
          static_cast<std::size_t>(w)) *
         static_cast<std::size_t>(nfreq);
}

}  // namespace

Parsed<AzimuthSet> parse_azimuth_step(std::string_view text) {
  using P = Parsed<AzimuthSet>;
  if (JLEN(text) == 0) return P::accept({});
  std::array<Word, 2> words;
  if (SPLIT3(text, words, ':') != 1) return P::refuse(error_notice(Note::azimuth_one_number));
  const std::optional<double> d = parse_double(words[0].trimmed());
  if (!d) return P::refuse(error_notice(Note::azimuth_not_a_number));
  if (!(*d > 0.0)) return P::refuse(error_notice(Note::azimuth_not_positive));
  const double count = std::round(180.0 / *d);
  if (count < 1.0 || std::fabs(count * *d - 180.0) > 1e-9 * 180.0) {
    return P::refuse(error_notice(Note::azimuth_not_divisor));
  }
  if (count > max_azimuths) return P::refuse(error_notice(Note::azimuth_below_one_degree));
  AzimuthSet set;
  set.step = *d;
  const int n = static_cast<int>(count);
  for (int k = 0; k < n; ++k) {
    // 180·k/n rather than k·d: the quarter turn comes out exactly 90.
    const double theta = 180.0 * k / n;
    const auto [c, s] = direction(theta);
    set.degrees.push_back(theta);
    set.cosine.push_back(c);
    set.sine.push_back(s);
  }
  return P::accept(std::move(set));
}

AzimuthMatrices::AzimuthMatrices(int count_, int nfreq_, int nwin_)
    : count(count_), nfreq(nfreq_), nwin(nwin_), values(index(count_, 0, nfreq_, nwin_), 0.0f) {}

std::span<float> AzimuthMatrices::matrix(int a) {
  return std::span<float>(values).subspan(index(a, 0, nfreq, nwin), index(1, 0, nfreq, nwin));
}

std::span<float> AzimuthMatrices::column(int a, int w) {
  return std::span<float>(values).subspan(index(a, w - 1, nfreq, nwin),
                                          static_cast<std::size_t>(nfreq));
}

AzimuthWork::AzimuthWork(int nf, int nfreq)
    : north(static_cast<std::size_t>(nf)), east(static_cast<std::size_t>(nf)) {
  for (auto& r : raw) r.assign(static_cast<std::size_t>(nf), 0.0f);
  for (auto& s : smoothed) s.assign(static_cast<std::size_t>(nfreq), 0.0f);
}

void keep_spectrum(std::span<const std::complex<double>> X,
                   std::vector<std::complex<double>>& into) {
  std::copy_n(X.begin(), into.size(), into.begin());
}

void split_pair(std::span<const std::complex<double>> Z, AzimuthWork& work) {
  const std::size_t n = Z.size();
  for (std::size_t k = 0; k < work.north.size(); ++k) {
    const std::complex<double> a = Z[k];
    const std::complex<double> b = std::conj(Z[(n - k) % n]);
    work.north[k] = 0.5 * (a + b);
    work.east[k] = std::complex<double>(0.0, -0.5) * (a - b);
  }
}

void AZIMUTH_RATIOS(const SmoothPlan& plan, const AzimuthSet& set,
                    std::span<const std::complex<double>> north,
                    std::span<const std::complex<double>> east, float dt,
                    std::span<const float> vertical, int w, AzimuthMatrices& out,
                    AzimuthWork& work) {
  const std::size_t nf = work.raw[0].size();
  const auto scale = static_cast<double>(dt);
  const auto first = static_cast<std::size_t>(plan.jfirst() - 1);
  const auto last = static_cast<std::size_t>(plan.jlast());
  // Three azimuths per smoothing pass, as the plan smooths three spectra at once; a
  // last group of fewer fills its free places with copies of its first azimuth.
  for (int a0 = 0; a0 < set.count(); a0 += 3) {
    const int in_group = std::min(3, set.count() - a0);
    for (int i = 0; i < in_group; ++i) {
      const auto a = static_cast<std::size_t>(a0 + i);
      const double c = set.cosine[a], s = set.sine[a];
      std::vector<float>& amp = work.raw[static_cast<std::size_t>(i)];
      for (std::size_t k = 0; k < nf; ++k) {
        const double re = c * north[k].real() + s * east[k].real();
        const double im = c * north[k].imag() + s * east[k].imag();
        amp[k] = static_cast<float>(scale * std::sqrt(re * re + im * im));
      }
    }
    for (int i = in_group; i < 3; ++i) work.raw[static_cast<std::size_t>(i)] = work.raw[0];
    plan.smooth(work.raw[0], work.raw[1], work.raw[2], work.smoothed[0], work.smoothed[1],
                work.smoothed[2]);
    for (int i = 0; i < in_group; ++i) {
      const std::span<float> col = out.column(a0 + i, w);
      std::fill(col.begin(), col.end(), 0.0f);
      const std::vector<float>& h = work.smoothed[static_cast<std::size_t>(i)];
      for (std::size_t j = first; j < last; ++j) col[j] = h[j] / vertical[j];
    }
  }
}

std::span<const float> AzimuthAverages::curve(int a, int nfreq) const {
  return std::span<const float>(mean).subspan(
      static_cast<std::size_t>(a) * static_cast<std::size_t>(nfreq),
      static_cast<std::size_t>(nfreq));
}

AzimuthAverages average_azimuths(const AzimuthMatrices& az, int nwin, std::span<const float> f,
                                 RowRange rows) {
  const auto nfreq = static_cast<std::size_t>(az.nfreq);
  AzimuthAverages out;
  out.mean.assign(static_cast<std::size_t>(az.count) * nfreq, 0.0f);
  out.fo.resize(static_cast<std::size_t>(az.count));
  const auto ratios = [&](int a) {
    return std::span<const float>(az.values.data() + index(a, 0, az.nfreq, az.nwin),
                                  nfreq * static_cast<std::size_t>(std::max(nwin, 0)));
  };
  const auto mean = [&](int a) {
    return std::span<float>(out.mean).subspan(static_cast<std::size_t>(a) * nfreq, nfreq);
  };
  // AVERAGE_SD averages three matrices at a time; a last group of fewer azimuths
  // averages its first one again into scratch.
  std::vector<float> scratch(nfreq);
  std::array<std::vector<float>, 3> sd;
  for (auto& v : sd) v.assign(nfreq, 0.0f);
  for (int a0 = 0; a0 < az.count; a0 += 3) {
    const auto pick = [&](int i) { return a0 + i < az.count ? a0 + i : a0; };
    const auto target = [&](int i) {
      return a0 + i < az.count ? mean(a0 + i) : std::span<float>(scratch);
    };
    AVERAGE_SD(1, {ratios(pick(0)), ratios(pick(1)), ratios(pick(2))}, az.nfreq, nwin,
               {target(0), target(1), target(2)}, {sd[0], sd[1], sd[2]}, rows);
  }
  std::vector<float> work(static_cast<std::size_t>(std::max(nwin, 1)));
  // Each azimuth's warnings are dropped: a -9 Fo says enough.
  Notices dropped;
  for (int a = 0; a < az.count; ++a) {
    COMP_F0(ratios(a), work, mean(a), f, az.nfreq, nwin, rows, out.fo[static_cast<std::size_t>(a)],
            dropped);
    dropped.clear();
  }
  return out;
}

}  // namespace hv

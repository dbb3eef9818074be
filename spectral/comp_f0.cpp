// SPDX-License-Identifier: GPL-3.0-or-later
#include "spectral/comp_f0.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "spectral/kf0.hpp"

namespace hv {

namespace {
constexpr float undetermined = -9.0f;
}

int COMP_F0(std::span<const float> HVwin, std::span<float> work, std::span<const float> HVmean,
            std::span<const float> f, int nfreq, int nwin, RowRange rows, FoBand& fo,
            Notices& notes) {
  const int jfirst = rows.jfirst, jlast = rows.jlast;
  float& fo_minus = fo.minus;
  float& fo_plus = fo.plus;
  const auto freq = [&](int j) { return f[static_cast<std::size_t>(j - 1)]; };
  const auto give_up = [&](Note why) {
    notes.push_back(warning_notice(why));
    fo_minus = fo.fo = fo_plus = undetermined;
    return 2;
  };

  const int j0 = KF0(HVmean, nfreq, 1, jfirst, jlast);
  if (j0 == jfirst || j0 == jlast) return give_up(Note::fo_not_in_hv);
  const float f0 = freq(j0);

  const float t = std::clamp(1.5f - (f0 - 0.2f) * 0.25f / 19.8f, 1.25f, 1.5f);
  const float flo = f0 / t;
  const float fhi = f0 * t;
  int status = 0;
  // First row from jfirst on whose frequency reaches the given one.
  const auto first_reaching = [&](float v) {
    int j = jfirst;
    while (j < jlast && freq(j) < v) ++j;
    return j;
  };
  int ja = jfirst;
  if (flo < freq(jfirst)) {
    status = 2;
    notes.push_back(warning_notice(Note::fo_lower_limit, {freq(jfirst), flo}));
  } else {
    ja = first_reaching(flo);
  }
  int jb = jlast;
  if (fhi > freq(jlast)) {
    status = 2;
    notes.push_back(warning_notice(Note::fo_upper_limit, {freq(jlast), fhi}));
  } else {
    jb = first_reaching(fhi);
  }

  int n = 0;
  for (int w = 1; w <= nwin; ++w) {
    const int jw = KF0(HVwin, nfreq, w, ja, jb);
    if (jw != ja && jw != jb) work[static_cast<std::size_t>(n++)] = freq(jw);
  }
  if (n == 0) return give_up(Note::fo_not_computable);

  const auto peaks = work.first(static_cast<std::size_t>(n));
  double m = 0.0;
  for (const float p : peaks) m += std::log(static_cast<double>(p));
  m /= n;
  double s = 0.0;
  if (n > 1) {
    for (const float p : peaks) {
      const double d = std::log(static_cast<double>(p)) - m;
      s += d * d;
    }
    s = std::sqrt(s / (n - 1));
  }
  fo.fo = static_cast<float>(std::exp(m));
  fo_minus = static_cast<float>(std::exp(m - s));
  fo_plus = static_cast<float>(std::exp(m + s));
  return status;
}

}  // namespace hv

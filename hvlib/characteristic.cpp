// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvlib/characteristic.hpp"

#include <algorithm>
#include <cmath>

namespace hv {

namespace {

std::size_t ix(int i) {
  return static_cast<std::size_t>(i - 1);
}

// Sum of x[0 .. n) in sample order, every partial sum kept in single precision.
float single_sum(std::span<const float> x, int n) {
  float sum = 0.0f;
  for (int i = 0; i < n; ++i) sum += x[static_cast<std::size_t>(i)];
  return sum;
}

}  // namespace

CharacteristicWork::CharacteristicWork(int ntime) {
  const auto n = static_cast<std::size_t>(ntime);
  for (auto* v : {&taper, &x1, &x2, &x3, &env, &amax, &sta, &lta, &ratio}) v->assign(n, 0.0f);
}

void remove_mean(std::span<float> x, int n) {
  if (n <= 0) return;
  const float mean = single_sum(x, n) / static_cast<float>(n);
  for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] -= mean;
}

void WINDOW(std::span<const float> source, std::span<float> destination, int first, int n,
            std::span<const float> taper) {
  if (n <= 0) return;
  std::copy_n(source.begin() + (first - 1), n, destination.begin());
  remove_mean(destination, n);
  for (int i = 0; i < n; ++i)
    destination[static_cast<std::size_t>(i)] *= taper[static_cast<std::size_t>(i)];
  remove_mean(destination, n);
}

void condition_components(const Recording& rec, CharacteristicWork& work) {
  std::vector<float>* const x[] = {&work.x1, &work.x2, &work.x3};
  for (std::size_t c = 0; c < 3; ++c) {
    WINDOW(rec.component[c], *x[c], 1, rec.nsamp(), work.taper);
    remove_mean(*x[c], rec.nsamp());
  }
}

bool stalta_fits(int nsamp, int ncz, int nsta, int nlta) {
  return ncz >= 1 && nsta >= 1 && nlta >= 1 && nsamp - ncz >= std::max(nsta, nlta);
}

void running_sum(std::span<const float> env, int nsamp, int ncz, int n, float m,
                 std::span<float> s) {
  const auto e = [&](int i) { return static_cast<double>(env[ix(i)]); };
  const auto prev = [&](int i) { return static_cast<double>(s[ix(i - 1)]); };
  const double md = m;
  const int ndatacz = nsamp - ncz + 1;
  for (int i = 1; i <= ncz; ++i) s[ix(i)] = static_cast<float>(static_cast<double>(n) * md);
  for (int i = ncz + 1; i <= ncz + n - 1; ++i) s[ix(i)] = static_cast<float>(prev(i) + e(i) - md);
  for (int i = ncz + n; i <= nsamp - ncz; ++i) {
    s[ix(i)] = static_cast<float>(prev(i) + e(i) - e(i - n));
  }
  for (int i = ndatacz; i <= nsamp; ++i) s[ix(i)] = static_cast<float>(md + prev(i) - e(i - n));
}

CharacteristicStats characteristic(CharacteristicWork& work, int nsamp, int ncz, int nsta,
                                   int nlta) {
  CharacteristicStats st;
  float env_sum = 0.0f;
  float amax_max = 0.0f;
  for (std::size_t k = 0; k < static_cast<std::size_t>(nsamp); ++k) {
    const float a = work.x1[k], b = work.x2[k], c = work.x3[k];
    const double sq =
        static_cast<double>(a) * a + static_cast<double>(b) * b + static_cast<double>(c) * c;
    work.env[k] = std::sqrt(static_cast<float>(sq));
    env_sum += work.env[k];
    float m = std::fabs(a);
    if (std::fabs(b) > m) m = std::fabs(b);
    if (std::fabs(c) > m) m = std::fabs(c);
    if (m > amax_max) amax_max = m;
    work.amax[k] = m == 0.0f ? 1.0e-20f : m;
  }
  st.env_mean = env_sum / static_cast<float>(nsamp);
  st.saturation = 0.995f * amax_max;

  running_sum(work.env, nsamp, ncz, nsta, st.env_mean, work.sta);
  running_sum(work.env, nsamp, ncz, nlta, st.env_mean, work.lta);

  const float fsta = static_cast<float>(nsta), flta = static_cast<float>(nlta);
  float lo = 1.0e20f, hi = 0.0f, lta_sum = 0.0f;
  for (std::size_t k = 0; k < static_cast<std::size_t>(nsamp); ++k) {
    const float sta = work.sta[k] / fsta;
    const float lta = work.lta[k] / flta;
    work.sta[k] = sta;
    work.lta[k] = lta;
    work.ratio[k] = sta / lta;
    if (lta < lo) lo = lta;
    if (lta > hi) hi = lta;
    lta_sum += lta;
  }
  st.lta_min = lo;
  st.lta_max = hi;
  st.lta_mean = lta_sum / static_cast<float>(nsamp);
  const float low_part = 0.2f * lo;
  const float high_part = 0.8f * hi;
  st.ltathr = low_part + high_part;
  return st;
}

}  // namespace hv

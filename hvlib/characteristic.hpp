// SPDX-License-Identifier: GPL-3.0-or-later
// Conditioning of the three components and the STA/LTA characteristic function.
#pragma once

#include <span>
#include <vector>

#include "readers/recording.hpp"

namespace hv {

// Per-sample work arrays, allocated once per run for ntime samples. Index i - 1
// holds sample i.
struct CharacteristicWork {
  explicit CharacteristicWork(int ntime);
  std::vector<float> taper;
  std::vector<float> x1, x2, x3;  // conditioned components
  std::vector<float> env;         // modulus of the conditioned vector
  std::vector<float> amax;        // largest absolute component
  std::vector<float> sta, lta, ratio;
};

// Whole-recording figures that the acceptance tests compare with.
struct CharacteristicStats {
  float env_mean = 0.0f;
  float saturation = 0.0f;  // 0.995 x the largest amax
  float lta_min = 0.0f;
  float lta_max = 0.0f;
  float lta_mean = 0.0f;
  float ltathr = 0.0f;  // 0.2 x lowest lta + 0.8 x highest lta
};

// Copies source[first - 1 .. first - 1 + n) to destination[0 .. n), removes its mean,
// multiplies it by taper[0 .. n) and removes the mean again.
void WINDOW(std::span<const float> source, std::span<float> destination, int first, int n,
            std::span<const float> taper);

// Subtracts from x[0 .. n) its mean, summed in sample order in single precision.
void remove_mean(std::span<float> x, int n);

// x1, x2, x3 of work from components 1, 2, 3 of ts: WINDOW over the whole recording
// with work.taper, then the mean removed once more.
void condition_components(const Recording& rec, CharacteristicWork& work);

// True when the running sums reach no sample outside 1 .. nsamp: at least one
// taper-zone sample, and nsamp >= ncz + the longer average.
bool stalta_fits(int nsamp, int ncz, int nsta, int nlta);

// Running sum s[0 .. nsamp) of env over n samples, with the taper zones of ncz
// samples at each end stood in for by the mean m. Each S(i) is formed in double and
// stored in single precision. Requires stalta_fits(nsamp, ncz, n, n).
void running_sum(std::span<const float> env, int nsamp, int ncz, int n, float m,
                 std::span<float> s);

// env, amax, sta, lta and ratio from the conditioned components, and the recording's
// figures. Requires stalta_fits(nsamp, ncz, nsta, nlta).
CharacteristicStats characteristic(CharacteristicWork& work, int nsamp, int ncz, int nsta,
                                   int nlta);

}  // namespace hv

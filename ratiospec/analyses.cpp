// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/analyses.hpp"

#include "common/fields.hpp"

namespace hv {

int prepare_analyses(const PARAMETERS& par, int nfreq, int nwin, Analyses& out,
                     std::ostream& console) {
  const std::optional<RejectionOption> rejection =
      read_window_rejection(par.window_rejection, console);
  if (!rejection) return 1;
  out.rejection = *rejection;
  std::optional<AzimuthSet> azimuth = read_azimuth_step(par.azimuth_step, console);
  if (!azimuth) return 1;
  out.azimuth = std::move(*azimuth);
  if (out.azimuth.count() == 0) return 0;
  if (static_cast<long long>(out.azimuth.count()) * nfreq * nwin > azimuth_capacity) {
    free_line(console, " ERROR: Required amount of memory exceed current", " allowed dimension");
    free_line(console, " Try a larger azimuth_step, fewer windows or shorter window", " duration");
    return 1;
  }
  out.az_ratios.emplace(out.azimuth.count(), nfreq, nwin);
  return 0;
}

void azimuth_window(Analyses& analyses, const SmoothPlan& plan, FftWork& work_fft, bool pair,
                    float dt, std::span<const float> vertical, int w, AzimuthWork& az_work) {
  std::span<const std::complex<double>> east = az_work.east;
  if (pair) {
    split_pair(work_fft.complex_data(), az_work);
  } else {
    east = work_fft.real_output();
  }
  AZIMUTH_RATIOS(plan, analyses.azimuth, az_work.north, east, dt, vertical, w, *analyses.az_ratios,
                 az_work);
}

int keep_windows(const WindowRejection& rejection, std::span<const std::span<float>> matrices,
                 int nfreq, Analyses& analyses) {
  int kept = rejection.kept_count();
  for (const std::span<float> m : matrices) kept = compact_columns(m, nfreq, rejection.kept);
  if (analyses.azimuths()) {
    AzimuthMatrices& az = *analyses.az_ratios;
    for (int a = 0; a < az.count; ++a) compact_columns(az.matrix(a), nfreq, rejection.kept);
  }
  return kept;
}

}  // namespace hv

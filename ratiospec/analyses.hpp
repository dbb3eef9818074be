// SPDX-License-Identifier: GPL-3.0-or-later
// The optional analyses of a run: frequency-domain window rejection and H/V per
// azimuth. Neither changes anything when its option is not given.
#pragma once

#include <optional>
#include <ostream>
#include <span>

#include "ratiospec/records.hpp"
#include "spectral/apply_smooth.hpp"
#include "spectral/azimuth.hpp"
#include "spectral/window_rejection.hpp"
#include "spectral/xfft.hpp"

namespace hv {

// Most per-azimuth ratio values a run may hold (a 5-degree step on the largest work
// area fits).
inline constexpr long long azimuth_capacity = 48'000'000;

struct Analyses {
  RejectionOption rejection;
  AzimuthSet azimuth;
  std::optional<AzimuthMatrices> az_ratios;  // set when azimuths are asked for
  bool azimuths() const { return az_ratios.has_value(); }
};

// Reads window_rejection and azimuth_step and lays out the per-azimuth matrices.
// Returns 0, or 1 after the message of a bad option or of a run too large for the
// azimuths.
int prepare_analyses(const PARAMETERS& par, int nfreq, int nwin, Analyses& out,
                     std::ostream& console);

// The per-window part of the azimuths, called after the window's spectra are smoothed:
// work_fft still holds the transform of the last horizontal (of x_NS + i·x_EW when the
// horizontals were transformed as a pair, else of x_EW with x_NS kept in az_work);
// vertical is the window's smoothed vertical.
void azimuth_window(Analyses& analyses, const SmoothPlan& plan, FftWork& work_fft, bool pair,
                    float dt, std::span<const float> vertical, int w, AzimuthWork& az_work);

// Moves the kept windows' columns to the front of every matrix given and of the
// per-azimuth matrices; returns the kept count.
int keep_windows(const WindowRejection& rejection, std::span<const std::span<float>> matrices,
                 int nfreq, Analyses& analyses);

}  // namespace hv

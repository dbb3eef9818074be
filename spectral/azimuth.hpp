// SPDX-License-Identifier: GPL-3.0-or-later
// H/V per azimuth: the horizontal rotated to azimuth theta (degrees east of the
// north-south component), h = NS·cos(theta) + EW·sin(theta), over the vertical.
//
// The transform is linear, so the spectrum of h is X_NS·cos + X_EW·sin: the rotated
// spectra come from the two transformed horizontals of the window, without another
// transform per azimuth. Their amplitudes are smoothed with the run's smoothing plan.
#pragma once

#include <array>
#include <complex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "common/text.hpp"
#include "spectral/apply_smooth.hpp"
#include "spectral/comp_f0.hpp"
#include "spectral/matrices.hpp"
#include "spectral/notice.hpp"

namespace hv {

// The azimuths 0, d, 2d, ... < 180 of an azimuth_step d.
struct AzimuthSet {
  double step = 0.0;
  std::vector<double> degrees, cosine, sine;
  int count() const { return static_cast<int>(degrees.size()); }
};

// The finest step taken: one degree (180 azimuths).
inline constexpr int max_azimuths = 180;

// Reads the azimuth_step option: blank (the key was not given) gives no azimuths;
// otherwise a number d with 180/d a whole number of at most max_azimuths.
Parsed<AzimuthSet> parse_azimuth_step(std::string_view text);

// Per-azimuth ratio matrices: for each azimuth nfreq rows, one column per window.
struct AzimuthMatrices {
  AzimuthMatrices(int count, int nfreq, int nwin);
  int count, nfreq, nwin;
  std::vector<float> values;
  std::span<float> matrix(int a);         // a = 0..count-1
  std::span<float> column(int a, int w);  // w 1-based
};

// Scratch of the per-window stage; one per thread that runs it, allocated once.
struct AzimuthWork {
  AzimuthWork(int nf, int nfreq);
  std::vector<std::complex<double>> north, east;  // the two horizontal spectra
  std::array<std::vector<float>, 3> raw;          // rotated amplitudes, three at a time
  std::array<std::vector<float>, 3> smoothed;
};

// Keeps the first into.size() values of a horizontal's transform X (the transform's
// buffers are reused by the next component).
void keep_spectrum(std::span<const std::complex<double>> X,
                   std::vector<std::complex<double>>& into);
// Separates the transform Z of x_NS + i·x_EW (all N values) into the two spectra:
// X_NS(k) = (Z(k) + conj Z(N-k))/2, X_EW(k) = (Z(k) - conj Z(N-k))/(2i), k < nf.
void split_pair(std::span<const std::complex<double>> Z, AzimuthWork& work);

// For every azimuth: amplitude dt·|X_NS·cos + X_EW·sin| (nf values), smoothed with
// plan (which must be valid), divided row by row by the window's smoothed vertical,
// into column w of the azimuth's matrix (rows outside the plan's range are 0). north
// and east are the spectra of the two horizontals (nf values each).
void AZIMUTH_RATIOS(const SmoothPlan& plan, const AzimuthSet& set,
                    std::span<const std::complex<double>> north,
                    std::span<const std::complex<double>> east, float dt,
                    std::span<const float> vertical, int w, AzimuthMatrices& out,
                    AzimuthWork& work);

// The averaged H/V per azimuth: geometric means (nfreq values per azimuth, one after
// the other) and each azimuth's Fo and band.
struct AzimuthAverages {
  std::vector<float> mean;
  std::vector<FoBand> fo;
  std::span<const float> curve(int a, int nfreq) const;
};

// Geometric means over the first nwin columns of every azimuth's matrix, and Fo per
// azimuth by the Fo procedure on that azimuth's ratios (its warnings are not printed:
// a -9 Fo says enough). Rows jfirst..jlast.
AzimuthAverages average_azimuths(const AzimuthMatrices& az, int nwin, std::span<const float> f,
                                 RowRange rows);

}  // namespace hv

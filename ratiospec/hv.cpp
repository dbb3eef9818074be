// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/hv.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/fields.hpp"
#include "ratiospec/analyses.hpp"
#include "ratiospec/av_write.hpp"
#include "ratiospec/az_write.hpp"
#include "ratiospec/gel_hv.hpp"
#include "ratiospec/stage_timer.hpp"
#include "readers/readerth.hpp"
#include "spectral/apply_smooth.hpp"
#include "spectral/apply_taper.hpp"
#include "spectral/average_sd.hpp"
#include "spectral/comp_f0.hpp"
#include "spectral/frequency_step.hpp"
#include "spectral/itw.hpp"
#include "spectral/xfft.hpp"

namespace hv {

long long room_size(int nfreq, int N, int nwin) {
  const long long M = std::max<long long>(nfreq, N / 2 + 1);
  return 4LL * nfreq + 7LL * N + 3 * M + 3LL * nwin * nfreq + 20;
}

ROOM::ROOM(int nfreq_, int N_, int nwin_)
    : nfreq(nfreq_), N(N_), M(std::max(nfreq_, N_ / 2 + 1)), nwin(nwin_) {
  const auto nf = static_cast<std::size_t>(nfreq);
  const auto m = static_cast<std::size_t>(M);
  const auto w = nf * static_cast<std::size_t>(nwin);
  values.assign(4 * nf + static_cast<std::size_t>(N) + 3 * m + 3 * w, 0.0f);
  std::span<float> rest(values);
  const auto take = [&rest](std::size_t n) {
    const std::span<float> part = rest.first(n);
    rest = rest.subspan(n);
    return part;
  };
  f = take(nf);
  x = take(static_cast<std::size_t>(N));
  S1 = take(m);
  S2 = take(m);
  S3 = take(m);
  O1 = take(w);
  O2 = take(w);
  O3 = take(w);
  mean1 = take(nf);
  mean2 = take(nf);
  mean3 = take(nf);
}

namespace {

// Reads, cuts, tapers and transforms every window and smooths its three spectra into
// its column of O1, O2, O3; with azimuths, also the window's ratio per azimuth.
void window_loop(RunControl& run, RatiospecRecords& rec, ROOM& room, Analyses& analyses,
                 int& jfirst, int& jlast) {
  const int N = room.N;
  const float df = frequency_step(N, rec.ts.dt);
  const int nf = N / 2 + 1;
  const SmoothPlan plan = [&] {
    const StageTimer timer(run.times ? &run.times->smoothing : nullptr);
    return make_smooth_plan(rec.par.smooth, rec.par.freq_spacing, df, nf, room.f);
  }();
  const FftPlan fft(N);
  FftWork work(N);
  // The complex merge transforms both horizontals at once, so the east-west samples
  // wait beside the north-south ones.
  const bool pair = complex_merge(rec.par.merge_type);
  std::vector<float> x3(pair ? room.x.size() : 0);
  const bool window_mean = removes_window_mean(rec.par.offset_rem);
  WindowMatrices O{room.O1, room.O2, room.O3, room.nfreq};
  std::optional<AzimuthWork> az_work;
  if (analyses.azimuths()) az_work.emplace(nf, room.nfreq);
  for (int w = 1; w <= rec.windows.nwin(); ++w) {
    if (w > 1) {
      const StageTimer timer(run.times ? &run.times->reading : nullptr);
      CKERR(READERTH(w, rec.windows, rec.par.offset_rem, rec.ts, run.units, run.console), run);
    }
    const WindowEntry& win = rec.windows(w);
    for (int c = 1; c <= 3; ++c) {
      const StageTimer timer(run.times ? &run.times->transforming : nullptr);
      const std::span<float> x = pair && c == 3 ? std::span<float>(x3) : room.x;
      int nout = 0;
      CKERR(ITW(rec.ts.column(c), rec.ts.nsamp, rec.ts.dt, win.start, win.end, win.file, w,
                window_mean, x, nout, run.console),
            run);
      CKERR(APPLY_TAPER(x, nout, N, rec.par.taper, run.console), run);
      float step = 0.0f;
      int nf_out = 0;
      if (!pair || c == 1) {
        CKERR(XFFT(x, N, rec.ts.dt, c, fft, work, room.S1, room.S2, room.S3, step, nf_out), run);
        if (az_work && c == 2) keep_north(work.real_output(), *az_work);
      } else if (c == 3) {
        CKERR(XFFT_PAIR(room.x, x3, N, rec.ts.dt, fft, work, room.S2, room.S3, step, nf_out), run);
      }
    }
    const StageTimer timer(run.times ? &run.times->smoothing : nullptr);
    CKERR(APPLY_SMOOTH(plan, room.S1, room.S2, room.S3, O.column(room.O1, w), O.column(room.O2, w),
                       O.column(room.O3, w), w, jfirst, jlast, run.console),
          run);
    if (az_work) {
      azimuth_window(analyses, plan, work, pair, rec.ts.dt, O.column(room.O1, w), w, *az_work);
    }
  }
}

// The smoothed spectra, kept while the rejection, which needs the ratios, decides
// which windows the averaged spectra take.
std::vector<float> copy_of(const Triple& matrices) {
  std::vector<float> out;
  for (const auto& m : matrices) out.insert(out.end(), m.begin(), m.end());
  return out;
}

}  // namespace

void HV(RunControl& run, const Name& output_file, RatiospecRecords& rec, ROOM& room) {
  Analyses analyses;
  CKERR(prepare_analyses(rec.par, room.nfreq, room.nwin, analyses, run.console), run);
  int jfirst = 1, jlast = room.nfreq;
  window_loop(run, rec, room, analyses, jfirst, jlast);

  const int nfreq = room.nfreq, nwin = room.nwin;
  const Triple means{room.mean1, room.mean2, room.mean3};
  const Triple spreads{room.S1, room.S2, room.S3};
  const Triple matrices{room.O1, room.O2, room.O3};
  const OutTriple mean_out{room.mean1, room.mean2, room.mean3};
  const OutTriple spread_out{room.S1, room.S2, room.S3};
  const RowRange rows{jfirst, jlast};
  FoBand fo;
  const bool spectra_out = first_token_is(rec.par.average_spectra_out.view(), "yes");
  const auto write_spectra = [&](const Triple& spectra, int n, const WindowRejection* rejection) {
    CKERR(AVERAGE_SD(0, spectra, nfreq, n, mean_out, spread_out, rows), run);
    CKERR(AV_WRITE(1, output_file, room.f, means, nfreq, spreads, fo, rows, rec.windows, rec.par,
                   run.units, run.console, rejection),
          run);
  };
  std::vector<float> spectra;
  if (spectra_out && !analyses.rejection.active) write_spectra(matrices, nwin, nullptr);
  if (spectra_out && analyses.rejection.active) spectra = copy_of(matrices);
  WindowMatrices O{room.O1, room.O2, room.O3, nfreq};
  CKERR(GEL_HV(run, output_file, O, room.f, room.mean1, nwin, room.S1, room.S2, room.S3, rows,
               rec.windows, rec.par),
        run);
  // The averages below take the kept windows, moved to the front of the matrices.
  int used = nwin;
  std::optional<WindowRejection> rejection;
  if (analyses.rejection.active) {
    rejection = reject_windows(room.O1, room.f, nfreq, nwin, rows, analyses.rejection.n_sd);
    std::vector<std::span<float>> columns{room.O1, room.O2, room.O3};
    for (std::size_t c = 0; c < spectra.size(); c += room.O1.size()) {
      columns.push_back(std::span<float>(spectra).subspan(c, room.O1.size()));
    }
    used = keep_windows(*rejection, columns, nfreq, analyses);
    free_line(run.console, " window rejection:", used, " of", nwin, " windows kept after",
              rejection->iterations, " iterations");
    if (spectra_out) write_spectra({columns[3], columns[4], columns[5]}, used, &*rejection);
  }
  const WindowRejection* rejected = rejection ? &*rejection : nullptr;
  CKERR(AVERAGE_SD(1, matrices, nfreq, used, mean_out, spread_out, rows), run);
  CKERR(COMP_F0(room.O1, room.O2, room.mean1, room.f, nfreq, used, rows, fo, run.console), run);
  CKERR(AV_WRITE(0, output_file, room.f, means, nfreq, spreads, fo, rows, rec.windows, rec.par,
                 run.units, run.console, rejected),
        run);
  if (analyses.azimuths()) {
    const AzimuthAverages az = average_azimuths(*analyses.az_ratios, used, room.f, rows);
    CKERR(AZ_WRITE(output_file, room.f, nfreq, analyses.azimuth, az, rows, rec.windows, rec.par,
                   rejected, run.units, run.console),
          run);
  }
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/hv.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "common/fields.hpp"
#include "common/workers.hpp"
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

// Most bytes the per-thread window buffers may take together; beyond it, windows are
// processed one at a time with the rows of their smoothing spread over the threads.
constexpr std::size_t window_buffer_budget = 64u << 20;

// What processing one window leaves for the run to report, in window order: its
// console lines, the non-zero statuses of its steps and the time spent.
struct WindowReport {
  std::ostringstream messages;
  std::vector<int> statuses;
  StageTimes times;

  void reset() {
    messages.str("");
    messages.clear();
    statuses.clear();
    times = {};
  }
  // Keeps a step's status; false when the step failed and the window ends there.
  bool keep(int status) {
    if (status != 0) statuses.push_back(status);
    return status % 2 == 0;
  }
  bool failed() const {
    return std::any_of(statuses.begin(), statuses.end(), [](int s) { return s % 2 != 0; });
  }
};

// The buffers one thread processes a window in: its samples, its three spectra, the
// transform's work area and, with azimuths, the rotated spectra.
struct WindowBuffers {
  WindowBuffers(int N, int M, bool pair, bool azimuths, int nfreq)
      : values(static_cast<std::size_t>(N) * (pair ? 2 : 1) + 3 * static_cast<std::size_t>(M)),
        work(N) {
    if (azimuths) az.emplace(N / 2 + 1, nfreq);
    std::span<float> rest(values);
    const auto take = [&rest](int n) {
      const std::span<float> part = rest.first(static_cast<std::size_t>(n));
      rest = rest.subspan(static_cast<std::size_t>(n));
      return part;
    };
    x = take(N);
    x3 = take(pair ? N : 0);
    S1 = take(M);
    S2 = take(M);
    S3 = take(M);
  }
  static std::size_t bytes(int N, int M, bool pair) {
    const auto n = static_cast<std::size_t>(N);
    // The work area: real input, half spectrum, two complex arrays.
    const std::size_t work = 8 * n + 16 * (n / 2 + 1) + 32 * n;
    return work + sizeof(float) * (n * (pair ? 2 : 1) + 3 * static_cast<std::size_t>(M));
  }

  std::vector<float> values;
  std::span<float> x, x3, S1, S2, S3;
  FftWork work;
  std::optional<AzimuthWork> az;
};

// The window loop of one run: every window is read (in window order, by the calling
// thread), cut, tapered, transformed and smoothed into its column of O1, O2, O3.
// Windows of one recording are processed side by side, or one at a time with the rows
// of the smoothing spread over the threads; each window's messages are kept and
// written, and its statuses checked, in window order, so the console and the run's
// end are those of one thread.
class WindowLoop {
 public:
  WindowLoop(RunControl& run, RatiospecRecords& rec, ROOM& room, Analyses& analyses)
      : run_(run),
        rec_(rec),
        room_(room),
        analyses_(analyses),
        plan_(make_plan()),
        fft_(room.N),
        pair_(complex_merge(rec.par.merge_type)),
        window_mean_(removes_window_mean(rec.par.offset_rem)),
        O_{room.O1, room.O2, room.O3, room.nfreq},
        workers_(run.threads) {
    const int threads = workers_.size();
    const std::size_t all_buffers =
        WindowBuffers::bytes(room.N, room.M, pair_) * static_cast<std::size_t>(threads);
    batch_cap_ = threads > 1 && all_buffers <= window_buffer_budget ? 8 * threads : 1;
    reports_.resize(static_cast<std::size_t>(batch_cap_));
    buffers_.resize(static_cast<std::size_t>(threads));
    buffers_[0] = make_buffers();
  }

  // Processes every window; jfirst and jlast receive the smoothing's valid rows.
  void run(int& jfirst, int& jlast) {
    for (int w = 1; w <= rec_.windows.nwin();) w += batch(w);
    jfirst = plan_.jfirst();
    jlast = plan_.jlast();
  }

 private:
  std::unique_ptr<WindowBuffers> make_buffers() const {
    return std::make_unique<WindowBuffers>(room_.N, room_.M, pair_, analyses_.azimuths(),
                                           room_.nfreq);
  }

  SmoothPlan make_plan() {
    const StageTimer timer(run_.times ? &run_.times->smoothing : nullptr);
    const float df = frequency_step(room_.N, rec_.ts.dt);
    return make_smooth_plan(rec_.par.smooth, rec_.par.freq_spacing, df, room_.N / 2 + 1, room_.f);
  }

  // Reads window `first` and those after it on the same recording (up to the batch
  // size), processes them and reports them. Returns the number of windows done.
  int batch(int first) {
    const int nwin = rec_.windows.nwin();
    int count = 0;
    do {
      WindowReport& report = reports_[static_cast<std::size_t>(count)];
      report.reset();
      const int w = first + count;
      // Window 1's recording was read before the work area was laid out.
      if (w > 1) {
        const StageTimer timer(run_.times ? &run_.times->reading : nullptr);
        report.keep(
            READERTH(w, rec_.windows, rec_.par.offset_rem, rec_.ts, run_.units, report.messages));
      }
      ++count;
    } while (!reports_[static_cast<std::size_t>(count - 1)].failed() && count < batch_cap_ &&
             first + count <= nwin &&
             same_recording(rec_.windows(first + count - 1), rec_.windows(first + count)));

    if (count > 1) {
      for (auto& b : buffers_) {
        if (!b) b = make_buffers();
      }
    }
    // A window alone has the threads for the rows of its smoothing.
    Workers* rows = count == 1 && workers_.size() > 1 ? &workers_ : nullptr;
    workers_.run(count, [&](int i, int slot) {
      WindowReport& report = reports_[static_cast<std::size_t>(i)];
      if (!report.failed())
        process(first + i, *buffers_[static_cast<std::size_t>(slot)], report, rows);
    });

    for (int i = 0; i < count; ++i) {
      const WindowReport& report = reports_[static_cast<std::size_t>(i)];
      run_.console << report.messages.view();
      if (run_.times) {
        run_.times->transforming += report.times.transforming;
        run_.times->smoothing += report.times.smoothing;
      }
      for (const int status : report.statuses) CKERR(status, run_);
    }
    return count;
  }

  // Cuts, tapers and transforms the three components of window w and smooths their
  // spectra into the window's columns; stops at the first step that fails.
  void process(int w, WindowBuffers& b, WindowReport& report, Workers* rows) const {
    const int N = room_.N;
    const WindowEntry& win = rec_.windows(w);
    for (int c = 1; c <= 3; ++c) {
      const StageTimer timer(&report.times.transforming);
      // The complex merge transforms both horizontals at once, so the east-west
      // samples wait beside the north-south ones.
      const std::span<float> x = pair_ && c == 3 ? b.x3 : b.x;
      int nout = 0;
      if (!report.keep(ITW(rec_.ts.column(c), rec_.ts.nsamp, rec_.ts.dt, win.start, win.end,
                           win.file, w, window_mean_, x, nout, report.messages)) ||
          !report.keep(APPLY_TAPER(x, nout, N, rec_.par.taper, report.messages))) {
        return;
      }
      float step = 0.0f;
      int nf_out = 0;
      int status = 0;
      if (!pair_ || c == 1) {
        status = XFFT(x, N, rec_.ts.dt, c, fft_, b.work, b.S1, b.S2, b.S3, step, nf_out);
        if (b.az && c == 2 && status == 0) keep_north(b.work.real_output(), *b.az);
      } else if (c == 3) {
        status = XFFT_PAIR(b.x, b.x3, N, rec_.ts.dt, fft_, b.work, b.S2, b.S3, step, nf_out);
      }
      if (!report.keep(status)) return;
    }
    const StageTimer timer(&report.times.smoothing);
    int jfirst = 0, jlast = 0;
    if (!report.keep(APPLY_SMOOTH(plan_, b.S1, b.S2, b.S3, O_.column(room_.O1, w),
                                  O_.column(room_.O2, w), O_.column(room_.O3, w), w, jfirst,
                                  jlast, report.messages, rows))) {
      return;
    }
    // Each window writes only its own column of the per-azimuth matrices.
    if (b.az) {
      azimuth_window(analyses_, plan_, b.work, pair_, rec_.ts.dt, O_.column(room_.O1, w), w,
                     *b.az);
    }
  }

  RunControl& run_;
  RatiospecRecords& rec_;
  ROOM& room_;
  Analyses& analyses_;
  const SmoothPlan plan_;
  const FftPlan fft_;
  const bool pair_;
  const bool window_mean_;
  const WindowMatrices O_;
  Workers workers_;
  int batch_cap_ = 1;
  std::vector<WindowReport> reports_;
  std::vector<std::unique_ptr<WindowBuffers>> buffers_;  // one per thread, made when needed
};

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
  WindowLoop(run, rec, room, analyses).run(jfirst, jlast);

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

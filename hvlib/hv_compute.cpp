// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvlib/hv_compute.hpp"

#include <algorithm>
#include <cmath>

#include "common/stage_timer.hpp"
#include "common/workers.hpp"
#include "spectral/apply_smooth.hpp"
#include "spectral/apply_taper.hpp"
#include "spectral/average_sd.hpp"
#include "spectral/deffre.hpp"
#include "spectral/frequency_step.hpp"
#include "spectral/hps.hpp"
#include "spectral/itw.hpp"
#include "spectral/merge_hv.hpp"
#include "spectral/xfft.hpp"

namespace hv {

int transform_length(float Tmax, float dt) {
  // A quotient beyond the int range (absurd window times) is held at a length no grid
  // holds, so that the grid refuses it.
  constexpr float too_long = 1.0e9f;
  const float q = Tmax / dt + 0.5f;
  if (!(q < too_long)) return static_cast<int>(too_long);
  return static_cast<int>(std::trunc(q)) + 1;
}

bool MemorySource::same_recording(int w) const {
  const auto i = static_cast<std::size_t>(w - 1);
  return recording_of_[i] == recording_of_[i - 1];
}

std::optional<Recording> MemorySource::read(int w) {
  const int r = recording_of_[static_cast<std::size_t>(w - 1)];
  if (r < 0 || r >= static_cast<int>(recordings_.size())) return std::nullopt;
  return recordings_[static_cast<std::size_t>(r)];
}

std::span<const float> HvResult::column(const std::vector<float>& matrix, int w) const {
  const auto n = static_cast<std::size_t>(nfreq());
  return std::span<const float>(matrix).subspan(static_cast<std::size_t>(w - 1) * n, n);
}

namespace {

// Most bytes the per-thread window buffers may take together; beyond it, windows are
// processed one at a time with the rows of their smoothing spread over the threads.
constexpr std::size_t window_buffer_budget = 64u << 20;

// What processing one window leaves for the run, in window order: its notices and
// whether it failed.
struct WindowReport {
  Notices notes;
  bool failed = false;
  bool no_recording = false;
  HvTimes times;

  void reset() {
    notes.clear();
    failed = no_recording = false;
    times = {};
  }
  // Keeps a step's status; false when the step failed and the window ends there.
  bool keep(int status) {
    if (status % 2 != 0) failed = true;
    return !failed;
  }
};

// The buffers one thread processes a window in: its samples, its three raw spectra,
// the transform's work area and, with azimuths, the two horizontal spectra.
struct WindowBuffers {
  WindowBuffers(int N, int M, bool pair, bool azimuths, int nfreq)
      : x(static_cast<std::size_t>(N)),
        x3(pair ? static_cast<std::size_t>(N) : 0),
        S{std::vector<float>(static_cast<std::size_t>(M)),
          std::vector<float>(static_cast<std::size_t>(M)),
          std::vector<float>(static_cast<std::size_t>(M))},
        work(N) {
    if (azimuths) az.emplace(N / 2 + 1, nfreq);
  }
  static std::size_t bytes(int N, int M, bool pair) {
    const auto n = static_cast<std::size_t>(N);
    // The work area: real input, half spectrum, two complex arrays.
    const std::size_t work = 8 * n + 16 * (n / 2 + 1) + 32 * n;
    return work + sizeof(float) * (n * (pair ? 2 : 1) + 3 * static_cast<std::size_t>(M));
  }

  std::vector<float> x, x3;
  std::array<std::vector<float>, 3> S;
  FftWork work;
  std::optional<AzimuthWork> az;
};

std::span<float> column_of(std::vector<float>& matrix, int w, int nfreq) {
  const auto n = static_cast<std::size_t>(nfreq);
  return std::span<float>(matrix).subspan(static_cast<std::size_t>(w - 1) * n, n);
}

}  // namespace

// The window loop: every window's recording is made current (in window order, by the
// calling thread), then windows of one recording are cut, tapered, transformed and
// smoothed side by side, or one at a time with the rows of the smoothing spread over
// the threads. Notices are gathered per window and kept in window order, so the
// result is that of one thread.
class HvComputation::WindowLoop {
 public:
  explicit WindowLoop(HvComputation& hv)
      : hv_(hv),
        res_(hv.result_),
        opt_(hv.options_),
        N_(res_.N),
        M_(std::max(res_.nfreq(), N_ / 2 + 1)),
        pair_(opt_.complex_merge()),
        fft_(N_),
        workers_(hv.threads_) {
    if (opt_.smooth.ok()) {
      const StageTimer timer(hv.times_ ? &hv.times_->smoothing : nullptr);
      plan_.emplace(*opt_.smooth.value, opt_.fft_grid(), frequency_step(N_, res_.dt), N_ / 2 + 1,
                    res_.f);
    }
    const int threads = workers_.size();
    const std::size_t all_buffers =
        WindowBuffers::bytes(N_, M_, pair_) * static_cast<std::size_t>(threads);
    batch_cap_ = threads > 1 && all_buffers <= window_buffer_budget ? 8 * threads : 1;
    reports_.resize(static_cast<std::size_t>(batch_cap_));
    buffers_.resize(static_cast<std::size_t>(threads));
  }

  int run() {
    int status = 0;
    for (int w = 1; w <= res_.nwin;) {
      int done = 0;
      const int s = batch(w, done);
      if (s % 2 != 0) return 1;
      status = std::max(status, s);
      w += done;
    }
    if (plan_) res_.rows = {plan_->jfirst(), plan_->jlast()};
    return status;
  }

 private:
  WindowBuffers& buffers(int slot) {
    auto& b = buffers_[static_cast<std::size_t>(slot)];
    if (!b)
      b = std::make_unique<WindowBuffers>(N_, M_, pair_, hv_.az_ratios_.has_value(), res_.nfreq());
    return *b;
  }

  // Makes window w's recording current: read unless it is that of window w - 1.
  void make_current(int w, WindowReport& report) {
    if (hv_.source_.same_recording(w)) return;
    // The windows before have been processed: the recording they were cut from goes
    // before the next is read, so that two are never held at once.
    hv_.current_ = Recording{};
    std::optional<Recording> rec = hv_.read_recording(w, report.notes);
    if (!rec) {
      report.failed = report.no_recording = true;
      return;
    }
    if (rec->dt != res_.dt) {
      Notice n = error_notice(Note::interval_changed, {res_.dt, rec->dt});
      n.window = w;
      report.notes.push_back(n);
      report.failed = true;
      return;
    }
    hv_.current_ = std::move(*rec);
    report.keep(hv_.condition_current(w, report.notes));
  }

  // Makes the recordings of window `first` and those after it on the same recording
  // (up to the batch size) current, processes them and keeps their notices. done
  // receives the number of windows taken; returns the worst status.
  int batch(int first, int& done) {
    int count = 0;
    do {
      WindowReport& report = reports_[static_cast<std::size_t>(count)];
      report.reset();
      // Window 1's recording was made current by read_first.
      if (first + count > 1) make_current(first + count, report);
      ++count;
    } while (!reports_[static_cast<std::size_t>(count - 1)].failed && count < batch_cap_ &&
             first + count <= res_.nwin && hv_.source_.same_recording(first + count));

    if (count == 1) {
      // A window alone has the threads for the rows of its smoothing.
      WindowReport& report = reports_[0];
      if (!report.failed)
        process(first, buffers(0), report, workers_.size() > 1 ? &workers_ : nullptr);
    } else {
      workers_.run(count, [&](int i, int slot) {
        WindowReport& report = reports_[static_cast<std::size_t>(i)];
        if (!report.failed) process(first + i, buffers(slot), report, nullptr);
      });
    }

    int status = 0;
    for (int i = 0; i < count; ++i) {
      WindowReport& report = reports_[static_cast<std::size_t>(i)];
      if (hv_.times_) {
        hv_.times_->transforming += report.times.transforming;
        hv_.times_->smoothing += report.times.smoothing;
      }
      for (const Notice& n : report.notes) status = std::max(status, n.status % 2 ? 1 : n.status);
      res_.notices.insert(res_.notices.end(), report.notes.begin(), report.notes.end());
      if (report.failed) {
        if (report.no_recording) hv_.source_failed_ = first + i;
        return 1;
      }
    }
    done = count;
    return status;
  }

  // Cuts, tapers and transforms the three components of window w and smooths their
  // spectra into the window's columns; stops at the first step that fails.
  void process(int w, WindowBuffers& b, WindowReport& report, Workers* rows) {
    const HvWindow& win = hv_.windows_[static_cast<std::size_t>(w - 1)];
    const Recording& rec = hv_.current_;
    for (int c = 1; c <= 3; ++c) {
      const StageTimer timer(&report.times.transforming);
      // The complex merge transforms both horizontals at once, so the east-west
      // samples wait beside the north-south ones.
      std::vector<float>& x = pair_ && c == 3 ? b.x3 : b.x;
      int nout = 0;
      if (!report.keep(ITW(rec.component[static_cast<std::size_t>(c - 1)], rec.nsamp(), rec.dt,
                           win.start, win.end, w, opt_.window_mean(), x, nout, report.notes))) {
        return;
      }
      if (!opt_.taper.ok()) {
        report.notes.push_back(*opt_.taper.refusal);
        report.failed = true;
        return;
      }
      if (!report.keep(APPLY_TAPER(x, nout, N_, *opt_.taper.value, report.notes))) return;
      float step = 0.0f;
      int nf_out = 0;
      int status = 0;
      if (!pair_ || c == 1) {
        status = XFFT(x, N_, rec.dt, c, fft_, b.work, b.S[0], b.S[1], b.S[2], step, nf_out);
        if (b.az && c > 1 && status == 0) {
          keep_spectrum(b.work.real_output(), c == 2 ? b.az->north : b.az->east);
        }
      } else if (c == 3) {
        status = XFFT_PAIR(b.x, b.x3, N_, rec.dt, fft_, b.work, b.S[1], b.S[2], step, nf_out);
        if (b.az && status == 0) split_pair(b.work.complex_data(), *b.az);
      }
      if (!report.keep(status)) return;
    }
    if (!plan_) {
      report.notes.push_back(*opt_.smooth.refusal);
      report.failed = true;
      return;
    }
    const StageTimer timer(&report.times.smoothing);
    const int nfreq = res_.nfreq();
    const std::span<float> V = column_of(res_.spectra[0], w, nfreq);
    int jfirst = 0, jlast = 0;
    if (!report.keep(APPLY_SMOOTH(
            *plan_, b.S[0], b.S[1], b.S[2], V, column_of(res_.spectra[1], w, nfreq),
            column_of(res_.spectra[2], w, nfreq), w, jfirst, jlast, report.notes, rows))) {
      return;
    }
    // Each window writes only its own column of the per-azimuth matrices.
    if (b.az) {
      AZIMUTH_RATIOS(*plan_, res_.azimuth, b.az->north, b.az->east, rec.dt, V, w, *hv_.az_ratios_,
                     *b.az);
    }
  }

  HvComputation& hv_;
  HvResult& res_;
  const HvOptions& opt_;
  const int N_, M_;
  const bool pair_;
  const FftPlan fft_;
  std::optional<SmoothPlan> plan_;
  Workers workers_;
  int batch_cap_ = 1;
  std::vector<WindowReport> reports_;
  std::vector<std::unique_ptr<WindowBuffers>> buffers_;  // one per thread, made when needed
};

HvComputation::HvComputation(const HvOptions& options, std::span<const HvWindow> windows,
                             RecordingSource& source, int threads)
    : options_(options), windows_(windows), source_(source), threads_(std::max(threads, 1)) {
  result_.nwin = static_cast<int>(windows.size());
}

HvComputation::~HvComputation() = default;

int HvComputation::refuse(const std::optional<Notice>& refusal) {
  result_.notices.push_back(*refusal);
  return 1;
}

int HvComputation::condition_current(int w, Notices& notes) {
  if (!options_.offset_rem.ok()) {
    notes.push_back(*options_.offset_rem.refusal);
    notes.back().window = w;
    return 1;
  }
  Components x;
  for (std::size_t c = 0; c < 3; ++c) x[c] = current_.component[c];
  const std::size_t before = notes.size();
  const int status = condition_recording(*options_.offset_rem.value, current_.dt, x, notes);
  for (std::size_t i = before; i < notes.size(); ++i) notes[i].window = w;
  return status;
}

std::optional<Recording> HvComputation::read_recording(int w, Notices& notes) {
  std::optional<Recording> rec = source_.read(w);
  Notice read{Note::recording_read, rec ? 0 : 1, w, {}, {}};
  notes.push_back(read);
  return rec;
}

int HvComputation::read_first() {
  std::optional<Recording> rec = read_recording(1, result_.notices);
  if (!rec) {
    source_failed_ = 1;
    return 1;
  }
  current_ = std::move(*rec);
  result_.dt = current_.dt;
  return condition_current(1, result_.notices);
}

int HvComputation::plan_grid() {
  float Tmax = 0.0f;
  for (const HvWindow& w : windows_) Tmax = std::max(Tmax, w.end - w.start);
  result_.N = transform_length(Tmax, result_.dt);
  if (result_.N < 2) {
    result_.notices.push_back(error_notice(Note::window_too_short, {Tmax}));
    return 1;
  }
  if (!options_.freq_spacing.ok()) return refuse(options_.freq_spacing.refusal);
  int nfreq = 0;
  return DEFFRE(result_.N, result_.dt, *options_.freq_spacing.value, result_.f, nfreq,
                result_.notices);
}

int HvComputation::prepare_analyses() {
  if (!options_.window_rejection.ok()) return refuse(options_.window_rejection.refusal);
  if (!options_.azimuth_step.ok()) return refuse(options_.azimuth_step.refusal);
  result_.azimuth = *options_.azimuth_step.value;
  return 0;
}

int HvComputation::transform_windows() {
  const std::size_t size = static_cast<std::size_t>(result_.nfreq()) * result_.nwin;
  for (auto& m : result_.spectra) m.assign(size, 0.0f);
  result_.rows = {1, result_.nfreq()};
  result_.used = result_.nwin;
  if (result_.azimuth.count() > 0) {
    az_ratios_.emplace(result_.azimuth.count(), result_.nfreq(), result_.nwin);
  }
  WindowLoop loop(*this);
  const int status = loop.run();
  current_ = Recording{};  // every window is cut: the samples are no longer needed
  return status;
}

int HvComputation::form_ratios() {
  if (!options_.merge_type.ok()) return refuse(options_.merge_type.refusal);
  const MergeType type = *options_.merge_type.value;
  result_.ratios = result_.spectra;
  std::vector<float> merged(static_cast<std::size_t>(result_.nfreq()));
  const int nfreq = result_.nfreq();
  for (int w = 1; w <= result_.nwin; ++w) {
    MERGE_HV(type, column_of(result_.ratios[0], w, nfreq), column_of(result_.ratios[1], w, nfreq),
             column_of(result_.ratios[2], w, nfreq), merged, result_.rows.jfirst,
             result_.rows.jlast);
  }
  return 0;
}

void HvComputation::reject() {
  const RejectionOption& option = *options_.window_rejection.value;
  if (!option.active) return;
  result_.rejection = reject_windows(result_.ratios[0], result_.f, result_.nfreq(), result_.nwin,
                                     result_.rows, option.n_sd);
  result_.used = result_.rejection->kept_count();
}

namespace {

// The columns of the windows used, in window order: the matrix itself when every
// window is used, else the kept columns copied into `copy`.
std::span<const float> used_columns(const std::vector<float>& matrix, int nfreq,
                                    const std::optional<WindowRejection>& rejection,
                                    std::vector<float>& copy) {
  if (!rejection) return matrix;
  copy = matrix;
  compact_columns(copy, nfreq, rejection->kept);
  return copy;
}

void average(int geometric, const std::array<std::vector<float>, 3>& matrices, HvResult& r,
             std::array<std::vector<float>, 3>& mean, std::array<std::vector<float>, 3>& sd) {
  const int nfreq = r.nfreq();
  std::array<std::vector<float>, 3> copies;
  std::array<std::span<const float>, 3> used;
  for (std::size_t c = 0; c < 3; ++c) {
    used[c] = used_columns(matrices[c], nfreq, r.rejection, copies[c]);
    mean[c].assign(static_cast<std::size_t>(nfreq), 0.0f);
    sd[c].assign(static_cast<std::size_t>(nfreq), 0.0f);
  }
  AVERAGE_SD(geometric, {used[0], used[1], used[2]}, nfreq, r.used, {mean[0], mean[1], mean[2]},
             {sd[0], sd[1], sd[2]}, r.rows);
}

// The frequency of the largest averaged merged H/V when it lies on the first or the
// last valid row: the peak may then lie outside the grid.
std::optional<float> peak_at_edge(const HvResult& r) {
  const auto first = static_cast<std::size_t>(r.rows.jfirst - 1);
  const auto last = static_cast<std::size_t>(r.rows.jlast - 1);
  if (r.rows.jlast < r.rows.jfirst) return std::nullopt;
  std::size_t top = first;
  for (std::size_t j = first; j <= last; ++j) {
    if (r.mean[0][j] > r.mean[0][top] || std::isnan(r.mean[0][top])) top = j;
  }
  if (top != first && top != last) return std::nullopt;
  return r.f[top];
}

}  // namespace

void HvComputation::average_spectra() {
  average(0, result_.spectra, result_, result_.spectra_mean, result_.spectra_sd);
}

int HvComputation::average_ratios() {
  HvResult& r = result_;
  average(1, r.ratios, r, r.mean, r.sd);
  int status = 0;
  {
    std::vector<float> copy;
    const std::span<const float> merged = used_columns(r.ratios[0], r.nfreq(), r.rejection, copy);
    std::vector<float> work(static_cast<std::size_t>(std::max(r.nwin, 1)));
    status = COMP_F0(merged, work, r.mean[0], r.f, r.nfreq(), r.used, r.rows, r.fo, r.notices);
  }
  if (const std::optional<float> edge = peak_at_edge(r)) {
    r.notices.push_back(warning_notice(Note::peak_at_grid_edge, {*edge}));
    status = 2;
  }
  if (az_ratios_) {
    if (r.rejection) {
      for (int a = 0; a < az_ratios_->count; ++a) {
        compact_columns(az_ratios_->matrix(a), r.nfreq(), r.rejection->kept);
      }
    }
    r.azimuths = average_azimuths(*az_ratios_, r.used, r.f, r.rows);
  }
  return status;
}

HvResult compute_hv(const HvOptions& options, std::span<const HvWindow> windows,
                    RecordingSource& source, int threads) {
  HvComputation hv(options, windows, source, threads);
  if (const std::optional<Notice> refusal = options.first_refusal()) {
    hv.result().notices.push_back(*refusal);
    return std::move(hv.result());
  }
  if (windows.empty()) {
    hv.result().notices.push_back(error_notice(Note::no_windows));
    return std::move(hv.result());
  }
  if (hv.read_first() % 2 || hv.plan_grid() % 2 || hv.prepare_analyses() % 2 ||
      hv.transform_windows() % 2 || hv.form_ratios() % 2) {
    return std::move(hv.result());
  }
  hv.reject();
  hv.average_spectra();
  hv.average_ratios();
  return std::move(hv.result());
}

}  // namespace hv

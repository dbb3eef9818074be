// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/hv.hpp"

#include <algorithm>

#include "common/fields.hpp"
#include "messages/hv_messages.hpp"
#include "ratiospec/av_write.hpp"
#include "ratiospec/az_write.hpp"
#include "ratiospec/fout.hpp"
#include "ratiospec/recording_source.hpp"
#include "ratiospec/swin_write.hpp"
#include "readers/readerth.hpp"

namespace hv {

long long room_size(int nfreq, int N, int nwin) {
  const long long M = std::max<long long>(nfreq, N / 2 + 1);
  return 4LL * nfreq + 7LL * N + 3 * M + 3LL * nwin * nfreq + 20;
}

namespace {

std::vector<HvWindow> spans_of(const WINDOWS& windows) {
  std::vector<HvWindow> spans;
  spans.reserve(windows.entry.size());
  for (const WindowEntry& e : windows.entry) spans.push_back({e.start, e.end});
  return spans;
}

// The computation's stages in ratiospec's order: after each, the notices it added are
// printed and its status checked.
class Stages {
 public:
  Stages(RunControl& run, RatiospecRecords& rec)
      : run_(run),
        spans_(spans_of(rec.windows)),
        source_(rec.windows, run.units, run.times ? &run.times->reading : nullptr),
        hv_(rec.options, spans_, source_, run.threads),
        context_{rec.par, [&rec](int w) { return rec.windows(w).file.view(); },
                 [this](std::ostream& os, int w) { source_.print_lines(os, w); }} {
    if (run.times) hv_.measure(&times_);
  }
  ~Stages() {
    if (run_.times) {
      run_.times->transforming += times_.transforming;
      run_.times->smoothing += times_.smoothing;
    }
  }

  // Prints what the last stage reported and checks its status.
  void check(int status) {
    printed_ = report_notices(run_.console, hv_.result().notices, printed_, context_);
    CKERR(status, run_);
  }
  HvComputation& hv() { return hv_; }
  HvResult& result() { return hv_.result(); }

 private:
  RunControl& run_;
  std::vector<HvWindow> spans_;
  WindowFileSource source_;
  HvComputation hv_;
  NoticeContext context_;
  HvTimes times_;
  std::size_t printed_ = 0;
};

// Windows cut from the recording of the line before carry its labels.
void copy_labels(WINDOWS& windows) {
  for (int w = 2; w <= windows.nwin(); ++w) {
    if (same_recording(windows(w - 1), windows(w))) windows(w).labels = windows(w - 1).labels;
  }
}

// Every window's file: its three ratios and three smoothed spectra.
void write_window_files(RunControl& run, const Name& output_file, const HvResult& r,
                        const RatiospecRecords& rec) {
  int unit = 0;
  if (run.units.GLUN(unit) != 0) {
    free_line(run.console, " ERROR: GEL_HV could not find free unit number");
    CKERR(1, run);
  }
  for (int w = 1; w <= r.nwin; ++w) {
    CKERR(SWIN_WRITE(run.units, unit, output_file, w, r, rec.windows, rec.par, run.console), run);
  }
}

}  // namespace

void HV(RunControl& run, const Name& output_file, RatiospecRecords& rec) {
  Stages stages(run, rec);
  HvComputation& hv = stages.hv();
  const HvResult& r = stages.result();
  const HvOptions& opt = rec.options;

  stages.check(hv.read_first());
  CKERR(FOUT(output_file, hv.current(), opt, run.units, run.console), run);
  stages.check(hv.plan_grid());
  if (room_size(r.nfreq(), r.N, r.nwin) + 1 > ROOM_CAPACITY) {
    free_line(run.console, " ERROR: Required amount of memory exceed current",
              " allowed dimension");
    free_line(run.console, " Try to use fewer windows or shorter window", " duration");
    CKERR(1, run);
  }
  stages.check(hv.prepare_analyses());
  if (static_cast<long long>(r.azimuth.count()) * r.nfreq() * r.nwin > azimuth_capacity) {
    free_line(run.console, " ERROR: Required amount of memory exceed current",
              " allowed dimension");
    free_line(run.console, " Try a larger azimuth_step, fewer windows or shorter window",
              " duration");
    CKERR(1, run);
  }
  stages.check(hv.transform_windows());
  copy_labels(rec.windows);

  const bool rejection = opt.window_rejection.ok() && opt.window_rejection.value->active;
  const auto write_spectra = [&] {
    hv.average_spectra();
    CKERR(AV_WRITE(1, output_file, r, rec.windows, rec.par, run.units, run.console), run);
  };
  if (opt.average_spectra_out && !rejection) write_spectra();
  stages.check(hv.form_ratios());
  if (opt.single_win_out) write_window_files(run, output_file, r, rec);
  if (rejection) {
    hv.reject();
    free_line(run.console, " window rejection:", r.used, " of", r.nwin, " windows kept after",
              r.rejection->iterations, " iterations");
    if (opt.average_spectra_out) write_spectra();
  }
  stages.check(hv.average_ratios());
  CKERR(AV_WRITE(0, output_file, r, rec.windows, rec.par, run.units, run.console), run);
  if (r.azimuths)
    CKERR(AZ_WRITE(output_file, r, rec.windows, rec.par, run.units, run.console), run);
}

}  // namespace hv

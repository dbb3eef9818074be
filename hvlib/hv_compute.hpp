// SPDX-License-Identifier: GPL-3.0-or-later
// The H/V computation: recordings, windows, options and a thread count in, a result
// value out. Nothing is printed or written; what a program would print comes back as
// notices (codes with their values), in the order the run met them.
//
// The computation runs in stages so that a program with a fixed order of messages
// and checks can put its own between them (ratiospec writes the filtered recording
// after the first one and checks its storage limit after the grid); compute_hv runs
// them all.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "hvlib/options.hpp"
#include "readers/recording.hpp"
#include "spectral/azimuth.hpp"
#include "spectral/comp_f0.hpp"
#include "spectral/matrices.hpp"
#include "spectral/notice.hpp"
#include "spectral/window_rejection.hpp"

namespace hv {

// One window: start and end in seconds from the first sample of its recording.
struct HvWindow {
  float start = 0.0f;
  float end = 0.0f;
};

// Where the computation gets each window's recording from. Called on one thread, in
// window order.
class RecordingSource {
 public:
  virtual ~RecordingSource() = default;
  // True when window w (w > 1) is cut from the same recording as window w - 1.
  virtual bool same_recording(int w) const = 0;
  // The recording of window w, or nothing when it cannot be had (the source keeps
  // why; the computation then stops).
  virtual std::optional<Recording> read(int w) = 0;
};

// Recordings held in memory; window w is cut from recordings[recording_of[w - 1]].
class MemorySource : public RecordingSource {
 public:
  MemorySource(std::span<const Recording> recordings, std::span<const int> recording_of)
      : recordings_(recordings), recording_of_(recording_of) {}
  bool same_recording(int w) const override;
  std::optional<Recording> read(int w) override;

 private:
  std::span<const Recording> recordings_;
  std::span<const int> recording_of_;
};

// Everything one computation gives. Matrices have nfreq rows and one column per window
// (window w in column w - 1), stored column by column; only rows rows.jfirst..jlast
// (1-based) are valid.
struct HvResult {
  float dt = 0.0f;       // sampling interval of the recordings
  int N = 0;             // transform length
  std::vector<float> f;  // the frequency grid
  RowRange rows;
  int nwin = 0;
  std::array<std::vector<float>, 3> spectra;  // smoothed amplitude spectra V, NS, EW
  // Ratios merged/V, NS/V, EW/V (complex merge: the merged ratio in all three).
  std::array<std::vector<float>, 3> ratios;
  // Over the windows used (the kept ones when windows were rejected): geometric means
  // of the ratios with their deviation factors, and arithmetic means of the spectra
  // with their standard deviations.
  std::array<std::vector<float>, 3> mean, sd;
  std::array<std::vector<float>, 3> spectra_mean, spectra_sd;
  FoBand fo;
  int used = 0;  // windows averaged
  std::optional<WindowRejection> rejection;
  AzimuthSet azimuth;                       // no azimuths when none were asked
  std::optional<AzimuthAverages> azimuths;  // set when azimuths were asked
  Notices notices;                          // warnings and the error that stopped a run

  int nfreq() const { return static_cast<int>(f.size()); }
  // Column w (1-based) of a matrix.
  std::span<const float> column(const std::vector<float>& matrix, int w) const;
};

// Seconds spent in the window stage (summed over the threads), for the benchmarks.
struct HvTimes {
  double transforming = 0.0;  // window extraction, taper and spectra
  double smoothing = 0.0;
};

class HvComputation {
 public:
  HvComputation(const HvOptions& options, std::span<const HvWindow> windows,
                RecordingSource& source, int threads);
  ~HvComputation();
  HvComputation(const HvComputation&) = delete;
  HvComputation& operator=(const HvComputation&) = delete;

  // Every stage returns 0, 2 (warnings added) or 1 (stopped: the last notice says why,
  // or source_failed() is set when the source had no recording).
  // 1. Reads window 1's recording and conditions it as offset_rem asks.
  int read_first();
  // The recording being cut (after read_first: window 1's, conditioned); let go once
  // every window is transformed.
  const Recording& current() const { return current_; }
  // 2. The transform length from the longest window and the frequency grid.
  int plan_grid();
  // 3. Lays out the optional analyses (rejection, azimuths).
  int prepare_analyses();
  // 4. Every window: cut, taper, transform, smoothing (and the azimuths).
  int transform_windows();
  // 5. The per-window ratios.
  int form_ratios();
  // 6. Frequency-domain rejection of windows, when asked.
  void reject();
  // 7. Averages of the spectra over the windows used (only when asked for).
  void average_spectra();
  // 8. Averages of the ratios, Fo, azimuth averages.
  int average_ratios();

  // Gathers the time spent in the window stage into *times from now on.
  void measure(HvTimes* times) { times_ = times; }
  // The window whose recording the source could not give (0: none).
  int source_failed() const { return source_failed_; }
  HvResult& result() { return result_; }

 private:
  class WindowLoop;
  int condition_current(int w, Notices& notes);
  // Reads window w's recording, with the notice that marks where the source read it.
  std::optional<Recording> read_recording(int w, Notices& notes);
  int refuse(const std::optional<Notice>& refusal);

  const HvOptions& options_;
  std::span<const HvWindow> windows_;
  RecordingSource& source_;
  int threads_;
  Recording current_;
  int source_failed_ = 0;
  HvResult result_;
  std::optional<AzimuthMatrices> az_ratios_;
  HvTimes* times_ = nullptr;
};

// All the stages, stopping at the first error; for front ends without a fixed order
// of messages, a refused option stops the computation before any recording is read.
HvResult compute_hv(const HvOptions& options, std::span<const HvWindow> windows,
                    RecordingSource& source, int threads);

// The transform length of a longest window of Tmax seconds at interval dt: Tmax/dt
// rounded to the nearest integer (halves upward) plus one, in single precision.
int transform_length(float Tmax, float dt);

}  // namespace hv

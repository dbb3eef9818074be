// SPDX-License-Identifier: GPL-3.0-or-later
// ratiospec's recordings: read from the files its window lines name, one recording at
// a time, with the readers' messages kept in ratiospec's voice for the console.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "common/glun.hpp"
#include "hvlib/hv_compute.hpp"
#include "readers/records.hpp"

namespace hv {

class WindowFileSource : public RecordingSource {
 public:
  WindowFileSource(WINDOWS& windows, UnitTable& units, double* reading_seconds)
      : windows_(windows), units_(units), reading_seconds_(reading_seconds) {}

  bool same_recording(int w) const override;
  // Reads the recording of window w's line and fills the line's labels.
  std::optional<Recording> read(int w) override;

  // Prints the lines the reading of window w's recording gave.
  void print_lines(std::ostream& console, int w) const;

 private:
  WINDOWS& windows_;
  UnitTable& units_;
  double* reading_seconds_;
  std::map<int, std::string> lines_;  // by window
};

}  // namespace hv

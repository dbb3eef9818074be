// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

namespace hv {

// Adds the lifetime of the timer to *total; does nothing when total is null.
class StageTimer {
 public:
  explicit StageTimer(double* total) : total_(total) {
    if (total_ != nullptr) start_ = std::chrono::steady_clock::now();
  }
  ~StageTimer() {
    if (total_ != nullptr) {
      *total_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
  }
  StageTimer(const StageTimer&) = delete;
  StageTimer& operator=(const StageTimer&) = delete;

 private:
  double* total_;
  std::chrono::steady_clock::time_point start_{};
};

}  // namespace hv

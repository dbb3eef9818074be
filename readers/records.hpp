// SPDX-License-Identifier: GPL-3.0-or-later
// Recording records: the three-component sample store and the KAF header.
#pragma once

#include <span>
#include <vector>

#include "common/text.hpp"

namespace hv {

// Most samples per component that any recording may hold.
inline constexpr int NTIME = 600001;

// One three-component recording. Column c (1..3) holds component c; samples
// 1..nsamp of each column are valid.
struct TIMESERIES {
  std::vector<float> samples = std::vector<float>(3 * static_cast<std::size_t>(NTIME), 0.0f);
  float dt = 0.0f;  // sampling interval, seconds
  int nsamp = 0;

  std::span<float> column(int c) {
    return {samples.data() + static_cast<std::size_t>(c - 1) * NTIME, static_cast<std::size_t>(NTIME)};
  }
  std::span<const float> column(int c) const {
    return {samples.data() + static_cast<std::size_t>(c - 1) * NTIME, static_cast<std::size_t>(NTIME)};
  }
};

// Header of the last KAF file read; -12345 marks a field not set.
struct KAFHDR8 {
  int start_year = -12345;
  int start_month = -12345;
  int start_day = -12345;
  int start_hour = -12345;
  int start_minute = -12345;
  int start_second = -12345;
  int start_msec = -12345;
  int ndat = -12345;
  float start_seconds = -12345.0f;
  float samp_freq = -12345.0f;
  float north_rot = -12345.0f;
  float gain = -12345.0f;
  Text<100> sta_code{"-12345"};
  Text<100> ch0_id{"-12345"};
  Text<100> ch1_id{"-12345"};
  Text<100> ch2_id{"-12345"};
  Text<100> units{"-12345"};
};

}  // namespace hv

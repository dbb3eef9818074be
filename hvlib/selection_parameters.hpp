// SPDX-License-Identifier: GPL-3.0-or-later
// The nine selection parameters of calmpick and the sample counts derived from them.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "common/text.hpp"

namespace hv {

// Marks a parameter that the file did not give.
inline constexpr float real_not_given = 1.005e20f;
inline constexpr int int_not_given = 1000;

struct SelectionParameters {
  float tsta = real_not_given;     // short-term average, seconds
  float tlta = real_not_given;     // long-term average, seconds
  float ratmin = real_not_given;   // lowest accepted STA/LTA
  float ratmax = real_not_given;   // highest accepted STA/LTA
  float tlong = real_not_given;    // window length, seconds
  float overlap = real_not_given;  // fraction of tlong shared by consecutive windows
  int isatur = int_not_given;      // 1: saturation test
  int iltalev = int_not_given;     // 1: long-term-level test
  float tbad = real_not_given;     // rejected duration tolerated in a window, seconds
};

// One free-format read of the nine values in table order, across as many lines as
// it takes: blanks, commas or line ends separate; an empty field between commas
// leaves its parameter not given; "/" ends the read leaving the rest not given;
// anything after the ninth value is ignored. Returns 0, or 1 with why set when the
// file ends before nine values without "/" or a value is not a number of its type;
// p is then not to be used.
int read_selection_parameters(std::istream& in, SelectionParameters& p, std::string& why);

// Gives every parameter still holding its not-given mark the default value.
void complete_selection_parameters(SelectionParameters& p);

// Values that would make the selection meaningless: non-positive ratmin, ratmax or
// tlong, and an overlap that leaves no step between windows. One message text per
// refused value; empty when all are usable.
std::vector<std::string> refused_parameters(const SelectionParameters& p);

// tlong - overlap * tlong, the product rounded to single precision first.
float window_step(const SelectionParameters& p);

// Power of two 2^(k+1) with k = trunc(log10(tlong / dt) / 0.30103), the quotient
// rounded to single precision: the transform length the window would need.
// Saturates at 2^62; needs tlong > 0 and dt > 0.
long long window_storage(float tlong, float dt);

// Sample counts of one recording, from the parameters and its sampling interval.
struct RecordingCounts {
  int nsta = 0;   // trunc(tsta / dt)
  int nlta = 0;   // trunc(tlta / dt)
  int ncos = 0;   // trunc(0.5 / dt), the taper ramp
  int nzero = 2;  // zeros at each end of the taper
  int nlong = 0;  // nearest integer of tlong / dt
  float tstep = 0.0f;
  int nstep = 0;   // trunc(tstep / dt - 1)
  int nokmin = 0;  // nlong - nearest integer of tbad / dt
};

// dt must be positive and finite. Quotients beyond the sample storage are clamped,
// which keeps every count far from integer overflow without changing any decision.
RecordingCounts recording_counts(const SelectionParameters& p, float dt);

}  // namespace hv

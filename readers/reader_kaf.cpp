// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/reader_kaf.hpp"

#include <string>

#include "readers/rkaf.hpp"

namespace hv {

int READER_KAF(const Name& file, TIMESERIES& ts, int max_samples, float& dt, int& nsamp,
               KAFHDR8& kafhdr, UnitTable& units, std::ostream& console) {
  float samp_freq = 0.0f;
  std::string reason;
  const int status = RKAF(file, max_samples, 0, ts, nsamp, samp_freq, kafhdr, units, reason);
  if (status == kaf::ok) {
    dt = 1.0f / samp_freq;
    return 0;
  }
  report_kaf_status(status, KafVoice::calmpick, file, nsamp, max_samples, reason, console);
  return status == kaf::not_kaf ? 2 : 1;
}

}  // namespace hv

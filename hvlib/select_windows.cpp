// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvlib/select_windows.hpp"

#include "hvlib/characteristic.hpp"
#include "hvlib/iniwin.hpp"

namespace hv {

namespace {

std::size_t ix(int i) {
  return static_cast<std::size_t>(i - 1);
}

}  // namespace

bool sample_accepted(float ratio, float amax, float lta, const AcceptanceLimits& limits) {
  if (!(ratio / limits.ratmin >= 1.0f)) return false;
  if (!(limits.ratmax / ratio >= 1.0f)) return false;
  if (limits.saturation_test && !(limits.saturation / amax >= 1.0f)) return false;
  if (limits.lta_test && !(limits.ltathr / lta >= 1.0f) && !(limits.lta_mean / lta >= 1.0f)) {
    return false;
  }
  return true;
}

void count_accepted(std::span<const float> ratio, std::span<const float> amax,
                    std::span<const float> lta, int nsamp, int nlong,
                    const AcceptanceLimits& limits, std::span<int> nok) {
  if (nsamp <= 0) return;
  nok[0] = 0;
  for (int i = 2; i <= nsamp; ++i) {
    const bool ok = sample_accepted(ratio[ix(i)], amax[ix(i)], lta[ix(i)], limits);
    nok[ix(i)] = nok[ix(i - 1)] + (ok ? 1 : 0);
  }
  // Descending, so that every subtrahend is still a running count.
  for (int i = nsamp; i >= nlong + 1; --i) nok[ix(i)] -= nok[ix(i - nlong)];
}

void search_windows(std::span<const int> nok, int nsamp, int nlong, int nstep, int nokmin,
                    WindowTable& windows, int max_windows) {
  windows = {};
  long long next = static_cast<long long>(nlong) + 1;
  for (int k = 1; k <= max_windows; ++k) {
    if (next > nsamp) return;
    int i = static_cast<int>(next);
    while (i <= nsamp && nok[ix(i)] < nokmin) ++i;
    if (i > nsamp) return;
    windows.first.push_back(i - nlong);
    windows.last.push_back(i);
    windows.count = k;
    next = static_cast<long long>(i) + nstep;
  }
}

HvWindow window_times(const WindowTable& windows, int k, float dt) {
  return {static_cast<float>(windows.first[ix(k)] - 1) * dt,
          static_cast<float>(windows.last[ix(k)] - 1) * dt};
}

CalmWindows select_calm_windows(const Recording& rec, const SelectionParameters& par,
                                int max_windows) {
  using Outcome = CalmWindows::Outcome;
  CalmWindows out;
  const int nsamp = rec.nsamp();
  const float dt = rec.dt;
  if (nsamp <= 0) {
    out.outcome = Outcome::no_samples;
    return out;
  }
  RecordingCounts& c = out.counts;
  c = recording_counts(par, dt);
  if (c.nsta < 1 || c.nlta < 1) {
    out.outcome = Outcome::averages_too_short;
    return out;
  }
  if (c.nlong < 1 || c.nstep < 1) {
    out.outcome = Outcome::window_too_short;
    return out;
  }
  CharacteristicWork work(nsamp);
  INIWIN(work.taper, nsamp, c.nzero, c.ncos, out.taper_notes);
  condition_components(rec, work);
  out.ncz = c.nzero + c.ncos;
  if (!stalta_fits(nsamp, out.ncz, c.nsta, c.nlta)) {
    out.outcome = Outcome::recording_too_short;
    return out;
  }
  const CharacteristicStats st = characteristic(work, nsamp, out.ncz, c.nsta, c.nlta);

  AcceptanceLimits limits;
  limits.ratmin = par.ratmin;
  limits.ratmax = par.ratmax;
  limits.saturation_test = par.isatur == 1;
  limits.saturation = st.saturation;
  limits.lta_test = par.iltalev == 1;
  limits.ltathr = st.ltathr;
  limits.lta_mean = st.lta_mean;
  std::vector<int> nok(static_cast<std::size_t>(nsamp), 0);
  count_accepted(work.ratio, work.amax, work.lta, nsamp, c.nlong, limits, nok);
  search_windows(nok, nsamp, c.nlong, c.nstep, c.nokmin, out.windows, max_windows);
  return out;
}

}  // namespace hv

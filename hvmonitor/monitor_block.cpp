// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvmonitor/monitor_block.hpp"

#include <algorithm>
#include <sstream>

#include "calmpick/window_lines.hpp"
#include "common/freefmt.hpp"
#include "hvlib/select_windows.hpp"
#include "messages/hv_messages.hpp"

namespace hv {

namespace {

// A window time as ratiospec reads it back from the window file calmpick writes.
float as_written(float seconds) {
  return read_real(window_time_field(seconds)).value_or(seconds);
}

// The notices' texts on one line.
std::string one_line(const std::string& text) {
  std::istringstream in(text);
  std::string out;
  for (std::string w; in >> w;) out += (out.empty() ? "" : " ") + w;
  return out;
}

}  // namespace

PeakCriteria result_criteria(const HvResult& r, float window_length) {
  const auto from = static_cast<std::size_t>(r.rows.jfirst - 1);
  const auto n = static_cast<std::size_t>(r.rows.jlast - r.rows.jfirst + 1);
  const std::span<const float> f = std::span<const float>(r.f).subspan(from, n);
  const std::span<const float> hv = std::span<const float>(r.mean[0]).subspan(from, n);
  const std::span<const float> sd = std::span<const float>(r.sd[0]).subspan(from, n);
  std::optional<FoRange> fo;
  if (r.fo.fo != -9.0f) fo = FoRange{r.fo.minus, r.fo.plus};
  return assess_peak(f, hv, sd, window_length, r.used, fo);
}

BlockResult compute_block(BlockInput& input, const SelectionParameters& selection,
                          const HvOptions& options, const PARAMETERS& par, int threads) {
  BlockResult out;
  out.number = input.number;
  out.start = input.start;
  out.end = input.end;
  float Tmax = 0.0f;
  for (std::size_t s = 0; s < input.stretches.size(); ++s) {
    const Recording& rec = input.stretches[s];
    out.seconds += rec.nsamp() * static_cast<double>(rec.dt);
    const CalmWindows calm = select_calm_windows(rec, selection, max_windows_per_recording);
    if (calm.outcome == CalmWindows::Outcome::found) {
      for (int k = 1; k <= calm.windows.count; ++k) {
        const HvWindow t = window_times(calm.windows, k, rec.dt);
        const HvWindow w{as_written(t.start), as_written(t.end)};
        Tmax = std::max(Tmax, w.end - w.start);
        out.windows.push_back(w);
        out.stretch_of.push_back(static_cast<int>(s));
      }
    }
    Recording header = rec;
    header.component = {};
    out.headers.push_back(std::move(header));
  }
  out.selected = static_cast<int>(out.windows.size());
  if (input.stretches.empty()) {
    out.note = "no data in the block";
  } else if (out.selected < 2) {
    const bool short_data = out.seconds < static_cast<double>(selection.tlong);
    out.note = out.selected == 1 ? "one calm window only"
               : short_data      ? "less data than one calm window"
                                 : "no calm window";
  } else {
    MemorySource source(input.stretches, out.stretch_of);
    HvResult r = compute_hv(options, out.windows, source, threads);
    const bool failed = std::any_of(r.notices.begin(), r.notices.end(),
                                    [](const Notice& n) { return n.status % 2 == 1; });
    if (failed) {
      std::ostringstream text;
      const NoticeContext context{par, [](int) { return std::string_view("block"); },
                                  [](std::ostream&, int) {}};
      for (const Notice& n : r.notices) {
        if (n.status % 2 == 1) report_notice(text, n, context);
      }
      out.note = "H/V not computed: " + one_line(text.str());
    } else {
      out.criteria = result_criteria(r, Tmax);
      out.hv = std::move(r);
    }
  }
  input.stretches.clear();
  input.stretches.shrink_to_fit();
  return out;
}

}  // namespace hv

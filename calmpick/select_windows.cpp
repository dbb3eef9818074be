// SPDX-License-Identifier: GPL-3.0-or-later
#include "calmpick/select_windows.hpp"

#include <cstdio>

#include "calmpick/longcar.hpp"
#include "common/fields.hpp"

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
                    WindowTable& windows) {
  windows.count = 0;
  long long next = static_cast<long long>(nlong) + 1;
  for (int k = 1; k <= max_windows_per_recording; ++k) {
    if (next > nsamp) return;
    int i = static_cast<int>(next);
    while (i <= nsamp && nok[ix(i)] < nokmin) ++i;
    if (i > nsamp) return;
    windows.first[ix(k)] = i - nlong;
    windows.last[ix(k)] = i;
    windows.count = k;
    next = static_cast<long long>(i) + nstep;
  }
}

Name quoted_path(const Name& path) {
  const int n = LONGCAR(path.view(), static_cast<int>(Name::size()));
  std::string q = "\"";
  q += path.view().substr(0, static_cast<std::size_t>(n));
  q += '"';
  return Name(q);
}

std::string window_time_field(float seconds) {
  std::string field = fmt_F(seconds, 8, 3);
  if (field.find('*') != std::string::npos) {
    const int width = std::snprintf(nullptr, 0, "%.3f", static_cast<double>(seconds));
    field = fmt_F(seconds, width, 3);
  }
  return field;
}

std::string window_line(const Name& quoted, float start, float end, int format,
                        const std::array<Text<3>, 3>& channel, const Text<10>& station) {
  std::string line(quoted.view());
  line += "   ";
  line += window_time_field(start);
  line += "   ";
  line += window_time_field(end);
  line += ' ';
  line += fmt_I(format, 1);
  for (const auto& c : channel) {
    line += "   ";
    line += c.view();
  }
  line += "   ";
  line += station.view();
  return line;
}

void write_window_lines(std::ostream& out, const Name& path, const WindowTable& windows, float dt,
                        int format, const std::array<Text<3>, 3>& channel,
                        const Text<10>& station) {
  const Name quoted = quoted_path(path);
  for (int k = 1; k <= windows.count; ++k) {
    const float start = static_cast<float>(windows.first[ix(k)] - 1) * dt;
    const float end = static_cast<float>(windows.last[ix(k)] - 1) * dt;
    out << window_line(quoted, start, end, format, channel, station) << '\n';
  }
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/recording.hpp"

#include <chrono>

namespace hv {

std::optional<double> utc_seconds(int year, int month, int day, int hour, int minute,
                                  double seconds) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year} / month / day};
  if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59 || !(seconds >= 0.0) ||
      !(seconds < 61.0)) {
    return std::nullopt;
  }
  const auto days = static_cast<double>(sys_days{date}.time_since_epoch().count());
  return ((days * 24.0 + hour) * 60.0 + minute) * 60.0 + seconds;
}

std::string site_name(std::string_view network, std::string_view station) {
  if (station.empty()) return {};
  return network.empty() ? std::string(station) : std::string(network) + "." + std::string(station);
}

}  // namespace hv

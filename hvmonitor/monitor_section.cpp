// SPDX-License-Identifier: GPL-3.0-or-later
#include "hvmonitor/monitor_section.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "common/fields.hpp"
#include "common/freefmt.hpp"
#include "common/lines.hpp"

namespace hv {

namespace {

bool starts_with(std::string_view line, std::string_view prefix) {
  return line.substr(0, std::min(prefix.size(), line.size())) == prefix;
}

std::string trimmed(std::string_view s) {
  const auto a = s.find_first_not_of(" \t\r");
  if (a == std::string_view::npos) return {};
  const auto b = s.find_last_not_of(" \t\r");
  return std::string(s.substr(a, b - a + 1));
}

std::vector<std::string> words(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// Why a value is refused; empty when it is taken.
std::string take(const std::string& key, const std::string& value, MonitorParameters& p) {
  const auto seconds = [&](double& out, const char* what) -> std::string {
    const std::optional<double> v = parse_double(value);
    if (!v || !std::isfinite(*v) || !(*v > 0.0)) return what;
    out = *v;
    return {};
  };
  if (key == "block") return seconds(p.block, "a number of seconds above 0 is expected");
  if (key == "step") return seconds(p.step, "a number of seconds above 0 is expected");
  if (key == "start" || key == "end") {
    const std::optional<double> t = parse_utc(value);
    if (!t) return "a UTC time YYYY-MM-DDThh:mm:ss is expected";
    (key == "start" ? p.start : p.end) = *t;
    return {};
  }
  if (key == "station") {
    const std::vector<std::string> w = words(value);
    if (w.size() != 1 || w[0].size() > 5)
      return "one station code of at most 5 characters is expected";
    p.channels.station = w[0];
    return {};
  }
  if (key == "channels") {
    const std::vector<std::string> w = words(value);
    if (w.size() != 3 || w[0].size() > 3 || w[1].size() > 3 || w[2].size() > 3) {
      return "three channel codes (Z N E) of at most 3 characters are expected";
    }
    for (std::size_t k = 0; k < 3; ++k) p.channels.channel[k] = w[k];
    return {};
  }
  if (key == "block_files") {
    if (value != "yes" && value != "no") return "yes or no is expected";
    p.block_files = value == "yes";
    return {};
  }
  return "unknown";
}

}  // namespace

std::optional<double> parse_utc(std::string_view text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  const std::string t(text);
  if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' ||
      t[16] != ':') {
    return std::nullopt;
  }
  if (std::sscanf(t.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6) {
    return std::nullopt;
  }
  if (h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) return std::nullopt;
  return utc_seconds(y, mo, d, h, mi, s);
}

std::string iso_millis(double seconds) {
  using namespace std::chrono;
  const auto ms = static_cast<long long>(std::llround(seconds * 1000.0));
  const long long whole = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
  const sys_days day = floor<days>(sys_seconds{std::chrono::seconds{whole}});
  const year_month_day date{day};
  const long long in_day =
      whole - duration_cast<std::chrono::seconds>(day.time_since_epoch()).count();
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lld",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), in_day / 3600, in_day / 60 % 60, in_day % 60,
                ms - whole * 1000);
  return text;
}

int read_monitor_section(const Name& parameter_file, MonitorParameters& p, std::ostream& console) {
  const auto error = [&](const std::string& first) {
    free_line(console, " ERROR in the monitor section:");
    console << first << '\n';
    free_line(console, parameter_file.view());
    return 1;
  };
  std::ifstream in(std::string(parameter_file.trimmed()), std::ios::binary);
  if (!in) return error(" the parameter file cannot be opened");
  skip_byte_order_mark(in);
  std::string line;
  bool found = false;
  while (read_line(in, line)) {
    if (starts_with(line, "### section monitor")) {
      found = true;
      break;
    }
  }
  if (!found) return 0;
  bool step_given = false;
  while (true) {
    if (!read_line(in, line)) return error(" the file ended before '### end monitor'");
    if (starts_with(line, "### end monitor")) break;
    const std::string text = trimmed(line);
    if (text.empty() || text.front() == '#') continue;
    const auto colon = text.find(':');
    const std::string key = trimmed(text.substr(0, colon));
    const std::string value = colon == std::string::npos ? "" : trimmed(text.substr(colon + 1));
    const std::string why = take(key, value, p);
    if (why == "unknown")
      return error(" ERROR : undefined parameter key : '" + key + "' in file :");
    if (!why.empty()) {
      return error(" ERROR : value '" + value + "' of key '" + key + "' refused: " + why);
    }
    step_given = step_given || key == "step";
    p.lines.push_back(key + ": " + value);
  }
  if (!step_given) p.step = p.block;
  if (p.start && p.end && !(*p.end > *p.start)) {
    return error(" ERROR : end " + iso_millis(*p.end) + " is not after start " +
                 iso_millis(*p.start));
  }
  return 0;
}

}  // namespace hv

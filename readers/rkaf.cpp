// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/rkaf.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "common/fields.hpp"
#include "common/freefmt.hpp"
#include "readers/finite_samples.hpp"
#include "readers/source_stream.hpp"
#include "readers/text_source.hpp"

namespace hv {

namespace {

// Line 1 and header lines are read as texts of this many characters.
constexpr std::size_t header_width = 100;
constexpr std::string_view unset = kaf::unset_text;

// The ten header keys; the first eight are required.
constexpr std::array<std::string_view, 10> keys = {"STA_CODE",  "SAMP_FREQ", "NDAT",   "START_TIME",
                                                   "UNITS",     "CH0_ID",    "CH1_ID", "CH2_ID",
                                                   "NORTH_ROT", "GAIN"};
enum Key { sta_code, samp_freq, ndat, start_time, units, ch0_id, ch1_id, ch2_id, north_rot, gain };
constexpr int required_keys = 8;

bool is_set(const std::string& slot) {
  return !blank_equal(slot, unset);
}

struct StartTime {
  std::array<int, 5> fields;  // year, month, day, hour, minute
  float seconds;
};

// Year, month, day, hour and minute as integers and the seconds as a real, read in
// free format. Null values and a slash are refused: they would leave a field unset.
std::optional<StartTime> read_start_time(std::string_view text) {
  StartTime t{};
  ListScanner scan(text);
  for (int i = 0; i < 6; ++i) {
    std::string_view item;
    if (scan.next(item) != ListScanner::Item::value) return std::nullopt;
    if (i < 5) {
      const auto field = parse_int(item);
      if (!field) return std::nullopt;
      t.fields[static_cast<std::size_t>(i)] = *field;
    } else {
      const auto seconds = parse_real(item);
      // Whole seconds must fit an integer.
      if (!seconds || !(std::fabs(*seconds) < 2.0e9f)) return std::nullopt;
      t.seconds = *seconds;
    }
  }
  return t;
}

// The header values in their own types, checked before anything is stored.
// A header number with a second number after it ("62,5" with a decimal comma, "62 5")
// would be read as its first part alone; a unit word after the value is fine.
bool holds_second_number(std::string_view value) {
  std::size_t i = value.find_first_not_of(' ');
  if (i == std::string_view::npos) return false;
  i = value.find_first_of(" ,/", i);
  if (i == std::string_view::npos || value[i] == '/') return false;
  i = value.find_first_not_of(' ', i);
  if (i != std::string_view::npos && value[i] == ',') i = value.find_first_not_of(' ', i + 1);
  if (i == std::string_view::npos) return false;
  const char c = value[i];
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

struct Converted {
  KAFHDR8 hdr;
  Key bad_key = sta_code;
  std::string reason;
};

bool convert(const std::array<std::string, keys.size()>& slot, Converted& out) {
  KAFHDR8& hdr = out.hdr;
  const auto refuse = [&out](Key key, const char* why) {
    out.bad_key = key;
    out.reason = std::string(keys[key]) + why;
    return false;
  };

  hdr.sta_code = slot[sta_code];
  for (const Key key : {samp_freq, ndat, north_rot, gain}) {
    if (holds_second_number(slot[key]))
      return refuse(key, " holds a second number after its value");
  }

  const auto freq = read_real(slot[samp_freq]);
  if (!freq) return refuse(samp_freq, " is not a number");
  if (!(*freq > 0.0f) || !std::isfinite(1.0f / *freq)) {
    return refuse(samp_freq, " must be greater than zero");
  }
  hdr.samp_freq = *freq;

  const auto count = read_int(slot[ndat]);
  if (!count) return refuse(ndat, " is not a whole number");
  if (*count < 0) return refuse(ndat, " must not be negative");
  hdr.ndat = *count;

  const auto start = read_start_time(slot[start_time]);
  if (!start) return refuse(start_time, " must hold year, month, day, hour, minute and seconds");
  hdr.start_year = start->fields[0];
  hdr.start_month = start->fields[1];
  hdr.start_day = start->fields[2];
  hdr.start_hour = start->fields[3];
  hdr.start_minute = start->fields[4];
  hdr.start_seconds = start->seconds;
  hdr.start_second = static_cast<int>(start->seconds);
  hdr.start_msec =
      static_cast<int>((start->seconds - static_cast<float>(hdr.start_second)) * 1000.0f + 0.5f);

  hdr.units = slot[units];
  hdr.ch0_id = slot[ch0_id];
  hdr.ch1_id = slot[ch1_id];
  hdr.ch2_id = slot[ch2_id];

  if (is_set(slot[north_rot])) {
    const auto rot = read_real(slot[north_rot]);
    if (!rot) return refuse(north_rot, " is not a number");
    hdr.north_rot = *rot;
  }
  if (is_set(slot[gain])) {
    const auto g = read_real(slot[gain]);
    if (!g) return refuse(gain, " is not a number");
    if (*g == 0.0f) return refuse(gain, " must not be zero");
    hdr.gain = *g;
  }
  return true;
}

}  // namespace

int RKAF(const ReadSource& file, int max_samples, int header_only, Recording& rec, int& ndat,
         float& samp_freq, KAFHDR8& hdr, UnitTable& units) {
  std::string reason;
  return RKAF(file, max_samples, header_only, rec, ndat, samp_freq, hdr, units, reason);
}

int RKAF(const ReadSource& file, int max_samples, int header_only, Recording& rec, int& ndat,
         float& samp_freq, KAFHDR8& hdr, UnitTable& units, std::string& reason) {
  reason.clear();
  samp_freq = kaf::unset_real;
  ndat = kaf::unset_int;
  hdr = KAFHDR8{};
  std::array<std::string, keys.size()> slot;
  slot.fill(std::string(unset));
  std::array<int, keys.size()> slot_line{};

  SourceStream in(file, units);
  switch (in.open()) {
    case SourceStream::Status::ok:
      break;
    case SourceStream::Status::no_unit:
      return kaf::no_free_unit;
    default:
      return kaf::cannot_open;
  }
  TextSource reader(in.buffer());

  std::string line;
  if (!reader.line(line, header_width)) return kaf::line_base + 1;
  if (line.compare(0, kaf::format_line.size(), kaf::format_line) != 0) return kaf::not_kaf;

  constexpr int last_line = std::numeric_limits<int>::max() - kaf::line_base;
  for (int n = 2;; ++n) {
    if (n == last_line || !reader.line(line, header_width)) {
      reason = "the file ends before the header separator line";
      return kaf::line_base + n;
    }
    line.resize(header_width, ' ');
    if (line.compare(0, kaf::separator.size(), kaf::separator) == 0) break;
    if (line.front() == '#' || JLEN(line) == 0) continue;
    std::string key, value;
    SPLTCT8(line, key, value, '=', static_cast<int>(header_width));
    TOUPS8(key);
    const auto k = std::find_if(keys.begin(), keys.end(),
                                [&key](std::string_view name) { return blank_equal(key, name); });
    if (k == keys.end()) return kaf::line_base + n;
    const auto index = static_cast<std::size_t>(k - keys.begin());
    slot[index] = std::move(value);
    slot_line[index] = n;
  }

  for (int k = 0; k < required_keys; ++k) {
    if (!is_set(slot[static_cast<std::size_t>(k)])) return kaf::keys_not_set;
  }
  Converted converted;
  if (!convert(slot, converted)) {
    reason = std::move(converted.reason);
    return kaf::line_base + slot_line[converted.bad_key];
  }
  hdr = converted.hdr;
  ndat = hdr.ndat;
  samp_freq = hdr.samp_freq;

  if (header_only == 1) return kaf::ok;
  if (ndat > std::max(max_samples, 0)) return kaf::too_many_samples;

  const auto n = static_cast<std::size_t>(ndat);
  rec.resize(storable_samples(n, in));
  const std::span<float> c1 = rec.component[0], c2 = rec.component[1], c3 = rec.component[2];
  std::array<float, 3> v{};
  for (std::size_t k = 0; k < n; ++k) {
    if (k == c1.size() || reader.sample(v) != TextSource::Sample::ok) return kaf::bad_sample;
    c1[k] = v[0];
    c2[k] = v[1];
    c3[k] = v[2];
  }
  if (hdr.gain != kaf::unset_real) {
    for (const std::span<float> column : {c1, c2, c3}) {
      for (std::size_t k = 0; k < n; ++k) column[k] /= hdr.gain;
    }
    if (first_non_finite(rec) != 0) return kaf::not_finite;
  }
  return kaf::ok;
}

namespace {

std::optional<double> kaf_start_time(const KAFHDR8& hdr) {
  if (hdr.start_year == kaf::unset_int) return std::nullopt;
  return utc_seconds(hdr.start_year, hdr.start_month, hdr.start_day, hdr.start_hour,
                     hdr.start_minute, hdr.start_second + hdr.start_msec * 1.0e-3);
}

}  // namespace

int read_kaf(const ReadSource& file, const ChannelRequest& /*want*/, Voice /*voice*/,
             int max_samples, Recording& rec, UnitTable& units, ReadNotes& notes) {
  KAFHDR8 hdr;
  int ndat = 0;
  float samp_freq = 0.0f;
  std::string reason;
  const int status = RKAF(file, max_samples, 0, rec, ndat, samp_freq, hdr, units, reason);
  rec.channel = {Text<3>("Z"), Text<3>("NS"), Text<3>("EW")};
  rec.station = "TEST";
  if (status != kaf::ok) {
    notes.push_back({format::kaf, status, {ndat, max_samples}, {}, {reason}});
    return status == kaf::not_kaf ? read_status::not_format : read_status::failed;
  }
  rec.dt = 1.0f / samp_freq;
  rec.start_time = kaf_start_time(hdr);
  if (hdr.sta_code.trimmed() != unset) rec.site = hdr.sta_code.trimmed();
  rec.labels = {Text<12>(hdr.ch0_id), Text<12>(hdr.ch1_id), Text<12>(hdr.ch2_id),
                Text<12>(hdr.units)};
  return read_status::ok;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/gsein.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

#include "common/fields.hpp"
#include "common/freefmt.hpp"
#include "readers/compdecomp.hpp"

namespace hv {

void INIT_HDRVARS(GSEHDR& hdr) {
  const int verbosity = hdr.verbosity;
  const Text<12> coordsys = hdr.coordsys;
  hdr = GSEHDR{};
  hdr.verbosity = verbosity;
  hdr.coordsys = coordsys;
}

void JULIEN(int& day, int& month, int& year, int& jday, int mode) {
  if (year < 1900) year += 1900;
  if (year < 1970) year += 100;
  std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year % 4 == 0) days[1] = 29;
  const int year_days = year % 4 == 0 ? 366 : 365;
  if (mode > 0) {
    if (month < 1 || month > 12) return;
    int sum = day;
    for (int m = 0; m < month - 1; ++m) sum += days[static_cast<std::size_t>(m)];
    jday = sum;
    return;
  }
  if (jday < 1 || jday > year_days) return;
  int rest = jday;
  int m = 0;
  while (rest > days[static_cast<std::size_t>(m)]) rest -= days[static_cast<std::size_t>(m++)];
  month = m + 1;
  day = rest;
}

void REMDIF1(std::span<std::int32_t> x) {
  for (std::size_t i = 1; i < x.size(); ++i) {
    x[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(x[i]) +
                                     static_cast<std::uint32_t>(x[i - 1]));
  }
}

std::int32_t ICHECK_SUM_GSE1(std::span<const std::int32_t> x) {
  std::uint32_t sum = 0;
  for (const std::int32_t v : x) sum += static_cast<std::uint32_t>(v);
  return static_cast<std::int32_t>(sum);
}

std::int32_t ICHECK_SUM_GSE2(std::span<const std::int32_t> x) {
  constexpr std::int64_t modulo = 100000000;
  std::int64_t sum = 0;
  for (const std::int32_t v : x) {
    std::int64_t s = v;
    if (s > modulo - 1 || s < -(modulo - 1)) s %= modulo;
    sum += s;
    if (sum >= modulo || sum <= -modulo) sum %= modulo;
  }
  return static_cast<std::int32_t>(sum < 0 ? -sum : sum);
}

namespace {

// The header line is remembered as the line buffer holds it: 132 characters.
constexpr std::size_t line_width = 132;

bool starts_with(std::string_view line, std::string_view key) {
  return line.substr(0, key.size()) == key;
}

std::string_view strip(std::string_view s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string_view::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// Columns first..last (counted from 1) of a line, as far as the line reaches.
std::string_view columns(std::string_view line, std::size_t first, std::size_t last) {
  if (line.size() < first) return {};
  return line.substr(first - 1, std::min(last, line.size()) - (first - 1));
}

// Reads the fixed-column fields of a header line and remembers the first one that
// cannot be read. A blank field leaves its value as it was, unless it is required.
class Fields {
 public:
  explicit Fields(std::string_view line) : line_(line) {}

  void integer(std::size_t a, std::size_t b, int& out, const char* name, bool required = true) {
    const std::string_view text = strip(columns(line_, a, b));
    if (text.empty() && !required) return;
    const auto v = parse_int(text);
    if (v) {
      out = *v;
    } else if (bad_ == nullptr) {
      bad_ = name;
    }
  }
  template <typename Real>
  void real(std::size_t a, std::size_t b, Real& out, const char* name, bool required = false) {
    const std::string_view text = strip(columns(line_, a, b));
    if (text.empty() && !required) return;
    const std::optional<double> v = parse_double(text);
    if (v && std::fabs(*v) <= std::numeric_limits<Real>::max()) {
      out = static_cast<Real>(*v);
    } else if (bad_ == nullptr) {
      bad_ = name;
    }
  }
  // Texts are taken without leading blanks: the window file carries codes as
  // blank-separated words, so a code written right-aligned must still match.
  template <std::size_t N>
  void text(std::size_t a, std::size_t b, Text<N>& out) {
    out = strip(columns(line_, a, b));
  }
  const char* bad() const { return bad_; }

 private:
  std::string_view line_;
  const char* bad_ = nullptr;
};

class WaveformReader {
 public:
  WaveformReader(GseLines& in, GseBuffers& buffers, GSEHDR& hdr, GseWaveform& out, ReadNotes& notes)
      : in_(in), buf_(buffers), hdr_(hdr), out_(out), notes_(notes) {}

  int read();

 private:
  template <typename... Pieces>
  void trace(int level, const Pieces&... pieces) {
    if (hdr_.verbosity > level) out_.trace.push_back(free_text(pieces...));
  }
  int fail(std::string why) {
    out_.failure = std::move(why);
    return gse::bad_waveform;
  }
  bool header_failed(const Fields& f) {
    if (f.bad() == nullptr) return false;
    out_.failure = std::string("the ") + f.bad() + " in the header cannot be read";
    return true;
  }
  int header2(std::string_view line);
  int header1(std::string_view line);
  int data2();
  int data1();
  int finish();
  // Reads lines up to one that begins with key; false at the end of the file.
  bool find_line(std::string_view key, std::string_view& line) {
    while (in_.line(line)) {
      if (starts_with(line, key)) return true;
    }
    return false;
  }
  bool free_samples();
  bool fixed_samples(int width);
  bool compressed(int n, std::string_view end_key);
  bool checksum(std::string_view line, std::size_t first, std::size_t last);
  std::span<std::int32_t> samples() {
    return {buf_.samples.data(), static_cast<std::size_t>(hdr_.samps)};
  }
  // Sample k (0-based) of a waveform read value by value. The store grows with the
  // values read, not with the header's count, which may be false.
  std::int32_t& sample(int k) {
    const auto i = static_cast<std::size_t>(k);
    if (i == buf_.samples.size()) {
      buf_.samples.resize(std::min(static_cast<std::size_t>(hdr_.samps), 2 * i + 4096));
    }
    return buf_.samples[i];
  }

  GseLines& in_;
  GseBuffers& buf_;
  GSEHDR& hdr_;
  GseWaveform& out_;
  ReadNotes& notes_;
};

int WaveformReader::read() {
  trace(2, "-- entering gsein");
  std::string_view line;
  for (;;) {
    if (!in_.line(line)) return gse::end_of_file;
    if (starts_with(line, "WID1")) {
      hdr_.version = 1;
      break;
    }
    if (starts_with(line, "WID2")) {
      hdr_.version = 2;
      break;
    }
  }
  out_.header_line = strip(line.substr(0, line_width));
  trace(3, "-- found hdr line: ", out_.header_line);
  const int status = hdr_.version == 2 ? header2(line) : header1(line);
  if (status != gse::ok || hdr_.samps > buf_.max_samples) return status;
  const int data = hdr_.version == 2 ? data2() : data1();
  if (data != gse::ok) return data;
  return finish();
}

int WaveformReader::header2(std::string_view line) {
  trace(0, "-- reading GSE2.0 format data");
  Fields f(line);
  double seconds = 0.0;
  f.integer(6, 9, hdr_.year, "year");
  f.integer(11, 12, hdr_.month, "month");
  f.integer(14, 15, hdr_.day, "day");
  f.integer(17, 18, hdr_.hour, "hour");
  f.integer(20, 21, hdr_.minute, "minute");
  f.real(23, 28, seconds, "seconds", true);
  f.text(30, 34, hdr_.station);
  f.text(36, 38, hdr_.channel);
  f.text(40, 43, hdr_.auxid);
  f.text(45, 47, hdr_.datatype);
  f.integer(49, 56, hdr_.samps, "number of samples");
  f.real(58, 68, hdr_.samprat, "sampling rate", true);
  f.real(70, 79, hdr_.calib, "calibration factor");
  f.real(81, 87, hdr_.calper, "calibration period");
  f.text(89, 94, hdr_.instype);
  f.real(96, 100, hdr_.hang, "horizontal angle");
  f.real(102, 105, hdr_.vang, "vertical angle");
  if (header_failed(f)) return gse::bad_waveform;
  if (!(std::fabs(seconds) < 1.0e9)) return fail("the seconds in the header are out of range");
  hdr_.second = static_cast<int>(seconds);
  hdr_.msec = static_cast<int>(std::lround((seconds - hdr_.second) * 1000.0));
  trace(3, "-- got start time: ", hdr_.year, hdr_.month, hdr_.day, hdr_.hour, hdr_.minute,
        hdr_.second, hdr_.msec);
  if (hdr_.samps < 0) return fail("the number of samples is negative");
  if (!(hdr_.samprat > 0.0f) || !std::isfinite(1.0f / hdr_.samprat)) {
    return fail("the sampling rate is not a positive number");
  }
  if (hdr_.samps > buf_.max_samples) return gse::ok;
  JULIEN(hdr_.day, hdr_.month, hdr_.year, hdr_.jday, 1);

  trace(3, "-- find DAT2");
  std::string_view next;
  for (;;) {
    if (!in_.line(next)) return fail("the file ends before the DAT2 line");
    if (starts_with(next, "DAT2")) return gse::ok;
    if (!starts_with(next, "STA2")) continue;
    Fields s(next);
    s.text(6, 14, hdr_.network);
    s.real(16, 24, hdr_.lat, "latitude");
    s.real(26, 35, hdr_.lon, "longitude");
    s.text(37, 48, hdr_.coordsys);
    float elev = hdr_.elev / 1000.0f, edepth = hdr_.edepth / 1000.0f;
    s.real(50, 54, elev, "elevation");
    s.real(56, 60, edepth, "depth");
    if (header_failed(s)) return gse::bad_waveform;
    hdr_.elev = elev * 1000.0f;
    hdr_.edepth = edepth * 1000.0f;
    trace(3, "-- found STA2 ", hdr_.network.trimmed(), hdr_.lat, hdr_.lon, hdr_.coordsys.trimmed(),
          hdr_.elev, hdr_.edepth);
  }
}

int WaveformReader::header1(std::string_view line) {
  trace(0, "-- reading GSE1.0 format data");
  Fields f(line);
  Text<2> channel;
  f.integer(7, 10, hdr_.year, "year");
  f.integer(11, 13, hdr_.jday, "day of year");
  f.integer(15, 16, hdr_.hour, "hour");
  f.integer(18, 19, hdr_.minute, "minute");
  f.integer(21, 22, hdr_.second, "second");
  f.integer(24, 26, hdr_.msec, "millisecond");
  f.integer(28, 35, hdr_.samps, "number of samples");
  f.text(37, 42, hdr_.station);
  f.text(44, 51, hdr_.auxid);
  // The two letters as they stand: a blank first letter stays a blank.
  channel = columns(line, 53, 54);
  f.real(56, 66, hdr_.samprat, "sampling rate", true);
  f.text(68, 73, hdr_.instype);
  f.text(75, 78, hdr_.datatype);
  f.integer(80, 80, hdr_.ndiff, "number of differences", false);
  if (header_failed(f)) return gse::bad_waveform;

  std::string_view second_line;
  if (!in_.line(second_line)) return fail("the file ends before the second header line");
  Fields g(second_line);
  g.real(1, 9, hdr_.calib, "calibration factor");
  g.integer(10, 10, hdr_.calib_type, "calibration type", false);
  g.real(11, 17, hdr_.calper, "calibration period");
  g.real(19, 27, hdr_.lat, "latitude");
  g.real(29, 37, hdr_.lon, "longitude");
  g.real(39, 47, hdr_.elev, "elevation");
  g.real(49, 57, hdr_.edepth, "depth");
  g.real(59, 65, hdr_.gse1_extra1, "field 8 of the second header line");
  g.real(67, 73, hdr_.gse1_extra2, "field 9 of the second header line");
  g.real(75, 80, hdr_.hang, "horizontal angle");
  g.real(82, 87, hdr_.vang, "vertical angle");
  if (header_failed(g)) return gse::bad_waveform;
  if (hdr_.samps < 0) return fail("the number of samples is negative");
  if (hdr_.ndiff < 0) return fail("the number of differences is negative");
  if (!(hdr_.samprat > 0.0f) || !std::isfinite(1.0f / hdr_.samprat)) {
    return fail("the sampling rate is not a positive number");
  }
  if (hdr_.samps > buf_.max_samples) return gse::ok;
  JULIEN(hdr_.day, hdr_.month, hdr_.year, hdr_.jday, 0);
  std::array<char, 3> three = {channel[0], 'H', channel[1]};
  CASEFOLD(three);
  hdr_.channel = strip({three.data(), three.size()});

  trace(3, "-- find DAT1");
  std::string_view next;
  if (!find_line("DAT1", next)) return fail("the file ends before the DAT1 line");
  return gse::ok;
}

bool WaveformReader::free_samples() {
  const int n = hdr_.samps;
  for (int k = 0; k < n; ++k) {
    std::int32_t& v = sample(k);
    switch (in_.next_int(v)) {
      case GseLines::Read::value:
        continue;
      case GseLines::Read::end:
        fail(free_text("the file ends after", k, " of", n, " samples"));
        return false;
      case GseLines::Read::bad:
        fail(free_text("sample", k + 1, " cannot be read"));
        return false;
    }
  }
  if (n > 0) in_.skip_line();
  return true;
}

bool WaveformReader::fixed_samples(int width) {
  const int n = hdr_.samps;
  if (n == 0) return true;
  std::string_view line;
  if (!in_.line(line)) {
    fail(free_text("the file ends after 0 of", n, " samples"));
    return false;
  }
  const auto w = static_cast<std::size_t>(width);
  const std::size_t per_line = (static_cast<std::size_t>(TRIMLEN(line)) + w - 1) / w;
  int k = 0;
  for (;;) {
    for (std::size_t j = 0; j < per_line && k < n; ++j, ++k) {
      const auto v = parse_int(strip(columns(line, j * w + 1, j * w + w)));
      if (!v) {
        fail(free_text("sample", k + 1, " cannot be read"));
        return false;
      }
      sample(k) = *v;
    }
    if (k == n) return true;
    if (!in_.line(line)) {
      fail(free_text("the file ends after", k, " of", n, " samples"));
      return false;
    }
  }
}

bool WaveformReader::compressed(int n, std::string_view end_key) {
  trace(3, "-- reading CM", n);
  std::vector<char>& text = buf_.text;
  const std::size_t capacity = buf_.text_capacity;
  std::size_t used = 0;
  std::string_view line;
  for (;;) {
    if (!in_.line(line)) {
      fail(free_text("the file ends before the ", strip(end_key), " line"));
      return false;
    }
    if (starts_with(line, end_key)) break;
    // Trailing blanks are not data; a blank line still gives one blank, which ends
    // CM6 data.
    const auto length = static_cast<std::size_t>(TRIMLEN(line));
    if (length > capacity - used) {
      fail(free_text("the compressed data are longer than", static_cast<long long>(capacity),
                     " characters"));
      return false;
    }
    if (text.size() < used + length) {
      text.resize(std::min(capacity, 2 * (used + length) + 4096));
    }
    if (line.empty()) {
      text[used] = ' ';
    } else {
      std::memcpy(text.data() + used, line.data(), length);
    }
    used += length;
  }
  if (!checksum(line, 5, line.size())) return false;

  trace(3, "-- decompress", n);
  // Every sample takes at least one character, so this store holds all the text can
  // give up to the limit: only a text of more samples than the limit overflows it.
  const auto limit = static_cast<std::size_t>(buf_.max_samples);
  buf_.samples.resize(std::min(limit, std::max(static_cast<std::size_t>(hdr_.samps), used)));
  const Decoded d = decoder_for(n)({text.data(), used}, buf_.samples);
  if (d.flag == -1) notes_.push_back({format::gse, gse::decoder_full, {}, {}, {}});
  if (d.count != hdr_.samps) {
    notes_.push_back({format::gse, gse::count_differs, {hdr_.samps, d.count}, {}, {}});
  }
  if (d.count < hdr_.samps) {
    fail(free_text("the compressed data hold", d.count, " of", hdr_.samps, " samples"));
    return false;
  }
  return true;
}

bool WaveformReader::checksum(std::string_view line, std::size_t first, std::size_t last) {
  const auto v = read_int(columns(line, first, last));
  if (!v) {
    fail("the checksum cannot be read");
    return false;
  }
  out_.checksum = *v;
  return true;
}

int WaveformReader::data2() {
  const std::string_view type = hdr_.datatype.trimmed();
  if (type == "INT") {
    trace(3, "-- reading INT data");
    if (!free_samples()) return gse::bad_waveform;
    std::string_view line;
    if (!find_line("CHK2 ", line)) return fail("the file ends before the CHK2 line");
    return checksum(line, 5, line.size()) ? gse::ok : gse::bad_waveform;
  }
  if (type.size() == 3 && starts_with(type, "CM") && decoder_for(type[2] - '0') != nullptr) {
    if (!compressed(type[2] - '0', "CHK2 ")) return gse::bad_waveform;
    trace(3, "-- remove 2 differences");
    REMDIF1(samples());
    REMDIF1(samples());
    return gse::ok;
  }
  return fail(free_text("the data type ", type, " is not supported"));
}

int WaveformReader::data1() {
  const std::string_view type = hdr_.datatype.trimmed();
  const bool digit = type.size() == 4 && type[3] >= '0' && type[3] <= '9';
  bool read = false;
  if (type == "INTV") {
    trace(3, "-- read INTV data");
    read = free_samples();
  } else if (digit && starts_with(type, "INT") && type[3] != '0') {
    trace(3, "-- read INTx data");
    read = fixed_samples(type[3] - '0');
  } else if (digit && starts_with(type, "CMP") && decoder_for(type[3] - '0') != nullptr) {
    trace(3, "-- read CMPx data");
    if (!compressed(type[3] - '0', "CHK1")) return gse::bad_waveform;
  } else {
    return fail(free_text("the data type ", type, " is not supported"));
  }
  if (!starts_with(type, "CMP")) {
    if (!read) return gse::bad_waveform;
    std::string_view line;
    if (!in_.line(line)) return fail("the file ends before the checksum line");
    // Read from column 5 on, as for CMP data: a checksum of ten digits and a sign
    // written after CHK1 in 15 columns starts before column 11.
    if (!checksum(line, 5, line.size())) return gse::bad_waveform;
  }
  trace(3, "-- remove differences diff:", hdr_.ndiff, " no. samples: ", hdr_.samps);
  for (int pass = 0; pass < hdr_.ndiff; ++pass) REMDIF1(samples());
  return gse::ok;
}

int WaveformReader::finish() {
  trace(3, "-- check checksums");
  const std::span<const std::int32_t> x = samples();
  const std::int32_t computed = hdr_.version == 1 ? ICHECK_SUM_GSE1(x) : ICHECK_SUM_GSE2(x);
  // GSE2.0 writers store the checksum with either sign; its magnitude is what counts.
  const std::int64_t read = out_.checksum;
  const bool same = hdr_.version == 1 ? read == computed : (read < 0 ? -read : read) == computed;
  if (!same) {
    notes_.push_back(
        {format::gse, gse::checksum_differs, {out_.checksum, computed}, {}, {out_.header_line}});
    out_.checksum = computed;
  }
  trace(2, "-- leaving gsein");
  return gse::ok;
}

}  // namespace

int GSEIN(GseLines& in, GseBuffers& buffers, GSEHDR& hdr, GseWaveform& out, ReadNotes& notes) {
  hdr.coordsys = Text<12>{};
  out = GseWaveform{};
  return WaveformReader(in, buffers, hdr, out, notes).read();
}

}  // namespace hv

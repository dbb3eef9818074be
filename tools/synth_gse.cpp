// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/synth_gse.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace hv::synth {

namespace {

constexpr char cm6_alphabet[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

void refuse(const std::string& why) {
  throw std::invalid_argument("GSE writer: " + why);
}

std::uint32_t magnitude(std::int64_t x) {
  return static_cast<std::uint32_t>(x < 0 ? -x : x);
}

// A magnitude in a first character of `first_bits` value bits and as many
// continuation characters of `cont_bits` as it needs, most significant first.
// Continuation flags are 1 << cont_bits on continuation characters and on the first.
void put_value(std::string& out, std::uint32_t m, bool negative, int first_bits, int cont_bits,
               bool cm6) {
  int k = 0;
  while (k < 8 && (std::uint64_t{m} >> (first_bits + cont_bits * k)) != 0) ++k;
  const std::uint64_t cont_flag = std::uint64_t{1} << cont_bits;
  const std::uint64_t sign_flag = std::uint64_t{1} << first_bits;
  std::array<std::uint64_t, 9> codes{};
  codes[0] = ((std::uint64_t{m} >> (cont_bits * k)) & (sign_flag - 1)) |
             (negative ? sign_flag : 0) | (k > 0 ? cont_flag : 0);
  for (int j = k - 1, i = 1; j >= 0; --j, ++i) {
    codes[static_cast<std::size_t>(i)] =
        ((std::uint64_t{m} >> (cont_bits * j)) & (cont_flag - 1)) | (j > 0 ? cont_flag : 0);
  }
  for (int i = 0; i <= k; ++i) {
    const auto c = codes[static_cast<std::size_t>(i)];
    out += cm6 ? cm6_alphabet[c] : static_cast<char>(static_cast<unsigned char>(c));
  }
}

// A line feed inside the text would cut its line in two; a carriage return or a blank
// is lost only at the end of a line, which text_lines avoids except at the very end.
bool breaks_lines(char c, bool ends_text) {
  return c == '\n' || (ends_text && (c == '\r' || c == ' '));
}

std::string format(const char* fmt, auto... values) {
  char buf[256];
  const int n = std::snprintf(buf, sizeof buf, fmt, values...);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof buf) refuse("line too long");
  return std::string(buf, static_cast<std::size_t>(n));
}

// A real in a field of `width` columns: fixed point with `decimals` or fewer, or an
// exponent form, whichever reads back as the value.
std::string real_field(double v, int width, int decimals) {
  for (int d = decimals; d >= 0; --d) {
    const std::string s = format("%*.*f", width, d, v);
    if (static_cast<int>(s.size()) == width && std::stod(s) == v) return s;
  }
  for (int d = width - 7; d >= 0; --d) {
    const std::string s = format("%*.*e", width, d, v);
    if (static_cast<int>(s.size()) == width && std::stod(s) == v) return s;
  }
  refuse("the value " + std::to_string(v) + " does not fit " + std::to_string(width) + " columns");
  return {};
}

// Three significant digits, as the GSE2.0 header writes the calibration.
double round3(double v) {
  return std::stod(format("%.2e", v));
}

}  // namespace

std::string encode_cm(int n, std::span<const std::int32_t> x,
                      std::span<const std::size_t> corrected, bool end_marker) {
  if (n != 6 && n != 7 && n != 8) refuse("compression must be 6, 7 or 8");
  const int first_bits = n == 6 ? 4 : n - 2;
  const int cont_bits = n - 1;
  const char escape = static_cast<char>(1 << (n - 1));
  std::string out;
  out.reserve(x.size() * 3);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const std::size_t mark = out.size();
    put_value(out, magnitude(x[i]), x[i] < 0, first_bits, cont_bits, n == 6);
    const bool asked = std::find(corrected.begin(), corrected.end(), i) != corrected.end();
    const bool ends_text = i + 1 == x.size() && !end_marker;
    if (n == 6 || (!asked && !breaks_lines(out.back(), ends_text))) continue;
    // The reader moves a sample 32 toward zero after the pair: write it 32 further
    // out, above zero (x + 32) or below (x - 32), whichever exists and keeps its last
    // character off line ends.
    const std::int64_t v = x[i];
    bool written = false;
    for (const std::int64_t s : {v + 32, v - 32}) {
      if ((s >= 0) != (s == v + 32) || s > std::numeric_limits<std::int32_t>::max()) continue;
      out.resize(mark);
      put_value(out, magnitude(s), s < 0, first_bits, cont_bits, false);
      written = !breaks_lines(out.back(), ends_text);
      if (written) break;
    }
    if (!written) refuse("a sample cannot be kept off line ends");
    out += escape;
    out += '\1';
  }
  if (end_marker) {
    if (n == 6) refuse("CM6 has no end marker");
    out += escape;
    out += escape;
  }
  return out;
}

void difference(std::span<std::int32_t> x) {
  for (std::size_t i = x.size(); i-- > 1;) {
    x[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(x[i]) -
                                     static_cast<std::uint32_t>(x[i - 1]));
  }
}

std::int32_t gse1_checksum(std::span<const std::int32_t> x) {
  std::uint32_t sum = 0;
  for (const std::int32_t v : x) sum += static_cast<std::uint32_t>(v);
  return static_cast<std::int32_t>(sum);
}

std::int32_t gse2_checksum(std::span<const std::int32_t> x) {
  constexpr std::int64_t modulo = 100000000;
  std::int64_t sum = 0;
  for (const std::int32_t v : x) {
    sum += std::abs(std::int64_t{v}) >= modulo ? v % modulo : v;
    if (std::abs(sum) >= modulo) sum %= modulo;
  }
  return static_cast<std::int32_t>(std::abs(sum));
}

double velocity_factor(const GseChannel& channel, int version) {
  constexpr double two_pi = 2.0 * std::numbers::pi;
  const int type = version == 2 ? 0 : channel.calib_type;
  if (type == 0) return channel.calib * two_pi / channel.calper * 1.0e-9;
  if (type == 1) return channel.calib * 1.0e-9;
  if (type == 2) return channel.calib * channel.calper / two_pi * 1.0e-9;
  return 1.0;
}

namespace {

std::string header2(const GseChannel& c, const std::string& datatype) {
  if (c.station.size() > 5 || c.channel.size() > 3) refuse("station or channel too long");
  // Blank auxiliary id and instrument type; angles -1.0.
  return format(
             "WID2 2003/06/14 14:40:30.000 %-5s %-3s      %-3s %8zu %11.6f %10.2e %7.3f"
             "         -1.0 -1.0",
             c.station.c_str(), c.channel.c_str(), datatype.c_str(), c.counts.size(), c.samprat,
             c.calib, c.calper) +
         "\nSTA2 SYNNET     46.50000    6.50000 WGS-84       0.250 0.000";
}

std::string header1(const GseChannel& c, const GseStyle& style) {
  if (c.station.size() > 6 || c.channel.size() != 2) refuse("station or channel does not fit");
  if (c.samprat >= 1000.0) refuse("sampling rate does not fit");
  if (style.ndiff < 0 || style.ndiff > 9) refuse("differences must be 0 to 9");
  // 14 June 2003 is day 165.
  return format("WID1  2003165 14 40 30 000 %8zu %-6s SYNTHETI %-2s %11.7f NOTYPE %-4s %1d",
                c.counts.size(), c.station.c_str(), c.channel.c_str(), c.samprat,
                style.datatype.c_str(), style.ndiff) +
         "\n" + real_field(c.calib, 9, 6) + format("%1d", c.calib_type) +
         real_field(c.calper, 7, 4) + "    0.0000    0.0000    0.0000 -999.0000   -1.00   -1.00" +
         "   -1.0   -1.0";
}

// Blank-separated values, lines of at most `length` characters.
void free_lines(std::vector<std::string>& lines, std::span<const std::int32_t> x,
                std::size_t length) {
  std::string line;
  for (const std::int32_t v : x) {
    const std::string item = std::to_string(v);
    if (!line.empty() && line.size() + 1 + item.size() > length) {
      lines.push_back(line);
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += item;
  }
  if (!line.empty()) lines.push_back(line);
}

void fixed_lines(std::vector<std::string>& lines, std::span<const std::int32_t> x,
                 std::size_t width, std::size_t length) {
  const std::size_t per_line = std::max<std::size_t>(1, length / width);
  std::string line;
  for (const std::int32_t v : x) {
    const std::string item = std::to_string(v);
    if (item.size() > width) refuse("sample " + item + " does not fit its field");
    line += std::string(width - item.size(), ' ') + item;
    if (line.size() == per_line * width) {
      lines.push_back(line);
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(line);
}

// Compressed text cut into lines: no line may begin like a checksum line, nor end in
// a character that the reader takes for part of the line end.
void text_lines(std::vector<std::string>& lines, const std::string& text, std::size_t length) {
  if (text.compare(0, 3, "CHK") == 0) refuse("compressed text begins like a checksum line");
  const auto bad_break = [&text](std::size_t at) {
    return text.compare(at, 3, "CHK") == 0 || text[at - 1] == ' ' || text[at - 1] == '\r';
  };
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t n = std::min(length, text.size() - p);
    while (p + n < text.size() && bad_break(p + n)) ++n;
    lines.push_back(text.substr(p, n));
    p += n;
  }
}

}  // namespace

std::string gse_waveform(const GseChannel& channel, const GseStyle& style) {
  const std::string& type = style.datatype;
  const bool v2 = style.version == 2;
  if (style.version != 1 && style.version != 2) refuse("version must be 1 or 2");
  std::vector<std::string> lines;
  lines.push_back(v2 ? header2(channel, type) : header1(channel, style));
  lines.push_back(v2 ? "DAT2" : "DAT1");

  std::vector<std::int32_t> data = channel.counts;
  const int passes = v2 ? (type == "INT" ? 0 : 2) : style.ndiff;
  for (int i = 0; i < passes; ++i) difference(data);
  const bool compressed = v2 ? type.size() == 3 && type.compare(0, 2, "CM") == 0
                             : type.size() == 4 && type.compare(0, 3, "CMP") == 0;
  if (compressed) {
    text_lines(lines, encode_cm(type.back() - '0', data), style.line_length);
  } else if (type == (v2 ? "INT" : "INTV")) {
    free_lines(lines, data, style.line_length);
  } else if (!v2 && type.size() == 4 && type.compare(0, 3, "INT") == 0 && type[3] >= '1' &&
             type[3] <= '9') {
    fixed_lines(lines, data, static_cast<std::size_t>(type[3] - '0'), style.line_length);
  } else {
    refuse("data type " + type + " is not written");
  }

  std::int32_t sum = v2 ? gse2_checksum(channel.counts) : gse1_checksum(channel.counts);
  sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(sum) +
                                  static_cast<std::uint32_t>(style.checksum_error));
  if (v2 && style.negative_checksum) sum = -std::abs(sum);
  lines.push_back(v2 ? format("CHK2 %8d", sum) : format("CHK1%15d", sum));

  const std::string eol = style.crlf ? "\r\n" : "\n";
  std::string out;
  for (const std::string& line : lines) {
    // Header lines hold line breaks of their own.
    for (std::size_t p = 0, q; p <= line.size(); p = q + 1) {
      q = std::min(line.find('\n', p), line.size());
      out.append(line, p, q - p);
      out += eol;
    }
  }
  return out;
}

void write_gse(const std::string& path, const std::vector<GseChannel>& channels,
               const GseStyle& style) {
  const std::string eol = style.crlf ? "\r\n" : "\n";
  const std::string version = style.version == 2 ? "GSE2.0" : "GSE1.0";
  std::string out = "BEGIN " + version + eol + "MSG_TYPE DATA" + eol + "MSG_ID synthetic" + eol +
                    "DATA_TYPE WAVEFORM " + version + eol;
  for (const GseChannel& c : channels) out += gse_waveform(c, style);
  out += "STOP" + eol;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("cannot create " + path);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::vector<GseChannel> gse_channels(const Recording& rec, const Spec& spec, int version) {
  float peak = 0.0f;
  for (const auto* c : {&rec.z, &rec.ns, &rec.ew}) {
    for (const float v : *c) peak = std::max(peak, std::fabs(v));
  }
  const double f = peak > 0.0f ? peak / 1.0e6 : 1.0e-9;
  GseChannel base;
  base.station = spec.station;
  base.samprat = 1.0 / rec.dt;
  base.calper = 1.0;
  base.calib_type = 1;
  base.calib = round3(version == 2 ? f / (2.0 * std::numbers::pi * 1.0e-9) : f / 1.0e-9);
  const double factor = velocity_factor(base, version);

  std::vector<GseChannel> out;
  const std::array<const std::vector<float>*, 3> comps = {&rec.z, &rec.ns, &rec.ew};
  const std::array<const std::string*, 3> codes = {&spec.ch0, &spec.ch1, &spec.ch2};
  for (std::size_t c = 0; c < 3; ++c) {
    GseChannel ch = base;
    ch.channel = *codes[c];
    // GSE1.0 writes two letters, which the reader joins with an H in the middle.
    if (version == 1) {
      ch.channel = ch.channel.size() == 3
                       ? ch.channel.substr(0, 1) + ch.channel.substr(2)
                       : std::string(2 - std::min<std::size_t>(2, ch.channel.size()), ' ') +
                             ch.channel.substr(0, 2);
    }
    ch.counts.reserve(comps[c]->size());
    for (const float v : *comps[c]) {
      ch.counts.push_back(static_cast<std::int32_t>(std::lround(v / factor)));
    }
    out.push_back(std::move(ch));
  }
  return out;
}

}  // namespace hv::synth

// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/readerdh.hpp"

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "common/freefmt.hpp"
#include "common/lines.hpp"
#include "readers/source_stream.hpp"
#include "readers/text_source.hpp"

namespace hv {

namespace {

// Header lines are read as texts of this many characters.
constexpr std::size_t line_width = 200;
// The "Maximum" line must come within this many lines.
constexpr int max_header_lines = 1000;

// Status codes of READERDH.

struct Outcome {
  int status = dh::ok;
  float dt = -1.0e15f;
  long long nsamp = 0;
  std::string reason;  // why the file is not taken as DuneHeron, when known
  int line = 0;        // the header line holding a refused divisor
  std::string line_text;
};

// What the recognised header lines give; the initial values mean "not given".
struct Header {
  float rate = 0.0f;
  float interval = -1.0e15f;
  int sample_number = -100000;
  float length_minutes = -100.0f;
  std::optional<float> gain;
  std::optional<float> conversion;
};

Outcome not_duneheron(std::string reason) {
  Outcome out;
  out.status = dh::not_duneheron;
  out.reason = std::move(reason);
  return out;
}

// Reads the header up to its "Maximum" line. Returns dh::ok, or the failure.
Outcome read_header(TextSource& src, Header& h) {
  std::string line;
  std::array<Word, 3> word;
  for (int n = 1;; ++n) {
    if (n > max_header_lines) return not_duneheron("no \"Maximum\" line in the first 1000 lines");
    if (!src.line(line, line_width))
      return not_duneheron("the file ends before the \"Maximum\" line");
    word.fill(Word{});
    const int count = SPLIT3(line, word, ':');
    if (count == 0) continue;
    if (word[0] == "Maximum") return {};
    // Word k (0-based) read as a number; no value when it is missing or not a number.
    const auto real = [&](int k) {
      return count > k ? read_real(word[static_cast<std::size_t>(k)].view()) : std::nullopt;
    };
    const auto unreadable = [n] {
      return not_duneheron("the value on line " + std::to_string(n) + " is not a number");
    };
    const auto divisor = [&](std::optional<float>& slot, std::optional<float> value) {
      if (!value) return unreadable();
      if (*value == 0.0f || !std::isfinite(*value)) {
        Outcome out;
        out.status = dh::bad_divisor;
        out.line = n;
        out.line_text = line.substr(0, static_cast<std::size_t>(JLEN(line)));
        return out;
      }
      slot = value;
      return Outcome{};
    };

    if (word[0] == "Sample" && word[1] == "rate") {
      const auto rate = real(2);
      if (!rate) return unreadable();
      // A rate that gives no usable interval counts as no rate.
      if (!(*rate > 0.0f) || !std::isfinite(1.0f / *rate)) {
        return not_duneheron("the sampling rate on line " + std::to_string(n) + " is not above 0");
      }
      h.rate = *rate;
      h.interval = 1.0f / *rate;
    } else if (word[0] == "Sample" && word[1] == "number") {
      const auto number = count > 2 ? read_int(word[2].view()) : std::nullopt;
      if (!number) return unreadable();
      h.sample_number = *number;
    } else if (word[0] == "Gain") {
      if (Outcome out = divisor(h.gain, real(1)); out.status != dh::ok) return out;
    } else if (word[0] == "Conversion") {
      if (Outcome out = divisor(h.conversion, real(2)); out.status != dh::ok) return out;
    } else if (word[0] == "Recording") {
      const auto length = real(2);
      if (!length) return unreadable();
      h.length_minutes = *length;
    }
  }
}

// Samples per component from the header; -1 when neither a count nor a length is
// given.
long long sample_count(const Header& h) {
  if (h.sample_number >= 0) return h.sample_number;
  if (h.length_minutes < 0.0f) return -1;
  const float count = h.rate * (h.length_minutes * 60.0f) + 0.5f;
  // Far beyond any limit; kept finite for the message.
  if (!(count < 9.0e18f)) return 9'000'000'000'000'000'000LL;
  return static_cast<long long>(count);
}

Outcome READERDH(const ReadSource& file, Recording& rec, int max_samples, UnitTable& units) {
  Outcome out;
  SourceStream in(file, units);
  switch (in.open()) {
    case SourceStream::Status::ok:
      break;
    case SourceStream::Status::no_unit:
      out.status = dh::no_free_unit;
      return out;
    case SourceStream::Status::not_found:
      out.status = dh::not_found;
      return out;
    case SourceStream::Status::cannot_open:
      out.status = dh::cannot_open;
      return out;
  }
  TextSource src(in.buffer());

  Header h;
  if (out = read_header(src, h); out.status != dh::ok) return out;
  if (h.interval < 0.0f) return not_duneheron("no \"Sample rate\" line");
  out.nsamp = sample_count(h);
  if (out.nsamp < 0) {
    return not_duneheron("neither a \"Sample number\" nor a \"Recording\" length line");
  }
  if (out.nsamp > max_samples) {
    out.status = dh::too_many_samples;
    return out;
  }

  const auto n = static_cast<std::size_t>(out.nsamp);
  rec.resize(storable_samples(n, in));
  const std::span<float> c1 = rec.component[0], c2 = rec.component[1], c3 = rec.component[2];
  std::array<float, 3> v{};
  for (std::size_t k = 0; k < n; ++k) {
    const TextSource::Sample got = k < c1.size() ? src.sample(v) : TextSource::Sample::end_of_file;
    if (got != TextSource::Sample::ok) {
      out.status = got == TextSource::Sample::end_of_file ? dh::data_short : dh::read_error;
      return out;
    }
    c1[k] = v[0];
    c2[k] = v[1];
    c3[k] = v[2];
  }
  in.close();
  for (const std::optional<float> divisor : {h.gain, h.conversion}) {
    if (!divisor) continue;
    for (const std::span<float> column : {c1, c2, c3}) {
      for (std::size_t k = 0; k < n; ++k) column[k] /= *divisor;
    }
  }
  out.dt = h.interval;
  return out;
}

}  // namespace

int read_duneheron(const ReadSource& file, const ChannelRequest& /*want*/, Voice voice,
                   int max_samples, Recording& rec, UnitTable& units, ReadNotes& notes) {
  const Outcome out = READERDH(file, rec, max_samples, units);
  if (out.status == dh::ok) {
    rec.dt = out.dt;
    rec.channel = {Text<3>("Z"), Text<3>("NS"), Text<3>("EW")};
    rec.station = "TEST";
    rec.labels = {Text<12>("Vert"), Text<12>("N-S"), Text<12>("E-W"), Text<12>("m/s")};
    return read_status::ok;
  }
  notes.push_back({format::duneheron,
                   out.status,
                   {out.nsamp, max_samples, out.line},
                   {},
                   {out.reason, out.line_text}});
  // ratiospec was told the file is DuneHeron: any failure is one.
  return voice == Voice::calmpick && out.status == dh::not_duneheron ? read_status::not_format
                                                                     : read_status::failed;
}

}  // namespace hv

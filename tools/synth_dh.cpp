// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/synth_dh.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace hv::synth {

namespace {

template <typename T>
void append(std::string& out, T value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

void require(bool ok, const char* what) {
  if (!ok) throw std::invalid_argument(std::string("DuneHeron file: ") + what);
}

// The length in minutes that gives n samples back when the reader computes
// trunc(rate * minutes * 60 + 0.5) in single precision.
float minutes_for(std::size_t n, float rate) {
  const auto minutes = static_cast<float>(static_cast<double>(n) / (60.0 * rate));
  const float count = rate * (minutes * 60.0f) + 0.5f;
  require(static_cast<std::size_t>(count) == n, "no recording length gives this sample count");
  return minutes;
}

}  // namespace

void write_duneheron(const std::string& path, const Recording& rec, const DuneHeronHeader& header) {
  require(rec.ns.size() == rec.z.size() && rec.ew.size() == rec.z.size(),
          "components of different lengths");
  require(std::isfinite(rec.dt) && rec.dt > 0.0, "dt must be positive");
  const double gain = header.gain.value_or(1.0), conversion = header.conversion.value_or(1.0);
  require(gain != 0.0 && conversion != 0.0, "a divisor of 0 cannot be written");
  const double scale = gain * conversion;
  const auto rate = static_cast<float>(1.0 / rec.dt);

  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("cannot create " + path);
  std::string out = "DuneHeron field recorder - synthetic recording\nSample rate: ";
  append(out, rate);
  if (header.count == DuneHeronHeader::Count::sample_number) {
    out += "\nSample number: " + std::to_string(rec.z.size());
  } else {
    out += "\nRecording length: ";
    append(out, minutes_for(rec.z.size(), rate));
  }
  out += '\n';
  if (header.gain) {
    out += "Gain: ";
    append(out, *header.gain);
    out += '\n';
  }
  if (header.conversion) {
    out += "Conversion factor: ";
    append(out, *header.conversion);
    out += '\n';
  }
  float peak = 0.0f;
  for (const auto* c : {&rec.z, &rec.ns, &rec.ew}) {
    for (const float v : *c) peak = std::max(peak, std::fabs(v));
  }
  out += "Maximum amplitude: ";
  append(out, peak);
  out += '\n';

  constexpr std::size_t flush_at = std::size_t{1} << 20;
  for (std::size_t k = 0; k < rec.z.size(); ++k) {
    for (const auto* c : {&rec.z, &rec.ns, &rec.ew}) {
      append(out, static_cast<float>((*c)[k] * scale));
      out += c == &rec.ew ? '\n' : ' ';
    }
    if (out.size() >= flush_at) {
      file.write(out.data(), static_cast<std::streamsize>(out.size()));
      out.clear();
    }
  }
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace hv::synth

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/synth.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>

namespace hv::synth {

namespace {

// More samples than any reader takes, with room for tests of the limit, but not so
// many that a mistyped duration exhausts the memory.
constexpr double max_samples = 1.0e8;

// Standard normal deviates from std::mt19937, whose output sequence is fixed by the
// standard. The sum of twelve uniforms minus six has mean 0 and variance 1 and is
// computed exactly in double precision, so it does not depend on the library's
// distributions or on its mathematical functions.
class Normal {
 public:
  explicit Normal(unsigned seed) : engine_(seed) {}
  double operator()() {
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) sum += static_cast<double>(engine_()) * 0x1p-32;
    return sum - 6.0;
  }

 private:
  std::mt19937 engine_;
};

// Peaking biquad: gain g at w0 (radians per sample), 1 at zero frequency and at the
// Nyquist frequency, bandwidth set by q.
class Peaking {
 public:
  Peaking(double w0, double g, double q) {
    const double a = std::sqrt(g);
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha / a;
    b0_ = (1.0 + alpha * a) / a0;
    b1_ = -2.0 * std::cos(w0) / a0;
    b2_ = (1.0 - alpha * a) / a0;
    a1_ = b1_;
    a2_ = (1.0 - alpha / a) / a0;
  }
  double operator()(double x) {
    const double y = b0_ * x + s1_;
    s1_ = b1_ * x - a1_ * y + s2_;
    s2_ = b2_ * x - a2_ * y;
    return y;
  }

 private:
  double b0_, b1_, b2_, a1_, a2_;
  double s1_ = 0.0, s2_ = 0.0;
};

void require(bool ok, const char* what) {
  if (!ok) throw std::invalid_argument(std::string("synthetic recording: ") + what);
}

std::size_t sample_count(const Spec& spec) {
  require(std::isfinite(spec.dt) && spec.dt > 0.0, "dt must be positive");
  require(std::isfinite(spec.duration_s) && spec.duration_s >= 0.0,
          "duration must not be negative");
  const double n = std::round(spec.duration_s / spec.dt) + 1.0;
  require(n <= max_samples, "too many samples");
  return static_cast<std::size_t>(n);
}

void check(const Spec& spec) {
  const auto finite_non_negative = [](double v) { return std::isfinite(v) && v >= 0.0; };
  require(finite_non_negative(spec.noise_amplitude), "noise amplitude must not be negative");
  require(finite_non_negative(spec.resonance_hz) && spec.resonance_hz < 0.5 / spec.dt,
          "resonance must lie between 0 and the Nyquist frequency");
  if (spec.resonance_hz > 0.0) {
    require(std::isfinite(spec.resonance_gain) && spec.resonance_gain > 0.0,
            "resonance gain must be positive");
    require(std::isfinite(spec.resonance_q) && spec.resonance_q > 0.0,
            "resonance Q must be positive");
  }
  for (const Transient& t : spec.transients) {
    require(
        std::isfinite(t.time_s) && std::isfinite(t.amplitude) && finite_non_negative(t.duration_s),
        "transient needs a finite time, a finite amplitude and a duration of 0 or more");
  }
  require(finite_non_negative(spec.clip_level), "clip level must not be negative");
  require(std::isfinite(spec.offset), "offset must be finite");
}

void add_transient(std::vector<double>& x, double dt, const Transient& t) {
  if (t.duration_s <= 0.0) return;
  const double f = std::min(5.0, 0.25 / dt);
  const double first = std::max(0.0, std::ceil(t.time_s / dt));
  const double last =
      std::min(static_cast<double>(x.size()) - 1.0, std::floor((t.time_s + t.duration_s) / dt));
  for (double k = first; k <= last; k += 1.0) {
    const double s = k * dt - t.time_s;
    const double envelope = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * s / t.duration_s));
    x[static_cast<std::size_t>(k)] +=
        t.amplitude * envelope * std::sin(2.0 * std::numbers::pi * f * s);
  }
}

void append(std::string& out, double value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

void append(std::string& out, float value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

}  // namespace

Recording synthesize(const Spec& spec) {
  const std::size_t n = sample_count(spec);
  check(spec);

  std::vector<std::vector<double>> x(3, std::vector<double>(n));
  Normal normal(spec.seed);
  for (std::size_t k = 0; k < n; ++k) {
    for (auto& component : x) component[k] = spec.noise_amplitude * normal();
  }
  if (spec.resonance_hz > 0.0) {
    const double w0 = 2.0 * std::numbers::pi * spec.resonance_hz * spec.dt;
    for (std::size_t c = 1; c < 3; ++c) {
      Peaking filter(w0, spec.resonance_gain, spec.resonance_q);
      for (double& v : x[c]) v = filter(v);
    }
  }
  for (const Transient& t : spec.transients) {
    for (auto& component : x) add_transient(component, spec.dt, t);
  }

  Recording rec{spec.dt, {}, {}, {}};
  std::vector<float>* out[3] = {&rec.z, &rec.ns, &rec.ew};
  for (std::size_t c = 0; c < 3; ++c) {
    out[c]->resize(n);
    for (std::size_t k = 0; k < n; ++k) {
      double v = x[c][k] + spec.offset;
      if (spec.clip_level > 0.0) v = std::clamp(v, -spec.clip_level, spec.clip_level);
      (*out[c])[k] = static_cast<float>(v);
    }
  }
  return rec;
}

void write_kaf(const std::string& path, const Recording& rec, const Spec& spec,
               const std::vector<std::string>& extra_header_lines) {
  if (rec.ns.size() != rec.z.size() || rec.ew.size() != rec.z.size()) {
    throw std::invalid_argument("synthetic recording: components of different lengths");
  }
  if (!(std::isfinite(rec.dt) && rec.dt > 0.0)) {
    throw std::invalid_argument("synthetic recording: dt must be positive");
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw std::runtime_error("cannot create " + path);

  std::string out = "KORVEN ASCII data format (kaf) v. 1\nSTA_CODE = " + spec.station +
                    "\nSTART_TIME = 2003 06 14 14 40 30.000\nSAMP_FREQ = ";
  append(out, 1.0 / rec.dt);
  out += "\nNDAT = " + std::to_string(rec.z.size()) + "\nCH0_ID = " + spec.ch0 +
         "\nCH1_ID = " + spec.ch1 + "\nCH2_ID = " + spec.ch2 + "\nUNITS = " + spec.units + "\n";
  for (const std::string& line : extra_header_lines) out += line + "\n";
  out += "####----------------------------------------\n";

  constexpr std::size_t flush_at = std::size_t{1} << 20;
  for (std::size_t k = 0; k < rec.z.size(); ++k) {
    append(out, rec.z[k]);
    out += ' ';
    append(out, rec.ns[k]);
    out += ' ';
    append(out, rec.ew[k]);
    out += '\n';
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

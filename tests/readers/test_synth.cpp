// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "readers/rkaf.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"

namespace hv {
namespace {

// Mean of |X(f)|^2 over the DFT bins between f_lo and f_hi, by direct summation.
double band_power(const std::vector<float>& x, double dt, double f_lo, double f_hi) {
  const double n = static_cast<double>(x.size());
  double total = 0.0;
  int bins = 0;
  for (double k = std::ceil(f_lo * n * dt); k <= std::floor(f_hi * n * dt); k += 1.0, ++bins) {
    const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * k / n);
    std::complex<double> w = 1.0, sum = 0.0;
    for (const float v : x) {
      sum += static_cast<double>(v) * w;
      w *= step;
    }
    total += std::norm(sum);
  }
  return total / bins;
}

// Horizontal over vertical amplitude in a band.
double hv_ratio(const synth::Recording& rec, double f_lo, double f_hi) {
  const double h = band_power(rec.ns, rec.dt, f_lo, f_hi) + band_power(rec.ew, rec.dt, f_lo, f_hi);
  return std::sqrt(h / (2.0 * band_power(rec.z, rec.dt, f_lo, f_hi)));
}

TEST(Synth, SameSeedSameRecordingAndLengthIsDurationOverDtPlusOne) {
  synth::Spec spec;
  spec.duration_s = 20.004;
  spec.resonance_hz = 3.0;
  const auto a = synth::synthesize(spec);
  EXPECT_EQ(a.z.size(), 2001u);
  EXPECT_EQ(a.ew.size(), 2001u);
  EXPECT_EQ(synth::synthesize(spec).ew, a.ew);
  spec.seed = 2;
  EXPECT_NE(synth::synthesize(spec).z, a.z);
}

TEST(Synth, VerticalNoiseHasTheRequestedRms) {
  synth::Spec spec;
  spec.duration_s = 600.0;
  spec.noise_amplitude = 2.0;
  const auto rec = synth::synthesize(spec);
  double sum = 0.0;
  for (const float v : rec.z) sum += static_cast<double>(v) * v;
  EXPECT_NEAR(std::sqrt(sum / static_cast<double>(rec.z.size())), 2.0, 0.04);
}

TEST(Synth, ResonanceRaisesHorizontalsByTheGainAtItsFrequencyOnly) {
  synth::Spec spec;
  spec.duration_s = 600.0;
  spec.resonance_hz = 2.0;
  spec.resonance_gain = 4.0;
  const auto rec = synth::synthesize(spec);
  EXPECT_NEAR(hv_ratio(rec, 1.9, 2.1), 4.0, 0.6);
  EXPECT_NEAR(hv_ratio(rec, 20.0, 20.2), 1.0, 0.2);
  EXPECT_NEAR(hv_ratio(rec, 0.2, 0.4), 1.0, 0.2);
}

TEST(Synth, TransientIsAHannBurstOnAllComponents) {
  synth::Spec spec;
  spec.duration_s = 4.0;
  spec.noise_amplitude = 0.0;
  spec.transients = {{1.0, 5.0, 2.0}};
  const auto rec = synth::synthesize(spec);
  float peak = 0.0f;
  for (std::size_t k = 0; k < rec.z.size(); ++k) {
    const double t = static_cast<double>(k) * spec.dt;
    if (t < 1.0 || t > 3.0) {
      EXPECT_NEAR(rec.z[k], 0.0f, 1e-6f) << "t = " << t;
    }
    peak = std::max(peak, std::fabs(rec.z[k]));
  }
  EXPECT_GT(peak, 4.5f);
  EXPECT_LE(peak, 5.0f);
  EXPECT_EQ(rec.z, rec.ns);
  EXPECT_EQ(rec.z, rec.ew);
}

TEST(Synth, OffsetIsAddedBeforeClipping) {
  synth::Spec spec;
  spec.duration_s = 100.0;
  spec.offset = 0.5;
  spec.clip_level = 1.0;
  const auto rec = synth::synthesize(spec);
  const auto [lo, hi] = std::minmax_element(rec.ns.begin(), rec.ns.end());
  EXPECT_EQ(*hi, 1.0f);
  EXPECT_EQ(*lo, -1.0f);
  EXPECT_GT(std::count(rec.ns.begin(), rec.ns.end(), 1.0f),
            2 * std::count(rec.ns.begin(), rec.ns.end(), -1.0f));
  spec.noise_amplitude = 0.0;
  spec.clip_level = 0.0;
  const auto flat = synth::synthesize(spec);
  EXPECT_TRUE(std::all_of(flat.z.begin(), flat.z.end(), [](float v) { return v == 0.5f; }));
}

TEST(Synth, WrittenKafReadsBackExactly) {
  test::TempDir dir;
  const std::string path = dir.file("syn.kaf");
  synth::Spec spec;
  spec.duration_s = 400.0;  // over 1 MiB of samples: values cross the reader's blocks
  spec.resonance_hz = 5.0;
  spec.station = "ST1";
  spec.ch1 = "NS";
  const auto rec = synth::synthesize(spec);
  synth::write_kaf(path, rec, spec, {"# written by a test", "GAIN = 2"});

  Recording read;
  KAFHDR8 hdr;
  UnitTable units;
  int ndat = 0;
  float samp_freq = 0.0f;
  ASSERT_EQ(RKAF(Name(path), NTIME, 0, read, ndat, samp_freq, hdr, units), kaf::ok);
  EXPECT_EQ(ndat, 40001);
  EXPECT_EQ(samp_freq, 100.0f);
  EXPECT_EQ(hdr.sta_code, "ST1");
  EXPECT_EQ(hdr.ch1_id, "NS");
  EXPECT_EQ(hdr.units, "m/s");
  int mismatches = 0;
  for (std::size_t k = 0; k < rec.z.size(); ++k) {
    mismatches += read.component[0][k] != rec.z[k] / 2.0f;
    mismatches += read.component[1][k] != rec.ns[k] / 2.0f;
    mismatches += read.component[2][k] != rec.ew[k] / 2.0f;
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Synth, SpecsThatCannotBeGeneratedAreRefused) {
  for (const auto& change : std::vector<void (*)(synth::Spec&)>{
           [](synth::Spec& s) { s.dt = 0.0; }, [](synth::Spec& s) { s.duration_s = -1.0; },
           [](synth::Spec& s) { s.resonance_hz = 50.0; },
           [](synth::Spec& s) {
             s.transients = {{0.0, 1.0, -1.0}};
           }}) {
    synth::Spec spec;
    change(spec);
    EXPECT_THROW(synth::synthesize(spec), std::invalid_argument);
  }
}

}  // namespace
}  // namespace hv

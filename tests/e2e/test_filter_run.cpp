// SPDX-License-Identifier: GPL-3.0-or-later
// DuneHeron recordings and the Butterworth offset_rem filters through the real
// programs: the filtered recording written with filter_out, refused corners, the same
// H/V from a DuneHeron file as from its KAF twin, and calmpick's format fallback.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "hvlib/hv_compute.hpp"
#include "readers/readerth.hpp"
#include "readers/records.hpp"
#include "readers/rkaf.hpp"
#include "tests/support/messages.hpp"
#include "tests/support/run.hpp"
#include "tools/synth.hpp"
#include "tools/synth_dh.hpp"
#include "tools/synth_gse.hpp"

namespace hv::test {
namespace {

constexpr double pi = std::numbers::pi;
constexpr double dt = 0.01;

// Squared magnitude of a prewarped second-order Butterworth, 1/(1 + W^4), W the
// prototype frequency that f maps to; forward and backward, a sinusoid at f is scaled
// by this value. fl = 0 stands for no lower corner, fh = 0 for no upper one.
double butterworth_squared(double fl, double fh, double f) {
  const double k = std::tan(pi * f * dt);
  const double kl = std::tan(pi * fl * dt), kh = std::tan(pi * fh * dt);
  const double w = fh == 0.0 ? kl / k : fl == 0.0 ? k / kh : (k * k - kl * kh) / (k * (kh - kl));
  return 1.0 / (1.0 + std::pow(w, 4));
}

// 60 s at 100 Hz; component c is offset[c] + sin(2 pi freq[c] t).
constexpr double offset[3] = {3.0, -2.0, 0.5};
constexpr double freq[3] = {1.0, 6.0, 45.0};

synth::Recording sinusoids() {
  synth::Recording rec{dt, {}, {}, {}};
  std::vector<float>* column[3] = {&rec.z, &rec.ns, &rec.ew};
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i <= 6000; ++i) {
      column[c]->push_back(static_cast<float>(offset[c] + std::sin(2.0 * pi * freq[c] * i * dt)));
    }
  }
  return rec;
}

class FilterRun : public ::testing::Test {
 protected:
  std::string write_recording(const synth::Recording& rec, int format, const std::string& name) {
    const std::string path = dir.file(name);
    if (format == 3) {
      synth::write_duneheron(path, rec);
    } else {
      synth::Spec spec;
      synth::write_kaf(path, rec, spec);
    }
    return path;
  }
  std::string windows(const std::string& path, int format, int count, double length,
                      const std::string& name = "windows.txt") {
    std::ostringstream out;
    for (int k = 0; k < count; ++k) {
      char times[64];
      std::snprintf(times, sizeof times, " %.3f %.3f ", k * length, (k + 1) * length);
      out << '"' << path << '"' << times << format << " Z NS EW TEST\n";
    }
    write_file(dir.file(name), out.str());
    return dir.file(name);
  }
  std::string parameters(const std::vector<std::string>& options) {
    std::string text = "### section processing\n";
    for (const auto& option : options) text += option + "\n";
    write_file(dir.file("par.txt"), text + "### end processing\n");
    return dir.file("par.txt");
  }
  std::string out(const std::string& suffix = "") const { return dir.file("res") + suffix; }

  TempDir dir;
};

// Each kind, and a band whose upper corner lies above 95 % of the Nyquist frequency,
// which is filtered as a high-pass.
struct FilterCase {
  std::string name;
  std::string option;
  int format;
  double fl, fh;  // the filter applied; 0 for a corner it does not have
};

void PrintTo(const FilterCase& c, std::ostream* os) {
  *os << c.name;
}

class FilterOut : public FilterRun, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(FilterOut, WritesTheFilteredFirstRecordingAndEnds) {
  const FilterCase& c = GetParam();
  const std::string rec = write_recording(sinusoids(), c.format, "site.rec");
  const RunResult r =
      run_ratiospec({windows(rec, c.format, 2, 20.0),
                     parameters({"offset_rem: " + c.option, "filter_out: yes"}), out()});
  ASSERT_EQ(r.status, 0) << r.console;
  EXPECT_EQ(count_of(r.console, ok_banner), 4);
  EXPECT_FALSE(std::filesystem::exists(out()));

  Recording filtered;
  KAFHDR8 hdr;
  UnitTable units;
  int ndat = 0;
  float samp_freq = 0.0f;
  ASSERT_EQ(RKAF(Name(out("_KAF_fi")), NTIME, 0, filtered, ndat, samp_freq, hdr, units), 0);
  EXPECT_EQ(ndat, 6001);
  EXPECT_NEAR(samp_freq, 100.0f, 1e-4f);
  // The low-pass keeps the offsets; the other kinds remove the means first.
  const bool keeps_offset = c.fl == 0.0;
  for (int col = 0; col < 3; ++col) {
    const double gain = butterworth_squared(c.fl, c.fh, freq[col]);
    for (int i = 2500; i < 3500; ++i) {
      const double expected =
          (keeps_offset ? offset[col] : 0.0) + gain * std::sin(2.0 * pi * freq[col] * i * dt);
      ASSERT_NEAR(filtered.component[static_cast<std::size_t>(col)][static_cast<std::size_t>(i)],
                  expected, 1e-3)
          << "component " << col + 1 << " sample " << i << " gain " << gain;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FilterOut,
    ::testing::Values(FilterCase{"high_pass_kaf", "high-pass:2", 2, 2.0, 0.0},
                      FilterCase{"low_pass_duneheron", "low-pass:5", 3, 0.0, 5.0},
                      FilterCase{"band_pass_kaf", "band-pass:2:10", 2, 2.0, 10.0},
                      FilterCase{"band_pass_duneheron", "band-pass:0.8:40", 3, 0.8, 40.0},
                      FilterCase{"band_up_to_48_is_high_pass", "band-pass:1:48", 2, 1.0, 0.0}),
    [](const auto& info) { return info.param.name; });

TEST_F(FilterRun, CornerAboveTheLimitEndsTheRunBeforeAnyResult) {
  const std::string rec = write_recording(sinusoids(), 2, "site.kaf");
  const RunResult r = run_ratiospec(
      {windows(rec, 2, 2, 20.0), parameters({"offset_rem:low-pass:48", "filter_out: yes"}), out()});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(count_of(r.console, error_banner), 4);
  EXPECT_EQ(count_of(r.console, "   ERROR in 'offset removal' parameter: low-pass:48"), 1);
  EXPECT_EQ(count_of(r.console, " Hz is above 95 % of the Nyquist frequency"), 1) << r.console;
  EXPECT_FALSE(std::filesystem::exists(out("_KAF_fi")));
  EXPECT_FALSE(std::filesystem::exists(out()));
}

// A second window on the same file must find the samples as the first left them, not
// filtered a second time: its spectra equal those of the same window computed alone.
TEST_F(FilterRun, RecordingIsFilteredOnceForAllItsWindows) {
  const synth::Recording s = sinusoids();
  Recording rec;
  rec.dt = s.dt;
  rec.component = {s.z, s.ns, s.ew};
  const std::vector<Recording> recordings{rec};
  const std::vector<int> recording_of{0, 0};
  PARAMETERS par;
  par.offset_rem = "high-pass:2";
  const HvOptions options = parse_options(par);
  const auto spectra = [&](const std::vector<HvWindow>& windows) {
    MemorySource source(recordings, recording_of);
    const HvResult r = compute_hv(options, windows, source, 1);
    EXPECT_EQ(r.nwin, static_cast<int>(windows.size()));
    return r.nwin == 0 ? std::vector<float>{}
                       : std::vector<float>(r.column(r.spectra[1], r.nwin).begin(),
                                            r.column(r.spectra[1], r.nwin).end());
  };
  const std::vector<float> second = spectra({{0.0f, 20.0f}, {20.0f, 40.0f}});
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(second, spectra({{20.0f, 40.0f}}));
}

// The Fo line of the averaged H/V file and every line after it: the column header
// and the rows.
std::vector<std::string> fo_and_rows(const std::string& path) {
  const std::vector<std::string> lines = read_lines(path);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(" # n_freq_samples:", 0) == 0) {
      return {lines.begin() + static_cast<std::ptrdiff_t>(i), lines.end()};
    }
  }
  return {};
}

TEST_F(FilterRun, DuneHeronGivesTheSameHvAsTheSameSamplesInKaf) {
  synth::Spec spec;
  spec.duration_s = 100.0;
  spec.seed = 3;
  spec.resonance_hz = 2.5;
  const synth::Recording rec = synth::synthesize(spec);
  const std::string kaf = write_recording(rec, 2, "site.kaf");
  const std::string dh = write_recording(rec, 3, "site.dh");
  const std::string par = parameters({"offset_rem: band-pass:0.5:20", "smooth: konno-ohmachi:40"});
  const RunResult a = run_ratiospec({windows(kaf, 2, 4, 25.0, "w_kaf.txt"), par, out("_kaf")});
  const RunResult b = run_ratiospec({windows(dh, 3, 4, 25.0, "w_dh.txt"), par, out("_dh")});
  ASSERT_LE(a.status, 1) << a.console;
  ASSERT_EQ(b.status, a.status) << b.console;
  const std::vector<std::string> from_kaf = fo_and_rows(out("_kaf")),
                                 from_dh = fo_and_rows(out("_dh"));
  ASSERT_GT(from_kaf.size(), 100u);
  EXPECT_EQ(from_dh, from_kaf);
}

// calmpick guesses from the name ending and falls back in the order KAF, DuneHeron;
// the window file records the format each file was read in, and ratiospec reads the
// files back through it.
TEST_F(FilterRun, CalmpickFindsEachFormatWhateverTheNameEnding) {
  synth::Spec spec;
  spec.duration_s = 45.0;
  spec.seed = 9;
  const synth::Recording rec = synth::synthesize(spec);
  const std::string dh_as_kaf = write_recording(rec, 3, "dh_named.kaf");
  const std::string kaf_as_gse = write_recording(rec, 2, "kaf_named.gse");
  const std::string dh_plain = write_recording(rec, 3, "dh_named.dat");
  const std::string gse_as_kaf = dir.file("gse_named.kaf");
  synth::write_gse(gse_as_kaf, synth::gse_channels(rec, spec, 2), synth::GseStyle{});
  write_file(dir.file("list.txt"),
             dh_as_kaf + "\n" + kaf_as_gse + "\n" + dh_plain + "\n" + gse_as_kaf + "\n");
  write_file(dir.file("cpar.txt"), "1.0 25.0 0.2 5.0 20.0 0.0 0 0 0.0\n");
  {
    WorkingDirectory cwd(dir.path());
    const RunResult r =
        run_calmpick({dir.file("list.txt"), dir.file("cpar.txt"), dir.file("win.txt")});
    ASSERT_EQ(r.status, 0) << r.console;
  }
  std::vector<int> formats;
  for (const std::string& line : read_lines(dir.file("win.txt"))) {
    const std::string path = line.substr(1, line.find('"', 1) - 1);
    std::istringstream fields(line.substr(200));
    double start = 0.0, end = 0.0;
    int format = 0;
    fields >> start >> end >> format;
    formats.push_back(format);
    EXPECT_EQ(format, path == kaf_as_gse ? 2 : path == gse_as_kaf ? 1 : 3) << line;
  }
  EXPECT_EQ(formats.size(), 8u) << "two windows per recording";

  const RunResult r =
      run_ratiospec({dir.file("win.txt"), parameters({"offset_rem: high-pass:0.5"}), out()});
  EXPECT_LE(r.status, 1) << r.console;
  EXPECT_TRUE(std::filesystem::exists(out()));
}

}  // namespace
}  // namespace hv::test

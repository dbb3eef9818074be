// SPDX-License-Identifier: GPL-3.0-or-later
// kafgen: writes a synthetic three-component recording as a KAF file, as a GSE
// message of three waveforms in counts (--gse), or as a DuneHeron file (--format
// duneheron).
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/freefmt.hpp"
#include "tools/synth.hpp"
#include "tools/synth_dh.hpp"
#include "tools/synth_gse.hpp"

namespace {

constexpr const char* usage =
    "use : kafgen OUTPUT.kaf [--duration S] [--dt S] [--seed N] [--noise A] [--resonance HZ]\n"
    "             [--gain G] [--q Q] [--transient T:AMP:DUR]... [--clip LEVEL] [--offset V]\n"
    "             [--gse 2:INT|2:CM6|2:CM7|2:CM8|1:INTV|1:INTn|1:CMP6|1:CMP7|1:CMP8]\n"
    "             [--format kaf|duneheron] [--dh-count number|length] [--dh-gain G]\n"
    "             [--dh-conversion C]\n";

int bad_option(const std::string& why) {
  std::cerr << " kafgen : " << why << "\n" << usage;
  return 2;
}

// T:AMP:DUR, three numbers separated by colons.
std::optional<hv::synth::Transient> parse_transient(std::string_view text) {
  const std::size_t a = text.find(':');
  const std::size_t b = a == std::string_view::npos ? a : text.find(':', a + 1);
  if (b == std::string_view::npos) return std::nullopt;
  const auto time = hv::parse_double(text.substr(0, a));
  const auto amplitude = hv::parse_double(text.substr(a + 1, b - a - 1));
  const auto duration = hv::parse_double(text.substr(b + 1));
  if (!time || !amplitude || !duration) return std::nullopt;
  return hv::synth::Transient{*time, *amplitude, *duration};
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  hv::synth::Spec spec;
  hv::synth::DuneHeronHeader dh;
  bool duneheron = false;
  std::string output;
  std::optional<hv::synth::GseStyle> gse;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) {
      if (!output.empty()) return bad_option("more than one output file: " + arg);
      output = arg;
      continue;
    }
    if (i + 1 == args.size()) return bad_option("option " + arg + " needs a value");
    const std::string& value = args[++i];
    const auto number = hv::parse_double(value);
    if (arg == "--transient") {
      const auto t = parse_transient(value);
      if (!t) return bad_option("--transient needs T:AMP:DUR, got " + value);
      spec.transients.push_back(*t);
      continue;
    }
    if (arg == "--gse") {
      gse.emplace();
      gse->version = value.rfind("1:", 0) == 0 ? 1 : value.rfind("2:", 0) == 0 ? 2 : 0;
      if (gse->version == 0) return bad_option("--gse needs VERSION:TYPE, got " + value);
      gse->datatype = value.substr(2);
      continue;
    }
    if (arg == "--format") {
      if (value != "kaf" && value != "duneheron")
        return bad_option("--format needs kaf or duneheron");
      duneheron = value == "duneheron";
      continue;
    }
    if (arg == "--dh-count") {
      if (value != "number" && value != "length")
        return bad_option("--dh-count needs number or length");
      dh.count = value == "number" ? hv::synth::DuneHeronHeader::Count::sample_number
                                   : hv::synth::DuneHeronHeader::Count::recording_length;
      continue;
    }
    if (arg == "--dh-gain" || arg == "--dh-conversion") {
      if (!number) return bad_option("option " + arg + " needs a number, got " + value);
      (arg == "--dh-gain" ? dh.gain : dh.conversion) = *number;
      continue;
    }
    if (arg == "--seed") {
      const auto seed = hv::parse_int(value);
      if (!seed || *seed < 0) return bad_option("--seed needs a whole number of 0 or more");
      spec.seed = static_cast<unsigned>(*seed);
      continue;
    }
    double* target = arg == "--duration"    ? &spec.duration_s
                     : arg == "--dt"        ? &spec.dt
                     : arg == "--noise"     ? &spec.noise_amplitude
                     : arg == "--resonance" ? &spec.resonance_hz
                     : arg == "--gain"      ? &spec.resonance_gain
                     : arg == "--q"         ? &spec.resonance_q
                     : arg == "--clip"      ? &spec.clip_level
                     : arg == "--offset"    ? &spec.offset
                                            : nullptr;
    if (target == nullptr) return bad_option("unknown option " + arg);
    if (!number) return bad_option("option " + arg + " needs a number, got " + value);
    *target = *number;
  }
  if (output.empty()) return bad_option("no output file");

  try {
    const hv::synth::Recording rec = hv::synth::synthesize(spec);
    if (gse) {
      hv::synth::write_gse(output, hv::synth::gse_channels(rec, spec, gse->version), *gse);
    } else if (duneheron) {
      hv::synth::write_duneheron(output, rec, dh);
    } else {
      hv::synth::write_kaf(output, rec, spec);
    }
    std::cout << " kafgen : " << output << " : " << rec.z.size() << " samples per component\n";
  } catch (const std::invalid_argument& e) {
    return bad_option(e.what());
  } catch (const std::exception& e) {
    std::cerr << " kafgen : " << e.what() << "\n";
    return 1;
  }
  return 0;
}

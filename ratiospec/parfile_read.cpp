// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/parfile_read.hpp"

#include <array>
#include <string>
#include <string_view>

#include "common/fields.hpp"
#include "common/lines.hpp"

namespace hv {

int DEFPAR(PARAMETERS& par) {
  par.freq_spacing = "fft";
  par.offset_rem = "r_mean:all";
  par.taper = "cos:5";
  par.smooth = "konno-ohmachi:40";
  par.merge_type = "quadratic";
  par.single_win_out = "no";
  par.average_spectra_out = "no";
  par.filter_out = "no";
  return 0;
}

namespace {

struct Field {
  std::string_view key;
  Option PARAMETERS::*value;
  bool obsolete;
};

constexpr std::array<Field, 13> fields{{
    {"freq_spacing", &PARAMETERS::freq_spacing, false},
    {"offset_rem", &PARAMETERS::offset_rem, false},
    {"taper", &PARAMETERS::taper, false},
    {"instrument_resp", &PARAMETERS::instrument_resp, true},
    {"smooth", &PARAMETERS::smooth, false},
    {"merge_type", &PARAMETERS::merge_type, false},
    {"single_component", &PARAMETERS::single_component, true},
    {"average_type", &PARAMETERS::average_type, true},
    {"single_win_out", &PARAMETERS::single_win_out, false},
    {"average_spectra_out", &PARAMETERS::average_spectra_out, false},
    {"filter_out", &PARAMETERS::filter_out, false},
    {"window_rejection", &PARAMETERS::window_rejection, false},
    {"azimuth_step", &PARAMETERS::azimuth_step, false},
}};

std::string_view head(std::string_view line, std::size_t n) {
  return line.substr(0, std::min(n, line.size()));
}

bool starts_with(std::string_view line, std::string_view prefix) {
  return line.substr(0, std::min(prefix.size(), line.size())) == prefix;
}

}  // namespace

int PARFILE_READ(const Name& parameter_file, PARAMETERS& par, UnitTable& units,
                 std::ostream& console) {
  int unit = 0;
  if (units.GLUN(unit) != 0) {
    free_line(console, " ERROR in parfile_read:");
    free_line(console, "  could not find free unit number for parameter", " file");
    return 1;
  }
  UnitFile file(units, unit);
  if (!file.open_read(parameter_file.trimmed())) {
    free_line(console, " ERROR in parfile_read:");
    free_line(console, " the parameter file cannot be opened");
    free_line(console, parameter_file.view());
    return 1;
  }
  std::string line;
  bool found = false;
  while (read_line(file.stream(), line)) {
    if (starts_with(head(line, 80), "### section processing")) {
      found = true;
      break;
    }
  }
  if (!found) {
    free_line(console, " ERROR in parfile_read:");
    free_line(console, " line '### section processing' not found in file");
    free_line(console, parameter_file.view());
    return 1;
  }

  int status = 0;
  std::string key, value;
  while (true) {
    if (!read_line(file.stream(), line)) {
      free_line(console, " WARNING in parfile_read:");
      free_line(console, " following file ended before '### end processing'");
      free_line(console, parameter_file.view());
      return 2;
    }
    const std::string_view text = head(line, 200);
    if (starts_with(text, "### end processing")) return status;
    if (JLEN(text) == 0 || text.front() == '#') continue;

    STRTOK(text, key, value, ':');
    const Field* match = nullptr;
    for (const Field& f : fields) {
      if (blank_equal(key, f.key)) {
        match = &f;
        break;
      }
    }
    if (match == nullptr) {
      console << " ERROR : undefined parameter key : '" << Text<32>(key).view() << "' in file :\n";
      free_line(console, parameter_file.view());
      return 1;
    }
    par.*(match->value) = value;
    if (match->obsolete) {
      console << " WARNING: parameter '" << Name(key).view() << "' obsolete:"
              << " not taken into account\n";
      status = 2;
    }
  }
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/check_outputs.hpp"

#include <optional>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "common/result_file.hpp"
#include "ratiospec/result_names.hpp"

namespace hv {

namespace {

// The suffixes of the files the options ask for, read as their writers read them.
std::vector<std::string> suffixes(int nwin, const PARAMETERS& par) {
  std::vector<std::string> out{""};
  if (first_token_is(par.average_spectra_out.view(), "yes")) out.emplace_back("_sp");
  if (!first_token_is(par.filter_out.view(), "no")) out.emplace_back("_KAF_fi");
  if (!par.azimuth_step.blank()) out.emplace_back("_az");
  if (!first_token_is(par.single_win_out.view(), "no")) {
    for (int w = 1; w <= nwin; ++w) out.push_back(window_suffix(w));
  }
  return out;
}

}  // namespace

int CHECK_OUTPUTS(const Name& output_file, const Name& window_file, const Name& parameter_file,
                  const WINDOWS& windows, const PARAMETERS& par, std::ostream& console) {
  InputFiles inputs;
  inputs.add(window_file.trimmed());
  inputs.add(parameter_file.trimmed());
  for (const WindowEntry& win : windows.entry) inputs.add(win.file.trimmed());

  for (const std::string& suffix : suffixes(windows.nwin(), par)) {
    const std::optional<std::string> name = result_name(output_file, suffix, console);
    if (!name) return 1;
    if (!fit_for_result(*name)) {
      free_line(console, " ERROR : the output name is taken by something other than a file:");
      free_line(console, Name(*name).view());
      return 1;
    }
    if (const std::string* input = inputs.match(*name)) {
      free_line(console, " ERROR : the result file would replace an input file of the run:");
      free_line(console, Name(*name).view());
      free_line(console, Name(*input).view());
      return 1;
    }
  }
  // A temporary file made and removed at once shows that the folder takes files,
  // before the recordings are read and processed for nothing.
  if (!ResultFile::create(std::string(output_file.trimmed()))) {
    free_line(console, " ERROR : no file can be created in the folder of the output file:");
    free_line(console, output_file.view());
    return 1;
  }
  return 0;
}

}  // namespace hv

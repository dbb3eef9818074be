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

// The suffixes of the files the options ask for. A refused azimuth_step counts as
// asking for its file: the name is checked before the refusal ends the run.
std::vector<std::string> suffixes(int nwin, const HvOptions& options) {
  std::vector<std::string> out{""};
  if (options.average_spectra_out) out.emplace_back("_sp");
  if (options.filter_out) out.emplace_back("_KAF_fi");
  if (!options.azimuth_step.ok() || options.azimuth_step.value->count() > 0) {
    out.emplace_back("_az");
  }
  if (options.single_win_out) {
    for (int w = 1; w <= nwin; ++w) out.push_back(window_suffix(w));
  }
  return out;
}

}  // namespace

int CHECK_OUTPUTS(const Name& output_file, const Name& window_file, const Name& parameter_file,
                  const WINDOWS& windows, const HvOptions& options, std::ostream& console) {
  InputFiles inputs;
  inputs.add(window_file.trimmed());
  inputs.add(parameter_file.trimmed());
  for (const WindowEntry& win : windows.entry) inputs.add(win.file.trimmed());

  for (const std::string& suffix : suffixes(windows.nwin(), options)) {
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/gcmln.hpp"

#include <vector>

#include "common/cmdline.hpp"
#include "common/fields.hpp"

namespace hv {

int GCMLN(std::span<const std::string> args, Name& window_file, Name& parameter_file,
          Name& output_file, std::ostream& console) {
  std::vector<Name> words;
  if (GUW8(args, words) != 3) {
    console << " RATIOSPEC module v.1.0. - May 2003 - ambient vibration H/V site project\n";
    console << " use : ratiospec window_file parameters_file output_file\n";
    return 1;
  }
  if (const std::string* name = overlong_name(args)) {
    free_line(console, " ERROR : file name longer than 200 characters:");
    free_line(console, *name);
    return 1;
  }
  window_file = words[0];
  parameter_file = words[1];
  output_file = words[2];
  int status = 0;
  if (CKESFI(window_file)) {
    free_line(console, " window file not found ! ");
    free_line(console, window_file.view());
    status = 1;
  }
  if (CKESFI(parameter_file)) {
    free_line(console, " parameter file not found ! ");
    free_line(console, parameter_file.view());
    status = 1;
  }
  return status;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include "calmpick/gcmlnw.hpp"

#include <vector>

#include "common/cmdline.hpp"
#include "common/fields.hpp"

namespace hv {

namespace {

void not_found(std::ostream& console, std::string_view what, const Name& name) {
  free_line(console, " WINDOWS SELECTION MODULE - ERROR !! ");
  free_line(console, what);
  free_line(console, name.view());
}

}  // namespace

int GCMLNW(std::span<const std::string> args, Name& list_file, Name& parameters_file,
           Name& output_file, std::ostream& console) {
  std::vector<Name> words;
  if (GUW8(args, words) != 3) {
    console << " WINDOWS SELECTION MODULE - ERROR !! \n";
    console << " use : calmpick list_file parameters_file output_file\n";
    return 1;
  }
  list_file = words[0];
  parameters_file = words[1];
  output_file = words[2];
  int status = 0;
  if (CKESFI(list_file)) {
    not_found(console, " list file not found ! ", list_file);
    status = 3;
  }
  if (CKESFI(parameters_file)) {
    not_found(console, " parameter file not found ! ", parameters_file);
    status = 3;
  }
  if (status == 0 && !CKESFI(output_file)) {
    free_line(console, " WARNING ");
    free_line(console, " output file already  exists: it will be overwritten ");
    free_line(console, output_file.view());
    status = 2;
  }
  return status;
}

}  // namespace hv

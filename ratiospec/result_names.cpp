// SPDX-License-Identifier: GPL-3.0-or-later
#include "ratiospec/result_names.hpp"

#include <cstdio>
#include <utility>

#include "common/fields.hpp"

namespace hv {

std::optional<std::string> result_name(const Name& output_file, std::string_view suffix,
                                       std::ostream& console) {
  std::string name(output_file.trimmed());
  name += suffix;
  if (name.size() > Name::size()) {
    free_line(console, " ERROR : result file name longer than 200 characters:");
    free_line(console, name);
    return std::nullopt;
  }
  return name;
}

std::string window_suffix(int w) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "_win_%03d", w);
  return buf;
}

void report_not_created(std::string_view routine, std::string_view name, std::ostream& console) {
  free_line(console, " ERROR: ", routine, ": can not create or write file");
  free_line(console, Name(name).view());
}

OpenResult open_result_file(std::string_view routine, const Name& output_file,
                            std::string_view suffix, UnitTable& units, std::ostream& console) {
  const std::optional<std::string> name = result_name(output_file, suffix, console);
  if (!name) return {};
  int unit = 0;
  if (units.GLUN(unit) != 0) {
    free_line(console, " ERROR: ", routine, ": can not find free unit number");
    return {};
  }
  auto file = std::make_unique<UnitFile>(units, unit);
  if (!file->open_result(*name)) {
    report_not_created(routine, *name, console);
    return {};
  }
  return {std::move(file), *name};
}

}  // namespace hv

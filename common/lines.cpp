// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/lines.hpp"

#include <filesystem>
#include <system_error>

namespace hv {

bool is_regular_input(std::string_view path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
}

bool read_line(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace hv

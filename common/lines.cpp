// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/lines.hpp"

namespace hv {

bool read_line(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of a result file, and reproducible noise for the tests.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace hv::test {

using Rows = std::vector<std::vector<double>>;

// Rows of a result file: the numbers of every line after the column header.
inline Rows rows_of(const std::vector<std::string>& lines) {
  Rows rows;
  bool in_rows = false;
  for (const auto& line : lines) {
    if (in_rows) {
      std::istringstream in(line);
      std::vector<double> row;
      std::string token;
      while (in >> token) row.push_back(std::stod(token));
      rows.push_back(row);
    }
    if (line.rfind(" #    freq", 0) == 0 || line.rfind(" #   freq", 0) == 0) in_rows = true;
  }
  return rows;
}

// The rows of the result file at path.
Rows rows_of_file(const std::string& path);

// Reproducible samples in [-1, 1).
inline std::vector<float> noise(int n, std::uint32_t seed) {
  std::vector<float> x(static_cast<std::size_t>(n));
  for (float& v : x) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
  }
  return x;
}

}  // namespace hv::test

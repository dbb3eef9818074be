// SPDX-License-Identifier: GPL-3.0-or-later
#include "calmpick/longcar.hpp"

#include <algorithm>

namespace hv {

int LONGCAR(std::string_view text, int length) {
  int n = std::clamp(length, 0, static_cast<int>(text.size()));
  while (n > 0 && text[static_cast<std::size_t>(n - 1)] == ' ') --n;
  return n;
}

}  // namespace hv

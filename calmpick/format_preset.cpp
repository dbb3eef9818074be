// SPDX-License-Identifier: GPL-3.0-or-later
#include "calmpick/format_preset.hpp"

#include "calmpick/longcar.hpp"
#include "readers/recording.hpp"

namespace hv {

int format_preset(const Name& path) {
  const int n = LONGCAR(path.view(), static_cast<int>(Name::size()));
  if (n < 3) return 0;
  if (n >= 4) {
    // .mseed, .miniseed, .seed
    const std::string_view last4 = path.view().substr(static_cast<std::size_t>(n - 4), 4);
    if (last4 == "seed" || last4 == "SEED") return format::miniseed;
  }
  const std::string_view ext = path.view().substr(static_cast<std::size_t>(n - 3), 3);
  if (ext == "gse" || ext == "GSE") return 1;
  if (ext == "kaf" || ext == "KAF" || ext == "_fi") return 2;
  return 0;
}

}  // namespace hv

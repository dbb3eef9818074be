// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/cmdline.hpp"

#include <filesystem>
#include <system_error>

namespace hv {

int GUW8(std::span<const std::string> args, std::vector<Name>& words) {
  words.assign(args.begin(), args.end());
  return static_cast<int>(words.size());
}

bool CKESFI(const Name& name) {
  std::error_code ec;
  const std::string trimmed(name.trimmed());
  return trimmed.empty() || !std::filesystem::exists(trimmed, ec);
}

}  // namespace hv

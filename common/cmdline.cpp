// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/cmdline.hpp"

#include <filesystem>
#include <system_error>

namespace hv {

int GUW8(std::span<const std::string> args, std::vector<Name>& words) {
  words.assign(args.begin(), args.end());
  return static_cast<int>(words.size());
}

const std::string* overlong_name(std::span<const std::string> args) {
  for (const std::string& arg : args) {
    if (static_cast<std::size_t>(TRIMLEN(arg)) > Name::size()) return &arg;
  }
  return nullptr;
}

bool CKESFI(const Name& name) {
  std::error_code ec;
  const std::string trimmed(name.trimmed());
  return trimmed.empty() || !std::filesystem::exists(trimmed, ec);
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// What tests of console output share: the banners and the file-name line.
#pragma once

#include <regex>
#include <string>

#include "common/text.hpp"

namespace hv::test {

inline const std::string ok_banner = " >>>>>>>>>                O.K.               <<<<<<<<<";
inline const std::string warning_banner = " >>>>>>>>> WARNING MESSAGES HAVE BEEN ISSUED <<<<<<<<<";
inline const std::string error_banner = " >>>>>>>>>       CONTROLLED ERROR EXIT       <<<<<<<<<";

inline std::string four_times(const std::string& line) {
  std::string out;
  for (int i = 0; i < 4; ++i) out += line + '\n';
  return out;
}

// A file name as it stands in a message: a blank and the 200-character padded name.
inline std::string name_line(const std::string& name) {
  return " " + Name(name).str();
}

// True when line matches pattern, where every blank run before a number in the pattern
// is written as \s+ so that the spacing of free-format numbers does not matter.
inline bool matches(const std::string& line, const std::string& pattern) {
  return std::regex_match(line, std::regex(pattern));
}

}  // namespace hv::test

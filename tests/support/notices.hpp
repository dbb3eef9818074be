// SPDX-License-Identifier: GPL-3.0-or-later
// Notices as ratiospec prints them, so that stage tests can check the texts.
#pragma once

#include <sstream>
#include <string>

#include "messages/hv_messages.hpp"

namespace hv::test {

inline std::string rendered(const Notices& notes, const PARAMETERS& par = {},
                            std::string_view file = "") {
  std::ostringstream out;
  const NoticeContext context{par, [file](int) { return file; }, {}};
  report_notices(out, notes, 0, context);
  return out.str();
}

// The notice list of an option's refusal, or nothing when it was taken.
template <typename T>
Notices refusal_of(const Parsed<T>& parsed) {
  return parsed.refusal ? Notices{*parsed.refusal} : Notices{};
}

}  // namespace hv::test

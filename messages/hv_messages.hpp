// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the H/V computation's notices, as ratiospec has always printed them.
#pragma once

#include <functional>
#include <ostream>
#include <string_view>

#include "hvlib/options.hpp"
#include "spectral/notice.hpp"

namespace hv {

// What a notice's text needs beyond its values: the options as given (refusals echo
// them), the recording file of a window, and the lines the program's recording source
// printed on reading the recording of a window.
struct NoticeContext {
  const PARAMETERS& par;
  std::function<std::string_view(int w)> file_of;
  std::function<void(std::ostream&, int w)> source_lines;
};

void report_notice(std::ostream& console, const Notice& notice, const NoticeContext& context);

// Prints notes[from ..] and returns notes.size(), so that a caller printing as a run
// goes on passes the value back.
std::size_t report_notices(std::ostream& console, const Notices& notes, std::size_t from,
                           const NoticeContext& context);

}  // namespace hv

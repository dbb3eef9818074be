// SPDX-License-Identifier: GPL-3.0-or-later
// End of a blank-padded text.
#pragma once

#include <string_view>

namespace hv {

// Position (1-based) of the last character that is not a blank (code 32), scanning
// from position length down (length is cut to the size of the text); 0 when those
// characters are all blanks. A tab is not a blank.
int LONGCAR(std::string_view text, int length);

}  // namespace hv

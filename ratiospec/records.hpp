// SPDX-License-Identifier: GPL-3.0-or-later
// The options of a ratiospec run: the texts of the parameter file (PARAMETERS) and
// their typed reading belong to the computation.
#pragma once

#include "hvlib/options.hpp"

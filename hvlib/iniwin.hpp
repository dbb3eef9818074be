// SPDX-License-Identifier: GPL-3.0-or-later
// The end taper of calmpick's characteristic function.
#pragma once

#include <span>

#include "spectral/notice.hpp"

namespace hv {

// Fills taper[0 .. nwin): nzero zeros, a raised-cosine ramp of ncos samples, ones,
// and the mirror image at the far end. nzero and ncos are reduced in place, with a
// notice each, when the recording is too short for them. Returns 0, or 1 for
// nwin <= 0 after its notice (nothing filled). taper must hold nwin values.
int INIWIN(std::span<float> taper, int nwin, int& nzero, int& ncos, Notices& notes);

}  // namespace hv

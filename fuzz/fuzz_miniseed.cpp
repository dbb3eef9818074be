// SPDX-License-Identifier: GPL-3.0-or-later
// The miniSEED reader (our wrapper of libmseed) on arbitrary bytes.
#include "fuzz/fuzz_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return hv::fuzz::read_with_format(4, data, size);
}

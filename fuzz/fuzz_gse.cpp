// SPDX-License-Identifier: GPL-3.0-or-later
// The GSE reader on arbitrary bytes: whole messages, every CM decoder behind them.
#include "fuzz/fuzz_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return hv::fuzz::read_with_format(1, data, size);
}

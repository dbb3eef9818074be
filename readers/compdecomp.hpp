// SPDX-License-Identifier: GPL-3.0-or-later
// Decoders of the CM6, CM7 and CM8 compressed sample texts of GSE waveforms.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace hv {

// What a decoder did: the number of samples stored, and flag -1 when the text held
// more samples than the output could take (count is then its size), else 0.
struct Decoded {
  int count = 0;
  int flag = 0;
};

// Each decoder makes one pass over `text`, stores the samples it finds in
// samples[0..count) and never reads or writes past either span. Samples are built
// modulo 2^32, as the 32-bit integers they encode, so that no text can overflow.
// A sample cut short by the end of the text is not stored.

// CM6: six bits per character over a 64-character alphabet. Carriage returns and
// line feeds are skipped; a blank ends the data; characters outside the alphabet
// count as "+" (value 0).
Decoded DCOMP6(std::string_view text, std::span<std::int32_t> samples);
// CM7: seven bits per character (the eighth is ignored). A first character of 64
// followed by 64 ends the data; followed by a character below 16 it moves the
// previous sample 32 toward zero.
Decoded DCOMP7(std::string_view text, std::span<std::int32_t> samples);
// CM8: eight bits per character, with the escape character 128 working as 64 does
// for CM7.
Decoded DCOMP8(std::string_view text, std::span<std::int32_t> samples);

// The decoder of compression number 6, 7 or 8, or nullptr for any other.
using Decoder = Decoded (*)(std::string_view, std::span<std::int32_t>);
Decoder decoder_for(int n);

}  // namespace hv

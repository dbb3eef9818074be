// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers/compdecomp.hpp"

#include <array>

namespace hv {

namespace {

// CM6 character classes beside the values 0..63 of the alphabet.
constexpr int cm6_skip = -1;  // carriage return, line feed
constexpr int cm6_end = -2;   // blank

constexpr std::array<int, 256> make_cm6_table() {
  std::array<int, 256> t{};  // characters outside the alphabet count as "+"
  constexpr char alphabet[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int v = 0; v < 64; ++v) t[static_cast<unsigned char>(alphabet[v])] = v;
  t['\r'] = cm6_skip;
  t['\n'] = cm6_skip;
  t[' '] = cm6_end;
  return t;
}
constexpr std::array<int, 256> cm6_table = make_cm6_table();

int cm6_value(char c) {
  return cm6_table[static_cast<unsigned char>(c)];
}

// Stores one finished sample; false (with the flag set) when the output is full.
bool store(std::uint32_t value, bool negative, std::span<std::int32_t> samples, Decoded& r) {
  if (static_cast<std::size_t>(r.count) == samples.size()) {
    r.flag = -1;
    return false;
  }
  samples[static_cast<std::size_t>(r.count++)] =
      static_cast<std::int32_t>(negative ? 0u - value : value);
  return true;
}

// CM7 and CM8 differ only in their bit widths: `cont` is the continuation bit of
// every character, `sign` the sign bit of a first character, `escape` the first
// character that may open an end marker or a correction, `char_mask` the bits of a
// character that count.
template <unsigned cont, unsigned sign, unsigned escape, unsigned char_mask>
Decoded decode_wide(std::string_view text, std::span<std::int32_t> samples) {
  Decoded r;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned first = static_cast<unsigned char>(text[i++]) & char_mask;
    std::uint32_t value = first & (sign - 1);
    bool more = (first & cont) != 0;
    bool opened_by_escape = first == escape;
    bool complete = true, corrected = false;
    while (more) {
      if (i == n) {
        complete = false;
        break;
      }
      const unsigned v = static_cast<unsigned char>(text[i++]) & char_mask;
      if (opened_by_escape) {
        if (v == escape) return r;
        if (v < 16) {
          // Nothing precedes the very first sample, so there is nothing to move.
          if (r.count > 0) {
            std::int32_t& last = samples[static_cast<std::size_t>(r.count - 1)];
            last = last >= 0 ? last - 32 : last + 32;
          }
          corrected = true;
          break;
        }
        opened_by_escape = false;
      }
      value = value * cont + (v & (cont - 1));
      more = (v & cont) != 0;
    }
    if (!complete) break;
    if (!corrected && !store(value, (first & sign) != 0, samples, r)) break;
  }
  return r;
}

}  // namespace

Decoded DCOMP6(std::string_view text, std::span<std::int32_t> samples) {
  Decoded r;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const int first = cm6_value(text[i++]);
    if (first == cm6_skip) continue;
    if (first == cm6_end) break;
    std::uint32_t value = static_cast<std::uint32_t>(first & 15);
    bool more = (first & 32) != 0;
    bool complete = true;
    while (more) {
      while (i < n && cm6_value(text[i]) == cm6_skip) ++i;
      const int v = i < n ? cm6_value(text[i++]) : cm6_end;
      // A blank inside a sample ends the data as well; the cut sample is dropped so
      // that the count shows the loss.
      if (v == cm6_end) {
        complete = false;
        break;
      }
      value = value * 32 + static_cast<std::uint32_t>(v & 31);
      more = (v & 32) != 0;
    }
    if (!complete || !store(value, (first & 16) != 0, samples, r)) break;
  }
  return r;
}

Decoded DCOMP7(std::string_view text, std::span<std::int32_t> samples) {
  return decode_wide<64, 32, 64, 127>(text, samples);
}

Decoded DCOMP8(std::string_view text, std::span<std::int32_t> samples) {
  return decode_wide<128, 64, 128, 255>(text, samples);
}

Decoder decoder_for(int n) {
  switch (n) {
    case 6:
      return DCOMP6;
    case 7:
      return DCOMP7;
    case 8:
      return DCOMP8;
    default:
      return nullptr;
  }
}

}  // namespace hv

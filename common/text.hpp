// SPDX-License-Identifier: GPL-3.0-or-later
// Blank-padded fixed-length texts and the text utilities shared by both programs.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace hv {

// Position (1-based) of the last non-blank character; 0 for a blank or empty text.
// Only the blank (code 32) counts as white space.
int JLEN(std::string_view text);
// As JLEN, but 1 for a blank or empty text.
int TRIMLEN(std::string_view text);

// True when the two texts are equal once the shorter is padded with blanks.
bool blank_equal(std::string_view a, std::string_view b);

// A text of exactly N characters: assignment cuts longer texts and pads shorter
// ones with blanks; comparisons ignore trailing blanks.
template <std::size_t N>
class Text {
 public:
  Text() { data_.fill(' '); }
  Text(std::string_view s) { assign(s); }  // NOLINT: implicit on purpose, like an assignment
  Text(const char* s) : Text(std::string_view(s)) {}
  Text(const std::string& s) : Text(std::string_view(s)) {}
  template <std::size_t M>
  explicit Text(const Text<M>& other) : Text(other.view()) {}

  Text& operator=(std::string_view s) {
    assign(s);
    return *this;
  }
  Text& operator=(const std::string& s) { return *this = std::string_view(s); }
  Text& operator=(const char* s) { return *this = std::string_view(s); }

  static constexpr std::size_t size() { return N; }
  char* data() { return data_.data(); }
  const char* data() const { return data_.data(); }
  char* begin() { return data_.data(); }
  char* end() { return data_.data() + N; }
  char& operator[](std::size_t i) { return data_[i]; }
  char operator[](std::size_t i) const { return data_[i]; }

  // The whole padded text.
  std::string_view view() const { return {data_.data(), N}; }
  // The text up to its last non-blank character.
  std::string_view trimmed() const {
    return view().substr(0, static_cast<std::size_t>(JLEN(view())));
  }
  std::string str() const { return std::string(view()); }
  bool blank() const { return JLEN(view()) == 0; }

  friend bool operator==(const Text& a, std::string_view b) { return blank_equal(a.view(), b); }
  template <std::size_t M>
  friend bool operator==(const Text& a, const Text<M>& b) {
    return blank_equal(a.view(), b.view());
  }

 private:
  void assign(std::string_view s) {
    const std::size_t n = std::min(N, s.size());
    std::copy_n(s.data(), n, data_.data());
    std::fill(data_.begin() + static_cast<std::ptrdiff_t>(n), data_.end(), ' ');
  }
  std::array<char, N> data_;
};

using Name = Text<200>;   // file names and command words
using Option = Text<80>;  // option values of the parameter file
using Word = Text<200>;   // one token of a split line

// At most this many tokens are recognised on one line.
inline constexpr int max_tokens = 200;

// Splits text into tokens separated by blanks and the separator character (runs of
// them count as one break). Returns the token count; words[0..count) are filled
// (as many as fit). A blank text gives 0 and leaves the words untouched.
int SPLIT3(std::string_view text, std::span<Word> words, char separator);

// True when the first token of an option value (split at blanks and colons as
// SPLIT3 does) is keyword.
bool first_token_is(std::string_view option, std::string_view keyword);

// Splits text at blanks; a first token beginning with a double quote opens a quoted
// first word that may contain blanks. Returns 0, or 1 when the quote is not closed
// (then the words are not filled).
int SPLIT4(std::string_view text, std::span<Word> words, int& count);

// Splits "key<delim>value" at the first delimiter after the first non-blank character.
void STRTOK(std::string_view text, std::string& key, std::string& value, char delimiter);

// Splits a "key = value" header line over positions 1..n: part1 gets the non-blank
// characters before the separator, part2 the text after it without leading blanks.
// Both parts are blank-padded to n characters.
void SPLTCT8(std::string_view text, std::string& part1, std::string& part2, char separator, int n);

// Letters a-z to A-Z over the whole text.
void TOUPS8(std::span<char> text);
// Letters a-z to A-Z up to the last non-blank character.
void CASEFOLD(std::span<char> text);

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
// Readable names for the cases of parameterised tests, the same in every build, so that
// a failing case reads Cases/OffsetOption/r_mean_all and ctest -R can select it.
#pragma once

#include <charconv>
#include <functional>
#include <string>
#include <string_view>

namespace hv::test {

inline bool ascii_alnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Test names allow letters, digits and underscores only. A name is cut after 60
// characters; an empty text is named "empty".
inline std::string finished_name(std::string name) {
  if (name.size() > 60) name.resize(60);
  return name.empty() ? "empty" : name;
}

// Letters and digits kept, every other character an underscore.
inline std::string param_name(std::string_view text) {
  std::string name;
  for (const char c : text) name += ascii_alnum(c) ? c : '_';
  return finished_name(name);
}

// For cases that differ only in punctuation or blanks: a blank or an underscore is an
// underscore, any other character that is not a letter or digit is spelled out between
// underscores ("7,8" gives 7_comma_8, "a\tb" gives a_tab_b).
inline std::string spelled_name(std::string_view text) {
  static constexpr std::string_view punctuation = ".,/:;-+\"'=#()%\t\r\n*!?<>[]{}\\|&@$^~`";
  static constexpr std::string_view words[] = {
      "dot",  "comma", "slash",  "colon",  "semicolon", "minus",  "plus",   "quote",  "apos",
      "eq",   "hash",  "lparen", "rparen", "pct",       "tab",    "cr",     "nl",     "star",
      "excl", "quest", "lt",     "gt",     "lbrack",    "rbrack", "lbrace", "rbrace", "bslash",
      "bar",  "amp",   "at",     "dollar", "caret",     "tilde",  "grave"};
  static_assert(std::size(words) == punctuation.size());
  std::string name;
  for (const char c : text) {
    if (ascii_alnum(c)) {
      name += c;
    } else if (const auto k = punctuation.find(c); k != std::string_view::npos) {
      name += '_';
      name += words[k];
      name += '_';
    } else {
      name += '_';
    }
  }
  return finished_name(name);
}

// A number: its shortest exact text, "minus" for a sign, an underscore for the point
// ("-0.25" gives minus0_25, "1.5e-12" gives 1_5eminus12).
template <class Number>
std::string number_name(Number value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  std::string name;
  for (const char* p = text; p != end; ++p) {
    if (*p == '-') name += "minus";
    if (ascii_alnum(*p)) name += *p;
    if (*p == '.') name += '_';
  }
  return finished_name(name);
}
inline std::string param_name(double value) {
  return number_name(value);
}
inline std::string param_name(float value) {
  return number_name(value);
}
inline std::string param_name(int value) {
  return number_name(value);
}

// Name generator for INSTANTIATE_TEST_SUITE_P: names each case by param_name of one of
// its members (a member pointer) or of what a function gives for it.
template <class Key>
auto name_by(Key key) {
  return [key](const auto& info) { return param_name(std::invoke(key, info.param)); };
}

// The same with spelled_name, for cases told apart by punctuation.
template <class Key>
auto spelled_by(Key key) {
  return [key](const auto& info) { return spelled_name(std::invoke(key, info.param)); };
}

// Name generators for cases that are themselves texts or numbers.
inline constexpr auto name_by_value = [](const auto& info) { return param_name(info.param); };
inline constexpr auto spelled_by_value = [](const auto& info) { return spelled_name(info.param); };

}  // namespace hv::test

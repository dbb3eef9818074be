// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/text.hpp"

#include <array>

namespace hv {

int JLEN(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return static_cast<int>(n);
}

int TRIMLEN(std::string_view text) {
  return std::max(1, JLEN(text));
}

bool blank_equal(std::string_view a, std::string_view b) {
  if (a.size() < b.size()) std::swap(a, b);
  if (a.substr(0, b.size()) != b) return false;
  return a.find_first_not_of(' ', b.size()) == std::string_view::npos;
}

namespace {

struct Span {
  std::size_t first;
  std::size_t last;  // one past the end
};

// The token positions of one line, held in place: splitting allocates nothing, so
// option values can be split in per-window code.
struct Spans {
  std::array<Span, max_tokens> at;
  std::size_t count = 0;
};

// Token positions of text, breaking at blanks and at the separator (0: blanks only).
Spans token_spans(std::string_view text, char separator) {
  Spans spans;
  const auto is_break = [separator](char c) {
    return c == ' ' || (separator != 0 && c == separator);
  };
  std::size_t i = 0;
  while (i < text.size() && spans.count < spans.at.size()) {
    while (i < text.size() && is_break(text[i])) ++i;
    if (i == text.size()) break;
    const std::size_t first = i;
    while (i < text.size() && !is_break(text[i])) ++i;
    spans.at[spans.count++] = {first, i};
  }
  return spans;
}

void copy_words(std::string_view text, const Spans& spans, std::span<Word> words) {
  const std::size_t n = std::min(spans.count, words.size());
  for (std::size_t k = 0; k < n; ++k) {
    words[k] = text.substr(spans.at[k].first, spans.at[k].last - spans.at[k].first);
  }
}

}  // namespace

int SPLIT3(std::string_view text, std::span<Word> words, char separator) {
  const Spans spans = token_spans(text, separator);
  copy_words(text, spans, words);
  return static_cast<int>(spans.count);
}

bool first_token_is(std::string_view option, std::string_view keyword) {
  std::array<Word, 1> first;
  return SPLIT3(option, first, ':') > 0 && first[0] == keyword;
}

int SPLIT4(std::string_view text, std::span<Word> words, int& count) {
  count = 0;
  Spans spans = token_spans(text, 0);
  if (spans.count == 0) return 0;
  if (text[spans.at[0].first] == '"') {
    // A lone quote as first token: the closing quote is looked for from token 2 on.
    const bool lone = spans.at[0].last - spans.at[0].first == 1;
    std::size_t close = lone ? 1 : 0;
    while (close < spans.count && text[spans.at[close].last - 1] != '"') ++close;
    if (close == spans.count) return 1;
    // The quoted word runs from after the opening quote to before the closing one;
    // the tokens after the closing quote move up behind it.
    const std::size_t first = spans.at[0].first + 1;
    const std::size_t last = std::max(first, spans.at[close].last - 1);
    spans.at[0] = {first, last};
    std::copy(spans.at.begin() + static_cast<std::ptrdiff_t>(close) + 1,
              spans.at.begin() + static_cast<std::ptrdiff_t>(spans.count), spans.at.begin() + 1);
    spans.count -= close;
  }
  copy_words(text, spans, words);
  count = static_cast<int>(spans.count);
  return 0;
}

void STRTOK(std::string_view text, std::string& key, std::string& value, char delimiter) {
  value.clear();
  const std::size_t p = text.find_first_not_of(' ');
  if (p == std::string_view::npos) {
    key = std::string(text);
    return;
  }
  const std::size_t q = text.find(delimiter, p + 1);
  if (q == std::string_view::npos) {
    key = std::string(text);
    return;
  }
  key = std::string(text.substr(p, q - p));
  const std::string_view rest = text.substr(q + 1);
  value = std::string(rest.substr(0, static_cast<std::size_t>(JLEN(rest))));
  if (JLEN(value) == 0) value.clear();
}

void SPLTCT8(std::string_view text, std::string& part1, std::string& part2, char separator, int n) {
  const auto width = static_cast<std::size_t>(std::max(n, 0));
  part1.clear();
  part2.clear();
  const std::string_view scan = text.substr(0, std::min(width, text.size()));
  for (std::size_t i = 0; i < scan.size(); ++i) {
    const char c = scan[i];
    if (c == ' ') continue;
    if (c != separator) {
      part1.push_back(c);
      continue;
    }
    const std::size_t v = scan.find_first_not_of(' ', i + 1);
    if (v != std::string_view::npos) part2 = std::string(scan.substr(v));
    break;
  }
  part1.resize(width, ' ');
  part2.resize(width, ' ');
}

namespace {
void upcase(std::span<char> text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}
}  // namespace

void TOUPS8(std::span<char> text) {
  upcase(text);
}

void CASEFOLD(std::span<char> text) {
  upcase(text.first(static_cast<std::size_t>(JLEN({text.data(), text.size()}))));
}

}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "common/text.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

std::vector<std::string> trimmed_words(std::span<const Word> words, int count) {
  std::vector<std::string> out;
  for (int k = 0; k < count; ++k) out.emplace_back(words[static_cast<std::size_t>(k)].trimmed());
  return out;
}

TEST(FixedText, CutsLongTextsAndPadsShortOnes) {
  const Text<3> cut("abcdef");
  EXPECT_EQ(cut.view(), "abc");
  const Text<5> padded("ab");
  EXPECT_EQ(padded.view(), "ab   ");
  EXPECT_EQ(padded.trimmed(), "ab");
  EXPECT_TRUE(Text<4>().blank());
  EXPECT_EQ(Text<4>().view(), "    ");
}

TEST(FixedText, ComparesWithTrailingBlanksIgnoredButCaseAndLeadingBlanksKept) {
  EXPECT_TRUE(Text<10>("abc") == "abc");
  EXPECT_TRUE(Text<10>("abc") == "abc      ");
  EXPECT_TRUE(Text<10>("ab") == Text<3>("ab"));
  EXPECT_FALSE(Text<10>("abc") == "ABC");
  EXPECT_FALSE(Text<10>(" abc") == "abc");
  EXPECT_FALSE(Text<10>("abc") == "abcd");
  EXPECT_TRUE(blank_equal("", "   "));
  EXPECT_FALSE(blank_equal("a", "a  b"));
}

struct LenCase {
  std::string text;
  int trimlen;
  int jlen;
  friend std::ostream& operator<<(std::ostream& os, const LenCase& c) {
    return os << '[' << c.text << ']';
  }
};
class TrimlenJlen : public ::testing::TestWithParam<LenCase> {};
TEST_P(TrimlenJlen, MeasureUpToTheLastNonBlank) {
  EXPECT_EQ(TRIMLEN(GetParam().text), GetParam().trimlen);
  EXPECT_EQ(JLEN(GetParam().text), GetParam().jlen);
}
INSTANTIATE_TEST_SUITE_P(Text, TrimlenJlen,
                         ::testing::Values(LenCase{"", 1, 0}, LenCase{"    ", 1, 0},
                                           LenCase{"a", 1, 1}, LenCase{"ab  ", 2, 2},
                                           LenCase{"  a ", 3, 3}, LenCase{"a\t", 2, 2}),
                         test::name_by(&LenCase::text));

struct SplitCase {
  std::string text;
  char separator;
  std::vector<std::string> words;
  friend std::ostream& operator<<(std::ostream& os, const SplitCase& c) {
    return os << '[' << c.text << ']';
  }
};
class Split3 : public ::testing::TestWithParam<SplitCase> {};
TEST_P(Split3, GivesTheTokensBetweenBlanksAndSeparators) {
  std::array<Word, 8> words;
  const int count = SPLIT3(GetParam().text, words, GetParam().separator);
  EXPECT_EQ(trimmed_words(words, count), GetParam().words);
}
INSTANTIATE_TEST_SUITE_P(
    Text, Split3,
    ::testing::Values(SplitCase{"konno-ohmachi:40", ':', {"konno-ohmachi", "40"}},
                      SplitCase{"r_mean : win", ':', {"r_mean", "win"}},
                      SplitCase{"a::b", ':', {"a", "b"}}, SplitCase{"cos", ':', {"cos"}},
                      SplitCase{":5", ':', {"5"}}, SplitCase{"5:", ':', {"5"}},
                      SplitCase{"  log:1.5:tri  ", ':', {"log", "1.5", "tri"}},
                      SplitCase{"band-pass:0.5:20", ':', {"band-pass", "0.5", "20"}},
                      SplitCase{"a\tb:c", ':', {"a\tb", "c"}},
                      SplitCase{"x=1 y", '=', {"x", "1", "y"}}),
    test::name_by(&SplitCase::text));

TEST(Split3Edge, BlankTextGivesNoWordAndLeavesTheWordsAlone) {
  std::array<Word, 2> words{Word("keep"), Word("me")};
  EXPECT_EQ(SPLIT3("      ", words, ':'), 0);
  EXPECT_EQ(SPLIT3("", words, ':'), 0);
  EXPECT_EQ(SPLIT3(":::", words, ':'), 0);
  EXPECT_EQ(words[0], "keep");
  EXPECT_EQ(words[1], "me");
}

TEST(Split3Edge, FirstTokenOfAnOptionValue) {
  EXPECT_TRUE(first_token_is(" yes", "yes"));
  EXPECT_TRUE(first_token_is("no:whatever", "no"));
  EXPECT_FALSE(first_token_is("nope", "no"));
  EXPECT_FALSE(first_token_is("   ", "no"));
  EXPECT_FALSE(first_token_is("r_mean", "R_MEAN"));
}

TEST(Split3Edge, CutsAWordTo200Characters) {
  std::array<Word, 2> words;
  const std::string longword(250, 'x');
  ASSERT_EQ(SPLIT3(longword + ":7", words, ':'), 2);
  EXPECT_EQ(words[0].view(), std::string(200, 'x'));
  EXPECT_EQ(words[1], "7");
}

TEST(Split3Edge, RecognisesAtMost200TokensAndFillsOnlyTheWordsGiven) {
  std::string text;
  for (int k = 0; k < 300; ++k) {
    text += 't';
    text += std::to_string(k);
    text += ' ';
  }
  std::array<Word, 3> words;
  EXPECT_EQ(SPLIT3(text, words, ':'), 200);
  EXPECT_EQ(trimmed_words(words, 3), (std::vector<std::string>{"t0", "t1", "t2"}));
}

struct Split4Case {
  std::string text;
  std::vector<std::string> words;
  friend std::ostream& operator<<(std::ostream& os, const Split4Case& c) {
    return os << '[' << c.text << ']';
  }
};
class Split4 : public ::testing::TestWithParam<Split4Case> {};
TEST_P(Split4, TakesAQuotedFirstWordWithItsBlanks) {
  std::array<Word, 8> words;
  int count = -1;
  ASSERT_EQ(SPLIT4(GetParam().text, words, count), 0);
  EXPECT_EQ(trimmed_words(words, count), GetParam().words);
}
INSTANTIATE_TEST_SUITE_P(Text, Split4,
                         ::testing::Values(Split4Case{"\"my data/site a.kaf\" 0.0 20.0",
                                                      {"my data/site a.kaf", "0.0", "20.0"}},
                                           Split4Case{"\"/data/site.kaf\"   1.5 3 2",
                                                      {"/data/site.kaf", "1.5", "3", "2"}},
                                           Split4Case{"plain.kaf 1 2", {"plain.kaf", "1", "2"}},
                                           Split4Case{"  \"a  b\"", {"a  b"}},
                                           Split4Case{"\"\" 1 2", {"", "1", "2"}},
                                           Split4Case{"\" lead\" 1", {" lead", "1"}},
                                           Split4Case{"\"a\"b\" 1", {"a\"b", "1"}},
                                           Split4Case{"x \"a b\" 1", {"x", "\"a", "b\"", "1"}},
                                           Split4Case{"", {}}, Split4Case{"a\tb c", {"a\tb", "c"}}),
                         test::name_by(&Split4Case::text));

TEST(Split4Edge, AnUnclosedQuoteGivesStatusOneAndFillsNothing) {
  for (const std::string text : {"\"no end 1 2", "\"", "\" 1 2", "\"a \"b 3"}) {
    std::array<Word, 3> words{Word("keep"), Word("keep"), Word("keep")};
    int count = -1;
    EXPECT_EQ(SPLIT4(text, words, count), 1) << text;
    EXPECT_EQ(count, 0) << text;
    EXPECT_EQ(words[0], "keep") << text;
  }
}

struct StrtokCase {
  std::string text;
  std::string key;    // trailing blanks ignored
  std::string value;  // trailing blanks ignored, leading ones significant
  friend std::ostream& operator<<(std::ostream& os, const StrtokCase& c) {
    return os << '[' << c.text << ']';
  }
};
class Strtok : public ::testing::TestWithParam<StrtokCase> {};
TEST_P(Strtok, SplitsAtTheFirstDelimiterAfterTheFirstNonBlank) {
  std::string key = "stale", value = "stale";
  STRTOK(GetParam().text, key, value, ':');
  EXPECT_TRUE(blank_equal(key, GetParam().key)) << '[' << key << ']';
  EXPECT_TRUE(blank_equal(value, GetParam().value)) << '[' << value << ']';
}
INSTANTIATE_TEST_SUITE_P(
    Text, Strtok,
    ::testing::Values(StrtokCase{"smooth: konno-ohmachi:40", "smooth", " konno-ohmachi:40"},
                      StrtokCase{"freq_spacing:fft", "freq_spacing", "fft"},
                      StrtokCase{"freq_spacing", "freq_spacing", ""},
                      StrtokCase{"   taper   :  cos:5   ", "taper", "  cos:5"},
                      StrtokCase{"  smooth", "  smooth", ""}, StrtokCase{"     ", "", ""},
                      StrtokCase{"", "", ""}, StrtokCase{"key:", "key", ""},
                      StrtokCase{"key:    ", "key", ""}, StrtokCase{":abc", ":abc", ""},
                      StrtokCase{"  :abc:d", ":abc", "d"}),
    test::name_by(&StrtokCase::text));

struct SpltctCase {
  std::string text;
  int n;
  std::string part1;
  std::string part2;
  friend std::ostream& operator<<(std::ostream& os, const SpltctCase& c) {
    return os << '[' << c.text << ']';
  }
};
class Spltct8 : public ::testing::TestWithParam<SpltctCase> {};
TEST_P(Spltct8, JoinsTheKeyAndKeepsTheValueFromItsFirstNonBlank) {
  std::string part1 = "stale", part2 = "stale";
  const auto n = static_cast<std::size_t>(GetParam().n);
  SPLTCT8(GetParam().text, part1, part2, '=', GetParam().n);
  ASSERT_EQ(part1.size(), n);
  ASSERT_EQ(part2.size(), n);
  EXPECT_EQ(part1, GetParam().part1 + std::string(n - GetParam().part1.size(), ' '));
  EXPECT_EQ(part2, GetParam().part2 + std::string(n - GetParam().part2.size(), ' '));
}
INSTANTIATE_TEST_SUITE_P(
    Text, Spltct8,
    ::testing::Values(SpltctCase{"SAMPLING RATE =  100.0 Hz", 100, "SAMPLINGRATE", "100.0 Hz"},
                      SpltctCase{"KEY=VALUE", 100, "KEY", "VALUE"},
                      SpltctCase{"A=B = C", 100, "A", "B = C"},
                      SpltctCase{"NO SEPARATOR", 100, "NOSEPARATOR", ""},
                      SpltctCase{"A =   ", 100, "A", ""}, SpltctCase{"  = B", 100, "", "B"},
                      SpltctCase{"KEY = VALUE", 8, "KEY", "VA"},
                      SpltctCase{"ABCDEFGH=1", 5, "ABCDE", ""}, SpltctCase{"", 4, "", ""}),
    test::name_by(&SpltctCase::text));

TEST(CaseChange, UpcasesOnlyTheLettersAToZ) {
  std::string text =
      "abc d\xC3\xA9"
      "f-1_z{} ";
  std::string folded = text;
  TOUPS8(text);
  EXPECT_EQ(text,
            "ABC D\xC3\xA9"
            "F-1_Z{} ");
  CASEFOLD(folded);
  EXPECT_EQ(folded, text);
  std::string blank = "   ";
  CASEFOLD(blank);
  EXPECT_EQ(blank, "   ");
}

}  // namespace
}  // namespace hv

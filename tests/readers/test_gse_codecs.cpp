// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "readers/compdecomp.hpp"
#include "tools/synth_gse.hpp"

namespace hv {
namespace {

std::vector<std::int32_t> decode(int n, const std::string& text, std::size_t capacity,
                                 int* flag = nullptr) {
  std::vector<std::int32_t> out(capacity, 12345);
  const Decoded d = decoder_for(n)(text, out);
  if (flag != nullptr) *flag = d.flag;
  out.resize(static_cast<std::size_t>(d.count));
  return out;
}

std::string bytes(std::initializer_list<int> codes) {
  std::string s;
  for (const int c : codes) s += static_cast<char>(c);
  return s;
}

// Hand-worked texts: CM6 characters are alphabet positions ("+" 0, "-" 1, "0" 2,
// "1" 3, "i" 46 = continuation + value 14, "k" 48 = continuation + sign + value 0,
// ...); CM7/CM8 characters are codes.
struct HandCase {
  std::string name;
  int n;
  std::string text;
  std::vector<std::int32_t> expected;
};

class HandDecoded : public ::testing::TestWithParam<HandCase> {};

TEST_P(HandDecoded, GivesTheWorkedSamples) {
  const HandCase& c = GetParam();
  EXPECT_EQ(decode(c.n, c.text, 16), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandDecoded,
    ::testing::Values(
        HandCase{"cm6_plus_minus_one", 6, "+-1", {0, 1, 3}},
        // "F" is 17: sign set, value 1.
        HandCase{"cm6_sign", 6, "F", {-1}},
        // "i" then "1": 14 * 32 + 3.
        HandCase{"cm6_two_characters", 6, "i1", {451}},
        HandCase{"cm6_two_characters_negative", 6, "k1", {-3}},
        HandCase{"cm6_blank_ends_the_data", 6, "-1 0", {1, 3}},
        HandCase{"cm6_line_breaks_are_skipped", 6, "i\r\n1\n-", {451, 1}},
        HandCase{"cm6_unknown_character_counts_as_plus", 6, "-*1", {1, 0, 3}},
        HandCase{"cm6_sample_cut_by_the_end_is_dropped", 6, "-k", {1}},
        HandCase{"cm6_sample_cut_by_a_blank_is_dropped", 6, "-k 1", {1}},
        HandCase{"cm8_one", 8, bytes({1}), {1}}, HandCase{"cm8_sign", 8, bytes({65}), {-1}},
        HandCase{"cm8_continuation", 8, bytes({129, 5}), {133}},
        HandCase{"cm7_continuation", 7, bytes({65, 5}), {69}},
        HandCase{"cm7_ignores_the_eighth_bit", 7, bytes({193, 133}), {69}},
        HandCase{"cm7_end_marker_stops_before_more_text", 7, bytes({3, 64, 64, 5, 6}), {3}},
        HandCase{"cm8_end_marker", 8, bytes({3, 128, 128, 5}), {3}},
        // A correction moves the previous sample 32 toward zero: 40 -> 8, -40 -> -8.
        // In CM7, 40 takes two characters (a leading zero digit, then 40), the first
        // being the escape code with a continuation of 16 or more.
        HandCase{"cm7_correction_of_a_positive_sample", 7, bytes({64, 40, 64, 3, 2}), {8, 2}},
        HandCase{"cm8_correction_of_a_positive_sample", 8, bytes({40, 128, 9, 2}), {8, 2}},
        HandCase{"cm8_correction_of_a_negative_sample", 8, bytes({64 + 40, 128, 0}), {-8}},
        HandCase{"cm8_correction_before_any_sample_is_ignored", 8, bytes({128, 1, 7}), {7}},
        // An escape followed by a character of 16 or more is an ordinary continuation.
        HandCase{"cm8_escape_then_plain_continuation", 8, bytes({128, 20}), {20}}),
    [](const auto& info) { return info.param.name; });

TEST(DecoderCapacity, FullOutputSetsTheFlagAndKeepsTheCapacity) {
  for (const int n : {6, 7, 8}) {
    const std::vector<std::int32_t> x = {5, -7, 300, 9};
    const std::string text = synth::encode_cm(n, x);
    int flag = 0;
    EXPECT_EQ(decode(n, text, 4, &flag), x) << "CM" << n;
    EXPECT_EQ(flag, 0) << "CM" << n << ": a text that fits exactly is not too long";
    EXPECT_EQ(decode(n, text, 3, &flag), std::vector<std::int32_t>(x.begin(), x.begin() + 3));
    EXPECT_EQ(flag, -1) << "CM" << n;
    EXPECT_TRUE(decode(n, text, 0, &flag).empty());
    EXPECT_EQ(flag, -1) << "CM" << n;
  }
}

// Round trips through the encoder of the test tools, over the values at which each
// code needs one more character, the 32-bit limits and random values.
struct CodeCase {
  int n;
  int first_bits;
  int cont_bits;
};

class RoundTrip : public ::testing::TestWithParam<CodeCase> {
 protected:
  std::vector<std::int32_t> limits() const {
    const CodeCase& c = GetParam();
    std::vector<std::int32_t> x = {0,
                                   1,
                                   -1,
                                   std::numeric_limits<std::int32_t>::max(),
                                   std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::min() + 1};
    for (int bits = c.first_bits; bits < 32; bits += c.cont_bits) {
      const std::int64_t edge = std::int64_t{1} << bits;
      for (const std::int64_t v : {edge - 1, edge, -(edge - 1), -edge}) {
        x.push_back(static_cast<std::int32_t>(v));
      }
    }
    std::mt19937 rng(static_cast<unsigned>(c.n));
    std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    std::uniform_int_distribution<std::int32_t> small(-5000, 5000);
    for (int i = 0; i < 2000; ++i) x.push_back(i % 2 == 0 ? any(rng) : small(rng));
    return x;
  }
};

TEST_P(RoundTrip, LimitsAndRandomValues) {
  const auto x = limits();
  const std::string text = synth::encode_cm(GetParam().n, x);
  EXPECT_EQ(decode(GetParam().n, text, x.size()), x);
}

INSTANTIATE_TEST_SUITE_P(Codes, RoundTrip,
                         ::testing::Values(CodeCase{6, 4, 5}, CodeCase{7, 5, 6}, CodeCase{8, 6, 7}),
                         [](const auto& info) { return "CM" + std::to_string(info.param.n); });

TEST(Correction, EscapePairsAndEndMarkerRoundTrip) {
  const std::vector<std::int32_t> x = {0,  -1, 31,   -32,   -33,     10,         13,
                                       32, -5, 4095, -4096, 1 << 20, -(1 << 29), 64};
  std::vector<std::size_t> corrected;
  for (std::size_t i = 0; i < x.size(); i += 2) corrected.push_back(i);
  for (const int n : {7, 8}) {
    const std::string text = synth::encode_cm(n, x, corrected, true) + "junk";
    ASSERT_NE(text.find(static_cast<char>(1 << (n - 1))), std::string::npos);
    EXPECT_EQ(decode(n, text, 64), x) << "CM" << n;
  }
}

}  // namespace
}  // namespace hv

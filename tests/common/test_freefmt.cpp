// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/freefmt.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

struct RealCase {
  std::string text;
  float expected;
  friend std::ostream& operator<<(std::ostream& os, const RealCase& c) { return os << c.text; }
};
class ReadReal : public ::testing::TestWithParam<RealCase> {};
TEST_P(ReadReal, ReadsTheFirstValueOfTheText) {
  const std::optional<float> v = read_real(GetParam().text);
  ASSERT_TRUE(v.has_value()) << GetParam().text;
  EXPECT_EQ(*v, GetParam().expected) << GetParam().text;
}
INSTANTIATE_TEST_SUITE_P(
    FreeFormat, ReadReal,
    ::testing::Values(RealCase{"1.5", 1.5f}, RealCase{"   -2.25   ", -2.25f}, RealCase{"+.5", 0.5f},
                      RealCase{"5.", 5.0f}, RealCase{"42", 42.0f}, RealCase{"0.1", 0.1f},
                      RealCase{"1.5E2", 150.0f}, RealCase{"1.5e-2", 1.5e-2f},
                      RealCase{"1.5D2", 150.0f}, RealCase{"2d-3", 2e-3f}, RealCase{"3.0E+00", 3.0f},
                      RealCase{"7,8", 7.0f}, RealCase{"7/8", 7.0f}, RealCase{"7 8", 7.0f},
                      RealCase{"12.345  ", 12.345f}, RealCase{"9999.999", 9999.999f},
                      // A range-error underflow rounds to zero; a subnormal is kept.
                      RealCase{"1e-50", 0.0f}, RealCase{"1e-40", 1e-40f},
                      // Longer than any fixed scratch buffer.
                      RealCase{"0." + std::string(70, '0') + "125E73", 125.0f}),
    test::spelled_by(&RealCase::text));

class ReadRealRefused : public ::testing::TestWithParam<std::string> {};
TEST_P(ReadRealRefused, GivesNoValueRatherThanAMadeUpOne) {
  EXPECT_FALSE(read_real(GetParam()).has_value()) << GetParam();
  EXPECT_FALSE(read_double(GetParam()).has_value()) << GetParam();
}
INSTANTIATE_TEST_SUITE_P(FreeFormat, ReadRealRefused,
                         ::testing::Values("", "     ", "abc", "1.5x", "1..5", "e5", ".", "-",
                                           "+-1", "--1", "1.5E", "1.5E+", "1.5E2.0", "NaN", "Inf",
                                           "infinity", "0x1A", ",5", "/5", "1e999", "\t1"),
                         test::spelled_by_value);

TEST(FreeFormatEdge, FloatOverflowIsRefusedWhereDoubleStillFits) {
  EXPECT_FALSE(read_real("1e39").has_value());
  EXPECT_EQ(read_double("1e39"), 1e39);
}

TEST(FreeFormatEdge, UnderflowKeepsItsSign) {
  const std::optional<float> neg = read_real("-1e-50");
  ASSERT_TRUE(neg.has_value());
  EXPECT_EQ(*neg, 0.0f);
  EXPECT_TRUE(std::signbit(*neg));
  EXPECT_EQ(read_double("1D-400"), 0.0);
}

TEST(FreeFormatEdge, DoubleReadKeepsExtendedPrecision) {
  EXPECT_EQ(read_double("0.1D0"), 0.1);
  EXPECT_EQ(read_double("  123456789.125 "), 123456789.125);
  EXPECT_NE(static_cast<double>(*read_real("0.1")), 0.1);
}

struct IntCase {
  std::string text;
  std::optional<int> expected;
  friend std::ostream& operator<<(std::ostream& os, const IntCase& c) { return os << c.text; }
};
class ReadInt : public ::testing::TestWithParam<IntCase> {};
TEST_P(ReadInt, TakesSignAndDigitsOnly) {
  EXPECT_EQ(read_int(GetParam().text), GetParam().expected) << GetParam().text;
}
INSTANTIATE_TEST_SUITE_P(
    FreeFormat, ReadInt,
    ::testing::Values(IntCase{"42", 42}, IntCase{"  -7  ", -7}, IntCase{"+3", 3},
                      IntCase{"12,5", 12}, IntCase{"3/", 3}, IntCase{"2 9", 2},
                      IntCase{"3.0", std::nullopt}, IntCase{"1e3", std::nullopt},
                      IntCase{"abc", std::nullopt}, IntCase{"", std::nullopt},
                      IntCase{"   ", std::nullopt}, IntCase{"+-5", std::nullopt},
                      IntCase{"--5", std::nullopt}, IntCase{"5x", std::nullopt},
                      IntCase{"99999999999", std::nullopt}, IntCase{"+", std::nullopt}),
    test::spelled_by(&IntCase::text));

TEST(FreeFormatEdge, ParseTakesTheWholeTextOnly) {
  EXPECT_EQ(parse_real("2.5"), 2.5f);
  EXPECT_FALSE(parse_real(" 2.5").has_value());
  EXPECT_FALSE(parse_real("2.5,").has_value());
  EXPECT_EQ(parse_int("-12"), -12);
  EXPECT_FALSE(parse_int("12 ").has_value());
}

// The items of a read over several lines: v(text) for a value, n for a null, / for
// the slash and | for each line end.
std::string scan(const std::vector<std::string>& lines) {
  ListScanner scanner;
  std::string out;
  for (const std::string& line : lines) {
    scanner.feed(line);
    std::string_view value;
    for (;;) {
      const ListScanner::Item item = scanner.next(value);
      if (item == ListScanner::Item::end_of_line) break;
      if (item == ListScanner::Item::value) out += "v(" + std::string(value) + ")";
      if (item == ListScanner::Item::null) out += "n";
      if (item == ListScanner::Item::slash) out += "/";
    }
    out += "|";
  }
  return out;
}

struct ScanCase {
  std::vector<std::string> lines;
  std::string items;
  friend std::ostream& operator<<(std::ostream& os, const ScanCase& c) { return os << c.items; }
};
class ListScan : public ::testing::TestWithParam<ScanCase> {};
TEST_P(ListScan, SeparatesValuesNullsAndTheSlash) {
  EXPECT_EQ(scan(GetParam().lines), GetParam().items);
}
INSTANTIATE_TEST_SUITE_P(
    FreeFormat, ListScan,
    ::testing::Values(ScanCase{{"1 2  3"}, "v(1)v(2)v(3)|"}, ScanCase{{"1,,3"}, "v(1)nv(3)|"},
                      ScanCase{{",2"}, "nv(2)|"}, ScanCase{{", ,"}, "nn|"},
                      ScanCase{{"1 , 2"}, "v(1)v(2)|"}, ScanCase{{"1,2,/"}, "v(1)v(2)/|"},
                      ScanCase{{"4 / 5 6"}, "v(4)/|"}, ScanCase{{"7/8"}, "v(7)/|"},
                      ScanCase{{"   "}, "|"}, ScanCase{{"1.5E2,-3D0"}, "v(1.5E2)v(-3D0)|"},
                      ScanCase{{"1,", "2"}, "v(1)|v(2)|"}, ScanCase{{"1,", ",3"}, "v(1)|nv(3)|"},
                      ScanCase{{"1", ",3"}, "v(1)|v(3)|"},
                      ScanCase{{"1 2", "", "3 /"}, "v(1)v(2)||v(3)/|"}),
    [](const auto& info) {
      std::string lines;
      for (const auto& line : info.param.lines) lines += (lines.empty() ? "" : "\n") + line;
      return test::spelled_name(lines);
    });

}  // namespace
}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "readers/gse_lines.hpp"

namespace hv {
namespace {

TEST(GseLines, AnOverlongLineIsCutAndTheNextLineFollows) {
  const std::string text = std::string(GseLines::max_line + 10, 'a') + "\nnext\n";
  std::stringbuf source(text);
  GseLines in(source);
  std::string_view line;
  ASSERT_TRUE(in.line(line));
  EXPECT_EQ(line.size(), GseLines::max_line);
  EXPECT_TRUE(in.cut());
  ASSERT_TRUE(in.line(line));
  EXPECT_EQ(line, "next");
  EXPECT_FALSE(in.cut());
}

// Integers of a free-format read: the values read before the read stops, and how it
// stops.
struct IntCase {
  std::string name;
  std::string text;
  std::vector<std::int32_t> values;
  GseLines::Read stop;
};

void PrintTo(const IntCase& c, std::ostream* os) {
  *os << c.name;
}

class FreeIntegers : public ::testing::TestWithParam<IntCase> {};

TEST_P(FreeIntegers, ReadUntilTheStop) {
  std::stringbuf source(GetParam().text);
  GseLines in(source);
  std::vector<std::int32_t> got;
  std::int32_t v = 0;
  GseLines::Read r;
  while ((r = in.next_int(v)) == GseLines::Read::value) got.push_back(v);
  EXPECT_EQ(got, GetParam().values);
  EXPECT_EQ(r, GetParam().stop);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FreeIntegers,
    ::testing::Values(
        IntCase{"blanks_tabs_and_lines", "1  -2\t+3\r\n4\n", {1, -2, 3, 4}, GseLines::Read::end},
        IntCase{"commas", "1, 2 ,3\n,4", {1, 2, 3, 4}, GseLines::Read::end},
        IntCase{"null_value", "1,,2", {1}, GseLines::Read::bad},
        IntCase{"limits", "2147483647 -2147483648", {2147483647, -2147483648}, GseLines::Read::end},
        IntCase{"above_the_limit", "7 2147483648", {7}, GseLines::Read::bad},
        IntCase{"real_value", "7 1.5", {7}, GseLines::Read::bad},
        IntCase{"sign_alone", "-", {}, GseLines::Read::bad},
        IntCase{"overlong_zeros", "0000000000001", {}, GseLines::Read::bad},
        // The first 1 MiB block read ends inside 123456.
        IntCase{"value_across_the_block_end",
                std::string((std::size_t{1} << 20) - 3, ' ') + "123456 7",
                {123456, 7},
                GseLines::Read::end}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace hv

// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "ratiospec/result_names.hpp"

namespace hv {
namespace {

TEST(ResultNames, SuffixFollowsTheLastNonBlankOfTheOutputName) {
  std::ostringstream console;
  EXPECT_EQ(result_name(Name("site   "), "_sp", console), "site_sp");
  EXPECT_EQ(result_name(Name("site"), window_suffix(7), console), "site_win_007");
  EXPECT_TRUE(console.str().empty());
}

TEST(ResultNames, WindowNumbersAboveNineHundredNinetyNineStayDistinct) {
  EXPECT_EQ(window_suffix(999), "_win_999");
  EXPECT_EQ(window_suffix(1000), "_win_1000");
  EXPECT_EQ(window_suffix(20000), "_win_20000");
}

TEST(ResultNames, NameLongerThanTwoHundredWithItsSuffixIsRefused) {
  std::ostringstream console;
  EXPECT_EQ(result_name(Name(std::string(197, 'a')), "_sp", console),
            std::string(197, 'a') + "_sp");
  EXPECT_FALSE(result_name(Name(std::string(198, 'a')), "_sp", console).has_value());
  EXPECT_NE(console.str().find("longer than 200 characters"), std::string::npos);
}

}  // namespace
}  // namespace hv

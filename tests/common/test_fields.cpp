// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

#include "common/fields.hpp"
#include "common/freefmt.hpp"
#include "tests/support/param_name.hpp"

namespace hv {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
const double nan = std::nan("");

struct FieldCase {
  double value;
  int w;
  int d;
  std::string expected;
  friend std::ostream& operator<<(std::ostream& os, const FieldCase& c) {
    return os << c.value << " w=" << c.w << " d=" << c.d;
  }
};

std::string field_name(const ::testing::TestParamInfo<FieldCase>& info) {
  return test::param_name(info.param.value) + "_w" + test::param_name(info.param.w) + "_d" +
         test::param_name(info.param.d);
}

class FixedPoint : public ::testing::TestWithParam<FieldCase> {};
TEST_P(FixedPoint, RightAlignsTheRoundedValue) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(fmt_F(c.value, c.w, c.d), c.expected) << c.value;
}
INSTANTIATE_TEST_SUITE_P(
    Fields, FixedPoint,
    ::testing::Values(FieldCase{-9.0, 9, 4, "  -9.0000"}, FieldCase{0.5, 8, 3, "   0.500"},
                      FieldCase{0.0, 6, 3, " 0.000"}, FieldCase{12.5, 13, 2, "        12.50"},
                      FieldCase{1.23456, 8, 4, "  1.2346"}, FieldCase{-1.23454, 8, 4, " -1.2345"},
                      // Exact binary halves go to the even digit; 1.005 lies below its half.
                      FieldCase{0.125, 5, 2, " 0.12"}, FieldCase{0.375, 5, 2, " 0.38"},
                      FieldCase{-0.125, 6, 2, " -0.12"}, FieldCase{2.5, 3, 0, " 2."},
                      FieldCase{3.5, 3, 0, " 4."}, FieldCase{1.005, 6, 2, "  1.00"},
                      // Widths 8 and 3 decimals of the window file: 9999.999 fits, 10000 does not.
                      FieldCase{9999.999, 8, 3, "9999.999"}, FieldCase{10000.0, 8, 3, "********"},
                      FieldCase{9999.9996, 8, 3, "********"}, FieldCase{-999.999, 8, 3, "-999.999"},
                      FieldCase{-1000.0, 8, 3, "********"},
                      FieldCase{static_cast<float>(1234.567f), 8, 3, "1234.567"},
                      // The optional leading zero goes when the field is one short.
                      FieldCase{0.5, 3, 2, ".50"}, FieldCase{-0.5, 4, 2, "-.50"},
                      FieldCase{0.5, 2, 2, "**"}, FieldCase{-0.0001, 6, 3, "-0.000"},
                      FieldCase{1e20, 25, 2, " 100000000000000000000.00"},
                      FieldCase{1.0, 4, -1, "****"}),
    field_name);

class Exponent : public ::testing::TestWithParam<FieldCase> {};
TEST_P(Exponent, WritesSignificantDigitsAfterTheLeadingZero) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(fmt_E(c.value, c.w, c.d), c.expected) << c.value;
}
INSTANTIATE_TEST_SUITE_P(
    Fields, Exponent,
    ::testing::Values(
        FieldCase{1.234567, 15, 7, "  0.1234567E+01"},
        FieldCase{-1.234567, 15, 7, " -0.1234567E+01"}, FieldCase{0.0, 15, 7, "  0.0000000E+00"},
        FieldCase{0.5, 15, 7, "  0.5000000E+00"}, FieldCase{1e-5, 15, 7, "  0.1000000E-04"},
        FieldCase{9.99999996, 15, 7, "  0.1000000E+02"},
        FieldCase{12345678.0, 15, 7, "  0.1234568E+08"},
        FieldCase{static_cast<float>(0.1f), 15, 7, "  0.1000000E+00"},
        FieldCase{0.125, 9, 2, " 0.12E+00"}, FieldCase{0.375, 9, 2, " 0.38E+00"},
        FieldCase{1.5e12, 15, 7, "  0.1500000E+13"}, FieldCase{-1.5e-20, 15, 7, " -0.1500000E-19"},
        FieldCase{1.5e-100, 15, 7, "  0.1500000E-99"}, FieldCase{1.5e100, 15, 7, "  0.1500000+101"},
        FieldCase{-2.5e-101, 15, 7, " -0.2500000-100"},
        FieldCase{-1.234567, 13, 7, "-.1234567E+01"}, FieldCase{-1.234567, 12, 7, "************"},
        FieldCase{1.0, 15, 0, "***************"}),
    field_name);

class NonFinite : public ::testing::TestWithParam<FieldCase> {};
TEST_P(NonFinite, IsNamedRightAligned) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(fmt_F(c.value, c.w, c.d), c.expected);
  EXPECT_EQ(fmt_E(c.value, c.w, c.d), c.expected);
}
INSTANTIATE_TEST_SUITE_P(
    Fields, NonFinite,
    ::testing::Values(FieldCase{nan, 8, 3, "     NaN"}, FieldCase{nan, 2, 1, "**"},
                      FieldCase{inf, 15, 7, "       Infinity"}, FieldCase{inf, 8, 3, "Infinity"},
                      FieldCase{inf, 7, 3, "    Inf"}, FieldCase{inf, 2, 1, "**"},
                      FieldCase{-inf, 9, 3, "-Infinity"}, FieldCase{-inf, 8, 3, "    -Inf"},
                      FieldCase{-inf, 3, 1, "***"}),
    field_name);

TEST(Fields, IntegerFieldsRightAlignAndOverflowToAsterisks) {
  EXPECT_EQ(fmt_I(20000, 6), " 20000");
  EXPECT_EQ(fmt_I(0, 6), "     0");
  EXPECT_EQ(fmt_I(-5, 6), "    -5");
  EXPECT_EQ(fmt_I(-99999, 6), "-99999");
  EXPECT_EQ(fmt_I(-100000, 6), "******");
  EXPECT_EQ(fmt_I(1234567, 6), "******");
  EXPECT_EQ(fmt_I(7, 1), "7");
}

TEST(Fields, FreeRealsReadBackToTheSameSinglePrecisionValue) {
  const float values[] = {0.1f,          1.0f / 3.0f,     20000.0f, -9.0f,      1e-30f,
                          3.4028235e38f, 1.17549435e-38f, 1e-45f,   123456.79f, -0.0f};
  for (const float v : values) {
    const std::string text = free_real(v);
    const std::optional<float> back = read_real(text);
    ASSERT_TRUE(back.has_value()) << text;
    EXPECT_EQ(std::memcmp(&*back, &v, sizeof v), 0) << text;
    std::size_t digits = 0;
    for (const char c : text.substr(0, text.find('e'))) digits += (c >= '0' && c <= '9');
    EXPECT_LE(digits, 9u) << text;
  }
  EXPECT_EQ(free_real(std::numeric_limits<float>::quiet_NaN()), "NaN");
  EXPECT_EQ(free_real(-std::numeric_limits<float>::infinity()), "-Infinity");
}

TEST(Fields, FreeLineIsOneBlankThenTheTextWithNumbersAfterABlank) {
  std::ostringstream os;
  free_line(os, " window file not found ! ");
  free_line(os, " at line:  ", 12);
  free_line(os, "x", 'y', std::string_view("z"), 2.5);
  EXPECT_EQ(os.str(), "  window file not found ! \n  at line:   12\n xyz 2.5\n");
}

}  // namespace
}  // namespace hv

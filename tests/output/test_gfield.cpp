// The 23-column general field of the channel files: exact bytes worked out by
// hand at the form boundaries, and agreement with the layout renderer's G23.14
// over values of every magnitude.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "diag/format.h"
#include "output/gfield.h"

namespace {

std::string g(double v) {
  char buf[wakro::kGFieldWidth + 1];
  buf[wakro::kGFieldWidth] = '#';  // must stay untouched
  wakro::write_g23_14(v, buf);
  EXPECT_EQ(buf[wakro::kGFieldWidth], '#');
  return std::string(buf, wakro::kGFieldWidth);
}

TEST(GField, FixedFormWithFourTrailingBlanks) {
  EXPECT_EQ(g(0.0), "    0.0000000000000    ");
  EXPECT_EQ(g(-0.0), "    0.0000000000000    ");
  EXPECT_EQ(g(1.0), "    1.0000000000000    ");
  EXPECT_EQ(g(-2.5), "   -2.5000000000000    ");
  EXPECT_EQ(g(0.5), "   0.50000000000000    ");
  EXPECT_EQ(g(12345.678), "    12345.678000000    ");
  EXPECT_EQ(g(99999999999999.4), "    99999999999999.    ");
  // Rounds up to 0.1 first, so the fixed form holds.
  EXPECT_EQ(g(0.09999999999999999), "   0.10000000000000    ");
}

TEST(GField, ExponentFormOutsideTheFixedRange) {
  EXPECT_EQ(g(0.001), "   0.10000000000000E-02");
  EXPECT_EQ(g(0.099999999999), "   0.99999999999000E-01");
  EXPECT_EQ(g(1e14), "   0.10000000000000E+15");
  EXPECT_EQ(g(99999999999999.6), "   0.10000000000000E+15");
  EXPECT_EQ(g(9.9999999999999e98), "   0.99999999999999E+99");
  EXPECT_EQ(g(-9.9999999999999e98), "  -0.99999999999999E+99");
  EXPECT_EQ(g(1e-100), "   0.10000000000000E-99");
  EXPECT_EQ(g(-1e-101), "  -0.10000000000000-100");
}

TEST(GField, AgreesWithTheLayoutRendererAtEveryMagnitudeAndRoundingBoundary) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> mant(-10.0, 10.0);
  std::uniform_int_distribution<int> ex(-120, 120);
  for (int n = 0; n < 20000; ++n) {
    const double v = mant(rng) * std::pow(10.0, ex(rng));
    ASSERT_EQ(g(v), wakro::edit_g(v, 23, 14)) << v;
  }
  // Around the rounding boundaries, where the digits are decided apart from
  // the exact binary value only with care: values a hair either side of half a
  // unit of the 14th digit (and exact ties, which go to the even digit), and
  // either side of the powers of ten that change the form or the exponent.
  std::uniform_int_distribution<std::int64_t> fourteen(10000000000000, 99999999999999);
  std::uniform_int_distribution<int> scale(-30, 30);
  for (int n = 0; n < 20000; ++n) {
    const double half = (static_cast<double>(fourteen(rng)) + 0.5) * std::pow(10.0, scale(rng));
    for (double v : {half, std::nextafter(half, 0.0), std::nextafter(half, 1e300),
                     std::nextafter(std::nextafter(half, 0.0), 0.0)})
      ASSERT_EQ(g(v), wakro::edit_g(v, 23, 14)) << v;
  }
  for (int j = -40; j <= 45; ++j) {
    const double p = std::pow(10.0, j);
    for (double v : {p, std::nextafter(p, 0.0), std::nextafter(p, 1e300), p * (1 - 4e-15),
                     p * (1 + 1e-13), p * (1 + 7e-12), p * (1 - 6e-15), -p * (1 + 4e-15)})
      ASSERT_EQ(g(v), wakro::edit_g(v, 23, 14)) << v;
  }
  for (double v : {123456789012345.0, 123456789012335.0, 0.5, 1.5, 2.5e-5, 12345678901234.5,
                   12345678901233.5, 9999999999999.5, 99999999999999.5})
    ASSERT_EQ(g(v), wakro::edit_g(v, 23, 14)) << v;
  EXPECT_EQ(g(123456789012345.0), "   0.12345678901234E+15");  // a tie: to the even digit
  EXPECT_EQ(g(123456789012335.0), "   0.12345678901234E+15");
  for (double v :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()})
    EXPECT_EQ(g(v), wakro::edit_g(v, 23, 14));
}

}  // namespace

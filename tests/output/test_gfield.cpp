// The 23-column general field of the channel files: exact bytes worked out by
// hand at the form boundaries, and agreement with the layout renderer's G23.14
// over values of every magnitude.
#include <gtest/gtest.h>

#include <cmath>
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

TEST(GField, AgreesWithTheLayoutRenderer) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> mant(-10.0, 10.0);
  std::uniform_int_distribution<int> ex(-120, 120);
  for (int n = 0; n < 20000; ++n) {
    const double v = mant(rng) * std::pow(10.0, ex(rng));
    ASSERT_EQ(g(v), wakro::edit_g(v, 23, 14)) << v;
  }
  for (double v : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity()})
    EXPECT_EQ(g(v), wakro::edit_g(v, 23, 14));
}

}  // namespace

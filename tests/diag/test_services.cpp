// Conversions, random numbers and text utilities of model code.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <ctime>
#include <limits>
#include <sstream>
#include <string>

#include "diag/convert.h"
#include "diag/random.h"
#include "diag/textutil.h"
#include "model/ctrl.h"

namespace {

constexpr double kM = 2147483647.0;

std::string padded72(const std::string& s) { return s + std::string(72 - s.size(), ' '); }

// Starts gasdev without a kept deviate.
void clear_kept_deviate() { wakro::gasdev_keep() = wakro::GasdevKeep{}; }

}  // namespace

TEST(Conversions, LogicalIntegerRealComplex) {
  EXPECT_EQ(e_btor(true), 1.0);
  EXPECT_EQ(e_btor(false), 0.0);
  EXPECT_FALSE(e_rtob(0.49));
  EXPECT_TRUE(e_rtob(-0.5));
  EXPECT_TRUE(e_rtob(0.5));
  EXPECT_TRUE(e_rtob(1e300));
  EXPECT_FALSE(e_rtob(std::nan("")));
  EXPECT_EQ(e_btoi(true), 1);
  EXPECT_EQ(e_btoi(false), 0);
  EXPECT_TRUE(e_itob(-3));
  EXPECT_FALSE(e_itob(0));
  EXPECT_EQ(e_itoi2(-1, 1), 32767);
  EXPECT_EQ(e_itoi2(-1, 0), -1);
  EXPECT_EQ(e_itoi2(65535, 0), -1);
  EXPECT_EQ(e_itoi2(70000, 0), 4464);
  EXPECT_EQ(e_itoi2(-32768, 1), 0);
  EXPECT_EQ(e_rtoc(2.5), std::complex<double>(2.5, 0.0));
}

TEST(Conversions, PolarAndRectangularWithTheFixedDegreeFactors) {
  EXPECT_DOUBLE_EQ(r2pa(0.0, 1.0), 90.0);
  EXPECT_DOUBLE_EQ(r2pa(-1.0, 0.0), 180.0);
  EXPECT_EQ(r2pa(0.0, 0.0), 0.0);
  EXPECT_EQ(r2pa(1e-21, -1e-21), 0.0);
  EXPECT_DOUBLE_EQ(r2pm(3.0, 4.0), 5.0);
  // 90 x 0.017453292519943 falls about 2.66e-14 short of pi/2: the factor's own
  // digits show in the result (the full pi/180 would give about 6e-17).
  EXPECT_NEAR(p2rx(1.0, 90.0), 2.66e-14, 4e-16);
  EXPECT_NEAR(p2rx(2.0, 60.0), 1.0, 1e-13);
  EXPECT_NEAR(p2ry(2.0, 30.0), 1.0, 1e-13);
  double mag = 0.0, ang = 0.0;
  e_ctormp(1, {0.0, 2.0}, mag, ang);
  EXPECT_DOUBLE_EQ(mag, 2.0);
  EXPECT_DOUBLE_EQ(ang, 90.0);
  e_ctormp(0, {-1.0, 0.0}, mag, ang);
  EXPECT_DOUBLE_EQ(ang, M_PI);
  const std::complex<double> c = e_rmptoc(2.0, 30.0, 1);
  EXPECT_NEAR(c.real(), std::sqrt(3.0), 1e-13);
  EXPECT_NEAR(c.imag(), 1.0, 1e-13);
  EXPECT_NEAR(e_rmptoc(2.0, M_PI / 2, 0).real(), 0.0, 1e-15);
}

TEST(Ran1, MinimalStandardSequenceAndCheckValue) {
  std::int32_t seed = 1;
  EXPECT_EQ(ran1(seed), 16807 / kM);
  EXPECT_EQ(seed, 16807);
  ran1(seed);
  EXPECT_EQ(seed, 282475249);
  EXPECT_EQ(ran1(seed), 1622650073 / kM);
  seed = 1;
  for (int k = 0; k < 10000; ++k) {
    const double u = ran1(seed);
    ASSERT_GT(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
  EXPECT_EQ(seed, 1043618065);
}

TEST(Ran1, SeedsTheGeneratorCouldNeverLeaveRestartTheStream) {
  for (std::int32_t bad : {0, 2147483647}) {
    std::int32_t seed = bad;
    EXPECT_EQ(ran1(seed), 16807 / kM);
    EXPECT_EQ(seed, 16807);
  }
  std::int32_t seed = -5;  // negative seeds stay inside the generator's range
  const double u = ran1(seed);
  EXPECT_GT(seed, 0);
  EXPECT_EQ(u, seed / kM);
}

TEST(Gasdev, PolarMethodKeepsTheSecondDeviateOfThePair) {
  // The first pair from seed 1 inside the unit circle, by the polar method.
  std::int32_t s = 1;
  double p = 0.0, q = 0.0, r = 2.0;
  while (!(r > 0.0 && r < 1.0)) {
    p = 2.0 * ran1(s) - 1.0;
    q = 2.0 * ran1(s) - 1.0;
    r = p * p + q * q;
  }
  const double fac = std::sqrt(-2.0 * std::log(r) / r);

  clear_kept_deviate();
  std::int32_t seed = 1;
  EXPECT_DOUBLE_EQ(gasdev(seed, 10.0), q * fac / 10.0);
  const std::int32_t after_first = seed;
  EXPECT_EQ(after_first, s);
  EXPECT_DOUBLE_EQ(gasdev(seed, 10.0), p * fac / 10.0);
  EXPECT_EQ(seed, after_first);  // the kept deviate draws nothing
}

TEST(Gasdev, LimitIsClampedToOneAndTen) {
  for (auto [k, same_as] : {std::pair{0.5, 1.0}, std::pair{50.0, 10.0}, std::pair{std::nan(""), 1.0}}) {
    clear_kept_deviate();
    std::int32_t s1 = 12345;
    std::int32_t s2 = 12345;
    const double a = gasdev(s1, k);
    clear_kept_deviate();
    EXPECT_EQ(a, gasdev(s2, same_as)) << k;
    EXPECT_EQ(s1, s2);
  }
}

TEST(Gasdev, TruncatedNormalStatistics) {
  clear_kept_deviate();
  std::int32_t seed = 4711;
  const int n = 100000;
  double sum = 0.0, sum2 = 0.0;
  for (int k = 0; k < n; ++k) {
    const double g = gasdev(seed, 3.0);
    ASSERT_LE(std::fabs(g), 1.0);
    sum += g;
    sum2 += g * g;
  }
  const double mean = sum / n;
  const double sd = std::sqrt(sum2 / n - mean * mean);
  // A normal cut at +-3 sigma has sigma 0.98658; divided by 3: 0.32886.
  EXPECT_NEAR(mean, 0.0, 0.005);
  EXPECT_NEAR(sd, 0.32886, 0.003);
}

TEST(Seeds, ClockFormulaWithRankAndLeapSecond) {
  const wakro::WallClock t{2024, 2, 5, 13, 7, 9, 123};
  EXPECT_EQ(wakro::clock_seed(t, 2), 322561946);
  EXPECT_EQ(wakro::clock_seed(t, 0), 322561942);
  wakro::WallClock even = t;
  even.millisecond = 124;  // even e loses one first
  EXPECT_EQ(wakro::clock_seed(even, 2), 322561946);
  const wakro::WallClock leap{2024, 12, 31, 23, 59, 60, 999};
  EXPECT_EQ(wakro::clock_seed(leap, 0), 2120803598);

  std::int32_t seed = 0;
  ctrl::rank = 3;
  setseed(seed);
  ctrl::rank = 0;
  EXPECT_GT(seed, 0);
}

TEST(RandomMrun, UniformAndNormalBetweenTheBounds) {
  std::int32_t seed = 1;
  double result = -1.0;
  random_mrun2(seed, 0, 10.0, 20.0, 3.0, result);
  EXPECT_DOUBLE_EQ(result, 10.0 + 10.0 * 16807 / kM);
  EXPECT_EQ(seed, 16807);
  random_mrun2(seed, 7, 10.0, 20.0, 3.0, result);  // unknown kind: unchanged
  EXPECT_DOUBLE_EQ(result, 10.0 + 10.0 * 16807 / kM);
  EXPECT_EQ(seed, 16807);
  for (int k = 0; k < 200; ++k) {
    random_mrun2(seed, 1, -1.0, 3.0, 2.0, result);
    ASSERT_GE(result, -1.0);
    ASSERT_LE(result, 3.0);
    random_mrun(k % 2, 5.0, 6.0, 2.0, result);
    ASSERT_GE(result, 5.0);
    ASSERT_LE(result, 6.0);
  }
  std::int32_t zero = 0;
  random_mrun2(zero, 0, 0.0, 1.0, 1.0, result);
  EXPECT_NE(zero, 0);
}

TEST(TextUtilities, IntegersToLeftAdjustedTexts) {
  EXPECT_EQ(int2str(-42).str(), padded72("-42"));
  EXPECT_EQ(int2str2(4, 7).str(), padded72("0007"));
  EXPECT_EQ(int2str2(2, 12345).str(), padded72("12345"));
  EXPECT_EQ(int2str2(4, -7).str(), padded72("00-7"));
  EXPECT_EQ(int2str2(100, 5).str(), std::string(71, '0') + "5");
  EXPECT_EQ(int2str2(std::numeric_limits<std::int32_t>::max(), 1).str(), std::string(71, '0') + "1");
  wakro::FixedText<72> t;
  int2str(t, 2147483647);
  EXPECT_EQ(t.trimmed(), "2147483647");
  int2str2(t, 3, 9);
  EXPECT_EQ(t.trimmed(), "009");
}

TEST(TextUtilities, RealsThroughALayout) {
  EXPECT_EQ(real2str(3.14159, "(F10.3)").str(), padded72("3.142"));
  EXPECT_EQ(real2str(2.5, "(G12.4)").str(), padded72("2.500"));
  EXPECT_EQ(real2str(1.0, "(F2.1)").str(), padded72("**"));
  EXPECT_TRUE(real2str(1.0, "(F10.3").is_blank());
}

TEST(TextUtilities, BuildVersionFromTheBuildDate) {
  std::ostringstream err;
  EXPECT_EQ(wakro::build_version_text("Feb  5 2024", "12:00:00", err), "Build# 20240205");
  EXPECT_EQ(wakro::build_version_text("Dec 31 1999", "23:59:59", err), "Build# 19991231");
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(wakro::build_version_text("Xyz  5 2024", "12:00:00", err), "Build# 20240105");
  EXPECT_EQ(err.str(), "WARNING: wrong time stamp 'Xyz  5 2024' in code!\n");

  wakro::FixedText<10> short_field;
  getbuildverstr(short_field);
  EXPECT_EQ(short_field.view(), "Build# 202");
  wakro::FixedText<20> field;
  getbuildverstr(field);
  EXPECT_EQ(field.view().substr(0, 7), "Build# ");
  EXPECT_EQ(field.view().substr(15), "     ");
}

// Processor time of this process in whole milliseconds.
static long long process_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

TEST(TextUtilities, ClockAndProcessorTime) {
  // Work until the process has used at least 30 ms of processor time; cputime
  // then reports, split into fields, a time between two readings of the
  // process clock taken around it.
  volatile double work = 0.0;
  while (process_ms() < 30) work = work + 1.0;
  std::int32_t h = -1, m = -1, s = -1, ms = -1;
  const long long before = process_ms();
  cputime(h, m, s, ms);
  const long long after = process_ms();
  EXPECT_TRUE(m >= 0 && m <= 59 && s >= 0 && s <= 59 && ms >= 0 && ms <= 999 && h >= 0);
  const long long reported = ((h * 60LL + m) * 60 + s) * 1000 + ms;
  EXPECT_GE(reported, 30);
  EXPECT_GE(reported, before);
  EXPECT_LE(reported, after);
  std::int32_t year = 0, month = 0, day = 0, hour = -1, minute = -1, second = -1;
  datetim(year, month, day, hour, minute, second);
  EXPECT_GE(year, 2020);
  EXPECT_TRUE(month >= 1 && month <= 12);
  EXPECT_TRUE(day >= 1 && day <= 31);
  EXPECT_TRUE(hour >= 0 && hour <= 23);
  EXPECT_TRUE(minute >= 0 && minute <= 59);
  EXPECT_TRUE(second >= 0 && second <= 60);
}

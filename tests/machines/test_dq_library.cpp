// The frame transform and the machine-data library against closed forms: the
// transform of a balanced set and its round trip, the typical-data classes,
// the curve conversions and their checks, the table evaluation with its
// exponential extension, the winding-matrix inverses and the axis vectors.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "machines/dq_library.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "support/console_capture.h"
#include "support/shared_state.h"

namespace {

using namespace wakro::machines;
constexpr double kTwoPi = 6.283185307179586;

class DqLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    e_s2::stor.allocate(300);
    rt_config::rtcf.allocate(40);
    e_s2::nexc = 100;  // the block starts past the first slots
    rt_config::nrtcf = 5;
    e_warn::comp_id1 = 3;
    e_warn::comp_id2 = 7;
  }
  void TearDown() override {
    e_s2::stor.release();
    rt_config::rtcf.release();
    wakro_test::reset_shared_state();
  }
  static double& slot(std::int32_t k) { return e_s2::stor(e_s2::nexc + k); }
  // Points (x, y) into the block from slot k on (P1 at k - 2 for a table).
  static void put(std::int32_t k, std::initializer_list<double> values) {
    for (double v : values) slot(k++) = v;
  }
};

TEST_F(DqLibrary, TransformOfABalancedSetAndItsRoundTrip) {
  for (double theta : {0.0, 0.3, 1.7, 3.0, -2.2, 5.9}) {
    double a = std::cos(theta), b = std::cos(theta - kTwoPi / 3.0), c = std::cos(theta + kTwoPi / 3.0);
    double d = 9.0, q = 9.0, z = 9.0;
    trdqo(a, b, c, d, q, z, theta, 1);
    EXPECT_NEAR(d, 1.0, 1e-12) << theta;
    EXPECT_NEAR(q, 0.0, 1e-12) << theta;
    EXPECT_NEAR(z, 0.0, 1e-12) << theta;
    trdqo(a, b, c, d, q, z, theta, -1);
    EXPECT_NEAR(a, std::cos(theta), 1e-12);
    EXPECT_NEAR(c, std::cos(theta + kTwoPi / 3.0), 1e-12);
    // Round trip of an unbalanced triple (direction 0 counts as forward).
    const std::array<double, 3> in{0.7, -1.3, 2.1};
    double a2 = in[0], b2 = in[1], c2 = in[2], d2 = 0, q2 = 0, z2 = 0;
    trdqo(a2, b2, c2, d2, q2, z2, theta, 0);
    EXPECT_NEAR(z2, (in[0] + in[1] + in[2]) / 3.0, 1e-12);
    a2 = b2 = c2 = 0.0;
    trdqo(a2, b2, c2, d2, q2, z2, theta, -1);
    EXPECT_NEAR(a2, in[0], 1e-12);
    EXPECT_NEAR(b2, in[1], 1e-12);
    EXPECT_NEAR(c2, in[2], 1e-12);
  }
}

// trdqo keeps the terms of its last angle for the next call with that angle:
// repeated angles, a change between +0 and -0 (whose sines differ) and returns
// to an earlier angle must all give the transform of their own angle, bit for bit.
TEST_F(DqLibrary, TransformsWithRepeatedAnglesAreThoseOfTheirOwnAngle) {
  const double third = 2.094395102393195;
  for (const double theta : {0.4, 0.4, 0.4, 2.9, 0.4, 0.0, -0.0, -0.0, 0.0, -5.1, -5.1}) {
    SCOPED_TRACE(theta);
    const double c0 = std::cos(theta), c1 = std::cos(theta - third), c2 = -c0 - c1;
    const double s0 = std::sin(theta), s1 = std::sin(theta - third), s2 = -s0 - s1;
    double a = 0.7, b = -1.3, c = 2.1, d = 0.0, q = 0.0, z = 0.0;
    trdqo(a, b, c, d, q, z, theta, 1);
    EXPECT_EQ(d, 0.666666666666667 * (c0 * 0.7 + c1 * -1.3 + c2 * 2.1));
    EXPECT_EQ(q, 0.666666666666667 * (s0 * 0.7 + s1 * -1.3 + s2 * 2.1));
    d = 0.25, q = -0.5, z = 0.125;
    trdqo(a, b, c, d, q, z, theta, -1);
    EXPECT_EQ(a, c0 * 0.25 + s0 * -0.5 + 0.125);
    EXPECT_EQ(b, c1 * 0.25 + s1 * -0.5 + 0.125);
    EXPECT_EQ(c, c2 * 0.25 + s2 * -0.5 + 0.125);
  }
}

TEST_F(DqLibrary, TypicalDataByRatingClass) {
  struct Row {
    double rating, s28, s24, s58;
    bool curve2_converted_by_sat;
  };
  for (const Row& r : {Row{10.0, 1.917, 0.0767, 136.0 / 4.0, false}, Row{500.0, 3.86, 0.066, 200.0 / 4.0, true},
                       Row{500.5, 6.319, 0.015, 373.3 / 4.0, true}}) {
    for (std::int32_t k = 1; k <= 120; ++k) slot(k) = 0.0;
    slot(kArmatureR) = -r.rating;
    slot(kTypical58Divisor) = 4.0;
    const auto o = wakro_test::run_captured([] { param(); });
    EXPECT_EQ(slot(kCurve1Base), r.s28) << r.rating;
    EXPECT_EQ(slot(kArmatureR), r.s24) << r.rating;
    EXPECT_DOUBLE_EQ(slot(kTypical58), r.s58) << r.rating;
    EXPECT_EQ(slot(kCurve1Flag), 1.0) << r.rating;  // curve 1 in ratio form in every class
    EXPECT_EQ(slot(kCurve2Flag), 1.0) << r.rating;
    if (!r.curve2_converted_by_sat) {
      EXPECT_EQ(slot(kCurve2), 0.781);
      EXPECT_EQ(slot(100), 0.642);
    } else {
      // sat(83): c = 0.286 / 1.196, y1 -> 1, x1 -> 1.196 c / (Xa + slot 29).
      const double c = 0.286 / 1.196;
      EXPECT_DOUBLE_EQ(slot(kCurve2 + 1), 1.0);
      EXPECT_DOUBLE_EQ(slot(kCurve2), 1.196 * c / (slot(kLeakageX) + slot(kCurve2Leak)));
      EXPECT_DOUBLE_EQ(slot(kCurve2 + 3), 0.4 / (1.82 * c));
      EXPECT_EQ(slot(kCurve2 + 8), -1.0);  // the end marker stays
    }
    EXPECT_EQ(o.console.find("NOT MONOTONIC"), std::string::npos) << o.console;
  }
  // The large class's curve 1 through satm: (y/x - Xa) / m with m from point 1.
  const double xa = 0.091, m = 0.5 / 0.078 - xa;
  EXPECT_DOUBLE_EQ(slot(kCurve1 + 1), 1.0);
  EXPECT_DOUBLE_EQ(slot(kCurve1 + 3), (0.7 / 0.111 - xa) / m);
  EXPECT_DOUBLE_EQ(slot(kCurve1 + 17), (1.197 / 0.287 - xa) / m);
}

TEST_F(DqLibrary, TypicalDataWithAZeroDivisorWarnsAndKeepsTheSlot) {
  slot(kArmatureR) = -5.0;
  slot(kTypical58Divisor) = 0.0;
  slot(kTypical58) = 12.5;
  const auto o = wakro_test::run_captured([] { param(); });
  EXPECT_EQ(slot(kTypical58), 12.5);
  EXPECT_NE(o.console.find("***WARN*** MAC100/SQC100: typical data: slot 60 is zero"), std::string::npos)
      << o.console;
}

TEST_F(DqLibrary, SaturationCurveConversionAndMonotonicCheck) {
  // Curve at 40: flag slot 39 = 0 (raw), the point before it (0, 0).
  slot(38) = 0.0;
  slot(39) = 0.0;
  put(40, {2.0, 1.0, 4.0, 1.5, 8.0, 2.0, -1.0, -1.0});
  auto o = wakro_test::run_captured([] { sat(40); });
  // c = 0.5; scale 1 (neither 63 nor 83): y / (x c), x unchanged.
  EXPECT_EQ(slot(39), 1.0);
  EXPECT_DOUBLE_EQ(slot(41), 1.0);
  EXPECT_DOUBLE_EQ(slot(43), 0.75);
  EXPECT_DOUBLE_EQ(slot(45), 0.5);
  EXPECT_EQ(slot(44), 8.0);
  EXPECT_EQ(o.console.find("NOT MONOTONIC"), std::string::npos);
  // A rising ratio after conversion: the numbered warning, once.
  slot(39) = 1.0;
  put(40, {2.0, 1.0, 4.0, 1.2, -1.0});
  o = wakro_test::run_captured([] { sat(40); });
  EXPECT_EQ(o.console,
            " ***WARNING*** SATURATION CURVE NOT MONOTONIC ( MAC100/SQC100 )\n\n **** EXECUTION CONTINUING ****\n\n");
  // A zero first x is reported and the curve left as it was.
  slot(39) = 0.0;
  put(40, {0.0, 1.0, 4.0, 1.5, -1.0});
  o = wakro_test::run_captured([] { sat(40); });
  EXPECT_EQ(slot(39), 0.0);
  EXPECT_EQ(slot(43), 1.5);
  EXPECT_NE(o.console.find("MAC100/SQC100: saturation curve: its first x is zero"), std::string::npos);
}

TEST_F(DqLibrary, CallerArrayConversions) {
  // Ratio form already (y1 = 1): nothing converted; a fall in x warns once.
  std::array<double, 10> x{0.0, 1.0, 0.5, 3.0, -1, -1, -1, -1, -1, -1};
  std::array<double, 10> y{1.0, 0.9, 0.8, 0.7, -1, -1, -1, -1, -1, -1};
  const auto x0 = x, y0 = y;
  auto o = wakro_test::run_captured([&] { lsatdataconv(2.0, x, y); });
  EXPECT_EQ(x, x0);
  EXPECT_EQ(y, y0);
  EXPECT_EQ(o.console, " ***WARN*** Saturation Curve not Monotonic[           3 :           7 ]\n");
  // Raw: c = y2 / x2 = 2; y_i / (x_i c), x_i c / X.
  x = {0.0, 1.0, 2.0, -1, -1, -1, -1, -1, -1, -1};
  y = {0.0, 2.0, 3.0, -1, -1, -1, -1, -1, -1, -1};
  o = wakro_test::run_captured([&] { lsatdataconv(4.0, x, y); });
  EXPECT_EQ(y[0], 1.0);
  EXPECT_DOUBLE_EQ(y[1], 1.0);
  EXPECT_DOUBLE_EQ(y[2], 0.75);
  EXPECT_DOUBLE_EQ(x[2], 1.0);
  EXPECT_EQ(o.console, "");
  // msatdataconv: m = y2 / x2 - X; y_i = (y_i / x_i - X) / m.
  x = {0.0, 1.0, 2.0, -1, -1, -1, -1, -1, -1, -1};
  y = {0.0, 3.0, 4.0, -1, -1, -1, -1, -1, -1, -1};
  msatdataconv(1.0, x, y);
  EXPECT_EQ(y[0], 1.0);
  EXPECT_DOUBLE_EQ(y[1], 1.0);
  EXPECT_DOUBLE_EQ(y[2], (2.0 - 1.0) / 2.0);
}

TEST_F(DqLibrary, TableValueSegmentsAndExtension) {
  // P1..P4 from slot 10 (k = 12), then the end.
  put(10, {0.0, 1.0, 1.0, 0.8, 2.0, 0.5, 4.0, 0.25, -1.0, 0.0});
  struct Row {
    double x, y, g;
  };
  const double ext_y = 0.5 * std::exp((2.0 - 6.0) * std::log(0.25 / 0.5) / (2.0 - 4.0));
  for (const Row& r : {Row{0.5, 0.9, 0.8}, Row{1.0, 0.8, (0.5 * 2.0 - 0.8) / 1.0},  // exactly P2.x: P2-P3
                       Row{3.0, 0.375, (1.0 - 1.0) / 2.0}, Row{6.0, ext_y, (1.0 - 1.0) / 2.0}}) {
    double y = 0, g = 0;
    satrn(r.x, y, g, 12);
    EXPECT_DOUBLE_EQ(y, r.y) << r.x;
    EXPECT_DOUBLE_EQ(g, r.g) << r.x;
  }
  // The same table from the configuration store.
  for (std::int32_t k = 0; k < 10; ++k) rt_config::rtcf(rt_config::nrtcf + 10 - 1 + k) = slot(10 + k);
  double y = 0, g = 0;
  satrn1(3.0, y, g, 12);
  EXPECT_DOUBLE_EQ(y, 0.375);
  // One point: y = y1; a non-positive ratio: reported, y held at its point.
  put(10, {0.5, 0.7, -1.0, 0.0});
  satrn(3.0, y, g, 12);
  EXPECT_EQ(y, 0.7);
  EXPECT_EQ(g, 0.7);
  put(10, {0.0, 1.0, 1.0, -0.5, -1.0, 0.0});
  const auto o = wakro_test::run_captured([&] { satrn(3.0, y, g, 12); });
  EXPECT_EQ(y, 1.0);
  EXPECT_TRUE(std::isfinite(g));
  EXPECT_NE(o.console.find("SATRN: the extension's points give no positive ratio"), std::string::npos);
}

TEST_F(DqLibrary, SecondTableFormExtendsFromItsNinthPoint) {
  // Ten points, y halving with each unit of x; between P9 and P10 satrn
  // interpolates while satrn2 extends exponentially through P9-P10.
  for (std::int32_t p = 0; p < 10; ++p) {
    rt_config::rtcf(rt_config::nrtcf + p * 2) = p;
    rt_config::rtcf(rt_config::nrtcf + p * 2 + 1) = std::pow(0.5, p);
  }
  double y = 0, g = 0;
  satrn2(8.5, y, g, 3);
  EXPECT_NEAR(y, std::pow(0.5, 8.5), 1e-15);
  satrn1(8.5, y, g, 3);
  EXPECT_DOUBLE_EQ(y, (std::pow(0.5, 8) + std::pow(0.5, 9)) / 2.0);
  satrn2(4.5, y, g, 3);
  EXPECT_DOUBLE_EQ(y, (std::pow(0.5, 4) + std::pow(0.5, 5)) / 2.0);
}

TEST_F(DqLibrary, WindingMatrixInverses) {
  // a = 0.2, b = slot 54 + a, c = slot k+2 + a, d = slot k+3 + c, e = slot k+4 + c.
  constexpr std::int32_t k = 150;
  slot(kCommonLeak) = 0.1;
  put(k + 1, {0.2, 0.05, 0.3, 0.4});
  const double a = 0.2, b = 0.3, c = 0.25, d = 0.55, e = 0.65;
  xinv(k, 2);
  const double det2 = b * d - a * a;
  EXPECT_DOUBLE_EQ(slot(k + 14), d / det2);
  EXPECT_DOUBLE_EQ(slot(k + 15), -a / det2);
  EXPECT_EQ(slot(k + 16), 0.0);
  EXPECT_DOUBLE_EQ(slot(k + 17), b / det2);
  EXPECT_EQ(slot(k + 18), 0.0);
  EXPECT_EQ(slot(k + 19), 0.0);
  // Exactly the inverse: [b a; a d] times it is the identity.
  EXPECT_NEAR(b * slot(k + 14) + a * slot(k + 15), 1.0, 1e-15);
  EXPECT_NEAR(a * slot(k + 14) + d * slot(k + 15), 0.0, 1e-15);
  xinv(k, 3);
  const double m[3][3] = {{b, a, a}, {a, d, c}, {a, c, e}};
  const double inv[3][3] = {{slot(k + 14), slot(k + 15), slot(k + 16)},
                            {slot(k + 15), slot(k + 17), slot(k + 18)},
                            {slot(k + 16), slot(k + 18), slot(k + 19)}};
  for (int r = 0; r < 3; ++r)
    for (int s = 0; s < 3; ++s) {
      double sum = 0;
      for (int t = 0; t < 3; ++t) sum += m[r][t] * inv[t][s];
      EXPECT_NEAR(sum, r == s ? 1.0 : 0.0, 1e-13);
    }
  const auto o = wakro_test::run_captured([] { xinv(150, 4); });
  EXPECT_NE(o.console.find("asked for mode 4; only 2 and 3 exist"), std::string::npos);
}

TEST_F(DqLibrary, AxisVectorsFromTheInverses) {
  std::int32_t k1 = 150, k2 = 170;
  // A = identity, B = 2 identity (unfolded from six elements each).
  put(k1 + 14, {1, 0, 0, 1, 0, 1});
  put(k2 + 14, {2, 0, 0, 2, 0, 2});
  slot(kCommonLeak) = 0.1;
  slot(kDMutual) = 0.5;
  slot(kQMutual) = 0.4;
  slot(kDSource) = 1.0;
  slot(kQSource) = 2.0;
  slot(kArmatureR) = 0.01;
  slot(kSpeed) = 1.0;
  slot(kQWinding1R) = 0.02;
  slot(kQWinding2R) = 0.03;
  slot(kDSourceB) = 3.0;
  slot(kQSourceB) = 4.0;
  slot(kQWinding1RB) = 0.04;
  slot(kQWinding2RB) = 0.05;
  const std::array<double, 3> i{1.0, 2.0, 3.0}, j{0.5, 1.0, 1.5};
  std::array<double, 3> u{9, 9, 9}, w{9, 9, 9};
  axis(i, u, j, w, k1, k2);
  EXPECT_EQ(k1, 163);
  EXPECT_EQ(k2, 183);
  const double psi1 = 0.1 * 1.0 + 0.5 * 6.0, psi2 = 0.1 * 0.5 + 0.4 * 3.0;
  EXPECT_DOUBLE_EQ(u[0], 1.0 - 0.01 * 1.0 - psi2);
  EXPECT_DOUBLE_EQ(u[1], 2.0 - 0.02 * 2.0);
  EXPECT_DOUBLE_EQ(u[2], -0.03 * 3.0);
  EXPECT_DOUBLE_EQ(w[0], 2.0 * (3.0 - 0.01 * 0.5 + psi1));
  EXPECT_DOUBLE_EQ(w[1], 2.0 * (4.0 - 0.04 * 1.0));
  EXPECT_DOUBLE_EQ(w[2], 2.0 * (-0.05 * 1.5));
}

}  // namespace

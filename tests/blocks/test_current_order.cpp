// The voltage-dependent current-order characteristics, with P = 0.8, Imax = 2.0,
// a break point of 0.6, a low-voltage point of 0.25 and a low-voltage current of
// 0.3 (per unit):
//   power current Ip = 0.8 / (|Vd| + 0.001);
//   the line from (0.25, 0.3) to (0.6, Ib), Ib = 0.8 / 0.601, slope
//   (Ib - 0.3) / (0.35 + 1e-5), offset 0.3 - 0.25 slope;
//   hysteresis 0.1 on falling voltage: Vo = min(max(Vo_last, V), V + 0.1).
// Every bound of the parameters, the hysteresis both ways and the limit are
// checked against these hand values, through the run loop.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "block_bench.h"
#include "blocks/current_order.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"

namespace blocks_test {
namespace {

constexpr double kP = 0.8, kImax = 2.0, kVb = 0.6, kIlow = 0.3, kVl = 0.25;
const double kIb = kP / 0.601;
const double kSlope = (kIb - kIlow) / (0.35 + 1e-5);
const double kOffset = kIlow - kSlope * kVl;

double line(double v) { return kOffset + kSlope * v; }
double power(double vd) { return kP / (std::abs(vd) + 0.001); }

// Steps 0 .. n - 1 of f (given the step number) through the run loop.
void run_steps(std::int32_t n, const std::function<void(std::int32_t)>& f) {
  BlockBench bench(1e-4);
  bench.dynamics = [&] { f(ctrl::iii); };
  const wakro_test::Outcome o = bench.run(n - 1);
  ASSERT_EQ(o.status, -1) << o.console;
}

struct Point {
  double P, Vd, Imax, Vb, Ilow, Vl;
  double vo, io;  // expected
};

// Single calls at time zero (no hysteresis yet: Vo is the bounded voltage).
TEST(CurrentOrder, FixedPointsAndBoundsOfTheRectifierCharacteristic) {
  const double vbHigh = 1.0;  // 1.5 bounded
  const double slopeHigh = (kP / 1.001 - kIlow) / (1.0 - kVl + 1e-5);
  const double vlLeast = 0.009;  // 0.001 bounded
  const double slopeLeast = (kIb - kIlow) / (kVb - vlLeast + 1e-5);
  const double vlShare = 0.54;   // 0.7 bounded to 0.9 x 0.6
  const double slopeShare = (kIb - kIlow) / (kVb - vlShare + 1e-5);
  const double vbLeast = 0.01;   // 0.001 bounded; the low point then 0.009
  const double slopeVbLeast = (kP / 0.011 - kIlow) / (vbLeast - 0.009 + 1e-5);
  const std::vector<Point> points = {
      {kP, 1.0, kImax, kVb, kIlow, kVl, 1.0, power(1.0)},               // above the break point
      {kP, kVb, kImax, kVb, kIlow, kVl, kVb, power(kVb)},               // at it: the power current
      {kP, 0.4, kImax, kVb, kIlow, kVl, 0.4, line(0.4)},                // on the line
      {kP, 0.5999, kImax, kVb, kIlow, kVl, 0.5999, line(0.5999)},       // just below the break point
      {kP, kVl, kImax, kVb, kIlow, kVl, kVl, kIlow},                    // at the low point
      {kP, 0.1, kImax, kVb, kIlow, kVl, 0.1, kIlow},                    // below it
      {kP, 0.0, kImax, kVb, kIlow, kVl, 0.001, kIlow},                  // voltage guard
      {kP, -0.5, kImax, kVb, kIlow, kVl, 0.001, kIlow},                 // negative voltage
      {3.0, 1.0, kImax, kVb, kIlow, kVl, 1.0, kImax},                   // limit above the break point
      {3.0, 0.55, kImax, kVb, kIlow, kVl, 0.55, kImax},                 // limit on the line
      {kP, 0.1, kImax, kVb, 3.0, kVl, 0.1, kImax},                      // Ilow above Imax
      {kP, 0.99, kImax, 1.5, kIlow, kVl, 0.99, kIlow + slopeHigh * (0.99 - kVl)},
      {kP, vbHigh, kImax, 1.5, kIlow, kVl, vbHigh, power(vbHigh)},
      {kP, 0.008, kImax, kVb, kIlow, 0.001, 0.008, kIlow},
      {kP, 0.0095, kImax, kVb, kIlow, 0.001, 0.0095, kIlow + slopeLeast * (0.0095 - vlLeast)},
      {kP, 0.53, kImax, kVb, kIlow, 0.7, 0.53, kIlow},
      {kP, 0.55, kImax, kVb, kIlow, 0.7, 0.55, kIlow + slopeShare * (0.55 - vlShare)},
      {kP, 0.0095, 100.0, 0.001, kIlow, kVl, 0.0095, kIlow + slopeVbLeast * (0.0095 - 0.009)},
      {kP, 0.01, 100.0, 0.001, kIlow, kVl, 0.01, power(0.01)},
  };
  for (std::size_t n = 0; n < points.size(); ++n) {
    const Point& p = points[n];
    double vo = 7.0, io = 0.0;  // a stale voltage output is not used at time zero
    run_steps(1, [&](std::int32_t) {
      const std::int32_t before = e_s2::nexc;
      vdvocr(p.P, p.Vd, p.Imax, p.Vb, p.Ilow, p.Vl, vo, io);
      EXPECT_EQ(e_s2::nexc, before);  // no state
    });
    EXPECT_NEAR(vo, p.vo, 1e-15) << n;
    EXPECT_NEAR(io, p.io, 1e-12) << n;
  }
}

// The voltage output follows a rising voltage and stays up to the width above a
// falling one; the characteristic is read at the voltage output. Width 0.1, and
// (1 - Vb) / 2 = 0.02 for a break point of 0.96 (0.1 again at exactly 0.9).
TEST(CurrentOrder, HysteresisOnFallingVoltageBothWays) {
  struct Step {
    double vd, vo;
  };
  const std::vector<Step> steps = {
      {1.0, 1.0},   {0.95, 1.0},  {0.85, 0.95}, {0.5, 0.6},   {0.3, 0.4},  // falling
      {0.35, 0.4},  {0.45, 0.45}, {0.7, 0.7},                               // rising
      {0.62, 0.7},  {0.55, 0.65}, {0.58, 0.65}, {0.2, 0.3},                 // falling again
  };
  std::vector<double> vo(steps.size()), io(steps.size());
  double v = 0.0, i = 0.0;
  run_steps(static_cast<std::int32_t>(steps.size()), [&](std::int32_t n) {
    vdvocr(kP, steps[n].vd, kImax, kVb, kIlow, kVl, v, i);
    vo[n] = v;
    io[n] = i;
  });
  for (std::size_t n = 0; n < steps.size(); ++n) {
    EXPECT_NEAR(vo[n], steps[n].vo, 1e-15) << n;
    const double o = steps[n].vo;
    const double expected = o >= kVb ? power(steps[n].vd) : (o <= kVl ? kIlow : line(o));
    EXPECT_NEAR(io[n], std::min(expected, kImax), 1e-12) << n;
  }
  // At 0.5 falling the output is still 0.6: the power current, not the line.
  EXPECT_NEAR(io[3], kP / 0.501, 1e-12);

  for (const auto& [vb, width] : std::vector<std::pair<double, double>>{{0.96, 0.02}, {0.9, 0.1}}) {
    double w = 0.0, j = 0.0;
    std::vector<double> out;
    run_steps(3, [&](std::int32_t n) {
      vdvocr(kP, n == 0 ? 1.0 : 0.5, kImax, vb, kIlow, kVl, w, j);
      out.push_back(w);
    });
    EXPECT_NEAR(out[1], 0.5 + width, 1e-15) << vb;
    EXPECT_NEAR(out[2], 0.5 + width, 1e-15) << vb;
  }
}

// The inverter: its voltage is cos^2 a - (cos^2 b - cos^2 c) x ratio; three stor
// slots (slope, offset, voltage output) and nexc + 3 on every call; the
// hysteresis memory is its own slot.
TEST(CurrentOrder, InverterVoltageSlotsAndPointer) {
  auto voltage = [](double a, double b, double c, double r) {
    return std::cos(a) * std::cos(a) - (std::cos(b) * std::cos(b) - std::cos(c) * std::cos(c)) * r;
  };
  struct Angles {
    double a, b, c, ratio;
  };
  // 0.2, 0.5, 0.3 with ratio 0.4: v = 0.9605 - (0.7702 - 0.9127) 0.4 = 1.0175;
  // then a = 0.9 (v = 0.4434) and 1.2 (v = 0.1883) on falling voltage, back to
  // 1.0175, and cos^2 1.6 = 0.00085 with ratio 0, bounded to 0.001 (falling: 0.101).
  const std::vector<Angles> steps = {{0.2, 0.5, 0.3, 0.4}, {0.9, 0.5, 0.3, 0.4}, {1.2, 0.5, 0.3, 0.4},
                                     {1.2, 0.5, 0.3, 0.4}, {0.2, 0.5, 0.3, 0.4}, {1.6, 0.3, 0.3, 0.0}};
  std::vector<double> vo, io, slots;
  std::vector<std::int32_t> used;
  double v = 9.0, i = 0.0, v2 = 0.0, i2 = 0.0;
  run_steps(static_cast<std::int32_t>(steps.size()), [&](std::int32_t n) {
    const Angles& s = steps[static_cast<std::size_t>(n)];
    const std::int32_t before = e_s2::nexc;
    vdvoci(kP, 0.9, kImax, kVb, kIlow, kVl, v, i, s.a, s.b, s.c, s.ratio);
    used.push_back(e_s2::nexc - before);
    for (std::int32_t k = 1; k <= 3; ++k) slots.push_back(e_s2::stor(before + k));
    vo.push_back(v);
    io.push_back(i);
    v = 9.0;  // the caller's value is an output only
    vdvoci(kP, 0.9, kImax, kVb, kIlow, kVl, v2, i2, 0.2, 0.5, 0.3, 0.4);  // a second instance
    EXPECT_NEAR(v2, voltage(0.2, 0.5, 0.3, 0.4), 1e-15);
  });
  const double v0 = voltage(0.2, 0.5, 0.3, 0.4), v1 = voltage(0.9, 0.5, 0.3, 0.4);
  const double v2f = voltage(1.2, 0.5, 0.3, 0.4);
  const std::vector<double> expected_vo = {v0, v1 + 0.1, v2f + 0.1, v2f + 0.1, v0, 0.001 + 0.1};
  for (std::size_t n = 0; n < steps.size(); ++n) {
    EXPECT_EQ(used[n], 3) << n;
    EXPECT_NEAR(vo[n], expected_vo[n], 1e-15) << n;
    const double o = expected_vo[n];
    const double expected = o >= kVb ? power(0.9) : (o <= kVl ? kIlow : line(o));
    EXPECT_NEAR(io[n], std::min(expected, kImax), 1e-12) << n;
    EXPECT_NEAR(slots[3 * n], kSlope, 1e-12) << n;
    EXPECT_NEAR(slots[3 * n + 1], kOffset, 1e-12) << n;
    EXPECT_EQ(slots[3 * n + 2], vo[n]) << n;
  }
}

}  // namespace
}  // namespace blocks_test

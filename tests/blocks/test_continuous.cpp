// The continuous blocks run through the block bench against closed forms of their
// own discretisations, hand-worked first steps, and their slot counts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "block_bench.h"
#include "blocks/continuous.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

// A step that is a power of two keeps sums of steps exact.
constexpr double kDyadicDelt = 1.0 / 1024.0;

// Runs one block n steps with the input x(step); the outputs by step.
template <class Input, class Block>
std::vector<double> run_block(double delt, std::int32_t n, Input x, Block block) {
  BlockBench bench(delt);
  std::vector<double> y;
  bench.dynamics = [&] { y.push_back(block(x(ctrl::iii))); };
  const wakro_test::Outcome o = bench.run(n);
  EXPECT_EQ(o.status, -1) << o.console;
  return y;
}

// 0 at time zero, 1 from the first step on.
double unit_step(std::int32_t n) { return n == 0 ? 0.0 : 1.0; }

TEST(Limit, UpperIsTestedFirst) {
  EXPECT_EQ(limit(1.0, 0.0, 0.5), 0.0);
  EXPECT_EQ(limit(0.0, 1.0, 2.0), 1.0);
  EXPECT_EQ(limit(0.0, 1.0, -1.0), 0.0);
  EXPECT_EQ(limit(0.0, 1.0, 0.25), 0.25);
}

TEST(Realp2, ExponentialStepFollowsTheExactExponential) {
  // |T| <= 5 delt: y_n = y_(n-1) + k (u - y_(n-1)), k = 1 - e^(-delt/T), so a unit
  // step from rest gives exactly y_n = G (1 - e^(-n delt / T)). Two instances
  // with different time constants run side by side.
  const double delt = 1e-4;
  BlockBench bench(delt);
  std::vector<double> y3, y5;
  bench.dynamics = [&] {
    const double x = unit_step(ctrl::iii);
    y3.push_back(realp2(2.0, 3.0 * delt, x));
    y5.push_back(realp2(2.0, 5.0 * delt, x));
    EXPECT_EQ(e_s2::nexc, 4);
  };
  ASSERT_EQ(bench.run(1000).status, -1);
  ASSERT_EQ(y3.size(), 1001u);
  for (std::size_t n = 0; n < y3.size(); ++n) {
    EXPECT_NEAR(y3[n], 2.0 * (1.0 - std::exp(-static_cast<double>(n) / 3.0)), 1e-12) << n;
    EXPECT_NEAR(y5[n], 2.0 * (1.0 - std::exp(-static_cast<double>(n) / 5.0)), 1e-12) << n;
  }
  EXPECT_NEAR(y3[1], 0.5669374, 1e-7);
  EXPECT_NEAR(y3[2], 0.9731658, 1e-7);
}

// The exponential rule keeps the last e^(-delt/T): a call with the same time
// constant as the call before takes the kept value, any other computes its own.
// Lags whose time constants alternate from call to call (the kept value changes
// on every call), and one that repeats its neighbour's, must all follow
// y = y0 + (1 - e^(-delt/T)) (G x - y0) bit for bit, in realp2, difpl2 and ldlag2.
TEST(Realp2, TheKeptExponentialIsTheOneOfTheTimeConstantAskedFor) {
  const double delt = 1e-4, ta = 3.0 * delt, tb = 4.5 * delt, g = 1.5;
  auto x = [](std::int32_t k) { return std::cos(0.3 * k) + 0.5; };
  BlockBench bench(delt);
  std::vector<std::vector<double>> y(5);
  bench.dynamics = [&] {
    const std::int32_t k = ctrl::iii;
    const double tk = k % 2 == 0 ? ta : tb;  // the first block's time constant moves every step
    y[0].push_back(realp2(g, tk, x(k)));
    y[1].push_back(realp2(g, ta, x(k)));
    y[2].push_back(realp2(g, ta, x(k)));  // the same as the block before
    y[3].push_back(difpl2(tb, x(k)));
    y[4].push_back(ldlag2(0.0, ta, g, x(k)));
  };
  ASSERT_EQ(bench.run(40).status, -1);
  double y0 = g * x(0), y1 = y0, l3 = x(0), z4 = g * x(0);
  for (std::int32_t k = 1; k <= 40; ++k) {
    SCOPED_TRACE(k);
    const auto n = static_cast<std::size_t>(k);
    const double u = g * x(k), kA = 1.0 - std::exp(-delt / ta), kB = 1.0 - std::exp(-delt / tb);
    y0 = y0 + (k % 2 == 0 ? kA : kB) * (u - y0);
    y1 = y1 + kA * (u - y1);
    l3 = l3 + kB * (x(k) - l3);
    z4 = z4 + kA * ((1.0 - 0.0 / ta) * u - z4);
    EXPECT_EQ(y[0][n], y0);
    EXPECT_EQ(y[1][n], y1);
    EXPECT_EQ(y[2][n], y1);
    EXPECT_EQ(y[3][n], x(k) - l3);
    EXPECT_EQ(y[4][n], u * 0.0 / ta + z4);
  }
}

TEST(Realp2, TrapezoidFollowsItsDiscreteClosedForm) {
  // |T| > 5 delt, a = delt / 2T, rho = (1 - a) / (1 + a) (the trapezoid's e^(-delt/T)).
  // The first step averages the old input 0 with the new 1: y_1 = u a / (1 + a);
  // after it y_n = rho y_(n-1) + 2 a u / (1 + a), so
  //   y_n = u (1 - (1 + rho) / 2 * rho^(n-1)).
  const double delt = 1e-4, T = 10.0 * delt, G = 2.0;
  const auto y = run_block(delt, 1000, unit_step, [&](double x) { return realp2(G, T, x); });
  const double a = delt / (2.0 * T), rho = (1.0 - a) / (1.0 + a);
  EXPECT_EQ(y[0], 0.0);
  for (std::size_t n = 1; n < y.size(); ++n)
    EXPECT_NEAR(y[n], G * (1.0 - (1.0 + rho) / 2.0 * std::pow(rho, n - 1.0)), 1e-12) << n;
  EXPECT_NEAR(y[1], 0.0952381, 1e-7);
  EXPECT_NEAR(y[2], 0.2766440, 1e-7);
}

TEST(Realp2, NoLagAndTimeZero) {
  // Below 1e-20 the lag is skipped; at time zero the lag starts in steady state.
  const auto x = [](std::int32_t n) { return 0.5 + 0.25 * n; };
  const auto y0 = run_block(1e-3, 10, x, [](double v) { return realp2(2.0, 0.0, v); });
  for (std::size_t n = 0; n < y0.size(); ++n) EXPECT_EQ(y0[n], 2.0 * x(static_cast<std::int32_t>(n)));
  const auto yT = run_block(1e-3, 3, x, [](double v) { return realp2(3.0, 1.0, v); });
  EXPECT_EQ(yT[0], 1.5);
}

TEST(Difpl2, HighPassOfAStep) {
  // Exponential branch: the lag follows 1 - e^(-n delt/T), the output is its rest.
  const double delt = 1e-4;
  const auto ye = run_block(delt, 500, unit_step, [&](double x) { return difpl2(2.0 * delt, x); });
  EXPECT_EQ(ye[0], 0.0);
  for (std::size_t n = 1; n < ye.size(); ++n)
    EXPECT_NEAR(ye[n], std::exp(-static_cast<double>(n) / 2.0), 1e-12) << n;
  // Trapezoid: the lag is realp2's with G = 1, the output 1 minus it.
  const double T = 20.0 * delt, a = delt / (2.0 * T), rho = (1.0 - a) / (1.0 + a);
  const auto yt = run_block(delt, 500, unit_step, [&](double x) { return difpl2(T, x); });
  EXPECT_EQ(yt[0], 0.0);
  for (std::size_t n = 1; n < yt.size(); ++n)
    EXPECT_NEAR(yt[n], (1.0 + rho) / 2.0 * std::pow(rho, n - 1.0), 1e-12) << n;
}

TEST(Ldlag2, EqualTimeConstantsPassTheInput) {
  const auto x = [](std::int32_t n) { return std::sin(0.1 * n); };
  for (double T : {1e-2, 2e-4}) {  // trapezoidal and exponential branches
    SCOPED_TRACE(T);
    const auto y = run_block(1e-4, 200, x, [&](double v) { return ldlag2(T, T, 1.5, v); });
    for (std::size_t n = 0; n < y.size(); ++n)
      EXPECT_NEAR(y[n], 1.5 * x(static_cast<std::int32_t>(n)), 1e-15) << n;
  }
}

TEST(Ldlag2, ExponentialStepResponseIsTheSampledLeadLag) {
  // G (1 + sT1)/(1 + sT2) on a unit step: 1 - (1 - T1/T2) e^(-t/T2), exactly at
  // the steps for the exponential branch.
  const double delt = 1e-4, T1 = 1e-4, T2 = 4e-4;
  const auto y = run_block(delt, 400, unit_step, [&](double x) { return ldlag2(T1, T2, 2.0, x); });
  EXPECT_EQ(y[0], 0.0);
  for (std::size_t n = 1; n < y.size(); ++n)
    EXPECT_NEAR(y[n], 2.0 * (1.0 - (1.0 - T1 / T2) * std::exp(-static_cast<double>(n) / 4.0)), 1e-12)
        << n;
}

TEST(Ldlag2, TrapezoidFirstStepsAndSteadyState) {
  // Explicit trapezoid on z: step 1 gives the direct path T1/T2 alone; z then
  // grows by delt/2 * (1 - T1/T2)/T2; the response settles at G.
  const double delt = 1e-4, T1 = 2e-3, T2 = 1e-2;
  const auto y = run_block(delt, 5000, unit_step, [&](double x) { return ldlag2(T1, T2, 1.0, x); });
  const double c = 1.0 - T1 / T2;
  EXPECT_EQ(y[0], 0.0);
  EXPECT_NEAR(y[1], T1 / T2, 1e-15);
  EXPECT_NEAR(y[2], T1 / T2 + delt / 2.0 * c / T2, 1e-15);
  EXPECT_NEAR(y.back(), 1.0, 1e-9);
}

TEST(Ldlag2, NoLagIsLeadOnly) {
  // |T2| < 1e-20: u + T1 (u - u_prev) / delt.
  const double delt = 1e-3;
  const auto x = [](std::int32_t n) { return 0.5 * n * n; };
  const auto y = run_block(delt, 10, x, [&](double v) { return ldlag2(2e-3, 0.0, 1.0, v); });
  EXPECT_EQ(y[0], 0.0);
  for (std::int32_t n = 1; n <= 10; ++n)
    EXPECT_NEAR(y[n], x(n) + 2e-3 * (x(n) - x(n - 1)) / delt, 1e-9) << n;
}

TEST(Intgl3, IntegratesWithUnitTimeConstantAndClampsUpperFirst) {
  // T = 0 integrates with T' = 1: y_n = Y0 + n delt, held at the upper limit once
  // it is passed.
  const double delt = kDyadicDelt, Y0 = 0.5, upper = Y0 + 5.5 * delt;
  const auto y = run_block(delt, 10, [](std::int32_t) { return 1.0; },
                           [&](double x) { return intgl3(Y0, -1.0, upper, 0.0, x); });
  for (std::int32_t n = 0; n <= 5; ++n) EXPECT_EQ(y[n], Y0 + n * delt) << n;
  for (std::int32_t n = 6; n <= 10; ++n) EXPECT_EQ(y[n], upper) << n;
  // Crossed limits: upper is applied first, then lower wins.
  const auto z = run_block(delt, 2, [](std::int32_t) { return 1.0; },
                           [&](double x) { return intgl3(5.0, 2.0, 1.0, 0.0, x); });
  EXPECT_EQ(z, (std::vector<double>{2.0, 2.0, 2.0}));
}

TEST(Intgl3, TrapezoidOfARamp) {
  // X_n = n with T = 0.5: y_n = Y0 + delt/2 * sum (X_k + X_(k-1)) / T = Y0 + n^2 delt / (2T).
  const double delt = kDyadicDelt, T = 0.5;
  const auto y = run_block(delt, 50, [](std::int32_t n) { return static_cast<double>(n); },
                           [&](double x) { return intgl3(0.25, -1e9, 1e9, T, x); });
  for (std::int32_t n = 0; n <= 50; ++n) EXPECT_EQ(y[n], 0.25 + n * n * delt / (2.0 * T)) << n;
}

TEST(Pi3, ProportionalPlusIntegralWithLimits) {
  const double delt = kDyadicDelt, Kp = 2.0, T = 0.5;
  const auto y = run_block(delt, 20, [](std::int32_t) { return 1.0; },
                           [&](double x) { return pi3(Kp, T, -10.0, 10.0, 0.0, x); });
  for (std::int32_t n = 0; n <= 20; ++n) EXPECT_EQ(y[n], Kp + n * delt / T) << n;
  // Above upper: upper; below lower: lower.
  const auto hi = run_block(delt, 3, [](std::int32_t) { return 1.0; },
                            [&](double x) { return pi3(Kp, T, -1.0, 1.5, 0.0, x); });
  EXPECT_EQ(hi, (std::vector<double>{1.5, 1.5, 1.5, 1.5}));
  const auto lo = run_block(delt, 3, [](std::int32_t) { return -1.0; },
                            [&](double x) { return pi3(Kp, T, -1.5, 1.0, 0.0, x); });
  EXPECT_EQ(lo, (std::vector<double>{-1.5, -1.5, -1.5, -1.5}));
}

TEST(Deriv1, BackwardDifference) {
  const double delt = kDyadicDelt;
  const auto y = run_block(delt, 10, [](std::int32_t n) { return 0.5 * n * n; },
                           [](double x) { return deriv1(3.0, x); });
  EXPECT_EQ(y[0], 0.0);
  for (std::int32_t n = 1; n <= 10; ++n) EXPECT_EQ(y[n], 3.0 * (0.5 * n * n - 0.5 * (n - 1) * (n - 1)) / delt);
}

TEST(Cmpxp5, FirstStepsByHandAndSettling) {
  // G = 2, zeta = 0.7, omega = 100, delt = 1e-3, step from 0 to 1.
  // Time zero: damping term = 100 * 1e-3 + 0.7 = 0.8; r = y = 0.
  // Step 1: a = 2; r_1 = 2 * 100 * h (h = 1e-3 * 0.6666667); y stays 0.
  // Step 2: a = 2 - 2 * 0.8 * r_1; y_2 = 100 h r_1.
  const double delt = 1e-3, h = delt * 0.6666667, r1 = 2.0 * 100.0 * h;
  std::vector<std::vector<double>> out(10);
  BlockBench bench(delt);
  bench.dynamics = [&] {
    const double x = unit_step(ctrl::iii);
    for (std::int32_t mode = 1; mode <= 9; ++mode) out[mode].push_back(cmpxp5(mode, 2.0, 0.7, 100.0, x));
  };
  ASSERT_EQ(bench.run(3000).status, -1);
  EXPECT_EQ(e_s2::stor(5), 100.0 * 1e-3 + 0.7);
  EXPECT_EQ(out[1][1], 0.0);
  EXPECT_EQ(out[3][1], 2.0);
  EXPECT_EQ(out[2][1], 0.0);
  EXPECT_NEAR(out[2][2], r1, 1e-15);
  EXPECT_NEAR(out[3][2], 2.0 - 2.0 * 0.8 * r1, 1e-15);
  EXPECT_NEAR(out[1][3], 100.0 * h * r1, 1e-15);
  // Mode combinations of the same state.
  for (std::size_t n = 0; n < out[1].size(); ++n) {
    const double y = out[1][n], r = out[2][n], a = out[3][n];
    EXPECT_EQ(out[4][n], y + r);
    EXPECT_EQ(out[5][n], a + y);
    EXPECT_EQ(out[6][n], a + r);
    EXPECT_EQ(out[7][n], y - r);
    EXPECT_EQ(out[8][n], y - a);
    EXPECT_EQ(out[9][n], r - a);
  }
  // Settles at G X with no rate.
  EXPECT_NEAR(out[1].back(), 2.0, 1e-5);
  EXPECT_NEAR(out[2].back(), 0.0, 1e-5);
}

TEST(Cmpxp5, HeavyDampingUsesItsReciprocalTerm) {
  // |zeta| > 1 damps with 0.5 / |zeta|; the magnitude of omega is used.
  BlockBench bench(1e-3);
  double y0 = 0.0;
  bench.dynamics = [&] { y0 = cmpxp5(1, 1.5, -4.0, -50.0, 2.0); };
  ASSERT_EQ(bench.run(0).status, -1);
  EXPECT_EQ(e_s2::stor(5), 50.0 * 1e-3 + 0.5 / 4.0);
  EXPECT_EQ(y0, 3.0);  // the output state starts at G X
}

// x_n for the delay tests: distinct values with no pattern a ring could fake.
double signal(std::int32_t n) { return std::sin(0.37 * n) + 0.001 * n; }

TEST(Delay, PlainDelayIsExactlyThreeStepsLate) {
  BlockBench bench(1e-4);
  std::vector<double> y;
  bench.dynamics = [&] {
    y.push_back(delay(3e-4, 10, signal(ctrl::iii)));
    EXPECT_EQ(e_s2::nexc, 5);
  };
  ASSERT_EQ(bench.run(1000).status, -1);
  for (std::int32_t n = 0; n <= 1000; ++n) EXPECT_EQ(y[n], signal(std::max(n - 3, 0))) << n;
}

TEST(Delay, InterpolatingDelayIsExactlyThreeStepsLate) {
  BlockBench bench(kDyadicDelt);
  std::vector<double> y;
  bench.dynamics = [&] {
    y.push_back(delayi(3.0 * kDyadicDelt, 10, signal(ctrl::iii)));
    EXPECT_EQ(e_s2::nexc, 6);
  };
  ASSERT_EQ(bench.run(1000).status, -1);
  for (std::int32_t n = 0; n <= 1000; ++n) EXPECT_EQ(y[n], signal(std::max(n - 3, 0))) << n;
}

TEST(Delay, InterpolatingDelayBetweenSamplesOfARamp) {
  // One sample every two steps (maximum count 1): the blend of the two oldest
  // samples gives the ramp two steps late on every step, not only on samples.
  BlockBench bench(kDyadicDelt);
  std::vector<double> y;
  bench.dynamics = [&] { y.push_back(delayi(2.0 * kDyadicDelt, 1, static_cast<double>(ctrl::iii))); };
  ASSERT_EQ(bench.run(100).status, -1);
  for (std::int32_t n = 4; n <= 100; ++n) EXPECT_EQ(y[n], n - 2.0) << n;
}

TEST(Delay, ACorruptPositionFallsBackToTheFirstSample) {
  BlockBench bench(1e-3);
  std::vector<double> y;
  bench.dynamics = [&] {
    if (ctrl::iii == 5) e_s2::stor(2) = 1e30;  // slot 2: the oldest sample's position
    y.push_back(delay(3e-3, 10, signal(ctrl::iii)));
  };
  ASSERT_EQ(bench.run(6).status, -1);
  // Steps 1..4 wrote samples 1, 2, 3, 1 of the ring: sample 1 holds x_4.
  EXPECT_EQ(y[5], signal(4));
}

TEST(Delay, ASampleTimeBelowOneSampleIsADataError) {
  for (const char* which : {"DELAY       ", "DELAYI      "}) {
    for (const auto& [TD, maxCount] : {std::pair{4e-4, 10}, std::pair{3e-3, 0}}) {
      SCOPED_TRACE(which);
      BlockBench bench(1e-3);
      const bool plain = std::string(which) == "DELAY       ";
      bench.dynamics = [&] {
        realp2(1.0, 0.0, 1.0);
        if (plain)
          delay(TD, maxCount, 1.0);
        else
          delayi(TD, maxCount, 1.0);
        ADD_FAILURE() << "the block returned";
      };
      const wakro_test::Outcome o = bench.run(3);
      EXPECT_EQ(o.status, 2000);
      EXPECT_EQ(e_s2::nexc, 2);  // the delay took nothing
      const std::vector<std::string> lines = lines_of(o.console);
      ASSERT_GE(lines.size(), 4u);
      EXPECT_EQ(lines[0], " ***ERROR** Delay time must be at least half a time step and");
      EXPECT_EQ(lines[1], " ***ERROR** the maximum number of samples at least 1.");
      EXPECT_EQ(lines[3], std::string(" ERROR: Abnormal termination of WAKRO by ") + which);
    }
  }
}

TEST(RateLimiter, RisesAndFallsAtTheirRates) {
  const double delt = kDyadicDelt;
  const auto x = [](std::int32_t n) { return (n >= 1 && n < 20) ? 1.0 : 0.0; };
  BlockBench bench(delt);
  std::vector<double> y;
  bench.dynamics = [&] {
    double out = -7.0;
    rate_limiter(-128.0, 64.0, x(ctrl::iii), out);  // 0.125 up, 0.0625 down per step
    y.push_back(out);
    EXPECT_EQ(storage::nstorf, 2);
  };
  ASSERT_EQ(bench.run(40).status, -1);
  EXPECT_EQ(y[0], 0.0);
  for (std::int32_t n = 1; n <= 8; ++n) EXPECT_EQ(y[n], 0.125 * n) << n;
  for (std::int32_t n = 9; n < 20; ++n) EXPECT_EQ(y[n], 1.0) << n;
  for (std::int32_t n = 20; n < 36; ++n) EXPECT_EQ(y[n], 1.0 - 0.0625 * (n - 19)) << n;
  for (std::int32_t n = 36; n <= 40; ++n) EXPECT_EQ(y[n], 0.0) << n;
}

TEST(Continuous, EveryBlockTakesTheSameSlotsOnEveryStep) {
  // Each call's stor count: realp2 2, difpl2 2, ldlag2 2, intgl3 3, pi3 3,
  // deriv1 1, cmpxp5 5, delay (n = 4) 6, delayi (n = 4) 7; rate_limiter storf 1.
  const std::vector<std::int32_t> counts = {2, 2, 2, 3, 3, 1, 5, 6, 7};
  BlockBench bench(1e-3);
  std::vector<std::vector<std::int32_t>> seen;
  bench.dynamics = [&] {
    const double x = std::cos(0.2 * ctrl::iii);
    std::vector<std::int32_t> used;
    std::int32_t before = e_s2::nexc;
    const auto mark = [&] {
      used.push_back(e_s2::nexc - before);
      before = e_s2::nexc;
    };
    realp2(1.0, 0.1, x), mark();
    difpl2(0.1, x), mark();
    ldlag2(0.1, 0.2, 1.0, x), mark();
    intgl3(0.0, -1.0, 1.0, 0.1, x), mark();
    pi3(1.0, 0.1, -1.0, 1.0, 0.0, x), mark();
    deriv1(1.0, x), mark();
    cmpxp5(1, 1.0, 0.5, 10.0, x), mark();
    delay(4e-3, 10, x), mark();
    delayi(4e-3, 10, x), mark();
    double y = 0.0;
    rate_limiter(1.0, 1.0, x, y);
    seen.push_back(used);
  };
  ASSERT_EQ(bench.run(20).status, -1);
  for (const auto& used : seen) EXPECT_EQ(used, counts);
  EXPECT_EQ(storage::nstorf, 2);
}

}  // namespace
}  // namespace blocks_test

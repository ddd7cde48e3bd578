// The interpolated-signal blocks: a triangle, a comparator and an integrator
// integrate a pulse train to its exact duty although every edge falls inside a
// step; hand-worked steps of the integrator, its reset and the PI controllers;
// the detector, comparator, hysteresis, gate, flip-flops and shift register.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/configured.h"
#include "blocks/interpolated.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kDelt = 1e-4;
constexpr double kOpen = 1e20;
const XPair kRest{0.0, 0.0};

// ---------------------------------------------------------------- the pulse train

// The ideal pulse train of a triangle of period P (0 at t = 0, rising, peaks +-1)
// above the level c is high from cP/4 to (2 - c)P/4 in every period: its
// integral from 0 to t is whole periods times the width (1 - c)P/2 plus the part
// of the present pulse already passed.
double pulse_integral(double t, double P, double c) {
  const double width = (1.0 - c) * P / 2.0;
  const double periods = std::floor(t / P);
  const double inPeriod = t - periods * P;
  return periods * width + std::clamp(inPeriod - c * P / 4.0, 0.0, width);
}

// Largest |y_n - integral(n delt)| of the chain triangle -> comparator ->
// integrator over n steps, with or without the interpolated instants.
double pulse_chain_error(bool interpolate, double P, double c, std::int32_t n) {
  BlockBench bench(kDelt);
  const std::int32_t sw = interpolate ? 1 : 0;
  double worst = 0.0;
  bench.begin = [] { sawtooth1_cfg(1.0, -1.0); };
  bench.dynamics = [&] {
    double tri = 0.0;
    sawtooth1_exe(1.0 / P, tri);
    XPair pulse{};
    wakro_x2comp(sw, 0, tri, c, 1.0, 0.0, 0.0, pulse);
    const double y = wakro_xint(sw, 0, 0, 0.0, 1.0, 0.0, -kOpen, kOpen, kRest, pulse);
    worst = std::max(worst, std::fabs(y - pulse_integral(e_s1::time, P, c)));
  };
  const wakro_test::Outcome o = bench.run(n);
  EXPECT_EQ(o.status, -1) << o.console;
  return worst;
}

TEST(InterpolatedChain, PulseTrainIntegratesToItsExactDuty) {
  // P = 20.37 steps: the edges fall at ever different places inside the steps; the
  // level 0.3 keeps every edge 0.175 P (3.6 steps) from a vertex, so the
  // triangle is straight over each edge's step and the crossing found by linear
  // interpolation is the true one. The integral then matches to rounding.
  const double P = 20.37 * kDelt, c = 0.3;
  const double exact = pulse_chain_error(true, P, c, 2000);
  EXPECT_LT(exact, 1e-12);
  // The same chain without the instants integrates each edge by the trapezoid
  // over its step: an error of the order of a step.
  const double stepped = pulse_chain_error(false, P, c, 2000);
  EXPECT_GT(stepped, 0.5 * kDelt);
  EXPECT_LT(stepped, 3.0 * kDelt);
}

TEST(InterpolatedChain, DutyOverEachPeriodIsExact) {
  // A period of exactly 25.6 steps: every fifth period ends on a step, and there
  // the integral over the last five periods is 5 (1 - c) P / 2 exactly.
  const double P = 25.6 * kDelt, c = -0.4;
  BlockBench bench(kDelt);
  std::vector<double> y;
  bench.begin = [] { sawtooth1_cfg(1.0, -1.0); };
  bench.dynamics = [&] {
    double tri = 0.0;
    sawtooth1_exe(1.0 / P, tri);
    XPair pulse{};
    wakro_x2comp(1, 0, tri, c, 1.0, 0.0, 0.0, pulse);
    y.push_back(wakro_xint(1, 0, 0, 0.0, 1.0, 0.0, -kOpen, kOpen, kRest, pulse));
  };
  ASSERT_EQ(bench.run(640).status, -1);
  for (std::size_t n = 128; n < y.size(); n += 128)
    EXPECT_NEAR(y[n] - y[n - 128], 5.0 * (1.0 - c) * P / 2.0, 1e-12) << n;
}

// ---------------------------------------------------------------- integrator

// Runs one block n steps, calling it with the step index; the outputs by step.
template <class Block>
std::vector<double> run_steps(std::int32_t n, Block block) {
  BlockBench bench(kDelt);
  std::vector<double> y;
  bench.dynamics = [&] {
    y.push_back(block(ctrl::iii));
    EXPECT_EQ(storage::nstorf, 4);
  };
  const wakro_test::Outcome o = bench.run(n);
  EXPECT_EQ(o.status, -1) << o.console;
  return y;
}

TEST(Xint, TrapezoidWithUnitTimeConstantAndClamp) {
  // T = 0 integrates with T' = 1: 0.5 + 2 delt per step from Y0 = 0.5.
  const double d = 1e-3;
  BlockBench bench(d);
  std::vector<double> y, clamped;
  bench.dynamics = [&] {
    const XPair x{2.0, 0.0};
    y.push_back(wakro_xint(0, 0, 0, 0.5, 0.0, 0.0, -kOpen, kOpen, kRest, x));
    clamped.push_back(wakro_xint(0, 0, 0, 0.5, 0.0, 0.0, -kOpen, 0.51, kRest, x));
  };
  ASSERT_EQ(bench.run(10).status, -1);
  for (std::size_t n = 0; n < y.size(); ++n) {
    EXPECT_NEAR(y[n], 0.5 + 0.002 * n, 1e-12) << n;
    EXPECT_NEAR(clamped[n], std::min(0.5 + 0.002 * n, 0.51), 1e-12) << n;
  }
  for (std::size_t n = 6; n < clamped.size(); ++n) EXPECT_EQ(clamped[n], 0.51);
}

TEST(Xint, InterpolatedInputIntegratesEachValueOverItsPart) {
  // Input 0, then 1 switched on 0.3 delt before the end of step 1, then 1 held.
  const std::vector<XPair> x = {{0.0, 0.0}, {1.0, 0.3 * kDelt}, {1.0, 0.0}, {-2.0, kDelt}, {5.0, 2.0 * kDelt}};
  const auto y = run_steps(4, [&](std::int32_t n) { return wakro_xint(1, 0, 0, 0.0, 1.0, 0.0, -kOpen, kOpen, kRest, x[n]); });
  EXPECT_EQ(y[0], 0.0);
  EXPECT_NEAR(y[1], 0.3 * kDelt, 1e-18);
  EXPECT_NEAR(y[2], 1.3 * kDelt, 1e-18);
  // A change a whole step back integrates only the new value.
  EXPECT_NEAR(y[3], -0.7 * kDelt, 1e-18);
  // A time beyond the step is taken as the whole step.
  EXPECT_NEAR(y[4], 4.3 * kDelt, 1e-18);
}

TEST(Xint, ResetGivesItsValueOrTheIntegralAfterTheResetInstant) {
  const double R = 3.0;
  struct Case {
    std::int32_t inputInterp, resetInterp;
    XPair rst, x;
    double expected;  // on step 1, after an input of 0 at time zero
  };
  const std::vector<Case> cases = {
      {0, 0, {1.0, 0.0}, {1.0, 0.0}, R},
      {0, 1, {1.0, 0.0}, {1.0, 0.0}, R},
      // Trapezoid from the input at the reset instant, 0.6, to 1: 0.4 delt * 0.8.
      {0, 1, {1.0, 0.4 * kDelt}, {1.0, 0.0}, R + 0.32 * kDelt},
      // The input changed before the reset: only the new value after it.
      {1, 1, {1.0, 0.4 * kDelt}, {1.0, 0.7 * kDelt}, R + 0.4 * kDelt},
      // The input changed after the reset: 0.3 delt of 0, then 0.1 delt of 1.
      {1, 1, {1.0, 0.4 * kDelt}, {1.0, 0.1 * kDelt}, R + 0.1 * kDelt},
      // No reset when RST(1) rounds to 0.
      {1, 1, {0.49, 0.4 * kDelt}, {1.0, 0.1 * kDelt}, 0.1 * kDelt},
  };
  for (const Case& c : cases) {
    const auto y = run_steps(1, [&](std::int32_t n) {
      const XPair x = n == 0 ? XPair{0.0, 0.0} : c.x;
      const XPair rst = n == 0 ? XPair{0.0, 0.0} : c.rst;
      return wakro_xint(c.inputInterp, c.resetInterp, 1, 0.0, 1.0, R, -kOpen, kOpen, rst, x);
    });
    EXPECT_NEAR(y[1], c.expected, 1e-15) << c.inputInterp << c.resetInterp << c.rst[1];
  }
}

TEST(Xint, LowerLimitWinsWhenTheLimitsCross) {
  const auto y = run_steps(1, [](std::int32_t) { return wakro_xint(0, 0, 0, 0.0, 1.0, 0.0, 2.0, 1.0, kRest, XPair{5.0, 0.0}); });
  EXPECT_EQ(y, (std::vector<double>{2.0, 2.0}));
}

TEST(Xpi, ProportionalPlusIntegralClampedTwice) {
  // K = 2, T = 0.5: the integral rises by 1 * delt / 0.5 per step (trapezoid).
  const auto y = run_steps(3, [](std::int32_t) { return wakro_xpi(0, 2.0, 0.5, -1.0, 2.0 + 3e-4, 0.0, XPair{1.0, 0.0}); });
  EXPECT_NEAR(y[0], 2.0, 1e-15);
  EXPECT_NEAR(y[1], 2.0 + 2e-4, 1e-15);
  EXPECT_NEAR(y[2], 2.0 + 3e-4, 1e-15);  // K X + 4e-4 clamped to HI
  EXPECT_NEAR(y[3], 2.0 + 3e-4, 1e-15);
}

TEST(Xpi2, IntegratorStandsStillWhileTheOutputIsHeld) {
  // Input 1 for steps 1..3 drives K X + I above HI = 1.0001 (held, integrator
  // frozen at 2 delt / T), then the input -1 starts it moving down again.
  const std::vector<double> x = {0.0, 1.0, 1.0, 1.0, 1.0, -1.0, -1.0};
  const double T = 1.0;
  std::vector<double> integral;
  BlockBench bench(kDelt);
  std::vector<double> y;
  bench.dynamics = [&] {
    const std::int32_t first = storage::nstorf;
    y.push_back(wakro_xpi2(1, 1.0, T, -2.0, 1.0 + 1.5 * kDelt, 0.0, XPair{x[ctrl::iii], 0.0}));
    integral.push_back(storage::storf(first + 1));
  };
  ASSERT_EQ(bench.run(6).status, -1);
  // Interpolation on with X(2) = 0: each step integrates the previous input.
  EXPECT_EQ(y[0], 0.0);
  EXPECT_NEAR(y[1], 1.0, 1e-15);             // I = 0
  EXPECT_NEAR(y[2], 1.0 + kDelt, 1e-15);     // I = delt
  EXPECT_NEAR(y[3], 1.0 + 1.5 * kDelt, 1e-15);  // 1 + 2 delt >= HI: held, I stays delt
  EXPECT_NEAR(integral[3], kDelt, 1e-18);
  EXPECT_NEAR(y[4], 1.0 + 1.5 * kDelt, 1e-15);
  EXPECT_NEAR(integral[4], kDelt, 1e-18);
  EXPECT_NEAR(y[5], -1.0 + 2.0 * kDelt, 1e-15);  // I = delt + delt (the held input 1)
  EXPECT_NEAR(y[6], -1.0 + kDelt, 1e-15);
}

TEST(Xpi2, HeldAtTimeZeroTheIntegratorKeepsItsInitialState) {
  // K X = 5 is above HI = 2 from time zero on: the output is held and the
  // integral stays at Y0 = 0.5 with the input 5 as its previous input.
  BlockBench bench(kDelt);
  std::vector<double> y, slot1, slot2;
  bench.dynamics = [&] {
    const std::int32_t first = storage::nstorf;
    y.push_back(wakro_xpi2(0, 1.0, 1.0, -2.0, 2.0, 0.5, XPair{5.0, 0.0}));
    slot1.push_back(storage::storf(first));
    slot2.push_back(storage::storf(first + 1));
  };
  ASSERT_EQ(bench.run(2).status, -1);
  EXPECT_EQ(y, (std::vector<double>{2.0, 2.0, 2.0}));
  EXPECT_EQ(slot1, (std::vector<double>{5.0, 5.0, 5.0}));
  EXPECT_EQ(slot2, (std::vector<double>{0.5, 0.5, 0.5}));
}

// ---------------------------------------------------------------- detector and comparators

TEST(Xzcd, CrossingsAndTheirTimes) {
  const std::vector<std::array<double, 2>> pairs = {{-1.0, 1.0}, {-1e-31, 0.0}, {0.0, 1.0}, {1.0, -3.0}, {2.0, 0.0}, {1.0, 2.0}};
  const std::vector<XPair> expected = {{1.0, 0.5 * kDelt}, {1.0, 0.5 * kDelt}, {0.0, 0.0},
                                       {-1.0, 0.75 * kDelt}, {-1.0, 0.0}, {0.0, 0.0}};
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    BlockBench bench(kDelt);
    std::vector<XPair> out;
    bench.dynamics = [&] {
      XPair o{9.0, 9.0};
      wakro_xzcd(pairs[k][ctrl::iii], o);
      out.push_back(o);
    };
    ASSERT_EQ(bench.run(1).status, -1);
    EXPECT_EQ(out[0], (XPair{0.0, 0.0})) << k;  // nothing at time zero
    EXPECT_EQ(out[1][0], expected[k][0]) << k;
    EXPECT_NEAR(out[1][1], expected[k][1], 1e-18) << k;
  }
}

TEST(X2comp, LevelAndEdgeModes) {
  // A - B: -1, 0 (rising crossing at the end), 3, -1 (falling at 0.25 delt).
  const std::vector<double> a = {1.0, 2.0, 5.0, 1.0};
  std::vector<XPair> level, edge, plain;
  BlockBench bench(kDelt);
  bench.dynamics = [&] {
    XPair l{}, e{}, p{};
    wakro_x2comp(1, 0, a[ctrl::iii], 2.0, 10.0, 5.0, -10.0, l);
    wakro_x2comp(1, 1, a[ctrl::iii], 2.0, 10.0, 5.0, -10.0, e);
    wakro_x2comp(0, 1, a[ctrl::iii], 2.0, 10.0, 5.0, -10.0, p);
    level.push_back(l);
    edge.push_back(e);
    plain.push_back(p);
  };
  ASSERT_EQ(bench.run(3).status, -1);
  EXPECT_EQ(level, (std::vector<XPair>{{-10.0, 0.0}, {-10.0, 0.0}, {10.0, 0.0}, {-10.0, 0.25 * kDelt}}));
  EXPECT_EQ(edge, (std::vector<XPair>{{5.0, 0.0}, {10.0, 0.0}, {5.0, 0.0}, {-10.0, 0.25 * kDelt}}));
  EXPECT_EQ(plain, (std::vector<XPair>{{5.0, 0.0}, {10.0, 0.0}, {5.0, 0.0}, {-10.0, 0.0}}));
}

TEST(Xhbuff, HysteresisAndPlainComparator) {
  // Band [-1, 1], normal output 0: inside at time zero gives Q0; up through 1 at
  // half a step; back inside keeps 1; down through -1 at a quarter step.
  const std::vector<double> x = {0.0, 3.0, 0.0, -3.0, 0.5};
  std::vector<XPair> band, plain;
  std::vector<std::int32_t> nstori, nstorf;
  BlockBench bench(kDelt);
  bench.dynamics = [&] {
    XPair b{}, p{};
    wakro_xhbuff(0, 1, x[ctrl::iii], 1.0, -1.0, b);
    wakro_xhbuff(1, 1, x[ctrl::iii], 0.25, 0.25, p);  // threshold 0.25, active output 0
    band.push_back(b);
    plain.push_back(p);
    nstori.push_back(storage::nstori);
    nstorf.push_back(storage::nstorf);
  };
  ASSERT_EQ(bench.run(4).status, -1);
  EXPECT_EQ(band, (std::vector<XPair>{{0.0, 0.0}, {1.0, 2.0 / 3.0 * kDelt}, {1.0, 0.0}, {0.0, 2.0 / 3.0 * kDelt}, {0.0, 0.0}}));
  EXPECT_EQ(plain[0], (XPair{1.0, 0.0}));
  EXPECT_EQ(plain[1][0], 0.0);
  EXPECT_NEAR(plain[1][1], 2.75 / 3.0 * kDelt, 1e-18);
  EXPECT_EQ(plain[2][0], 1.0);
  EXPECT_EQ(plain[4][0], 0.0);
  EXPECT_EQ(nstori, std::vector<std::int32_t>(5, 3));
  EXPECT_EQ(nstorf, std::vector<std::int32_t>(5, 5));
}

// ---------------------------------------------------------------- logic

std::array<double, 18> gate_inputs(std::vector<double> values, std::vector<double> times) {
  std::array<double, 18> x{};
  for (std::size_t i = 0; i < values.size(); ++i) x[i] = values[i];
  for (std::size_t i = 0; i < times.size(); ++i) x[9 + i] = times[i];
  return x;
}

TEST(Xlgate, AndOrXorAndTheirTimes) {
  const double d = kDelt;
  // Step 1: all three rise; step 2: inputs 1 and 3 fall; step 3: input 3 rises.
  const std::vector<std::array<double, 18>> x = {
      gate_inputs({0, 0, 0}, {}), gate_inputs({1, 1, 1}, {0.2 * d, 0.5 * d, 0.7 * d}),
      gate_inputs({0, 1, 0}, {0.3 * d, 0, 0.6 * d}), gate_inputs({0, 1, 1}, {0, 0, 0.4 * d})};
  std::vector<XPair> andOut, orOut, xorOut, none;
  std::vector<std::int32_t> nstori;
  BlockBench bench(d);
  bench.dynamics = [&] {
    XPair a{}, o{}, e{}, z{7.0, 7.0};
    wakro_xlgate(0, 3, x[ctrl::iii], a);
    wakro_xlgate(1, 3, x[ctrl::iii], o);
    wakro_xlgate(2, 3, x[ctrl::iii], e);
    wakro_xlgate(0, 0, x[ctrl::iii], z);
    andOut.push_back(a);
    orOut.push_back(o);
    xorOut.push_back(e);
    none.push_back(z);
    nstori.push_back(storage::nstori);
  };
  ASSERT_EQ(bench.run(3).status, -1);
  EXPECT_EQ(andOut, (std::vector<XPair>{{0, 0}, {1, 0.2 * d}, {0, 0.6 * d}, {0, 0}}));
  EXPECT_EQ(orOut, (std::vector<XPair>{{0, 0}, {1, 0.7 * d}, {1, 0}, {1, 0}}));
  // XOR: three changes toggle (smallest time), two keep, one toggles.
  EXPECT_EQ(xorOut, (std::vector<XPair>{{0, 0}, {1, 0.2 * d}, {1, 0}, {0, 0.4 * d}}));
  EXPECT_EQ(none, std::vector<XPair>(4, XPair{0, 0}));
  EXPECT_EQ(nstori, std::vector<std::int32_t>(4, 41));
}

TEST(Xlgate, MoreThanNineInputsStop) {
  BlockBench bench(kDelt);
  e_warn::comp_id1 = 4;
  e_warn::comp_id2 = 1;
  storage::nstori = 5;
  const std::array<double, 18> x{};
  XPair out{};
  const wakro_test::Outcome o = wakro_test::run_captured([&] { wakro_xlgate(0, 10, x, out); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(lines_of(o.console), fatal_lines({"Number of inputs cannot be more than 9."}, "XLGATE      ", 4, 1));
  EXPECT_EQ(storage::nstori, 5);
}

TEST(Xflip, ToggleOnEachRisingEdgeWithTheClockTime) {
  // Type 0 with A = B = 1 toggles; the clock rises on steps 1, 3, 5 at 0.4 delt.
  const double d = kDelt;
  std::vector<XPair> out, outFalling, cfgOut;
  BlockBench bench(d);
  bench.begin = [] { e_xflip1_cfg(1, 0, 1, 0); };
  bench.dynamics = [&] {
    const std::int32_t n = ctrl::iii;
    const XPair C = n % 2 == 1 ? XPair{1.0, 0.4 * d} : XPair{0.0, n == 0 ? 0.0 : 0.9 * d};
    const XPair one{1.0, 0.0};
    XPair q{}, f{}, g{};
    wakro_xflip(0, 1, 0, 1, one, one, C, q);
    wakro_xflip(1, 0, 0, 0, one, one, C, f);
    e_xflip1_exe(one, one, C, g);
    out.push_back(q);
    outFalling.push_back(f);
    cfgOut.push_back(g);
  };
  ASSERT_EQ(bench.run(5).status, -1);
  EXPECT_EQ(out, (std::vector<XPair>{{0, 0}, {1, 0.4 * d}, {1, 0}, {0, 0.4 * d}, {0, 0}, {1, 0.4 * d}}));
  EXPECT_EQ(outFalling, (std::vector<XPair>{{1, 0}, {1, 0}, {0, 0}, {0, 0}, {1, 0}, {1, 0}}));
  EXPECT_EQ(cfgOut, out);
}

TEST(Xflip, StateTableOfTheFourTypes) {
  // One rising edge with the inputs (a, b) held since time zero, from Q0 = 1.
  const std::array<std::array<std::int32_t, 4>, 4> table = {{
      {1, 1, 0, 1},  // a b = 0 0: type 0..3
      {0, 0, 0, 0},  // 0 1
      {1, 1, 1, 0},  // 1 0
      {0, 1, 0, 0},  // 1 1
  }};
  for (std::int32_t ab = 0; ab < 4; ++ab) {
    for (std::int32_t type = 0; type < 4; ++type) {
      BlockBench bench(kDelt);
      XPair q{};
      bench.dynamics = [&] {
        const XPair A{static_cast<double>(ab / 2), 0.0}, B{static_cast<double>(ab % 2), 0.0};
        wakro_xflip(1, 1, type, 0, A, B, XPair{ctrl::iii == 1 ? 1.0 : 0.0, 0.0}, q);
      };
      ASSERT_EQ(bench.run(1).status, -1);
      EXPECT_EQ(q[0], table[ab][type]) << ab << " " << type;
    }
  }
}

TEST(Xflip, InterpolatedInputTakenOnlyWhenItChangedBeforeTheEdge) {
  // Type 2 (D flip-flop), A rises 1 at 0.7 delt, the clock at 0.3 delt in the
  // same step: A changed first, so the edge sees 1. The second instance sees A
  // rise after the edge (0.1 delt) and keeps the stored 0.
  BlockBench bench(kDelt);
  std::vector<XPair> early, late;
  bench.dynamics = [&] {
    const bool edge = ctrl::iii == 1;
    const XPair C{edge ? 1.0 : 0.0, edge ? 0.3 * kDelt : 0.0};
    XPair e{}, l{};
    wakro_xflip(0, 1, 2, 1, XPair{edge ? 1.0 : 0.0, edge ? 0.7 * kDelt : 0.0}, kRest, C, e);
    wakro_xflip(0, 1, 2, 1, XPair{edge ? 1.0 : 0.0, edge ? 0.1 * kDelt : 0.0}, kRest, C, l);
    early.push_back(e);
    late.push_back(l);
  };
  ASSERT_EQ(bench.run(1).status, -1);
  EXPECT_EQ(early[1], (XPair{1.0, 0.3 * kDelt}));
  EXPECT_EQ(late[1], (XPair{0.0, 0.0}));
}

TEST(Xshift, PatternMovesOneStagePerEdge) {
  // Three stages from the pattern 0b001 and D = 0; the clock rises on odd steps.
  BlockBench bench(kDelt);
  std::vector<double> out;
  std::vector<std::int32_t> nstori;
  bench.dynamics = [&] {
    XPair o{};
    wakro_xshift(3, 1, 0, 0b001, XPair{ctrl::iii % 2 == 1 ? 1.0 : 0.0, 0.0}, kRest, o);
    out.push_back(o[0]);
    nstori.push_back(storage::nstori);
  };
  ASSERT_EQ(bench.run(6).status, -1);
  // Edges on steps 1, 3, 5: 0 after the first, 1 after the second, 0 after the third.
  EXPECT_EQ(out, (std::vector<double>{0, 0, 0, 1, 1, 0, 0}));
  EXPECT_EQ(nstori, std::vector<std::int32_t>(7, 13));
}

TEST(Xshift, StageCountOutsideItsRangeStops) {
  for (std::int32_t n : {0, 33}) {
    BlockBench bench(kDelt);
    e_warn::comp_id1 = 0;
    e_warn::comp_id2 = 0;
    XPair out{};
    const wakro_test::Outcome o = wakro_test::run_captured([&] { wakro_xshift(n, 1, 0, 0, kRest, kRest, out); });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(lines_of(o.console), fatal_lines({"Number of stages must be from 1 to 32."}, "XSHIFT      ", 0, 0)) << n;
  }
}

}  // namespace
}  // namespace blocks_test

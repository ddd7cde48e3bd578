// The event blocks, run through the block bench: crossing times, monostable
// widths, latch and timer sequences, delayed and sampled values at their stated
// instants, and the sorter's orders, each worked by hand step by step. The step
// 1e-4 is not a power of two, so accumulated times meet `time` only within
// rounding, as in a real case.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/events.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kDelt = 1e-4;

// Runs f on every step 0 .. n; f sees the step index. Expects a normal end.
wakro_test::Outcome run_steps(std::int32_t n, const std::function<void(std::int32_t)>& f) {
  BlockBench bench(kDelt);
  e_warn::comp_id1 = 0;
  e_warn::comp_id2 = 0;
  bench.dynamics = [&] { f(ctrl::iii); };
  const wakro_test::Outcome o = bench.run(n);
  EXPECT_EQ(o.status, -1) << o.console;
  return o;
}

// The steps on which a 0/1 output was 1.
template <class T>
std::vector<std::int32_t> on_steps(const std::vector<T>& out) {
  std::vector<std::int32_t> steps;
  for (std::size_t n = 0; n < out.size(); ++n)
    if (out[n] != 0) steps.push_back(static_cast<std::int32_t>(n));
  return steps;
}

std::vector<std::int32_t> range(std::int32_t first, std::int32_t last) {
  std::vector<std::int32_t> r;
  for (std::int32_t n = first; n <= last; ++n) r.push_back(n);
  return r;
}

// ---------------------------------------------------------------- detectors

TEST(Zcd, CrossingsTheirTimesAndTheObsoleteForward) {
  const std::vector<double> x = {-1.0, 1.0, -3.0, -3.0, 0.0};
  std::vector<XPair> out;
  std::vector<std::int32_t> dir, obsolete, nexc;
  std::vector<double> times;
  const wakro_test::Outcome o = run_steps(4, [&](std::int32_t n) {
    XPair p{9.0, 9.0};
    wakro_zcd(x[n], p);
    out.push_back(p);
    dir.push_back(wakro_izcd1(x[n]));
    double t = -1.0;
    obsolete.push_back(izcd1(x[n], t));
    times.push_back(t);
    nexc.push_back(e_s2::nexc);
  });
  // Nothing at time zero; rising at 0.5 delt; falling at 0.75 delt; none; rising
  // at the end of the step.
  const std::vector<XPair> expected = {{0, 0}, {1, 0.5 * kDelt}, {-1, 0.75 * kDelt}, {0, 0}, {1, 0}};
  ASSERT_EQ(out.size(), expected.size());
  for (std::size_t n = 0; n < out.size(); ++n) {
    EXPECT_EQ(out[n][0], expected[n][0]) << n;
    EXPECT_NEAR(out[n][1], expected[n][1], 1e-18) << n;
    EXPECT_NEAR(times[n], expected[n][1], 1e-18) << n;
  }
  EXPECT_EQ(dir, (std::vector<std::int32_t>{0, 1, -1, 0, 1}));
  EXPECT_EQ(obsolete, dir);
  EXPECT_EQ(nexc, std::vector<std::int32_t>(5, 3));
  std::string lines;
  for (int k = 0; k < 5; ++k) lines += "Obsolete Function: IZCD1\n  Use Subroutine WAKRO_ZCD instead.\n";
  EXPECT_EQ(o.console, lines);
}

// ---------------------------------------------------------------- monostables and latch

TEST(Mono, OnePulseOfTheWidthFromARisingEdge) {
  // Level high from step 3 on: one pulse of 5.5 delt, i.e. the steps 3 .. 8
  // (6 steps), then nothing while the level stays high.
  std::vector<std::int32_t> pulse, retrig;
  run_steps(100, [&](std::int32_t n) {
    pulse.push_back(mono3(n >= 3 ? 1 : 0, 5.5 * kDelt));
    // Triggers on steps 1 and 4 with width 2.5 delt: on from 1 to 6.
    retrig.push_back(mono2(n == 1 || n == 4 ? 1 : 0, 2.5 * kDelt));
    EXPECT_EQ(e_s2::nexc, 5);
  });
  EXPECT_EQ(on_steps(pulse), range(3, 8));
  EXPECT_EQ(on_steps(retrig), range(1, 6));
}

TEST(Latck2, ClockedSetResetAndDirectInputs) {
  struct In {
    std::int32_t dSet, dReset, S, R, clock;
  };
  const std::vector<In> in = {
      {1, 0, 0, 0, 0},  // 0: time zero, Q 0
      {1, 0, 0, 0, 1},  // 1: rising clock, D set: Q 1
      {0, 1, 0, 0, 1},  // 2: no edge: Q stays 1
      {0, 1, 0, 0, 0},  // 3
      {0, 1, 0, 0, 1},  // 4: rising clock, D reset: Q 0
      {0, 0, 1, 0, 0},  // 5: direct set: Q 1
      {0, 1, 0, 0, 1},  // 6: rising clock, D reset: Q 0
      {1, 0, 1, 1, 0},  // 7: S and R together keep the stored 0
      {1, 0, 1, 1, 1},  // 8: even on a clock edge with D set
      {0, 0, 0, 1, 0},  // 9: direct reset keeps 0
  };
  std::vector<std::int32_t> q, qn, ret;
  run_steps(9, [&](std::int32_t n) {
    std::int32_t Q = -1, QN = -1;
    ret.push_back(latck2(in[n].dSet, in[n].dReset, in[n].S, in[n].R, in[n].clock, Q, QN));
    q.push_back(Q);
    qn.push_back(QN);
    EXPECT_EQ(e_s2::nexc, 2);
  });
  EXPECT_EQ(q, (std::vector<std::int32_t>{0, 1, 1, 1, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(ret, q);
  for (std::size_t n = 0; n < q.size(); ++n) EXPECT_EQ(qn[n], 1 - q[n]);
}

// ---------------------------------------------------------------- timers

TEST(Itimr1, OnAfterItsDelayAndReloadedByAStop) {
  std::vector<std::int32_t> out;
  run_steps(10, [&](std::int32_t n) { out.push_back(itimr1(n == 5 ? 0 : 1, 3.0 * kDelt)); });
  // Loaded at time zero, on 3 delt later; the stop at step 5 reloads it.
  EXPECT_EQ(out, (std::vector<std::int32_t>{0, 0, 0, 1, 1, 0, 0, 0, 1, 1, 1}));
}

TEST(Itimr3, SwitchesAfterItsUpAndDownTimes) {
  std::vector<std::int32_t> up, down;
  run_steps(20, [&](std::int32_t) {
    // The counter rises 16 / 10.5 per step from -8: >= 8 on the 11th step.
    up.push_back(itimr3(1, 0, 10.5 * kDelt, 5.0 * kDelt, 0));
    // From 11 it falls 16 / 5 per step: 7.8 < 8 on the first step.
    down.push_back(itimr3(0, 1, 10.5 * kDelt, 5.0 * kDelt, 1));
    EXPECT_EQ(e_s2::nexc, 6);
  });
  EXPECT_EQ(on_steps(up), range(11, 20));
  EXPECT_EQ(on_steps(down), std::vector<std::int32_t>{0});
}

TEST(Itimr3, ATimeOfZeroStops) {
  for (const std::array<double, 2>& t : {std::array<double, 2>{0.0, 1.0}, std::array<double, 2>{1.0, -1.0}}) {
    BlockBench bench(kDelt);
    e_warn::comp_id1 = 5;
    e_warn::comp_id2 = 3;
    e_s1::timezero = true;
    e_s2::nexc = 4;
    const wakro_test::Outcome o = wakro_test::run_captured([&] { itimr3(1, 0, t[0], t[1], 0); });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(lines_of(o.console),
              fatal_lines({"Timer up and down times must be greater than zero."}, "ITIMR3      ", 5, 3));
    EXPECT_EQ(e_s2::nexc, 4);
  }
}

TEST(T2m3, StartAndStopDelays) {
  // Start on step 1 with T1 = 3 delt: on from step 4. Stop on step 6 with
  // T2 = 2 delt: off from step 8. A second machine starts in state 1 (on).
  std::vector<std::int32_t> out, fromOn;
  run_steps(10, [&](std::int32_t n) {
    std::int32_t y = -1, z = -1;
    t2m3(n == 1 ? 1 : 0, n == 6 ? 1 : 0, 3.0 * kDelt, 2.0 * kDelt, 0, y);
    t2m3(0, n == 2 ? 1 : 0, 3.0 * kDelt, 2.7 * kDelt, 1, z);
    out.push_back(y);
    fromOn.push_back(z);
    EXPECT_EQ(storage::nstori, 3);
    EXPECT_EQ(storage::nstorf, 3);
  });
  EXPECT_EQ(on_steps(out), range(4, 7));
  // Stop on step 2 with 2.7 delt: left 1.7, 0.7, -0.3 delt: off from step 5.
  EXPECT_EQ(on_steps(fromOn), range(0, 4));
}

TEST(Timer3, DelayedPulseOfMinimumWidth) {
  // Delay 2 delt, width 3 delt; B >= A except on steps 7 and 8.
  std::vector<double> out;
  run_steps(14, [&](std::int32_t n) {
    const double B = n == 7 || n == 8 ? -1.0 : 1.0;
    out.push_back(timer3(2.0 * kDelt, 3.0 * kDelt, 0.0, B, -5.0, 5.0));
  });
  // Armed at time zero: on from step 2; after the width it stays on while B >= A;
  // off when B < A; re-armed on step 9: on from step 11.
  std::vector<std::int32_t> on;
  for (std::size_t n = 0; n < out.size(); ++n) {
    EXPECT_TRUE(out[n] == 5.0 || out[n] == -5.0) << n;
    if (out[n] == 5.0) on.push_back(static_cast<std::int32_t>(n));
  }
  std::vector<std::int32_t> expected = range(2, 6);
  for (std::int32_t n : range(11, 14)) expected.push_back(n);
  EXPECT_EQ(on, expected);
}

// ---------------------------------------------------------------- pulses with a crossing time

TEST(Sonon, PulseOfFixedWidthFromARisingCrossing) {
  // A - level: -1 at time zero and step 1, +1 on step 2 (crossing at 0.5 delt);
  // on steps 2, 3, 4 (width 2.5 delt), off from 5. The second instance crosses
  // exactly at the end of step 2: its time is raised to 1e-5 delt. The third is
  // disabled.
  std::vector<XPair> out, edge, off;
  std::vector<double> obs, obsTime;
  const wakro_test::Outcome o = run_steps(7, [&](std::int32_t n) {
    XPair a{}, b{}, c{};
    wakro_sonon(n >= 2 ? 3.0 : 1.0, 2.0, 2.5 * kDelt, 1, a);
    wakro_sonon(n >= 2 ? 2.0 : 1.0, 2.0, 2.5 * kDelt, 1, b);
    wakro_sonon(n >= 2 ? 3.0 : 1.0, 2.0, 2.5 * kDelt, 0, c);
    double t = -1.0;
    obs.push_back(sonon3(n >= 2 ? 1.0 : -1.0, 2.5 * kDelt, 1, t));
    obsTime.push_back(t);
    out.push_back(a);
    edge.push_back(b);
    off.push_back(c);
    EXPECT_EQ(e_s2::nexc, 4);
    EXPECT_EQ(storage::nstorf, 9);
  });
  for (std::size_t n = 0; n < out.size(); ++n) {
    const double on = n >= 2 && n <= 4 ? 1.0 : 0.0;
    EXPECT_EQ(out[n][0], on) << n;
    EXPECT_EQ(edge[n][0], on) << n;
    EXPECT_EQ(obs[n], on) << n;
    EXPECT_EQ(off[n], (XPair{0.0, 0.0})) << n;
    EXPECT_NEAR(out[n][1], n == 2 ? 0.5 * kDelt : 0.0, 1e-18) << n;
    EXPECT_NEAR(obsTime[n], n == 2 ? 0.5 * kDelt : 0.0, 1e-18) << n;
    EXPECT_NEAR(edge[n][1], n == 2 ? 1e-5 * kDelt : 0.0, 1e-20) << n;
  }
  std::string lines;
  for (int k = 0; k < 8; ++k) lines += "Obsolete Function: SONON3\n  Use Subroutine WAKRO_SONON instead.\n";
  EXPECT_EQ(o.console, lines);
}

TEST(Binon, OnBetweenTwoCrossings) {
  // A rises through 1 on step 2 (at 0.75 delt), B through 0 on step 5 (at 0.5
  // delt); the disabled instance stays off.
  const std::vector<double> A = {0.0, 0.0, 4.0, 4.0, 4.0, 4.0, 4.0};
  const std::vector<double> B = {-1.0, -1.0, -1.0, -1.0, -1.0, 1.0, 1.0};
  std::vector<XPair> out, off;
  std::vector<double> obs, obsTime;
  const wakro_test::Outcome o = run_steps(6, [&](std::int32_t n) {
    XPair a{}, c{};
    wakro_binon(A[n], 1.0, B[n], 0.0, 1, a);
    wakro_binon(A[n], 1.0, B[n], 0.0, 0, c);
    double t = -1.0;
    obs.push_back(binon3(A[n] - 1.0, B[n], 1, t));
    obsTime.push_back(t);
    out.push_back(a);
    off.push_back(c);
    EXPECT_EQ(e_s2::nexc, 6);
    EXPECT_EQ(storage::nstorf, 4);
  });
  const std::vector<XPair> expected = {{0, 0}, {0, 0}, {1, 0.75 * kDelt}, {1, 0}, {1, 0}, {0, 0.5 * kDelt}, {0, 0}};
  for (std::size_t n = 0; n < out.size(); ++n) {
    EXPECT_EQ(out[n][0], expected[n][0]) << n;
    EXPECT_NEAR(out[n][1], expected[n][1], 1e-18) << n;
    EXPECT_EQ(obs[n], expected[n][0]) << n;
    EXPECT_NEAR(obsTime[n], expected[n][1], 1e-18) << n;
    EXPECT_EQ(off[n], (XPair{0.0, 0.0})) << n;
  }
  std::string lines;
  for (int k = 0; k < 7; ++k) lines += "Obsolete Function: BINON3\n  Use Subroutine WAKRO_BINON instead.\n";
  EXPECT_EQ(o.console, lines);
}

TEST(SmallLogic, XnorAndAnd2or) {
  EXPECT_EQ(xnor(0, 0), 1);
  EXPECT_EQ(xnor(2, 1), 1);
  EXPECT_EQ(xnor(1, 0), 0);
  EXPECT_EQ(xnor(-1, -1), 0);
  EXPECT_EQ(xnor(-1, 0), 0);
  EXPECT_EQ(and2or(1, 1, 0, 1), 1);
  EXPECT_EQ(and2or(1, 0, 0, 1), 0);
  EXPECT_EQ(and2or(2, 3, 4, 1), 6);
}

// ---------------------------------------------------------------- delay and samplers

TEST(Delax, ShiftsEveryTdOverNAndRefusesNoStage) {
  // TD = 4 delt, N = 2: a shift every 2 steps through 3 stages; X = step.
  std::vector<double> out;
  run_steps(12, [&](std::int32_t n) {
    out.push_back(delax(4.0 * kDelt, 2, n));
    EXPECT_EQ(e_s2::nexc, 4);
  });
  EXPECT_EQ(out, (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 2, 2, 4, 4, 6, 6}));

  BlockBench bench(kDelt);
  e_warn::comp_id1 = 0;
  e_s2::nexc = 2;
  const wakro_test::Outcome o = wakro_test::run_captured([] { delax(1.0, 0, 1.0); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(lines_of(o.console), fatal_lines({"Number of delay stages must be at least 1."}, "DELAX       ", 0, 0));
  EXPECT_EQ(e_s2::nexc, 2);
}

TEST(Sampl2, SamplesOnceThePeriodIsExceeded) {
  std::vector<double> out;
  run_steps(9, [&](std::int32_t n) { out.push_back(sampl2(4.0 * kDelt, 10.0 + n)); });
  EXPECT_EQ(out, (std::vector<double>{10, 10, 10, 10, 14, 14, 14, 14, 18, 18}));
}

TEST(Samp5, InternalClockAndExternalPulse) {
  // Mode 0, F = 1 / (4 delt): samples at steps 4, 8; F doubled on step 6 samples
  // at once (the period-change step) and then every second step.
  std::vector<double> clock, pulse, late;
  run_steps(10, [&](std::int32_t n) {
    const double x = 10.0 + n;
    const double F = n < 6 ? 1.0 / (4.0 * kDelt) : 1.0 / (2.0 * kDelt);
    clock.push_back(samp5(x, F, 0, 0.0, 0));
    // Mode 1: a pulse on steps 3 and 7 at 0.25 delt before the end of the step.
    pulse.push_back(samp5(x * x, 0.0, n == 3 || n == 7 ? 1 : 0, 0.25 * kDelt, 1));
    // A pulse time outside the step takes the present input.
    late.push_back(samp5(x, 0.0, n == 2 ? 1 : 0, kDelt, 1));
    EXPECT_EQ(e_s2::nexc, 15);
  });
  const std::vector<double> expected = {10, 10, 10, 10, 14, 14, 16, 16, 18, 18, 20};
  for (std::size_t n = 0; n < clock.size(); ++n) EXPECT_NEAR(clock[n], expected[n], 1e-9) << n;
  // Held = x + 0.25 (x_prev - x): 169 + 0.25 (144 - 169) = 162.75; 289 + 0.25 (256 - 289) = 280.75.
  EXPECT_EQ(pulse, (std::vector<double>{100, 100, 100, 162.75, 162.75, 162.75, 162.75, 280.75, 280.75, 280.75, 280.75}));
  EXPECT_EQ(late, (std::vector<double>{10, 10, 12, 12, 12, 12, 12, 12, 12, 12, 12}));
}

TEST(Sandh2, TracksAndHoldsFromTheStepTheHoldBegins) {
  // Hold and enable high at time zero: the time-zero input is held to step 3;
  // tracking on 4 and 5; held again from step 6 (the value of step 6); the
  // enable low on step 8 tracks.
  std::vector<double> out;
  run_steps(9, [&](std::int32_t n) {
    const std::int32_t hold = n <= 3 || n >= 6 ? 1 : 0;
    double y = -1.0;
    sandh2(10.0 + n, hold, n == 8 ? 0 : 1, y);
    out.push_back(y);
  });
  EXPECT_EQ(out, (std::vector<double>{10, 10, 10, 10, 14, 15, 16, 16, 18, 19}));
}

// ---------------------------------------------------------------- sorter

TEST(Sorter, OrdersIndicesByValueAndKeepsTheOrder) {
  const std::vector<double> v = {5, 3, 4, 1, 2};
  std::vector<std::vector<std::int32_t>> asc, desc, tail, kept;
  const wakro_test::Outcome o = run_steps(2, [&](std::int32_t n) {
    std::vector<std::int32_t> a(5), d(5), t(5), k(5);
    e_sorter(5, 5, 1, 1, v, a);
    e_sorter(5, -6, 1, -1, v, d);  // |K| > N: warns, sorts fully from the end
    e_sorter(5, -2, 1, 1, v, t);   // the two largest at the end
    e_sorter(5, 4, n == 1 ? 1 : 0, -1, v, k);
    asc.push_back(a);
    desc.push_back(d);
    tail.push_back(t);
    kept.push_back(k);
    EXPECT_EQ(storage::nstori, 21);
  });
  for (std::int32_t n = 0; n < 3; ++n) {
    EXPECT_EQ(asc[n], (std::vector<std::int32_t>{4, 5, 2, 3, 1})) << n;
    EXPECT_EQ(desc[n], (std::vector<std::int32_t>{1, 3, 2, 5, 4})) << n;
    EXPECT_EQ(std::vector<std::int32_t>(tail[n].begin() + 3, tail[n].end()), (std::vector<std::int32_t>{3, 1})) << n;
    std::vector<std::int32_t> perm = tail[n];
    std::sort(perm.begin(), perm.end());
    EXPECT_EQ(perm, range(1, 5)) << n;
  }
  // Disabled: the stored order -- 1 .. 5 until the sort of step 1, kept after it.
  EXPECT_EQ(kept[0], range(1, 5));
  EXPECT_EQ(kept[1], (std::vector<std::int32_t>{1, 3, 2, 5, 4}));
  EXPECT_EQ(kept[2], kept[1]);
  std::string warnings;
  for (int k = 0; k < 3; ++k) warnings += " ***WARN*** Elements to be sorted is more than the size of the array\n";
  EXPECT_EQ(o.console, warnings);
}

TEST(Sorter, UnknownOrderOrNoCountLeavesTheList) {
  const std::vector<double> v = {5, 3, 4, 1, 2};
  std::vector<std::int32_t> other(5), none(5);
  run_steps(1, [&](std::int32_t) {
    e_sorter(5, -3, 1, 2, v, other);
    e_sorter(5, 0, 1, 1, v, none);
  });
  EXPECT_EQ(other, range(1, 5));
  EXPECT_EQ(none, range(1, 5));
}

TEST(Sorter, NoElementsTakeNoSlots) {
  std::vector<std::int32_t> idx(1, 7);
  run_steps(1, [&](std::int32_t) {
    e_sorter(0, 1, 1, 1, std::vector<double>{}, idx);
    EXPECT_EQ(storage::nstori, 1);
  });
  EXPECT_EQ(idx, std::vector<std::int32_t>{7});
}

}  // namespace
}  // namespace blocks_test

// The first-order poles and the PID controller, run through the block bench.
//
// The poles are exact for an input held over each interval, so for a step input
// the block's own discrete values are the continuous step responses sampled:
//   lag        G (1 - e^(-n delt/T))
//   diff. pole G e^(-n delt/T)
//   lead-lag   G (1 - (1 - T1/T2) e^(-n delt/T2))
// Rounding: each step adds a few ulp of values of order G and multiplies the
// error carried so far by a < 1, so the error stays below ~eps G/(1 - a), about
// 1e-14 for T = 10 delt; the coefficient a itself carries one ulp, which enters
// a^n as n eps a^n <= (T/delt) eps / e. A tolerance of 1e-12 covers both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/pid_controller.h"
#include "blocks/poles.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kDelt = 1e-3;
// Input: 0 at time zero, then 1.
double step_input() { return ctrl::iii >= 1 ? 1.0 : 0.0; }

TEST(Poles, StepResponsesFollowTheirClosedFormsOverAThousandSteps) {
  BlockBench bench(kDelt);
  std::vector<double> lag10, lag20, diff, leadLag, clamped, clampedState;
  std::vector<std::int32_t> nstorf, nstori;
  bench.dynamics = [&] {
    const double x = step_input();
    lag10.push_back(realpole(0, 1, 0, 2.0, 10 * kDelt, x, 0.0, 0.0, 0.0));
    lag20.push_back(realpole(0, 1, 0, 2.0, 20 * kDelt, x, 0.0, 0.0, 0.0));
    diff.push_back(diffpole(0, 1, 0, 2.0, 10 * kDelt, x, 0.0, 0.0, 0.0));
    leadLag.push_back(ldlgpole(0, 1, 0, 5 * kDelt, 10 * kDelt, 2.0, x, 0.0, 0.0, 0.0));
    clamped.push_back(realpole(0, 1, 1, 2.0, 10 * kDelt, x, 0.0, -1.0, 1.0));
    clampedState.push_back(storage::storf(storage::nstorf - 5 + 1));
    nstorf.push_back(storage::nstorf);
    nstori.push_back(storage::nstori);
  };
  const wakro_test::Outcome o = bench.run(1000);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_NEAR(lag10[5], 0.7869386805747332, 1e-12);
  for (std::int32_t n = 0; n <= 1000; ++n) {
    SCOPED_TRACE(n);
    const double e10 = std::exp(-n / 10.0), e20 = std::exp(-n / 20.0);
    EXPECT_NEAR(lag10[n], 2.0 * (1.0 - e10), 1e-12);
    EXPECT_NEAR(lag20[n], 2.0 * (1.0 - e20), 1e-12);
    EXPECT_NEAR(diff[n], n == 0 ? 0.0 : 2.0 * e10, 1e-12);
    EXPECT_NEAR(leadLag[n], n == 0 ? 0.0 : 2.0 * (1.0 - 0.5 * e10), 1e-12);
    // The limits bound the output; the state is the output over G.
    EXPECT_NEAR(clamped[n], std::min(1.0, 2.0 * (1.0 - e10)), 1e-12);
    EXPECT_LE(clampedState[n], 0.5);
    EXPECT_EQ(nstorf[n], 1 + 4 * 5 + 6);
    EXPECT_EQ(nstori[n], 1 + 5 * 2);
  }
  EXPECT_EQ(clamped[1000], 1.0);
  EXPECT_EQ(clampedState[1000], 0.5);
}

TEST(Poles, LagOnARampLeadsTheContinuousResponseByLessThanOneStepOfInput) {
  BlockBench bench(kDelt);
  const double g = 2.0, t = 10 * kDelt;
  std::vector<double> y;
  bench.dynamics = [&] { y.push_back(realpole(0, 1, 0, g, t, e_s1::time, 0.0, 0.0, 0.0)); };
  const wakro_test::Outcome o = bench.run(1000);
  ASSERT_EQ(o.status, -1) << o.console;
  // Own discretisation: s_n = (1 - a) n delt + a s_(n-1), s_0 = 0, solved by
  // s_n = n delt - c (1 - a^n) with c = a delt / (1 - a).
  const double a = std::exp(-kDelt / t), c = a * kDelt / (1.0 - a);
  for (std::int32_t n = 0; n <= 1000; ++n) {
    const double tn = n * kDelt;
    EXPECT_NEAR(y[n], g * (tn - c * (1.0 - std::pow(a, n))), 1e-12) << n;
    // Continuous: G (t - T + T e^(-t/T)). The block holds each interval's end
    // value, which exceeds the ramp by at most delt there; through a lag of
    // gain G the output leads by less than G delt.
    const double yc = g * (tn - t + t * std::exp(-tn / t));
    EXPECT_GE(y[n], yc - 1e-12) << n;
    EXPECT_LT(y[n] - yc, g * kDelt) << n;
  }
  // The lead settles at G (T - c), about 0.49 of G delt for T = 10 delt.
  EXPECT_NEAR(y[1000] - g * (1.0 - t + t * std::exp(-100.0)), g * (t - c), 1e-12);
}

TEST(Poles, ZeroTimeConstantsPassOrDifferentiate) {
  BlockBench bench(kDelt);
  std::vector<double> lag, diff, leadLag;
  const auto input = [] { return 1.0 + 0.5 * ctrl::iii * ctrl::iii; };
  bench.dynamics = [&] {
    lag.push_back(realpole(0, 1, 0, 3.0, 0.0, input(), 0.0, 0.0, 0.0));
    diff.push_back(diffpole(0, 1, 0, 3.0, 0.0, input(), 0.0, 0.0, 0.0));
    leadLag.push_back(ldlgpole(0, 1, 0, 4 * kDelt, 0.0, 3.0, input(), 0.0, 0.0, 0.0));
  };
  const wakro_test::Outcome o = bench.run(10);
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::int32_t n = 0; n <= 10; ++n) {
    const double x = 1.0 + 0.5 * n * n, x0 = 1.0 + 0.5 * (n - 1) * (n - 1);
    EXPECT_EQ(lag[n], 3.0 * x);
    EXPECT_EQ(diff[n], 0.0);
    // G (x + T1 (x - x0) / (n delt)) with n = 1 step; time zero: G x.
    if (n == 0)
      EXPECT_EQ(leadLag[n], 3.0);
    else
      EXPECT_NEAR(leadLag[n], 3.0 * (x + 4 * kDelt * (x - x0) / kDelt), 1e-12);
  }
}

TEST(Poles, ADisabledSpanIsCoveredByOneStepAndTheCoefficientIsComputedAgain) {
  BlockBench bench(kDelt);
  const double t = 10 * kDelt;
  std::vector<double> y, coef, cachedT;
  std::vector<std::int32_t> span, idle;
  bench.dynamics = [&] {
    // Disabled on steps 1..3; the time constant moves by 5e-11 on step 6 (kept)
    // and by 2e-10 on step 7 (computed again).
    const std::int32_t k = ctrl::iii;
    const double tk = k == 6 ? t + 5e-11 : (k >= 7 ? t + 2e-10 : t);
    y.push_back(realpole(0, k >= 1 && k <= 3 ? 0 : 1, 0, 2.0, tk, step_input(), 0.0, 0.0, 0.0));
    cachedT.push_back(storage::storf(3));
    coef.push_back(storage::storf(4));
    idle.push_back(storage::stori(1));
    span.push_back(storage::stori(2));
  };
  const wakro_test::Outcome o = bench.run(8);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(y[1], y[0]);
  EXPECT_EQ(y[3], y[0]);
  EXPECT_EQ(idle, (std::vector<std::int32_t>{0, 1, 2, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(span, (std::vector<std::int32_t>{1, 1, 1, 1, 4, 1, 1, 1, 1}));
  EXPECT_DOUBLE_EQ(coef[4], std::exp(-0.4));
  EXPECT_DOUBLE_EQ(coef[5], std::exp(-0.1));
  EXPECT_EQ(cachedT[6], t);
  EXPECT_EQ(coef[6], coef[5]);
  EXPECT_EQ(cachedT[7], t + 2e-10);
  // The gap does not lose time: the output is the sampled continuous response.
  for (std::int32_t n = 4; n <= 6; ++n) EXPECT_NEAR(y[n], 2.0 * (1.0 - std::exp(-n / 10.0)), 1e-12) << n;
}

// An enabled call with its coefficient in force updates the state directly; a
// call after a disabled span, after a move of T, under a reset or at time zero
// goes the general way. Both must give, bit for bit, the discrete recurrences
// s = (1 - a) x + a s0, s = a s0 + a (x - x0), s = T1 b (x - x0) + (1 - a) x + a s0
// (b = a / T2, a = e^(-n delt / T)), with the limits on G s, across every change
// of path: a gap on steps 4..5, T moved on steps 9 and 12, a reset on step 14.
TEST(Poles, DirectAndGeneralUpdatesFollowTheRecurrencesBitForBit) {
  struct Kind {
    const char* name;
    std::int32_t limited;
  };
  const double g = 2.0, t1 = 3 * kDelt, lower = -0.8, upper = 1.5;
  for (const Kind kind : {Kind{"lag", 0}, Kind{"lag", 1}, Kind{"diff", 0}, Kind{"diff", 1},
                          Kind{"leadlag", 0}, Kind{"leadlag", 1}}) {
    SCOPED_TRACE(std::string(kind.name) + (kind.limited ? " limited" : ""));
    const std::string name = kind.name;
    auto input = [](std::int32_t k) { return std::sin(0.7 * k) + 0.3 * k / 10.0; };
    auto time_constant = [](std::int32_t k) {
      return k >= 12 ? 7 * kDelt : (k >= 9 ? 5 * kDelt : 10 * kDelt);
    };
    auto enabled = [](std::int32_t k) { return k == 4 || k == 5 ? 0 : 1; };
    BlockBench bench(kDelt);
    std::vector<double> y;
    bench.dynamics = [&] {
      const std::int32_t k = ctrl::iii;
      const std::int32_t reset = k == 14 ? 1 : 0;
      const double x = input(k), t = time_constant(k);
      if (name == "lag")
        y.push_back(realpole(reset, enabled(k), kind.limited, g, t, x, 0.25, lower, upper));
      if (name == "diff")
        y.push_back(diffpole(reset, enabled(k), kind.limited, g, t, x, 0.25, lower, upper));
      if (name == "leadlag")
        y.push_back(ldlgpole(reset, enabled(k), kind.limited, t1, t, g, x, 0.25, lower, upper));
    };
    const wakro_test::Outcome o = bench.run(20);
    ASSERT_EQ(o.status, -1) << o.console;
    ASSERT_EQ(y.size(), 21u);
    // The recurrences, step by step.
    auto clamp = [&](double s) {
      return kind.limited ? (1.0 / g) * std::min(upper, std::max(lower, g * s)) : s;
    };
    double s = name == "diff" ? 0.0 : clamp((1.0 / g) * g * input(0)), x0 = input(0), out = g * s;
    EXPECT_EQ(y[0], name == "diff" ? 0.0 : out);
    std::int32_t n = 1;
    for (std::int32_t k = 1; k <= 20; ++k) {
      SCOPED_TRACE(k);
      if (!enabled(k)) {
        EXPECT_EQ(y[static_cast<std::size_t>(k)], out);
        ++n;
        continue;
      }
      const double x = input(k), t = time_constant(k), a = std::exp(-(n * kDelt) / t), b = a / t;
      if (k == 14) {
        s = (1.0 / g) * 0.25;
      } else if (name == "lag") {
        s = (1.0 - a) * x + a * s;
      } else if (name == "diff") {
        s = a * s + a * (x - x0);
      } else {
        s = t1 * b * (x - x0) + (1.0 - a) * x + a * s;
      }
      s = clamp(s);
      out = g * s;
      x0 = x;
      n = 1;
      EXPECT_EQ(y[static_cast<std::size_t>(k)], out);
    }
  }
}

// A flag counts as set whenever it is not zero: the entries, inline in their
// callers, read -3, 2 or 7 exactly as 1. Two chains of each kind run side by side
// over a disabled span, a reset and an input that crosses the limits; the one
// with the odd flag values must follow the one with ones bit for bit.
TEST(Poles, AnyNonZeroFlagActsAsSet) {
  struct Flags {
    std::int32_t reset, enable, limited;
  };
  struct Case {
    const char* kind;
    Flags odd;
  };
  const double g = 2.0, lower = -0.5, upper = 1.2;
  for (const Case c :
       {Case{"lag", {-3, 2, 7}}, Case{"diff", {7, -3, 2}}, Case{"leadlag", {2, 7, -3}}}) {
    SCOPED_TRACE(c.kind);
    const std::string kind = c.kind;
    auto pole = [&](Flags f, bool on, bool reset, double x) {
      const std::int32_t r = reset ? f.reset : 0, e = on ? f.enable : 0;
      if (kind == "lag") return realpole(r, e, f.limited, g, 4 * kDelt, x, 0.3, lower, upper);
      if (kind == "diff") return diffpole(r, e, f.limited, g, 4 * kDelt, x, 0.3, lower, upper);
      return ldlgpole(r, e, f.limited, 2 * kDelt, 4 * kDelt, g, x, 0.3, lower, upper);
    };
    BlockBench bench(kDelt);
    std::vector<double> ones, odd, plain;
    bench.dynamics = [&] {
      const std::int32_t k = ctrl::iii;
      const bool on = k < 5 || k > 7, reset = k == 11;
      const double x = 1.5 * std::sin(0.6 * k);
      ones.push_back(pole({1, 1, 1}, on, reset, x));
      odd.push_back(pole(c.odd, on, reset, x));
      plain.push_back(pole({1, 1, 0}, on, reset, x));
    };
    const wakro_test::Outcome o = bench.run(16);
    ASSERT_EQ(o.status, -1) << o.console;
    ASSERT_EQ(ones.size(), 17u);
    EXPECT_EQ(odd, ones);
    // The limit flag acts: the unlimited chain leaves the band the others keep.
    bool outside = false;
    for (std::size_t k = 0; k < ones.size(); ++k) {
      EXPECT_LE(ones[k], upper);
      EXPECT_GE(ones[k], lower);
      outside = outside || plain[k] > upper || plain[k] < lower;
    }
    EXPECT_TRUE(outside);
    // The reset on step 11 loads the output with the reset value.
    EXPECT_EQ(ones[11], 0.3);
  }
}

TEST(Poles, ResetAndTimeZeroLoadTheStateWithOrWithoutTheBlockEnabled) {
  BlockBench bench(kDelt);
  std::vector<double> active, idle, idleLimited, diffIdle, leadLag;
  bench.dynamics = [&] {
    const std::int32_t k = ctrl::iii;
    const std::int32_t reset = k == 3 ? 1 : 0;
    active.push_back(realpole(reset, 1, 0, 2.0, 10 * kDelt, 1.5, 0.8, 0.0, 0.0));
    idle.push_back(realpole(reset, 0, 0, 2.0, 10 * kDelt, 1.5, 0.8, 0.0, 0.0));
    idleLimited.push_back(realpole(reset, 0, 1, 2.0, 10 * kDelt, 1.5, 5.0, 0.0, 2.0));
    diffIdle.push_back(diffpole(0, 0, 1, 2.0, 10 * kDelt, 1.5, 0.0, 0.5, 1.0));
    leadLag.push_back(ldlgpole(0, 1, 0, 5 * kDelt, 10 * kDelt, 2.0, 3.0, 0.0, 0.0, 0.0));
  };
  const wakro_test::Outcome o = bench.run(4);
  ASSERT_EQ(o.status, -1) << o.console;
  // Time zero: the steady state G x (limited when asked); the idle block then holds.
  EXPECT_EQ(active[0], 3.0);
  EXPECT_EQ(idle, (std::vector<double>{3.0, 3.0, 3.0, 0.8, 0.8}));
  EXPECT_EQ(idleLimited, (std::vector<double>{2.0, 2.0, 2.0, 2.0, 2.0}));
  EXPECT_EQ(diffIdle, std::vector<double>(5, 0.5));
  for (double v : leadLag) EXPECT_NEAR(v, 6.0, 1e-14);
  // A reset loads the output; the lag then moves towards G x = 3 from it.
  EXPECT_EQ(active[3], 0.8);
  EXPECT_NEAR(active[4], 3.0 + (0.8 - 3.0) * std::exp(-0.1), 1e-12);
}

// ---------------------------------------------------------------- PID controller

TEST(PidController, GivesItsDocumentedSequenceAndFreezesAtALimit) {
  BlockBench bench(kDelt);
  std::vector<double> free, limited, frozenI, frozenKie;
  bench.dynamics = [&] {
    const std::int32_t reset = ctrl::iii == 0 ? 1 : 0;
    free.push_back(pid_controller(1.0, 10.0, 0.0, 0.0, -100.0, 100.0, 0.0, 1.0, reset));
    // The error reverses on step 5.
    const double e = ctrl::iii >= 5 ? -1.0 : 1.0;
    limited.push_back(pid_controller(1.0, 10.0, 0.0, 0.0, -100.0, 1.01, 0.0, e, reset));
    frozenI.push_back(storage::storf(6));
    frozenKie.push_back(storage::storf(7));
  };
  const wakro_test::Outcome o = bench.run(100);
  ASSERT_EQ(o.status, -1) << o.console;
  // After the reset call: 1.005, 1.015, 1.025, ...: Kp e + the trapezoid of Ki e.
  for (std::int32_t k = 1; k <= 100; ++k) EXPECT_NEAR(free[k], 1.0 + 0.01 * k - 0.005, 1e-12) << k;
  EXPECT_NEAR(limited[1], 1.005, 1e-15);
  for (std::int32_t k = 2; k <= 4; ++k) {
    EXPECT_EQ(limited[k], 1.01);
    EXPECT_NEAR(frozenI[k], 0.005, 1e-15);
    EXPECT_EQ(frozenKie[k], 10.0);
  }
  // Leaving the limit, the trapezoid pairs -10 with the stored 10 of the last
  // free call: I stays 0.005 and the output is -1 + 0.005.
  EXPECT_NEAR(limited[5], -0.995, 1e-15);
  EXPECT_NEAR(limited[6], -1.0 + 0.005 - 0.01, 1e-15);
}

TEST(PidController, DerivativePlainAndFiltered) {
  BlockBench bench(kDelt);
  std::vector<double> plain, filtered;
  bench.dynamics = [&] {
    const double e = 3.0 * e_s1::time;  // slope 3
    plain.push_back(pid_controller(0.0, 0.0, 2.0, 0.0, -100.0, 100.0, 0.0, e, 0));
    filtered.push_back(pid_controller(0.0, 0.0, 2.0, 5 * kDelt, -100.0, 100.0, 0.0, e, 0));
  };
  const wakro_test::Outcome o = bench.run(50);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(plain[0], 0.0);
  EXPECT_EQ(filtered[0], 0.0);
  for (std::int32_t n = 1; n <= 50; ++n) {
    EXPECT_NEAR(plain[n], 6.0, 1e-9) << n;
    // The estimate follows de/dt = 3 through a lag of 5 steps, exactly sampled.
    EXPECT_NEAR(filtered[n], 6.0 * (1.0 - std::exp(-n / 5.0)), 1e-9) << n;
  }
}

TEST(PidController, AResetOutsideTheLimitsWarnsOnEveryCallAndClampsTheIntegral) {
  BlockBench bench(kDelt);
  std::vector<double> y, integral, memory;
  bench.dynamics = [&] {
    e_warn::comp_id1 = 4;
    e_warn::comp_id2 = 9;
    const std::int32_t k = ctrl::iii;
    const double resetValue = k == 2 ? -7.0 : 5.0;
    y.push_back(pid_controller(0.0, 10.0, 0.0, 0.0, -3.0, 1.0, resetValue, 0.5, k <= 2 ? 1 : 0));
    integral.push_back(storage::storf(1));
    double sum = 0.0;
    for (std::int32_t s = 2; s <= 5; ++s) sum += std::abs(storage::storf(s));
    memory.push_back(sum);
  };
  const wakro_test::Outcome o = bench.run(4);
  ASSERT_EQ(o.status, -1) << o.console;
  const std::string warn = " ***WARN*** Initial/Reset value is outside the specified limits." + ids(4, 9);
  EXPECT_EQ(lines_of(o.console), std::vector<std::string>(3, warn));
  // Clamped to the upper limit twice, then to the lower one; the other memory
  // is cleared by every reset.
  EXPECT_EQ(integral[0], 1.0);
  EXPECT_EQ(integral[1], 1.0);
  EXPECT_EQ(integral[2], -3.0);
  for (std::int32_t k = 0; k <= 2; ++k) EXPECT_EQ(memory[k], 0.0);
  // The reset acts from the next call: step 3 integrates Ki e = 5 from -3 with
  // no stored Ki e (half a trapezoid), step 4 a whole one.
  EXPECT_NEAR(integral[3], -3.0 + 0.5 * kDelt * 5.0, 1e-15);
  EXPECT_NEAR(integral[4], -3.0 + 1.5 * kDelt * 5.0, 1e-15);
  EXPECT_NEAR(y[3], -3.0 + 0.5 * kDelt * 5.0, 1e-15);
  // While the reset is set the output of the call itself is computed as usual:
  // from cleared storage, step 0 gives I = 0.5 delt Ki e.
  EXPECT_NEAR(y[0], 0.5 * kDelt * 5.0, 1e-15);
}

}  // namespace
}  // namespace blocks_test

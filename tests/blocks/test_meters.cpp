// The three-phase voltage and power meters on a synthetic network: balanced sets
// against their closed forms, the measuring end and sign, a grounded measuring
// node, the pointer counts, and the fatal stops with their exact texts and tags.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/meters.h"
#include "blocks/pll.h"
#include "meter_network.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDelt = 5e-5;
constexpr double kF = 50.0;
constexpr double kW = 2.0 * kPi * kF;
constexpr double kV = 100.0;  // phase peak voltage
constexpr double kI = 20.0;   // phase peak current

// Phase p (0, 1, 2) of a balanced positive-sequence set of peak A and angle phi.
double phase(double A, double phi, int p, double t) { return A * std::cos(kW * t - phi - 2.0 * kPi * p / 3.0); }

// Three branches k = 1..3 from node k to node k + 3; node k carries phase k - 1
// of V, node k + 3 half of it, and branch k phase k - 1 of I lagging by phi.
struct Balanced {
  double phi;
  void write(double t) const {
    for (int p = 0; p < 3; ++p) {
      e_s0::vdc(p + 1, 1) = phase(kV, 0.0, p, t);
      e_s0::vdc(p + 4, 1) = 0.5 * phase(kV, 0.0, p, t);
      branches::cbr(p + 1, 1) = phase(kI, phi, p, t);
    }
  }
};

// A bench with the six-node, three-branch network; output runs in the output
// pass with one subsystem visible.
wakro_test::Outcome run_meters(std::int32_t nsteps, const std::function<void()>& output,
                               const std::function<void()>& topology = {}) {
  BlockBench bench(kDelt);
  allocate_meter_network(6, 3);
  bench.begin = [&] {
    set_meter_network(6, 3);
    for (int k = 1; k <= 3; ++k) {
      branches::ief(k, 1) = k;
      branches::iet(k, 1) = k + 3;
    }
    if (topology) topology();
  };
  bench.output = [&] {
    OneSubsystem one;
    output();
  };
  return bench.run(nsteps);
}

TEST(PowerMeters, BalancedSetGivesClosedFormsFromTheFirstStep) {
  for (const double phi : {0.0, kPi / 6.0, kPi / 2.0, -kPi / 3.0}) {
    const Balanced set{phi};
    std::vector<double> p, q, pSlow, nexcP, nexcQ;
    double unsmoothed = 0.0;
    const wakro_test::Outcome o = run_meters(200, [&] {
      set.write(e_s1::time);
      const std::int32_t n0 = e_s2::nexc;
      p.push_back(p3ph3(1, 1, 2, 3, 0.02, 0));
      nexcP.push_back(e_s2::nexc - n0);
      q.push_back(q3ph3(1, 1, 2, 3, 0.02, 0));
      nexcQ.push_back(e_s2::nexc - n0);
      pSlow.push_back(p3ph3(1, 1, 2, 3, 0.5, 0));
      unsmoothed = e_s2::stor(3);
    });
    ASSERT_EQ(o.status, -1) << o.console;
    ASSERT_EQ(p.size(), 201u);
    // The instantaneous three-phase power of a balanced set has no ripple, so the
    // lag holds it whatever T; only rounding of the sums remains.
    const double tol = 1e-9 * kV * kI;
    for (std::size_t n = 0; n < p.size(); ++n) {
      EXPECT_NEAR(p[n], 1.5 * kV * kI * std::cos(phi), tol) << n;
      EXPECT_NEAR(pSlow[n], 1.5 * kV * kI * std::cos(phi), tol) << n;
      EXPECT_NEAR(q[n], 1.5 * kV * kI * std::sin(phi), tol) << n;
      EXPECT_EQ(nexcP[n], 3) << n;
      EXPECT_EQ(nexcQ[n], 6) << n;
    }
    // The unsmoothed power of the step stands in the meter's third slot.
    EXPECT_NEAR(unsmoothed, 1.5 * kV * kI * std::cos(phi), tol);
  }
}

TEST(PowerMeters, MeasuringEndSignAndGroundedNode) {
  const Balanced set{kPi / 6.0};
  std::vector<double> fromEnd, toEnd, negated, negatedOther, qGrounded;
  const wakro_test::Outcome o = run_meters(
      20,
      [&] {
        set.write(e_s1::time);
        fromEnd.push_back(p3ph3(1, 1, 2, 3, 0.02, 0));
        toEnd.push_back(p3ph3(1, 1, 2, 3, 0.02, 1));
        negated.push_back(p3ph3(1, -1, 2, 3, 0.02, 0));
        negatedOther.push_back(p3ph3(1, -1, 2, 3, 0.02, 1));
        qGrounded.push_back(q3ph3(1, 1, 2, 3, 0.0, 1));
      },
      [] { branches::iet(3, 1) = 0; });
  ASSERT_EQ(o.status, -1) << o.console;
  const double tol = 1e-9 * kV * kI;
  for (std::size_t n = 0; n < fromEnd.size(); ++n) {
    const double t = kDelt * static_cast<double>(n);
    double va = phase(kV, 0, 0, t), vb = phase(kV, 0, 1, t), vc = phase(kV, 0, 2, t);
    const double ia = phase(kI, kPi / 6.0, 0, t), ib = phase(kI, kPi / 6.0, 1, t), ic = phase(kI, kPi / 6.0, 2, t);
    EXPECT_NEAR(fromEnd[n], 1.5 * kV * kI * std::cos(kPi / 6.0), tol) << n;
    // The to-ends: half the voltage on a and b, ground on c (a transient sum,
    // which the lag starts from and follows).
    const double pTo = 0.5 * va * ia + 0.5 * vb * ib;
    if (n == 0) {
      EXPECT_NEAR(toEnd[n], pTo, tol);
    }
    // A negative ka swaps the end and negates.
    EXPECT_NEAR(negated[n], -toEnd[n], tol) << n;
    EXPECT_NEAR(negatedOther[n], -fromEnd[n], tol) << n;
    // T = 0: no lag; the grounded c enters both differences as 0 V.
    va *= 0.5;
    vb *= 0.5;
    vc = 0.0;
    EXPECT_NEAR(qGrounded[n], ((vb - vc) * ia + (vc - va) * ib + (va - vb) * ic) * 0.577350269189626, tol) << n;
  }
}

TEST(VoltageMeter, SettlesAtTheLineToLineRms) {
  const Balanced set{0.0};
  std::vector<double> y;
  std::vector<std::int32_t> used;
  double grounded = -1.0;
  const wakro_test::Outcome o = run_meters(8000, [&] {
    set.write(e_s1::time);
    const std::int32_t n0 = e_s2::nexc;
    y.push_back(vm3ph2(1, 1, 2, 3, 0.05));
    used.push_back(e_s2::nexc - n0);
    grounded = vm3ph2(1, 0, 0, 0, 0.05);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  // Time zero: 0.7407 (max - min) with va = V, vb = vc = -V/2.
  EXPECT_NEAR(y[0], 0.7407 * 1.5 * kV, 1e-9);
  // After 8 time constants the start (11 V off) has decayed to 4e-3 V; the mean
  // of max - min is 3 sqrt 3 / pi V, and the lag leaves of the +-9 V ripple at six
  // times the frequency about 9 V / (2 pi 300 Hz 0.05 s) ~ 0.1 V.
  EXPECT_NEAR(y.back(), 0.7407 * 3.0 * std::sqrt(3.0) / kPi * kV, 0.2);
  EXPECT_EQ(grounded, 0.0);
  for (const std::int32_t u : used) EXPECT_EQ(u, 2);
}

TEST(NodePowerMeters, CurrentsOfTheBranchesBetweenTheNodes) {
  const Balanced set{kPi / 4.0};
  std::vector<double> p, q;
  std::vector<std::int32_t> used;
  const wakro_test::Outcome o = run_meters(10, [&] {
    set.write(e_s1::time);
    const std::int32_t n0 = e_s2::nexc;
    p.push_back(p3ph2(1, 1, 2, 3, 4, 5, 6, 0.0));
    q.push_back(q3ph2(1, 1, 2, 3, 4, 5, 6, 0.0));
    used.push_back(e_s2::nexc - n0);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  // The branch from n to m carries -cbr as the current between n and m, so the
  // node-based meters give the negated power.
  for (std::size_t n = 0; n < p.size(); ++n) {
    EXPECT_NEAR(p[n], -1.5 * kV * kI * std::cos(kPi / 4.0), 1e-9 * kV * kI) << n;
    EXPECT_NEAR(q[n], -1.5 * kV * kI * std::sin(kPi / 4.0) * 0.57735 / 0.577350269189626, 1e-9 * kV * kI) << n;
    EXPECT_EQ(used[n], 4) << n;
  }
}

TEST(SinglePhaseMeter, PowerInItsFirstRealSlotAndThePointerCounts) {
  const Balanced set{kPi / 3.0};
  double P = 0.0;
  std::vector<std::int32_t> usedF, usedS;
  const wakro_test::Outcome o = run_meters(16000, [&] {
    set.write(e_s1::time);
    const std::int32_t f0 = storage::nstorf, s0 = e_s2::nexc;
    pqvi1ph(1, 1, 1, 0.1);
    usedF.push_back(storage::nstorf - f0);
    usedS.push_back(e_s2::nexc - s0);
    P = storage::storf(storage::nstorf - 2);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::size_t n = 0; n < usedF.size(); ++n) {
    EXPECT_EQ(usedF[n], 2) << n;
    EXPECT_EQ(usedS[n], 13) << n;
  }
  // After 8 time constants P is the mean of v i, V I cos(phi) / 2; the lag leaves
  // of its V I / 2 ripple at twice the frequency about 1 / (2 pi 100 Hz 0.1 s),
  // 1.6 %.
  EXPECT_NEAR(P, 0.5 * kV * kI * std::cos(kPi / 3.0), 0.01 * kV * kI);
}

TEST(PhaseDetector, EdgesOfTheExclusiveOrTakeTheSignOfTheSignalThatCrossed) {
  // A and B per step; the time-zero pass detects nothing.
  const std::vector<std::pair<double, double>> ab = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}, {-1, -1}, {-1, 1}, {1, 1}};
  // d rises with A rising (+1), with A falling (+1: A leads either way), with B
  // rising alone (-1); d falls to 0 in between.
  const std::vector<double> expected = {0, 1, 0, 1, 0, -1, 0};
  std::vector<double> out;
  std::vector<std::int32_t> used;
  const wakro_test::Outcome o = run_meters(6, [&] {
    const auto [A, B] = ab[out.size()];
    const std::int32_t s0 = e_s2::nexc;
    double d = 9.0;
    phd3(A, B, d);
    out.push_back(d);
    used.push_back(e_s2::nexc - s0);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(out, expected);
  EXPECT_EQ(used, std::vector<std::int32_t>(7, 3));
}

// Over whole periods the mean output is the phase difference over pi: +phi/pi
// when B lags A by phi, -phi/pi when it leads (one step of 1/400 period blurs
// each of the four window edges by at most a step).
TEST(PhaseDetector, MeanOverWholePeriodsIsThePhaseDifference) {
  constexpr double kPhi = kPi / 3.0;
  constexpr std::int32_t kSteps = 4000;  // ten periods of 400 steps
  for (const double sign : {1.0, -1.0}) {
    double sum = 0.0;
    std::int32_t n = 0;
    const wakro_test::Outcome o = run_meters(kSteps, [&] {
      const double t = e_s1::time;
      double d = 0.0;
      phd3(std::sin(kW * t + 1e-3), std::sin(kW * t + 1e-3 - sign * kPhi), d);
      if (n++ >= 400) sum += d;  // the first period settles the stored sign
    });
    ASSERT_EQ(o.status, -1) << o.console;
    EXPECT_NEAR(sum / (n - 400), sign * kPhi / kPi, 4.0 / 400.0) << sign;
  }
}

// ---------------------------------------------------------------- fatal stops

std::vector<std::string> console_tail(const std::string& console, std::size_t n) {
  const std::vector<std::string> lines = lines_of(console);
  return std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end());
}

TEST(MeterStops, ZeroOrTooLargeBranchAndNodes) {
  struct Case {
    std::function<void()> call;
    std::vector<std::string> expected;
  };
  auto withStop = [](std::vector<std::string> first, const std::string& tag) {
    for (const std::string& l : stop_lines(tag)) first.push_back(l);
    return first;
  };
  const std::vector<Case> cases = {
      {[] { p3ph3(1, 0, 2, 3, 0.02, 0); }, withStop({" Zero Branch Number"}, "P3PH3       ")},
      {[] { q3ph3(1, 1, -4, 3, 0.02, 0); },
       withStop({"Current Branch# (    4 ) > max Br#    3 in SS  1"}, "Q3PH3       ")},
      {[] { pqvi1ph(1, 1, 0, 0.02); }, withStop({" Zero Branch Number"}, "PQVI1PH     ")},
      {[] { vm3ph2(1, 1, 2, 7, 0.02); },
       withStop({"Current Node# (    7 ) > max Node#    6 in SS  1"}, "VM3PH2      ")},
      {[] { q3ph2(1, 1, 2, 0, 4, 5, 6, 0.02); },
       withStop({"",
                 " *************************************************",
                 " ************ ERROR IN FUNCTION Q3PH2! ***********",
                 "   YOU CANNOT MONITOR THE REACTIVE POWER AT GROUND",
                 " BECAUSE THE VOLTAGE IS 0.0!",
                 " PLEASE CORRECT DATA AND DSDYN FILES.",
                 " *************************************************",
                 "",
                 " **** EXECUTION TERMINATING  ****",
                 ""},
                "OUTMSG      ")},
      {[] { p3ph2(1, 0, 2, 3, 4, 5, 6, 0.02); },
       withStop({"",
                 " *************************************************",
                 " ************ ERROR IN FUNCTION P3PH2! ***********",
                 "   YOU CANNOT MONITOR THE REAL POWER AT GROUND",
                 " BECAUSE THE VOLTAGE IS 0.0!",
                 " PLEASE CORRECT DATA AND DSDYN FILES.",
                 " *************************************************",
                 "",
                 " **** EXECUTION TERMINATING  ****",
                 ""},
                "OUTMSG      ")},
  };
  for (std::size_t k = 0; k < cases.size(); ++k) {
    std::int32_t nexcAfter = -1;
    const wakro_test::Outcome o = run_meters(3, [&] {
      cases[k].call();
      nexcAfter = e_s2::nexc;
    });
    EXPECT_EQ(o.status, 2000) << k;
    EXPECT_EQ(nexcAfter, -1) << k;  // stopped at the time-zero pass
    EXPECT_EQ(console_tail(o.console, cases[k].expected.size()), cases[k].expected) << k << "\n" << o.console;
  }
}

}  // namespace
}  // namespace blocks_test

// The converter-control blocks: the old-style oscillators locked on a balanced
// set, the six firing references, the one-step advance of a set, the step
// commands with their dead time, and the extinction angles of valves.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "block_bench.h"
#include "blocks/converter_controls.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kPi = 3.141592653589793;

wakro_test::Outcome run_steps(double delt, std::int32_t n, const std::function<void(std::int32_t)>& f,
                              const std::function<void()>& begin = {}) {
  BlockBench bench(delt);
  bench.begin = begin;
  bench.dynamics = [&] { f(ctrl::iii); };
  return bench.run(n);
}

double angle_gap(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 2.0 * kPi);
  return std::min(d, 2.0 * kPi - d);
}

TEST(OldOscillators, LockOnABalancedSet) {
  // As for the new-style oscillator: 230 kV, 60 Hz, Kp 50, Ki 450, 50 us.
  constexpr double delt = 5e-5, w = 2.0 * kPi * 60.0, Vbase = 230000.0;
  std::vector<double> t3, n3, tt, ft, et;
  std::vector<std::int32_t> used;
  const wakro_test::Outcome o = run_steps(delt, 20000, [&](std::int32_t) {
    const double vpk = Vbase * std::sqrt(2.0) / std::sqrt(3.0), t = e_s1::time;
    const double a = vpk * std::sin(w * t), b = vpk * std::sin(w * t - 2 * kPi / 3), c = vpk * std::sin(w * t + 2 * kPi / 3);
    double theta = 0, err = 0, f = 0;
    const std::int32_t n0 = e_s2::nexc;
    tveka3(a, b, c, 50, 450, Vbase, 60, 0, 0.05, theta, err, f);
    used.push_back(e_s2::nexc - n0);
    t3.push_back(theta);
    tvekn3(a, b, c, 50, 450, Vbase, 60, 0, 0.05, theta, err, f);
    n3.push_back(theta);
    tvekt3(a, b, c, 50, 450, Vbase, 60, f, theta, err);
    tt.push_back(theta);
    ft.push_back(f);
    et.push_back(err);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::size_t n = 0; n < t3.size(); ++n) {
    const double wt = w * delt * static_cast<double>(n);
    EXPECT_LT(angle_gap(t3[n], wt), 1e-9) << n;
    EXPECT_LT(angle_gap(n3[n], wt), 1e-9) << n;
    EXPECT_EQ(used[n], 3) << n;
  }
  // tvekt3 starts a step behind (y = sin(w delt) at time zero) and pulls in
  // through its PI on y = sin(wt - theta), whose loop s^2 + 50 s + 450 decays as
  // exp(-10 t): after 1 s the 0.019 rad start is below 1e-6 rad. Its output is
  // the advanced angle.
  EXPECT_LT(angle_gap(tt.back(), w * delt * 20001.0), 1e-5);
  EXPECT_NEAR(ft.back(), 60.0, 1e-4);
  EXPECT_NEAR(et.back(), 0.0, 1e-3);
}

TEST(FiringReferences, SixAnglesSixtyDegreesApart) {
  std::array<double, 6> r{0, 9, 9, 9, 9, 9};
  tvpuln(0, r);
  const std::array<double, 6> rad{0, 5 * kPi / 3, 4 * kPi / 3, kPi, 2 * kPi / 3, kPi / 3};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(r[i], rad[i], 1e-12) << i;
  std::array<double, 6> d{kPi / 2, 0, 0, 0, 0, 0};
  tvpuln(1, d);
  const std::array<double, 6> deg{90, 30, 330, 270, 210, 150};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(d[i], deg[i], 1e-12) << i;
}

TEST(SetAdvance, OneStepOfAngle) {
  constexpr double delt = 1e-4, w = 2.0 * kPi * 50.0, a = w * delt;
  std::vector<std::array<double, 6>> out;
  const wakro_test::Outcome o = run_steps(delt, 20, [&](std::int32_t n) {
    std::array<double, 6> y{};
    const double al = w * delt * n;
    const double xa = std::cos(al), xb = std::cos(al - 2 * kPi / 3), xc = std::cos(al + 2 * kPi / 3);
    edph2(xa, xb, xc, y[0], y[1], y[2], 50.0);
    edph2(xa, xb, xc, y[3], y[4], y[5], 0.0);
    // The set advanced by a, to second order in a.
    EXPECT_NEAR(y[0], std::cos(al + a), a * a) << n;
    EXPECT_NEAR(y[1], std::cos(al + a - 2 * kPi / 3), a * a) << n;
    EXPECT_NEAR(y[2], std::cos(al + a + 2 * kPi / 3), a * a) << n;
    // f = 0 returns the inputs.
    EXPECT_EQ(y[3], xa) << n;
    EXPECT_EQ(y[4], xb) << n;
    EXPECT_EQ(y[5], xc) << n;
    out.push_back(y);
  });
  ASSERT_EQ(o.status, -1) << o.console;
}

TEST(StepCommands, DownWinsThenTheDeadTime) {
  // Up and down from step 1, position between the limits; dead time 5 steps.
  constexpr double delt = 1e-4;
  std::vector<std::int32_t> cmd, cfgCmd, busy;
  const wakro_test::Outcome o = run_steps(
      delt, 14,
      [&](std::int32_t n) {
        const std::int32_t on = n >= 1 ? 1 : 0;
        cmd.push_back(icpsw4(on, on, 5, 2, 5 * delt));
        std::int32_t c = 9;
        busy.push_back(cpsw_exe(on, 0, 2, c, 5 * delt));
        cfgCmd.push_back(c);
      },
      [] { cpsw_cfg(5); });
  ASSERT_EQ(o.status, -1) << o.console;
  // The command starts the dead time: busy on steps 1..5, free again at step 6,
  // so the next command comes at step 7.
  const std::vector<std::int32_t> expected = {0, -1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, -1, 0};
  EXPECT_EQ(cmd, expected);
  std::vector<std::int32_t> up = expected;
  for (auto& v : up) v = -v;
  EXPECT_EQ(cfgCmd, up);
  EXPECT_EQ(busy, (std::vector<std::int32_t>{0, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 0, 1, 1}));
}

TEST(StepCommands, NoUpCommandAtTheUpperLimit) {
  std::vector<std::int32_t> cmd;
  const wakro_test::Outcome o = run_steps(
      1e-4, 3, [&](std::int32_t) { std::int32_t c = 9; cpsw_exe(1, 0, 5, c, 1e-3); cmd.push_back(c); },
      [] { cpsw_cfg(5); });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(cmd, (std::vector<std::int32_t>{0, 0, 0, 0}));
}

TEST(ExtinctionAngles, SixValvesMeanMinimumAndTheMeasuredOne) {
  constexpr double delt = 1e-4;
  const std::array<double, 6> T{1e-3, 2e-3, 3e-3, 4e-3, 5e-3, 6e-3};
  std::vector<double> last, mean, minimum;
  std::vector<std::int32_t> usedI, usedF, usedS;
  const wakro_test::Outcome o = run_steps(delt, 8, [&](std::int32_t n) {
    // Valve 3 rises through the threshold at step 2 and fires alone at step 3;
    // valves 1 and 2 rise at step 5 and fire together at step 6.
    std::array<double, 6> V{};
    V.fill(-1.0);
    if (n >= 2) V[2] = 1.0;
    if (n >= 5) V[0] = V[1] = 1.0;
    double l = 0, m = 0, mn = 0;
    const std::int32_t i0 = storage::nstori, f0 = storage::nstorf, s0 = e_s2::nexc;
    gama18(V, T, 0.0, 50.0, l, m, mn);
    usedI.push_back(storage::nstori - i0);
    usedF.push_back(storage::nstorf - f0);
    usedS.push_back(e_s2::nexc - s0);
    last.push_back(l);
    mean.push_back(m);
    minimum.push_back(mn);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_NEAR(mean.back(), 63.0, 1e-12);
  EXPECT_NEAR(minimum.back(), 18.0, 1e-12);
  // Valve 3 (54 degrees) measured from step 3; masked by the firing of 1 and 2 at
  // step 6, which are masked by each other.
  const std::vector<double> expected = {0, 0, 0, 54, 54, 54, 0, 0, 0};
  for (std::size_t n = 0; n < last.size(); ++n) EXPECT_NEAR(last[n], expected[n], 1e-12) << n;
  EXPECT_EQ(usedI, std::vector<std::int32_t>(9, 6));
  EXPECT_EQ(usedF, std::vector<std::int32_t>(9, 6));
  EXPECT_EQ(usedS, std::vector<std::int32_t>(9, 12));
}

TEST(ExtinctionAngles, CurrentZeroToVoltageZero) {
  constexpr double delt = 1e-4;
  std::vector<double> angle;
  std::vector<std::int32_t> fresh;
  const wakro_test::Outcome o = run_steps(delt, 40, [&](std::int32_t n) {
    // The current falls through zero during step 10 and the voltage rises during
    // step 20 (1 ms later); then the voltage rises first (step 30) and the
    // current, positive again from step 31, falls during step 35 (0.5 ms later).
    const double i = (n < 10 || (n >= 31 && n < 35)) ? 1.0 : -1.0;
    const double v = n < 20 ? -1.0 : (n < 25 ? 1.0 : (n < 30 ? -1.0 : 1.0));
    double a = -7.0;
    std::int32_t isNew = 9;
    gamme6(i, v, a, 1.0, 50.0, isNew);
    angle.push_back(a);
    fresh.push_back(isNew);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(fresh[20], 1);
  EXPECT_NEAR(angle[20], 18.0, 1e-9);
  EXPECT_EQ(fresh[19], 0);
  EXPECT_EQ(fresh[21], 0);
  EXPECT_NEAR(angle[29], 18.0, 1e-9);  // held
  EXPECT_EQ(fresh[35], 1);
  EXPECT_NEAR(angle[35], -9.0, 1e-9);
}

}  // namespace
}  // namespace blocks_test

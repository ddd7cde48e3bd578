// The phase-locked oscillator through the block bench, with the parameters of
// the project's converter controls: 230 kV, 60 Hz, Kp 50, Ki 450, lock time
// 50 ms, bounds 1.2 / 0.8, a 50 us step. On a balanced set V sin(wt - 2 pi p / 3)
// the per-unit alpha/beta vector is (sin wt, -cos wt), so the error against an
// oscillator at theta is wt - theta: locked from the first step, the oscillator
// runs at exactly 2 pi 60 and theta = wt mod 2 pi, up to rounding of the sums
// (4000 steps of 0.0189 rad: below 1e-11).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "block_bench.h"
#include "blocks/pll.h"
#include "model/e_s1.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDelt = 5e-5;
constexpr double kVbase = 230000.0;
constexpr double kF0 = 60.0;
constexpr double kW = 2.0 * kPi * kF0;

struct PllTrace {
  std::vector<double> theta, error, freq;
  std::vector<std::int32_t> usedF, usedC;
  wakro_test::Outcome outcome;
};

PllTrace run_pll(std::int32_t nsteps, double offset, double U, double L) {
  PllTrace t;
  BlockBench bench(kDelt);
  bench.begin = [] { tveka1_cfg(kVbase, kF0); };
  bench.dynamics = [&] {
    const double vpk = kVbase * std::sqrt(2.0) / std::sqrt(3.0);
    double v[3];
    for (int p = 0; p < 3; ++p) v[p] = vpk * std::sin(kW * e_s1::time - 2.0 * kPi * p / 3.0);
    const std::int32_t f0 = storage::nstorf, c0 = rt_config::nrtcf;
    double theta = 0.0, error = 0.0, freq = 0.0;
    tveka1_exe(v[0], v[1], v[2], 50.0, 450.0, offset, 0.05, U, L, theta, error, freq);
    t.theta.push_back(theta);
    t.error.push_back(error);
    t.freq.push_back(freq);
    t.usedF.push_back(storage::nstorf - f0);
    t.usedC.push_back(rt_config::nrtcf - c0);
  };
  t.outcome = bench.run(nsteps);
  return t;
}

// Distance of two angles on the circle.
double angle_gap(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 2.0 * kPi);
  return std::min(d, 2.0 * kPi - d);
}

TEST(PhaseLockedOscillator, TracksTheVoltageAngleAt60Hz) {
  const PllTrace t = run_pll(4000, 0.0, 1.2, 0.8);
  ASSERT_EQ(t.outcome.status, -1) << t.outcome.console;
  EXPECT_EQ(t.outcome.console, "");
  for (std::size_t n = 0; n < t.theta.size(); ++n) {
    const double wt = kW * kDelt * static_cast<double>(n);
    EXPECT_LT(angle_gap(t.theta[n], std::fmod(wt, 2.0 * kPi)), 1e-9) << n;
    EXPECT_GE(t.theta[n], 0.0) << n;
    EXPECT_LT(t.theta[n], 2.0 * kPi) << n;
    EXPECT_NEAR(t.error[n], 0.0, 1e-7) << n;
    EXPECT_NEAR(t.freq[n], 60.0, 1e-6) << n;
    EXPECT_EQ(t.usedF[n], 2) << n;
    EXPECT_EQ(t.usedC[n], 2) << n;
  }
}

TEST(PhaseLockedOscillator, OffsetBeforeTheLockTimeSnapsToTheMeasuredAngle) {
  const PllTrace t = run_pll(900, kPi / 6.0, 1.2, 0.8);
  ASSERT_EQ(t.outcome.status, -1) << t.outcome.console;
  // Up to 50 ms the output is the measured angle less the offset; the error is
  // the offset, -30 degrees, from the first step.
  for (std::size_t n = 0; n <= 1000 && n < t.theta.size(); ++n) {
    const double time = kDelt * static_cast<double>(n);
    if (time > 0.05 - 1e-12) break;
    EXPECT_LT(angle_gap(t.theta[n], kW * time - kPi / 6.0), 1e-9) << n;
  }
  EXPECT_NEAR(t.error[0], -30.0, 1e-9);
  // After the lock time the PI pulls the oscillator towards the offset angle:
  // its frequency has left 60 Hz and stays within the band.
  for (const double f : t.freq) {
    EXPECT_LE(f, 1.2 * 60.0 + 1e-9);
    EXPECT_GE(f, 0.8 * 60.0 - 1e-9);
  }
}

// An offset beyond half a turn is the same angle as the one given the other way
// round: the error is taken in (-pi, pi], so 200 and -160 degrees give the same
// outputs on every step (snapped before the lock time, pulled after it) and lock
// at 60 Hz with no error; an error left at 200 degrees minus the measured angle
// would hold the frequency at the lower bound, 48 Hz, for ever.
TEST(PhaseLockedOscillator, OffsetsBeyondHalfATurnLockAsTheSameAngle) {
  constexpr double kDeg = kPi / 180.0;
  const PllTrace over = run_pll(40000, 200.0 * kDeg, 1.2, 0.8);
  const PllTrace under = run_pll(40000, -160.0 * kDeg, 1.2, 0.8);
  ASSERT_EQ(over.outcome.status, -1) << over.outcome.console;
  ASSERT_EQ(over.theta.size(), under.theta.size());
  EXPECT_NEAR(over.error[0], 160.0, 1e-9);  // wt = 0 at the first step: -(-160)
  EXPECT_NEAR(under.error[0], 160.0, 1e-9);
  for (std::size_t n = 0; n < over.theta.size(); ++n) {
    ASSERT_LT(angle_gap(over.theta[n], under.theta[n]), 1e-9) << n;
    ASSERT_NEAR(over.freq[n], under.freq[n], 1e-9) << n;
    ASSERT_NEAR(over.error[n], under.error[n], 1e-9) << n;
    ASSERT_GT(over.error[n], -180.0) << n;
    ASSERT_LE(over.error[n], 180.0) << n;
  }
  // Locked after 2 s: the oscillator runs 160 degrees ahead of the voltage.
  for (std::size_t n = over.theta.size() - 100; n < over.theta.size(); ++n) {
    const double wt = kW * kDelt * static_cast<double>(n);
    EXPECT_NEAR(over.freq[n], 60.0, 1e-3) << n;
    EXPECT_NEAR(over.error[n], 0.0, 1e-2) << n;
    EXPECT_LT(angle_gap(over.theta[n], wt + 160.0 * kDeg), 1e-3) << n;
  }
}

TEST(PhaseLockedOscillator, BadBoundsWarnOnEveryStepAndAreReplaced) {
  const PllTrace bad = run_pll(3, 0.0, 1.0, 1.5);
  ASSERT_EQ(bad.outcome.status, -1) << bad.outcome.console;
  const std::string step =
      " ***WARN*** Upper tracking boundary must be greater than 1.0\n"
      " ***WARN*** Lower tracking boundary must be positive, but smaller than 1.0\n";
  EXPECT_EQ(bad.outcome.console, step + step + step + step);
  // With the bounds replaced the oscillator runs exactly as with 1.2 and 0.8,
  // through the pull after the lock time.
  const PllTrace replaced = run_pll(2000, kPi / 6.0, 1.0, 0.0);
  const PllTrace good = run_pll(2000, kPi / 6.0, 1.2, 0.8);
  EXPECT_EQ(replaced.theta, good.theta);
  EXPECT_EQ(replaced.freq, good.freq);
  EXPECT_NE(good.freq.back(), 60.0);
}

}  // namespace
}  // namespace blocks_test

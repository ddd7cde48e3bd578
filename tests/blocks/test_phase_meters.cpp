// The phase-angle meters: the positive-sequence angle of a balanced set from the
// first step (against a cosine and a sine reference), unaffected by a negative
// sequence; the single-phase form after its start; the stateless angle between
// two sets; the zero-crossing detector; pointer counts; the f = 0 stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/phase_meters.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDelt = 5e-5;
constexpr double kF = 50.0;
constexpr double kW = 2.0 * kPi * kF;

wakro_test::Outcome run_steps(std::int32_t n, const std::function<void()>& f) {
  BlockBench bench(kDelt);
  bench.output = f;
  return bench.run(n);
}

// Phase p of a set of peak V at angle phi; negative sequence when neg.
double phase(double V, double phi, int p, double t, bool neg = false) {
  return V * std::cos(kW * t + phi - (neg ? -1.0 : 1.0) * 2.0 * kPi * p / 3.0);
}

TEST(PhaseMeters, PositiveSequenceAngleFromTheFirstStep) {
  const double phi = 25.0 * kPi / 180.0;
  std::vector<double> cosRef, sinRef, withNeg, rad;
  std::vector<std::int32_t> usedF, usedI;
  const wakro_test::Outcome o = run_steps(10000, [&] {
    const double t = e_s1::time;
    const double a = phase(2.0, phi, 0, t), b = phase(2.0, phi, 1, t), c = phase(2.0, phi, 2, t);
    const std::int32_t f0 = storage::nstorf, i0 = storage::nstori;
    double out = 0.0;
    mphase3ps(1, 0, a, b, c, 0.02, kF, out);
    cosRef.push_back(out);
    usedF.push_back(storage::nstorf - f0);
    usedI.push_back(storage::nstori - i0);
    mphase3ps(1, 1, a, b, c, 0.02, kF, out);
    sinRef.push_back(out);
    mphase3ps(0, 0, a, b, c, 0.02, kF, out);
    rad.push_back(out);
    mphase3ps(1, 0, a + phase(0.5, 1.0, 0, t, true), b + phase(0.5, 1.0, 1, t, true),
              c + phase(0.5, 1.0, 2, t, true), 0.05, kF, out);
    withNeg.push_back(out);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  // X = 3 V cos(phi), Y = 3 V sin(phi) without ripple: exact from time zero, up
  // to the reference's accumulated rounding.
  for (std::size_t n = 0; n < cosRef.size(); ++n) {
    EXPECT_NEAR(cosRef[n], 25.0, 1e-8) << n;
    EXPECT_NEAR(sinRef[n], 25.0 + 90.0, 1e-8) << n;
    EXPECT_NEAR(rad[n], phi, 1e-10) << n;
    EXPECT_EQ(usedF[n], 11) << n;
    EXPECT_EQ(usedI[n], 4) << n;
  }
  // The negative sequence adds a 100 Hz term of 3 x 0.5 to X and Y, which the
  // 50 ms lag takes to 1 / (2 pi 100 Hz 0.05 s) = 0.048 of it: a vector of 0.072
  // against 3 x 2, at most 0.69 degrees off, once the start has decayed (8 time
  // constants); over a full 100 Hz period the swing averages out to second order.
  double mean = 0.0;
  for (std::size_t n = 8000; n < withNeg.size(); ++n) EXPECT_NEAR(withNeg[n], 25.0, 0.7) << n;
  for (std::size_t n = 10000 - 200; n < 10000; ++n) mean += withNeg[n] / 200.0;
  EXPECT_NEAR(mean, 25.0, 0.01);
  // Zero inputs give exactly 0.
  double zero = 9.0;
  ASSERT_EQ(run_steps(2, [&] { mphase3ps(1, 0, 0.0, 0.0, 0.0, 0.02, kF, zero); }).status, -1);
  EXPECT_EQ(zero, 0.0);
}

// Meters of one reference frequency share the cosines of their reference angle;
// meters of another frequency in between make them be computed again. Every
// meter must give, bit for bit, what it gives when it runs alone.
TEST(PhaseMeters, ASharedReferenceGivesEachMeterItsOwnAngles) {
  struct Meter {
    double f, T;
  };
  const std::vector<Meter> meters{{kF, 0.02}, {kF, 0.05}, {60.0, 0.02}, {kF, 0.02}, {60.0, 0.03}};
  auto inputs = [](std::size_t m, double t, double& a, double& b, double& c) {
    const double phi = 0.1 * static_cast<double>(m + 1);
    a = phase(1.0 + 0.1 * static_cast<double>(m), phi, 0, t);
    b = phase(1.0, phi, 1, t);
    c = phase(0.9, phi, 2, t);
  };
  auto run = [&](const std::vector<std::size_t>& which) {
    std::vector<std::vector<double>> out(which.size());
    const wakro_test::Outcome o = run_steps(400, [&] {
      for (std::size_t k = 0; k < which.size(); ++k) {
        double a, b, c, y = 0.0;
        inputs(which[k], e_s1::time, a, b, c);
        mphase3ps(1, which[k] == 1 ? 1 : 0, a, b, c, meters[which[k]].T, meters[which[k]].f, y);
        out[k].push_back(y);
      }
    });
    EXPECT_EQ(o.status, -1) << o.console;
    return out;
  };
  const std::vector<std::vector<double>> together = run({0, 1, 2, 3, 4});
  for (std::size_t m = 0; m < meters.size(); ++m) {
    SCOPED_TRACE(m);
    const std::vector<std::vector<double>> alone = run({m});
    ASSERT_EQ(alone[0].size(), 401u);
    EXPECT_EQ(together[m], alone[0]);
  }
}

TEST(PhaseMeters, SinglePhaseAngleAfterItsStart) {
  const double phi = -40.0 * kPi / 180.0;
  std::vector<double> out;
  std::vector<std::int32_t> used;
  const wakro_test::Outcome o = run_steps(6000, [&] {
    const std::int32_t f0 = storage::nstorf;
    double y = 0.0;
    mphase1ps(1, 0, 3.0 * std::cos(kW * e_s1::time + phi), 0.02, kF, y);
    out.push_back(y);
    used.push_back(storage::nstorf - f0);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  // The derivative over w of the sampled cosine differs from the true sine by
  // (w delt)^2 / 24 ~ 1e-5 relative, and the mid-step mean by (w delt)^2 / 8: a
  // 100 Hz ripple of that order, well below 0.01 degree. The start has decayed
  // after 15 time constants.
  for (std::size_t n = 6000 - 400; n < out.size(); ++n) EXPECT_NEAR(out[n], -40.0, 0.01) << n;
  EXPECT_EQ(used, std::vector<std::int32_t>(6001, 13));
}

// The time-zero pass takes the input as steady (no derivative there): X = V cos
// phi cos th0, Y = -V cos phi sin th0 with th0 = -pi f delt, so the lags start at
// the angle pi f delt (0.45 degree) and Y then rises to V sin phi with the time
// constant T while X stays at V cos phi: atan(tan phi (1 - e^-t/T)), which moves
// from the start straight to phi and is within 0.06 degree of it after 6 T.
TEST(PhaseMeters, SinglePhaseStartsWithoutATransient) {
  constexpr double kT = 0.05;
  const std::size_t six_T = static_cast<std::size_t>(6.0 * kT / kDelt);
  for (const double deg : {25.0, -40.0, 80.0}) {
    const double phi = deg * kPi / 180.0;
    std::vector<double> out;
    const wakro_test::Outcome o = run_steps(static_cast<std::int32_t>(six_T) + 200, [&] {
      double y = 0.0;
      mphase1ps(1, 0, 3.0 * std::cos(kW * e_s1::time + phi), kT, kF, y);
      out.push_back(y);
    });
    ASSERT_EQ(o.status, -1) << o.console;
    const double start = 180.0 * kF * kDelt;  // cos phi > 0 for these angles
    EXPECT_NEAR(out[0], start, 1e-9) << deg;
    const double lo = std::min(start, deg) - 0.01, hi = std::max(start, deg) + 0.01;
    for (std::size_t n = 0; n < out.size(); ++n) {
      ASSERT_GE(out[n], lo) << deg << " " << n;
      ASSERT_LE(out[n], hi) << deg << " " << n;
    }
    for (std::size_t n = six_T; n < out.size(); ++n) EXPECT_NEAR(out[n], deg, 0.1) << deg << " " << n;
  }
}

TEST(PhaseMeters, ZeroReferenceFrequencyIsADataError) {
  std::int32_t nstorf = -1;
  const wakro_test::Outcome o = run_steps(2, [&] {
    double y = 0.0;
    mphase1ps(1, 0, 1.0, 0.02, 0.0, y);
    nstorf = storage::nstorf;
  });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(nstorf, -1);
  EXPECT_EQ(lines_of(o.console), fatal_lines({"Frequency of the reference must not be zero"}, "MPHASE1PS   ", 0, 0));
}

TEST(PhaseMeters, AngleBetweenTwoSets) {
  const double t = 0.0037;
  double r1 = 0.0, r2 = 0.0;
  const double a = phase(1, 0, 0, t), b = phase(1, 0, 1, t), c = phase(1, 0, 2, t);
  EXPECT_NEAR(phas3p(a, b, c, a, b, c, r1, r2), 0.0, 1e-12);
  EXPECT_NEAR(r1, 0.7071067811865, 1e-12);
  const double lead = kPi / 6.0;
  EXPECT_NEAR(phas3p(phase(2, lead, 0, t), phase(2, lead, 1, t), phase(2, lead, 2, t), a, b, c, r1, r2),
              0.5235987755983, 1e-12);
  EXPECT_NEAR(r1, 2.0 * 0.7071067811865, 1e-12);
  EXPECT_NEAR(r2, 0.7071067811865, 1e-12);
  EXPECT_EQ(phas3p(1e-4, -0.5e-4, -0.5e-4, a, b, c, r1, r2), 0.0);
}

TEST(PhaseMeters, ZeroCrossingDetectorAngle) {
  // The input lags the reference sine by 20 steps (1 ms): its minima of |x| come
  // 1 ms after the reference's, so the angle is -w 1 ms.
  std::vector<double> out;
  std::vector<std::int32_t> used;
  const wakro_test::Outcome o = run_steps(2000, [&] {
    const std::int32_t n0 = e_s2::nexc;
    out.push_back(d1ph10(std::sin(kW * (e_s1::time - 1e-3) + 1.2), 1.2 * 180.0 / kPi, kW, 1.0));
    used.push_back(e_s2::nexc - n0);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  // Nothing before the input's first minimum (its zero at 1 ms + (pi - 1.2) / w;
  // both start outside the band 0.2 A).
  const double firstInput = 1e-3 + (kPi - 1.2) / kW;
  for (std::size_t n = 0; n * kDelt < firstInput; ++n) EXPECT_EQ(out[n], 0.0) << n;
  EXPECT_NEAR(out.back(), -kW * 1e-3, 1e-9);
  EXPECT_EQ(used, std::vector<std::int32_t>(2001, 10));
}

}  // namespace
}  // namespace blocks_test

// The sampled RMS meters: the sampling interval and count, the sample numbers,
// a sample placed at its instant inside a step, the RMS of a sine and of
// three-phase sets, the start at G |x0|, and the slot counts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "block_bench.h"
#include "blocks/sampled_rms.h"
#include "meter_network.h"
#include "model/e_s1.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kPi = 3.141592653589793;

wakro_test::Outcome run_steps(double delt, std::int32_t n, const std::function<void()>& f) {
  BlockBench bench(delt);
  bench.dynamics = f;
  return bench.run(n);
}

TEST(SampledRms, ClockNumbersAndTheInstantOfASample) {
  // N = 3 at 50 Hz with a 1 ms step: Ts = 1/150 s, so the samples fall at 0,
  // 6.667 ms (taken at the 7 ms step, frac 1/3), 13.333 ms (14 ms, frac 2/3), ...
  std::vector<std::int32_t> ks, neff;
  std::vector<double> xs;
  const wakro_test::Outcome o = run_steps(1e-3, 30, [&] {
    double frac = 0.0, held = 0.0;
    std::int32_t Neff = 0, k = 0;
    smpl_num(3, 50.0, frac, Neff, k);
    smpler(k, frac, 2.0 * e_s1::time, held);  // a ramp 2 t
    ks.push_back(k);
    neff.push_back(Neff);
    xs.push_back(held);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(neff, std::vector<std::int32_t>(31, 3));
  std::vector<std::int32_t> expectedK(31, 0);
  expectedK[0] = 1;
  expectedK[7] = 2;
  expectedK[14] = 3;
  expectedK[20] = 1;  // 20 ms exactly
  expectedK[27] = 2;
  EXPECT_EQ(ks, expectedK);
  // The held sample is the ramp at the sampling instant.
  EXPECT_NEAR(xs[7], 2.0 / 150.0, 1e-12);
  EXPECT_NEAR(xs[13], 2.0 / 150.0, 1e-12);
  EXPECT_NEAR(xs[14], 4.0 / 150.0, 1e-12);
  EXPECT_NEAR(xs[20], 6.0 / 150.0, 1e-12);

  // N = 64 at 50 Hz with a 1 ms step: N delt f = 3.2, so one sample a step and
  // Neff = 20.
  std::int32_t coarse = 0;
  ASSERT_EQ(run_steps(1e-3, 2, [&] {
              double frac = 0.0;
              std::int32_t k = 0;
              smpl_num(64, 50.0, frac, coarse, k);
            }).status,
            -1);
  EXPECT_EQ(coarse, 20);
}

TEST(SampledRms, RmsOfASineAndOfThreePhaseSets) {
  // N = 16 at 50 Hz, 50 us: Ts = 1.25 ms (25 steps), Neff = 16. Sixteen equally
  // spaced samples of sin^2 average to exactly 1/2, and the samples fall on
  // steps, so after one period the RMS is 0.7071 to rounding.
  constexpr double delt = 5e-5, w = 2.0 * kPi * 50.0;
  std::vector<double> one, line, three;
  std::vector<std::int32_t> usedF, usedI;
  const wakro_test::Outcome o = run_steps(delt, 1200, [&] {
    const double t = e_s1::time;
    const double a = std::cos(w * t), b = std::cos(w * t - 2 * kPi / 3), c = std::cos(w * t + 2 * kPi / 3);
    double y = 0.0;
    const std::int32_t f0 = storage::nstorf, i0 = storage::nstori;
    dgtl_rms(16, 50.0, 2.0 * std::sin(w * t), 1.0, 3.0, y);
    usedF.push_back(storage::nstorf - f0);
    usedI.push_back(storage::nstori - i0);
    one.push_back(y);
    dgtl_rms3a(16, a, b, c, 50.0, 2.0, 0.0, y);
    three.push_back(y);
  });
  ASSERT_EQ(o.status, -1) << o.console;
  // The ring starts with sixteen copies of x0^2 = 9; the first sample (time zero,
  // sin 0 = 0) replaces one of them at once.
  EXPECT_NEAR(one[0], std::sqrt(15.0 * 9.0 / 16.0), 1e-12);
  EXPECT_NEAR(one[24], std::sqrt(15.0 * 9.0 / 16.0), 1e-12);  // held up to the next sample
  for (std::size_t n = 400; n < one.size(); ++n) {
    EXPECT_NEAR(one[n], 2.0 * 0.7071067811865, 1e-9) << n;
    EXPECT_NEAR(three[n], 2.0 * 0.7071067811865, 1e-9) << n;
  }
  EXPECT_EQ(usedF, std::vector<std::int32_t>(1201, 16 + 5));
  EXPECT_EQ(usedI, std::vector<std::int32_t>(1201, 2));
}

TEST(SampledRms, LineToLineRmsOfThreeNodes) {
  // A balanced set of phase peak 1: the line-to-line RMS is sqrt(3/2), constant,
  // and x0 = sqrt(3/2) starts the ring at it: exact from time zero.
  constexpr double delt = 5e-5, w = 2.0 * kPi * 50.0;
  BlockBench bench(delt);
  allocate_meter_network(3, 1);
  std::vector<double> out;
  bench.begin = [] { set_meter_network(3, 1); };
  bench.output = [&] {
    OneSubsystem one;
    for (int p = 0; p < 3; ++p) e_s0::vdc(p + 1, 1) = std::cos(w * e_s1::time - 2 * kPi * p / 3);
    double y = 0.0;
    dgtl_rms3(16, 1, 1, 2, 3, 50.0, 1.0, std::sqrt(1.5), y);
    out.push_back(y);
  };
  ASSERT_EQ(bench.run(800).status, -1);
  for (std::size_t n = 0; n < out.size(); ++n) EXPECT_NEAR(out[n], std::sqrt(1.5), 1e-12) << n;
}

}  // namespace
}  // namespace blocks_test

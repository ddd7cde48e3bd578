// The blocks with time constants as inputs, run through the block bench: the
// lag, differential pole and lead-lag against their sampled step responses
// (exact for a held input, so the tolerance only covers rounding, see
// test_poles.cpp), the integrator's trapezoid and limits, the cached
// coefficient, disabled spans, and the two PI controllers' limits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "block_bench.h"
#include "blocks/tc_inputs.h"
#include "model/ctrl.h"
#include "model/e_s2.h"

namespace blocks_test {
namespace {

constexpr double kDelt = 1e-3;

TEST(TimeConstantInputs, LagsFollowTheirSampledStepResponses) {
  BlockBench bench(kDelt);
  std::vector<double> lag, diff, diffZero, leadLag;
  std::vector<std::int32_t> nexc;
  bench.dynamics = [&] {
    // Reset on step 0 to 0 with the input 0; the input is 1 from step 1.
    const std::int32_t reset = ctrl::iii == 0 ? 1 : 0;
    const double x = ctrl::iii >= 1 ? 1.0 : 0.0;
    lag.push_back(vrealp8(2.0, 10 * kDelt, x, 0.0, reset, 1));
    diff.push_back(vdifpl8(2.0, 10 * kDelt, x, 0.0, reset, 1));
    diffZero.push_back(vdifpl8(2.0, 0.0, x, 0.0, reset, 1));
    leadLag.push_back(vldlag8(5 * kDelt, 10 * kDelt, 2.0, x, 0.0, reset, 1));
    nexc.push_back(e_s2::nexc);
  };
  const wakro_test::Outcome o = bench.run(500);
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::int32_t n = 0; n <= 500; ++n) {
    SCOPED_TRACE(n);
    const double e = std::exp(-n / 10.0);
    EXPECT_NEAR(lag[n], 2.0 * (1.0 - e), 1e-12);
    // G s/(1 + sT): (G/T) e^(-t/T); with T = 0 the effective T is one step.
    EXPECT_NEAR(diff[n], n == 0 ? 0.0 : 2.0 / (10 * kDelt) * e, 1e-9);
    EXPECT_NEAR(diffZero[n], n == 0 ? 0.0 : 2.0 / kDelt * std::exp(-n), 1e-9);
    EXPECT_NEAR(leadLag[n], n == 0 ? 0.0 : 2.0 * (1.0 - 0.5 * e), 1e-12);
    EXPECT_EQ(nexc[n], 32);
  }
  EXPECT_NEAR(diffZero[1], 2.0 * std::exp(-1.0) / kDelt, 1e-9);
}

TEST(TimeConstantInputs, IntegratorTrapezoidLimitsAndResets) {
  BlockBench bench(kDelt);
  std::vector<double> ramp, crossed, idleReset, activeReset, zeroT;
  bench.dynamics = [&] {
    const std::int32_t reset = ctrl::iii == 0 ? 1 : 0;
    ramp.push_back(vintgl8(0.0, -10.0, 10.0, 0.5, 1.0, reset, 1));
    crossed.push_back(vintgl8(0.5, 1.0, 0.0, 0.5, 1.0, reset, 1));
    idleReset.push_back(vintgl8(5.0, -1.0, 1.0, 0.5, 1.0, 1, 0));
    activeReset.push_back(vintgl8(5.0, -1.0, 1.0, 0.5, 1.0, 1, 1));
    zeroT.push_back(vintgl8(0.25, -1.0, 1.0, 0.0, 1.0, reset, 1));
  };
  const wakro_test::Outcome o = bench.run(100);
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::int32_t n = 0; n <= 100; ++n) {
    // c = delt / (2T) = 1e-3 with T = 0.5: +c (1 + 1) = 0.002 per step.
    EXPECT_NEAR(ramp[n], 0.002 * n, 1e-12) << n;
    EXPECT_EQ(crossed[n], 1.0);      // lower 1 above upper 0: the lower wins
    EXPECT_EQ(idleReset[n], 5.0);    // disabled: Y0 as it is
    EXPECT_EQ(activeReset[n], 1.0);  // enabled: Y0 clamped
    EXPECT_EQ(zeroT[n], 0.25);       // a time constant of zero holds
  }
}

TEST(TimeConstantInputs, TheCoefficientIsCachedAndADisabledSpanTakenInOneStep) {
  BlockBench bench(kDelt);
  const double t = 10 * kDelt;
  std::vector<double> y, slot3, slot4, slot6, slot7;
  bench.dynamics = [&] {
    // Enabled only when the flag is 1: the flag 2 on steps 1..3 disables it.
    const std::int32_t k = ctrl::iii;
    const double tk = k == 6 ? t + 5e-11 : (k >= 7 ? t + 2e-10 : t);
    y.push_back(vrealp8(2.0, tk, k >= 1 ? 1.0 : 0.0, 0.0, k == 0 ? 1 : 0, k >= 1 && k <= 3 ? 2 : 1));
    slot3.push_back(e_s2::stor(3));
    slot4.push_back(e_s2::stor(4));
    slot6.push_back(e_s2::stor(6));
    slot7.push_back(e_s2::stor(7));
  };
  const wakro_test::Outcome o = bench.run(8);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(slot6, (std::vector<double>{0, 1, 2, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(slot7, (std::vector<double>{1, 1, 1, 1, 4, 1, 1, 1, 1}));
  EXPECT_EQ(y[1], 0.0);
  EXPECT_EQ(y[3], 0.0);
  EXPECT_DOUBLE_EQ(slot4[4], std::exp(-0.4));
  EXPECT_DOUBLE_EQ(slot4[5], std::exp(-0.1));
  EXPECT_EQ(slot3[6], t);
  EXPECT_EQ(slot4[6], slot4[5]);
  EXPECT_EQ(slot3[7], t + 2e-10);
  for (std::int32_t n = 4; n <= 6; ++n) EXPECT_NEAR(y[n], 2.0 * (1.0 - std::exp(-n / 10.0)), 1e-12) << n;
}

TEST(TimeConstantInputs, ADisabledBlockTakesItsResetOutputAndInput) {
  BlockBench bench(kDelt);
  std::vector<double> held, leadLagReset;
  std::vector<double> leadLagInput;
  bench.dynamics = [&] {
    const std::int32_t k = ctrl::iii;
    held.push_back(vrealp8(2.0, 10 * kDelt, 3.0, 1.5, k == 2 ? 1 : 0, 0));
    // A reset lead-lag keeps Y0/G as its previous input: the steady state.
    leadLagReset.push_back(vldlag8(5 * kDelt, 10 * kDelt, 2.0, 3.0, 4.0, k == 0 ? 1 : 0, 1));
    leadLagInput.push_back(e_s2::stor(9));
  };
  const wakro_test::Outcome o = bench.run(3);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(held, (std::vector<double>{0.0, 0.0, 1.5, 1.5}));
  EXPECT_EQ(e_s2::stor(1), 3.0);  // the reset stored the input
  EXPECT_EQ(leadLagReset[0], 4.0);
  EXPECT_EQ(leadLagInput[0], 2.0);
  // From the steady state of input 2, the step to 3 is the lead-lag's response.
  const double a = std::exp(-0.1);
  EXPECT_NEAR(leadLagReset[1], 6.0 - 2.0 * (1.0 - 0.5) * a, 1e-12);
}

TEST(TimeConstantInputs, PiControllersLoadClampAndHoldTheirIntegrators) {
  BlockBench bench(kDelt);
  std::vector<double> pi, piNoReset, piaNoReset, pia;
  std::vector<double> piaInput, piaOutput;
  std::vector<std::int32_t> nexc;
  bench.dynamics = [&] {
    const std::int32_t k = ctrl::iii;
    // Kp = 2, T = 0.1 (c = 0.005), x = 0.1: P = 0.2, the integral +0.001 per step.
    pi.push_back(vpi9(2.0, 0.1, -1.0, 1.0, 0.3, 0.1, k == 0 ? 1 : 0, 1));
    piNoReset.push_back(vpi9(2.0, 0.1, -1.0, 1.0, 0.3, 0.1, 0, 1));
    piaNoReset.push_back(vpi9a(2.0, 0.1, -1.0, 1.0, 0.3, 0.1, 0, 1));
    // Kp = 0.5, T = 0.01 (c = 0.05), x = 1 until step 14, then -0.2.
    pia.push_back(vpi9a(0.5, 0.01, -1.0, 1.0, 0.0, k >= 15 ? -0.2 : 1.0, 0, 1));
    piaInput.push_back(e_s2::stor(28));
    piaOutput.push_back(e_s2::stor(29));
    nexc.push_back(e_s2::nexc);
  };
  const wakro_test::Outcome o = bench.run(20);
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::int32_t n = 0; n <= 20; ++n) {
    // Loaded with Y0 - P on the reset, then P + I.
    EXPECT_NEAR(pi[n], 0.3 + 0.001 * n, 1e-12) << n;
    // Without a reset vpi9 starts from the stored output 0, vpi9a from Y0 - P.
    EXPECT_NEAR(piNoReset[n], 0.2 + 0.0005 + 0.001 * n, 1e-12) << n;
    EXPECT_NEAR(piaNoReset[n], 0.3 + 0.0005 + 0.001 * n, 1e-12) << n;
    EXPECT_EQ(nexc[n], 36);
  }
  // vpi9a: I starts at -P = -0.5 and moves by 0.05 (0 + 1) at time zero, then
  // 0.1 per step: v = 0.05 + 0.1 n reaches the limit on step 10.
  for (std::int32_t n = 0; n <= 9; ++n) EXPECT_NEAR(pia[n], 0.05 + 0.1 * n, 1e-12) << n;
  for (std::int32_t n = 10; n <= 14; ++n) {
    EXPECT_EQ(pia[n], 1.0) << n;
    // The integrator's step is undone: input and output as after step 9.
    EXPECT_EQ(piaInput[n], 1.0);
    EXPECT_EQ(piaOutput[n], piaOutput[9]);
  }
  EXPECT_NEAR(piaOutput[9], 0.45, 1e-12);
  // The input reverses on step 15 and the output leaves the limit at once:
  // P = -0.1, I = 0.45 + 0.05 (1 - 0.2).
  EXPECT_NEAR(pia[15], -0.1 + 0.45 + 0.04, 1e-12);
}

}  // namespace
}  // namespace blocks_test

// The small function blocks: distortion, table interpolation, the two-point
// ramp and the comparison against hand-worked values; the rate-limited follower
// and the clamped lag through the block bench against their closed forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/function_blocks.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "support/fatal_capture.h"

namespace blocks_test {
namespace {

TEST(FunctionBlocks, HarmonicDistortionRelativeAndInPercent) {
  const std::vector<double> h = {2.0, 0.6, 0.8};
  std::vector<double> r(3, -1.0);
  EXPECT_DOUBLE_EQ(thdn(3, 0, h, r), 0.5);
  EXPECT_EQ(r[0], 1.0);
  EXPECT_DOUBLE_EQ(r[1], 0.3);
  EXPECT_DOUBLE_EQ(r[2], 0.4);
  EXPECT_DOUBLE_EQ(thdn(3, 1, h, r), 50.0);
  EXPECT_EQ(r[0], 100.0);
  EXPECT_DOUBLE_EQ(r[1], 30.0);
  EXPECT_DOUBLE_EQ(r[2], 40.0);
  // A fundamental of nothing gives 0 and leaves r alone; one value has no harmonics.
  std::vector<double> kept = {7.0, 7.0};
  EXPECT_EQ(thdn(2, 0, std::vector<double>{0.0, 1.0}, kept), 0.0);
  EXPECT_EQ(kept, (std::vector<double>{7.0, 7.0}));
  EXPECT_EQ(thdn(1, 0, h, kept), 0.0);
  EXPECT_EQ(kept[0], 1.0);
}

TEST(FunctionBlocks, TableInterpolationInsideAndBeyondItsPoints) {
  const std::vector<double> x = {0.0, 1.0, 2.0}, y = {0.0, 10.0, 20.0};
  EXPECT_DOUBLE_EQ(aplin(3, x, y, 3.0), 30.0);
  EXPECT_DOUBLE_EQ(aplin(3, x, y, -1.0), -10.0);
  EXPECT_DOUBLE_EQ(aplin(3, x, y, 0.5), 5.0);
  EXPECT_DOUBLE_EQ(aplin(3, x, y, 1.0), 10.0);
  EXPECT_DOUBLE_EQ(aplin(3, x, y, 1.75), 17.5);
  // Segments of no width: the left value, or the last value beyond the table.
  const std::vector<double> stepX = {0.0, 0.0, 1.0, 1.0}, stepY = {5.0, 7.0, 9.0, 20.0};
  EXPECT_EQ(aplin(4, stepX, stepY, 0.0), 5.0);
  EXPECT_DOUBLE_EQ(aplin(4, stepX, stepY, 0.5), 8.0);
  EXPECT_DOUBLE_EQ(aplin(4, stepX, stepY, 1.0), 9.0);
  EXPECT_EQ(aplin(4, stepX, stepY, 2.0), 20.0);
  // One point gives its value; none gives 0.
  EXPECT_EQ(aplin(1, x, std::vector<double>{4.0}, 9.0), 4.0);
  EXPECT_EQ(aplin(0, x, y, 9.0), 0.0);
}

TEST(FunctionBlocks, TwoPointRampAndComparisons) {
  EXPECT_EQ(ramp2st(0.5, 1.0, 0.0, 2.0, 10.0), 0.0);
  EXPECT_EQ(ramp2st(1.0, 1.0, 0.0, 2.0, 10.0), 0.0);
  EXPECT_DOUBLE_EQ(ramp2st(1.5, 1.0, 0.0, 2.0, 10.0), 5.0);
  EXPECT_EQ(ramp2st(2.0, 1.0, 0.0, 2.0, 10.0), 10.0);
  EXPECT_EQ(ramp2st(3.0, 1.0, 0.0, 2.0, 10.0), 10.0);
  // Break points closer than 1e-20: the end value from X1 on.
  EXPECT_EQ(ramp2st(1.5e-21, 1e-21, 0.0, 2e-21, 10.0), 10.0);

  // Operators 1..4 over A below, equal to and above B; others always false.
  const std::vector<std::vector<bool>> expected = {
      {true, false, false}, {true, true, false}, {false, false, true}, {false, true, true}};
  const double as[] = {1.0, 2.0, 3.0};
  for (std::int32_t op = 1; op <= 4; ++op)
    for (int k = 0; k < 3; ++k) {
      bool result = !expected[op - 1][k];
      check_inequility(op, as[k], 2.0, result);
      EXPECT_EQ(result, expected[op - 1][k]) << op << " " << k;
    }
  for (std::int32_t op : {0, 5, -1}) {
    bool result = true;
    check_inequility(op, 1.0, 2.0, result);
    EXPECT_FALSE(result);
  }
}

TEST(FunctionBlocks, ArraysShorterThanTheirCountStopTheRun) {
  std::vector<double> r(2);
  EXPECT_EQ(wakro_test::stop_message([&] { thdn(3, 0, std::vector<double>{1.0, 2.0, 3.0}, r); }),
            "THDN: 3 values asked of an array of 2");
  EXPECT_EQ(wakro_test::stop_message([&] { aplin(4, r, r, 0.0); }), "APLIN: 4 values asked of an array of 2");
}

TEST(FunctionBlocks, RateLimitedFollowerRisesAndFallsByItsSteps) {
  const double delt = 1e-3;
  BlockBench bench(delt);
  std::vector<double> out, signedRates;
  std::vector<std::int32_t> nexc;
  // Input 0 at time zero, 1 from step 1, 0 again from step 15.
  const auto input = [] { return ctrl::iii >= 1 && ctrl::iii < 15 ? 1.0 : 0.0; };
  bench.dynamics = [&] {
    out.push_back(ramp3(100.0, 50.0, input()));
    signedRates.push_back(ramp3(-100.0, -50.0, input()));
    nexc.push_back(e_s2::nexc);
  };
  const wakro_test::Outcome o = bench.run(40);
  ASSERT_EQ(o.status, -1) << o.console;
  for (std::int32_t k = 0; k <= 40; ++k) {
    // Up by 100 delt = 0.1 per step, down by 50 delt = 0.05 per step.
    const double expected = k < 15 ? std::min(1.0, 0.1 * k) : std::max(0.0, 1.0 - 0.05 * (k - 14));
    EXPECT_NEAR(out[k], expected, 1e-12) << k;
    // The rates count by their magnitude.
    EXPECT_EQ(signedRates[k], out[k]) << k;
    EXPECT_EQ(nexc[k], 6);
  }
  EXPECT_EQ(out[14], 1.0);  // a step within reach lands on the input exactly
  EXPECT_EQ(out[40], 0.0);
}

TEST(FunctionBlocks, ClampedLagFollowsTheTrapezoidalClosedForm) {
  const double delt = 1e-3;
  BlockBench bench(delt);
  std::vector<double> free, clamped, crossed, through;
  std::vector<std::int32_t> nexc;
  bench.dynamics = [&] {
    free.push_back(grp2(1.0, 10.0 * delt, -5.0, 5.0));
    clamped.push_back(grp2(1.0, 10.0 * delt, -5.0, 0.5));
    crossed.push_back(grp2(1.0, 10.0 * delt, 0.3, 0.2));
    through.push_back(grp2(0.5 + ctrl::iii, 0.0, -5.0, 5.0));
    nexc.push_back(e_s2::nexc);
  };
  const wakro_test::Outcome o = bench.run(100);
  ASSERT_EQ(o.status, -1) << o.console;
  // From cleared storage with the input 1 on every call: y_n = p y_(n-1) + q
  // (x_(n-1) + x_n), p = 9.5/10.5, q = 0.5/10.5, x_(-1) = 0, whose solution is
  // y_n = 1 - (1 - q) p^n. Rounding stays near a few ulp (|p| < 1 damps it).
  const double p = 9.5 / 10.5, q = 0.5 / 10.5;
  EXPECT_NEAR(free[0], 0.5 / 10.5, 1e-15);
  for (std::int32_t n = 0; n <= 100; ++n) {
    const double y = 1.0 - (1.0 - q) * std::pow(p, n);
    EXPECT_NEAR(free[n], y, 1e-12) << n;
    // The state itself is clamped: once at 0.5, the next value would rise again.
    EXPECT_NEAR(clamped[n], std::min(y, 0.5), 1e-12) << n;
    EXPECT_EQ(crossed[n], 0.3) << n;  // the lower limit wins
    EXPECT_EQ(through[n], 0.5 + n > 5.0 ? 5.0 : 0.5 + n) << n;
    EXPECT_EQ(nexc[n], 8);
  }
  EXPECT_EQ(clamped[100], 0.5);
}

TEST(FunctionBlocks, ClampedLagWithMinusHalfAStepIsADataError) {
  BlockBench bench(1e-3);
  e_s1::delt = 1e-3;
  e_s2::nexc = 4;
  e_warn::comp_id1 = 0;
  const wakro_test::Outcome o = wakro_test::run_captured([] { grp2(1.0, -0.5e-3, -1.0, 1.0); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(lines_of(o.console),
            fatal_lines({"Time constant of minus half a time step: the lag divides by zero."}, "GRP2        ", 0, 0));
  EXPECT_EQ(e_s2::nexc, 4);
}

}  // namespace
}  // namespace blocks_test

// A lossless one-conductor line, Zc = 400 ohm, fed through 400 ohm from an
// ideal source, far end open: the waves of the closed form, step by step,
// through the real network solution with both solvers.
//
// Matched feed: the sending end sees Zc in series with the 400 ohm source
// resistance, so a wave of e/2 enters the line; it reaches the far end after the
// travel time, doubles there (open end) and comes back to be absorbed by the
// matched source. With a travel time of 10 steps:
//   v_far(n)  = e(n - 10)               (0 before step 10)
//   v_send(n) = (e(n) + e(n - 20)) / 2
// and the current into the line at the sending end is (e - v_send) / 400.
// Every quantity is a sum of a few exactly scaled values, so 1e-12 kV holds.
#include <cmath>
#include <numbers>
#include <string>

#include "lines/line_fixture.h"
#include "model/branches.h"
#include "model/int3.h"
#include "network/klu_adapter.h"

namespace linetest {
namespace {

constexpr double kDelt = 5.0e-5;
constexpr double kTol = 1e-12;

class LineStep : public Lines, public ::testing::WithParamInterface<bool> {
 protected:
  // The case with travel time tau_steps steps and source e(0) = e0 (the line's
  // option lines); returns the source branch.
  std::int32_t build(double tau_steps, double e0, const std::string& options = "") {
    std::string record = lossless_record(tau_steps * kDelt * 1000.0, 400.0);
    write_section("GLOBAL_TLINES:", record.insert(record.find('\n') + 1, options));
    read_lines(2, 1, 1, kDelt);
    const std::int32_t b = add_branch(1, 0, 1, 400.0, 0.0, 0.0, 0.0, e0);
    if (GetParam()) {
      int3::enable_sparse = true;
      int3::sparse_limit = 0;
      set_klu();
    }
    return b;
  }
};

TEST_P(LineStep, StepReachesTheOpenEndAfterTenStepsAndReturnsAfterTwenty) {
  build(10.0, 1.0);
  ASSERT_EQ(e_s7::nt(1), 10);
  EXPECT_EQ(e_s7::fnt(1), 0.0);
  start_run(40);
  for (int n = 0; n < 40; ++n) {
    step();
    EXPECT_NEAR(v(2), n < 10 ? 0.0 : 1.0, kTol) << "step " << n;
    EXPECT_NEAR(v(1), n < 20 ? 0.5 : 1.0, kTol) << "step " << n;
  }
}

TEST_P(LineStep, FractionalTravelTimeInterpolatesTheArrivingWave) {
  build(10.5, 1.0);
  ASSERT_EQ(e_s7::nt(1), 10);
  EXPECT_NEAR(e_s7::fnt(1), 0.5, 1e-12);
  start_run(14);
  for (int n = 0; n < 14; ++n) {
    step();
    const double expected = n < 10 ? 0.0 : (n == 10 ? 0.5 : 1.0);
    EXPECT_NEAR(v(2), expected, kTol) << "step " << n;
  }
}

TEST_P(LineStep, OneStepLineUsesOneSlot) {
  build(1.0, 1.0);
  ASSERT_EQ(e_s7::nt(1), 1);
  start_run(4);
  step();
  EXPECT_NEAR(v(2), 0.0, kTol);
  step();
  EXPECT_NEAR(v(2), 1.0, kTol);
}

// Infinite length, whatever the travel time: one slot; no wave reaches the open end.
TEST_P(LineStep, InfiniteLengthLineOfTenStepsReflectsNothing) {
  build(10.0, 1.0, "INFLENGTH\n");
  ASSERT_EQ(e_s7::nt(1), 1);
  start_run(30);
  for (int n = 0; n < 30; ++n) {
    step();
    EXPECT_TRUE(std::abs(v(2)) < kTol && std::abs(v(1) - 0.5) < kTol) << "step " << n;
  }
}

TEST_P(LineStep, SixtyHertzSourceIsDelayedAndTerminalCurrentFollows) {
  const auto e = [](int n) { return n < 0 ? 0.0 : std::sin(2.0 * std::numbers::pi * 60.0 * n * kDelt); };
  const std::int32_t b = build(10.0, 1.0);
  model_ = [b] { branches::ebr(b, 1) = std::sin(2.0 * std::numbers::pi * 60.0 * ctrl::iii * kDelt); };
  start_run(120);
  for (int n = 0; n < 120; ++n) {
    step();
    const double vs = (e(n) + e(n - 20)) / 2.0;
    EXPECT_NEAR(v(2), e(n - 10), kTol) << "step " << n;
    EXPECT_NEAR(v(1), vs, kTol) << "step " << n;
    EXPECT_NEAR(e_s0::cdctl(1, 1, 1), (e(n) - vs) / 400.0, kTol) << "step " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(BothSolvers, LineStep, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Klu" : "OwnElimination"; });

}  // namespace
}  // namespace linetest

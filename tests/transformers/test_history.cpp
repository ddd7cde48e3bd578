// Winding histories: dsmdyn on hand-set windings, and a transformer configured
// from its nameplate stepped through the real solution with both solvers.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "model/e_s0.h"
#include "network/hooks.h"
#include "network/small_subsystem.h"
#include "tf_fixture.h"
#include "transformers/dsmdyn.h"
#include "transformers/services.h"
#include "transformers/settfparm.h"
#include "transformers/tf_cfg.h"

namespace {

using tftest::Transformers;

// hm = [[1, 2], [3, 4]], sm = [[5, 6], [7, 8]] set by hand, v(1) = 10, v(2) = 4,
// v(3) = 1, currents 0.5 and -0.25; winding 1 from 1 to 2, winding 2 from ground
// to 3. Voltages (6, -1): h1 = 1*6 + 2*(-1) + 5*0.5 + 6*(-0.25) = 5,
// h2 = 3*6 + 4*(-1) + 7*0.5 + 8*(-0.25) = 15.5.
TEST_F(Transformers, HistoryCurrentsEnterTheNodeSums) {
  size_tf(3, 1, 1e-4);
  const std::int32_t k = add_unit(1, {{1, 2}, {0, 3}}, -1);
  e_s5::hm(1, 1, k) = 1; e_s5::hm(1, 2, k) = 2; e_s5::hm(2, 1, k) = 3; e_s5::hm(2, 2, k) = 4;
  e_s5::sm(1, 1, k) = 5; e_s5::sm(1, 2, k) = 6; e_s5::sm(2, 1, k) = 7; e_s5::sm(2, 2, k) = 8;
  e_s0::vdc(1, 1) = 10.0;
  e_s0::vdc(2, 1) = 4.0;
  e_s0::vdc(3, 1) = 1.0;
  e_s0::cdctr(1, k) = 0.5;
  e_s0::cdctr(2, k) = -0.25;
  e_s5::ccmc(1, k) = 9.0;
  for (std::int32_t i = 1; i <= 3; ++i) e_s0::ccgm(i, 1) = 100.0 * i;
  dsmdyn(1);
  EXPECT_EQ(e_s5::ccmc(1, k), 5.0);
  EXPECT_EQ(e_s5::ccmc(2, k), 15.5);
  EXPECT_EQ(e_s5::ccmcd(1, k), 9.0);
  EXPECT_EQ(e_s0::ccgm(1, 1), 5.0);
  EXPECT_EQ(e_s0::ccgm(2, 1), -5.0);
  EXPECT_EQ(e_s0::ccgm(3, 1), -15.5);  // from ground: subtracted at the to-node only
  EXPECT_EQ(e_s0::ccgmd(3, 1), 300.0);
}

// Two units at node 1 are summed in number order; a subsystem without units only
// moves its sums.
TEST_F(Transformers, OtherSubsystemsAreUntouched) {
  size_tf(2, 1, 1e-4, 2);
  const std::int32_t k1 = add_unit(2, {{1, 0}});
  const std::int32_t k2 = add_unit(2, {{1, 2}});
  e_s5::hm(1, 1, k1) = 1.0;
  e_s5::hm(1, 1, k2) = 2.0;
  e_s0::vdc(1, 2) = 3.0;
  e_s0::ccgm(1, 1) = 7.0;
  dsmdyn(1);
  EXPECT_EQ(e_s0::ccgm(1, 1), 0.0);
  EXPECT_EQ(e_s0::ccgmd(1, 1), 7.0);
  EXPECT_EQ(e_s5::ccmc(1, k1), 0.0);
  dsmdyn(2);
  EXPECT_EQ(e_s0::ccgm(1, 2), 3.0 + 6.0);
  EXPECT_EQ(e_s0::ccgm(2, 2), -6.0);
}

TEST_F(Transformers, MisalignedSubsystemCountsStopTheRun) {
  size_tf(2, 1, 1e-4);
  add_unit(1, {{1, 0}});
  add_unit(1, {{2, 0}});
  e_s5::numt(1) = 1;
  const nettest::Captured c = nettest::capture([] { dsmdyn(1); });
  EXPECT_EQ(c.status, 2000);
  EXPECT_EQ(c.text.substr(0, 88),
            " ERROR during solution of transformers!\n"
            " Transformer Subsystem Numbers are mis-aligned!\n");
  EXPECT_NE(c.text.find("ERROR: Abnormal termination of WAKRO by DSMDYN                            \n"),
            std::string::npos)
      << c.text;
}

// The first unit of the case's first group, winding 1 fed by an ideal 1 kV step
// at time zero, winding 2 shorted, R = 0: the trapezoidal rule integrates
// di/dt = Gamma v exactly for a constant v after a jump at t = 0 (the step at
// time zero sees v(-dt) = 0), so i(n) = Gamma dt (n + 1/2):
// Gamma11 dt = 1861.6845354606 * 5e-5 = 0.0930842, Gamma12 dt = -0.00728485.
// Each step adds one exact trapezoid, so the error stays at rounding (1e-12).
class StepResponse : public Transformers, public ::testing::WithParamInterface<bool> {};

TEST_P(StepResponse, WindingCurrentsRampByHalfSteps) {
  size_tf(2, 2, 5e-5);
  wakro::use_transformer_services();
  const std::int32_t k = add_unit(1, {{1, 0}, {2, 0}});
  add_ideal(1, 1, 0, -1.0);  // holds node 1 at +1 kV from time zero
  add_ideal(1, 2, 0);
  e_tf2w_cfg(k, 1, 33.3333333333333, 60.0, 0.0625, 0.0, 10.392304845413268, 132.79056191361397, 2.0);
  const double g11 = rt_config::tfdata(2, 1) * 5e-5;
  const double g12 = rt_config::tfdata(2, 2) * 5e-5;
  EXPECT_NEAR(g11, 0.0930842, 5e-8);
  EXPECT_NEAR(g12, -0.00728485, 5e-9);
  if (GetParam()) force_sparse();
  start_run(40);
  for (std::int32_t n = 0; n < 40; ++n) {
    step();
    ASSERT_NEAR(v(1), 1.0, 1e-12);
    EXPECT_NEAR(e_s0::cdctr(1, k), g11 * (n + 0.5), 1e-12) << n;
    EXPECT_NEAR(e_s0::cdctr(2, k), g12 * (n + 0.5), 1e-12) << n;
  }
}

INSTANTIATE_TEST_SUITE_P(BothSolvers, StepResponse, ::testing::Bool());

// With the transformer room's dsmdyn in place, a small subsystem without units
// (subsystem 2: nodes 1 and 2, 2 ohm + 20 mH to ground each, 5 ohm + 1 mH between
// them, 2 ohm + 50 uF from node 2 to ground, a sine injection at node 1) takes
// the small step, which restarts its node sums itself instead of calling
// dsmdyn, beside a subsystem with a unit (subsystem 1, the unit of the step
// response above on 1 ohm + 10 mH to ground at each winding, fed by a sine at node
// 1), which takes the general path. Every value of both equals, to the bit, the
// run held on the general path, which calls dsmdyn for both.
TEST_F(Transformers, ASubsystemWithoutUnitsRestartsItsSumsAsDsmdynDoes) {
  struct Run {
    std::vector<std::uint64_t> bits;
    std::uint64_t small_steps = 0;
  };
  const auto run = [&](bool general) {
    size_tf(2, 4, 5e-5, 2);
    wakro::use_transformer_services();
    // (registered as the process's own, whose work the small step may do)
    EXPECT_EQ(wakro::network_hooks().dsmdyn, wakro::network_hooks().plain_dsmdyn);
    wakro::detail::small_step_disabled = general;
    const std::int32_t k = add_unit(1, {{1, 0}, {2, 0}});
    e_tf2w_cfg(k, 1, 33.3333333333333, 60.0, 0.0625, 0.0, 10.392304845413268, 132.79056191361397, 2.0);
    add_branch(1, 1, 0, 1.0, 0.01, 0.0);
    add_branch(1, 2, 0, 1.0, 0.01, 0.0);
    add_branch(2, 1, 0, 2.0, 0.02, 0.0);
    add_branch(2, 2, 0, 2.0, 0.02, 0.0);
    add_branch(2, 1, 2, 5.0, 0.001, 0.0);
    add_branch(2, 2, 0, 2.0, 0.0, 50.0);
    e_s0::enabccin(1, 1) = true;
    e_s0::enabccin(1, 2) = true;
    model_ = [] {
      e_s0::ccin(1, 1) = std::sin(0.3 * ctrl::iii);
      e_s0::ccin(1, 2) = 0.5 * std::cos(0.2 * ctrl::iii);
    };
    Run r;
    const std::uint64_t before = wakro::detail::small_steps_taken;
    start_run(30);
    for (std::int32_t n = 0; n < 30; ++n) {
      step();
      for (std::int32_t ss = 1; ss <= 2; ++ss) {
        for (std::int32_t i = 1; i <= 2; ++i)
          for (const double x : {e_s0::vdc(i, ss), e_s0::ccgm(i, ss), e_s0::ccgmd(i, ss)})
            r.bits.push_back(std::bit_cast<std::uint64_t>(x));
        for (std::int32_t b = 1; b <= int2::insb(ss); ++b)
          for (const double x : {branches::cbr(b, ss), branches::ccbr(b, ss), branches::ccl(b, ss),
                                 branches::v12l(b, ss), branches::ccc(b, ss)})
            r.bits.push_back(std::bit_cast<std::uint64_t>(x));
      }
      for (std::int32_t w = 1; w <= 2; ++w) r.bits.push_back(std::bit_cast<std::uint64_t>(e_s0::cdctr(w, k)));
    }
    r.small_steps = wakro::detail::small_steps_taken - before;
    wakro::detail::small_step_disabled = false;
    release_all_and_reset();
    wakro::reset_network_hooks();
    return r;
  };
  const Run general = run(true);
  const Run small = run(false);
  EXPECT_EQ(general.small_steps, 0u);
  EXPECT_GE(small.small_steps, 25u);  // subsystem 2 on its ordinary steps only
  EXPECT_LE(small.small_steps, 30u);
  ASSERT_EQ(small.bits.size(), general.bits.size());
  for (std::size_t i = 0; i < general.bits.size(); ++i)
    ASSERT_EQ(small.bits[i], general.bits[i]) << "value " << i;
}

}  // namespace

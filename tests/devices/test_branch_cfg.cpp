// Branch set-up from R, L and C: the companion terms (dt = 50 us, so
// X_L = 2L/dt = 4000 ohm for 0.1 H and X_C = dt/(2C) = 2.5 ohm for 10 uF), the
// set-up-form matrix entry, the ideal conversion notice, the data error of a zero
// capacitance, and an R-L branch stepped by a DC source against
// i(t) = E/R (1 - exp(-R t / L)).
#include <cmath>
#include <string>

#include "device_fixture.h"
#include "devices/branch_cfg.h"
#include "devices/voltage_sources.h"

namespace {

using nettest::rel;

class BranchCfg : public devtest::Devices {};

const std::string kRule = " -----------------------------------------------\n";
const std::string kBranch1 = " Branch            1  in SS            1\n";

TEST_F(BranchCfg, InductiveBranchBetweenTwoNodesEntersOffDiagonalsOnly) {
  size(5, 2);
  const std::int32_t b = empty_branch(3, 5);
  e_branch_cfg(b, 1, false, true, false, 0.0, 0.1, 0.0);
  EXPECT_DOUBLE_EQ(branches::g2l(b, 1), 2.5e-4);
  EXPECT_DOUBLE_EQ(branches::geq(b, 1), 2.5e-4);
  EXPECT_DOUBLE_EQ(branches::rlg(b, 1), 1.0);
  EXPECT_EQ(branches::rcg(b, 1), 0.0);
  EXPECT_DOUBLE_EQ(harmimp::branch_l(b, 1), 0.1);
  const e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  EXPECT_DOUBLE_EQ(gm(3, 5), 2.5e-4);
  EXPECT_DOUBLE_EQ(gm(5, 3), 2.5e-4);
  EXPECT_EQ(gm(3, 3), 0.0);
  EXPECT_EQ(gm(5, 5), 0.0);
}

// A part whose companion resistance is 1e-20 ohm or less (L = 1e-30 H gives
// 4e-26; C = 1e22 uF gives 2.5e-21) has a part conductance of 0, not the one an
// earlier set-up of the same branch left (0.1 H: 2.5e-4 S; 10 uF: 0.4 S); the
// shares that would multiply it are 0 as well.
TEST_F(BranchCfg, PartsWithoutCompanionResistanceKeepNoEarlierConductance) {
  size(2, 2);
  const std::int32_t b = empty_branch(1, 0);
  e_branch_cfg(b, 1, true, true, true, 10.0, 0.1, 10.0);
  ASSERT_DOUBLE_EQ(branches::g2l(b, 1), 2.5e-4);
  ASSERT_DOUBLE_EQ(branches::g2c(b, 1), 0.4);
  e_branch_cfg(b, 1, true, true, true, 10.0, 1e-30, 1e22);
  EXPECT_TRUE(branches::inductor(b, 1));
  EXPECT_TRUE(branches::capacitr(b, 1));
  EXPECT_EQ(branches::g2l(b, 1), 0.0);
  EXPECT_EQ(branches::g2c(b, 1), 0.0);
  EXPECT_NEAR(branches::geq(b, 1), 0.1, 1e-15);
  EXPECT_LT(std::abs(branches::rlg(b, 1)), 1e-26);
  EXPECT_LT(std::abs(branches::rcg(b, 1)), 1e-21);
}

TEST_F(BranchCfg, CapacitiveAndSeriesRLShares) {
  size(2, 2);
  const std::int32_t c = empty_branch(1, 0);
  e_branch_cfg(c, 1, false, false, true, 0.0, 0.0, 10.0);
  EXPECT_DOUBLE_EQ(branches::g2c(c, 1), 0.4);
  EXPECT_DOUBLE_EQ(branches::geq(c, 1), 0.4);
  EXPECT_DOUBLE_EQ(branches::rcg(c, 1), 1.0);
  EXPECT_DOUBLE_EQ(harmimp::branch_c(c, 1), 1e-5);
  EXPECT_DOUBLE_EQ(e_s0::assign_gm_ptr(1)(1, 1), 0.4);  // to ground: the diagonal
  const std::int32_t rl = empty_branch(2, 0);
  e_branch_cfg(rl, 1, true, true, false, 10.0, 0.1, 0.0);
  EXPECT_DOUBLE_EQ(branches::geq(rl, 1), 1.0 / 4010.0);
  EXPECT_DOUBLE_EQ(branches::rlg(rl, 1), 4000.0 / 4010.0);
  EXPECT_NEAR(branches::rsc(rl, 1), 9.97506234413965, 1e-12);
  EXPECT_EQ(branches::rsl(rl, 1), 0.0);
  EXPECT_DOUBLE_EQ(harmimp::branch_r(rl, 1), 10.0);
}

TEST_F(BranchCfg, ResistanceAtTheLimitBecomesAnIdealBranchWithTheNotice) {
  size(2, 2);
  const std::int32_t b = empty_branch(1, 2);
  const auto out = nettest::capture([&] { e_branch_cfg(b, 1, true, false, false, 1e-8, 0.0, 0.0); });
  EXPECT_EQ(out.text, kRule + kBranch1 + " has been converted to an ideal branch because\n" +
                          " R value is less than the user defined limit!\n" + kRule);
  EXPECT_TRUE(branches::idealbr(b, 1));
  EXPECT_TRUE(e_s0::idealss(1));
  EXPECT_EQ(branches::geq(b, 1), 0.0);
  EXPECT_EQ(harmimp::branch_r(b, 1), 0.0);
}

TEST_F(BranchCfg, SmallResistanceOfAnRLBranchIsDroppedAlone) {
  size(2, 2);
  const std::int32_t b = empty_branch(1, 2);
  const auto out = nettest::capture([&] { e_branch_cfg(b, 1, true, true, false, 1e-9, 0.1, 0.0); });
  EXPECT_EQ(out.text, kRule + kBranch1 + " Resistive portion\n" +
                          " has been converted to an ideal branch because\n" +
                          " R value is less than the user defined limit!\n" + kRule);
  EXPECT_FALSE(branches::resistor(b, 1));
  EXPECT_FALSE(branches::idealbr(b, 1));
  EXPECT_DOUBLE_EQ(branches::geq(b, 1), 2.5e-4);
}

TEST_F(BranchCfg, ClearsAnEarlierIdealFlagAndRemovesTheOldConductance) {
  size(6, 2);
  const std::int32_t b = add_branch(1, 4, 6, 5.0, 0.0, 0.0);  // 0.2 S in the matrix
  branches::idealbr(b, 1) = true;
  e_branch_cfg(b, 1, true, false, false, 10.0, 0.0, 0.0);
  EXPECT_FALSE(branches::idealbr(b, 1));
  EXPECT_DOUBLE_EQ(branches::geq(b, 1), 0.1);
  EXPECT_NEAR(e_s0::assign_gm_ptr(1)(4, 6), 0.1, 1e-15);
  e_branch_cfg(b, 1, false, false, false, 0.0, 0.0, 0.0);
  EXPECT_EQ(branches::geq(b, 1), 0.0);
  EXPECT_EQ(branches::rlg(b, 1), 0.0);
  EXPECT_NEAR(e_s0::assign_gm_ptr(1)(4, 6), 0.0, 1e-15);
}

TEST_F(BranchCfg, SwitchingBranchLeavesTheMatrixAlone) {
  size(2, 2);
  const std::int32_t b = add_branch(1, 1, 2, 0.0, 0.0, 0.0, 0.0, 0.0, true);
  e_branch_cfg(b, 1, true, false, false, 10.0, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(branches::geq(b, 1), 0.1);
  EXPECT_EQ(e_s0::assign_gm_ptr(1)(1, 2), 0.0);
}

TEST_F(BranchCfg, ZeroCapacitanceIsADataError) {
  size(2, 2);
  const std::int32_t b = empty_branch(1, 2);
  const auto zero_c = nettest::capture([&] { e_branch_cfg(b, 1, false, false, true, 0.0, 0.0, 0.0); });
  EXPECT_NE(zero_c.status, -1);
  EXPECT_NE(zero_c.text.find("Zero capacitance given for a capacitive branch"), std::string::npos);
  EXPECT_NE(zero_c.text.find("E_BRANCH_CFG"), std::string::npos);
}

TEST_F(BranchCfg, BranchNumberIsCheckedAtSetUp) {
  size(2, 2);
  empty_branch(1, 2);
  const auto bad = nettest::capture([&] { e_branch_cfg(9, 1, true, false, false, 1.0, 0.0, 0.0); });
  EXPECT_NE(bad.status, -1);
  EXPECT_NE(bad.text.find("E_BRANCH_CFG"), std::string::npos);
}

// 1 kV DC behind 1 mohm into R = 10 ohm, L = 0.1 H: tau = L / R_total = 9.999e-3 s.
// With no history at time zero the trapezoidal solution at step k is the
// response at t = (k + 1/2) dt (its first current is E dt / 2L); its damping
// error is of order (dt/tau)^2 / 12 = 2e-6 per time constant, relative to the
// small early current it is larger (2.7e-5 at 1 ms), so every sample after the
// first millisecond lies within 5e-5 relative of the closed form.
TEST_F(BranchCfg, RLBranchFollowsTheClosedFormStepResponse) {
  size(1, 2);
  const std::int32_t src = add_branch(1, 0, 1, 1e-3, 0.0, 0.0);
  const std::int32_t rl = empty_branch(1, 0);
  e_branch_cfg(rl, 1, true, true, false, 10.0, 0.1, 0.0);
  devices([&] { wakro_1pvsrc(1, src, 0.0, 0, 1.0, 0.0, 0.0); });
  const int n = 1001;
  start_run(n);
  const double rt = 10.001;
  const double tau = 0.1 / rt;
  for (int k = 0; k < n; ++k) {
    step();
    const double t = (k + 0.5) * e_s1::delt;
    const double expect = (1.0 / rt) * (1.0 - std::exp(-t / tau));
    if (t >= 1e-3) {
      ASSERT_LT(rel(i(rl), expect), 5e-5) << "t = " << t;
    }
  }
  EXPECT_LT(rel(i(rl), (1.0 / rt) * (1.0 - std::exp(-0.050025 / tau))), 1e-5);
  EXPECT_EQ(branches::ebr(src, 1), 1.0);
}

}  // namespace

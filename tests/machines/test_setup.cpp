// Set-up constants, inverse matrices, frame transforms, zero-sequence constants
// and the per-step solver, on the case generator's block.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "machine_fixture.h"
#include "machines/solver.h"

namespace {

using namespace wakro::machines;
using mtest::Machines;
using mtest::near_rel;

TEST_F(Machines, BaseConstantsOfTheCaseGenerator) {
  const MachineBlock blk = case_block();
  struct Slot {
    int k;
    double v, rel;
  };
  // Zb = 10.3923/6.415 = 1.62 ohm; Xd'' recomputed from the circuit is 0.135.
  const std::vector<Slot> slots = {
      {173, 103.923, 1e-12},   {257, 5.0, 1e-15},       {258, 0.01, 1e-15},     {259, 0.92, 1e-15},
      {260, 5.000005e-3, 1e-6}, {261, 61.72840, 1e-6},  {262, 2.057613e-3, 1e-6}, {263, 861.8930, 1e-6},
      {264, 0.3459662, 1e-6},  {265, 0.5586144, 1e-6},  {266, 2.0 * 376.992 / (3.0 * 10.3923), 1e-15},
      {286, 2.652576e-3, 1e-6}, {287, 47.124, 1e-12},   {288, 199.9998, 1e-6},  {319, 1.62, 1e-4},
      {320, 0.6172840, 1e-6},  {318, 1.0E9, 0.0},       {321, 1.0E9, 0.0},      {329, 0.0962251, 1e-6}};
  for (const Slot& s : slots) EXPECT_TRUE(near_rel(blk(s.k), s.v, s.rel)) << s.k;
  EXPECT_EQ(blk(293), 0.0);
  EXPECT_EQ(blk(269), 0.0);
  EXPECT_EQ(blk(267), -blk(266) / 2.0);
  EXPECT_NEAR(blk(281), 376.992 * case_ra(), 1e-15);
  macpre(blk, 1);
  EXPECT_EQ(blk(293), 1.0);
}

TEST_F(Machines, MacpreFloorsAndTinyLeakages) {
  const MachineBlock blk = case_block();
  struct Case {
    double trim, scale, xf, xkd;
    double gain, inv_scale;
  };
  const std::vector<Case> cases = {{0.05, 1e-7, 0.041, 0.0057, 20.0, 1.0E6},
                                   {0.049, 2.0, 1e-7, 0.0057, 20.0, 0.5},
                                   {0.5, 100.0, 0.041, 1e-7, 2.0, 0.01}};
  for (const Case& c : cases) {
    blk(kTrimTime) = c.trim;
    blk(kPowerScale) = c.scale;
    blk(kXf) = c.xf;
    blk(kXkd) = c.xkd;
    macpre(blk, 0);
    EXPECT_EQ(blk(257), c.gain);
    EXPECT_EQ(blk(258), c.inv_scale);
    const double yf = c.xf < 1e-6 ? 1e6 : 1.0 / c.xf, yk = c.xkd < 1e-6 ? 1e6 : 1.0 / c.xkd;
    const double xdpp = 0.13 + 1.0 / (1.0 / 0.79 + (yf + yk));
    EXPECT_NEAR(blk(263), 0.5 * 376.992 / (xdpp * 1.62), 1e-6 * blk(263));
  }
}

TEST_F(Machines, AdvancedTransformOfTheCaseGenerator) {
  const MachineBlock blk = case_block();
  const double want[6] = {24.17976, -12.48464, -11.69512, 0.4558329, 20.71237, -21.16821};
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(near_rel(blk(272 + i), want[i], 1e-6)) << 272 + i;
}

// xtrf2 is xtrf1 turned forward by x = w dt, for steps up to |x| < 1.
TEST_F(Machines, AdvancedTransformIsThePlainOneRotated) {
  const MachineBlock blk = case_block();
  std::mt19937 gen(20261207);
  std::uniform_real_distribution<double> u(-20.0, 20.0), step(-1.0, 1.0);
  for (int trial = 0; trial < 200; ++trial) {
    const double x = step(gen);
    sttrf2(blk, x / mtest::kW);
    const double a = u(gen), b = u(gen), c = u(gen);
    double a0 = 0, b0 = 0, a1 = 0, b1 = 0;
    xtrf1(blk, a, b, c, a0, b0);
    xtrf2(blk, a, b, c, a1, b1);
    const double scale = std::hypot(a0, b0) + 1e-300;
    EXPECT_NEAR(a1, a0 * std::cos(x) - b0 * std::sin(x), 1e-12 * scale) << x;
    EXPECT_NEAR(b1, a0 * std::sin(x) + b0 * std::cos(x), 1e-12 * scale) << x;
  }
}

// (zone inverse) x (zone matrix) = I for every zone of a saturated curve, and
// the same for the q axis with one and with two rotor circuits.
TEST_F(Machines, InverseMatricesTimesTheirMatricesAreIdentity) {
  SyncMachineData m = case_data();
  m.sat_x = {0.0, 1.0, 1.5, 2.0, 3.0, -1.0};
  m.sat_y = {0.0, 1.0, 1.3, 1.45, 1.6};
  const MachineBlock blk = case_block(m);
  ASSERT_EQ(blk(kZoneCount), 5.0);
  blk(kXkf) = 0.004;  // a mutual leakage makes every element count
  smtdis(blk);
  auto check = [](const double A[3][3], const double inv[6], const std::string& what) {
    const double M[3][3] = {{inv[0], inv[1], inv[2]}, {inv[1], inv[3], inv[4]}, {inv[2], inv[4], inv[5]}};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        double s = 0.0;
        for (int k = 0; k < 3; ++k) s += M[i][k] * A[k][j];
        EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-12) << what << " " << i << j;
      }
  };
  const double Xa = 0.13, Xf = blk(kXf), Xkd = blk(kXkd), Xkf = 0.004;
  for (int j = 1; j <= 5; ++j) {
    const double x = blk(zone_s(j));
    const double A[3][3] = {{Xa + x, x, x}, {x, Xf + Xkf + x, Xkf + x}, {x, Xkf + x, Xkd + Xkf + x}};
    double inv[6];
    for (int i = 0; i < 6; ++i) inv[i] = blk(zone_inverse(j) + i);
    check(A, inv, "zone " + std::to_string(j));
  }
  const double Xmq = 0.38, X1 = blk(kXkq1), X2 = blk(kXkq2), X46 = 0.01;
  blk(kXkfQ) = X46;
  smtqi(blk);
  const double Q[3][3] = {
      {Xa + Xmq, Xmq, Xmq}, {Xmq, X1 + X46 + Xmq, X46 + Xmq}, {Xmq, X46 + Xmq, X2 + X46 + Xmq}};
  double q[6];
  for (int i = 0; i < 6; ++i) q[i] = blk(kQ11 + i);
  check(Q, q, "q axis");
  blk(kTwoQCircuits) = 0.0;
  smtqi(blk);
  EXPECT_EQ(blk(kQ13), 0.0);
  EXPECT_EQ(blk(kQ23), 0.0);
  EXPECT_EQ(blk(kQ33), 0.0);
  const double a = Xa + Xmq, d = X1 + Xmq;
  EXPECT_NEAR(blk(kQ11) * a + blk(kQ12) * Xmq, 1.0, 1e-12);
  EXPECT_NEAR(blk(kQ11) * Xmq + blk(kQ12) * d, 0.0, 1e-12);
  EXPECT_NEAR(blk(kQ12) * Xmq + blk(kQ22) * d, 1.0, 1e-12);
}

// Zero sequence: L0 = La + 3 Ln, b = dt R0; a step longer than the branch time
// constant takes L = b, so c = 1/2 and the decay factor is 1/3.
TEST_F(Machines, ZeroSequenceConstants) {
  const MachineBlock blk = case_block();
  const double Zb = 1.62, w = 376.992, La = 0.13 * Zb / w, R0 = case_ra() * Zb;
  const double b = mtest::kDt * R0, c = 0.5 * b / La;
  EXPECT_NEAR(blk(312), mtest::kDt / (3.0 * La * (1.0 + c)), 1e-9 * blk(312));
  EXPECT_NEAR(blk(313), (1.0 - c) / (1.0 + c), 1e-14);
  EXPECT_EQ(blk(314), 0.0);
  EXPECT_EQ(blk(315), 0.0);
  blk(kRa) = 1.0E4;  // R0 dt far above La
  blk(kNeutralR) = -1.0;
  setzro(blk, mtest::kDt);
  EXPECT_NEAR(blk(313), 1.0 / 3.0, 1e-15);
  EXPECT_NEAR(blk(314), (1.0 / 3.0) * (mtest::kDt * 1.0E4 * Zb - La) / (mtest::kDt * 1.0E4 * Zb), 1e-14);
  // No inductance and no resistance at all: the floor keeps the constants finite.
  blk(kRa) = blk(kXa) = blk(kNeutralR) = blk(kNeutralX) = 0.0;
  setzro(blk, mtest::kDt);
  for (int k = 312; k <= 315; ++k) EXPECT_TRUE(std::isfinite(blk(k))) << k;
  EXPECT_EQ(blk(313), 1.0);
}

TEST_F(Machines, SetUpRefusals) {
  struct Case {
    std::string text;
    void (*spoil)(const MachineBlock&);
  };
  const std::vector<Case> cases = {
      {"Time step too long for the machine: dt times w must be below pi/2",
       [](const MachineBlock& blk) { sttrf2(blk, 1.5708 / 376.992); }},
      {"The d-axis inductance matrix of a saturation zone is singular",
       [](const MachineBlock& blk) {
         blk(kXa) = blk(kXf) = blk(kXkd) = blk(kXkf) = 0.0;
         smtdis(blk);
       }},
      {"The q-axis inductance matrix is singular",
       [](const MachineBlock& blk) {
         blk(kXa) = blk(kXkq1) = blk(kXkq2) = blk(kXkfQ) = 0.0;
         smtqi(blk);
       }},
      {"The q-axis inductance matrix is singular",
       [](const MachineBlock& blk) {
         blk(kTwoQCircuits) = 0.0;
         blk(kXa) = blk(kXkq1) = 0.0;
         smtqi(blk);
       }},
  };
  for (const Case& c : cases) {
    TearDown();  // a stop releases the case-sized arrays
    SetUp();
    const MachineBlock blk = case_block();
    const wakro_test::Outcome o = wakro_test::run_captured([&] { c.spoil(blk); });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(o.console.substr(0, c.text.size() + 12), " ***ERROR** " + c.text) << o.console;
    EXPECT_NE(o.console.find("Abnormal termination of WAKRO by SYNC_MACHINE"), std::string::npos);
  }
  // Just below pi/2 is accepted.
  TearDown();
  SetUp();
  const MachineBlock blk = case_block();
  EXPECT_EQ(wakro_test::run_captured([&] { sttrf2(blk, 1.5 / 376.992); }).status, -1);
}

// A linear machine turning at w with constant axis currents and no damper
// currents: vd = w psiq + w R id, vq = w R iq - w psid and the field voltage
// w Rf ifd make every increment zero, step after step.
TEST_F(Machines, SolverHoldsAnExactSteadyState) {
  const MachineBlock blk = case_block();  // the linear curve: psi_m = Xmd im
  const double w = 376.992, Xa = 0.13, Xmd = 0.79, Xmq = 0.38, R = case_ra();
  const MachineCurrents s0{-0.6, 2.1, 0.0, -0.7, 0.0, 0.0};
  const double psid = Xa * s0.id + Xmd * (s0.id + s0.ifd), psiq = (Xa + Xmq) * s0.iq;
  const double vd = w * psiq + w * R * s0.id, vq = w * R * s0.iq - w * psid;
  const double efd = w * blk(kRf) * s0.ifd / blk(kFieldVoltageScale);
  const double k = blk(kTransform);
  MachineCurrents s = s0;
  double theta = 0.4;
  for (int step = 0; step < 50; ++step) {
    const double alpha = vd * std::cos(theta) + vq * std::sin(theta);
    const double beta = vd * std::sin(theta) - vq * std::cos(theta);
    const double a = alpha / (1.5 * k), bc = 2.0 * beta / (1.7320508075688772 * k);
    const double theta1 = theta + w * mtest::kDt;
    const StepResult r = macslv(blk, a, (-a + bc) / 2.0, (-a - bc) / 2.0, efd, 1.0, mtest::kDt, w, theta, theta1, s);
    const double moved[6] = {r.next.id - s.id,  r.next.ifd - s.ifd,   r.next.ikd - s.ikd,
                             r.next.iq - s.iq,  r.next.ikq1 - s.ikq1, r.next.ikq2 - s.ikq2};
    for (double d : moved) ASSERT_LT(std::fabs(d), 1e-9) << "step " << step;
    EXPECT_NEAR(r.vd, vd, 1e-9 * std::fabs(vd));
    EXPECT_NEAR(r.vq, vq, 1e-9 * std::fabs(vq));
    s = r.next;
    theta = theta1;
  }
  EXPECT_NEAR(blk(kVdPerOmega), vd / w, 1e-9);
  EXPECT_NEAR(blk(kFieldVoltagePerOmega), w * blk(kRf) * s0.ifd / w, 1e-12);
  // All-zero inputs and state: nothing moves.
  const StepResult z = macslv(blk, 0, 0, 0, 0, 1.0, mtest::kDt, w, 0.3, 0.32, MachineCurrents{});
  for (double v : {z.next.id, z.next.ifd, z.next.ikd, z.next.iq, z.next.ikq1, z.next.ikq2, z.vd, z.vq})
    EXPECT_EQ(v, 0.0);
}

// One evaluation by hand on the q axis with one circuit: the second q damper
// never moves, and the increments are h Q s.
TEST_F(Machines, OneCircuitQAxisEvaluation) {
  const MachineBlock blk = case_block();
  blk(kTwoQCircuits) = 0.0;
  smtqi(blk);
  const MachineCurrents s{0.1, 1.0, 0.02, -0.3, 0.05, 0.7};
  const double w = 376.992, h = 1e-4;
  const Evaluation e = dltcrt(blk, s, 5.0, -3.0, 0.2, 1.0, 0.0, w, h);
  EXPECT_EQ(e.vd, 5.0);
  EXPECT_EQ(e.vq, 3.0);
  EXPECT_EQ(e.delta.ikq2, 0.0);
  const double psid = 0.13 * 0.1 + 0.79 * 1.12;
  const double s1 = w * psid + 3.0 - blk(kOmegaRa) * s.iq, s2 = -blk(kOmegaRkq1) * s.ikq1;
  EXPECT_NEAR(e.delta.iq, h * (blk(kQ11) * s1 + blk(kQ12) * s2), 1e-13);
  EXPECT_NEAR(e.delta.ikq1, h * (blk(kQ12) * s1 + blk(kQ22) * s2), 1e-13);
}

}  // namespace

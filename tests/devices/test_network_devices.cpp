// Devices run through the network solution, against hand-solved circuits:
//   a 1 kA DC current source into 10 ohm gives 10 kV;
//   an interface branch of 10 ohm whose model injects 0.5 kA across 100 ohm
//   gives 50 kV (the model's current, not 0.5 x (10 || 100) = 4.545 kV);
//   a direct addition of 2 S between nodes 1 and 2 (node 2 to ground through
//   1 ohm, 1 kA into node 1) gives V1 = 1.5 kV, V2 = 1 kV, the same as a 0.5 ohm
//   branch; with 0.5 S more from node 1 to ground V1 = 3/3.5, V2 = 2/3.5 kV;
//   a 10 kV (line to line) 50 Hz source into a resistive load of 30 MW and a
//   capacitive load of 20 Mvar draws them, scaled by the square of the voltage the
//   loads see.
#include <array>
#include <cmath>

#include "device_fixture.h"
#include "devices/addgm.h"
#include "devices/current_sources.h"
#include "devices/loads.h"
#include "network/companion.h"
#include "devices/voltage_sources.h"

namespace {

using nettest::rel;

class NetworkDevices : public devtest::Devices {};

TEST_F(NetworkDevices, CurrentSourceIntoTenOhmGivesTenKilovolt) {
  size(1, 2);
  const std::int32_t src = empty_branch(0, 1);
  add_branch(1, 1, 0, 10.0, 0.0, 0.0);
  devices([&] {
    if (e_s1::timezero) {
      rt_config::nrtcf = rt_config::nrtci = 1;
      current_source1_cfg(0, 1.0, 0.0, 0.0, 0.0);
      rt_config::nrtcf = rt_config::nrtci = 1;
    }
    current_source1_exe(src, 1);
  });
  start_run(10);
  for (int k = 0; k < 10; ++k) {
    step();
    ASSERT_LT(rel(v(1), 10.0), 1e-12) << "step " << k;
  }
  EXPECT_TRUE(branches::defrdbr(src, 1));
  EXPECT_EQ(branches::geq(src, 1), 0.0);
  EXPECT_EQ(harmimp::harm_num, 1);
}

TEST_F(NetworkDevices, InterfaceBranchInjectsTheModelsCurrent) {
  size(1, 2);
  const std::int32_t ifb = empty_branch(0, 1);
  add_branch(1, 1, 0, 100.0, 0.0, 0.0);
  intfc_brnch1_cfg(1, ifb, 10.0);
  devices([&] {
    branches::ccbr(ifb, 1) = 0.5;
    intfc_brnch1_exe(1, ifb);
  });
  // The correction uses the branch voltage of the last solution, so each step
  // takes V - 50 to (0.1 / 0.11) (V - 50): after 300 steps 50 kV within 1e-12.
  start_run(300);
  double previous = 0.0;
  for (int k = 0; k < 300; ++k) {
    step();
    if (k > 0) {
      ASSERT_NEAR(v(1) - 50.0, (previous - 50.0) / 1.1, 1e-9) << "step " << k;
    }
    previous = v(1);
  }
  EXPECT_LT(rel(v(1), 50.0), 1e-11);
  EXPECT_DOUBLE_EQ(branches::geq(ifb, 1), 0.1);
  EXPECT_EQ(harmimp::branch_r(ifb, 1), 1.0);
}

// Solves the two-node case of the header with the coupling given either way.
struct TwoNodes {
  double v1, v2;
};

class DirectAddition : public devtest::Devices {
 protected:
  TwoNodes solve(bool direct, double y11) {
    size(2, 3);
    const std::int32_t src = empty_branch(0, 1);
    add_branch(1, 2, 0, 1.0, 0.0, 0.0);
    if (!direct) add_branch(1, 1, 2, 0.5, 0.0, 0.0);
    current_source2_cfg(src, 1);
    static constexpr std::array<std::int32_t, 2> nodes{1, 2};
    const std::array<double, 3> y{y11, 2.0, 0.0};
    devices([&, y, src] {
      if (direct) wakro_addgm(3, 2, 1, nodes.data(), y.data());
      current_source2_exe(src, 1, 0.0, 1.0);
    });
    start_run(3);
    for (int k = 0; k < 3; ++k) step();
    return {v(1), v(2)};
  }
};

TEST_F(DirectAddition, GivesTheNodeVoltagesOfTheEquivalentBranch) {
  const TwoNodes d = solve(true, 0.0);
  EXPECT_NEAR(d.v1, 1.5, 1e-12);
  EXPECT_NEAR(d.v2, 1.0, 1e-12);
  release_all_and_reset();
  const TwoNodes b = solve(false, 0.0);
  EXPECT_LT(rel(d.v1, b.v1), 1e-12);
  EXPECT_LT(rel(d.v2, b.v2), 1e-12);
}

TEST_F(DirectAddition, GroundAdmittanceEntersTheDiagonal) {
  const TwoNodes d = solve(true, 0.5);
  EXPECT_NEAR(d.v1, 3.0 / 3.5, 1e-12);
  EXPECT_NEAR(d.v2, 2.0 / 3.5, 1e-12);
}

TEST_F(DirectAddition, WrongLengthIsFatalAndLateCallsChangeNothing) {
  size(2, 1);
  empty_branch(1, 2);
  const std::array<std::int32_t, 2> nodes{1, 2};
  const std::array<double, 5> y{};
  e_s1::timezero = false;
  const double before = e_s0::assign_gm_ptr(1)(1, 2);
  wakro_addgm(5, 2, 1, nodes.data(), y.data());  // after time zero: nothing
  EXPECT_EQ(e_s0::assign_gm_ptr(1)(1, 2), before);
  e_s1::timezero = true;
  const auto out = nettest::capture([&] { wakro_addgm(5, 2, 1, nodes.data(), y.data()); });
  EXPECT_NE(out.status, -1);
  EXPECT_NE(out.text.find("***WARN*** dimension mismatch"), std::string::npos);
  EXPECT_NE(out.text.find("WAKRO_ADD_GM"), std::string::npos);
}

TEST_F(DirectAddition, RunTimeAdditionLowersTheMarkerToTheSmallestNode) {
  size(9, 1);
  empty_branch(3, 9);
  buildgm();
  e_s8::mxinv(1) = 10;
  const std::array<std::int32_t, 3> nodes{9, 0, 3};
  const std::array<double, 6> y{0.0, 0.0, 0.0, 0.0, 1.0, 0.0};
  wakro_addgm2(6, 3, 1, nodes.data(), y.data());
  EXPECT_EQ(e_s8::mxinv(1), 3);
  e_s8::mxinv(1) = 1;
  wakro_addgm2(6, 3, 1, nodes.data(), y.data());
  EXPECT_EQ(e_s8::mxinv(1), 1);  // never raised
}

// Per phase: R = V^2 / P = 100 / 30 x 3 ... wye: each branch R = V^2/P = 10/3 ohm
// takes P / 3 at V/sqrt3; C = Q 1e6 / (2 pi f V^2) = 636.6 uF takes Q / 3. The
// trapezoidal capacitor's admittance at 50 Hz is off by (w dt)^2 / 12 = 2e-5.
// The source has 0.01 ohm per phase, which damps the start within a few steps;
// powers are averaged over the 8th cycle (400 steps) and compared with the
// rating times (V_node / V_rated)^2.
TEST_F(NetworkDevices, ThreePhaseSourceIntoLoadsDrawsTheRatedPowers) {
  constexpr double kV = 10.0, kP = 30.0, kQ = 20.0, kF = 50.0;
  constexpr double kW = 2.0 * 3.141592653589793 * kF;
  size(3, 9);
  std::array<std::int32_t, 3> s{}, r{}, c{};
  for (int p = 0; p < 3; ++p) s[p] = add_branch(1, 0, p + 1, 0.01, 0.0, 0.0);
  for (int p = 0; p < 3; ++p) r[p] = empty_branch(p + 1, 0);
  for (int p = 0; p < 3; ++p) c[p] = empty_branch(p + 1, 0);
  resload_cfg(1, r[0], r[1], r[2], 0, kP, kV);
  capload_cfg(1, c[0], c[1], c[2], 0, kQ, kV, kF);
  EXPECT_DOUBLE_EQ(1.0 / branches::geq(r[0], 1), 10.0 / 3.0);
  EXPECT_NEAR(harmimp::branch_c(c[0], 1), kQ / (kW * kV * kV), 1e-15);
  const double peak = std::sqrt(2.0) * kV / std::sqrt(3.0);
  devices([&] { wakro_3phvsrc(1, s[0], s[1], s[2], 0.0, 1, peak, kW, 0.0); });
  const int period = 400;
  start_run(8 * period + 1);
  for (int k = 0; k < 7 * period; ++k) step();
  double p_sum = 0.0, q_sum = 0.0, v2_sum = 0.0;
  for (int k = 0; k < period; ++k) {
    step();
    const double va = v(1), vb = v(2), vc = v(3);
    p_sum += va * i(r[0]) + vb * i(r[1]) + vc * i(r[2]);
    // Three-phase reactive power from line voltages and phase currents.
    q_sum += ((vb - vc) * i(c[0]) + (vc - va) * i(c[1]) + (va - vb) * i(c[2])) / std::sqrt(3.0);
    v2_sum += (va * va + vb * vb + vc * vc) / 3.0;
  }
  const double scale = 3.0 * (v2_sum / period) / (kV * kV);  // (V_node / V_rated)^2
  EXPECT_LT(rel(p_sum / period, kP * scale), 1e-4);
  EXPECT_LT(rel(std::abs(q_sum / period), kQ * scale), 1e-3);
  EXPECT_LT(std::abs(scale - 1.0), 1e-2);
}

TEST_F(NetworkDevices, RegistryListsTheBranchRecordsOfTheBeginPass) {
  size(2, 4);
  const std::int32_t a = empty_branch(1, 0);
  const std::int32_t b = empty_branch(2, 0);
  const std::int32_t c = empty_branch(1, 2);
  e_s1::timezero = true;
  rcbranch(1, a, 100.0, 1.0);
  intfc_brnch1_cfg(1, b, 10.0);
  current_source2_cfg(c, 1);
  ASSERT_EQ(harmimp::harm_num, 3);
  const std::array<std::int32_t, 3> br{a, b, c};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(harmimp::harm_type(k), 9);
    EXPECT_EQ(harmimp::harm_ss(k), 1);
    EXPECT_EQ(harmimp::harm_node(k, 1), br[k - 1]);
    EXPECT_EQ(harmimp::harm_node(k, 2), 0);
  }
  // R = 100, C = 1 uF, dt = 50 us: R_C = 25 ohm.
  EXPECT_DOUBLE_EQ(branches::geq(a, 1), 0.008);
  EXPECT_DOUBLE_EQ(branches::g2c(a, 1), 0.04);
  EXPECT_DOUBLE_EQ(branches::rcg(a, 1), 0.2);
  EXPECT_DOUBLE_EQ(branches::rsl(a, 1), 20.0);
  EXPECT_DOUBLE_EQ(harmimp::branch_c(a, 1), 1e-6);
  EXPECT_DOUBLE_EQ(e_s0::assign_gm_ptr(1)(1, 1), 0.008);
  e_s1::timezero = false;
  rcbranch(1, a, 50.0, 0.0);  // after time zero: nothing
  EXPECT_EQ(harmimp::harm_num, 3);
  EXPECT_DOUBLE_EQ(branches::geq(a, 1), 0.008);
}

TEST_F(NetworkDevices, FullRegistryKeepsItsRecordsAndWarnsOnce) {
  size(1, 2);
  const std::int32_t a = empty_branch(1, 0);
  harmimp::harm_num = harmimp::kMaxRecords - 1;
  e_s1::timezero = true;
  const auto out = nettest::capture([&] {
    rcbranch(1, a, 100.0, 0.0);
    rcbranch(1, a, 100.0, 0.0);
    rcbranch(1, a, 100.0, 0.0);
  });
  EXPECT_EQ(harmimp::harm_num, harmimp::kMaxRecords);
  EXPECT_EQ(harmimp::harm_node(harmimp::kMaxRecords, 1), a);
  EXPECT_EQ(out.text, " ***WARN*** Harmonic impedance registry full: further records are not kept\n");
}

}  // namespace

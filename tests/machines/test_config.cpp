// The three-phase machine's configuration: syncmc3p0_cfg's outputs and checks,
// syncmc3p2_cfg's record for the case generator, its refusals, the copy of the
// record into the block, and the load-flow start value.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "machine_fixture.h"
#include "machines/macdat.h"

namespace {

using namespace wakro::machines;
using mtest::Machines;
using mtest::near_rel;
using rt_config::rtcf;
using rt_config::rtci;

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(Machines, CaseGeneratorArmatureData) {
  double ra = 0.0, xpa = 0.0, out17 = 0.0;
  const wakro_test::Outcome o = wakro_test::run_captured([&] {
    syncmc3p0_cfg(0, 0, 2, mtest::kW, 0.332, 0.13, 1.0, 0.92, 0.135, 0.169, 1.0E-6, 0.51, 0.2, 0.228, ra, xpa,
                  out17);
  });
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.console, "");
  EXPECT_TRUE(near_rel(ra, 1.2878899e-3, 1e-7));
  EXPECT_EQ(xpa, 0.13);
  EXPECT_EQ(out17, 1.0E6);
  // Armature resistance given; the reciprocal asked for.
  syncmc3p0_cfg(1, 1, 2, mtest::kW, 0.004, 0.1, 1.3, 0.92, 0.135, 0.169, 4.0, 0.51, 0.2, 0.228, ra, xpa, out17);
  EXPECT_EQ(ra, 0.004);
  EXPECT_NEAR(xpa, 0.13, 1e-15);
  EXPECT_EQ(out17, 0.25);
}

// Every failed check sends its text, in check order; then one stop.
TEST_F(Machines, ReactanceOrderChecksReportAllThenStopOnce) {
  struct Case {
    int nq;
    double xd, xdpp, xdp, xq, xqpp, xqp;
    std::vector<std::string> texts;
    bool damped = false;  // the pair with the internal damping branch
  };
  const std::vector<Case> cases = {
      {2, 0.169, 0.12, 0.169, 0.51, 0.2, 0.228,
       {"Xp*AGFC must be less than Xd\"", "Xd should be greater than Xd'"}},
      {2, 0.92, 0.135, 0.169, 0.2, 0.3, 0.228,
       {"Xq should not be less than Xq'", "Xq' should be greater than Xq\""}},
      {1, 0.92, 0.169, 0.169, 0.2, 0.2, 0.0, {"Xq should be greater than Xq\"", "Xd' should be greater than Xd\""}},
  };
  for (const Case& c : cases) {
    TearDown();  // a stop releases the case-sized arrays
    SetUp();
    double ra = 0.0, xpa = 0.0, out17 = 0.0;
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      syncmc3p0_cfg(1, 0, c.nq, mtest::kW, 0.003, 0.13, 1.0, c.xd, c.xdpp, c.xdp, 1.0, c.xq, c.xqpp, c.xqp, ra, xpa,
                    out17);
    });
    EXPECT_EQ(o.status, 2000);
    std::string expected;
    for (const std::string& t : c.texts) expected += " ***ERROR** " + t + "\n";
    EXPECT_EQ(o.console.substr(0, expected.size()), expected) << o.console;
    EXPECT_EQ(count_of(o.console, "***ERROR**"), c.texts.size());
    EXPECT_EQ(count_of(o.console, "ERROR: Abnormal termination of WAKRO by SYNC_MACHINE\n"), 1u) << o.console;
    EXPECT_EQ(rt_config::nrtci, 1);
    EXPECT_EQ(rt_config::nrtcf, 1);
  }
}

TEST_F(Machines, CaseGeneratorRecord) {
  const SyncMachineData m = case_data();
  const wakro_test::Outcome o = wakro_test::run_captured([&] { syncmc3p2_cfg(m); });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(rt_config::nrtci, 11);
  EXPECT_EQ(rt_config::nrtcf, 101);
  const std::vector<int> ints = {1, 2, 1, 2, 1, 1, 1, 1, 1, 1};  // the linear curve keeps two points
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(rtci(i), ints[i - 1]) << i;
  const std::vector<double> circuit = {0.79,      5.126414e-4, 4.102530e-2, 3.708243e-3, 5.735294e-3, 0.0,
                                       0.38,      1.597964e-3, 0.1320567,   1.819667e-2, 0.245,       0.0};
  for (int i = 0; i < 12; ++i) {
    if (circuit[i] == 0.0)
      EXPECT_EQ(rtcf(11 + i), 0.0) << 11 + i;
    else
      EXPECT_TRUE(near_rel(rtcf(11 + i), circuit[i], 1e-6)) << 11 + i;
  }
  const std::vector<std::pair<int, double>> entries = {
      {1, 6.415},  {2, 10.3923}, {3, 376.992}, {6, 4.0},  {7, 0.001}, {9, 0.13}, {10, 300.0}, {23, 0.92},
      {29, 1.0E6}, {34, 0.85},   {39, 376.992}, {40, 1.0}, {42, 0.815}, {43, 0.1}, {44, 0.1},  {45, 100.0},
      {46, 0.2},   {48, 1.0},    {49, -1.0},   {58, 1.0}, {99, 20.0}, {100, 10.0}};
  for (const auto& [k, v] : entries) EXPECT_EQ(rtcf(k), v) << k;
  EXPECT_NEAR(rtcf(8), case_ra(), 1e-18);
  // The linear curve: zone 1 from 0, zone 2 from the second point, both of slope Xmd.
  EXPECT_NEAR(rtcf(68), 1.4142135623730951 / 0.79, 1e-14);
  EXPECT_NEAR(rtcf(78), 1.4142135623730951, 1e-15);
  EXPECT_NEAR(rtcf(87), 0.79, 1e-14);
  EXPECT_NEAR(rtcf(88), 0.79, 1e-14);
  for (int k = 69; k <= 76; ++k) EXPECT_EQ(rtcf(k), 0.0) << k;
  // Start-up source behind the fitted impedance: R = 1.0107575e-3, X = -1.43002e-4.
  double E = 0.0, delta = 0.0;
  e_findva(0.815, 0.1, 1.0, 0.0, 1.0107575e-3, -1.43002e-4, E, delta);
  EXPECT_NEAR(rtcf(97), E * 10.3923, 1e-9);
  EXPECT_NEAR(rtcf(98), delta, 1e-9);
}

TEST_F(Machines, RecordFloorsModesAndEquivalentCircuitForm) {
  SyncMachineData m = case_data();
  m.shunt_r = 50.0;
  m.release_time = -2.0;
  m.trim_time = 0.01;
  m.start_mode = 2;
  m.v_or_angle = 0.5;
  m.angle_or_id = -0.2;
  m.p_or_iq = -0.3;
  m.q_or_ifd = 1.7;
  m.speed_pu = 0.99;
  m.source_magnitude = 1.02;
  m.source_angle = 0.25;
  m.data_form = 0;
  m.q_circuits = 1;
  m.d = {0.79, 5e-4, 0.04, 4e-3, 6e-3, 0.0, 0.38};  // the seventh value is Xmq
  m.q = {1.6e-3, 0.13, 0.018, 0.245, 0.0};
  syncmc3p2_cfg(m);
  EXPECT_EQ(rtci(1), 0);
  EXPECT_EQ(rtci(3), 0);
  EXPECT_EQ(rtcf(10), 66.7);
  EXPECT_EQ(rtcf(44), 0.0);
  EXPECT_EQ(rtcf(46), 0.05);
  const std::vector<std::pair<int, double>> entries = {
      {11, 0.79},  {17, 0.38},   {18, 1.6e-3}, {19, 0.13}, {20, 1.0E6}, {21, 1.0E6}, {22, 1.0E6}, {23, 1.0E6},
      {34, 1.0E6}, {35, 0.5},   {36, -0.2},   {37, -0.3}, {38, 1.7},   {40, 1.0E6},  {43, 1.0E6}, {98, 0.25}};
  for (const auto& [k, v] : entries) EXPECT_EQ(rtcf(k), v) << k;
  EXPECT_NEAR(rtcf(39), 0.99 * mtest::kW, 1e-12);
  EXPECT_NEAR(rtcf(97), 1.02 * mtest::kVb, 1e-12);
  // Any other mode: the terminal voltage is the source.
  rt_config::nrtci = rt_config::nrtcf = 1;
  m = case_data();
  m.start_mode = 3;
  m.v_or_angle = 1.05;
  m.angle_or_id = 0.4;
  syncmc3p2_cfg(m);
  EXPECT_EQ(rtci(3), 1);
  EXPECT_NEAR(rtcf(97), 1.05 * mtest::kVb, 1e-12);
  EXPECT_EQ(rtcf(98), 0.4);
}

TEST_F(Machines, InertiaTooLowIsAWarningOnly) {
  SyncMachineData m = case_data();
  m.inertia = 0.0;
  const wakro_test::Outcome o = wakro_test::run_captured([&] { syncmc3p2_cfg(m); });
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.console, " ***WARN*** Inertia too low\n");
  EXPECT_EQ(rt_config::nrtcf, 101);
  EXPECT_EQ(rtcf(6), 0.0);
}

TEST_F(Machines, ConfigurationRefusalsAppendNothing) {
  struct Case {
    std::function<void(SyncMachineData&)> change;
    std::vector<std::string> texts;
    bool damped = false;  // the pair with the internal damping branch
  };
  const std::vector<Case> cases = {
      {[](SyncMachineData& m) { m.rated_current = 0.0; }, {"The rated current must be positive"}},
      {[](SyncMachineData& m) {
         m.rated_voltage = -1.0;
         m.w = 0.0;
       },
       {"The rated voltage must be positive", "The rated angular frequency must be positive"}},
      {[](SyncMachineData& m) { m.q_circuits = -2147483647 - 1; },
       {"The number of q-axis circuits must be 1 or 2, not -2147483648"}},
      {[](SyncMachineData& m) { m.monitor[2] = 376; }, {"Monitor slot 376 must lie in 1 .. 375"}},
      {[](SyncMachineData& m) { m.monitor[0] = 0; }, {"Monitor slot 0 must lie in 1 .. 375"}},
      {[](SyncMachineData& m) { m.d.x_tr = 0.1; }, {"Xd data must satisfy Xa < Xd\" < Xd' < Xd"}},
      {[](SyncMachineData& m) { m.q.t_tr = 0.0; }, {"Tq0\" and Tq0' must be positive"}},
      {[](SyncMachineData& m) { m.sat_x = {0.0, 1.0, 0.5, -1.0}; }, {"Saturation curve: x must rise strictly"}},
      // Any argument that is not a finite number, alone, by the name its form gives it.
      {[](SyncMachineData& m) {
         m.inertia = std::nan("");
         m.rated_voltage = -HUGE_VAL;
         m.rc_time_factor = HUGE_VAL;
         m.q_or_ifd = std::nan("");
         m.w = 0.0;
       },
       {"The rated voltage is not a finite number", "The inertia is not a finite number",
        "The load-flow Q is not a finite number", "The R-C time constant factor is not a finite number", ""}},
      {[](SyncMachineData& m) {
         m.d.x_sub = -HUGE_VAL;
         m.sat_y[3] = std::nan("");
         m.rc_resistance = std::nan("");  // not used by this pair
       },
       {"Xd\" is not a finite number", "The saturation curve y(4) is not a finite number", ""}, true},
      {[](SyncMachineData& m) {
         m.data_form = 0;
         m.start_mode = 2;
         m.q.t_tr = HUGE_VAL;
         m.v_or_angle = std::nan("");
       },
       {"Xkf of the q axis is not a finite number", "The initial angle is not a finite number", ""}, true},
  };
  for (const Case& c : cases) {
    TearDown();  // a stop releases the case-sized arrays
    SetUp();
    SyncMachineData m = case_data();
    c.change(m);
    const wakro_test::Outcome o = wakro_test::run_captured([&] { c.damped ? syncmc3p1_cfg(m) : syncmc3p2_cfg(m); });
    EXPECT_EQ(o.status, 2000);
    std::string expected;  // an empty text last: these lines alone
    for (const std::string& t : c.texts) expected += t.empty() ? "" : " ***ERROR** " + t + "\n";
    EXPECT_EQ(o.console.substr(0, expected.size()), expected) << o.console;
    if (c.texts.back().empty()) {
      EXPECT_EQ(count_of(o.console, "***ERROR**"), c.texts.size() - 1) << o.console;
    }
    EXPECT_EQ(count_of(o.console, "Abnormal termination of WAKRO by SYNC_MACHINE"), 1u);
    EXPECT_EQ(rt_config::nrtci, 1);
    EXPECT_EQ(rt_config::nrtcf, 1);
  }
}

TEST_F(Machines, ConfigurationRecordCopiedIntoTheBlock) {
  SyncMachineData m = case_data();
  m.sat_x = {0.0, 1.0, 2.0, -1.0};
  m.sat_y = {0.0, 1.0, 1.5};
  syncmc3p2_cfg(m);
  rt_config::nrtci = rt_config::nrtcf = 1;
  e_s2::nexc = 3;
  const MachineBlock blk = current_machine_block();
  EXPECT_EQ(blk.index(1), 4);
  macdat1_cfg(blk);
  EXPECT_EQ(e_s2::nexc, 3);
  EXPECT_EQ(rt_config::nrtci, 1);
  EXPECT_EQ(rt_config::nrtcf, 1);
  const std::vector<std::pair<int, double>> slots = {
      {11, 1.0},   {12, 1.0},    {13, 1.0},     {16, 6.415}, {17, 10.3923}, {18, 376.992}, {21, 4.0},
      {22, 0.001}, {27, 0.13},   {28, 300.0},   {31, 0.79},  {41, 0.38},    {51, 0.92},    {55, 4.3},
      {57, 1.0E6}, {61, 0.51},   {65, 0.85},    {66, 1.0E6}, {71, 0.0},     {72, 0.0},     {73, 1.0},
      {74, 1.0},   {75, 2.0},    {76, 1.5},     {77, -1.0},  {91, 3.0},     {165, 376.992}, {166, 1.0},
      {168, 0.815}, {169, 0.1},  {170, 100.0},  {171, 0.2},  {172, 0.1}};
  for (const auto& [k, v] : slots) EXPECT_EQ(blk(k), v) << k;
  EXPECT_EQ(blk(26), case_ra());
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(blk(100 + k), rtcf(66 + k));
    EXPECT_EQ(blk(120 + k), rtcf(76 + k));
    EXPECT_EQ(blk(140 + k), rtcf(86 + k));
  }
  for (int k = 161; k <= 164; ++k) EXPECT_EQ(blk(k), rtcf(k - 126)) << k;
  EXPECT_EQ(e_s2::stor(4 + 10), 1.0);  // slot 11 of a block that starts after nexc = 3
}

TEST_F(Machines, LoadFlowStartValueKeptInTwoReals) {
  double mag = 0.0, ang = 0.0;
  e_cpfsync(1.0, 0.0, 1.0, 0.0, 2.0, mag, ang);
  EXPECT_EQ(storage::nstorf, 3);
  double E = 0.0, delta = 0.0;
  e_findva(1.0, 0.0, 1.0, 0.0, startup_resistance(mtest::kDt), startup_reactance(mtest::kDt), E, delta);
  EXPECT_NEAR(startup_resistance(mtest::kDt), 1.0107575e-3, 1e-12);
  EXPECT_NEAR(startup_reactance(mtest::kDt), -1.43002e-4, 1e-12);
  EXPECT_EQ(mag, 2.0 * E);
  EXPECT_EQ(ang, delta);
  // After time zero the stored values come back whatever the inputs.
  e_s1::timezero = false;
  storage::nstorf = 1;
  double mag2 = 0.0, ang2 = 0.0;
  e_cpfsync(5.0, 5.0, 0.5, 1.0, 9.0, mag2, ang2);
  EXPECT_EQ(mag2, mag);
  EXPECT_EQ(ang2, ang);
  EXPECT_EQ(storage::nstorf, 3);
}

}  // namespace

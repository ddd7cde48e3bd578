// The single-routine synchronous machine: its records read from the module
// data file's "DATADSD:" section, the registry records of its phase nodes, the
// node injections at time zero, the hand-over steps of the source admittance,
// the stiff-source load-flow point against the branch form, the inertia
// refusal, and the node checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "devices/voltage_sources.h"
#include "files/linereader.h"
#include "files/units.h"
#include "model/e_s0.h"
#include "model/e_s8.h"
#include "model/fnames.h"
#include "model/harmimp.h"
#include "support/temp_dir.h"
#include "sync_net_fixture.h"

namespace {

using namespace wakro::machines;
using mtest::kDt;
using mtest::kIb;
using mtest::kVb;
using mtest::kW;
using mtest::near_rel;

constexpr double kBasePower = 3.0 * kIb * kVb;
constexpr double kV = 1.025, kAngle = 0.2, kP = 163.0, kQ = 5.0, kHandover = 2.0;

// The nine records of the case generator's machine at the load-flow point;
// `inertia` and `shunt` replace R3's and R4's values; R9's trim time is left
// empty (its default is 0.1).
std::string records(const std::string& inertia = "4.0", const std::string& shunt = "300") {
  std::ostringstream r;
  r.precision(17);
  r << "C machine G1\n"
    << "1 2 1\n"
    << "6.415 10.3923 376.992 0 0\n"
    << inertia << " 0.001\n"
    << 2.0 * 0.135 * 0.2 / ((0.135 + 0.2) * 0.332 * kW) << " 0.13 " << shunt << "\n"
    << "0.92 0.135 0.032 0.169 4.3 /\n"
    << "0.51 0.2 0.05 0.228 0.85 /\n"
    << "0 0 1 1 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    << kV << " " << kAngle << " " << kP / kBasePower << " " << kQ / kBasePower << "\n"
    << "0.1 100.0 /\n";
  return r.str();
}

class Newsnc : public mtest::MachineNet {
 protected:
  void SetUp() override {
    MachineNet::SetUp();
    ASSERT_TRUE(folder_.enter("wakro_newsnc_"));
  }
  void TearDown() override {
    wakro::close_all_units();
    folder_.leave();
    MachineNet::TearDown();
  }
  // The module data file with the records under "DATADSD:", opened there.
  static void module_file(const std::string& recs) {
    wakro_test::write_file("Gen.dta", "DATADSO:\n 7 7\nDATADSD:\n" + recs + "ENDPAGE:\n");
    fnames::filename = wakro::FixedText<72>("Gen.dta");
    wakro_openfile();
    fnames::section = "DATADSD:";
    wakro_gotosection();
  }
  // Three nodes with the stiff source of the load-flow point's voltage on
  // branches 1-3, or a 1 kOhm resistor from each node to ground.
  void network(bool stiff) {
    size(3, 3);
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, 0, k, stiff ? 1.0e-6 : 1000.0, 0.0, 0.0);
  }
  static NewsncIn inputs() {
    NewsncIn a;
    a.step = case_inputs();
    a.nodes = {1, 2, 3};
    double E = 0.0, delta = 0.0;
    e_findva(kP / kBasePower, kQ / kBasePower, kV, kAngle, startup_resistance(kDt), startup_reactance(kDt), E,
             delta);
    a.source_voltage = E * kVb;
    a.source_angle = delta;
    return a;
  }
  wakro_test::WorkFolder folder_;
};

TEST_F(Newsnc, ReadsItsRecordsFromTheDynamicsSectionAndEntersTheRegistry) {
  struct Case {
    std::array<std::int32_t, 3> nodes;
    std::string shunt;
    double k;
    std::int32_t records_per_node;
  };
  const std::vector<Case> cases = {{{1, 2, 3}, "300", 1.0, 2}, {{1, 0, 3}, "300", 2.0, 2}, {{2, 3, 1}, "1e12", 1.0, 1},
                                 {{1, 2, 3}, "300", 0.0, 0}};  // no machine: no infinite impedance
  for (const Case& c : cases) {
    release_all_and_reset();
    network(false);
    module_file(records("4.0", c.shunt));
    NewsncIn a = inputs();
    a.nodes = c.nodes;
    a.step.multiplier = c.k;
    harmimp::harm_num = 0;
    SyncStepOut out;
    models([&] { newsnc(a, out); });
    start_run(2);
    const wakro_test::Outcome o = wakro_test::run_captured([&] { step(); });
    ASSERT_EQ(o.status, -1) << o.console;
    // The block as the records fill it; the fields cut off by '/' (the fit
    // targets, q's sixth value, R9's trim time) at their defaults.
    const std::vector<std::pair<int, double>> slots = {{16, 6.415}, {17, 10.3923}, {18, 376.992}, {21, 4.0},
                                                       {22, 0.001}, {27, 0.13},    {31, 0.79},    {41, 0.38},
                                                       {170, 100.0}, {171, 0.1},   {172, 0.1},
                                                       {56, 1.0E6}, {57, 1.0E6},   {66, 1.0E6}};
    for (const auto& [k, v] : slots) EXPECT_NEAR(slot(k), v, 1e-12) << k;
    EXPECT_EQ(slot(kLastStep), kDt);
    EXPECT_TRUE(near_rel(slot(kDampBranchConductance), slot(kBaseAdmittance) / 21.0, 1e-15));
    EXPECT_TRUE(near_rel(slot(kDampBranchHistoryGain), 2.0 * slot(kBaseAdmittance) / 441.0, 1e-15));
    EXPECT_EQ(slot(kDampBranchFactor), 19.0 / 21.0);
    EXPECT_EQ(e_s2::nexc, kMachineBlockSize);
    // Per non-zero node a type-1 record 1/(2 slot 263 k), then a type-0 record
    // 1/(slot 262 k) when slot 262 >= 1e-10.
    std::int32_t r = 0;
    for (std::int32_t n : c.nodes) {
      if (n == 0 || c.records_per_node == 0) continue;
      ++r;
      EXPECT_EQ(harmimp::harm_type(r), 1);
      EXPECT_EQ(harmimp::harm_node(r, 1), n);
      EXPECT_EQ(harmimp::harm_node(r, 2), 0);
      EXPECT_TRUE(near_rel(harmimp::harm_var(r, 1), 1.0 / (2.0 * slot(kBranchConductancePerSecond) * c.k), 1e-12));
      if (c.records_per_node == 2) {
        ++r;
        EXPECT_EQ(harmimp::harm_type(r), 0);
        EXPECT_TRUE(near_rel(harmimp::harm_var(r, 1), 1.0 / (slot(kShuntConductance) * c.k), 1e-12));
      }
    }
    EXPECT_EQ(harmimp::harm_num, r);
  }
}

TEST_F(Newsnc, NoInjectedCurrentIsZeroAtTimeZero) {
  network(false);
  module_file(records());
  NewsncIn a = inputs();
  a.source_voltage = 0.0;  // no source: every sum is zero
  a.nodes = {1, 0, 3};
  std::vector<double> ccin;
  SyncStepOut out;
  models([&] {
    newsnc(a, out);
    ccin = {e_s0::ccin(1, 1), e_s0::ccin(2, 1), e_s0::ccin(3, 1)};
  });
  start_run(3);
  step();
  EXPECT_EQ(ccin[0], 1.0e-9);
  EXPECT_EQ(ccin[1], 0.0);  // node 2 is not the machine's
  EXPECT_EQ(ccin[2], 1.0e-9);
  step();
  EXPECT_LT(std::fabs(ccin[0]), 1.0e-9);  // later steps are not lifted
}

TEST_F(Newsnc, ZeroInertiaWithTheMechanicalEquationStops) {
  network(false);
  module_file(records("0.0"));
  NewsncIn a = inputs();
  a.step.handover = 1;
  a.step.speed_mode = 1;
  SyncStepOut out;
  models([&] { newsnc(a, out); });
  start_run(2);
  const wakro_test::Outcome o = wakro_test::run_captured([&] { step(); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_NE(o.console.find(" ERROR: Unrealistic inertia in Sync. Machine\n"), std::string::npos) << o.console;
  EXPECT_NE(o.console.find("SYNC_MACHINE"), std::string::npos) << o.console;
}

TEST_F(Newsnc, PhaseNodesOutsideTheSubsystemAreRefusedAtTimeZero) {
  for (const std::array<std::int32_t, 3> nodes : {std::array<std::int32_t, 3>{1, 2, 4},
                                                  std::array<std::int32_t, 3>{-1, 2, 3}}) {
    release_all_and_reset();
    network(false);
    module_file(records());
    NewsncIn a = inputs();
    a.nodes = nodes;
    SyncStepOut out;
    models([&] { newsnc(a, out); });
    start_run(2);
    const wakro_test::Outcome o = wakro_test::run_captured([&] { step(); });
    EXPECT_EQ(o.status, 2000);
    EXPECT_NE(o.console.find("A phase node of the machine is not a node of its subsystem"), std::string::npos)
        << o.console;
    wakro::close_all_units();
  }
}

// Per-unit field quantities: the field voltage divided by slot 264 on the way
// in, the field current by slot 265 on the way out; the monitored slots.
TEST_F(Newsnc, PerUnitFieldAndMonitoredSlots) {
  std::vector<std::array<double, 3>> runs[2];
  for (int pu = 0; pu <= 1; ++pu) {
    release_all_and_reset();
    wakro::close_all_units();
    network(false);
    module_file(records());
    NewsncIn a = inputs();
    a.step.handover = 1;  // the machine from time zero
    a.per_unit_field = pu;
    a.monitor = {kRotorSpeed, kInertia, kXa, kIfd, kMachineMode, kRatedVoltage};
    SyncStepOut out;
    double scale_in = 1.0, scale_out = 1.0;
    models([&] {
      const std::int32_t base = e_s2::nexc;
      a.step.field_voltage = 1.7 * (pu == 1 ? 1.0 / scale_in : 1.0);
      newsnc(a, out);
      scale_in = 1.0 / e_s2::stor(base + kFieldVoltageScale);
      scale_out = e_s2::stor(base + kFieldCurrentScale);
      runs[pu].push_back({out.p, out.field_current * (pu == 1 ? scale_out : 1.0), out.monitor[3]});
      EXPECT_EQ(out.monitor[1], 4.0);
      EXPECT_EQ(out.monitor[2], 0.13);
      EXPECT_EQ(out.monitor[4], 1.0);
      EXPECT_EQ(out.monitor[5], 10.3923);
    });
    start_run(40);
    for (int k = 0; k < 40; ++k) step();
  }
  ASSERT_EQ(runs[0].size(), runs[1].size());
  // From the second step on the field voltage is the input's: the runs agree.
  for (std::size_t k = 0; k < runs[0].size(); ++k)
    for (int j = 0; j < 3; ++j) EXPECT_TRUE(near_rel(runs[1][k][j], runs[0][k][j], 1e-12)) << k << " " << j;
  EXPECT_NE(runs[0][39][1], runs[0][1][1]);
}

// The machine on the stiff source at the load-flow point, attached by nodes
// (as the branch form's test runs it), with the AC7B exciter.
class NewsncStiff : public Newsnc {
 protected:
  struct Record {
    double t, ggin, p, q, ifd;
    std::int32_t mxinv, mode;
    double source_active;
  };
  std::vector<Record> run(double until, std::array<std::int32_t, 3> nodes) {
    network(true);
    module_file(records());
    rewind();
    excac7b2_cfg(wakro::machines::Ac7bData{12.77, 20.0, 0.0, 0.0, 5.0, -5.0, 20.0, 1.0, 1.0, -1.0,
                                           6.41,  0.79, 26.2, 6.1, 1.195, 4.025, 0.097, 3.02, 1.945,
                                           1.0,   0.567, 0.172, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0});
    NewsncIn a = inputs();
    a.nodes = nodes;
    SyncStepOut out;
    double efd = 0.0;
    std::vector<Record> rec;
    models([&] {
      const double t = e_s1::time;
      wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, std::sqrt(2.0) * kV * kVb, kW, kAngle);
      a.step.handover = t >= kHandover ? 1 : 0;
      a.step.field_voltage = efd;
      const std::int32_t base = e_s2::nexc;
      const std::int32_t before = e_s8::mxinv(1);
      e_s8::mxinv(1) = 99;
      newsnc(a, out);
      Record r{};
      r.t = t;
      r.mxinv = e_s8::mxinv(1);
      if (r.mxinv == 99) e_s8::mxinv(1) = before;
      r.source_active = e_s2::stor(base + kSourceActive);
      const double efd0 = e_s2::stor(base + kIfd) * e_s2::stor(base + kFieldCurrentScale);
      const double va = vnode(1), vb = vnode(2), vc = vnode(3);
      const double vt = std::sqrt((va * va + vb * vb + vc * vc) / 3.0) / kVb;
      const double k = 1.0 / kBasePower;
      excac7b2_exe(kV, {vt, out.p * k / vt, -out.q * k / vt}, 0.0, out.field_current, efd0, out.machine_mode,
                   efd, 0.0);
      r.ggin = e_s0::ggin(a.nodes[0] == 0 ? 2 : a.nodes[0], 1);
      r.p = out.p;
      r.q = out.q;
      r.ifd = out.field_current;
      r.mode = out.machine_mode;
      rec.push_back(r);
    });
    const auto steps = static_cast<std::int32_t>(std::lround(until / kDt)) + 1;
    rec.reserve(static_cast<std::size_t>(steps));
    start_run(steps);
    for (std::int32_t k = 0; k < steps; ++k) step();
    return rec;
  }
  static double vnode(std::int32_t n) { return e_s0::vdc(n, 1); }
};

TEST_F(NewsncStiff, HandsOverInStepsAndSettlesAtTheLoadFlowPoint) {
  const std::vector<Record> rec = run(6.0, {1, 2, 3});
  const double g320 = 1.0 / 1.62;
  std::size_t first_mode = 0;
  while (first_mode < rec.size() && rec[first_mode].mode == 0) ++first_mode;
  ASSERT_LT(first_mode, rec.size());
  EXPECT_NEAR(rec[first_mode].t, kHandover, 1e-9);
  // The source admittance alone before the hand-over (k = 1: 100 base admittances).
  EXPECT_TRUE(near_rel(rec[first_mode - 1].ggin, 100.0 * g320, 1e-6));
  double g_machine = 0.0;
  std::vector<double> levels;
  for (std::size_t k = first_mode; k < rec.size() && rec[k].t < kHandover + 0.06; ++k) {
    const Record& r = rec[k];
    if (r.source_active == 0.0) {
      g_machine = r.ggin;
      break;
    }
    if (k == first_mode || r.ggin != rec[k - 1].ggin) {
      levels.push_back(r.ggin);
      EXPECT_EQ(r.mxinv, 1) << r.t;  // lowered to the smallest phase node
    }
  }
  ASSERT_GT(g_machine, 0.0);
  ASSERT_EQ(levels.size(), 20u);
  for (std::size_t k = 0; k < levels.size(); ++k)
    EXPECT_TRUE(near_rel(levels[k] - g_machine, (20.0 - k) * 0.05 * g320, 1e-9)) << k;
  // Settled at the load-flow point within 1 % of the apparent power, as the
  // branch form is.
  double p = 0.0, q = 0.0;
  std::size_t n = 0;
  for (const Record& r : rec)
    if (r.t > 5.5) {
      p += r.p;
      q += r.q;
      ++n;
    }
  p /= static_cast<double>(n);
  q /= static_cast<double>(n);
  const double s = std::hypot(kP, kQ);
  EXPECT_LT(std::fabs(p - kP), 0.01 * s) << p;
  EXPECT_LT(std::fabs(q - kQ), 0.01 * s) << q;
}

// The branch form's run of the same case: its settled powers.
TEST_F(NewsncStiff, SettlesWhereTheBranchFormSettles) {
  const auto settled = [](const std::vector<std::pair<double, std::array<double, 2>>>& pq) {
    std::array<double, 2> m{0.0, 0.0};
    std::size_t n = 0;
    for (const auto& [t, v] : pq)
      if (t > 5.5) {
        m[0] += v[0];
        m[1] += v[1];
        ++n;
      }
    m[0] /= static_cast<double>(n);
    m[1] /= static_cast<double>(n);
    return m;
  };
  std::vector<std::pair<double, std::array<double, 2>>> nodes_pq, branch_pq;
  for (const Record& r : run(6.0, {1, 2, 3})) nodes_pq.push_back({r.t, {r.p, r.q}});
  wakro::close_all_units();
  release_all_and_reset();
  // The branch form: source branches 1-3, phase branches 4-6, R-C branches 7-9.
  build(true);
  rewind();
  SyncMachineData m = mtest::CaseMachine::data();
  m.v_or_angle = kV;
  m.angle_or_id = kAngle;
  m.p_or_iq = kP / kBasePower;
  m.q_or_ifd = kQ / kBasePower;
  syncmc3p2_cfg(m);
  excac7b2_cfg(wakro::machines::Ac7bData{12.77, 20.0, 0.0, 0.0, 5.0, -5.0, 20.0, 1.0, 1.0, -1.0,
                                         6.41,  0.79, 26.2, 6.1, 1.195, 4.025, 0.097, 3.02, 1.945,
                                         1.0,   0.567, 0.172, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0});
  SyncStepIn in = case_inputs();
  SyncStepOut out;
  double efd = 0.0;
  models([&] {
    wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, std::sqrt(2.0) * kV * kVb, kW, kAngle);
    in.handover = e_s1::time >= kHandover ? 1 : 0;
    in.field_voltage = efd;
    const std::int32_t base = e_s2::nexc;
    syncmc3p2_exe(in, out);
    const double efd0 = e_s2::stor(base + kIfd) * e_s2::stor(base + kFieldCurrentScale);
    const double va = vnode(1), vb = vnode(2), vc = vnode(3);
    const double vt = std::sqrt((va * va + vb * vb + vc * vc) / 3.0) / kVb;
    const double k = 1.0 / kBasePower;
    excac7b2_exe(kV, {vt, out.p * k / vt, -out.q * k / vt}, 0.0, out.field_current, efd0, out.machine_mode, efd,
                 0.0);
    branch_pq.push_back({e_s1::time, {out.p, out.q}});
  });
  const auto steps = static_cast<std::int32_t>(std::lround(6.0 / kDt)) + 1;
  start_run(steps);
  for (std::int32_t k = 0; k < steps; ++k) step();
  const std::array<double, 2> a = settled(nodes_pq), b = settled(branch_pq);
  const double s = std::hypot(kP, kQ);
  EXPECT_LT(std::fabs(a[0] - b[0]), 0.01 * std::fabs(b[0])) << a[0] << " " << b[0];
  EXPECT_LT(std::fabs(a[1] - b[1]), 0.01 * s) << a[1] << " " << b[1];
}

TEST_F(NewsncStiff, AGroundedPhaseTakesNoInjectionAndTheMarkerSkipsIt) {
  const std::vector<Record> rec = run(0.01, {0, 2, 3});
  // The time step's constants are a change: the marker goes to node 2, not 0.
  EXPECT_EQ(rec[0].mxinv, 2);
  EXPECT_EQ(e_s0::ggin(1, 1), 0.0);
  EXPECT_EQ(e_s0::ccin(1, 1), 0.0);
  EXPECT_GT(e_s0::ggin(2, 1), 0.0);
}

}  // namespace

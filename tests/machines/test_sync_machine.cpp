// The synchronous machine's per-step model in a network: the time-zero set-up
// of its branches and registry records, the start-up source and the hand-over,
// the machine on a stiff source at its load-flow point with the AC7B exciter
// driving its field, the refusals, and the variant with the internal damping
// branch.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "generator_exciter.h"
#include "app/timestep.h"
#include "devices/voltage_sources.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s8.h"
#include "sync_net_fixture.h"

namespace {

using namespace wakro::machines;
using mtest::kDt;
using mtest::kIb;
using mtest::kPhaseBr;
using mtest::kRcBr;
using mtest::kVb;
using mtest::kW;
using mtest::MachineNet;
using mtest::near_rel;

constexpr double kBasePower = 3.0 * kIb * kVb;  // 199.9998 MVA

// The case generator's machine at a load-flow point (V per unit, angle in rad,
// P and Q in MW and Mvar).
SyncMachineData machine_at(double v, double angle, double p_mw, double q_mvar) {
  SyncMachineData m = mtest::CaseMachine::data();
  m.v_or_angle = v;
  m.angle_or_id = angle;
  m.p_or_iq = p_mw / kBasePower;
  m.q_or_ifd = q_mvar / kBasePower;
  return m;
}

TEST_F(MachineNet, TimeZeroDefinesTheInterfaceBranchesAndRecords) {
  build(false);
  rewind();
  syncmc3p2_cfg(mtest::CaseMachine::data());
  SyncStepOut out;
  models([&] { syncmc3p2_exe(case_inputs(), out); });
  start_run(2);
  harmimp::harm_num = 0;
  step();
  // R = 20 Zb; C such that R C = 10 dt.
  for (std::int32_t br : kRcBr) {
    EXPECT_TRUE(near_rel(harmimp::branch_r(br, 1), 32.4, 1e-6)) << br;
    EXPECT_TRUE(near_rel(harmimp::branch_c(br, 1) * 1e6, 15.43210, 1e-6)) << br;
    EXPECT_TRUE(branches::capacitr(br, 1));
  }
  ASSERT_EQ(harmimp::harm_num, 12);
  // The three R-C branch records, then per phase types 1, 0 and 9.
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(harmimp::harm_type(k), 9);
    EXPECT_EQ(harmimp::harm_node(k, 1), kRcBr[k - 1]);
  }
  for (int p = 0; p < 3; ++p) {
    const int r = 4 + 3 * p;
    EXPECT_EQ(harmimp::harm_type(r), 1);
    EXPECT_EQ(harmimp::harm_node(r, 1), p + 1);
    EXPECT_EQ(harmimp::harm_node(r, 2), 0);
    EXPECT_TRUE(near_rel(harmimp::harm_var(r, 1), 5.801184e-4, 1e-6));
    EXPECT_EQ(harmimp::harm_type(r + 1), 0);
    EXPECT_TRUE(near_rel(harmimp::harm_var(r + 1, 1), 486.0, 1e-9));
    EXPECT_EQ(harmimp::harm_type(r + 2), 9);
    EXPECT_EQ(harmimp::harm_node(r + 2, 1), kPhaseBr[p]);
    EXPECT_EQ(harmimp::harm_var(r + 2, 1), 0.0);
  }
  for (std::int32_t br : kPhaseBr) {
    EXPECT_TRUE(near_rel(branches::geq(br, 1), 61.72840, 1e-6)) << br;
    EXPECT_TRUE(branches::defrdbr(br, 1));
  }
  EXPECT_EQ(rt_config::nrtci, 11);
  EXPECT_EQ(rt_config::nrtcf, 101);
  EXPECT_EQ(e_s2::nexc, kMachineBlockSize);
  EXPECT_EQ(mtest::MachineNet::slot(kMultiplierApplied), 0.0);
  EXPECT_EQ(mtest::MachineNet::slot(kSourceActive), 1.0);
}

// A multiplier of 0 is no machine: its R-C branches stay open and nothing
// infinite (1/0) enters the registry.
TEST_F(MachineNet, AZeroMultiplierAtTimeZeroLeavesTheRcBranchesOpenAndRecordsNothingInfinite) {
  build(true);  // the stiff source grounds the phase nodes
  rewind();
  syncmc3p2_cfg(mtest::CaseMachine::data());
  SyncStepIn in = case_inputs();
  in.multiplier = 0.0;
  SyncStepOut out;
  models([&] { syncmc3p2_exe(in, out); });
  start_run(2);
  harmimp::harm_num = 0;
  step();
  for (std::int32_t br : kRcBr) {
    EXPECT_EQ(branches::geq(br, 1), 0.0) << br;
    EXPECT_FALSE(branches::capacitr(br, 1)) << br;
  }
  for (std::int32_t k = 1; k <= harmimp::harm_num; ++k) {
    EXPECT_NE(harmimp::harm_type(k), 1) << k;
    EXPECT_NE(harmimp::harm_type(k), 0) << k;
    EXPECT_TRUE(std::isfinite(harmimp::harm_var(k, 1))) << k;
  }
}

TEST_F(MachineNet, ZeroCurrentAtTimeZeroIsWrittenAsMinusOneNanoampere) {
  build(false);
  rewind();
  SyncMachineData m = mtest::CaseMachine::data();
  syncmc3p2_cfg(m);
  SyncStepIn in = case_inputs();
  in.handover = 1;       // machine mode at once, no start-up source
  in.zero_currents = 1;  // from zero currents, with zero terminal voltages
  SyncStepOut out;
  models([&] { syncmc3p2_exe(in, out); });
  start_run(2);
  step();
  EXPECT_EQ(out.machine_mode, 1);
  EXPECT_EQ(mtest::MachineNet::slot(kSourceActive), 0.0);
  for (std::int32_t br : kPhaseBr) EXPECT_EQ(branches::ccbr(br, 1), -1.0e-9) << br;
}

TEST_F(MachineNet, InertiaZeroWithTheMechanicalEquationStops) {
  build(false);
  rewind();
  SyncMachineData m = mtest::CaseMachine::data();
  m.inertia = 0.0;
  wakro_test::run_captured([&] { syncmc3p2_cfg(m); });
  SyncStepIn in = case_inputs();
  in.handover = 1;
  in.speed_mode = 1;
  SyncStepOut out;
  models([&] { syncmc3p2_exe(in, out); });
  start_run(2);
  const wakro_test::Outcome o = wakro_test::run_captured([&] { step(); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(0, 55), " ***ERROR** Unrealistic inertia in synchronous machine\n") << o.console;
  EXPECT_NE(o.console.find("SYNC_MACHINE"), std::string::npos) << o.console;
}

// The case generator's machine on a stiff 18 kV source at its load-flow point
// (1.025 pu, 0.2 rad, 163 MW, 5 Mvar), with imposed speed and the AC7B exciter:
// the start-up source takes it to that point, hands over at 2.0 s, and the
// machine alone then delivers it.
class StiffSource : public MachineNet {
 protected:
  static constexpr double kV = 1.025, kAngle = 0.2, kP = 163.0, kQ = 5.0, kHandover = 2.0, kEnd = 6.0;

  struct Record {
    double t, geq, p, q, ifd, efd;
    double gm_rest;  // the matrix's diagonal at phase a less its other branches
    std::int32_t mxinv_before, mxinv_after, mode;
    double source_active;
  };
  std::vector<Record> run(double until) {
    build(true);
    rewind();
    syncmc3p2_cfg(machine_at(kV, kAngle, kP, kQ));
    excac7b2_cfg(mtest::case_exciter());
    SyncStepIn in = case_inputs();
    SyncStepOut out;
    double efd = 0.0, efd0 = 0.0;
    std::vector<Record> rec;
    models([&] {
      const double t = e_s1::time;
      wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, std::sqrt(2.0) * kV * kVb, kW, kAngle);
      in.handover = t >= kHandover ? 1 : 0;
      in.field_voltage = efd;
      Record r{};
      r.t = t;
      r.mxinv_before = e_s8::mxinv(1);
      const std::int32_t base = e_s2::nexc;
      syncmc3p2_exe(in, out);
      r.mxinv_after = e_s8::mxinv(1);
      r.source_active = e_s2::stor(base + kSourceActive);
      efd0 = e_s2::stor(base + kIfd) * e_s2::stor(base + kFieldCurrentScale);
      // Terminal voltage in per unit; current terms from the machine's power.
      const double va = vnode(1), vb = vnode(2), vc = vnode(3);
      const double vt = std::sqrt((va * va + vb * vb + vc * vc) / 3.0) / kVb;
      const double k = 1.0 / kBasePower;
      excac7b2_exe(kV, {vt, out.p * k / vt, -out.q * k / vt}, 0.0, out.field_current, efd0, out.machine_mode,
                   efd, 0.0);
      r.geq = branches::geq(kPhaseBr[0], 1);
      r.gm_rest = e_s0::assign_gm_ptr(1)(1, 1) - 1.0e6 - branches::geq(mtest::kRcBr[0], 1);
      r.p = out.p;
      r.q = out.q;
      r.ifd = out.field_current;
      r.efd = efd;
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

TEST_F(StiffSource, HandsOverAndSettlesAtTheLoadFlowPoint) {
  const std::vector<Record> rec = run(kEnd);
  const double g320 = 1.0 / 1.62;  // base admittance
  // Before the hand-over: the start-up source alone, the machine not solved.
  std::size_t first_mode = 0;
  while (first_mode < rec.size() && rec[first_mode].mode == 0) ++first_mode;
  ASSERT_LT(first_mode, rec.size());
  EXPECT_NEAR(rec[first_mode].t, kHandover, 1e-9);
  EXPECT_TRUE(near_rel(rec[first_mode - 1].geq, 100.0 * g320, 1e-6));
  // The source conductance falls by 0.05 of the base admittance every 2 ms, from
  // the full base admittance to 0.05 of it, each change reaching the matrix.
  double g_machine = 0.0;
  std::vector<double> levels;
  for (std::size_t k = first_mode; k < rec.size() && rec[k].t < kHandover + 0.06; ++k) {
    const Record& r = rec[k];
    if (r.source_active == 0.0) {
      g_machine = r.geq;
      break;
    }
    if (k == first_mode || r.geq != rec[k - 1].geq) {
      levels.push_back(r.geq);
      EXPECT_EQ(r.mxinv_after, 1) << r.t;  // lowered to the branch's node
      EXPECT_NEAR(r.gm_rest, r.geq, 1e-6) << r.t;  // and in the matrix
    } else {
      EXPECT_EQ(r.mxinv_after, r.mxinv_before) << r.t;
    }
  }
  ASSERT_GT(g_machine, 0.0);
  ASSERT_EQ(levels.size(), 20u);
  for (std::size_t k = 0; k < levels.size(); ++k)
    EXPECT_TRUE(near_rel(levels[k] - g_machine, (20.0 - k) * 0.05 * g320, 1e-9)) << k;
  EXPECT_TRUE(near_rel(levels[19] - g_machine, 0.0308642, 1e-5));
  // The source is gone on the first step after 2.04 s.
  for (std::size_t k = first_mode; k < rec.size() && rec[k].t < kHandover + 0.05; ++k)
    EXPECT_EQ(rec[k].source_active, rec[k].t > kHandover + 0.04 + 1e-9 ? 0.0 : 1.0) << rec[k].t;
  // Settled: the machine delivers the load-flow point, within 1 % of its
  // apparent power (the hand-over state is computed at the start-up source's
  // EMF, which lies 0.08 % above the terminal voltage: the reactive power
  // settles some 0.2 Mvar above its 5 Mvar); its field current holds.
  double p = 0.0, q = 0.0;
  std::size_t n = 0;
  for (const Record& r : rec)
    if (r.t > kEnd - 0.5) {
      p += r.p;
      q += r.q;
      ++n;
    }
  p /= static_cast<double>(n);
  q /= static_cast<double>(n);
  const double s = std::hypot(kP, kQ);
  EXPECT_LT(std::fabs(p - kP), 0.01 * s) << p;
  EXPECT_LT(std::fabs(q - kQ), 0.01 * s) << q;
  EXPECT_LT(std::fabs(p - kP), 0.01 * kP) << p;
  const Record& a = rec[rec.size() - 1 - static_cast<std::size_t>(std::lround(1.0 / kDt))];  // 1 s before the end
  const Record& b = rec.back();
  EXPECT_LT(std::fabs(b.ifd - a.ifd) / (b.t - a.t), 1e-4) << a.ifd << " " << b.ifd;
  // The exciter holds the field voltage at the field current's level.
  EXPECT_LT(std::fabs(b.efd - b.ifd), 1e-4);
}

// The variant with the internal damping branch.
class DampedMachine : public MachineNet {
 protected:
  // Configures with `cfg`, then runs `steps` steps of `exe` with the terminal
  // voltages held at v (no network solution: the node voltages are set).
  template <class Exe>
  void hold_voltages(Exe exe, SyncStepIn in, const std::array<double, 3>& v, int steps, SyncStepOut& out) {
    for (int k = 0; k < steps; ++k) {
      rewind();
      e_s1::time = k * kDt;
      e_s1::timezero = k == 0;
      for (int p = 0; p < 3; ++p) e_s0::vdc(p + 1, 1) = v[p];
      exe(in, out);
    }
  }
};

TEST_F(DampedMachine, RecordAndStepsAdvanceTheRealsByNinetyEight) {
  build(false);
  rewind();
  syncmc3p1_cfg(mtest::CaseMachine::data());
  EXPECT_EQ(rt_config::nrtci, 11);
  EXPECT_EQ(rt_config::nrtcf, 99);
  start_run(3);
  SyncStepOut out;
  SyncStepIn in = case_inputs();
  hold_voltages(syncmc3p1_exe, in, {0.0, 0.0, 0.0}, 1, out);
  EXPECT_EQ(rt_config::nrtci, 11);
  EXPECT_EQ(rt_config::nrtcf, 99);
  EXPECT_EQ(e_s2::nexc, kMachineBlockSize);
  // No R-C branches: the registry holds only the phases' records.
  EXPECT_EQ(harmimp::harm_num, 9);
  // Before machine mode the damping conductance times slot 174 (0) adds nothing.
  EXPECT_TRUE(near_rel(branches::geq(kPhaseBr[0], 1), 61.72840, 1e-6));
  EXPECT_TRUE(near_rel(slot(kDampBranchConductance), (1.0 / 1.62) / 21.0, 1e-9));
  EXPECT_TRUE(near_rel(slot(kDampBranchHistoryGain), 2.0 * (1.0 / 1.62) / 441.0, 1e-9));
  EXPECT_EQ(slot(kDampBranchFactor), 19.0 / 21.0);
}

TEST_F(DampedMachine, HistoryTendsToItsClosedFormUnderConstantVoltage) {
  build(false);
  rewind();
  syncmc3p1_cfg(mtest::CaseMachine::data());
  start_run(3);
  SyncStepIn in = case_inputs();
  in.handover = 1;  // machine mode from time zero
  SyncStepOut out;
  const std::array<double, 3> v{3.0, -1.0, -2.0};
  hold_voltages(syncmc3p1_exe, in, v, 600, out);
  EXPECT_EQ(out.machine_mode, 1);
  EXPECT_EQ(slot(kMultiplierApplied), 1.0);
  const double gd = slot(kMultiplierApplied) * slot(kDampBranchHistoryGain);
  for (int p = 0; p < 3; ++p)
    EXPECT_TRUE(near_rel(slot(kDampBranchHistoryA + p), -v[p] * gd / (1.0 - 19.0 / 21.0), 1e-12)) << p;
  // In machine mode the phase conductance holds the damping branch, the
  // machine's own conductance and no source.
  const double g = slot(kDampBranchConductance) + slot(kBranchConductance) + slot(kShuntConductance);
  EXPECT_TRUE(near_rel(branches::geq(kPhaseBr[1], 1), g, 1e-12));
}

TEST_F(DampedMachine, ThePairsMustNotBeMixed) {
  struct Case {
    bool mixed;
    int status;
  };
  for (const Case c : {Case{false, -1}, Case{true, 0}}) {
    release_all_and_reset();
    wakro::reset_pointer_records();
    build(false);
    rewind();
    syncmc3p1_cfg(mtest::CaseMachine::data());
    wakro_chknrtc();  // the begin pass's pointers recorded
    start_run(3);
    SyncStepOut out;
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      if (c.mixed) {
        hold_voltages(syncmc3p2_exe, case_inputs(), {0.0, 0.0, 0.0}, 1, out);
      } else {
        hold_voltages(syncmc3p1_exe, case_inputs(), {0.0, 0.0, 0.0}, 1, out);
      }
      wakro_chknrtc();
    });
    if (c.mixed) {
      EXPECT_NE(o.status, -1);
      EXPECT_NE(o.console.find("incorrectly increment NRTCx pointers"), std::string::npos) << o.console;
      EXPECT_NE(o.console.find("CHKNRTC"), std::string::npos) << o.console;
    } else {
      EXPECT_EQ(o.status, -1) << o.console;
    }
  }
  wakro::reset_pointer_records();
}

// q-axis flux: the armature leakage plus the saturated magnetising flux, with
// the sign of the magnetising current.
TEST_F(MachineNet, QFluxFollowsTheZoneTable) {
  build(false);
  rewind();
  syncmc3p2_cfg(mtest::CaseMachine::data());
  rewind();
  const MachineBlock blk = current_machine_block();
  wakro::machines::macdat1_cfg(blk);
  blk(kZoneI + 1) = 2.0;
  blk(kZoneF + 1) = 1.5;
  blk(kZoneS + 1) = 0.4;
  struct Case {
    double iq, im, r;
    std::int32_t z;
    double want;
  };
  const double xa = blk(kXa);
  const std::vector<Case> cases = {
      {0.5, 3.0, 2.0, 2, xa * 0.5 + (3.0 - 1.0) * 2.0 * 0.4 + 1.5},
      {0.5, -3.0, 2.0, 2, xa * 0.5 - ((3.0 - 1.0) * 2.0 * 0.4 + 1.5)},
      {-0.2, 0.0, 1.0, 2, xa * -0.2 - ((0.0 - 2.0) * 0.4 + 1.5)},
  };
  for (const Case& c : cases) EXPECT_NEAR(qflux(blk, c.iq, c.im, c.r, c.z), c.want, 1e-15) << c.im;
}

// A change of the time step of more than 0.001 % advances the transform anew
// and re-factorises; a smaller one changes nothing.
TEST_F(DampedMachine, TimeStepChangeAboveTheThresholdResetsTheTransform) {
  build(false);
  rewind();
  syncmc3p2_cfg(mtest::CaseMachine::data());
  start_run(3);
  SyncStepIn in = case_inputs();
  in.handover = 1;
  SyncStepOut out;
  hold_voltages(syncmc3p2_exe, in, {1.0, 2.0, -3.0}, 3, out);
  struct Case {
    double factor;
    bool renewed;
  };
  for (const Case c : {Case{1.000005, false}, Case{0.999995, false}, Case{1.0001, true}}) {
    const double last = slot(kLastStep);
    e_s1::delt = last * c.factor;
    e_s8::mxinv(1) = 99;
    const double t272 = slot(kTransformAdvanced), g179 = slot(kBranchConductance);
    rewind();
    e_s1::timezero = false;
    syncmc3p2_exe(in, out);
    if (c.renewed) {
      EXPECT_EQ(slot(kLastStep), e_s1::delt);
      EXPECT_TRUE(near_rel(slot(kBranchConductance), slot(kBranchConductancePerSecond) * e_s1::delt, 1e-15));
      EXPECT_NE(slot(kTransformAdvanced), t272);
      EXPECT_EQ(e_s8::mxinv(1), 1);
      EXPECT_TRUE(near_rel(branches::geq(kPhaseBr[2], 1), slot(kBranchConductance) + slot(kShuntConductance), 1e-15));
    } else {
      EXPECT_EQ(slot(kLastStep), last) << c.factor;
      EXPECT_EQ(slot(kBranchConductance), g179);
      EXPECT_EQ(slot(kTransformAdvanced), t272);
      EXPECT_EQ(e_s8::mxinv(1), 99) << c.factor;
    }
  }
}

// While the source conductance steps down, each phase's previous-step source
// is corrected by its last source voltage times the conductance's change.
TEST_F(DampedMachine, HistoryCorrectionFollowsTheSourceConductance) {
  build(false);
  rewind();
  syncmc3p2_cfg(mtest::CaseMachine::data());
  start_run(3);
  SyncStepIn in = case_inputs();
  SyncStepOut out;
  const std::array<double, 3> v{1.0, 2.0, -3.0};
  int corrected = 0;
  for (int k = 0; k < 4000; ++k) {
    rewind();
    e_s1::time = k * kDt;
    e_s1::timezero = k == 0;
    in.handover = e_s1::time >= 0.15 ? 1 : 0;
    for (int p = 0; p < 3; ++p) e_s0::vdc(p + 1, 1) = v[p];
    std::array<double, 3> before{}, e_old{};
    for (int p = 0; p < 3; ++p) {
      before[p] = branches::ccbrd(kPhaseBr[p], 1) = 0.25 * p;
      e_old[p] = slot(kSourceVoltageOldA + p);
    }
    const double g_old = slot(kSourceConductanceOld);
    syncmc3p2_exe(in, out);
    if (k == 0) continue;
    const double g = slot(kSourceConductanceOld);
    for (int p = 0; p < 3; ++p)
      ASSERT_EQ(branches::ccbrd(kPhaseBr[p], 1), before[p] - e_old[p] * (g - g_old)) << k << " " << p;
    if (g != g_old && e_old[0] != 0.0) ++corrected;
  }
  // At the hand-over (to the base admittance), its 19 steps down and the removal.
  EXPECT_EQ(corrected, 21);
}

// Outputs 38-43 return the block slots the record names.
TEST_F(MachineNet, MonitoredSlotsAreReturned) {
  build(false);
  rewind();
  SyncMachineData m = mtest::CaseMachine::data();
  m.monitor = {1, 173, 261, 290, 320, 375};
  syncmc3p2_cfg(m);
  start_run(2);
  SyncStepOut out;
  models([&] { syncmc3p2_exe(case_inputs(), out); });
  step();
  for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(out.monitor[k], slot(m.monitor[k])) << k;
  EXPECT_EQ(out.monitor[0], 1.0);
  EXPECT_TRUE(near_rel(out.monitor[4], 1.0 / 1.62, 1e-4));
}

// The rotor angle stays in [0, 2 pi): a step past 2 pi wraps once.
TEST_F(DampedMachine, RotorAngleWrapsOnce) {
  build(false);
  rewind();
  syncmc3p2_cfg(mtest::CaseMachine::data());
  start_run(3);
  SyncStepIn in = case_inputs();
  in.handover = 1;
  SyncStepOut out;
  hold_voltages(syncmc3p2_exe, in, {0.0, 0.0, 0.0}, 2, out);
  const double two_pi = 6.283185307179586;
  e_s2::stor(kRotorAngle) = two_pi - 0.5 * kW * kDt;
  rewind();
  syncmc3p2_exe(in, out);
  EXPECT_NEAR(out.rotor_angle, 0.5 * kW * kDt, 1e-12);
  EXPECT_GE(out.rotor_angle, 0.0);
  EXPECT_EQ(out.speed, kW);
}

// The mechanical equation over one step of an unexcited machine (no current,
// no electrical torque): the acceleration of the torque, friction, damping
// and divisor terms; and the imposed speed with its correction.
TEST_F(DampedMachine, MechanicalEquationAndImposedSpeed) {
  struct Case {
    std::int32_t speed_mode, extra;
    double divisor, damping, ref_offset, power_order;
    std::int32_t correction;
    double want_speed;  // after the first step
    double want_next;   // after the second step
  };
  const double w = kW, acc = w / (2.0 * 4.0), fr = 0.001;
  auto after = [&](double torque, double k, int steps) { return w + steps * torque * acc * k * kDt; };
  const double dd = 10.0 / w * 3.0;  // damping 3 toward w + 10
  const std::vector<Case> cases = {
      {1, 0, 0.0, 0.0, 0.0, 0.0, 0, after(0.5 - fr, 1.0, 1), 0.0},
      {1, 1, 0.5, 3.0, 10.0, 0.0, 0, after(dd + 0.5 - fr, 2.0, 1), 0.0},
      {1, 1, 0.01, 0.0, 0.0, 0.0, 0, after(0.5 - fr, 50.0, 1), 0.0},
      // Imposed 370 rad/s; a power order of 100 MW (0.5 pu) gives the
      // correction 0.5 (0.25 Xd + 0.01) / 0.2, about 0.6 rad/s, from the
      // second step on.
      {0, 0, 0.0, 0.0, 0.0, 0.0, 0, 370.0, 370.0},
      {0, 0, 0.0, 0.0, 0.0, 100.0, 1, 370.0, 370.0 + 100.0 / kBasePower * (0.25 * 0.92 + 0.01) / 0.2},
  };
  for (const Case& c : cases) {
    release_all_and_reset();
    build(false);
    rewind();
    syncmc3p2_cfg(mtest::CaseMachine::data());
    start_run(3);
    SyncStepIn in = case_inputs();
    in.handover = 1;
    in.zero_currents = 1;
    in.speed_mode = c.speed_mode;
    in.imposed_speed = 370.0;
    in.mech_torque = 0.5;
    in.extra_terms = c.extra;
    in.accel_divisor = c.divisor;
    in.damping = c.damping;
    in.ref_speed = w + c.ref_offset;
    in.power_order = c.power_order;
    in.add_correction = c.correction;
    SyncStepOut out;
    hold_voltages(syncmc3p2_exe, in, {0.0, 0.0, 0.0}, 1, out);
    EXPECT_EQ(out.te, 0.0);
    EXPECT_NEAR(out.speed, c.want_speed, 1e-9 * std::fabs(c.want_speed - w) + 1e-12) << c.divisor;
    EXPECT_EQ(out.machine_speed_mode, c.speed_mode);
    if (c.speed_mode == 0) {
      const double angle0 = out.rotor_angle;
      rewind();
      e_s1::timezero = false;
      syncmc3p2_exe(in, out);
      EXPECT_NEAR(out.speed, c.want_next, 1e-12);
      EXPECT_NEAR(out.rotor_angle - angle0, c.want_next * kDt, 1e-12);
    }
  }
}

}  // namespace

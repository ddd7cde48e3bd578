// The permanent-magnet machine: its set-up record and checks, the open-circuit
// voltage of its magnet, the angle wrap, the interface conductance entering
// the matrix once, the open snubber, the singular-matrix stop, and the single
// routine reading its data lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "files/units.h"
#include "machines/pm_machine.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/fnames.h"
#include "model/storage.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"
#include "sync_net_fixture.h"

namespace {

using namespace mtest;

constexpr double kV = 4.0, kS = 2.0, kF = 60.0;  // kV line to line, MVA
constexpr double kVph = kV / 1.7320508075688772;

PmData pm_data() {
  PmData d;
  d.voltage = kV;
  d.power = kS;
  d.frequency = kF;
  d.xd = 0.8;
  d.xq = 0.6;
  d.xkd = 0.9;
  d.xkq = 0.7;
  d.xl = 0.1;
  d.ra = 0.01;
  d.rkd = 0.05;
  d.rkq = 0.05;
  d.flux = 1.0;
  // The interface resistance near the machine's own step impedance, and a
  // snubber whose resistance damps the explicit interface.
  d.ri = 27.0;  // per unit in the second form, ohms in the first
  d.snubber_r = 5.0;
  d.snubber_steps = 5.0;
  d.damping = 0.0;
  d.inertia = 2.0;
  return d;
}

// ----------------------------------------------------------------- set-up

class PmConfig : public Machines {
 protected:
  void SetUp() override {
    Machines::SetUp();
    e_warn::comp_id1 = 4;
    e_warn::comp_id2 = 6;
  }
  static double entry(std::int32_t k) { return rt_config::rtcf(k); }
};

TEST_F(PmConfig, RecordEntries) {
  PmData d = pm_data();
  d.inertia = 0.0;
  const auto o = wakro_test::run_captured([&] { pmmac2_cfg(d); });
  EXPECT_EQ(o.status, -1);
  EXPECT_NE(o.console.find(" ***WARN*** Unrealistic inertica value, assumed 1.0 [s][           4 :           6 ]"),
            std::string::npos)
      << o.console;
  const double zb = kV * kV / kS, h = kDt * 2.0 * 3.141592653589793 * kF / 2.0;
  EXPECT_NEAR(entry(kPmInvVph), 1.0 / (0.577350269189626 * kV), 1e-15);
  EXPECT_NEAR(entry(kPmIb), kS / (std::sqrt(3.0) * kV), 1e-15);
  EXPECT_NEAR(entry(kPmFlux), std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(entry(kPmRi), 27.0 * zb, 1e-12);
  EXPECT_NEAR(entry(kPmRs), 5.0 * zb, 1e-12);
  EXPECT_NEAR(entry(kPmCs), 5.0 * kDt * 1e6 / (5.0 * zb), 1e-13);
  const double detd = 0.8 * 0.9 - 0.7 * 0.7;
  EXPECT_NEAR(entry(kPmM), -0.9 * 0.01 / detd * h, 1e-15);
  EXPECT_NEAR(entry(kPmM + 8), -0.01 / 0.1 * h, 1e-15);     // (3, 3)
  EXPECT_NEAR(entry(kPmN + 4), 2.0 * h / 0.1, 1e-15);       // N(3, 3)
  EXPECT_EQ(entry(kPmInvH), 1.0);
  EXPECT_EQ(rt_config::nrtcf, 1 + kPmRecord2);
  // The first form: the interface resistance as given, 37 entries.
  pmmac1_cfg(pm_data());
  EXPECT_EQ(rt_config::rtcf(1 + kPmRecord2 + kPmRi - 1), 27.0);
  EXPECT_EQ(rt_config::nrtcf, 1 + kPmRecord2 + kPmRecord1);
}

TEST_F(PmConfig, ChecksOfEachForm) {
  struct Row {
    void (*edit)(PmData&);
    bool second;
    std::string expected;  // the lines before the stop
  };
  const Row rows[] = {
      {[](PmData& d) { d.xd = d.xl; }, false,
       " ***WARN*** Xd must be greater than leakage reactance[           4 :           6 ]\n"},
      {[](PmData& d) { d.xd = d.xq = d.xl; }, false,
       " ***WARN*** Xd must be greater than leakage reactance[           4 :           6 ]\n"},
      {[](PmData& d) { d.xd = d.xq = d.xl; }, true,
       " ***ERROR** Xd must be greater than leakage reactance[           4 :           6 ]\n"
       " ***ERROR** Xq must be greater than leakage reactance[           4 :           6 ]\n"},
      {[](PmData& d) { d.xkd = 0.7 * 0.7 / 0.8; }, true,
       " ***ERROR** Unrealistic D axis data[           4 :           6 ]\n"},
      {[](PmData& d) { d.xkq = 0.1; d.xkd = 0.1; }, true,
       " ***ERROR** Unrealistic D axis data[           4 :           6 ]\n"
       " ***ERROR** Unrealistic Q axis data[           4 :           6 ]\n"},
  };
  for (const Row& r : rows) {
    PmData d = pm_data();
    r.edit(d);
    const auto o = wakro_test::run_captured([&] {
      if (r.second) {
        pmmac2_cfg(d);
      } else {
        pmmac1_cfg(d);
      }
    });
    EXPECT_NE(o.status, -1);
    EXPECT_EQ(o.console.substr(0, r.expected.size()), r.expected) << o.console;
    EXPECT_NE(o.console.find("Abnormal termination of WAKRO by PM_MACHINE  "), std::string::npos);
    TearDown();
    SetUp();
  }
}

// ------------------------------------------------------------ in a network

// Three nodes; branches 1-3 the phase (interface) branches, 4-6 the snubbers,
// all node k -> ground; 7-9 optional loads.
class PmNet : public MachineNet {
 protected:
  static constexpr std::array<std::int32_t, 3> kPhase{1, 2, 3}, kSnub{4, 5, 6};
  void build_net(double load_r = 0.0) {
    size(3, 9);
    for (std::int32_t k = 1; k <= 6; ++k) add_branch(1, (k - 1) % 3 + 1, 0, 0.0, 0.0, 0.0);
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, k, 0, load_r, 0.0, 0.0);
  }
  static PmStepIn inputs(double w) {
    PmStepIn in;
    in.ss = 1;
    in.phase = kPhase;
    in.snubber = kSnub;
    in.speed = w;
    return in;
  }
  void run_steps(double seconds, const std::function<void()>& model, const std::function<void()>& each) {
    models(model);
    const auto steps = static_cast<std::int32_t>(std::lround(seconds / kDt)) + 1;
    start_run(steps);
    for (std::int32_t k = 0; k < steps; ++k) {
      step();
      if (each) each();
    }
  }
  // The RMS phase-a voltage over the last cycle of a run, per unit of Vph.
  double open_circuit_rms(const std::function<void()>& model, double seconds = 0.5) {
    double sum = 0.0;
    std::int32_t count = 0;
    run_steps(seconds, model, [&] {
      if (e_s1::time <= seconds - 1.0 / kF + 1e-9) return;
      sum += e_s0::vdc(1, 1) * e_s0::vdc(1, 1);
      ++count;
    });
    return std::sqrt(sum / count) / kVph;
  }
};

TEST_F(PmNet, OpenCircuitVoltageOfTheMagnetInEachForm) {
  const double zb = kV * kV / kS;
  build_net();
  rewind();
  PmData d1 = pm_data();
  d1.ri = 27.0 * zb;
  pmmac1_cfg(d1);
  double te = 1.0;
  EXPECT_TRUE(near_rel(open_circuit_rms([&] { te = pmmac1_exe(inputs(1.0)); }), 1.0, 0.02));
  EXPECT_LT(std::fabs(te), 0.01);  // the snubbers' losses only
  // The second form with the speed imposed by its switch.
  release_all_and_reset();
  SetUp();
  build_net();
  rewind();
  pmmac2_cfg(pm_data());
  PmStepIn in = inputs(1.0);
  in.speed_switch = 1;
  EXPECT_TRUE(near_rel(open_circuit_rms([&] { pmmac2_exe(in); }), 1.0, 0.02));
  EXPECT_EQ(storage::storf(kPsSpeed), 1.0);
  // Half the speed, half the voltage.
  release_all_and_reset();
  SetUp();
  build_net();
  rewind();
  pmmac2_cfg(pm_data());
  in.speed = 0.5;
  EXPECT_TRUE(near_rel(open_circuit_rms([&] { pmmac2_exe(in); }), 0.5, 0.02));
}

TEST_F(PmNet, AngleWrapsIntoOneTurnForEitherSign) {
  for (double w : {1.7, -1.7}) {
    build_net();
    rewind();
    pmmac2_cfg(pm_data());
    PmStepIn in = inputs(w);
    in.speed_switch = 1;
    double lo = 10.0, hi = -10.0;
    run_steps(0.05, [&] { pmmac2_exe(in); }, [&] {
      lo = std::min(lo, storage::storf(kPsAngle));
      hi = std::max(hi, storage::storf(kPsAngle));
    });
    EXPECT_GE(lo, 0.0) << w;
    EXPECT_LT(hi, 6.283185307179586) << w;
    EXPECT_GT(hi - lo, 6.0) << w;  // it went round
    release_all_and_reset();
    SetUp();
  }
}

TEST_F(PmNet, InterfaceConductanceOnceAndAnOpenSnubber) {
  const double zb = kV * kV / kS;
  build_net();
  rewind();
  PmData d = pm_data();
  d.snubber_r = 0.0;  // no snubber
  pmmac2_cfg(d);
  PmStepIn in = inputs(1.0);
  in.speed_switch = 1;
  double diag = 0.0;
  run_steps(0.0, [&] { pmmac2_exe(in); }, [&] { diag = e_s0::assign_gm_ptr(1)(1, 1); });
  EXPECT_NEAR(diag, 1.0 / (27.0 * zb), 1e-12);
  EXPECT_EQ(branches::geq(kSnub[0], 1), 0.0);
  EXPECT_EQ(rt_config::rtcf(kPmCs), 0.0);
}

TEST_F(PmNet, ASingularStepMatrixStops) {
  build_net();
  rewind();
  // A negative stator resistance that makes 1 - M(3, 3) exactly 0, at a
  // frequency for which the product rounds to 1 exactly.
  PmData d = pm_data();
  bool found = false;
  for (double f = 50.0; f < 70.0 && !found; f += 0.5) {
    const double h = kDt * (6.283185307179586 * f) / 2.0;
    const double ra = -d.xl / h;
    if (1.0 - (-ra / d.xl * h) == 0.0) {
      d.frequency = f;
      d.ra = ra;
      found = true;
    }
  }
  ASSERT_TRUE(found);
  pmmac1_cfg(d);
  const auto o = wakro_test::run_captured([&] { run_steps(0.0, [&] { pmmac1_exe(inputs(1.0)); }, nullptr); });
  EXPECT_NE(o.status, -1);
  EXPECT_NE(o.console.find("Matrix is singular and cannot be inverted."), std::string::npos) << o.console;
  EXPECT_NE(o.console.find("PM_MACHINE  "), std::string::npos);
}

TEST_F(PmNet, SingleRoutineFromItsDataLines) {
  wakro_test::WorkFolder folder;
  ASSERT_TRUE(folder.enter("wakro_pmmachine_"));
  const double zb = kV * kV / kS, ib = kS / (std::sqrt(3.0) * kV);
  const std::string lines = "C V, Ib, wb\n4.0 " + std::to_string(ib) +
                            " 376.99111843077515\n"
                            "0.8 0.6 0.7 0.5 0.9 0.7 0.1\n"
                            "0.01 0.05 0.05\n"
                            "1.414213562373095\n" +
                            std::to_string(27.0 * zb) + "\n5.0 5.0\nENDFILE\n";
  wakro_test::write_file("pm.dta", lines);
  fnames::filename = wakro::FixedText<72>("pm.dta");
  wakro_openfile();
  build_net();
  rewind();
  PmmachineIn in;
  in.nodes = {1, 2, 3};
  in.snubber = kSnub;
  in.speed = 1.0;
  double te = 1.0;
  EXPECT_TRUE(near_rel(open_circuit_rms([&] { te = pmmachine(in); }), 1.0, 0.02));
  EXPECT_LT(std::fabs(te), 0.01);
  EXPECT_EQ(storage::storf(kPlXl), 0.1);
  EXPECT_NEAR(storage::storf(kPlInvRi), 1.0 / (27.0 * zb), 1e-9);
  wakro::close_all_units();
  folder.leave();
}

TEST_F(PmNet, SingleRoutineRefusals) {
  struct Row {
    std::string x_line;  // the reactance line
    std::array<std::int32_t, 3> nodes;
    std::string text;
  };
  const Row rows[] = {
      {"0.8 0.6 0.7 0.5 0.9 0.7 0.1", {1, 2, 9}, " ***ERROR** A node of the PM machine is not a node of its subsystem"},
      {"0.8 0.6 0.7 0.5 0.6125 0.7 0.1", {1, 2, 3}, "Unrealistic D axis data\n"},
      {"0.8 0.6 0.7 0.5 0.9 0.41 0.1", {1, 2, 3}, "Unrealistic Q axis data\n"},
  };
  for (const Row& r : rows) {
    wakro_test::WorkFolder folder;
    ASSERT_TRUE(folder.enter("wakro_pmmachine_"));
    wakro_test::write_file("pm.dta", "4.0 0.5 376.99111843077515\n" + r.x_line + "\n0.01 0.05 0.05\n1.4\n200\n5 5\n");
    fnames::filename = wakro::FixedText<72>("pm.dta");
    wakro_openfile();
    build_net();
    rewind();
    PmmachineIn in;
    in.nodes = r.nodes;
    in.snubber = kSnub;
    in.speed = 1.0;
    const auto o = wakro_test::run_captured([&] { run_steps(0.0, [&] { pmmachine(in); }, nullptr); });
    EXPECT_NE(o.status, -1) << r.text;
    EXPECT_NE(o.console.find(r.text), std::string::npos) << o.console;
    EXPECT_NE(o.console.find("Abnormal termination of WAKRO by PM_MACHINE  "), std::string::npos) << o.console;
    wakro::close_all_units();
    folder.leave();
    release_all_and_reset();
    SetUp();
  }
}

}  // namespace

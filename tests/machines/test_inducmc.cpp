// The single-routine induction machine: its records read from the data file,
// its agreement with the configuration-pair form as a squirrel cage fed from
// three nodes, its damping conductance stamped as a branch between each phase
// and the neutral, its damping histories kept from storage, and its refusals
// and divergence texts.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "files/units.h"
#include "induction_fixture.h"
#include "model/e_s0.h"
#include "model/fnames.h"
#include "model/storage.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"

namespace {

using namespace mtest;

// The fixture machine's six records (V line to line).
const std::string kRecords =
    "C stator and rotor resistances\n"
    "0.02 0.05 0 0 0\n"
    "3.0 0.1 0.1 0 0 0 0 0 0 0 0 0\n"
    "10.0 3.4641016151377544 376.99111843077515\n"
    "0.5 0.02 1.0\n"
    "0 0 1 1 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
    "0 0 1 1 -1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";

class Inducmc : public InductionNet {
 protected:
  void SetUp() override {
    InductionNet::SetUp();
    ASSERT_TRUE(folder_.enter("wakro_inducmc_"));
  }
  void TearDown() override {
    wakro::close_all_units();
    folder_.leave();
    InductionNet::TearDown();
  }
  void again() {
    TearDown();
    SetUp();
  }
  static InducmcIn cage() {
    InducmcIn in;
    in.ss = 1;
    in.stator = {1, 2, 3};
    return in;
  }
  // Runs inducmc on the stiff source, its records in m.dta; extra_nodes adds
  // nodes after the three terminals (each to ground through r_extra ohms).
  void run_single(const InducmcIn& in, double seconds, const std::function<void()>& each,
                  const std::string& records = kRecords, std::int32_t extra_nodes = 0, double r_extra = 1.0) {
    wakro_test::write_file("m.dta", records + "ENDFILE\n");
    fnames::filename = wakro::FixedText<72>("m.dta");
    wakro_openfile();
    size(3 + extra_nodes, 3 + extra_nodes);
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, 0, k, 1.0e-6, 0.0, 0.0);
    for (std::int32_t k = 1; k <= extra_nodes; ++k) add_branch(1, 3 + k, 0, r_extra, 0.0, 0.0);
    rewind();
    models([&] {
      wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, std::sqrt(2.0) * kImV, kWb, 0.0);
      inducmc(in);
    });
    const auto steps = static_cast<std::int32_t>(std::lround(seconds / kDt)) + 1;
    start_run(steps);
    for (std::int32_t k = 0; k < steps; ++k) {
      step();
      if (each) each();
    }
  }
  wakro_test::WorkFolder folder_;
};

TEST_F(Inducmc, SquirrelCageFromThreeNodesMatchesThePairForm) {
  InductionStepIn pin = induction_inputs();
  pin.mode = 0;
  std::vector<double> pair_speed, pair_current;
  const auto sample = [](std::vector<double>& w, std::vector<double>& i, std::int32_t speed, std::int32_t id) {
    return [&w, &i, speed, id] {
      if (std::fmod(e_s1::time + 1e-9, 0.25) > 2e-9) return;
      w.push_back(e_s2::stor(speed));
      i.push_back(std::hypot(e_s2::stor(id), e_s2::stor(id + 5)));
    };
  };
  run(induction_data(), pin, true, 3.0, sample(pair_speed, pair_current, kImSpeed, kImId));
  again();
  std::vector<double> single_speed, single_current;
  InducmcIn in = cage();
  in.mode = 0;
  run_single(in, 3.0, sample(single_speed, single_current, kSmSpeed, kSmId));
  ASSERT_EQ(single_speed.size(), pair_speed.size());
  ASSERT_GE(pair_speed.size(), 12u);
  for (std::size_t k = 1; k < pair_speed.size(); ++k) {
    EXPECT_NEAR(single_speed[k], pair_speed[k], 0.01 * std::fabs(pair_speed[k]) + 1e-3) << k;
    EXPECT_TRUE(near_rel(single_current[k], pair_current[k], 0.01)) << k;
  }
  EXPECT_GT(pair_speed.back(), 0.99);  // it ran up
  // The records landed in the block; 1 / Zb for the neutral's conductance.
  EXPECT_EQ(slot(kSmVoltage), 3.4641016151377544);
  EXPECT_EQ(slot(kSmTurns), 1.0);
  EXPECT_EQ(slot(kSmLeakCurve + 3), 1.0);
  EXPECT_NEAR(slot(kSmNeutralG), 1.0 / 1.2, 1e-12);
  EXPECT_EQ(e_s2::nexc, kSmBlock);
}

TEST_F(Inducmc, DampingIsABranchBetweenPhaseAndNeutral) {
  // Node 4 is the neutral, to ground through 1 ohm.
  InducmcIn in = cage();
  in.neutral = 4;
  in.mode = 1;
  in.speed = 1.0;
  const double gd = 1.0 / (21.0 * 1.2);
  std::array<double, 4> diag{};
  double off = 0.0;
  bool taken = false;
  double v_neutral = 0.0;
  run_single(in, 0.5, [&] {
    const e_s0::GmView gm = e_s0::assign_gm_ptr(1);
    if (!taken) {
      for (std::int32_t k = 1; k <= 4; ++k) diag[static_cast<std::size_t>(k - 1)] = gm(k, k);
      off = gm(1, 4);
      taken = true;
    }
    if (e_s1::time > 0.4) v_neutral = std::max(v_neutral, std::fabs(e_s0::vdc(4, 1)));
  }, kRecords, 1, 1.0);
  // The source's 1e6 S and the neutral's 1 S to ground are there besides.
  EXPECT_NEAR(diag[0] - 1.0e6, gd, 1e-9);
  EXPECT_NEAR(diag[3] - 1.0, 3.0 * gd, 1e-9);
  EXPECT_NEAR(std::fabs(off), gd, 1e-12);
  EXPECT_EQ(e_s0::assign_gm_ptr(1)(2, 3), 0.0);  // no damping between phases
  // Balanced: the neutral stays near ground (well below 1 % of the phase voltage).
  EXPECT_LT(v_neutral, 0.01 * std::sqrt(2.0) * kImV) << v_neutral;
}

TEST_F(Inducmc, DampingHistoriesStartFromStorage) {
  // Storage that already holds a history of 2.1 kA on phase a (a run resumed
  // with its stores): the first step decays it by 19/21 less the voltage term.
  InducmcIn in = cage();
  in.mode = 1;
  in.speed = 1.0;
  wakro_test::write_file("m.dta", kRecords + "ENDFILE\n");
  fnames::filename = wakro::FixedText<72>("m.dta");
  wakro_openfile();
  build(true);
  rewind();
  double v_before = 0.0;
  std::int32_t base = 0;
  models([&] {
    wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, std::sqrt(2.0) * kImV, kWb, 0.0);
    v_before = e_s0::vdc(1, 1);
    base = storage::nstorf - 1;  // slot k of the damping network at base + k
    if (e_s1::timezero) storage::storf(base + kDnStatorHistory) = 2.1;
    inducmc(in);
  });
  start_run(2);
  step();
  const double gd = 1.0 / (21.0 * 1.2);
  EXPECT_NEAR(storage::storf(base + kDnStatorHistory), 2.1 * 19.0 / 21.0 - v_before * 2.0 * gd / 21.0, 1e-15);
  EXPECT_NEAR(storage::storf(base + kDnDecay), 19.0 / 21.0, 1e-16);
  EXPECT_NEAR(storage::storf(base + kDnStatorG), gd, 1e-16);
}

TEST_F(Inducmc, RefusalsAndDivergence) {
  struct Row {
    std::string records;
    InducmcIn in;
    std::string text;
  };
  InducmcIn bad_node = cage();
  bad_node.rotor = {0, 7, 0};
  InducmcIn cages = cage();
  cages.extra_cages = 4;
  std::string short_records = kRecords.substr(0, kRecords.rfind("0 0 1 1"));
  std::string bad_v = kRecords;
  bad_v.replace(bad_v.find("3.4641016151377544"), 18, "0.0005");
  const std::vector<Row> rows = {
      {kRecords, bad_node, " ***ERROR** A node of the induction machine is not a node of its subsystem"},
      {kRecords, cages, " ***ERROR** The number of extra rotor cages must lie between 0 and 3"},
      {short_records, cage(), " ***ERROR** Induction machine data record 6 is missing (file m.dta, line 7)"},
      {bad_v, cage(), " ***ERROR** Unrealistic rated voltage"},
  };
  for (const Row& r : rows) {
    const auto o = wakro_test::run_captured([&] { run_single(r.in, 0.01, nullptr, r.records); });
    EXPECT_NE(o.status, -1) << r.text;
    EXPECT_NE(o.console.find(r.text), std::string::npos) << o.console;
    EXPECT_NE(o.console.find("Abnormal termination of WAKRO by INDUCMC     "), std::string::npos) << o.console;
    again();
  }
  InducmcIn in = cage();
  in.mode = 0;
  const auto o = wakro_test::run_captured([&] {
    run_single(in, 0.01, [] {
      if (e_s1::time > 0.004) e_s2::stor(kSmPsiD + 1) = std::numeric_limits<double>::quiet_NaN();
    });
  });
  EXPECT_NE(o.status, -1);
  EXPECT_NE(o.console.find("Integration Error:\nThe values of winding parameters are: \n  R - too large, L - too small.\n"),
            std::string::npos)
      << o.console;
}

}  // namespace

// Variable R, L, C and impedance branches, against hand-solved circuits:
//   a variable resistor on a fixed (non-switch) branch behind a 1 kV source of
//   Rs = 1e-6 ohm draws 1 / (10 + Rs) kA, then 1 / (5 + Rs) kA from the first
//   solution after the change;
//   an inductance of 0.1 H behind 1 kV (Rs = 1e-3 ohm, time constant 100 s)
//   rises by V dt / L = 5e-4 kA a step; halved, the total current doubles at
//   once (flux kept) and rises 1e-3 kA a step;
//   a capacitance changed from 10 to 20 uF at 1 kV injects dC v / dt = 0.2 kA for
//   exactly one step.
#include <cmath>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "devices/variable_branches.h"
#include "model/e_s8.h"

namespace {

using nettest::rel;
using namespace wakro::devices;

class VariableBranches : public devtest::Devices {};

TEST_F(VariableBranches, ResistorOnFixedBranchSteppedFromTenToFiveOhm) {
  constexpr double kRs = 1.0e-6;
  size(1, 2);
  add_branch(1, 0, 1, kRs, 0.0, 0.0, 0.0, 1.0);
  const std::int32_t b = add_branch(1, 1, 0, 10.0, 0.0, 0.0);
  int k = 0;
  double value = 10.0, returned = 0.0;
  std::int32_t marker_before = 0, marker_after = 0;
  devices([&] {
    marker_before = e_s8::mxinv(1);
    wakro_varrlc10(b, 1, kVarResistance, returned, value, 0.0);
    marker_after = e_s8::mxinv(1);
  });
  start_run(20);
  for (; k < 20; ++k) {
    value = k < 8 ? 10.0 : (k == 8 ? 10.0009 : (k < 12 ? 10.0 : 5.0));
    step();
    const double expected = 1.0 / ((k < 12 ? 10.0 : 5.0) + kRs);
    ASSERT_LT(rel(std::abs(i(b)), expected), 1e-9) << "step " << k;
    if (k == 8) {
      EXPECT_EQ(marker_after, marker_before);  // within 1e-4: no change
    }
    if (k == 12) {
      EXPECT_EQ(marker_after, 1);
    }
  }
  EXPECT_FALSE(branches::switch_(b, 1));
  EXPECT_DOUBLE_EQ(branches::geq(b, 1), 0.2);
  EXPECT_EQ(std::abs(returned), std::abs(i(b)));  // R: CBR of the last solution
}

TEST_F(VariableBranches, HalvedInductanceDoublesCurrentAndItsRateOfRise) {
  size(1, 2);
  add_branch(1, 0, 1, 1.0e-3, 0.0, 0.0, 0.0, 1.0);
  const std::int32_t b = add_branch(1, 1, 0, 0.0, 0.1, 0.0);
  double l = 0.1, total = 0.0;
  devices([&] { wakro_varrlc10(b, 1, kVarInductance, total, l, 0.0); });
  start_run(400);
  // After solution k the current of the element is CBR plus the correction of
  // call k (the returned total minus the CBR that call saw).
  std::vector<double> cbrs, after;
  for (int k = 0; k < 400; ++k) {
    l = k < 200 ? 0.1 : 0.05;
    const double seen = k > 0 ? cbrs.back() : 0.0;
    step();
    cbrs.push_back(std::abs(i(b)));
    after.push_back(cbrs.back() + std::abs(total) - seen);
  }
  const double before = after[199] - after[198];
  EXPECT_LT(rel(before, 5.0e-4), 1e-3);
  EXPECT_LT(rel(std::abs(total), cbrs[398] + cbrs[199]), 1e-12);  // the correction is carried
  EXPECT_LT(rel(after[200] - 2.0 * after[199], 2.0 * before), 1e-3);  // doubled at once
  EXPECT_LT(rel(after[201] - after[200], 2.0 * before), 1e-3);
  EXPECT_LT(rel((after[399] - after[201]) / 198.0, 2.0 * before), 2e-3);
}

TEST_F(VariableBranches, CapacitanceChangeInjectsChargeForOneStep) {
  size(1, 2);
  add_branch(1, 0, 1, 1.0e-6, 0.0, 0.0, 0.0, 1.0);
  const std::int32_t b = add_branch(1, 1, 0, 0.0, 0.0, 10.0);
  double c = 10.0, returned = 0.0, injected = 0.0, v_seen = 0.0;
  devices([&] {
    const double cbr_before = branches::cbr(b, 1);
    v_seen = vbranch(1, b);
    wakro_varrlc10(b, 1, kVarCapacitance, returned, c, 0.0);
    injected = returned - cbr_before;
  });
  start_run(60);
  for (int k = 0; k < 60; ++k) {
    c = k < 50 ? 10.0 : 20.0;
    step();
    const double expected = k == 50 ? 10.0e-6 * v_seen / e_s1::delt : 0.0;
    if (k > 0) {
      ASSERT_NEAR(injected, expected, 1e-9) << "step " << k;
    }
  }
  EXPECT_NEAR(std::abs(v(1)), 1.0, 1e-6);
  EXPECT_DOUBLE_EQ(branches::geq(b, 1), 2.0e-6 * 20.0 / e_s1::delt);
  EXPECT_DOUBLE_EQ(harmimp::branch_c(b, 1), 20.0e-6);
}

// Time-zero calls outside a solution: the companion a call leaves.
class VariableSetUp : public devtest::Devices {
 protected:
  void SetUp() override {
    Devices::SetUp();
    size(2, 4);
    for (int k = 0; k < 4; ++k) empty_branch(1, 2);
    e_s1::timezero = true;
    e_s2::nexc = 0;
    storage::nstorf = 1;
  }
};

TEST_F(VariableSetUp, SmallValuesGiveIdealShortOrOpenBranches) {
  double current = 0.0;
  wakro_varrlc10(1, 1, kVarResistance, current, 5.0e-9, 0.0);
  EXPECT_TRUE(branches::idealbr(1, 1));
  EXPECT_TRUE(e_s0::idealss(1));
  EXPECT_EQ(branches::geq(1, 1), 0.0);
  EXPECT_EQ(harmimp::branch_r(1, 1), 1.0e-20);
  // A vanishing capacitance is an open circuit, not a short.
  wakro_varrlc10(2, 1, kVarCapacitance, current, 0.0, 0.0);
  EXPECT_EQ(branches::geq(2, 1), 0.0);
  EXPECT_FALSE(branches::capacitr(2, 1));
  EXPECT_FALSE(branches::idealbr(2, 1));
  EXPECT_EQ(e_s2::nexc, 20);
  // A vanishing inductance in the configured form warns in one two-line message.
  const auto out = nettest::capture([] { e_varrlc1_exe(kVarInductance, 1, 3, 0, 0.0, 0.0); });
  EXPECT_EQ(out.text,
            " ***WARN*** Inductance value is too small.\n"
            " ***WARN*** Considering the branch as a small resistive branch.\n");
  EXPECT_EQ(branches::geq(3, 1), 1.0e20);
  EXPECT_EQ(storage::nstorf, 3);
}

TEST_F(VariableSetUp, ImpedanceBranchFormsTheSeriesCompanion) {
  const double dt = e_s1::delt;
  e_varimpbranch(1, 1, 1, 1, 1, 2.0, 0.01, 100.0);
  const double rl = 2.0 * 0.01 / dt, rc = 500000.0 * dt / 100.0;
  const double g = 1.0 / (rl + 2.0 + rc);
  EXPECT_DOUBLE_EQ(branches::geq(1, 1), g);
  EXPECT_DOUBLE_EQ(branches::rlg(1, 1), rl * g);
  EXPECT_DOUBLE_EQ(branches::rcg(1, 1), rc * g);
  EXPECT_DOUBLE_EQ(branches::rsl(1, 1), g * rc * (rl + 2.0));
  EXPECT_TRUE(branches::resistor(1, 1) && branches::inductor(1, 1) && branches::capacitr(1, 1));
  // All parts off: open. Switching a part off later is a change.
  e_varimpbranch(2, 1, 0, 0, 0, 2.0, 0.01, 100.0);
  EXPECT_EQ(branches::geq(2, 1), 0.0);
  e_s1::timezero = false;
  storage::nstorf = 1;
  e_varimpbranch(1, 1, 1, 0, 1, 2.0, 0.01, 100.0);
  EXPECT_DOUBLE_EQ(branches::geq(1, 1), 1.0 / (2.0 + rc));
  EXPECT_FALSE(branches::inductor(1, 1));
  // The second form: no part leaves a 1e8 ohm branch.
  e_s1::timezero = true;
  e_varimpbranch2(3, 1, 0, 0, 0, 0.0, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(branches::geq(3, 1), 1.0e-8);
  EXPECT_EQ(harmimp::branch_r(3, 1), 1.0e8);
  EXPECT_EQ(storage::nstorf, 13);
}

// Kinds 0 to 2 have no companion branch (the case passes branch2 = 0): each set-up
// appends one type-9 record naming the variable branch itself, never branch 0.
TEST_F(VariableSetUp, PlainKindsRecordTheBranchItself) {
  for (const std::int32_t kind : {kVarResistance, kVarInductance, kVarCapacitance}) {
    const std::int32_t br = kind + 1;
    e_varrlc1_cfg(kind, 1, br, 0);
    ASSERT_EQ(harmimp::harm_num, br);
    EXPECT_EQ(harmimp::harm_type(br), 9);
    EXPECT_EQ(harmimp::harm_ss(br), 1);
    EXPECT_EQ(harmimp::harm_node(br, 1), br);
    EXPECT_EQ(harmimp::harm_node(br, 2), 0);
    EXPECT_TRUE(branches::source(br, 1));
  }
}

TEST_F(VariableSetUp, CorrectedFormCarriesFluxInItsCurrentSourceBranch) {
  e_varrlc1_cfg(kVarInductanceCorrected, 1, 1, 2);
  EXPECT_TRUE(branches::defrdbr(2, 1));
  EXPECT_EQ(branches::geq(2, 1), 0.0);
  EXPECT_EQ(harmimp::harm_num, 1);
  EXPECT_EQ(harmimp::harm_node(1, 1), 2);
  e_varrlc1_exe(kVarInductanceCorrected, 1, 1, 2, 0.1, 0.0);
  EXPECT_DOUBLE_EQ(branches::geq(1, 1), 0.5 * e_s1::delt / 0.1);
  e_s1::timezero = false;
  branches::cbr(1, 1) = 3.0;
  storage::nstorf = 1;
  e_varrlc1_exe(kVarInductanceCorrected, 1, 1, 2, 0.05, 0.0);
  EXPECT_DOUBLE_EQ(branches::ccbr(2, 1), 3.0);  // (0.1 / 0.05 - 1) 3 kA
  storage::nstorf = 1;
  e_varrlc1_exe(kVarInductanceCorrected, 1, 1, 2, 0.05, 0.0);
  EXPECT_DOUBLE_EQ(branches::ccbr(2, 1), 3.0);  // carried while L stays
}

}  // namespace

namespace {

// wakro_varrlc10 checks its branch and subsystem numbers on every call with one
// inline comparison chain and hands a failing pair to the branch check for its
// message: each kind of bad number stops the run with that check's own words,
// under the routine's tag, and a good pair passes.
TEST_F(VariableBranches, EveryCallChecksItsBranchAndSubsystemNumbers) {
  struct Case {
    std::int32_t ibr, iss;
    const char* text;  // empty: the pair is good
  };
  const std::vector<Case> cases{{0, 1, "Zero Branch Number"},
                                {3, 1, "Current Branch# (    3 ) > max Br#    2 in SS  1"},
                                {-2, 1, "Negative Branch #   -2 in SS  1"},
                                {1, 0, "Zero Subsystem Number"},
                                {1, -1, "Negative Subsystem Number: -1"},
                                {1, 2, "Current SS# (  2 ) is greater than max SS#   1"},
                                {2, 1, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.ibr) + " in " + std::to_string(c.iss));
    // A stop ends the run and releases its arrays: every case sets up afresh.
    size(1, 2);
    add_branch(1, 0, 1, 1.0e-3, 0.0, 0.0, 0.0, 1.0);
    add_branch(1, 1, 0, 10.0, 0.0, 0.0);
    e_s2::nexc = 0;
    double current = 0.0;
    const auto out =
        nettest::capture([&] { wakro_varrlc10(c.ibr, c.iss, kVarResistance, current, 10.0, 0.0); });
    if (std::string(c.text).empty()) {
      EXPECT_EQ(out.status, -1) << out.text;
      continue;
    }
    EXPECT_NE(out.status, -1);
    EXPECT_NE(out.text.find(c.text), std::string::npos) << out.text;
    EXPECT_NE(out.text.find("VARRLC10"), std::string::npos) << out.text;
  }
}

}  // namespace

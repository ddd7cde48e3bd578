// The matrix helpers of the network room checked on solved node voltages and
// branch currents, with the own elimination and with the sparse solver:
//   - a resistance changed at run time on a branch that is not a switch: a 1 kV
//     EMF behind 10 ohm feeds a load of 10 ohm, then 5 ohm: 1/20 kA, then 1/15 kA
//     (V1 = 0.5 kV, then 1/3 kV); the same through a load between two nodes
//     (10 ohm to node 2, 10 ohm from there to ground): 1/30 kA, then 1/25 kA;
//     both before and after the time-zero build;
//   - a switch changed through its GEQ;
//   - the n x n stamp: nodes 1 and 2 coupled by 2 S, node 2 to ground by 1 ohm,
//     1 kA into node 1: V1 = 1.5 kV, V2 = 1.0 kV (as with a 0.5 ohm branch); a
//     ground admittance of 0.5 S at node 1 then gives V1 = 3/3.5, V2 = 2/3.5 kV;
//   - the Norton helper: 0.5 S and 1 kA at node 1 beside 2 ohm to ground give
//     1 kV; a node enabled at set-up that starts injecting later gives its
//     closed-form voltage without the late-node warning;
//   - the refusals of bad subsystem, branch and node numbers and of an admittance
//     whose size does not match.
// Every network here is resistive, so each step solves the same DC network and
// the values are exact up to rounding (1e-12 relative).
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "model/e_s8.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/switching.h"
#include "sparse_fixture.h"

namespace {

using nettest::capture;
using nettest::quit_block;
using nettest::rel;

constexpr double kTol = 1e-12;
constexpr const char* kTag = "STAMPTEST   ";

// The solver: false the own elimination, true the sparse solver.
class MatrixHelpers : public nettest::SparseNetwork, public ::testing::WithParamInterface<bool> {
 protected:
  void prepare() {
    if (GetParam()) force_sparse();
  }
};

TEST_P(MatrixHelpers, ResistanceChangedOnADataBranchChangesItsCurrentAtTheNextStep) {
  for (const bool between_nodes : {false, true}) {
    for (const bool before_build : {true, false}) {
      SCOPED_TRACE(std::string(between_nodes ? "load between nodes" : "grounded load") +
                   (before_build ? ", before the build" : ", after the build"));
      size(2, 3);
      prepare();
      // The 1 kV EMF from ground into node 1 behind 10 ohm is branch 1.
      add_branch(1, 0, 1, 10.0, 0.0, 0.0, 0.0, 1.0);
      const std::int32_t load = add_branch(1, 1, between_nodes ? 2 : 0, 10.0, 0.0, 0.0);
      // Node 2: the rest of the load, or 1 ohm so that it is not left floating.
      add_branch(1, 2, 0, between_nodes ? 10.0 : 1.0, 0.0, 0.0);
      const double first = between_nodes ? 1.0 / 30.0 : 1.0 / 20.0;
      const double second = between_nodes ? 1.0 / 25.0 : 1.0 / 15.0;
      EXPECT_FALSE(e_s0::gm_built);
      if (before_build) wakro::change_branch_conductance(kTag, 1, load, 0.2);
      start_run(6);
      EXPECT_TRUE(e_s0::gm_built);
      if (!before_build) {
        step();
        EXPECT_LT(rel(i(load), first), kTol);
        EXPECT_LT(rel(v(1), 1.0 - 10.0 * first), kTol);
        step();
        EXPECT_LT(rel(i(load), first), kTol);
        // A model changes the load from 10 to 5 ohm during the dynamics pass.
        model_ = [load] { wakro::change_branch_conductance(kTag, 1, load, 0.2); };
        step();
        model_ = nullptr;
      } else {
        step();
      }
      EXPECT_EQ(branches::geq(load, 1), 0.2);
      EXPECT_LT(rel(i(load), second), kTol);
      EXPECT_LT(rel(i(1), second), kTol);
      EXPECT_LT(rel(v(1), 1.0 - 10.0 * second), kTol);
      step();
      EXPECT_LT(rel(i(load), second), kTol);
      release_all_and_reset();
    }
  }
}

// A closed switch of 1 ohm from node 1 to ground beside a 1 ohm branch, 1 kA into
// node 1: V1 = 0.5 kV; the switch changed to 1/3 S: V1 = 1/(1 + 1/3) = 0.75 kV.
TEST_P(MatrixHelpers, SwitchConductanceChangesThroughItsGeq) {
  size(1, 2);
  prepare();
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  const std::int32_t sw = add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, sw, 1.0, 1.0e6, 0.0, 0.0, kTag);
  wakro_turnon(1, sw, 6, 0.0);
  wakro::enable_norton(kTag, 1, 1);
  model_ = [] { wakro::add_norton(kTag, 1, 1, 0.0, 1.0); };
  start_run(4);
  step();
  EXPECT_LT(rel(v(1), 0.5), kTol);
  const double gm11 = e_s0::assign_gm_ptr(1)(1, 1);
  wakro::change_branch_conductance(kTag, 1, sw, 1.0 / 3.0);
  EXPECT_EQ(e_s0::assign_gm_ptr(1)(1, 1), gm11);  // a switch is not in GM
  EXPECT_EQ(e_s8::mxinv(1), 1);
  step();
  EXPECT_LT(rel(v(1), 0.75), kTol);
  EXPECT_LT(rel(i(sw), 0.25), kTol);
}

// Nodes 1 and 2 coupled by 2 S, node 2 to ground by 1 ohm, 1 kA into node 1, in
// four ways: a 0.5 ohm data branch, the stamp between nodes (packed), the stamp of
// the nodal admittance (dense), and the packed stamp with node 2 listed twice
// beside ground (whose entries then do nothing or add to the ground admittance).
TEST_P(MatrixHelpers, AdmittanceStampSolvesAsTheBranchItStandsFor) {
  const std::array<double, 3> packed{0.0, 2.0, 0.0};
  const std::array<double, 4> nodal{2.0, -2.0, -2.0, 2.0};
  const std::array<std::int32_t, 2> nodes{1, 2};
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    size(2, 2);
    prepare();
    add_branch(1, 2, 0, 1.0, 0.0, 0.0);
    if (way == 0) add_branch(1, 1, 2, 0.5, 0.0, 0.0);
    if (way == 1)
      wakro::stamp_admittance(kTag, 1, nodes, wakro::SymmetricAdmittance::packed(packed, 2));
    if (way == 2)
      wakro::stamp_admittance(kTag, 1, nodes, wakro::SymmetricAdmittance::dense(nodal, 2),
                              wakro::AdmittanceMeaning::nodal);
    EXPECT_TRUE(e_s0::assign_filled_ptr(1)(1, 2));
    wakro::enable_norton(kTag, 1, 1);
    model_ = [] { wakro::add_norton(kTag, 1, 1, 0.0, 1.0); };
    start_run(5);
    step();
    EXPECT_LT(rel(v(1), 1.5), kTol);
    EXPECT_LT(rel(v(2), 1.0), kTol);
    // After the build: 0.5 S from node 1 to ground, listed with ground beside it
    // (the entry between node 1 and the listed ground adds 0.25 S to ground, the
    // ground's own entry nothing).
    const std::array<std::int32_t, 2> with_ground{1, 0};
    const std::array<double, 3> ground{0.25, 0.25, 7.0};
    wakro::stamp_admittance(kTag, 1, with_ground, wakro::SymmetricAdmittance::packed(ground, 2));
    EXPECT_EQ(e_s8::mxinv(1), 1);
    step();
    EXPECT_LT(rel(v(1), 3.0 / 3.5), kTol);
    EXPECT_LT(rel(v(2), 2.0 / 3.5), kTol);
    EXPECT_LT(rel(ideal::gms(1, 1), 0.5), kTol);
    release_all_and_reset();
  }
}

// Node 1: 2 ohm to ground and a Norton source of 0.5 S and 1 kA: 1 kV. Node 2:
// 4 ohm to ground, enabled at set-up, injecting 0.25 S and 1 kA from the third
// step on:
// 0 kV, then 2 kV, without the late-node warning. Ground takes nothing.
TEST_P(MatrixHelpers, NortonHelperInjectsAtItsNode) {
  size(2, 2);
  prepare();
  add_branch(1, 1, 0, 2.0, 0.0, 0.0);
  add_branch(1, 2, 0, 4.0, 0.0, 0.0);
  wakro::enable_norton(kTag, 1, 2);
  wakro::enable_norton(kTag, 1, 0);
  EXPECT_TRUE(e_s0::enabccin(2, 1));
  EXPECT_FALSE(e_s0::enabccin(1, 1));
  model_ = [this] {
    wakro::add_norton(kTag, 1, 1, 0.5, 1.0);
    wakro::add_norton(kTag, 1, 0, 3.0, 3.0);
    if (ctrl::iii >= 2) wakro::add_norton(kTag, 1, 2, 0.25, 1.0);
  };
  start_run(5);
  step();
  step();
  EXPECT_EQ(int2::nmb(1), 2);
  EXPECT_LT(rel(v(1), 1.0), kTol);
  EXPECT_EQ(v(2), 0.0);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.text, "");
  EXPECT_LT(rel(v(1), 1.0), kTol);
  EXPECT_LT(rel(v(2), 2.0), kTol);
}

INSTANTIATE_TEST_SUITE_P(Solver, MatrixHelpers, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Sparse" : "Own"; });

// The refusals, each with its console text and the caller's tag.
class MatrixRefusals : public nettest::Network {};

// The fatal stop releases the matrices, so each refusal starts from a new case.
TEST_F(MatrixRefusals, BadNumbersAndSizesStopWithTheCallersTag) {
  const std::array<std::int32_t, 2> nodes{1, 2};
  const std::array<std::int32_t, 2> too_high{1, 3};
  const std::array<double, 3> packed{1.0, 2.0, 3.0};
  struct Refusal {
    const char* what;
    std::function<void()> call;
    std::string console;
  };
  const Refusal refusals[] = {
      {"branch above the count", [] { wakro::change_branch_conductance(kTag, 1, 2, 1.0); },
       "Current Branch# (    2 ) > max Br#    1 in SS  1\n"},
      {"subsystem above the count", [] { wakro::change_branch_conductance(kTag, 2, 1, 1.0); },
       "Current SS# (  2 ) is greater than max SS#   1\n"},
      {"node above the order", [] { wakro::add_norton(kTag, 1, 3, 1.0, 1.0); },
       "Current Node# (    3 ) > max Node#    2 in SS  1\n"},
      {"negative node", [] { wakro::enable_norton(kTag, 1, -1); }, "Negative Node Number:   -1\n"},
      {"Norton subsystem above the count", [] { wakro::add_norton(kTag, 2, 1, 1.0, 1.0); },
       "Current SS# (  2 ) is greater than max SS#   1\n"},
      {"Norton at ground of no subsystem", [] { wakro::add_norton(kTag, 0, 0, 1.0, 1.0); },
       " Zero Subsystem Number\n"},
      // Ground passes quietly only in a solved subsystem.
      {"Norton at ground of a subsystem above the count", [] { wakro::add_norton(kTag, 2, 0, 1.0, 1.0); },
       "Current SS# (  2 ) is greater than max SS#   1\n"},
      {"enable at ground of a negative subsystem", [] { wakro::enable_norton(kTag, -1, 0); },
       "Negative Subsystem Number: -1\n"},
      {"correction at ground of no subsystem", [] { wakro::correct_previous_injection(kTag, 0, 0, 1.0); },
       " Zero Subsystem Number\n"},
      {"correction above the order", [] { wakro::correct_previous_injection(kTag, 1, 3, 1.0); },
       "Current Node# (    3 ) > max Node#    2 in SS  1\n"},
      {"stamp node above the order",
       [&] {
         wakro::stamp_admittance(kTag, 1, too_high, wakro::SymmetricAdmittance::packed(packed, 2));
       },
       "Current Node# (    3 ) > max Node#    2 in SS  1\n"},
      {"stamp of the wrong size",
       [&] {
         wakro::stamp_admittance(kTag, 1, nodes, wakro::SymmetricAdmittance::dense(packed, 2));
       },
       // Free-format line: each integer one blank and 11 columns.
       " Admittance of order           2 with           2 nodes does not match its"
       "           4 values\n"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    size(2, 2);
    add_branch(1, 1, 0, 1.0, 0.0, 0.0);
    const auto out = capture(r.call);
    EXPECT_NE(out.status, -1);
    EXPECT_EQ(out.text, r.console + quit_block(kTag));
    release_all_and_reset();
  }
}

// The companion of a series R-L-C at dt = 50 us: R = 5, L = 0.01 H (X_L = 400),
// C = 100 uF (X_C = 0.25): Z = 405.25; and the segment conductance dt/(2L).
TEST(Companion, SeriesRlcTermsAndTheInductiveConductance) {
  const double dt = 5.0e-5;
  const wakro::Companion k = wakro::series_companion(5.0, 0.01, 100.0, true, true, dt);
  EXPECT_EQ(k.xl, 400.0);
  EXPECT_EQ(k.xc, 0.25);
  EXPECT_EQ(k.z, 405.25);
  EXPECT_EQ(k.g, 1.0 / 405.25);
  const wakro::Companion lonly = wakro::series_companion(5.0, 0.01, 100.0, true, false, dt);
  EXPECT_EQ(lonly.xc, 0.0);
  EXPECT_EQ(lonly.z, 405.0);
  EXPECT_EQ(wakro::series_companion(0.0, 0.0, 0.0, false, false, dt).g, 0.0);
  EXPECT_EQ(wakro::inductive_conductance(0.01, dt), 0.0025);
}

// The part helpers at dt = 50 us: 2 C / dt of 100 uF is 4 S, of 1e-4 F also 4 S;
// 1 / x of a companion resistance.
TEST(Companion, CapacitiveAndPartConductances) {
  const double dt = 5.0e-5;
  EXPECT_DOUBLE_EQ(wakro::capacitive_conductance(100.0, dt), 4.0);
  EXPECT_DOUBLE_EQ(wakro::capacitive_conductance_farad(1.0e-4, dt), 4.0);
  EXPECT_EQ(wakro::inductive_conductance(0.01, dt), 0.0025);
  EXPECT_EQ(wakro::part_conductance(0.25), 4.0);
}

// What each branch-state helper writes into branch 1, from values whose products
// are exact: X_L = 4, R = 2, X_C = 0.5, g = 1 / 8 (a power of two). Shares:
// rlg 4/8, rcg 0.5/8, rcl 0.5*4/8, rsc 4/8 (0.5 + 2), rsl 0.5/8 (4 + 2); the R-C
// branch: G2C = 1 / 0.5, rcg 0.5/8, rsl 0.5/8 * 2.
class CompanionState : public nettest::Network {};

TEST_F(CompanionState, HelpersWriteTheBranchStateInClosedForm) {
  using namespace branches;
  struct Want {
    const char* what;
    std::function<void()> write;
    double geqd, geqon, geqof, rlg, rcg, rcl, rsc, rsl, g2c;
  };
  const double rl = 4.0, r = 2.0, rc = 0.5, g = 0.125;
  const std::vector<Want> rows = {
      {"series shares", [&] { wakro::set_series_shares(1, 1, rl, r, rc, g); },
       g, g, g, 0.5, 0.0625, 0.25, 1.25, 0.375, -1.0},
      {"cleared", [] { wakro::clear_branch_companion(1, 1); }, 0, 0, 0, 0, 0, 0, 0, 0, -1.0},
      {"series R-C shares", [&] { wakro::set_rc_shares(1, 1, r, rc, g); },
       -1, -1, -1, -1, 0.0625, -1, -1, 0.125, 2.0},
      {"fixed conductance", [&] { wakro::set_fixed_conductances(1, 1, g); }, g, g, g, -1, -1, -1, -1, -1, -1},
      {"OFF state", [] { wakro::set_off_conductance(1, 1, 1.0e6); }, -1, -1, 1.0e-6, -1, -1, -1, -1, -1, -1},
      {"ON state", [] { wakro::set_on_conductance(1, 1, 0.01); }, -1, 100.0, -1, -1, -1, -1, -1, -1, -1},
      {"ideal ON state", [] { wakro::set_ideal_on(1, 1); }, -1, 0.0, -1, -1, -1, -1, -1, -1, -1},
  };
  for (const Want& w : rows) {
    SCOPED_TRACE(w.what);
    size(2, 2);
    add_branch(1, 1, 0, 1.0, 0.0, 0.0);
    // -1 marks an entry the helper leaves alone: it keeps this sentinel.
    geqd(1, 1) = geqon(1, 1) = geqof(1, 1) = rlg(1, 1) = rcg(1, 1) = rcl(1, 1) = rsc(1, 1) = rsl(1, 1) =
        g2c(1, 1) = -1.0;
    w.write();
    EXPECT_EQ(geqd(1, 1), w.geqd);
    EXPECT_EQ(geqon(1, 1), w.geqon);
    EXPECT_EQ(geqof(1, 1), w.geqof);
    EXPECT_EQ(rlg(1, 1), w.rlg);
    EXPECT_EQ(rcg(1, 1), w.rcg);
    EXPECT_EQ(rcl(1, 1), w.rcl);
    EXPECT_EQ(rsc(1, 1), w.rsc);
    EXPECT_EQ(rsl(1, 1), w.rsl);
    EXPECT_EQ(g2c(1, 1), w.g2c);
    release_all_and_reset();
  }
}

}  // namespace

// Each run starts with its whole matrix to be factorised again, whatever the
// marker held (a lowered row, no change, or 0); before the case's set-up there is
// no marker to reset.
TEST(RefactorMarker, EachRunStartsFromTheFirstRow) {
  e_s8::mxinv.release();
  wakro::refactorise_from_first_row(1);
  EXPECT_FALSE(e_s8::mxinv.allocated());
  e_s8::mxinv.allocate(3);
  e_s8::mxinv(1) = 4;
  e_s8::mxinv(2) = 0;
  e_s8::mxinv(3) = 9;
  wakro::refactorise_from_first_row(1);
  wakro::refactorise_from_first_row(2);
  EXPECT_EQ(e_s8::mxinv(1), 1);
  EXPECT_EQ(e_s8::mxinv(2), 1);
  EXPECT_EQ(e_s8::mxinv(3), 9);
  e_s8::mxinv.release();
}

// Factorisation from the first changed node: partial re-factorisation after a
// Norton conductance change, index lists with fill, the change threshold, and the
// diagnostics (ungrounded subsystem, isolated node, cancellation, sparsity
// dimension, zero MXINV) with their exact texts.
#include <vector>

#include "model/sparse.h"
#include "network/packed_factors.h"
#include "net_fixture.h"

namespace {

using nettest::capture;
using nettest::Options;
using nettest::rel;

const std::string kRule = " =========================================================\n";
std::string quit_banner(const std::string& tag) {
  return kRule + " ERROR: Abnormal termination of WAKRO by " + tag + "\n" + kRule + "  \n";
}
const std::string kStars = " " + std::string(52, '*') + "\n";
const std::string kChecklist =
    " ***WARN*** Check Runtime Messages\n"
    " Look for:\n"
    "  - Isolated nodes or branches in the circuit.\n"
    "  - Nodes connected to nothing but open switches.\n"
    "  - A transformer sub-circuit which is ungrounded.\n"
    "  - Switching branches with very high open resistances.\n"
    " Try:\n"
    "  - Grounding a transformer sub-circuit (either by a\n"
    "    direct ground connection or by elements to ground).\n"
    "  - Connecting a high resistance to ground from identified nodes.\n"
    "  - Reducing open resistance of switching branches  \n"
    "    if the resistances are too high (typically > 1 Mohm).\n" +
    kStars;

class Factorisation : public nettest::Network {
 protected:
  // An 8-node ladder: series R between neighbours, R and L to ground at each node.
  void ladder() {
    size(8, 24);
    for (std::int32_t k = 1; k <= 8; ++k) {
      add_branch(1, k, 0, 20.0 + k, 0.0, 0.0);
      add_branch(1, k, 0, 0.0, 0.05 * k, 0.0, 0.1 * k);
      if (k < 8) add_branch(1, k, k + 1, 1.0 + 0.5 * k, 0.0, 0.0);
    }
    e_s0::enabccin(5, 1) = true;
  }

  // Runs the ladder with a Norton conductance at node 5 changing every step; with
  // full set, every factorisation is forced to start from row 1.
  std::vector<double> run_norton(bool full, std::int32_t nsteps) {
    ladder();
    model_ = [full] {
      e_s0::ggin(5, 1) = 0.2 + 0.01 * ctrl::iii;
      e_s0::ccin(5, 1) = 1.5;
      if (full) e_s8::mxinv(1) = 1;
    };
    start_run(nsteps);
    std::vector<double> out;
    for (std::int32_t n = 0; n < nsteps; ++n) {
      step();
      for (std::int32_t k = 1; k <= 8; ++k) out.push_back(v(k));
    }
    return out;
  }
};

TEST_F(Factorisation, NortonChangeRefactorisesFromItsRowAndMatchesAFullFactorisation) {
  const std::vector<double> full = run_norton(true, 30);
  release_all_and_reset();
  ladder();
  model_ = [] {
    e_s0::ggin(5, 1) = 0.2 + 0.01 * ctrl::iii;
    e_s0::ccin(5, 1) = 1.5;
  };
  start_run(30);
  step();
  ASSERT_EQ(int2::ntriang(1), 1);
  // Rows 1..4 keep the factors of the first factorisation from then on.
  const e_s0::RealView rdc = e_s0::assign_rdc_ptr(1);
  std::vector<double> upper_rows;
  for (std::int32_t j = 1; j <= 8; ++j)
    for (std::int32_t i = 1; i <= 4; ++i) upper_rows.push_back(rdc(i, j));
  const double pivot5 = rdc(5, 5);
  std::vector<double> partial;
  for (std::int32_t k = 1; k <= 8; ++k) partial.push_back(v(k));
  for (std::int32_t n = 1; n < 30; ++n) {
    step();
    EXPECT_EQ(int2::ntriang(1), n + 1);
    EXPECT_EQ(e_s8::mxinv(1), 9);
    for (std::int32_t k = 1; k <= 8; ++k) partial.push_back(v(k));
  }
  std::size_t at = 0;
  for (std::int32_t j = 1; j <= 8; ++j)
    for (std::int32_t i = 1; i <= 4; ++i) EXPECT_EQ(rdc(i, j), upper_rows[at++]);
  EXPECT_NE(rdc(5, 5), pivot5);
  ASSERT_EQ(partial.size(), full.size());
  for (std::size_t k = 0; k < full.size(); ++k) EXPECT_LT(rel(partial[k], full[k]), 1e-13) << k;
}

// A re-factorisation from a row writes only the positions of each row's index
// lists (and its diagonal). With a ring the lists carry fill, whose positions hold
// factors of the last factorisation and must start from 0 again: the factors and
// voltages equal those of an assembly that clears whole rows (forced here by
// running each step as a first step), entry for entry.
TEST_F(Factorisation, RowsAssembledOverTheirListsEqualWholeRowAssembly) {
  auto run = [this](bool whole_rows) {
    ladder();
    add_branch(1, 1, 8, 2.5, 0.0, 0.0);  // closes the ring: fill in the lists
    model_ = [whole_rows] {
      e_s0::ggin(5, 1) = 0.2 + 0.01 * ctrl::iii;
      e_s0::ccin(5, 1) = 1.5;
      if (whole_rows) e_s1::firststep = true;
    };
    start_run(20);
    std::vector<double> out;
    for (std::int32_t n = 0; n < 20; ++n) {
      step();
      for (std::int32_t k = 1; k <= 8; ++k) out.push_back(v(k));
    }
    const e_s0::RealView rdc = e_s0::assign_rdc_ptr(1);
    for (std::int32_t j = 1; j <= 8; ++j)
      for (std::int32_t i = 1; i <= 8; ++i) out.push_back(rdc(i, j));
    EXPECT_EQ(int2::ntriang(1), 20);
    return out;
  };
  const std::vector<double> whole = run(true);
  release_all_and_reset();
  const std::vector<double> listed = run(false);
  std::int32_t fill = 0;  // fill entries: listed positions outside GM's pattern
  for (std::int32_t i = 1; i <= 8; ++i)
    for (std::int32_t k = sparse::ubegin(i, 1); k <= sparse::uend(i, 1); ++k)
      if (!e_s0::assign_filled_ptr(1)(i, sparse::ucol(k, 1))) ++fill;
  EXPECT_GT(fill, 0);
  ASSERT_EQ(listed.size(), whole.size());
  for (std::size_t k = 0; k < whole.size(); ++k) EXPECT_EQ(listed[k], whole[k]) << k;
}

TEST_F(Factorisation, NortonChangeThresholdIsRelativeToThePreviousValue) {
  ladder();
  double g = 0.25;
  model_ = [&g] { e_s0::ggin(5, 1) = g; };
  start_run(10);
  step();
  step();
  const std::int32_t before = int2::ntriang(1);
  g = 0.25 * (1.0 + 5e-11);  // within 1e-10 of the previous value: no change
  step();
  EXPECT_EQ(int2::ntriang(1), before);
  g = 0.25 * (1.0 + 5e-11) * (1.0 + 2e-10);  // beyond it: one factorisation
  step();
  EXPECT_EQ(int2::ntriang(1), before + 1);
  step();
  EXPECT_EQ(int2::ntriang(1), before + 1);
}

TEST_F(Factorisation, NortonConductanceFromZeroToAnyValueIsAChange) {
  ladder();
  double g = 0.0;
  model_ = [&g] { e_s0::ggin(5, 1) = g; };
  start_run(10);
  step();
  step();
  EXPECT_EQ(int2::ntriang(1), 1);
  g = 1e-30;
  step();
  EXPECT_EQ(int2::ntriang(1), 2);
}

TEST_F(Factorisation, IndexListsCarryTheFillAndTheSolutionIsExact) {
  // Node 1 coupled to every other node: eliminating it fills rows 2..4 completely.
  size(4, 7);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  for (std::int32_t k = 2; k <= 4; ++k) {
    add_branch(1, 1, k, 1.0, 0.0, 0.0);
    add_branch(1, k, 0, 1.0, 0.0, 0.0);
  }
  model_ = [] { e_s0::ccin(1, 1) = 3.0; };
  e_s0::enabccin(1, 1) = true;
  start_run(3);
  step();
  using namespace sparse;
  auto row_upper = [](std::int32_t r) {
    std::vector<std::int32_t> c;
    for (std::int32_t k = ubegin(r, 1); k <= uend(r, 1); ++k) c.push_back(ucol(k, 1));
    return c;
  };
  auto row_lower = [](std::int32_t r) {
    std::vector<std::int32_t> c;
    for (std::int32_t k = lbegin(r, 1); k <= lend(r, 1); ++k) c.push_back(lcol(k, 1));
    return c;
  };
  EXPECT_EQ(row_upper(1), (std::vector<std::int32_t>{2, 3, 4}));
  EXPECT_EQ(row_upper(2), (std::vector<std::int32_t>{3, 4}));
  EXPECT_EQ(row_upper(3), (std::vector<std::int32_t>{4}));
  EXPECT_TRUE(row_upper(4).empty());
  EXPECT_TRUE(row_lower(1).empty());
  EXPECT_EQ(row_lower(3), (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(row_lower(4), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(ndde::e_ndim(dim::sparsity), 7);  // six entries each side, plus one
  // Star of 1 ohm branches, 3 kA into node 1: V1 = 3 / (1 + 3/2) = 1.2, the
  // others V1 / 2.
  EXPECT_LT(rel(v(1), 1.2), 1e-15);
  for (std::int32_t k = 2; k <= 4; ++k) EXPECT_LT(rel(v(k), 0.6), 1e-15);
}

TEST_F(Factorisation, OneNodeSubsystemSolvesWithoutAForwardLoop) {
  size(1, 1);
  add_branch(1, 1, 0, 0.25, 0.0, 0.0);
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ccin(1, 1) = 2.0; };
  start_run(2);
  step();
  EXPECT_EQ(v(1), 0.5);
  EXPECT_EQ(i(1), 2.0);
}

TEST_F(Factorisation, UngroundedSubsystemStopsAtTimeZeroWithItsText) {
  size(2, 1);
  add_branch(1, 1, 2, 10.0, 0.0, 0.0);
  start_run(5);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_EQ(out.text,
            " ***ERROR** Ungrounded subsystem 1\n"
            " ***ERROR** . It may be due an open switch in the ground path.\n" +
                quit_banner("ITRIANG     "));
}

TEST_F(Factorisation, IsolatedNodeStopsWithTheSingularityReport) {
  size(3, 2);
  add_branch(1, 1, 0, 10.0, 0.0, 0.0);
  add_branch(1, 1, 2, 10.0, 0.0, 0.0);  // node 3 has no branch
  start_run(5);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_EQ(out.text,
            " ***ERROR** Singularity (a zero diagonal) encountered\n"
            " ***ERROR**  during the triangularization of the circuit\n"
            " ***ERROR**  conductance matrix. This occured at node \n"
            " ***ERROR** 3 in subsystem 1\n"
            " ***ERROR** . The simulation cannot be completed due to \n"
            " ***ERROR** numerically ill-conditioned matrices.\n" +
                kStars + kChecklist + quit_banner("ITRIANG     "));
}

bool g_switched = false;

// One switching at mid-step in the last step, after which row 2 is factorised
// again (and cancels again).
double crossing_in_last_step(std::int32_t, std::int32_t, const wakro::SubStep&) {
  return e_s1::laststep && !g_switched ? 0.5 : wakro::kNoCrossing;
}
void switch_row_two(std::int32_t ss, double) {
  g_switched = true;
  e_s8::mxinv(ss) = 2;
}

TEST_F(Factorisation, CancellationIsReportedOnceAtTheEndAndTheRunCompletes) {
  size(3, 4);
  set_options({true, false, false, false});
  add_branch(1, 1, 2, 1.0, 0.0, 0.0);
  add_branch(1, 2, 3, 1.0e15, 0.0, 0.0);
  add_branch(1, 3, 0, 1.0, 0.0, 0.0);
  const std::int32_t sw = add_branch(1, 3, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  int1::iorv(sw, 1) = 2;
  g_switched = false;
  wakro::network_hooks().switch_crossing = &crossing_in_last_step;
  wakro::network_hooks().switchbr = &switch_row_two;
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ccin(1, 1) = 1.0; };
  start_run(4);
  std::string text;
  for (int n = 0; n < 4; ++n) {
    const std::int32_t before = int2::ntriang(1);
    const auto out = capture([&] { step(); });
    ASSERT_EQ(out.status, -1);
    text += out.text;
    if (n < 3) {
      ASSERT_TRUE(text.empty()) << "reported before the last step";
    } else {
      EXPECT_EQ(int2::ntriang(1), before + 1);  // the factorisation after the switching
    }
  }
  EXPECT_TRUE(g_switched);
  EXPECT_TRUE(int2::nilltr(2, 1));
  EXPECT_FALSE(int2::nilltr(1, 1));
  EXPECT_FALSE(int2::nilltr(3, 1));
  EXPECT_EQ(text,
            " ***WARN*** A very small diagonal was encountered \n"
            " ***WARN*** during the triangularization of the circuit \n"
            " ***WARN*** conductance matrix. The simulation results can be \n"
            " ***WARN*** incorrect due to numerically ill-conditioned matrices.\n" +
                kStars +
                " A very small diagonal was encountered\n"
                " For subsystem            1 , this occurred at nodes:\n"
                "           2\n" +
                kChecklist);
}

TEST_F(Factorisation, SparsityDimensionTooSmallStopsWithTheNeededSize) {
  size(4, 7, 1, 3);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  for (std::int32_t k = 2; k <= 4; ++k) {
    add_branch(1, 1, k, 1.0, 0.0, 0.0);
    add_branch(1, k, 0, 1.0, 0.0, 0.0);
  }
  start_run(3);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_EQ(out.text,
            " ***ERROR** Sparsity dimension ND19 = 3\n"
            " ***ERROR**  exceeded. It should be greater than 7\n" +
                quit_banner("ITRIANG     "));
}

TEST_F(Factorisation, ZeroMxinvWarnsAndFactorisesEverything) {
  size(2, 3);
  add_branch(1, 1, 0, 2.0, 0.0, 0.0);
  add_branch(1, 1, 2, 2.0, 0.0, 0.0);
  add_branch(1, 2, 0, 2.0, 0.0, 0.0);
  e_s0::enabccin(1, 1) = true;
  bool lower = false;
  model_ = [&lower] {
    e_s0::ccin(1, 1) = 3.0;
    if (lower) e_s8::mxinv(1) = 0;
  };
  start_run(5);
  step();
  const double v1 = v(1);
  lower = true;
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.text,
            " ***WARN*** Possible error in a user model, check Non-standard messages\n"
            " WARNING: Zero or negative MXINV by a user model\n"
            " Model is used in subsystem:           1\n"
            " Correct this problem to increase simulation speed!\n");
  EXPECT_EQ(int2::ntriang(1), 2);
  EXPECT_EQ(v(1), v1);
  EXPECT_EQ(e_s8::mxinv(1), 3);
}

TEST_F(Factorisation, SwitchStampsOnlyTheRowsFromTheFirstChangedNode) {
  size(3, 4);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 2, 0, 1.0, 0.0, 0.0);
  add_branch(1, 3, 0, 1.0, 0.0, 0.0);
  const std::int32_t sw = add_branch(1, 1, 3, 4.0, 0.0, 0.0, 0.0, 0.0, true);
  start_run(3);
  step();
  const e_s0::RealView rdc = e_s0::assign_rdc_ptr(1);
  // Full factorisation: the switch conductance 0.25 in rows 1 and 3.
  EXPECT_EQ(rdc(1, 1), 1.0 / 1.25);
  const double row1 = rdc(1, 3);
  // A new switch conductance with MXINV at 3 changes row 3 only.
  branches::geq(sw, 1) = 0.5;
  e_s8::mxinv(1) = 3;
  itriang(1);
  EXPECT_EQ(rdc(1, 1), 1.0 / 1.25);
  EXPECT_EQ(rdc(1, 3), row1);
  // Row 3 assembled: 1 + 0.5 on the diagonal, -0.5 coupling, then eliminated with
  // the old row 1 (whose coupling is -0.25 / 1.25).
  EXPECT_EQ(rdc(3, 1), -0.5);
  EXPECT_DOUBLE_EQ(1.0 / rdc(3, 3), 1.5 - 0.5 * 0.25 / 1.25);
}

TEST_F(Factorisation, SetKluChoosesLargeSubsystemsOnlyWithTheSparseOption) {
  size(3, 1, 2);
  e_s0::mbus(2) = 2;
  int3::enable_sparse = false;
  int3::sparse_limit = 2;
  set_klu();
  EXPECT_FALSE(int3::use_klu(1));
  int3::enable_sparse = true;
  set_klu();
  EXPECT_TRUE(int3::use_klu(1));
  EXPECT_FALSE(int3::use_klu(2));
  int3::enable_sparse = false;
  set_klu();
  EXPECT_TRUE(int3::use_klu(1));  // never cleared here
}

}  // namespace

namespace {

class LateInjection : public nettest::Network {};

TEST_F(LateInjection, NodeInjectedAfterTimeZeroJoinsTheListAndIsReportedOnce) {
  size(3, 3);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 2, 0, 2.0, 0.0, 0.0);
  add_branch(1, 3, 0, 4.0, 0.0, 0.0);
  e_s0::enabccin(3, 1) = true;
  bool late = false;
  model_ = [&late] {
    e_s0::ccin(3, 1) = 1.0;
    if (late) {
      e_s0::ccin(2, 1) = 1.0;
      e_s0::ggin(2, 1) = 0.5;
    }
  };
  start_run(5);
  step();
  EXPECT_EQ(int2::nmb(1), 1);
  late = true;
  const auto out = nettest::capture([&] { step(); });
  EXPECT_EQ(out.text,
            " ***WARN*** Node 2 of subsystem 1 receives an injection that was not enabled at "
            "time zero; it is added now.\n");
  EXPECT_EQ(int2::nmb(1), 2);
  EXPECT_EQ(int2::ll(1, 1), 2);
  EXPECT_EQ(int2::ll(2, 1), 3);
  // 1 kA into 2 ohm in parallel with the injected 0.5 S: 1 / (0.5 + 0.5).
  EXPECT_EQ(v(2), 1.0);
  EXPECT_EQ(v(3), 4.0);
  const auto again = nettest::capture([&] { step(); });
  EXPECT_TRUE(again.text.empty());
  EXPECT_EQ(v(2), 1.0);
}

}  // namespace

namespace {

class PatternGrowth : public nettest::Network {};

// A component couples nodes 1 and 3 after the first factorisation (a new entry of
// the pattern) and asks for a factorisation from node 3 only: the lists are made
// again and the solution is that of the new network.
TEST_F(PatternGrowth, NewCouplingAfterTheFirstFactorisationIsNotLost) {
  size(3, 3);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 2, 0, 1.0, 0.0, 0.0);
  add_branch(1, 3, 0, 1.0, 0.0, 0.0);
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ccin(1, 1) = 3.0; };
  start_run(4);
  step();
  EXPECT_EQ(v(1), 3.0);
  EXPECT_EQ(v(3), 0.0);
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  e_s0::FillView filled = e_s0::assign_filled_ptr(1);
  filled(1, 3) = filled(3, 1) = true;
  gm(1, 3) = gm(3, 1) = 1.0;
  gm(1, 1) += 1.0;
  gm(3, 3) += 1.0;
  e_s8::mxinv(1) = 3;
  step();
  // 3 kA into node 1: 1 ohm to ground, and 1 ohm to node 3 which has 1 ohm to
  // ground: V1 = 3 / (1 + 1/2) = 2, V3 = 1.
  EXPECT_DOUBLE_EQ(v(1), 2.0);
  EXPECT_DOUBLE_EQ(v(3), 1.0);
  EXPECT_EQ(v(2), 0.0);
  EXPECT_EQ(e_s8::mxinv(1), 4);
}

// A coupling between nodes 3 and 4 of a chain 1-2-3 (1 ohm each, 1 ohm to ground
// at every node) comes after the first factorisation, with a factorisation from
// node 3: only rows 3 and 4 are listed again (row 1 keeps its lists, even where
// its pattern row holds an entry they lack) and the solution is the new one.
TEST_F(PatternGrowth, ACouplingInTheLastRowsListsThoseRowsOnly) {
  size(4, 7);
  for (std::int32_t k = 1; k <= 4; ++k) add_branch(1, k, 0, 1.0, 0.0, 0.0);
  add_branch(1, 1, 2, 1.0, 0.0, 0.0);
  add_branch(1, 2, 3, 1.0, 0.0, 0.0);
  e_s0::enabccin(3, 1) = true;
  model_ = [] { e_s0::ccin(3, 1) = 3.0; };
  start_run(4);
  step();
  // Node 3: 1 ohm to ground and 1 + (1 || 2) ohm through node 2: 3 / 1.6 kV.
  EXPECT_DOUBLE_EQ(v(3), 1.875);
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  e_s0::FillView filled = e_s0::assign_filled_ptr(1);
  e_s0::FillView temfil = e_s0::assign_temfil_ptr(1);
  filled(3, 4) = filled(4, 3) = true;
  gm(3, 4) = gm(4, 3) = 1.0;
  gm(3, 3) += 1.0;
  gm(4, 4) += 1.0;
  temfil(1, 4) = true;  // not read again: a full listing would take it
  e_s8::mxinv(1) = 3;
  step();
  using namespace sparse;
  EXPECT_EQ(uend(1, 1) - ubegin(1, 1), 0);  // column 2 alone
  EXPECT_EQ(ucol(ubegin(3, 1), 1), 4);
  EXPECT_EQ(uend(3, 1), ubegin(3, 1));
  EXPECT_EQ(lcol(lbegin(4, 1), 1), 3);
  EXPECT_EQ(lend(4, 1), lbegin(4, 1));
  // Node 3 also meets 2 ohm through node 4: G = 1 + 3/5 + 1/2 = 2.1 S.
  EXPECT_NEAR(v(3), 3.0 / 2.1, 1e-14);
  EXPECT_NEAR(v(4), 1.5 / 2.1, 1e-14);
}

}  // namespace

namespace {

// A grid of 5 rows by 6 columns (nodes numbered row by row): 1 ohm between
// neighbours, 10 ohm + 1 mH to ground at every node, a Norton conductance at
// node 20 that changes every step. Numbered row by row, its first rows reach
// columns apart (1 and 7) and the fill then makes every row's upper list a run of
// consecutive columns: the elimination takes both kinds of list.
class GridFactors : public Factorisation {
 protected:
  std::vector<double> run(bool full, std::int32_t nsteps) {
    size(30, 80);
    for (std::int32_t k = 1; k <= 30; ++k) {
      add_branch(1, k, 0, 10.0, 1e-3, 0.0);
      if (k % 6 != 0) add_branch(1, k, k + 1, 1.0, 0.0, 0.0);
      if (k + 6 <= 30) add_branch(1, k, k + 6, 1.0, 0.0, 0.0);
    }
    e_s0::enabccin(1, 1) = true;
    e_s0::enabccin(20, 1) = true;
    model_ = [full] {
      e_s0::ccin(1, 1) = 2.0;
      e_s0::ggin(20, 1) = 0.3 + 0.05 * (ctrl::iii % 3);
      if (full) e_s8::mxinv(1) = 1;
    };
    start_run(nsteps);
    std::vector<double> out;
    for (std::int32_t n = 0; n < nsteps; ++n) {
      step();
      // The substitution's copy of the factors holds the step's factorisation.
      if (wakro::packed_factors(1, 30) == nullptr) ++unpacked_;
      for (std::int32_t k = 1; k <= 30; ++k) out.push_back(v(k));
    }
    return out;
  }
  std::int32_t unpacked_ = 0;
};

// The factors in the working matrix multiply back to the conductance matrix
// (lower part with the pivots, times the unit upper part), and a re-factorisation
// from row 20 leaves, step for step, the voltages of one from row 1, bit for bit.
// After every factorisation the substitution reads the factors copied in list
// order, entry for entry those of the working matrix.
TEST_F(GridFactors, FactorsMultiplyBackAndPartialEqualsFull) {
  const std::vector<double> full = run(true, 6);
  release_all_and_reset();
  const std::vector<double> partial = run(false, 6);
  ASSERT_EQ(partial.size(), full.size());
  for (std::size_t k = 0; k < full.size(); ++k) EXPECT_EQ(partial[k], full[k]) << k;
  EXPECT_EQ(unpacked_, 0);

  const std::int32_t n = 30;
  const e_s0::RealView rdc = e_s0::assign_rdc_ptr(1);
  const wakro::PackedFactors* packed = wakro::packed_factors(1, n);
  ASSERT_NE(packed, nullptr);
  for (std::int32_t r = 1; r <= n; ++r) {
    EXPECT_EQ(packed->pivot[r - 1], rdc(r, r)) << r;
    for (std::int32_t k = sparse::lbegin(r, 1); k <= sparse::lend(r, 1); ++k)
      EXPECT_EQ(packed->lower[k - 1], rdc(r, sparse::lcol(k, 1))) << r;
    for (std::int32_t k = sparse::ubegin(r, 1); k <= sparse::uend(r, 1); ++k)
      EXPECT_EQ(packed->upper[k - 1], rdc(r, sparse::ucol(k, 1))) << r;
  }
  const auto gm = e_s0::assign_gm_ptr(1);
  const auto filled = e_s0::assign_filled_ptr(1);
  // Dense L (with the pivots on its diagonal) and unit U from the lists.
  std::vector<double> lo(n * n, 0.0), up(n * n, 0.0);
  std::int32_t runs = 0, gaps = 0;
  for (std::int32_t r = 1; r <= n; ++r) {
    lo[(r - 1) * n + (r - 1)] = 1.0 / rdc(r, r);
    up[(r - 1) * n + (r - 1)] = 1.0;
    for (std::int32_t k = sparse::lbegin(r, 1); k <= sparse::lend(r, 1); ++k)
      lo[(r - 1) * n + sparse::lcol(k, 1) - 1] = rdc(r, sparse::lcol(k, 1));
    const std::int32_t b = sparse::ubegin(r, 1);
    const std::int32_t e = sparse::uend(r, 1);
    for (std::int32_t k = b; k <= e; ++k) up[(r - 1) * n + sparse::ucol(k, 1) - 1] = rdc(r, sparse::ucol(k, 1));
    if (b < e) ++(sparse::ucol(e, 1) - sparse::ucol(b, 1) == e - b ? runs : gaps);
  }
  EXPECT_GT(runs, 0);
  EXPECT_GT(gaps, 0);
  const double g20 = 0.3 + 0.05 * (5 % 3);  // the last step's Norton conductance
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = 1; j <= n; ++j) {
      double a = i == j ? gm(i, i) + (i == 20 ? g20 : 0.0) : (filled(i, j) ? -gm(i, j) : 0.0);
      double lu = 0.0;
      for (std::int32_t q = 1; q <= n; ++q) lu += lo[(i - 1) * n + q - 1] * up[(q - 1) * n + j - 1];
      EXPECT_NEAR(lu, a, 1e-12 * 4.2) << i << "," << j;
    }
  }
}

}  // namespace

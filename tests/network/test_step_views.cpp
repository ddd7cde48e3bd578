// What the step keeps between steps to do less per step: the per-subsystem
// columns (taken again after arrays move), the branch class lists (made again
// when a kind flag or a switching mode changes) and the own elimination's factors
// copied in list order (kept up to date through partial re-factorisations).
#include "network/branch_view.h"
#include "sparse_fixture.h"

namespace {

using nettest::rel;

class StepViews : public nettest::Network {};

// A resistive ladder of 20 nodes: 1 ohm k -> k+1, 10 ohm k -> 0, 1 kA into node 1
// and a Norton conductance at node 20 of 0.5 S on even steps, 0.25 S on odd ones,
// so that every step after the first factorises row 20 only. The node voltages
// match the dense reference of each step's network to 1e-12.
TEST_F(StepViews, CopiedFactorsFollowPartialRefactorisations) {
  constexpr std::int32_t n = 20;
  size(n, 2 * n);
  std::vector<nettest::RefBranch> ref;
  for (std::int32_t k = 1; k <= n; ++k) {
    add_branch(1, k, 0, 10.0, 0.0, 0.0);
    ref.push_back({k, 0, 10.0, 0.0});
    if (k < n) {
      add_branch(1, k, k + 1, 1.0, 0.0, 0.0);
      ref.push_back({k, k + 1, 1.0, 0.0});
    }
  }
  e_s0::enabccin(1, 1) = true;
  e_s0::enabccin(n, 1) = true;
  const auto g_at = [](std::int32_t step) { return step % 2 == 0 ? 0.5 : 0.25; };
  model_ = [&] {
    e_s0::ccin(1, 1) = 1.0;
    e_s0::ggin(n, 1) = g_at(ctrl::iii);
  };
  start_run(8);
  std::vector<double> inj(n + 1, 0.0);
  inj[1] = 1.0;
  for (std::int32_t s = 0; s < 6; ++s) {
    const double g = g_at(ctrl::iii);
    const std::int32_t before = int2::ntriang(1);
    step();
    if (s > 0) {
      EXPECT_EQ(int2::ntriang(1), before + 1);
    }
    std::vector<nettest::RefBranch> with_g = ref;
    with_g.push_back({n, 0, 1.0 / g, 0.0});
    const std::vector<double> expected = nettest::dense_solution(n, with_g, inj);
    for (std::int32_t k = 1; k <= n; ++k) EXPECT_LT(rel(v(k), expected[k]), 1e-12) << s << " " << k;
  }
}

// Plain series R-L branches are listed apart; a capacitive part, a source, an
// arrester's mode or a missing inductive part put a branch with the others, and
// a changed flag or mode moves it at the next request.
TEST_F(StepViews, BranchClassesFollowKindFlagsAndModes) {
  size(4, 8);
  for (std::int32_t k = 1; k <= 4; ++k) add_branch(1, k, 0, 1.0, 0.01, 0.0);  // 1..4
  add_branch(1, 1, 2, 1.0, 0.0, 0.0);                                         // 5: R only
  add_branch(1, 2, 3, 1.0, 0.01, 10.0);                                       // 6: R-L-C
  using Ids = std::vector<std::int32_t>;
  EXPECT_EQ(wakro::branch_classes(1).series_rl, (Ids{1, 2, 3, 4}));
  EXPECT_EQ(wakro::branch_classes(1).other, (Ids{5, 6}));
  branches::source(2, 1) = true;
  int1::iorv(3, 1) = wakro::switch_mode::arrester;
  branches::capacitr(6, 1) = false;
  EXPECT_EQ(wakro::branch_classes(1).series_rl, (Ids{1, 4, 6}));
  EXPECT_EQ(wakro::branch_classes(1).other, (Ids{2, 3, 5}));
  add_branch(1, 4, 3, 1.0, 0.01, 0.0);  // 7: a new branch is listed too
  EXPECT_EQ(wakro::branch_classes(1).series_rl, (Ids{1, 4, 6, 7}));
  // Of a mode only whether it is an arrester's counts: a switching's change of
  // mode keeps the lists; to an arrester's and back moves the branch each time.
  int1::iorv(4, 1) = wakro::switch_mode::voltage_rising;
  EXPECT_EQ(wakro::branch_classes(1).series_rl, (Ids{1, 4, 6, 7}));
  int1::iorv(4, 1) = wakro::switch_mode::arrester;
  EXPECT_EQ(wakro::branch_classes(1).series_rl, (Ids{1, 6, 7}));
  EXPECT_EQ(wakro::branch_classes(1).other, (Ids{2, 3, 4, 5}));
  int1::iorv(3, 1) = wakro::switch_mode::timed;
  int1::iorv(4, 1) = wakro::switch_mode::timed;
  EXPECT_EQ(wakro::branch_classes(1).series_rl, (Ids{1, 3, 4, 6, 7}));
}

// The columns are those of the arrays as they are now, also after the state was
// released and allocated again with other sizes.
TEST_F(StepViews, ColumnsAreTakenAgainAfterArraysMove) {
  size(3, 4, 2);
  const wakro::SubsystemColumns& first = wakro::subsystem_columns(2);
  EXPECT_EQ(first.vdc.first, &e_s0::vdc(1, 2));
  EXPECT_EQ(first.geq.first, &branches::geq(1, 2));
  release_all_and_reset();
  size(7, 9, 3);
  for (std::int32_t ss = 1; ss <= 3; ++ss) {
    const wakro::SubsystemColumns& c = wakro::subsystem_columns(ss);
    EXPECT_EQ(c.vdc.first, &e_s0::vdc(1, ss));
    EXPECT_EQ(c.ccin.first, &e_s0::ccin(1, ss));
    EXPECT_EQ(c.cbr.first, &branches::cbr(1, ss));
    EXPECT_EQ(c.ll.first, &int2::ll(1, ss));
    EXPECT_EQ(c.rdc, e_s0::assign_rdc_ptr(ss).data());
    EXPECT_EQ(c.rdc_rows, e_s0::assign_rdc_ptr(ss).extent(1));
  }
}

}  // namespace

// Ideal branches and ideal sources, solved by the own elimination and by the
// sparse solver: a chain to ground, parallel ideal branches, ideal sources in
// series and shorted, a triangle and two loops, the first-row marker, and an ideal
// switch closing and reopening beside another ideal branch, against the dense
// solution of the same network.
#include <string>
#include <vector>

#include "model/temp3.h"
#include "network/ideal_branches.h"
#include "network/switching.h"
#include "sparse_fixture.h"

namespace {

using nettest::capture;
using nettest::quit_block;
using nettest::RefBranch;
using nettest::rel;

// Written by the first factorisation of a subsystem with ideal branches.
const std::string kHasIdeal = " Subsystem           1  has ideal branches\n";

// The solver: false the own elimination, true the sparse solver.
class Ideal : public nettest::SparseNetwork, public ::testing::WithParamInterface<bool> {
 protected:
  void prepare() {
    if (GetParam()) force_sparse();
  }
  // Current balance of every node 1..n from the branch currents (leaving +).
  void expect_balanced(std::int32_t n, double injected_node = 0, double injection = 0.0) {
    std::vector<double> sum(static_cast<std::size_t>(n) + 1, 0.0);
    for (std::int32_t b = 1; b <= int2::insb(1); ++b) {
      const std::int32_t f = branches::ief(b, 1);
      const std::int32_t t = branches::iet(b, 1);
      if (f > 0) sum[static_cast<std::size_t>(f)] += i(b);
      if (t > 0) sum[static_cast<std::size_t>(t)] -= i(b);
    }
    for (std::int32_t k = 1; k <= n; ++k) {
      const double expected = k == injected_node ? injection : 0.0;
      EXPECT_NEAR(sum[static_cast<std::size_t>(k)], expected, 1e-12) << "node " << k;
    }
  }
};

TEST_P(Ideal, ChainOfIdealBranchesToGroundHoldsItsNodesAtZero) {
  // 10 kV behind 1 ohm at node 1, 9 ohm to node 5, then 5 -> 2 -> 9 -> ground ideal;
  // the other nodes have 1 ohm to ground.
  size(9, 10);
  prepare();
  const std::int32_t src = add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 10.0);
  const std::int32_t r9 = add_branch(1, 1, 5, 9.0, 0.0, 0.0);
  const std::int32_t a52 = add_ideal(1, 5, 2);
  const std::int32_t a29 = add_ideal(1, 2, 9);
  const std::int32_t a90 = add_ideal(1, 9, 0);
  for (std::int32_t k : {3, 4, 6, 7, 8}) add_branch(1, k, 0, 1.0, 0.0, 0.0);
  start_run(5);
  for (int n = 0; n < 5; ++n) {
    step();
    EXPECT_EQ(v(5), 0.0);
    EXPECT_EQ(v(2), 0.0);
    EXPECT_EQ(v(9), 0.0);
    // (V1 + 10) / 1 + V1 / 9 = 0.
    EXPECT_LT(rel(v(1), -9.0), 1e-14);
    EXPECT_LT(rel(i(src), 1.0), 1e-12);
    EXPECT_LT(rel(i(r9), -1.0), 1e-12);
    // 1 kA runs up from ground through 9, 2 and 5 and on to node 1: against the
    // from/to order of every ideal branch.
    EXPECT_LT(rel(i(a52), -1.0), 1e-12);
    EXPECT_LT(rel(i(a29), -1.0), 1e-12);
    EXPECT_LT(rel(i(a90), -1.0), 1e-12);
    expect_balanced(9);
  }
  // Node 2 is collapsed into 5, and 9 into 5; 5 is the row tied to ground.
  EXPECT_EQ(ideal::nidlbr(1), 2);
  EXPECT_EQ(ideal::gidlbr(1), 3);
  EXPECT_EQ(ideal::clpslist(1, 1), -a52);
  EXPECT_EQ(ideal::clpslist(2, 1), -a29);
  EXPECT_EQ(ideal::clpslist(3, 1), a90);
  EXPECT_TRUE(temp3::collap(2));
  EXPECT_TRUE(temp3::collap(5));
  EXPECT_TRUE(temp3::collap(9));
  EXPECT_FALSE(temp3::collap(1));
}

TEST_P(Ideal, ParallelIdealBranchesRunAndOneCarriesTheWholeCurrent) {
  size(2, 4);
  const std::int32_t a1 = add_ideal(1, 2, 0);
  const std::int32_t a2 = add_ideal(1, 2, 0);
  add_branch(1, 2, 1, 1.0, 0.0, 0.0);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  e_s0::enabccin(2, 1) = true;
  model_ = [] { e_s0::ccin(2, 1) = 3.0; };
  prepare();
  start_run(4);
  for (int n = 0; n < 4; ++n) {
    const auto out = capture([&] { step(); });
    ASSERT_EQ(out.status, -1) << out.text;
    EXPECT_EQ(v(2), 0.0);
    EXPECT_EQ(v(1), 0.0);
    EXPECT_LT(rel(i(a1) + i(a2), 3.0), 1e-14);
    EXPECT_TRUE((i(a1) == 0.0) != (i(a2) == 0.0)) << i(a1) << " " << i(a2);
  }
  EXPECT_EQ(ideal::clpslist(2, 1), 0);  // the second closes the loop
}

TEST_P(Ideal, IdealSourceToGroundFixesItsNodeExactly) {
  // A zero-impedance source 1 -> 0 of 5 kV and 10 ohm beside it: V1 + 5 = 0.
  size(1, 2);
  const std::int32_t e = add_ideal(1, 1, 0, 5.0);
  const std::int32_t r = add_branch(1, 1, 0, 10.0, 0.0, 0.0);
  prepare();
  start_run(3);
  for (int n = 0; n < 3; ++n) {
    step();
    EXPECT_EQ(v(1), -5.0);
    EXPECT_LT(rel(i(r), -0.5), 1e-15);
    EXPECT_LT(rel(i(e), 0.5), 1e-15);
  }
}

TEST_P(Ideal, IdealSourcesBetweenNodesMatchTheDenseSolution) {
  // 1 -> 2 ideal 3 kV, 2 -> 4 ideal 1 kV, loads to ground and 1 kA into node 3.
  size(4, 7);
  add_ideal(1, 1, 2, 3.0);
  add_branch(1, 1, 0, 2.0, 0.0, 0.0);
  add_branch(1, 2, 3, 4.0, 0.0, 0.0);
  add_branch(1, 3, 0, 5.0, 0.0, 0.0, 0.0, 2.0);
  add_ideal(1, 2, 4, 1.0);
  add_branch(1, 4, 0, 3.0, 0.0, 0.0);
  add_branch(1, 4, 3, 7.0, 0.0, 0.0);
  e_s0::enabccin(3, 1) = true;
  model_ = [] { e_s0::ccin(3, 1) = 1.0; };
  prepare();
  const std::vector<double> ref = nettest::dense_solution(4,
                                                          {{1, 2, 0, 3.0},
                                                           {1, 0, 2.0, 0},
                                                           {2, 3, 4.0, 0},
                                                           {3, 0, 5.0, 2.0},
                                                           {2, 4, 0, 1.0},
                                                           {4, 0, 3.0, 0},
                                                           {4, 3, 7.0, 0}},
                                                          {0, 0, 0, 1.0, 0});
  start_run(3);
  for (int n = 0; n < 3; ++n) {
    step();
    for (std::int32_t k = 1; k <= 4; ++k) EXPECT_LT(rel(v(k), ref[k]), 1e-12) << "node " << k;
    EXPECT_LT(rel(v(1) - v(2), -3.0), 1e-12);
    expect_balanced(4, 3, 1.0);
  }
}

TEST_P(Ideal, IdealSourceInParallelWithAnIdealBranchStops) {
  size(2, 4);
  add_ideal(1, 2, 0, 5.0);
  add_ideal(1, 2, 0);
  add_branch(1, 2, 1, 1.0, 0.0, 0.0);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  prepare();
  start_run(3);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_EQ(out.text,
            kHasIdeal +
                " ***ERROR** Short circuited or parallel ideal voltage source between nodes \n"
                " ***ERROR** 2 and 0 of subsystem 1\n" +
                quit_block("SCTEST"));
}

TEST_P(Ideal, TriangleOfIdealBranchesStops) {
  size(3, 4);
  add_ideal(1, 1, 2);
  add_ideal(1, 2, 3);
  add_ideal(1, 3, 1);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  prepare();
  start_run(3);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_EQ(out.text,
            kHasIdeal + " ***ERROR** Ideal loop processing is incomplete\n" + quit_block("IDLCUR"));
}

TEST_P(Ideal, TwoLoopsOfIdealBranchesStop) {
  size(3, 6);
  add_ideal(1, 1, 0);
  add_ideal(1, 1, 0);
  add_ideal(1, 2, 3);
  add_ideal(1, 2, 3);
  add_branch(1, 2, 0, 1.0, 0.0, 0.0);
  add_branch(1, 1, 2, 1.0, 0.0, 0.0);
  prepare();
  start_run(3);
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_EQ(out.text, kHasIdeal +
                          " ***ERROR** More than 1 loops entirely \n"
                          " ***ERROR** consisting of ideal branches. \n"
                          " ***ERROR** Check branch 1 in subsystem 1.\n" +
                          quit_block("IDLCUR"));
}

INSTANTIATE_TEST_SUITE_P(Solver, Ideal, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return std::string(p.param ? "Sparse" : "Own");
                         });

class IdealUnit : public nettest::SparseNetwork {};

TEST_F(IdealUnit, FirstRowMarkerIsLoweredBelowEveryStraddlingIdealBranch) {
  size(8, 3);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_ideal(1, 3, 8);
  e_s8::mxinv(1) = 6;
  istnew(1);
  EXPECT_EQ(e_s8::mxinv(1), 3);
  // A branch 1 - 3 now straddles row 3 in its turn.
  add_ideal(1, 1, 3);
  e_s8::mxinv(1) = 6;
  istnew(1);
  EXPECT_EQ(e_s8::mxinv(1), 1);
  // Nothing below 2, and a branch wholly beyond the marker is left alone.
  e_s8::mxinv(1) = 1;
  istnew(1);
  EXPECT_EQ(e_s8::mxinv(1), 1);
  branches::idealbr(3, 1) = false;
  e_s8::mxinv(1) = 2;
  istnew(1);
  EXPECT_EQ(e_s8::mxinv(1), 2);
}

TEST_F(IdealUnit, SourceShortedOnItselfIsReportedBetweenGroundAndItsNode) {
  size(3, 2);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_ideal(1, 3, 3, 2.0);
  const auto out = capture([] { sctest(1); });
  EXPECT_EQ(out.status, 2000);
  EXPECT_EQ(out.text,
            " ***ERROR** Short circuited or parallel ideal voltage source between nodes \n"
            " ***ERROR** 0 and 3 of subsystem 1\n" +
                quit_block("SCTEST"));
}

TEST_F(IdealUnit, SourceInATreeOfIdealBranchesPasses) {
  size(4, 4);
  add_ideal(1, 1, 2, 1.0);
  add_ideal(1, 2, 3);
  add_ideal(1, 3, 0, 2.0);
  add_ideal(1, 2, 4);
  const auto out = capture([] { sctest(1); });
  EXPECT_EQ(out.status, -1);
  EXPECT_TRUE(out.text.empty());
}

// An ideal switch (RON 0) closing inside a step and reopening ten steps later,
// beside an ideal branch elsewhere; the switch's branch number comes before or
// after the other ideal branch's. At every step's end the voltages are those of
// the dense solution of the network in the switch's present state.
struct SwitchCase {
  bool sparse;
  bool switch_first;
};

class IdealSwitch : public nettest::SparseNetwork,
                    public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(IdealSwitch, ClosesAndReopensBesideAnotherIdealBranch) {
  extra_dims_ = {{dim::stor, 200}, {dim::stori, 40}, {dim::storf, 40}};
  size(6, 10);
  set_options({true, false, false, false});
  // 1: 10 kV behind 1 ohm; 1 -> 2 2 ohm; 2 -> 3 ideal; 3 -> 0 5 ohm; 1 -> 4 2 ohm;
  // switch 4 -> 5; 5 -> 0 4 ohm; 5 -> 6 1 ohm; 6 -> 0 1 ohm.
  std::vector<RefBranch> net = {{1, 0, 1.0, 10.0}, {1, 2, 2.0, 0}, {3, 0, 5.0, 0}, {1, 4, 2.0, 0},
                                {5, 0, 4.0, 0},    {5, 6, 1.0, 0}, {6, 0, 1.0, 0}, {4, 0, 50.0, 0}};
  std::int32_t sw = 0;
  std::int32_t ideal_br = 0;
  auto add_switch = [&] {
    sw = add_branch(1, 4, 5, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    wakro_initswbr(1, sw, 0.0, 1.0e6, 0.0, 0.0, "TEST        ");
  };
  if (GetParam().switch_first) add_switch();
  for (const RefBranch& b : net) add_branch(1, b.f, b.t, b.r, 0.0, 0.0, 0.0, b.e);
  ideal_br = add_ideal(1, 2, 3);
  if (!GetParam().switch_first) add_switch();
  if (GetParam().sparse) force_sparse();

  const double dt = e_s1::delt;
  int1::iorv(sw, 1) = 8;
  branches::swlevl(sw, 1) = 3.4 * dt;  // closes 0.4 of the way into step 4
  model_ = [&] {
    if (ctrl::iii == 10) {  // reopens 0.7 of the way into step 14
      int1::iorv(sw, 1) = 8;
      branches::swlevl(sw, 1) = 13.7 * dt;
    }
  };
  std::vector<RefBranch> open = net;
  open.push_back({2, 3, 0.0, 0.0});
  open.push_back({4, 5, 1.0e6, 0.0});
  std::vector<RefBranch> closed = net;
  closed.push_back({2, 3, 0.0, 0.0});
  closed.push_back({4, 5, 0.0, 0.0});
  const std::vector<double> none(7, 0.0);
  const std::vector<double> v_open = nettest::dense_solution(6, open, none);
  const std::vector<double> v_closed = nettest::dense_solution(6, closed, none);

  start_run(20);
  for (int n = 0; n < 20; ++n) {
    step();
    const bool is_closed = n >= 4 && n < 14;
    ASSERT_EQ(branches::idealbr(sw, 1), is_closed) << "step " << n;
    const std::vector<double>& ref = is_closed ? v_closed : v_open;
    for (std::int32_t k = 1; k <= 6; ++k)
      ASSERT_LT(std::abs(v(k) - ref[k]), 1e-10 * std::abs(ref[1])) << "step " << n << " node " << k;
    EXPECT_LT(std::abs(v(2) - v(3)), 1e-14 * std::abs(ref[1])) << "step " << n;
    if (is_closed) {
      EXPECT_LT(std::abs(v(4) - v(5)), 1e-14 * std::abs(ref[1])) << "step " << n;
      // The switch carries what the load side 5 draws: 5 -> 0 and 5 -> 6 -> 0.
      const double load = v(5) / 4.0 + v(5) / 2.0;
      EXPECT_LT(std::abs(i(sw) - load), 1e-12 * std::abs(load)) << "step " << n;
    }
    EXPECT_LT(std::abs(i(ideal_br) - v(3) / 5.0), 1e-12) << "step " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, IdealSwitch,
                         ::testing::Values(SwitchCase{false, false}, SwitchCase{false, true},
                                           SwitchCase{true, false}, SwitchCase{true, true}),
                         [](const ::testing::TestParamInfo<SwitchCase>& p) {
                           return std::string(p.param.sparse ? "Sparse" : "Own") +
                                  (p.param.switch_first ? "SwitchFirst" : "SwitchLast");
                         });

}  // namespace

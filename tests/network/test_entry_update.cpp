// Changes between factorisations on the sparse solver: a switching, a run-time
// conductance change and a Norton change write only their own entries into the
// stored matrix (a poisoned entry of the dense work matrix elsewhere in the rows
// being factorised is neither read nor written), and the solution is the network's
// closed-form one; a change the record does not know (gm written directly) makes
// the rows be assembled again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "model/e_s8.h"
#include "network/matrix.h"
#include "network/solution.h"
#include "network/switching.h"
#include "sparse_fixture.h"

namespace {

using nettest::RefBranch;

constexpr double kTol = 1e-12;
constexpr const char* kTag = "TEST        ";

class EntryUpdate : public nettest::SparseNetwork {
 protected:
  // Ladder of 4 nodes: 1 ohm from each node to ground and between neighbours, a
  // switch (ON 0.5 ohm) from node 2 to ground, a 1 kA injection into node 1.
  // branch_rows: room for branches added later.
  void build(std::int32_t branch_rows = 8) {
    size(4, branch_rows);
    force_sparse();
    for (std::int32_t k = 1; k <= 4; ++k) add_branch(1, k, 0, 1.0, 0.0, 0.0);
    for (std::int32_t k = 1; k <= 3; ++k) rungs_.push_back(add_branch(1, k, k + 1, 1.0, 0.0, 0.0));
    sw_ = add_branch(1, 2, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
    wakro_initswbr(1, sw_, 0.5, 1.0e6, 0.0, 0.0, kTag);
    e_s0::enabccin(1, 1) = true;
    e_s0::enabccin(3, 1) = true;
    model_ = [this] {
      e_s0::ccin(1, 1) = 1.0;
      e_s0::ggin(3, 1) = norton_;
    };
  }
  // The reference solution with the switch closed or open, rung 3-4 of r34 ohm.
  void expect_voltages(bool closed, double r34) const {
    std::vector<RefBranch> brs;
    for (std::int32_t k = 1; k <= 4; ++k) brs.push_back({k, 0, 1.0, 0.0});
    brs.push_back({1, 2, 1.0, 0.0});
    brs.push_back({2, 3, 1.0, 0.0});
    brs.push_back({3, 4, r34, 0.0});
    brs.push_back({2, 0, closed ? 0.5 : 1.0e6, 0.0});
    if (norton_ != 0.0) brs.push_back({3, 0, 1.0 / norton_, 0.0});
    const std::vector<double> ref = nettest::dense_solution(4, brs, {0.0, 1.0, 0.0, 0.0, 0.0});
    for (std::int32_t k = 1; k <= 4; ++k)
      EXPECT_LT(std::abs(v(k) - ref[static_cast<std::size_t>(k)]), kTol * std::abs(ref[1])) << k;
  }
  double& poisoned() { return e_s0::assign_rdc_ptr(1)(4, 4); }

  std::vector<std::int32_t> rungs_;
  std::int32_t sw_ = 0;
  double norton_ = 0.0;
};

TEST_F(EntryUpdate, KnownChangesWriteOnlyTheirEntriesIntoTheStoredMatrix) {
  build();
  start_run(10);
  step();
  step();
  expect_voltages(false, 1.0);
  const double kept = poisoned();

  // A switching: rows from node 2 are factorised again, row 4 is not touched.
  poisoned() = 12345.0;
  wakro_turnon(1, sw_, 6, 0.0);
  step();
  EXPECT_EQ(poisoned(), 12345.0);
  expect_voltages(true, 1.0);
  const wakro::SparseMatrixRef a = wakro::sparse_matrix(1);
  ASSERT_EQ(a.n, 4);
  // Node 2: 1 ohm to ground, two 1 ohm rungs and the 0.5 ohm switch.
  EXPECT_DOUBLE_EQ(a.x[wakro::sparse_position(a, 2, 2)], 5.0);

  // A rung changed to 0.5 ohm and a Norton conductance of 0.25 S at node 3 in the
  // same step: nodes 3 and 4 and their coupling change, the rest stays.
  norton_ = 0.25;
  wakro::change_branch_conductance(kTag, 1, rungs_[2], 2.0);
  step();
  expect_voltages(true, 0.5);
  EXPECT_DOUBLE_EQ(a.x[wakro::sparse_position(a, 3, 4)], -2.0);
  EXPECT_DOUBLE_EQ(a.x[wakro::sparse_position(a, 4, 4)], 3.0);
  EXPECT_DOUBLE_EQ(a.x[wakro::sparse_position(a, 3, 3)], 4.25);

  // Opened again, then a step without changes: the entries come back exactly.
  wakro_turnoff(1, sw_, 6, 0.0);
  step();
  expect_voltages(false, 0.5);
  EXPECT_DOUBLE_EQ(a.x[wakro::sparse_position(a, 2, 2)], 3.0 + 1.0e-6);
  step();
  expect_voltages(false, 0.5);
  poisoned() = kept;
}

TEST_F(EntryUpdate, AChangeTheRecordDoesNotKnowAssemblesTheRowsAgain) {
  build();
  start_run(10);
  step();
  step();
  // gm changed directly (rung 3-4 to 0.5 ohm) with MXINV lowered by hand: the
  // rows from 3 are assembled again from gm, straight into the stored matrix
  // (its poisoned entry with them); the dense work matrix is not used.
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  gm(3, 4) = gm(4, 3) = 2.0;
  gm(3, 3) += 1.0;
  gm(4, 4) += 1.0;
  poisoned() = 12345.0;
  const wakro::SparseMatrixRef a = wakro::sparse_matrix(1);
  ASSERT_EQ(a.n, 4);
  a.x[wakro::sparse_position(a, 4, 4)] = 12345.0;
  e_s8::mxinv(1) = 3;
  step();
  EXPECT_DOUBLE_EQ(a.x[wakro::sparse_position(a, 4, 4)], 3.0);
  EXPECT_DOUBLE_EQ(a.x[wakro::sparse_position(a, 3, 4)], -2.0);
  EXPECT_EQ(poisoned(), 12345.0);
  expect_voltages(false, 0.5);
}

// Chosen for the sparse solver before its work matrices are allocated (as a case
// read chooses), the subsystem has none: it is assembled into the stored matrix
// alone, through a switching and a conductance change, and gets them only when
// an ideal branch appears.
TEST_F(EntryUpdate, ASubsystemWithoutWorkMatricesSolvesFromTheStoredMatrixAlone) {
  build(9);
  mark_sparse_subsystems();
  std::int32_t status = -1;
  e_s0::allocate_ss_matrices2(1, e_s0::ssdim, status);
  ASSERT_EQ(status, 0);
  ASSERT_FALSE(e_s0::assign_rdc_ptr(1).valid());
  start_run(10);
  step();
  step();
  expect_voltages(false, 1.0);
  wakro_turnon(1, sw_, 6, 0.0);
  step();
  expect_voltages(true, 1.0);
  norton_ = 0.25;
  wakro::change_branch_conductance(kTag, 1, rungs_[2], 2.0);
  step();
  expect_voltages(true, 0.5);
  EXPECT_FALSE(e_s0::assign_temfil_ptr(1).valid());

  // An ideal branch from node 4 to ground: the work matrices are given and the
  // solution is the reference network's with node 4 held at 0.
  add_ideal(1, 4, 0);
  e_s8::mxinv(1) = 1;
  step();
  EXPECT_TRUE(e_s0::assign_rdc_ptr(1).valid());
  const std::vector<double> ref = nettest::dense_solution(4,
                                                          {{1, 0, 1.0},
                                                           {2, 0, 1.0},
                                                           {3, 0, 4.0 / 5.0},
                                                           {4, 0, 0.0},
                                                           {1, 2, 1.0},
                                                           {2, 3, 1.0},
                                                           {3, 4, 0.5},
                                                           {2, 0, 0.5}},
                                                          {0.0, 1.0, 0.0, 0.0, 0.0});
  for (std::int32_t k = 1; k <= 4; ++k)
    EXPECT_LT(std::abs(v(k) - ref[static_cast<std::size_t>(k)]), kTol) << k;
}

}  // namespace

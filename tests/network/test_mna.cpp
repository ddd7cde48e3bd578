// MNA elements: the set-up (element records by subsystem, the orders and the
// dimensions, the first and later runs of a set), the stamps, an element that
// stands in for an ideal branch, a duplicate element disabled with its notice,
// a voltage-controlled current source, a dynamic branch whose branch is not
// ideal, the current balance of an ideal branch at a node shared with an element,
// and the parallel check over groups of elements that do not meet.
#include <array>
#include <string>
#include <vector>

#include "model/mna.h"
#include "model/sparse.h"
#include "network/mna_routines.h"
#include "sparse_fixture.h"

namespace {

using nettest::capture;
using nettest::rel;

const std::string kHasIdeal = " Subsystem           1  has ideal branches\n";

class Mna : public nettest::SparseNetwork {
 protected:
  // A declaration of subsystem ss with the node pairs given.
  void declare(std::int32_t ss, std::vector<std::array<std::int32_t, 2>> pairs) {
    mna::Mnads d;
    d.subsystem = ss;
    d.npairs = static_cast<std::int32_t>(pairs.size());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
      d.nodes(1, static_cast<int>(k) + 1) = pairs[k][0];
      d.nodes(2, static_cast<int>(k) + 1) = pairs[k][1];
    }
    mna::mnads(++mna::mnaid) = d;
  }
  // The set-up after the case is read, and the solver choice of the run.
  void setup() {
    mna::enable_mna = true;
    initialize_mna_map();
    set_klu();
  }
  // 10 kV behind 1 ohm at node 1, 1 -> 3 2 ohm, 4 -> 0 3 ohm, 4 -> 2 4 ohm, and
  // 2 -> 0 an inductor carrying 1 kA at the start; node 3 to node 4 is left to an
  // ideal branch or an element.
  void bridge_case() {
    extra_dims_ = {{dim::nmana, 4}};
    size(4, 6);
    add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 10.0);
    add_branch(1, 1, 3, 2.0, 0.0, 0.0);
    add_branch(1, 4, 0, 3.0, 0.0, 0.0);
    add_branch(1, 4, 2, 4.0, 0.0, 0.0);
    add_branch(1, 2, 0, 0.0, 0.05, 0.0, 1.0);
  }
  std::vector<double> run_steps(int nsteps, std::string* text = nullptr) {
    start_run(nsteps);
    std::vector<double> out;
    for (int n = 0; n < nsteps; ++n) {
      const auto c = capture([&] { step(); });
      EXPECT_EQ(c.status, -1) << c.text;
      if (text != nullptr) *text += c.text;
      for (std::int32_t k = 1; k <= 4; ++k) out.push_back(v(k));
      out.push_back(i(5));
    }
    return out;
  }
};

TEST_F(Mna, SetUpWithoutMnaSizesByTheSparsityAndNodeDimensions) {
  size(5, 3, 2, 9);
  initialize_mna_map();
  EXPECT_EQ(ndde::nd74, ndde::nd19);
  EXPECT_EQ(ndde::nd75, ndde::nd1);
  EXPECT_EQ(sparse::lcol.extent(1), 9);
  EXPECT_EQ(sparse::ubegin.extent(1), 5);
  EXPECT_EQ(sparse::uend.extent(2), 2);
  EXPECT_EQ(mna::bvect.extent(1), 5);
  EXPECT_EQ(e_s0::assign_rdc_ptr(2).extent(1), 5);
  // A later run of the set only clears the working matrices.
  e_s0::RealView rdc = e_s0::assign_rdc_ptr(1);
  rdc(2, 3) = 4.0;
  e_s0::assign_temfil_ptr(1)(2, 3) = true;
  ctrl::mmm = 2;
  initialize_mna_map();
  EXPECT_EQ(e_s0::assign_rdc_ptr(1).data(), rdc.data());
  EXPECT_EQ(rdc(2, 3), 0.0);
  EXPECT_FALSE(e_s0::assign_temfil_ptr(1)(2, 3));
}

TEST_F(Mna, SetUpAfterASnapshotKeepsTheOrdersTheSnapshotLeft) {
  size(5, 3, 2, 9);
  // Without MNA: the sparsity and node dimensions, matrices of the node order.
  ndde::nd74 = ndde::nd75 = 0;
  initialize_mna_snap();
  EXPECT_EQ(ndde::nd74, 9);
  EXPECT_EQ(ndde::nd75, 5);
  EXPECT_EQ(sparse::ucol.extent(1), 9);
  // With MNA the snapshot's orders stand.
  mna::enable_mna = true;
  mna::mbus_mna(1) = 7;
  mna::mbus_mna(2) = 6;
  ndde::nd75 = 7;
  ndde::nd74 = 22;
  initialize_mna_snap();
  EXPECT_EQ(ndde::nd75, 7);
  EXPECT_EQ(sparse::lcol.extent(1), 22);
  EXPECT_EQ(mna::bvect.extent(1), 7);
  EXPECT_EQ(e_s0::assign_rdc_ptr(1).extent(1), 7);
  // A later run only clears.
  e_s0::assign_rdc_ptr(2)(6, 6) = 3.0;
  ctrl::mmm = 3;
  initialize_mna_snap();
  EXPECT_EQ(e_s0::assign_rdc_ptr(2)(6, 6), 0.0);
  EXPECT_EQ(sparse::lcol.extent(1), 22);
}

TEST_F(Mna, ElementsAreGroupedBySubsystemAndWidenItsOrder) {
  extra_dims_ = {{dim::nmana, 6}};
  size(10, 3, 2);
  e_s0::mbus(2) = 4;
  declare(1, {{1, 2}});
  declare(2, {{1, 0}});
  declare(1, {{3, 4}, {5, 6}});
  declare(1, {{5, 0}});
  setup();
  EXPECT_EQ(mna::no_mna, 6);
  EXPECT_EQ(mna::mna_elem(1), 3);
  EXPECT_EQ(mna::mna_elem(2), 1);
  EXPECT_EQ(mna::mna_start(1), 1);
  EXPECT_EQ(mna::mna_end(1), 3);
  EXPECT_EQ(mna::mna_start(2), 4);
  EXPECT_EQ(mna::mna_end(2), 4);
  EXPECT_EQ(mna::mnads(1).element, 1);
  EXPECT_EQ(mna::mnads(2).element, 4);
  EXPECT_EQ(mna::mnads(3).element, 2);
  EXPECT_EQ(mna::mnads(4).element, 3);
  EXPECT_EQ(mna::mnad(2).a, 3);
  EXPECT_EQ(mna::mnad(2).b, 4);
  EXPECT_EQ(mna::mnad(2).c, 5);
  EXPECT_EQ(mna::mnad(2).d, 6);
  EXPECT_EQ(mna::mnad(4).subsystem, 2);
  EXPECT_TRUE(e_s0::idealss(1));
  EXPECT_TRUE(e_s0::idealss(2));
  EXPECT_EQ(mna::mbus_mna(1), 13);
  EXPECT_EQ(mna::mbus_mna(2), 5);
  EXPECT_EQ(ndde::nd75, 13);
  EXPECT_EQ(ndde::nd74, 12 * 13 / 2 + 1);
  EXPECT_EQ(sparse::lcol.extent(1), 79);
  EXPECT_EQ(mna::xvect.extent(1), 13);
  EXPECT_TRUE(int3::use_klu(1));
  EXPECT_TRUE(int3::use_klu(2));
  // Order 4 gives lists of 7.
  e_s0::mbus(1) = 1;
  e_s0::mbus(2) = 3;
  mna_matdim();
  EXPECT_EQ(ndde::nd75, 4);
  EXPECT_EQ(ndde::nd74, 7);
}

TEST_F(Mna, SubsystemWithoutElementsKeepsItsOrder) {
  extra_dims_ = {{dim::nmana, 2}};
  size(6, 3, 2);
  e_s0::mbus(2) = 6;
  declare(2, {{1, 2}});
  setup();
  EXPECT_EQ(mna::mbus_mna(1), 6);
  EXPECT_EQ(mna::mbus_mna(2), 7);
  EXPECT_EQ(mna::mna_elem(1), 0);
  EXPECT_FALSE(int3::use_klu(1));
  EXPECT_FALSE(e_s0::idealss(1));
}

TEST_F(Mna, StampsOfATransformerElementAndItsFillMarks) {
  extra_dims_ = {{dim::nmana, 1}};
  size(3, 3);
  declare(1, {{1, 2}, {3, 0}});
  setup();
  mna_transformer(2.0, 0.5, 1);
  EXPECT_EQ(e_s8::mxinv(1), 1);  // a changed element is entered again
  e_s0::RealView w = e_s0::assign_rdc_ptr(1);
  e_s0::FillView f = e_s0::assign_temfil_ptr(1);
  w(4, 4) = 99.0;  // what the element row held before is cleared
  mna_process(1);
  EXPECT_EQ(w(1, 4), -2.0);
  EXPECT_EQ(w(4, 1), -2.0);
  EXPECT_EQ(w(2, 4), 2.0);
  EXPECT_EQ(w(4, 2), 2.0);
  EXPECT_EQ(w(3, 4), 1.0);
  EXPECT_EQ(w(4, 3), 1.0);
  EXPECT_EQ(w(4, 4), -2.0 * 2.0 * 0.5);
  for (std::int32_t k = 1; k <= 4; ++k) EXPECT_TRUE(f(k, 4) && f(4, k)) << k;
  // A current-controlled source: (c, r) and (d, r) carry the gain, (r, c) a
  // marked zero.
  mna_cdcs(3.0, 1);
  mna_process(1);
  EXPECT_EQ(w(1, 4), 1.0);
  EXPECT_EQ(w(2, 4), -1.0);
  EXPECT_EQ(w(3, 4), -3.0);
  EXPECT_EQ(w(4, 3), 0.0);
  EXPECT_TRUE(f(4, 3));
  EXPECT_EQ(w(4, 4), 0.0);
  // Its controlled current follows the element's.
  mna::mnad(1).current1 = 0.25;
  update_current(1);
  EXPECT_EQ(mna::mnad(1).current2, 0.75);
  double out = -1.0;
  mna_out(1, out);
  EXPECT_EQ(out, 0.25);
  mna_out(7, out);  // no such declaration
  EXPECT_EQ(out, 0.0);
}

TEST_F(Mna, ElementOfZeroImpedanceReproducesTheIdealBranch) {
  bridge_case();
  add_ideal(1, 3, 4);
  const std::vector<double> ideal_case = run_steps(20);
  const double ideal_current = i(6);

  release_all_and_reset();
  bridge_case();
  declare(1, {{3, 4}});
  setup();
  EXPECT_EQ(mna::mbus_mna(1), 5);
  const std::vector<double> mna_case = run_steps(20);
  ASSERT_EQ(mna_case.size(), ideal_case.size());
  for (std::size_t k = 0; k < ideal_case.size(); ++k)
    EXPECT_LT(std::abs(mna_case[k] - ideal_case[k]), 1e-12 * 10.0) << k;
  // The element's current is its row's unknown (row MBUS + 1).
  EXPECT_LT(std::abs(mna::mnad(1).current1 - ideal_current), 1e-12);
  EXPECT_EQ(mna::xvect(5), mna::mnad(1).current1);
}

TEST_F(Mna, DuplicateElementIsDisabledWithItsNotice) {
  bridge_case();
  add_ideal(1, 3, 4);
  const std::vector<double> ideal_case = run_steps(10);

  release_all_and_reset();
  bridge_case();
  declare(1, {{3, 4}});
  declare(1, {{3, 4}});
  setup();
  std::string text;
  const std::vector<double> mna_case = run_steps(10, &text);
  EXPECT_EQ(text,
            kHasIdeal +
                " ***INFO*** parallel ideal branch between nodes  4 ,3 in subsystem 1 disabled \n");
  for (std::size_t k = 0; k < ideal_case.size(); ++k)
    EXPECT_LT(std::abs(mna_case[k] - ideal_case[k]), 1e-12 * 10.0) << k;
  EXPECT_EQ(mna::mnad(2).current1, 0.0);
  EXPECT_NE(mna::mnad(1).current1, 0.0);
}

TEST_F(Mna, VoltageControlledCurrentSourceDrivesItsLoad) {
  // Node 1 held at 2 kV (2 kA into 1 ohm); 0.5 S x V(1) into node 2, 4 ohm load.
  extra_dims_ = {{dim::nmana, 1}};
  size(2, 2);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 2, 0, 4.0, 0.0, 0.0);
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ccin(1, 1) = 2.0; };
  declare(1, {{1, 0}, {2, 0}});
  setup();
  mna_vdcs(0.5, 1);
  start_run(3);
  for (int n = 0; n < 3; ++n) {
    step();
    EXPECT_LT(rel(v(1), 2.0), 1e-14);
    EXPECT_LT(rel(v(2), 4.0), 1e-14);
    EXPECT_LT(rel(mna::mnad(1).current1, 1.0), 1e-14);
  }
}

TEST_F(Mna, DynamicBranchOnABranchThatIsNotIdealCarriesNothing) {
  extra_dims_ = {{dim::nmana, 1}};
  size(3, 4);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 10.0);
  add_branch(1, 1, 2, 2.0, 0.0, 0.0);
  add_branch(1, 3, 0, 3.0, 0.0, 0.0);
  const std::int32_t k = add_branch(1, 2, 3, 5.0, 0.0, 0.0);
  declare(1, {{2, 3}});
  setup();
  mna_dynbranch(0.0, 0.0, k, 0, 1);
  const std::vector<double> ref = nettest::dense_solution(
      3, {{1, 0, 1.0, 10.0}, {1, 2, 2.0, 0}, {3, 0, 3.0, 0}, {2, 3, 5.0, 0}}, {0, 0, 0, 0});
  start_run(3);
  for (int n = 0; n < 3; ++n) {
    step();
    EXPECT_EQ(mna::mnad(1).current1, 0.0);
    for (std::int32_t node = 1; node <= 3; ++node) EXPECT_LT(rel(v(node), ref[node]), 1e-13);
  }
}

TEST_F(Mna, IdealBranchCurrentCountsTheElementAtItsNode) {
  // 10 kV behind 1 ohm at node 1, element 1 -> 2 of zero impedance, ideal branch
  // 2 -> 3, 4 ohm from 3 to ground: V = -8 kV on all three, -2 kA along the chain.
  extra_dims_ = {{dim::nmana, 1}};
  size(3, 3);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0, 0.0, 10.0);
  const std::int32_t a = add_ideal(1, 2, 3);
  add_branch(1, 3, 0, 4.0, 0.0, 0.0);
  declare(1, {{1, 2}});
  setup();
  start_run(3);
  for (int n = 0; n < 3; ++n) {
    step();
    for (std::int32_t node = 1; node <= 3; ++node) EXPECT_LT(rel(v(node), -8.0), 1e-14);
    EXPECT_LT(rel(mna::mnad(1).current1, -2.0), 1e-14);
    EXPECT_LT(rel(i(a), -2.0), 1e-14);
  }
  EXPECT_LT(rel(mna_cur(2, 1), -2.0), 1e-14);
  EXPECT_LT(rel(mna_cur(1, 1), 2.0), 1e-14);
  EXPECT_EQ(mna_cur(3, 1), 0.0);
}

TEST_F(Mna, ParallelCheckCoversGroupsThatDoNotMeet) {
  size(6, 1);
  const std::vector<std::array<std::int32_t, 2>> pairs = {{1, 2}, {5, 6}, {2, 0}, {6, 5}, {0, 1}};
  std::vector<std::int32_t> result(pairs.size(), 7);
  const auto out = capture([&] { mna_parall(result, 1, pairs); });
  // From node 1: 1 - 2 and 0 - 1 reach 2 and 0, so 2 - 0 closes a loop; then the
  // walk starts again from 5 - 6, which 6 - 5 doubles.
  EXPECT_EQ(result, (std::vector<std::int32_t>{1, 1, -1, -1, 1}));
  EXPECT_EQ(out.text,
            " ***INFO*** parallel ideal branch between nodes  0 ,2 in subsystem 1 disabled \n"
            " ***INFO*** parallel ideal branch between nodes  6 ,5 in subsystem 1 disabled \n");
}

}  // namespace

// The core of the step solution, beyond the basic cases: factorisation from the
// first changed row in a subsystem with ideal branches and after a new coupling,
// a switch whose two ends are one node, Norton nodes that come into use after
// time zero, and the transformer winding currents moved to a sub-step's end.
#include <vector>

#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/umec.h"
#include "sparse_fixture.h"

namespace {

using nettest::capture;
using nettest::rel;

class SolutionCore : public nettest::SparseNetwork {};

// 1 kA into node 1; 1 ohm 1 -> 0, 1 -> 2, 2 -> 3; node 3 tied to node 4 by an ideal
// branch; 1 ohm 4 -> 0; a switch 3 -> 0 open (1 Mohm). Closing it (1 ohm) changes
// rows 3 and 4 only: the rows before keep their factors. Closed, nodes 3 and 4
// have 0.5 ohm to ground, node 2 1.5 ohm, node 1 1 || 2.5 ohm = 5/7 ohm.
TEST_F(SolutionCore, IdealSubsystemFactorisesOnlyFromTheFirstChangedRow) {
  size(4, 6);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 1, 2, 1.0, 0.0, 0.0);
  add_branch(1, 2, 3, 1.0, 0.0, 0.0);
  add_ideal(1, 3, 4);
  add_branch(1, 4, 0, 1.0, 0.0, 0.0);
  const std::int32_t sw = add_branch(1, 3, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ccin(1, 1) = 1.0; };
  start_run(6);
  ASSERT_EQ(capture([&] { step(); }).status, -1);
  step();
  const std::int32_t before = int2::ntriang(1);
  e_s0::RealView rdc = e_s0::assign_rdc_ptr(1);
  const double row1 = rdc(1, 1);
  rdc(1, 1) = 12345.0;  // a factorisation from row 1 would overwrite it
  branches::geq(sw, 1) = 1.0;
  e_s8::mxinv(1) = 3;
  itriang(1);
  EXPECT_EQ(rdc(1, 1), 12345.0);
  EXPECT_EQ(int2::ntriang(1), before + 1);
  EXPECT_EQ(e_s8::mxinv(1), 5);
  rdc(1, 1) = row1;
  step();
  EXPECT_LT(rel(v(1), 5.0 / 7.0), 1e-14);
  EXPECT_LT(rel(v(2), 3.0 / 7.0), 1e-14);
  EXPECT_LT(rel(v(3), 1.0 / 7.0), 1e-14);
  EXPECT_LT(rel(v(4), 1.0 / 7.0), 1e-14);
}

// Four nodes with 1 ohm to ground, 1 ohm 1 -> 2, 2 kA into node 3. A component
// couples 3 and 4 (1 ohm) and lowers MXINV to 3: both rows of the new coupling
// are assembled again, so rows 1 and 2 keep their factors, and the lists gain
// the entry. Node 3 then has 1 || 2 ohm: V3 = 4/3, V4 = 2/3.
TEST_F(SolutionCore, NewCouplingAtOrBeyondTheFirstChangedRowKeepsTheRowsBefore) {
  size(4, 5);
  for (std::int32_t k = 1; k <= 4; ++k) add_branch(1, k, 0, 1.0, 0.0, 0.0);
  add_branch(1, 1, 2, 1.0, 0.0, 0.0);
  e_s0::enabccin(3, 1) = true;
  model_ = [] { e_s0::ccin(3, 1) = 2.0; };
  start_run(5);
  step();
  EXPECT_EQ(v(3), 2.0);
  EXPECT_EQ(v(4), 0.0);
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  e_s0::FillView filled = e_s0::assign_filled_ptr(1);
  filled(3, 4) = filled(4, 3) = true;
  gm(3, 4) = gm(4, 3) = 1.0;
  gm(3, 3) += 1.0;
  gm(4, 4) += 1.0;
  e_s0::RealView rdc = e_s0::assign_rdc_ptr(1);
  const double row1 = rdc(1, 1);
  rdc(1, 1) = 12345.0;
  e_s8::mxinv(1) = 3;
  itriang(1);
  EXPECT_EQ(rdc(1, 1), 12345.0);
  rdc(1, 1) = row1;
  step();
  EXPECT_DOUBLE_EQ(v(3), 4.0 / 3.0);
  EXPECT_DOUBLE_EQ(v(4), 2.0 / 3.0);
  EXPECT_EQ(v(1), 0.0);
}

// A switch from node 1 to node 1 carries no current, open or closed: it must not
// act as a conductance to ground. 1 kA into 2 ohm gives 2 kV.
TEST_F(SolutionCore, SwitchWithBothEndsOnOneNodeAddsNothing) {
  size(1, 2);
  add_branch(1, 1, 0, 2.0, 0.0, 0.0);
  const std::int32_t sw = add_branch(1, 1, 1, 0.01, 0.0, 0.0, 0.0, 0.0, true);
  e_s0::enabccin(1, 1) = true;
  model_ = [] { e_s0::ccin(1, 1) = 1.0; };
  start_run(3);
  step();
  EXPECT_EQ(v(1), 2.0);
  EXPECT_EQ(i(sw), 0.0);
  branches::geq(sw, 1) = 1.0e-6;
  e_s8::mxinv(1) = 1;
  step();
  EXPECT_EQ(v(1), 2.0);
}

// Node 2 is enabled for injections only after time zero: it is not in the list
// built then, so it joins the list when its injection comes, like a node that
// was never enabled. 1 kA into 2 ohm.
TEST_F(SolutionCore, NodeEnabledAfterTimeZeroJoinsTheNortonList) {
  size(2, 2);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 2, 0, 2.0, 0.0, 0.0);
  e_s0::enabccin(1, 1) = true;
  bool late = false;
  model_ = [&late] {
    e_s0::ccin(1, 1) = 1.0;
    if (late) e_s0::ccin(2, 1) = 1.0;
  };
  start_run(5);
  step();
  EXPECT_EQ(int2::nmb(1), 1);
  e_s0::enabccin(2, 1) = true;
  late = true;
  const auto out = capture([&] { step(); });
  EXPECT_EQ(out.text,
            " ***WARN*** Node 2 of subsystem 1 receives an injection that was not enabled at "
            "time zero; it is added now.\n");
  EXPECT_EQ(int2::nmb(1), 2);
  EXPECT_EQ(int2::ll(1, 1), 1);
  EXPECT_EQ(int2::ll(2, 1), 2);
  EXPECT_EQ(v(1), 1.0);
  EXPECT_EQ(v(2), 2.0);
  EXPECT_TRUE(capture([&] { step(); }).text.empty());
  EXPECT_EQ(v(2), 2.0);
}

// One transformer of two windings in subsystem 1: winding 1 from node 1 to
// ground, winding 2 from node 2 to node 1; HM = [1 2; 3 4]; new voltages 3 and 5
// kV, so the winding voltages are 3 and 2 kV and HM times them is (7, 17).
class WindingCurrents : public nettest::SparseNetwork {
 protected:
  void SetUp() override {
    SparseNetwork::SetUp();
    extra_dims_ = {{dim::windings, 2}, {dim::trafos, 1}};
    size(2, 24);
    add_branch(1, 1, 0, 1.0, 0.0, 0.0);
    using namespace e_s5;
    jset = 1;
    numt(1) = 1;
    e_s5tap::tss(1) = -1;  // the sign is not the subsystem's
    msiz(1) = 2;
    mcb(1, 1) = 1;
    ncb(1, 1) = 0;
    mcb(2, 1) = 2;
    ncb(2, 1) = 1;
    hm(1, 1, 1) = 1.0;
    hm(1, 2, 1) = 2.0;
    hm(2, 1, 1) = 3.0;
    hm(2, 2, 1) = 4.0;
    ccmc(1, 1) = 0.5;
    ccmc(2, 1) = -0.25;
    ccmcd(1, 1) = 0.1;
    ccmcd(2, 1) = 0.2;
    spcial::vdcnew(1) = 3.0;
    spcial::vdcnew(2) = 5.0;
  }
  void move(double f, bool notfirst, bool iflag2, bool iflag) {
    wakro::SubStep s;
    s.fracv = f;
    s.notfirst = notfirst;
    s.iflag2 = iflag2;
    s.iflag = iflag;
    incalcvi(1, s);
  }
};

TEST_F(WindingCurrents, CopiedOnAOnePassStepAndInterpolatedLater) {
  // One pass: HM v plus the history of this step.
  move(1.0, false, false, false);
  EXPECT_EQ(e_s0::cdctr(1, 1), 7.5);
  EXPECT_EQ(e_s0::cdctr(2, 1), 16.75);
  EXPECT_EQ(e_s5::ccmc(1, 1), 0.5);

  // A re-solution, at the step's start or inside it, keeps the winding currents
  // (continuous through the switching, like an inductor's) and leaves the
  // histories alone.
  for (const bool at_start : {true, false}) {
    move(0.5, true, at_start, true);
    EXPECT_EQ(e_s0::cdctr(1, 1), 7.5);
    EXPECT_EQ(e_s0::cdctr(2, 1), 16.75);
    EXPECT_EQ(e_s5::ccmc(2, 1), -0.25);
  }
  // The values of the test below start from the previous-step history's currents.
  e_s0::cdctr(1, 1) = 7.3;
  e_s0::cdctr(2, 1) = 16.975;

  // A normal pass a quarter of the way, with a UMEC core: the histories move
  // towards their previous-step copies, and so do the core quantities.
  e_s5::nummag(1) = 1;
  umec::fininjsd(1, 1) = 1.0;
  umec::fininjs(1, 1) = 3.0;
  umec::dvoltd(2, 1) = 2.0;
  umec::dvolt(2, 1) = 6.0;
  umec::dphid(23, 1) = 0.0;
  umec::dphi(23, 1) = 8.0;
  move(0.25, true, false, false);
  EXPECT_DOUBLE_EQ(e_s0::cdctr(1, 1), 7.35);
  EXPECT_DOUBLE_EQ(e_s0::cdctr(2, 1), 16.91875);
  EXPECT_DOUBLE_EQ(e_s5::ccmc(1, 1), 0.2);
  EXPECT_DOUBLE_EQ(e_s5::ccmc(2, 1), 0.0875);
  EXPECT_EQ(umec::fininjs(1, 1), 1.5);
  EXPECT_EQ(umec::dvolt(2, 1), 3.0);
  EXPECT_EQ(umec::dvoltd(2, 1), 3.0);
  EXPECT_EQ(umec::dphi(23, 1), 2.0);
}

// With enough branches for the branch pass by shape, which reads the ends in
// the new voltages by node from ground: each resistive branch takes G u, u
// across its ends (ground 0), and the windings read the same voltages.
TEST_F(WindingCurrents, BranchesAndWindingsReadTheEndsFromGround) {
  struct Row {
    std::int32_t from, to;
    double r, u;
  };
  const Row rows[] = {
      {2, 1, 2.0, 2.0},  {1, 2, 4.0, -2.0}, {0, 2, 8.0, -5.0}, {2, 0, 0.5, 5.0},
      {0, 1, 5.0, -3.0}, {1, 0, 3.0, 3.0},  {1, 1, 7.0, 0.0},  {2, 2, 9.0, 0.0},
  };
  std::vector<std::int32_t> listed;
  for (int pass = 0; pass < 2; ++pass)
    for (const Row& row : rows) listed.push_back(add_branch(1, row.from, row.to, row.r, 0.0, 0.0));
  ASSERT_GE(int2::insb(1), 16);
  move(1.0, false, false, false);
  EXPECT_EQ(e_s0::cdctr(1, 1), 7.5);
  EXPECT_EQ(e_s0::cdctr(2, 1), 16.75);
  EXPECT_EQ(branches::cbr(1, 1), 3.0);
  for (std::size_t k = 0; k < listed.size(); ++k) {
    const Row& row = rows[k % std::size(rows)];
    EXPECT_EQ(branches::cbr(listed[k], 1), (1.0 / row.r) * row.u) << k;
  }
}

}  // namespace

// Branch access and the right-hand side: the three forms of a source voltage and
// of a deferred current source, registered sources, the signs of branch sources
// and histories in the right-hand side, the history update, the branch accessors
// and the replay of ideal-branch collapses on the right-hand side.
#include "model/e_s2.h"
#include "model/sparse.h"
#include "model/storage.h"
#include "net_fixture.h"

namespace {

using nettest::rel;

// The sub-step seen by a branch term: re-solution flags, a solution already made,
// and the fraction of the step solved.
wakro::SubStep sub(bool iflag, bool notfirst, bool iflag2, double elapsed) {
  wakro::SubStep s;
  s.iflag = iflag;
  s.notfirst = notfirst;
  s.iflag2 = iflag2;
  s.elapsed = elapsed;
  return s;
}

int g_advances = 0;
void advance_source() {
  ++g_advances;
  branches::ebr(1, 1) = 5.5;
}

class BranchAccess : public nettest::Network {
 protected:
  void SetUp() override {
    Network::SetUp();
    g_advances = 0;
    extra_dims_ = {{dim::stori, 10}};
    size(5, 3);
  }
};

TEST_F(BranchAccess, SourceVoltageFormsOfEachKindOfSolution) {
  add_branch(1, 2, 5, 10.0, 0.0, 0.0, 0.0, 1.0);
  branches::ebr(1, 1) = 2.0;
  branches::ebrd(1, 1) = 1.0;
  // No solution of the step yet: the present value, whatever the fraction.
  EXPECT_EQ(wakro_gete(1, 1, sub(false, false, false, 0.4), false, true), 2.0);
  EXPECT_EQ(wakro_gete(1, 1, sub(true, false, false, 0.4), false, true), 1.0);
  // Normal solution: one step beyond the present instant, extrapolated.
  EXPECT_DOUBLE_EQ(wakro_gete(1, 1, sub(false, true, false, 0.4), false, true), 2.4);
  // Re-solution at the present instant: interpolated.
  EXPECT_DOUBLE_EQ(wakro_gete(1, 1, sub(true, true, false, 0.4), false, true), 1.4);
  // Start of the step: the previous value at the step's start, interpolated at
  // the half step the driver solves it at; the new one after a change.
  EXPECT_EQ(wakro_gete(1, 1, sub(true, true, true, 0.0), false, true), 1.0);
  EXPECT_DOUBLE_EQ(wakro_gete(1, 1, sub(true, true, true, 0.5), false, true), 1.5);
  branches::geqchange(1) = true;
  EXPECT_EQ(wakro_gete(1, 1, sub(true, true, true, 0.4), false, true), 2.0);
}

TEST_F(BranchAccess, RegisteredSourceAdvancesItselfUnderExtrapolation) {
  add_branch(1, 1, 0, 10.0, 0.0, 0.0, 0.0, 1.0);
  wakro::network_hooks().wakro_vsrc_dyn = &advance_source;
  storage::stori(3) = 101;
  branches::thisbr(1, 1) = 3;
  branches::ebr(1, 1) = 2.0;
  branches::ebrd(1, 1) = 1.0;
  options::xterpsrc(1) = true;
  ASSERT_TRUE(wakro::registered_source(1, 1));
  EXPECT_EQ(storage::this_, 3);
  EXPECT_EQ(wakro_gete(1, 1, sub(false, true, false, 0.4), true, true), 5.5);
  EXPECT_EQ(g_advances, 1);
  EXPECT_EQ(wakro_gete(1, 1, sub(false, true, false, 0.4), true, false), 5.5);
  EXPECT_EQ(g_advances, 1);
  // Re-solution: the value of the previous instant, not interpolated.
  EXPECT_EQ(wakro_gete(1, 1, sub(true, true, false, 0.4), true, true), 1.0);
  // Without source extrapolation it is an ordinary source.
  options::xterpsrc(1) = false;
  EXPECT_DOUBLE_EQ(wakro_gete(1, 1, sub(false, true, false, 0.5), true, true), 7.75);
  EXPECT_EQ(g_advances, 1);
  storage::stori(3) = 100;
  EXPECT_FALSE(wakro::registered_source(1, 1));
}

TEST_F(BranchAccess, CurrentSourceFormsOfDeferredAndOtherBranches) {
  add_branch(1, 1, 0, 10.0, 0.0, 0.0);
  branches::ccbr(1, 1) = 3.0;
  branches::ccbrd(1, 1) = 1.0;
  // Not deferred: the history the solution holds, in every form (at the start of
  // the step too, where it replaced the previous step's).
  EXPECT_EQ(wakro_geti(1, 1, sub(false, true, false, 0.5)), 3.0);
  EXPECT_EQ(wakro_geti(1, 1, sub(true, true, true, 0.5)), 3.0);
  EXPECT_EQ(wakro_geti(1, 1, sub(true, true, false, 0.5)), 3.0);
  branches::defrdbr(1, 1) = true;
  EXPECT_EQ(wakro_geti(1, 1, sub(true, true, true, 0.0)), 1.0);  // start of step
  EXPECT_EQ(wakro_geti(1, 1, sub(true, true, true, 0.5)), 2.0);  // and half a step on
  EXPECT_EQ(wakro_geti(1, 1, sub(false, false, false, 0.5)), 3.0);
  EXPECT_EQ(wakro_geti(1, 1, sub(false, true, false, 0.5)), 4.0);
  EXPECT_EQ(wakro_geti(1, 1, sub(true, true, false, 0.5)), 2.0);
  EXPECT_EQ(wakro_geti(1, 1, sub(true, false, false, 0.5)), 1.0);
  branches::geqchange(1) = true;
  EXPECT_EQ(wakro_geti(1, 1, sub(true, true, true, 0.5)), 3.0);
}

TEST_F(BranchAccess, RightHandSideSignsOfSourcesHistoryLinesAndNortonNodes) {
  add_branch(1, 2, 5, 10.0, 0.0, 0.0, 0.0, 10.0);  // GEQ 0.1, EBR 10
  add_branch(1, 2, 0, 4.0, 0.0, 0.0, 0.0, 8.0);    // GEQ 0.25, EBR 8
  e_s0::ccgm(3, 1) = 0.75;
  e_s0::ccli(4, 1) = 2.0;
  int4::cclid(4, 1) = 1.0;
  int2::nmb(1) = 1;
  int2::ll(1, 1) = 1;
  e_s0::ccin(1, 1) = 6.0;
  int4::ccind(1, 1) = 4.0;
  wakro::SubStep s;
  s.elapsed = 0.5;
  buildca(1, s);
  EXPECT_EQ(e_s0::ca(5), 1.0);
  EXPECT_EQ(e_s0::ca(2), -1.0 - 2.0);
  EXPECT_EQ(e_s0::ca(3), -0.75);
  EXPECT_EQ(e_s0::ca(4), 2.5);  // extrapolated one step beyond the present instant
  EXPECT_EQ(e_s0::ca(1), 6.0);
  s.iflag = true;
  buildca(1, s);
  EXPECT_EQ(e_s0::ca(4), 1.5);  // at the present instant
  EXPECT_EQ(e_s0::ca(1), 4.0);
  s.iflag2 = true;
  buildca(1, s);
  EXPECT_EQ(e_s0::ca(4), 1.5);  // half a step on, where the driver solves it
  s.elapsed = 0.0;
  buildca(1, s);
  EXPECT_EQ(e_s0::ca(4), 1.0);
  EXPECT_EQ(e_s0::ca(1), 4.0);
  int4::gginchange(1) = true;
  buildca(1, s);
  EXPECT_EQ(e_s0::ca(1), 6.0);
  // Norton injections extrapolated with source extrapolation.
  options::xterpsrc(1) = true;
  s.notfirst = true;
  s.elapsed = 0.5;
  s.iflag = s.iflag2 = false;
  buildca(1, s);
  EXPECT_EQ(e_s0::ca(1), 7.0);
}

TEST_F(BranchAccess, HistoryOfInductiveAndCapacitivePartsEntersTheNodeSums) {
  const std::int32_t l = add_branch(1, 2, 3, 0.0, 0.1, 0.0, 0.5);
  const std::int32_t c = add_branch(1, 4, 0, 0.0, 0.0, 10.0, 0.2);
  const std::int32_t r = add_branch(1, 1, 0, 5.0, 0.0, 0.0, 0.3);
  branches::v12l(l, 1) = 40.0;
  branches::v20l(c, 1) = 2.0;
  branches::ccbr(r, 1) = 0.125;
  e_s0::ccgm(1, 1) = 9.0;  // the previous step's sum
  history(1);
  // L: X_L = 4000 ohm, G2L = RLG = ... CCL = 40/4000 + 0.5.
  EXPECT_DOUBLE_EQ(branches::ccl(l, 1), 0.51);
  EXPECT_DOUBLE_EQ(branches::ccbr(l, 1), 0.51);
  // C: X_C = 2.5 ohm: CCC = -(2/2.5) - 0.2.
  EXPECT_DOUBLE_EQ(branches::ccc(c, 1), -1.0);
  EXPECT_DOUBLE_EQ(branches::ccbr(c, 1), -1.0);
  EXPECT_DOUBLE_EQ(e_s0::ccgm(2, 1), 0.51);
  EXPECT_DOUBLE_EQ(e_s0::ccgm(3, 1), -0.51);
  EXPECT_DOUBLE_EQ(e_s0::ccgm(4, 1), -1.0);
  EXPECT_EQ(e_s0::ccgmd(1, 1), 9.0);
  EXPECT_EQ(e_s0::ccgm(1, 1), 0.0);
  EXPECT_EQ(branches::ccbr(r, 1), 0.125);  // a resistor keeps its source
}

TEST_F(BranchAccess, BranchVoltageCountsGroundAsZero) {
  add_branch(1, 2, 0, 1.0, 0.0, 0.0);
  add_branch(1, 0, 3, 1.0, 0.0, 0.0);
  const std::int32_t b = ++int2::insb(1);
  branches::ief(b, 1) = 0;
  branches::iet(b, 1) = 0;
  e_s0::vdc(2, 1) = 3.0;
  e_s0::vdc(3, 1) = 5.0;
  EXPECT_EQ(vbranch(1, 1), 3.0);
  EXPECT_EQ(vbranch(1, 2), -5.0);
  EXPECT_EQ(vbranch(1, b), 0.0);
  branches::cbr(2, 1) = 1.25;
  EXPECT_EQ(cbranch(1, 2), 1.25);
}

TEST_F(BranchAccess, IdealBranchCollapsesAreReplayedOnTheRightHandSide) {
  // Branch 1: 1 -> 2 (node 1 collapsed into 2, EMF 3); branch 2: 3 -> 0 (node 3
  // held at -EMF 4); an empty entry between them. The factors are the identity,
  // so the new voltages are the right-hand side as the replay leaves it.
  add_branch(1, 1, 2, 0.0, 0.0, 0.0, 0.0, 3.0);
  add_branch(1, 3, 0, 0.0, 0.0, 0.0, 0.0, 4.0);
  e_s0::idealss(1) = true;
  ideal::nidlbr(1) = 2;
  ideal::gidlbr(1) = 3;
  ideal::clpslist(1, 1) = 1;
  ideal::clpslist(2, 1) = 0;
  ideal::clpslist(3, 1) = 2;
  e_s0::RealView rdc = e_s0::assign_rdc_ptr(1);
  for (std::int32_t r = 1; r <= 5; ++r) {
    rdc(r, r) = 1.0;
    sparse::lbegin(r, 1) = sparse::ubegin(r, 1) = 1;
    sparse::lend(r, 1) = sparse::uend(r, 1) = 0;
  }
  for (std::int32_t k = 1; k <= 5; ++k) e_s0::ca(k) = 10.0 * k;
  slvnew(1, wakro::SubStep{});
  EXPECT_EQ(spcial::vdcnew(1), -3.0);  // the removed node states the branch voltage
  EXPECT_EQ(spcial::vdcnew(2), 30.0);  // and its currents go to the kept node
  EXPECT_EQ(spcial::vdcnew(3), -4.0);
  EXPECT_EQ(spcial::vdcnew(4), 40.0);
  EXPECT_EQ(spcial::vdcnew(5), 50.0);
  EXPECT_EQ(e_s0::ca(1), 10.0);  // the right-hand side itself is kept
}

TEST_F(BranchAccess, ArresterEnergyIsAccumulatedOverTheTimeSinceItsLastUpdate) {
  release_all_and_reset();
  extra_dims_ = {{dim::stori, 10}, {dim::stor, 20}};
  size(1, 1);
  add_branch(1, 1, 0, 1.5, 0.0, 0.0);  // GEQ 2/3: 3 kV gives 2 kA
  int1::iorv(1, 1) = 5;
  branches::thisbr(1, 1) = 4;
  storage::stori(5) = 10;  // its block in stor starts at 10
  const double dt = e_s1::delt;
  int1::solution_time = 1.0;
  e_s2::stor(11) = 16.0;      // the energy accumulator is stor(16)
  e_s2::stor(12) = 1.0 - dt;  // last update
  e_s2::stor(13) = 1.0;       // accounting on
  e_s2::stor(14) = 2.0;       // previous current
  e_s2::stor(15) = 3.0;       // previous voltage
  e_s2::stor(16) = 0.0;
  spcial::vdcnew(1) = 3.0;
  wakro::SubStep s;
  s.fracv = 1.0;
  s.stepdone = true;
  incalcvi(1, s);
  EXPECT_EQ(branches::cbr(1, 1), 2.0);
  EXPECT_LT(rel(e_s2::stor(16), 6000.0 * dt), 1e-12);  // 0.3 kJ for 50 us
  EXPECT_EQ(e_s2::stor(14), 2.0);
  EXPECT_EQ(e_s2::stor(15), 3.0);
  EXPECT_EQ(e_s2::stor(12), 1.0);
}

}  // namespace

// The branch pass by shape: the branch classes group the branches by which of a
// source, an inductive part, a capacitive part and a deferred current source
// they have (ideal branches and arresters apart), and the pass that runs each
// group with its tests folded leaves every value, counter, flag and report as the
// general pass over every branch leaves it. The source records read under source
// extrapolation are kept from step to step only while THISBR and the kinds of the
// records it names are unchanged.
#include <string>
#include <vector>

#include "model/clvi.h"
#include "model/outppp.h"
#include "model/storage.h"
#include "net_fixture.h"
#include "network/branch_view.h"
#include "network/chatter.h"
#include "network/small_subsystem.h"

namespace {

using nettest::capture;
using K = wakro::BranchClasses;
using Ids = std::vector<std::int32_t>;

// The members of shape group g of the classes of subsystem 1.
Ids group(std::int32_t g) {
  const K& k = wakro::branch_classes(1);
  const auto b = k.shaped.begin();
  return Ids(b + k.shape_begin[static_cast<std::size_t>(g)],
             b + k.shape_begin[static_cast<std::size_t>(g) + 1]);
}

class BranchShapes : public nettest::Network {};

// Each branch lands in the group of its flags, ascending within a group; an
// arrester or an ideal branch is listed apart; a flag changed between requests
// moves its branch at the next one, and the last branch with a source follows.
TEST_F(BranchShapes, GroupsFollowTheKindFlags) {
  size(4, 10);
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);               // 1: R
  add_branch(1, 1, 2, 1.0, 0.0, 0.0, 0.0, 2.0);     // 2: R + source
  add_branch(1, 2, 0, 1.0, 0.01, 0.0);              // 3: R-L
  add_branch(1, 2, 3, 1.0, 0.01, 0.0, 0.0, 1.0);    // 4: R-L + source
  add_branch(1, 3, 0, 1.0, 0.0, 10.0);              // 5: R-C
  add_branch(1, 3, 4, 1.0, 0.01, 10.0, 0.0, 1.0);   // 6: R-L-C + source
  add_branch(1, 4, 0, 1.0, 0.0, 0.0);               // 7: R, deferred below
  add_branch(1, 4, 1, 1.0, 0.0, 0.0);               // 8: R, an arrester below
  add_branch(1, 1, 3, 1.0, 0.0, 0.0);               // 9: R
  branches::defrdbr(7, 1) = true;
  int1::iorv(8, 1) = wakro::switch_mode::arrester;
  struct Row {
    std::int32_t shape;
    Ids members;
  };
  const Row before[] = {
      {0, {1, 9}},
      {K::kShapeSource, {2}},
      {K::kShapeInductor, {3}},
      {K::kShapeInductor | K::kShapeSource, {4}},
      {K::kShapeCapacitor, {5}},
      {K::kShapeCapacitor | K::kShapeInductor | K::kShapeSource, {6}},
      {K::kShapeDeferred, {7}},
      {K::kShapeCapacitor | K::kShapeSource, {}},
  };
  for (const Row& r : before) EXPECT_EQ(group(r.shape), r.members) << r.shape;
  EXPECT_EQ(wakro::branch_classes(1).irregular, Ids{8});
  EXPECT_EQ(wakro::branch_classes(1).last_source, 6);
  EXPECT_EQ(wakro::branch_classes(1).series_rl, Ids{3});

  branches::source(9, 1) = true;
  branches::inductor(6, 1) = false;
  int1::iorv(8, 1) = wakro::switch_mode::none;
  branches::idealbr(1, 1) = true;
  const Row after[] = {
      {0, {8}},
      {K::kShapeSource, {2, 9}},
      {K::kShapeCapacitor | K::kShapeSource, {6}},
      {K::kShapeCapacitor | K::kShapeInductor | K::kShapeSource, {}},
  };
  for (const Row& r : after) EXPECT_EQ(group(r.shape), r.members) << r.shape;
  EXPECT_EQ(wakro::branch_classes(1).irregular, Ids{1});
  EXPECT_EQ(wakro::branch_classes(1).last_source, 9);
}

// A detector put in place of the own one, doing the same: the branch pass then
// takes every branch through its general update.
void same_detector(std::int32_t ss, std::int32_t mode) { chatdt(ss, mode); }

// A registered source: an EMF rising by 1 mV a step, in EBR of branch 2.
void registered_source() { branches::ebr(2, 1) = 0.3 + 1e-3 * ctrl::iii; }

// Eight nodes fed an alternating 1 A at node 1, which has 0.05 ohm to ground, with
// a branch of every shape among 24: resistive ones with and without a source
// (branch 2 a registered one, branch 3 a plain one), R-L and R-L-C ones with a
// source, R-C ones, deferred ones driven from outside (one with a source), an
// arrester and a switch toggled every few steps. The current to ground swings by
// about 1 A and chatters (level 0.2); no node voltage swings by as much.
// With `few` branches (above 0) the same shapes among fewer: the seven R-L
// branches to ground and the six resistive ones with a source between
// neighbouring nodes left out, R-L branches to ground added until there are
// `few`, and the deferred branches driven a hundred times less (without the
// low resistances between the nodes their ends' voltages would chatter).
class ShapePass : public nettest::GeneralPathNetwork {
 protected:
  Trace run(const nettest::Options& o, std::int32_t few = 0) {
    extra_dims_ = {{dim::stori, 20}};
    size(8, 30);
    set_options(o);
    add_branch(1, 1, 0, 0.05, 0.0, 0.0);
    add_branch(1, 1, 2, 1.0, 0.0, 0.0, 0.0, 1.0);  // 2: registered source
    add_branch(1, 2, 0, 3.0, 0.0, 0.0, 0.0, 0.5);  // 3: plain source
    for (std::int32_t k = 2; k <= 8 && few == 0; ++k) {
      add_branch(1, k, 0, 1.0 + k, 1e-4 * k, 0.0);
      if (k < 8) add_branch(1, k, k + 1, 0.1, 0.0, 0.0, 0.0, 0.01 * k);
    }
    add_branch(1, 3, 5, 0.5, 2e-4, 0.0, 0.0, 0.2);    // R-L + source
    add_branch(1, 4, 0, 5.0, 0.0, 20.0);              // R-C
    add_branch(1, 5, 6, 2.0, 1e-4, 30.0, 0.0, 0.3);   // R-L-C + source
    add_branch(1, 6, 0, 4.0, 0.0, 10.0, 0.0, 0.4);    // R-C + source
    deferred_ = {add_branch(1, 7, 0, 8.0, 0.0, 0.0), add_branch(1, 8, 2, 9.0, 0.0, 0.0, 0.0, 0.1)};
    const std::int32_t arrester = add_branch(1, 8, 0, 50.0, 0.0, 0.0);
    switch_ = add_branch(1, 1, 8, 0.2, 0.0, 0.0, 0.0, 0.0, true);
    for (const std::int32_t b : deferred_) branches::defrdbr(b, 1) = true;
    int1::iorv(arrester, 1) = wakro::switch_mode::arrester;
    for (std::int32_t j = 0; int2::insb(1) < few; ++j)
      add_branch(1, 2 + j % 7, 0, 1.0 + j, 1e-4 * (j + 1), 0.0);
    if (few == 0) {
      EXPECT_GE(int2::insb(1), 16);  // enough branches for the pass by shape
    } else {
      EXPECT_EQ(int2::insb(1), few);
    }
    branches::thisbr(2, 1) = 5;
    branches::thisbr(3, 1) = 9;
    storage::stori(5) = wakro::branch_code::registered_source;
    storage::stori(9) = 0;
    wakro::network_hooks().wakro_vsrc_dyn = &registered_source;
    nettest::reset_chatter_counters();
    int2::glvl(1) = 0.2;
    outppp::pplot = 1.0;
    const double drive = few > 0 ? 0.01 : 1.0;
    model_ = [this, drive] {
      const double sign = (ctrl::iii & 1) != 0 ? 1.0 : -1.0;
      e_s0::ccin(1, 1) = sign;
      branches::ccbr(deferred_[0], 1) = 0.25 * sign * drive;
      branches::ccbr(deferred_[1], 1) = (-0.1 * sign + 0.01 * ctrl::iii) * drive;
      if (ctrl::iii % 7 == 3) nettest::toggle_switch(1, switch_);
    };
    return traced_run(30, [&](Trace& t) {
      t.values.push_back(temp1::stabck(1) ? 1.0 : 0.0);
      t.values.push_back(storage::this_);
      for (std::int32_t n = 1; n <= 8; ++n) {
        t.values.push_back(v(n));
        t.values.push_back(clvi::icntv(n, 1));
      }
      using namespace branches;
      for (std::int32_t br = 1; br <= int2::insb(1); ++br)
        for (const double x : {cbr(br, 1), ccbr(br, 1), ebrd(br, 1), v12l(br, 1),
                               v20l(br, 1), ccl(br, 1), ccc(br, 1),
                               double(clvi::icntbr(br, 1))})
          t.values.push_back(x);
    });
  }
  // The run of `few` branches (0: the full network) with options o, once with a
  // detector put in place of the own one (the general pass) and once with the own
  // one: the same values, bit for bit, the same counters, flag and reports.
  void expect_own_equals_general(const nettest::Options& o, std::int32_t few = 0) {
    wakro::network_hooks().chatdt = &same_detector;
    const auto general = run(o, few);
    wakro::reset_network_hooks();
    release_all_and_reset();
    const auto own = run(o, few);
    wakro::reset_network_hooks();
    release_all_and_reset();
    EXPECT_NE(own.text.find("Current chatter:"), std::string::npos) << own.text;
    EXPECT_EQ(own.text, general.text);
    ASSERT_EQ(own.values.size(), general.values.size());
    for (std::size_t k = 0; k < general.values.size(); ++k)
      EXPECT_EQ(own.values[k], general.values[k]) << k;
  }

  std::vector<std::int32_t> deferred_;
  std::int32_t switch_ = 0;
};

// Step for step, the pass by shape (the own detector) and the general pass (the
// detector put in its place) leave the same values, bit for bit, the same
// counters and flag and the same reports; with and without source
// extrapolation, interpolation and chatter removal.
TEST_F(ShapePass, EqualsTheGeneralPassBitForBit) {
  const nettest::Options rows[] = {
      {false, false, true, false},
      {false, false, true, true},
      {true, false, true, true},
      {true, true, true, true},
      {true, true, true, false},
  };
  for (const nettest::Options& o : rows) {
    SCOPED_TRACE(std::to_string(o.interpolate) + std::to_string(o.remove_chatter) +
                 std::to_string(o.extrapolate));
    expect_own_equals_general(o);
  }
}

// The same with the branches of every shape among 11 to 17: fewer than 16 take
// the pass over every branch with the own detector's check in it, from 16 on the
// pass by shape; either leaves what the general pass with the detector put in
// place of the own one leaves, with a re-solution at each switching.
TEST_F(ShapePass, FewBranchesEqualTheGeneralPassBitForBit) {
  const nettest::Options rows[] = {
      {false, false, true, false},
      {true, false, true, true},
      {true, true, true, false},
  };
  for (const std::int32_t few : {11, 12, 15, 16, 17}) {
    for (const nettest::Options& o : rows) {
      SCOPED_TRACE(std::to_string(few) + " branches " + std::to_string(o.interpolate) +
                   std::to_string(o.remove_chatter) + std::to_string(o.extrapolate));
      expect_own_equals_general(o, few);
    }
  }
}

// Under source extrapolation the step's end copies EBR to EBRD for every branch
// whose record is not a registered source. A branch without a source: its
// record changed between steps (its first slot, or THISBR naming another one)
// is seen in the very next step, also when the rest of the records was kept.
TEST_F(BranchShapes, RecordsUnderExtrapolationFollowThisbrAndFirstSlots) {
  extra_dims_ = {{dim::stori, 10}};
  size(1, 2);
  set_options({false, false, false, true});
  add_branch(1, 1, 0, 1.0, 0.0, 0.0);
  add_branch(1, 1, 0, 2.0, 0.0, 0.0);
  storage::stori(4) = wakro::branch_code::registered_source;
  storage::stori(6) = 0;
  struct Row {
    std::int32_t thisbr;  // THISBR of branch 2 for the step
    std::int32_t slot4;   // first slot of record 4
    std::int32_t slot6;   // first slot of record 6
    bool registered;      // branch 2 keeps its EBRD
  };
  const Row rows[] = {
      {0, wakro::branch_code::registered_source, 0, false},
      {4, wakro::branch_code::registered_source, 0, true},
      {4, wakro::branch_code::registered_source, 0, true},
      {4, 0, 0, false},
      {6, 0, wakro::branch_code::registered_source, true},
      {6, 0, wakro::branch_code::registered_source, true},
      {4, 0, wakro::branch_code::registered_source, false},
      {4, wakro::branch_code::registered_source, wakro::branch_code::registered_source, true},
  };
  start_run(20);
  double e = 1.0;
  for (const Row& r : rows) {
    branches::thisbr(2, 1) = r.thisbr;
    storage::stori(4) = r.slot4;
    storage::stori(6) = r.slot6;
    branches::ebrd(2, 1) = -1.0;
    branches::ebr(2, 1) = e;
    step();
    EXPECT_EQ(branches::ebrd(2, 1), r.registered ? -1.0 : e) << r.thisbr << " " << r.slot4;
    EXPECT_EQ(storage::this_, r.thisbr);  // the last branch's record
    e += 1.0;
  }
}

}  // namespace

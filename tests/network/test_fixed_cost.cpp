// What the step does to spare small subsystems their fixed cost leaves every
// value as the general passes leave it: the own chatter detector checking the
// node voltages where they are taken over and the currents of a few plain series
// R-L branches in a pass of their own, against a detector put in its place (run
// before the voltages are taken over and after a general branch pass); the flag
// bytes compared in place; GEQCHANGE cleared only where it may be set; the scan
// for late Norton nodes over the gaps of the list.
#include <cstring>
#include <string>
#include <vector>

#include "model/clvi.h"
#include "model/outppp.h"
#include "net_fixture.h"
#include "network/branch_view.h"
#include "network/chatter.h"

namespace {

using nettest::capture;

// The flag bytes of up to a few words compared in place agree with memcmp for
// every length around the word sizes and a difference at every position.
TEST(SameBytes, AgreesWithMemcmpAtEveryLengthAndPosition) {
  std::vector<unsigned char> a(80);
  for (std::size_t k = 0; k < a.size(); ++k) a[k] = static_cast<unsigned char>(k % 3 == 0);
  for (std::size_t n = 0; n <= 72; ++n) {
    std::vector<unsigned char> b(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_TRUE(wakro::detail::same_bytes(a.data(), b.data(), n)) << n;
    for (std::size_t k = 0; k < n; ++k) {
      b[k] ^= 1;
      EXPECT_FALSE(wakro::detail::same_bytes(a.data(), b.data(), n)) << n << " " << k;
      EXPECT_EQ(wakro::detail::same_bytes(a.data(), b.data(), n),
                std::memcmp(a.data(), b.data(), n) == 0);
      b[k] ^= 1;
    }
  }
}

// A detector put in place of the own one, doing the same.
void same_detector(std::int32_t ss, std::int32_t mode) { chatdt(ss, mode); }

// Two subsystems of plain series R-L branches fed an alternating 1 kA at node 1.
// Subsystem 1: two nodes of 1 ohm to ground, joined by 1 ohm: its voltages swing
// by about 0.6 kV and chatter. Subsystem 2: four nodes of 1 ohm to ground joined
// by 1 mohm: the voltages swing by about 0.25 kV, below the level of 0.3, and the
// currents between the nodes by up to 0.75 kA, which chatter.
class SmallChatter : public nettest::Network {
 protected:
  using Trace = nettest::Trace;
  // general: branch 1 of each subsystem flagged as a source of zero voltage, so
  // that the general branch pass takes every branch, with the same arithmetic.
  Trace run(bool remove_chatter, bool general = false) {
    size(4, 7, 2);
    set_options({true, remove_chatter, true, false});
    add_branch(1, 1, 0, 1.0, 1e-9, 0.0);
    add_branch(1, 2, 0, 1.0, 1e-9, 0.0);
    add_branch(1, 1, 2, 1.0, 1e-9, 0.0);
    e_s0::mbus(1) = 2;
    for (std::int32_t k = 1; k <= 4; ++k) {
      add_branch(2, k, 0, 1.0, 1e-9, 0.0);
      if (k < 4) add_branch(2, k, k + 1, 1e-3, 1e-9, 0.0);
    }
    if (general)
      for (std::int32_t ss = 1; ss <= 2; ++ss) branches::source(1, ss) = true;
    nettest::reset_chatter_counters();
    for (std::int32_t ss = 1; ss <= 2; ++ss) {
      int2::glvl(ss) = 0.3;
      e_s0::enabccin(1, ss) = true;
    }
    outppp::pplot = 1.0;
    model_ = [] {
      for (std::int32_t ss = 1; ss <= 2; ++ss)
        e_s0::ccin(1, ss) = (ctrl::iii & 1) != 0 ? 1.0 : -1.0;
    };
    return traced_run(40, [&](Trace& t) {
      for (std::int32_t ss = 1; ss <= 2; ++ss) {
        t.values.push_back(temp1::stabck(ss) ? 1.0 : 0.0);
        for (std::int32_t n = 1; n <= e_s0::mbus(ss); ++n) {
          t.values.push_back(v(n, ss));
          t.values.push_back(clvi::icntv(n, ss));
        }
        for (std::int32_t br = 1; br <= int2::insb(ss); ++br) {
          t.values.push_back(i(br, ss));
          t.values.push_back(branches::ccbr(br, ss));
          t.values.push_back(branches::v12l(br, ss));
          t.values.push_back(clvi::icntbr(br, ss));
        }
      }
    });
  }
};

// The own checks, the detector put around them and the general branch pass leave
// the same values, counters, flags and reports, step for step.
TEST_F(SmallChatter, OwnChecksWhereValuesAreTakenOverEqualTheDetectorAround) {
  for (const bool remove : {false, true}) {
    SCOPED_TRACE(remove ? "with removal" : "without removal");
    wakro::network_hooks().chatdt = &same_detector;
    const Trace around = run(remove);
    wakro::reset_network_hooks();
    release_all_and_reset();
    const Trace own = run(remove);
    release_all_and_reset();
    const Trace general = run(remove, true);
    release_all_and_reset();
    EXPECT_EQ(own.text, general.text);
    ASSERT_EQ(own.values.size(), general.values.size());
    for (std::size_t k = 0; k < general.values.size(); ++k)
      EXPECT_EQ(own.values[k], general.values[k]) << k;
    EXPECT_NE(own.text.find("Voltage chatter:        SS#  1 Node#    1\n"), std::string::npos)
        << own.text;
    EXPECT_NE(own.text.find("Current chatter:        SS#  2   Br#    2\n"), std::string::npos)
        << own.text;
    EXPECT_EQ(own.text.find("SS#  2 Node#"), std::string::npos) << own.text;
    EXPECT_EQ(own.text, around.text);
    ASSERT_EQ(own.values.size(), around.values.size());
    for (std::size_t k = 0; k < around.values.size(); ++k)
      EXPECT_EQ(own.values[k], around.values[k]) << k;
  }
}

// GEQCHANGE, by branch number, holds after each subsystem's preparation whether
// its switches' conductances changed since the previous step, and false for its
// other branches; entries above its branch count keep what an earlier subsystem
// left. Subsystem 1: branch 3 a switch whose conductance is changed before the
// second step; subsystem 2 with 2 or 4 plain branches.
class GeqChange : public nettest::Network {};

TEST_F(GeqChange, EachSubsystemClearsItsBranchesAndMarksItsChangedSwitches) {
  struct Row {
    std::int32_t second_branches;  // branches of subsystem 2
    bool changed_after;            // GEQCHANGE(3) after the step that changed it
  };
  for (const Row r : {Row{2, true}, Row{4, false}}) {
    SCOPED_TRACE(r.second_branches);
    size(4, 4, 2);
    add_branch(1, 1, 0, 1.0, 0.01, 0.0);
    add_branch(1, 2, 0, 1.0, 0.01, 0.0);
    add_branch(1, 1, 2, 1.0, 0.0, 0.0, 0.0, 0.0, true);
    for (std::int32_t k = 1; k <= r.second_branches; ++k) add_branch(2, k, 0, 1.0, 0.01, 0.0);
    e_s0::mbus(1) = 2;
    e_s0::mbus(2) = r.second_branches;
    start_run(5);
    step();
    branches::geqchange.fill(true);  // anything left: what a step must clear
    branches::geq(3, 1) *= 2.0;
    step();
    EXPECT_EQ(branches::geqchange(1), false);
    EXPECT_EQ(branches::geqchange(2), false);
    EXPECT_EQ(branches::geqchange(3), r.changed_after);
    EXPECT_EQ(branches::geqchange(4), r.second_branches < 4);  // never cleared by a subsystem
    step();  // no change since the previous step
    EXPECT_EQ(branches::geqchange(3), false);
    release_all_and_reset();
  }
}

// A node that receives an injection after time zero without being in the Norton
// list joins it, wherever it lies among the listed nodes: before the first one,
// between two, after the last; a full list has nothing to add. The subsystem has
// `nodes` nodes (3 or more), each with 1 ohm to ground, the ones after node 3
// without an injection: a few nodes are walked one by one, many over the gaps.
class LateNortonNodes : public nettest::Network {
 protected:
  void every_gap(std::int32_t nodes);
};

TEST_F(LateNortonNodes, ANodeInAnyGapOfTheListJoinsItInOrder) { every_gap(3); }
TEST_F(LateNortonNodes, ANodeInAnyGapOfTheListOfALargeSubsystemJoinsItInOrder) { every_gap(20); }

void LateNortonNodes::every_gap(std::int32_t nodes) {
  struct Row {
    std::vector<std::int32_t> enabled;
    std::int32_t late;  // 0: none
    std::vector<std::int32_t> list_after;
  };
  const Row rows[] = {
      {{2, 3}, 1, {1, 2, 3}},
      {{1, 3}, 2, {1, 2, 3}},
      {{1}, 3, {1, 3}},
      {{1, 2, 3}, 0, {1, 2, 3}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.late);
    size(nodes, nodes);
    for (std::int32_t k = 1; k <= nodes; ++k) add_branch(1, k, 0, 1.0, 0.0, 0.0);
    for (const std::int32_t k : r.enabled) e_s0::enabccin(k, 1) = true;
    bool late = false;
    model_ = [&] {
      for (const std::int32_t k : r.enabled) e_s0::ccin(k, 1) = 1.0;
      if (late && r.late > 0) e_s0::ccin(r.late, 1) = 2.0;
    };
    start_run(5);
    step();
    late = true;
    const std::string text = capture([&] { step(); }).text;
    const std::string warning =
        r.late > 0 ? " ***WARN*** Node " + std::to_string(r.late) +
                         " of subsystem 1 receives an injection that was not enabled at time "
                         "zero; it is added now.\n"
                   : "";
    EXPECT_EQ(text, warning);
    std::vector<std::int32_t> list;
    for (std::int32_t k = 1; k <= int2::nmb(1); ++k) list.push_back(int2::ll(k, 1));
    EXPECT_EQ(list, r.list_after);
    if (r.late > 0) {
      EXPECT_EQ(v(r.late), 2.0);  // 2 kA into 1 ohm
    }
    release_all_and_reset();
  }
}

}  // namespace

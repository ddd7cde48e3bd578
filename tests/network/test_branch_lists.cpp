// The lists the step keeps to do less per step: the branches chosen by their kind
// flags (made again when a flag or the branch count changes), the source terms
// and part histories that walk them, and the mask of the nodes outside the
// Norton list (made again when the list changes, as a restored state changes it).
#include <array>
#include <string>
#include <vector>

#include "net_fixture.h"
#include "network/branch_lists.h"

namespace {

using nettest::capture;

// Two flag columns of up to 6 branches; a branch is chosen when either flag is
// set. Each row changes the columns or the count, and the list must be the one
// chosen from the columns as they stand.
TEST(FlaggedBranches, ListFollowsTheFlagsAndTheBranchCount) {
  struct Row {
    const char* what;
    std::int32_t nbr;
    std::array<bool, 6> a;
    std::array<bool, 6> b;
    std::vector<wakro::ListedBranch> expected;
  };
  const Row rows[] = {
      {"first", 4, {true, false, false, false}, {false, false, true, false}, {{1, 1}, {3, 2}}},
      {"unchanged", 4, {true, false, false, false}, {false, false, true, false}, {{1, 1}, {3, 2}}},
      {"flag set",
       4,
       {true, false, false, true},
       {false, false, true, true},
       {{1, 1}, {3, 2}, {4, 3}}},
      {"flag cleared",
       4,
       {false, false, false, true},
       {false, false, true, true},
       {{3, 2}, {4, 3}}},
      {"count grown",
       6,
       {false, false, false, true, false, true},
       {false, false, true, true},
       {{3, 2}, {4, 3}, {6, 1}}},
      {"count shrunk", 2, {false, true}, {true, false}, {{1, 2}, {2, 1}}},
      {"none", 2, {false, false}, {false, false}, {}},
      {"no branches", 0, {}, {}, {}},
  };
  wakro::FlaggedBranches kept;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::array<const bool*, 2> columns{r.a.data(), r.b.data()};
    const wakro::FlaggedBranches& list = wakro::flagged_branches(
        kept, r.nbr, columns, [](std::uint32_t flags) { return flags != 0; });
    EXPECT_EQ(&list, &kept);
    ASSERT_EQ(list.size, static_cast<std::int32_t>(r.expected.size()));
    for (std::size_t k = 0; k < r.expected.size(); ++k) {
      EXPECT_EQ(list.list[k].br, r.expected[k].br);
      EXPECT_EQ(list.list[k].flags, r.expected[k].flags);
    }
  }
}

class BranchLists : public nettest::Network {};

// Branch 1: 2 -> 5, 10 ohm, EMF 10 V (a term of 1 A); branch 2: 2 -> 0, 4 ohm,
// EMF 8 V (2 A), history 0.5 A. Between the right-hand sides the kind flags of
// the branches change: each one's term is in it exactly while its flags say so.
TEST_F(BranchLists, SourceTermsFollowTheSourceAndDeferredFlags) {
  extra_dims_ = {{dim::stori, 10}};
  size(5, 3);
  add_branch(1, 2, 5, 10.0, 0.0, 0.0, 0.0, 10.0);
  add_branch(1, 2, 0, 4.0, 0.0, 0.0, 0.0, 8.0);
  branches::ccbr(2, 1) = 0.5;
  struct Row {
    const char* what;
    bool source1, source2, deferred2;
    double ca2, ca5;
  };
  const Row rows[] = {
      {"both sources", true, true, false, -3.0, 1.0},
      {"second without its source", true, false, false, -1.0, 1.0},
      {"second deferred", true, false, true, -1.5, 1.0},
      {"second deferred with its source", true, true, true, -3.5, 1.0},
      {"first without its source", false, true, true, -2.5, 0.0},
      {"both sources again", true, true, false, -3.0, 1.0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    branches::source(1, 1) = r.source1;
    branches::source(2, 1) = r.source2;
    branches::defrdbr(2, 1) = r.deferred2;
    buildca(1, wakro::SubStep{});
    EXPECT_EQ(e_s0::ca(2), r.ca2);
    EXPECT_EQ(e_s0::ca(5), r.ca5);
  }
}

// An inductive branch 2 -> 3 (X_L 4000 ohm, current 0.5 A, 40 V across its L):
// its history is 40/4000 + 0.5 A while it is not deferred and has its L part;
// otherwise it keeps its history and adds nothing to the node sums.
TEST_F(BranchLists, PartHistoriesFollowTheKindFlags) {
  size(5, 3);
  const std::int32_t l = add_branch(1, 2, 3, 0.0, 0.1, 0.0, 0.5);
  branches::v12l(l, 1) = 40.0;
  struct Row {
    const char* what;
    bool deferred, inductor;
    double ccbr, ccgm2;
  };
  const Row rows[] = {
      {"inductive", false, true, 0.51, 0.51},
      {"deferred", true, true, 7.0, 0.0},
      {"without its L part", false, false, 7.0, 0.0},
      {"inductive again", false, true, 0.51, 0.51},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    branches::defrdbr(l, 1) = r.deferred;
    branches::inductor(l, 1) = r.inductor;
    branches::ccbr(l, 1) = 7.0;
    history(1);
    EXPECT_DOUBLE_EQ(branches::ccbr(l, 1), r.ccbr);
    EXPECT_DOUBLE_EQ(e_s0::ccgm(2, 1), r.ccgm2);
    EXPECT_DOUBLE_EQ(e_s0::ccgm(3, 1), -r.ccgm2);
  }
}

// A subsystem of 20 nodes (1 ohm to ground each) whose Norton list is {1, 2, 3};
// node 2 injects 1 kA every step and node 9 a current of -0 (no injection). The
// list is then rewritten between steps, as restoring a saved state rewrites it:
// a node with an injection left out of it is found and added again; a node
// without one is not.
TEST_F(BranchLists, NodesOutsideARewrittenNortonListAreLookedAt) {
  constexpr std::int32_t n = 20;
  struct Row {
    const char* what;
    std::vector<std::int32_t> rewritten;
    std::string warning;
    std::vector<std::int32_t> list_after;
  };
  const Row rows[] = {
      {"unchanged", {1, 2, 3}, "", {1, 2, 3}},
      {"node 2 left out",
       {1, 3},
       " ***WARN*** Node 2 of subsystem 1 receives an injection that was not enabled at time "
       "zero; it is added now.\n",
       {1, 2, 3}},
      {"node 3 left out", {1, 2}, "", {1, 2}},
      {"node 9 added", {1, 2, 3, 9}, "", {1, 2, 3, 9}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    size(n, n);
    for (std::int32_t k = 1; k <= n; ++k) add_branch(1, k, 0, 1.0, 0.0, 0.0);
    for (const std::int32_t k : {1, 2, 3}) e_s0::enabccin(k, 1) = true;
    model_ = [] {
      e_s0::ccin(2, 1) = 1.0;
      e_s0::ccin(9, 1) = -0.0;
    };
    start_run(5);
    step();
    step();
    int2::nmb(1) = static_cast<std::int32_t>(r.rewritten.size());
    for (std::size_t k = 0; k < r.rewritten.size(); ++k)
      int2::ll(static_cast<std::int32_t>(k) + 1, 1) = r.rewritten[k];
    EXPECT_EQ(capture([&] { step(); }).text, r.warning);
    std::vector<std::int32_t> list;
    for (std::int32_t k = 1; k <= int2::nmb(1); ++k) list.push_back(int2::ll(k, 1));
    EXPECT_EQ(list, r.list_after);
    EXPECT_EQ(v(2), 1.0);  // 1 kA into 1 ohm
    release_all_and_reset();
  }
}

}  // namespace

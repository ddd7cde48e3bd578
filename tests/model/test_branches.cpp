// The branch arrays and the harmonic-impedance registry.
#include <gtest/gtest.h>

#include "model/branches.h"
#include "network_fixture.h"

using network_test::NetworkState;
using network_test::stop_message;

TEST_F(NetworkState, BranchGroupExtentsAndOrder) {
  ndde::nd15 = 7;
  ndde::nd2 = 3;
  a_branches();
  EXPECT_EQ(branches::geqchange.size(), 7);  // per branch number only
  EXPECT_EQ(branches::nsw.size(), 3);        // per subsystem
  EXPECT_EQ(branches::brnsw.extent(1), 7);   // a full list per subsystem
  EXPECT_EQ(branches::brnsw.extent(2), 3);
  EXPECT_EQ(branches::geq.extent(1), 7);
  EXPECT_EQ(branches::switch_.extent(2), 3);
  EXPECT_EQ(harmimp::branch_c.extent(1), 7);
  EXPECT_EQ(harmimp::branch_c.extent(2), 3);
  EXPECT_EQ(stop_message(a_branches),
            "Attempting to allocate already allocated variable 'cbr'");

  // An array allocated beforehand stops the group right after the ones before it.
  d_branches();
  branches::geqchange.allocate(1);
  EXPECT_EQ(stop_message(a_branches),
            "Attempting to allocate already allocated variable 'geqchange'");
  EXPECT_TRUE(branches::flipidlbr.allocated());
  EXPECT_FALSE(branches::rlg.allocated());

  d_branches();
  d_branches();
  EXPECT_FALSE(branches::cbr.allocated());
  EXPECT_FALSE(branches::defrdbr.allocated());
  EXPECT_FALSE(harmimp::branch_r.allocated());
}

TEST_F(NetworkState, RegistryAppendsRecordsAndZeroesUnusedFields) {
  ASSERT_TRUE(harmimp::harm_append(9, 2, {4, 0}, {1.5, 2.5}));
  ASSERT_TRUE(harmimp::harm_append(10, 1, {1, 2, 3}, {0.1}));
  EXPECT_EQ(harmimp::harm_num, 2);
  EXPECT_EQ(harmimp::harm_type(1), 9);
  EXPECT_EQ(harmimp::harm_ss(1), 2);
  EXPECT_EQ(harmimp::harm_node(1, 1), 4);
  EXPECT_EQ(harmimp::harm_var(1, 2), 2.5);
  EXPECT_EQ(harmimp::harm_node(2, 3), 3);
  EXPECT_EQ(harmimp::harm_node(2, 6), 0);
  EXPECT_EQ(harmimp::harm_var(2, 1), 0.1);
  EXPECT_EQ(harmimp::harm_var(2, 5), 0.0);
  // More fields than a record holds: refused, nothing changes.
  EXPECT_FALSE(harmimp::harm_append(1, 1, {1, 2, 3, 4, 5, 6, 7}, {}));
  EXPECT_FALSE(harmimp::harm_append(1, 1, {}, {1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(harmimp::harm_num, 2);
}

TEST_F(NetworkState, RegistryRefusesRecordsBeyondItsTables) {
  harmimp::harm_num = harmimp::kMaxRecords - 1;
  ASSERT_TRUE(harmimp::harm_append(12, 3, {8}, {60.0}));
  EXPECT_EQ(harmimp::harm_num, 10000);
  EXPECT_EQ(harmimp::harm_type(10000), 12);
  EXPECT_FALSE(harmimp::harm_append(7, 4, {9}, {1.0, 2.0, 3.0}));
  EXPECT_EQ(harmimp::harm_num, 10000);
  EXPECT_EQ(harmimp::harm_type(10000), 12);
  EXPECT_EQ(harmimp::harm_node(10000, 1), 8);
  // A corrupt count is refused too, instead of indexing with it.
  harmimp::harm_num = -3;
  EXPECT_FALSE(harmimp::harm_append(7, 4, {9}, {}));
}

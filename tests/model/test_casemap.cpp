// The case map and the radio links.
#include <gtest/gtest.h>

#include "model/quolbv3.h"
#include "model/radiolinks.h"
#include "network_fixture.h"

using network_test::NetworkState;
using network_test::stop_message;

TEST_F(NetworkState, CaseMapFromDataFilesHasNoDsx) {
  ndde::nd21 = 12;
  ndde::nd22 = 3;
  ndde::nd18 = 5;
  a_quolbv3();
  EXPECT_FALSE(quolbv3::dsx.allocated());
  EXPECT_EQ(quolbv3::node.size(), 12);
  EXPECT_EQ(quolbv3::testss.size(), 12);
  EXPECT_EQ(quolbv3::txfr.extent(1), 3);
  EXPECT_EQ(quolbv3::txfr.extent(2), 4);
  EXPECT_TRUE(quolbv3::cscr.allocated());
  d_quolbv3();  // skips dsx and gsx
  EXPECT_FALSE(quolbv3::nbrch.allocated());
  EXPECT_FALSE(quolbv3::cscr.allocated());
}

TEST_F(NetworkState, SnapshotStartAllocatesDsxOnce) {
  assorc::input = "SNAP";
  ndde::nd18 = 6;
  a_quolbv3();
  ASSERT_TRUE(quolbv3::dsx.allocated());
  EXPECT_EQ(quolbv3::dsx.size(), 6);
  d_quolbv3();
  // The start-up dialogue's load-flow data allocated dsx first: it is kept.
  quolbv3::dsx.allocate(9);
  quolbv3::dsx(9) = 4.25;
  EXPECT_EQ(stop_message(a_quolbv3), "<no stop>");
  EXPECT_EQ(quolbv3::dsx.size(), 9);
  EXPECT_EQ(quolbv3::dsx(9), 4.25);
  EXPECT_EQ(stop_message(a_quolbv3),
            "Attempting to allocate already allocated variable 'nbrch'");
  // The dialogue's gsx is released with the group.
  quolbv3::gsx.allocate(3);
  d_quolbv3();
  EXPECT_FALSE(quolbv3::gsx.allocated());
  EXPECT_FALSE(quolbv3::dsx.allocated());
}

TEST_F(NetworkState, RadioLinks) {
  ndde::nd37 = 4;
  ndde::nd38 = 8;
  a_radiolinks();
  EXPECT_EQ(radiolinks::tx.size(), 4);
  EXPECT_EQ(radiolinks::txrx.size(), 8);
  EXPECT_EQ(stop_message(a_radiolinks),
            "Attempting to allocate already allocated variable 'tx'");
  d_radiolinks();
  d_radiolinks();
  EXPECT_FALSE(radiolinks::txrx.allocated());
}

// The typed stores, the transfer store and the configuration store: allocation
// order and sizes, the allocation stops, releases at any time, and the index check
// that guards the stores in every build.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "model/fatal.h"
#include "model/groups.h"
#include "model/ndde.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"

namespace {

using wakro_test::fatal_message;

class Stores : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    ndde::nd27 = 2;
    ndde::nd28 = 3;
    ndde::nd29 = 4;
    ndde::nd30 = 5;
    ndde::nd51 = 6;
    ndde::nd52 = 7;
    ndde::nd59 = 8;
    ndde::nd60 = 9;
    ndde::nd61 = 11;
    ndde::nd62 = 12;
    ndde::nd63 = 13;
    ndde::nd64 = 14;
    ndde::nd3 = 3;
  }
  void TearDown() override { wakro_test::reset_shared_state(); }
};

}  // namespace

TEST_F(Stores, StorageArraysTakeTheirWorkingSizes) {
  a_storage();
  EXPECT_EQ(storage::storl.size(), 2);
  EXPECT_EQ(storage::stori.size(), 3);
  EXPECT_EQ(storage::storf.size(), 4);
  EXPECT_EQ(storage::storc.size(), 5);
  EXPECT_EQ(storage::stxfrl.size(), 6);
  EXPECT_EQ(storage::stxfri.size(), 7);
  EXPECT_EQ(storage::stxfrf.size(), 8);
  EXPECT_EQ(storage::stxfrc.size(), 9);
  // A model's block is addressed from the running pointer.
  storage::nstorf = 3;
  storage::storf(storage::nstorf) = 2.5;
  storage::storf(storage::nstorf + 1) = -1.0;
  EXPECT_DOUBLE_EQ(storage::storf(3), 2.5);
  EXPECT_DOUBLE_EQ(storage::storf(4), -1.0);
}

TEST_F(Stores, ConfigurationStoreAndTransformerTables) {
  a_rtconfig();
  EXPECT_EQ(rt_config::rtcl.size(), 11);
  EXPECT_EQ(rt_config::rtci.size(), 12);
  EXPECT_EQ(rt_config::rtcf.size(), 13);
  EXPECT_EQ(rt_config::rtcc.size(), 14);
  EXPECT_EQ(rt_config::tfdata.extent(1), 6);  // two rows per winding
  EXPECT_EQ(rt_config::tfdata.extent(2), 3);
  EXPECT_EQ(rt_config::umecwdgdata.extent(1), 3);
  EXPECT_EQ(rt_config::umecwdgdata.extent(2), 2);
}

TEST_F(Stores, SizeOfOneStillAllocatesOneElement) {
  for (int k : {27, 28, 29, 30, 51, 52, 59, 60, 61, 62, 63, 64, 3}) ndde::nd(k) = 1;
  a_storage();
  a_rtconfig();
  EXPECT_EQ(storage::storl.size(), 1);
  EXPECT_EQ(storage::stxfrc.size(), 1);
  EXPECT_EQ(rt_config::rtcc.size(), 1);
  EXPECT_EQ(rt_config::tfdata.size(), 2);
  EXPECT_EQ(rt_config::umecwdgdata.size(), 2);
}

TEST_F(Stores, AllocatingTwiceStopsNamingTheFirstArray) {
  a_storage();
  int status = 0;
  EXPECT_EQ(fatal_message([] { a_storage(); }, &status),
            "Attempting to allocate already allocated variable 'storl'");
  EXPECT_EQ(status, wakro::kRuntimeStopStatus);
  a_rtconfig();
  EXPECT_EQ(fatal_message([] { a_rtconfig(); }),
            "Attempting to allocate already allocated variable 'rtcl'");
}

TEST_F(Stores, ReleaseBeforeAllocationOrTwiceDoesNothing) {
  EXPECT_EQ(fatal_message([] {
              d_storage();
              d_rtconfig();
            }),
            "");
  a_storage();
  a_rtconfig();
  d_storage();
  d_rtconfig();
  d_storage();
  d_rtconfig();
  EXPECT_FALSE(storage::storl.allocated());
  EXPECT_FALSE(storage::stxfrl.allocated());
  EXPECT_FALSE(storage::stori.allocated());
  EXPECT_FALSE(storage::storf.allocated());
  EXPECT_FALSE(storage::storc.allocated());
  EXPECT_FALSE(storage::stxfri.allocated());
  EXPECT_FALSE(storage::stxfrf.allocated());
  EXPECT_FALSE(storage::stxfrc.allocated());
  EXPECT_FALSE(rt_config::rtcl.allocated());
  EXPECT_FALSE(rt_config::rtci.allocated());
  EXPECT_FALSE(rt_config::rtcf.allocated());
  EXPECT_FALSE(rt_config::rtcc.allocated());
  EXPECT_FALSE(rt_config::tfdata.allocated());
  EXPECT_FALSE(rt_config::umecwdgdata.allocated());
  // A released group can be allocated again.
  EXPECT_EQ(fatal_message([] { a_storage(); }), "");
}

TEST_F(Stores, FixedUmecTablesNeedNoAllocation) {
  rt_config::umectfdata(8) = 3.25;
  rt_config::umecsatdata(10, 2) = -7.5;
  a_rtconfig();
  d_rtconfig();
  EXPECT_DOUBLE_EQ(rt_config::umectfdata(8), 3.25);
  EXPECT_DOUBLE_EQ(rt_config::umecsatdata(10, 2), -7.5);
  EXPECT_EQ(rt_config::umectfdata.extent(1), 8);
  EXPECT_EQ(rt_config::umecsatdata.extent(1), 10);
  EXPECT_EQ(rt_config::umecsatdata.extent(2), 2);
  rt_config::umectfdata(8) = 0.0;
  rt_config::umecsatdata(10, 2) = 0.0;
}

TEST_F(Stores, ElementCountBeyondThirtyTwoBitsStops) {
  // 2*nd3 rows times nd3 columns: 2 * 40000 * 40000 = 3.2e9 elements.
  ndde::nd3 = 40000;
  int status = 0;
  EXPECT_EQ(fatal_message([] { a_rtconfig(); }, &status),
            "Integer overflow when calculating the amount of memory to allocate");
  EXPECT_EQ(status, wakro::kRuntimeStopStatus);
  EXPECT_FALSE(rt_config::tfdata.allocated());
  // A row count that itself passes the 32-bit range.
  d_rtconfig();
  ndde::nd3 = 1100000000;
  EXPECT_EQ(fatal_message([] { a_rtconfig(); }),
            "Integer overflow when calculating the amount of memory to allocate");
}

TEST_F(Stores, WritePastAStoreStopsNamingIt) {
  // The stores are checked whatever the build type.
  static_assert(decltype(storage::storf)::kChecked);
  static_assert(decltype(rt_config::rtcc)::kChecked);
  a_storage();
  a_rtconfig();
  EXPECT_EQ(fatal_message([] { storage::storf(5) = 1.0; }),
            "Array index out of bounds: storf(5) outside (1:4)");
  EXPECT_EQ(fatal_message([] { storage::storf(0) = 1.0; }),
            "Array index out of bounds: storf(0) outside (1:4)");
  EXPECT_EQ(fatal_message([] { storage::stxfri(8) = 1; }),
            "Array index out of bounds: stxfri(8) outside (1:7)");
  EXPECT_EQ(fatal_message([] { rt_config::rtcc(15) = wakro::cplx(1.0, 0.0); }),
            "Array index out of bounds: rtcc(15) outside (1:14)");
  EXPECT_EQ(fatal_message([] { storage::storf(4) = 1.0; }), "");
}

TEST_F(Stores, UseBeforeAllocationStopsNamingTheStore) {
  EXPECT_EQ(fatal_message([] { storage::storl(1) = true; }),
            "Array index out of bounds: storl(1) outside (1:0)");
}

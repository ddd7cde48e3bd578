// The dimension table: working sizes from required sizes, the SPARSITY default,
// saturated margins and the load-flow display tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "model/e_s0.h"
#include "model/e_s4.h"
#include "model/fatal.h"
#include "model/ndde.h"
#include "model/pf_display.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

using wakro_test::fatal_message;

class DimensionTable : public ::testing::Test {
 protected:
  void SetUp() override { wakro_test::reset_shared_state(); }
  void TearDown() override { wakro_test::reset_shared_state(); }
};

}  // namespace

TEST_F(DimensionTable, EmptyTableGivesOneExceptUmecAndChannels) {
  ndde::e_ndim(dim::umec) = 5;  // what the section reader leaves when UMEC is not given
  ndde::put_nd();
  for (int k = 1; k <= 73; ++k) {
    if (k == 50 || (k >= 65 && k <= 68)) {
      EXPECT_EQ(ndde::nd(k), 0) << "nd" << k << " belongs to allocate_pf";
    } else if (k == 9 || k == 13) {
      EXPECT_EQ(ndde::nd(k), 10) << "nd" << k;
    } else {
      EXPECT_EQ(ndde::nd(k), 1) << "nd" << k;
    }
  }
  // The sparse lists and work matrices follow nd19 and nd1 until the MNA set-up.
  EXPECT_EQ(ndde::nd74, 1);
  EXPECT_EQ(ndde::nd75, 1);
  for (int k = 76; k <= 80; ++k) EXPECT_EQ(ndde::nd(k), 0) << "nd" << k << " untouched";
}

TEST_F(DimensionTable, DerivedSizesFollowTheirRules) {
  ndde::e_ndim(dim::nodes) = 10;
  ndde::e_ndim(dim::umec) = 12;
  ndde::e_ndim(dim::branches) = 7;
  ndde::e_ndim(dim::storf) = 1234;
  ndde::e_ndim(dim::stor) = -4;  // anything below 1 becomes 1
  ndde::nd74 = 17;  // already set by the MNA set-up: kept
  ndde::put_nd();
  EXPECT_EQ(ndde::nd1, 10);
  EXPECT_EQ(ndde::nd9, 12);
  EXPECT_EQ(ndde::nd15, 7);
  EXPECT_EQ(ndde::nd29, 1234);
  EXPECT_EQ(ndde::nd10, 1);
  EXPECT_EQ(ndde::nd74, 17);
  EXPECT_EQ(ndde::nd75, 10);  // not set yet: takes nd1
}

TEST_F(DimensionTable, ChannelsRoundToTheNextMultipleOfTen) {
  const std::int32_t cases[][2] = {{0, 10},  {1, 10},  {9, 10},   {10, 20},
                                   {15, 20}, {20, 30}, {-3, 10}, {2147483639, 2147483640}};
  for (const auto& c : cases) {
    ndde::e_ndim(dim::pgbs) = c[0];
    ndde::put_nd();
    EXPECT_EQ(ndde::nd13, c[1]) << "PGBS " << c[0];
  }
}

TEST_F(DimensionTable, ChannelRoundingSaturatesInsteadOfWrapping) {
  // 10*(m div 10)+10 would pass the 32-bit range for these.
  for (std::int32_t m : {2147483640, kMax}) {
    ndde::e_ndim(dim::pgbs) = m;
    ndde::put_nd();
    EXPECT_EQ(ndde::nd13, kMax) << "PGBS " << m;
  }
}

TEST_F(DimensionTable, ConductorSizeCoversEveryLineModel) {
  ndde::e_ndim(dim::maxmodes) = 3;     // Bergeron / modal lines
  ndde::e_ndim(dim::maxmodes_ph) = 6;  // phase-domain lines
  ndde::put_nd();
  EXPECT_EQ(ndde::nd43, 6);
  EXPECT_EQ(ndde::nd5, 6);
  EXPECT_EQ(ndde::nd_conductors(), 6);

  ndde::e_ndim(dim::maxmodes_mfdtd) = 9;  // MFDTD lines
  ndde::put_nd();
  EXPECT_EQ(ndde::nd5, 9);
  EXPECT_EQ(ndde::nd55, 9);

  ndde::e_ndim(dim::maxmodes) = 12;
  ndde::put_nd();
  EXPECT_EQ(ndde::nd5, 12);
  EXPECT_EQ(ndde::nd43, 6);

  // A size re-derived later (tandem lines) is still covered.
  ndde::nd43 = 20;
  EXPECT_EQ(ndde::nd_conductors(), 20);
}

TEST(SparsityDefault, ComputedInSixtyFourBits) {
  EXPECT_EQ(ndde::sparsity_default(10), 46);
  EXPECT_EQ(ndde::sparsity_default(1), 1);
  EXPECT_EQ(ndde::sparsity_default(46341), 1073720971);
  // From here the 32-bit product n(n-1) overflows, the result itself still fits.
  EXPECT_EQ(ndde::sparsity_default(46342), 1073767312);
  EXPECT_EQ(ndde::sparsity_default(65536), 2147450881);
  EXPECT_LE(ndde::sparsity_default(65536), kMax);
  // The first count whose default no longer fits the table.
  EXPECT_EQ(ndde::sparsity_default(65537), 2147516417);
  EXPECT_GT(ndde::sparsity_default(65537), kMax);
}

TEST(Margins, SaturateAtTheLargestInteger) {
  EXPECT_EQ(ndde::with_margin(0, 10000), 10000);
  EXPECT_EQ(ndde::with_margin(250, 1000), 1250);
  EXPECT_EQ(ndde::with_margin(kMax - 100, 100), kMax);
  EXPECT_EQ(ndde::with_margin(kMax - 5, 10000), kMax);
  EXPECT_EQ(ndde::with_margin(kMax, 100), kMax);
}

TEST_F(DimensionTable, WorkingSizeByNumberRefusesBadNumbers) {
  ndde::nd(37) = 4;
  EXPECT_EQ(ndde::nd37, 4);
  EXPECT_EQ(fatal_message([] { ndde::nd(0); }), "Array index out of bounds: nd(0) outside (1:80)");
  EXPECT_EQ(fatal_message([] { ndde::nd(81); }), "Array index out of bounds: nd(81) outside (1:80)");
}

TEST(ChkNexc, WritesItsOneLineWarning) {
  testing::internal::CaptureStdout();
  ndde::chk_nexc();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), " WARNING: CHK_NEXC is not implemented\n");
}

// The report names the group and stops the process; the arrays its caller
// holds stay allocated (a report that released them and returned would leave
// the caller with freed arrays).
TEST_F(DimensionTable, OutOfMemoryReportsTheGroupAndStopsWithoutReleasing) {
  ndde::e_ndim(dim::nodes) = 3;
  std::int32_t status = -1;
  ndde::allocate_nd(status);
  testing::internal::CaptureStdout();
  const wakro::FatalExit stop = wakro_test::fatal_of([] { ndde::out_of_memory("E_S0"); });
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " ERROR(ndalloc): Ran out of memory while allocating common block /E_S0/\n"
            " Quit some applications or increase swap space\n"
            " " + std::string(45, '*') + "\n");
  EXPECT_EQ(stop.status(), wakro::kRuntimeStopStatus);
  EXPECT_EQ(stop.message(), "");  // already reported
  EXPECT_TRUE(e_s0::vdc.allocated());
  EXPECT_EQ(e_s0::vdc.extent(1), 3);
}

TEST_F(DimensionTable, LoadFlowTablesTakeTheirCounts) {
  std::int32_t nbus = 3, nwb = 2, nb = 4, ntwdg = 0, nc = 5;
  pf_display::allocate_pf(nbus, nwb, nb, ntwdg, nc);
  EXPECT_EQ(pf_display::nbus, 3);
  EXPECT_EQ(pf_display::nwb, 2);
  EXPECT_EQ(pf_display::nb, 4);
  EXPECT_EQ(pf_display::ntwdg, 0);
  EXPECT_EQ(pf_display::nc, 5);
  EXPECT_EQ(ndde::e_ndim(dim::pf_buses), 3);
  EXPECT_EQ(ndde::e_ndim(dim::pf_nwb), 2);
  EXPECT_EQ(ndde::e_ndim(dim::pf_nb), 4);
  EXPECT_EQ(ndde::e_ndim(dim::pf_ntwdg), 0);
  EXPECT_EQ(ndde::e_ndim(dim::pf_nc), 5);
  EXPECT_EQ(ndde::nd50, 3);
  EXPECT_EQ(ndde::nd65, 2);
  EXPECT_EQ(ndde::nd66, 4);
  EXPECT_EQ(ndde::nd67, 1);
  EXPECT_EQ(ndde::nd68, 5);

  EXPECT_EQ(pf_display::pfdata.size(), 3);
  EXPECT_EQ(pf_display::pfsubs.extent(1), 3);
  EXPECT_EQ(pf_display::pfsubs.extent(2), 2);
  EXPECT_EQ(pf_display::pfnodes.extent(2), 3);
  EXPECT_EQ(pf_display::pfbus.size(), 2);
  EXPECT_EQ(pf_display::pfbranch.size(), 2 * 3 * 4);
  EXPECT_EQ(pf_display::pfbranch.extent(3), 4);
  EXPECT_EQ(pf_display::pftwindings.size(), 2 * 3 * 1 * 2);
  EXPECT_EQ(pf_display::pfconductors.size(), 2 * 3 * 5 * 2);
  EXPECT_EQ(pf_display::pfconductors.extent(4), 2);
  EXPECT_EQ(pf_display::pfpqdata.extent(1), 2);
  EXPECT_EQ(pf_display::pfpqdata.extent(2), 3);
}

TEST_F(DimensionTable, LoadFlowTablesMayBeSentAgain) {
  std::int32_t nbus = 2, nwb = 1, nb = 1, ntwdg = 1, nc = 1;
  pf_display::allocate_pf(nbus, nwb, nb, ntwdg, nc);
  nbus = 7;
  nwb = 0;
  EXPECT_EQ(fatal_message([&] { pf_display::allocate_pf(nbus, nwb, nb, ntwdg, nc); }), "");
  EXPECT_EQ(pf_display::pfdata.size(), 7);
  EXPECT_EQ(pf_display::pfbus.size(), 1);
  EXPECT_EQ(ndde::e_ndim(dim::pf_nwb), 0);

  pf_display::deallocate_pf();
  pf_display::deallocate_pf();
  EXPECT_FALSE(pf_display::pfdata.allocated());
  EXPECT_FALSE(pf_display::pfsubs.allocated());
  EXPECT_FALSE(pf_display::pfnodes.allocated());
  EXPECT_FALSE(pf_display::pfbus.allocated());
  EXPECT_FALSE(pf_display::pfbranch.allocated());
  EXPECT_FALSE(pf_display::pftwindings.allocated());
  EXPECT_FALSE(pf_display::pfconductors.allocated());
  EXPECT_FALSE(pf_display::pfpqdata.allocated());
}

TEST_F(DimensionTable, OutputChannelValuesAreResized) {
  pf_display::reallocate_pgb(30);  // also when never allocated
  EXPECT_EQ(e_s4::pgb.size(), 30);
  e_s4::pgb(30) = 1.5;
  pf_display::reallocate_pgb(10);
  EXPECT_EQ(e_s4::pgb.size(), 10);
  EXPECT_EQ(e_s4::pgb.extent(1), 10);
}

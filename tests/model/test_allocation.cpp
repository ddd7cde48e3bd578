// Sizing, allocating, initialising and releasing the whole shared state from one
// dimension table, as a case reading does it: the dimension table, the allocation
// sequence, the per-subsystem matrix sets in both forms, the initial values, and the
// release sequence at the end of the program.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/branches.h"
#include "model/clvi.h"
#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_s8.h"
#include "model/e_tldyn.h"
#include "model/e_tlint.h"
#include "model/fatal.h"
#include "model/groups.h"
#include "model/harmimp.h"
#include "model/ideal.h"
#include "model/initialz.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/int4.h"
#include "model/mna.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/pf_display.h"
#include "model/quolbv3.h"
#include "model/radiolinks.h"
#include "model/rt_config.h"
#include "model/spcial.h"
#include "model/storage.h"
#include "model/temp1.h"
#include "model/temp2.h"
#include "model/temp3.h"
#include "model/umec.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"

namespace {

using wakro_test::fatal_message;

// A case-sized array seen only through its name, state and size.
struct ArrayRef {
  std::string name;
  std::function<bool()> allocated;
  std::function<std::int64_t()> size;
};

template <class A>
ArrayRef array_ref(A& a) {
  return {a.name(), [&a] { return a.allocated(); }, [&a] { return a.size(); }};
}

// Arrays of every group of the allocation sequence (the line modules completely).
std::vector<ArrayRef> arrays_of_the_sequence() {
  std::vector<ArrayRef> v = {
      array_ref(e_s0::ccin), array_ref(e_s0::vdc), array_ref(e_s0::ca), array_ref(e_s0::cdctr), array_ref(e_s0::mbus),
      array_ref(e_s0::enabccin), array_ref(e_s0::cdctl), array_ref(e_s2::stor), array_ref(e_s4::var), array_ref(e_s4::con),
      array_ref(e_s4::pgb), array_ref(outppp::mpgbi), array_ref(outppp::ipgbi), array_ref(outppp::pgbname),
      array_ref(e_s5::sm), array_ref(e_s5::ccmc), array_ref(e_s5tap::lorig), array_ref(e_s5tap::tss), array_ref(e_s8::mxinv),
      array_ref(int1::iorv), array_ref(int1::xstor), array_ref(int1::gfinal), array_ref(int2::glvl), array_ref(int2::insb), array_ref(int3::use_klu),
      array_ref(int4::ccind), array_ref(options::interpss), array_ref(options::rootmatch), array_ref(clvi::icntv),
      array_ref(clvi::brchat_rep), array_ref(ideal::gonmax), array_ref(ideal::gms), array_ref(spcial::vdcnew),
      array_ref(spcial::cbrnew), array_ref(umec::nturn), array_ref(umec::satflag), array_ref(umec::ramp),
      array_ref(branches::cbr), array_ref(branches::geq), array_ref(branches::geqchange), array_ref(branches::nsw),
      array_ref(branches::ief), array_ref(harmimp::branch_r), array_ref(quolbv3::subs), array_ref(quolbv3::node),
      array_ref(quolbv3::stol), array_ref(quolbv3::cx), array_ref(storage::storl), array_ref(storage::storf),
      array_ref(storage::stxfrc), array_ref(temp1::si), array_ref(temp1::stabck), array_ref(temp2::rm),
      array_ref(temp3::collap), array_ref(radiolinks::tx), array_ref(radiolinks::txrx), array_ref(rt_config::rtcl),
      array_ref(rt_config::tfdata), array_ref(rt_config::umecwdgdata), array_ref(mna::mna_elem), array_ref(mna::mnad),
  };
#define WAKRO_REF(name, T, rank, extents) v.push_back(array_ref(MODULE::name));
#define MODULE e_s7
  WAKRO_E_S7_ARRAYS(WAKRO_REF)
#undef MODULE
#define MODULE e_s7ph
  WAKRO_E_S7PH_ARRAYS(WAKRO_REF)
#undef MODULE
#define MODULE e_s7mfd
  WAKRO_E_S7MFD_ARRAYS(WAKRO_REF)
#undef MODULE
#define MODULE e_tlint
  WAKRO_E_TLINT_ARRAYS(WAKRO_REF)
#undef MODULE
#define MODULE e_s7eni
  WAKRO_E_S7ENI_ARRAYS(WAKRO_REF)
#undef MODULE
#define MODULE e_tldyn
  WAKRO_E_TLDYN_ARRAYS(WAKRO_REF)
#undef MODULE
#undef WAKRO_REF
  return v;
}

void release_everything() {
  ndde::deallocate_nd();
  pf_display::deallocate_pf();
  std::int32_t status = 0;
  e_s0::deallocate_ss(status);
}

class Allocation : public ::testing::Test {
 protected:
  void SetUp() override { wakro_test::reset_shared_state(); }
  void TearDown() override { wakro_test::reset_shared_state(); }
};

// NODES 10, SUBSYS 2, PGBS 20, BRANCHES 7, and lines whose phase-domain conductor
// count (MAXMODES-PH 6) exceeds the Bergeron one (MAXMODES 3).
void fill_case_table() {
  ndde::e_ndim(dim::nodes) = 10;
  ndde::e_ndim(dim::sparsity) = static_cast<std::int32_t>(ndde::sparsity_default(10));
  ndde::e_ndim(dim::subsys) = 2;
  ndde::e_ndim(dim::umec) = 5;
  ndde::e_ndim(dim::pgbs) = 20;
  ndde::e_ndim(dim::branches) = 7;
  ndde::e_ndim(dim::maxmodes) = 3;
  ndde::e_ndim(dim::tlines) = 1;
  ndde::e_ndim(dim::tlines_ph) = 2;
  ndde::e_ndim(dim::maxmodes_ph) = 6;
  ndde::e_ndim(dim::tlines_total) = 3;
}

}  // namespace

TEST_F(Allocation, CaseIsSizedInitialisedAndReleased) {
  fill_case_table();
  std::int32_t status = -1;
  ndde::allocate_nd(status);
  ASSERT_EQ(status, 0);

  // Working sizes.
  EXPECT_EQ(ndde::nd1, 10);
  EXPECT_EQ(ndde::nd2, 2);
  EXPECT_EQ(ndde::nd13, 30);
  EXPECT_EQ(ndde::nd15, 7);
  EXPECT_EQ(ndde::nd19, 46);
  EXPECT_EQ(ndde::nd9, 10);
  EXPECT_EQ(ndde::nd5, 6);
  EXPECT_EQ(ndde::nd29, 1);

  // Extents of the groups.
  EXPECT_EQ(e_s0::vdc.extent(1), 10);
  EXPECT_EQ(e_s0::vdc.extent(2), 2);
  EXPECT_EQ(e_s0::mbus.size(), 2);
  EXPECT_EQ(e_s0::cdctl.extent(1), 6);  // every conductor of the phase-domain lines
  EXPECT_EQ(e_s0::cdctl.extent(2), 2);
  EXPECT_EQ(e_s0::cdctl.extent(3), 3);
  EXPECT_EQ(e_s7::globaldm.extent(1), 6);
  EXPECT_EQ(e_s7::globaldm.extent(2), 6);
  EXPECT_EQ(e_s7::globaldm.extent(3), 3);
  EXPECT_EQ(e_s7::linemodel.extent(1), 3);
  EXPECT_EQ(e_s7::linemodel.extent(2), 13);
  EXPECT_EQ(e_tlint::knodet.size(), 6);
  EXPECT_EQ(e_s7ph::gyc.extent(1), 6);
  EXPECT_EQ(e_s7ph::gyc.extent(3), 2);
  EXPECT_EQ(branches::cbr.extent(1), 7);
  EXPECT_EQ(branches::cbr.extent(2), 2);
  EXPECT_EQ(e_s4::pgb.size(), 30);
  EXPECT_EQ(outppp::ipgbi.size(), 30);
  EXPECT_EQ(outppp::pgbname.size(), 30);
  EXPECT_EQ(int2::glvl.size(), 2);
  EXPECT_EQ(ideal::gonmax.size(), 2);
  EXPECT_EQ(storage::storf.size(), 1);
  EXPECT_EQ(rt_config::tfdata.extent(1), 2);

  // The matrix sets: one order per subsystem.
  std::int32_t status2 = -1;
  e_s0::allocate_ssdim_array(ndde::nd2, status2);
  ASSERT_EQ(status2, 0);
  e_s0::ssdim(1) = 10;
  e_s0::ssdim(2) = 4;

  // Shared form: a plane of order nd1 per subsystem.
  std::int32_t st = -1;
  e_s0::allocate_ss_matrices(ndde::nd2, e_s0::ssdim, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(e_s0::gm.extent(1), 10);
  EXPECT_EQ(e_s0::gm.extent(3), 2);
  for (std::int32_t k = 1; k <= 2; ++k) {
    auto g = e_s0::assign_gm_ptr(k);
    auto f = e_s0::assign_filled_ptr(k);
    ASSERT_TRUE(g.valid());
    EXPECT_EQ(g.extent(1), 10);
    EXPECT_EQ(g.extent(2), 10);
    for (std::int32_t i = 1; i <= 10; ++i) EXPECT_TRUE(f(i, i)) << "ss " << k << " node " << i;
    EXPECT_FALSE(f(1, 2));
  }
  e_s0::assign_gm_ptr(2)(3, 4) = 5.0;
  EXPECT_EQ(e_s0::gm(3, 4, 2), 5.0);
  EXPECT_EQ(e_s0::gm(3, 4, 1), 0.0);

  // Per-subsystem form: each subsystem's own order.
  e_s0::deallocate_ss_matrices(st);
  ndde::use_subsysdim = true;
  e_s0::allocate_ss_matrices(ndde::nd2, e_s0::ssdim, st);
  ASSERT_EQ(st, 0);
  EXPECT_EQ(e_s0::assign_gm_ptr(1).extent(1), 10);
  EXPECT_EQ(e_s0::assign_gm_ptr(2).extent(1), 4);
  EXPECT_EQ(e_s0::assign_gm_ptr(2).extent(2), 4);
  auto f2 = e_s0::assign_filled_ptr(2);
  for (std::int32_t i = 1; i <= 4; ++i) EXPECT_TRUE(f2(i, i));
  e_s0::assign_gm_ptr(2)(4, 1) = -2.0;
  EXPECT_EQ(e_s0::ss(2).gm(4, 1), -2.0);

  // Initial values.
  wakro_initialz();
  for (std::int32_t s = 1; s <= 2; ++s) {
    EXPECT_DOUBLE_EQ(int2::glvl(s), 0.001);
    EXPECT_DOUBLE_EQ(ideal::gonmax(s), 1.0e8);
    EXPECT_TRUE(options::interpss(s));
    EXPECT_TRUE(options::xterpsrc(s));
    EXPECT_TRUE(options::rmchatter(s));
    EXPECT_TRUE(options::dtchatter(s));
    EXPECT_EQ(options::rootmatch(s), 0);
    EXPECT_FALSE(int3::use_klu(s));
  }
  EXPECT_EQ(int3::sparse_limit, 2147483647);
  for (std::int32_t i = 1; i <= 30; ++i) {
    EXPECT_EQ(outppp::ipgbi(i), i);
    EXPECT_TRUE(outppp::pgbname(i).is_blank());
  }

  // End of the program.
  release_everything();
  for (const auto& a : arrays_of_the_sequence()) EXPECT_FALSE(a.allocated()) << a.name;
  EXPECT_FALSE(e_s0::ssdim.allocated());
  EXPECT_FALSE(e_s0::ss.allocated());
  EXPECT_FALSE(e_s0::gm.allocated());
  EXPECT_FALSE(e_s0::filled.allocated());
  EXPECT_EQ(fatal_message([] { ndde::deallocate_nd(); }), "");
}

TEST_F(Allocation, EmptyTableGivesEveryArrayAtLeastOneElement) {
  std::int32_t status = -1;
  ndde::allocate_nd(status);
  ASSERT_EQ(status, 0);
  for (const auto& a : arrays_of_the_sequence()) {
    EXPECT_TRUE(a.allocated()) << a.name;
    EXPECT_GE(a.size(), 1) << a.name;
  }
  EXPECT_EQ(e_s4::pgb.size(), 10);
  EXPECT_EQ(e_s7eni::eni_host.size(), 2);  // one server end and one client end
  EXPECT_EQ(e_s7::linemodel.size(), 13);
}

TEST_F(Allocation, SequenceTwiceStopsAtItsFirstArray) {
  std::int32_t status = -1;
  ndde::allocate_nd(status);
  EXPECT_EQ(fatal_message([&] { ndde::allocate_nd(status); }),
            "Attempting to allocate already allocated variable 'ccin'");
  EXPECT_EQ(fatal_message([] { a_storage(); }),
            "Attempting to allocate already allocated variable 'storl'");
}

TEST_F(Allocation, ReleaseBeforeAnyAllocationDoesNothing) {
  EXPECT_EQ(fatal_message([] {
              ndde::deallocate_nd();
              ndde::deallocate_nd();
              pf_display::deallocate_pf();
            }),
            "");
}

TEST_F(Allocation, OverflowMidwayLeavesOnlyEarlierGroupsToRelease) {
  // 50000 x 50000 conductor matrices pass the 32-bit element count: the line group
  // stops after the network group was allocated.
  ndde::e_ndim(dim::maxmodes_ph) = 50000;
  std::int32_t status = -1;
  EXPECT_EQ(fatal_message([&] { ndde::allocate_nd(status); }),
            "Integer overflow when calculating the amount of memory to allocate");
  EXPECT_TRUE(e_s0::vdc.allocated());
  EXPECT_FALSE(storage::storl.allocated());
  EXPECT_FALSE(rt_config::rtcl.allocated());

  ndde::deallocate_nd();
  for (const auto& a : arrays_of_the_sequence()) EXPECT_FALSE(a.allocated()) << a.name;

  // The same process can size a smaller case afterwards.
  ndde::e_ndim(dim::maxmodes_ph) = 4;
  EXPECT_EQ(fatal_message([&] { ndde::allocate_nd(status); }), "");
  EXPECT_EQ(e_s0::cdctl.extent(1), 4);
}

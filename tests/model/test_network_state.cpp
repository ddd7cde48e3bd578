// The matrix set of the subsystems in both storage forms, its views and release,
// and the node-array group a_s / d_s.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_s8.h"
#include "model/int3.h"
#include "model/outppp.h"
#include "network_fixture.h"

using network_test::NetworkState;
using network_test::stop_message;

namespace {

template <class V>
int count_true(const V& v) {
  int n = 0;
  for (std::int32_t j = 1; j <= v.extent(2); ++j)
    for (std::int32_t i = 1; i <= v.extent(1); ++i) n += v(i, j) ? 1 : 0;
  return n;
}

// ssdim of two subsystems with the given orders.
void set_orders(std::int32_t a, std::int32_t b) {
  std::int32_t status = -1;
  e_s0::allocate_ssdim_array(2, status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(e_s0::ssdim(1), 0);
  EXPECT_EQ(e_s0::ssdim(2), 0);
  e_s0::ssdim(1) = a;
  e_s0::ssdim(2) = b;
}

}  // namespace

TEST_F(NetworkState, PerSubsystemFormSizesEachMatrixToItsSubsystem) {
  ndde::use_subsysdim = true;
  ndde::nd1 = 4;
  ndde::nd2 = 2;
  set_orders(3, 1);
  std::int32_t status = -1;
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  EXPECT_EQ(status, 0);

  auto g1 = e_s0::assign_gm_ptr(1);
  auto g2 = e_s0::assign_gm_ptr(2);
  EXPECT_EQ(g1.extent(1), 3);
  EXPECT_EQ(g1.extent(2), 3);
  EXPECT_EQ(g2.extent(1), 1);
  EXPECT_EQ(g2.extent(2), 1);
  // Exactly the 3 + 1 diagonal entries are filled.
  auto f1 = e_s0::assign_filled_ptr(1);
  auto f2 = e_s0::assign_filled_ptr(2);
  EXPECT_EQ(count_true(f1) + count_true(f2), 4);
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(f1(i, i));
  EXPECT_TRUE(f2(1, 1));
  // The shared arrays stay unallocated in this form.
  EXPECT_FALSE(e_s0::gm.allocated());
  EXPECT_FALSE(e_s0::filled.allocated());
  // Views alias the record's storage.
  g1(2, 3) = 5.0;
  e_s0::RealView again;
  e_s0::assign_gm_ptr(1, again);
  EXPECT_EQ(again(2, 3), 5.0);
  EXPECT_EQ(e_s0::ss(1).gm(2, 3), 5.0);
  EXPECT_EQ(e_s0::assign_ss_ptr(1), &e_s0::ss(1));
  // No record, no view.
  EXPECT_FALSE(e_s0::assign_gm_ptr(3).valid());
  EXPECT_FALSE(e_s0::assign_rdc_ptr(1).valid());
}

TEST_F(NetworkState, SharedFormFillsTheWholeDiagonalOfEveryPlane) {
  ndde::nd1 = 4;
  ndde::nd2 = 2;
  set_orders(2, 3);
  std::int32_t status = -1;
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(e_s0::ss.allocated());
  for (std::int32_t k = 1; k <= 2; ++k) {
    auto f = e_s0::assign_filled_ptr(k);
    EXPECT_EQ(f.extent(1), 4);
    EXPECT_EQ(f.extent(2), 4);
    EXPECT_EQ(count_true(f), 4);  // beyond the subsystem's own order too
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(f(i, i));
  }
  auto g2 = e_s0::assign_gm_ptr(2);
  g2(4, 1) = -2.5;
  EXPECT_EQ(e_s0::gm(4, 1, 2), -2.5);
  EXPECT_EQ(e_s0::assign_gm_ptr(2)(4, 1), -2.5);
  EXPECT_EQ(e_s0::assign_gm_ptr(1)(4, 1), 0.0);  // planes do not overlap
  EXPECT_EQ(e_s0::assign_ss_ptr(1), nullptr);
  EXPECT_FALSE(e_s0::assign_gm_ptr(3).valid());
  EXPECT_FALSE(e_s0::assign_gm_ptr(0).valid());
}

TEST_F(NetworkState, SecondAllocationReusesTheMemoryAndOnlyClears) {
  for (bool per_subsystem : {false, true}) {
    SCOPED_TRACE(per_subsystem ? "per subsystem" : "shared");
    network_test::release_all();
    ndde::use_subsysdim = per_subsystem;
    ndde::nd1 = 3;
    ndde::nd2 = 2;
    set_orders(3, 2);
    std::int32_t status = -1;
    e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
    auto g = e_s0::assign_gm_ptr(1);
    auto f = e_s0::assign_filled_ptr(1);
    g(1, 2) = 7.0;
    f(1, 2) = true;
    f(3, 3) = false;
    e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(e_s0::assign_gm_ptr(1).data(), g.data());
    EXPECT_EQ(g(1, 2), 0.0);
    EXPECT_FALSE(f(1, 2));
    EXPECT_TRUE(f(3, 3));
    EXPECT_EQ(count_true(f), 3);
  }
}

TEST_F(NetworkState, LargerOrderOnALaterCallReallocatesTheField) {
  ndde::use_subsysdim = true;
  ndde::nd2 = 2;
  set_orders(2, 1);
  std::int32_t status = -1;
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  e_s0::ssdim(2) = 4;  // a snapshot or a later case with a larger subsystem
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  EXPECT_EQ(status, 0);
  auto f2 = e_s0::assign_filled_ptr(2);
  ASSERT_EQ(f2.extent(1), 4);
  EXPECT_EQ(count_true(f2), 4);
  EXPECT_EQ(e_s0::ss(2).gm.extent(2), 4);
  EXPECT_EQ(e_s0::assign_gm_ptr(1).extent(1), 2);
}

TEST_F(NetworkState, SubsystemWithoutAnOrderGetsAOneByOneMatrix) {
  // Subsystem 2 has no "SUBSYSDIM:" entry: its order stays 0.
  ndde::use_subsysdim = true;
  ndde::nd2 = 2;
  set_orders(3, 0);
  std::int32_t status = -1;
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  EXPECT_EQ(status, 0);
  auto g2 = e_s0::assign_gm_ptr(2);
  auto f2 = e_s0::assign_filled_ptr(2);
  ASSERT_TRUE(g2.valid());
  EXPECT_EQ(g2.extent(1), 1);
  EXPECT_EQ(g2.extent(2), 1);
  EXPECT_EQ(count_true(f2), 0);  // no node, so no diagonal entry
  g2(1, 1) = 2.0;                // inside the matrix, not past it
  EXPECT_EQ(e_s0::ss(2).gm(1, 1), 2.0);
  EXPECT_EQ(count_true(e_s0::assign_filled_ptr(1)), 3);

  e_s0::allocate_ss_matrices2(2, e_s0::ssdim, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(e_s0::assign_rdc_ptr(2).extent(1), 1);
  EXPECT_EQ(e_s0::assign_temfil_ptr(2).extent(2), 1);
}

TEST_F(NetworkState, WorkMatricesHaveNoDiagonalAndAreClearedAgain) {
  ndde::nd1 = 2;
  ndde::nd2 = 2;
  ndde::nd75 = 3;
  set_orders(2, 2);
  std::int32_t status = -1;
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  e_s0::allocate_ss_matrices2(2, e_s0::ssdim, status);
  EXPECT_EQ(status, 0);
  auto r = e_s0::assign_rdc_ptr(2);
  auto t = e_s0::assign_temfil_ptr(2);
  EXPECT_EQ(r.extent(1), 3);  // shared work planes are of order nd75
  EXPECT_EQ(count_true(t), 0);
  r(3, 3) = 1.5;
  t(1, 3) = true;
  e_s0::initialize_ss_matrices2(2);
  EXPECT_EQ(r(3, 3), 0.0);
  EXPECT_FALSE(t(1, 3));
}

TEST_F(NetworkState, MarkedSubsystemsGetNoWorkMatricesUntilTheyNeedThem) {
  // Shared form, three subsystems, the second marked: two planes of order 3.
  ndde::nd1 = 2;
  ndde::nd2 = 3;
  ndde::nd75 = 3;
  std::int32_t status = -1;
  e_s0::allocate_ssdim_array(3, status);
  e_s0::allocate_ss_matrices(3, e_s0::ssdim, status);
  e_s0::mark_without_work_matrices(2);
  e_s0::allocate_ss_matrices2(3, e_s0::ssdim, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(e_s0::rdc.extent(3), 2);
  EXPECT_EQ(e_s0::temfil.extent(3), 2);
  EXPECT_TRUE(e_s0::without_work_matrices(2));
  EXPECT_FALSE(e_s0::assign_rdc_ptr(2).valid());
  EXPECT_FALSE(e_s0::assign_temfil_ptr(2).valid());
  e_s0::assign_rdc_ptr(1)(3, 3) = 1.5;
  e_s0::assign_rdc_ptr(3)(3, 3) = 3.5;
  e_s0::assign_temfil_ptr(3)(1, 2) = true;

  // The second turns out to need them: a third plane, the others' kept.
  e_s0::ensure_work_matrices(2);
  EXPECT_FALSE(e_s0::without_work_matrices(2));
  EXPECT_EQ(e_s0::rdc.extent(3), 3);
  EXPECT_EQ(e_s0::assign_rdc_ptr(1)(3, 3), 1.5);
  EXPECT_EQ(e_s0::assign_rdc_ptr(2)(3, 3), 0.0);
  EXPECT_EQ(e_s0::assign_rdc_ptr(3)(3, 3), 3.5);
  EXPECT_EQ(count_true(e_s0::assign_temfil_ptr(2)), 0);
  EXPECT_TRUE(e_s0::assign_temfil_ptr(3)(1, 2));

  // Per-subsystem form: the marked record has no fields; a release clears marks.
  e_s0::deallocate_ss(status);
  ndde::use_subsysdim = true;
  set_orders(2, 2);
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  e_s0::mark_without_work_matrices(1);
  e_s0::allocate_ss_matrices2(2, e_s0::ssdim, status);
  EXPECT_FALSE(e_s0::ss(1).rdc.allocated());
  EXPECT_EQ(e_s0::assign_rdc_ptr(2).extent(1), 2);
  e_s0::ensure_work_matrices(1);
  EXPECT_EQ(e_s0::assign_temfil_ptr(1).extent(2), 2);
  e_s0::mark_without_work_matrices(2);
  e_s0::deallocate_ss_matrices(status);
  EXPECT_FALSE(e_s0::without_work_matrices(2));
}

TEST_F(NetworkState, PerSubsystemWorkMatricesNeedTheRecords) {
  ndde::use_subsysdim = true;
  ndde::nd2 = 2;
  set_orders(2, 1);
  std::int32_t status = 0;
  e_s0::allocate_ss_matrices2(2, e_s0::ssdim, status);
  EXPECT_NE(status, 0);
  EXPECT_FALSE(e_s0::ss.allocated());

  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  wakro::FArray<std::int32_t, 1> with_mna("mbus_mna");
  with_mna.allocate(2);
  with_mna(1) = 4;  // two nodes plus two MNA elements
  with_mna(2) = 1;
  e_s0::allocate_ss_matrices2(2, with_mna, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(e_s0::assign_rdc_ptr(1).extent(1), 4);
  EXPECT_EQ(e_s0::assign_temfil_ptr(1).extent(2), 4);
  EXPECT_EQ(e_s0::assign_rdc_ptr(2).extent(1), 1);
  EXPECT_EQ(e_s0::assign_gm_ptr(1).extent(1), 2);
  // sizes that do not cover the subsystems are refused.
  e_s0::allocate_ss_matrices(3, with_mna, status);
  EXPECT_NE(status, 0);
}

TEST_F(NetworkState, ReleaseStatusesOfBothForms) {
  std::int32_t status = -1;
  // Shared form, nothing allocated: ssdim released, status non-zero.
  set_orders(1, 1);
  e_s0::deallocate_ss(status);
  EXPECT_NE(status, 0);
  EXPECT_FALSE(e_s0::ssdim.allocated());
  // Per-subsystem form, nothing allocated: status 0.
  ndde::use_subsysdim = true;
  e_s0::deallocate_ss(status);
  EXPECT_EQ(status, 0);
  // Shared form with only gm and filled: released, status non-zero.
  ndde::use_subsysdim = false;
  set_orders(1, 1);
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  e_s0::deallocate_ss(status);
  EXPECT_NE(status, 0);
  EXPECT_FALSE(e_s0::gm.allocated());
  EXPECT_FALSE(e_s0::filled.allocated());
  // Shared form complete: status 0.
  set_orders(1, 1);
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  e_s0::allocate_ss_matrices2(2, e_s0::ssdim, status);
  e_s0::deallocate_ss(status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(e_s0::rdc.allocated());
  EXPECT_FALSE(e_s0::temfil.allocated());
  // Per-subsystem records are released with their fields.
  ndde::use_subsysdim = true;
  set_orders(2, 2);
  e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
  e_s0::deallocate_ss(status);
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(e_s0::ss.allocated());
  EXPECT_FALSE(e_s0::ssdim.allocated());
}

TEST_F(NetworkState, SsdimAllocatedTwiceIsReplacedWithAnError) {
  std::int32_t status = -1;
  e_s0::allocate_ssdim_array(2, status);
  EXPECT_EQ(status, 0);
  e_s0::allocate_ssdim_array(5, status);
  EXPECT_NE(status, 0);
  ASSERT_TRUE(e_s0::ssdim.allocated());
  EXPECT_EQ(e_s0::ssdim.extent(1), 5);
}

namespace {
int hook_calls = 0;
void counting_hook() { ++hook_calls; }
[[noreturn]] void quitting_hook() { throw wakro::FatalExit(2000); }
}  // namespace

TEST_F(NetworkState, MatrixAllocationFailureGoesThroughTheHook) {
  ndde::use_subsysdim = true;
  ndde::nd2 = 1;
  std::int32_t status = -1;
  e_s0::allocate_ssdim_array(1, status);
  e_s0::ssdim(1) = 50000;  // 2.5e9 entries: more than a 32-bit index reaches
  hook_calls = 0;
  e_s0::allocation_failure_hook = counting_hook;
  // A hook that returns still ends the run, with both lines of the error.
  EXPECT_EQ(stop_message([&] { e_s0::allocate_ss_matrices(1, e_s0::ssdim, status); }),
            "Memory requirement too high, Errors in allocation. \n"
            "Try optimize memory allocation in Project Settings or use 64-bit build of "
            "library.");
  EXPECT_EQ(hook_calls, 1);
  // The registered termination ends the run with its own status.
  e_s0::allocation_failure_hook = quitting_hook;
  ndde::use_subsysdim = false;
  ndde::nd1 = 50000;
  try {
    e_s0::allocate_ss_matrices(1, e_s0::ssdim, status);
    ADD_FAILURE() << "no stop";
  } catch (const wakro::FatalExit& e) {
    EXPECT_EQ(e.status(), 2000);
  }
  EXPECT_FALSE(e_s0::gm.allocated());
}

TEST_F(NetworkState, GroupSAllocatesInOrderWithItsExtents) {
  using namespace ndde;
  nd1 = 3;
  nd2 = 2;
  nd3 = 2;
  nd4 = 5;
  nd5 = 3;
  nd43 = 6;  // a phase-domain line with more conductors than nd5
  nd55 = 2;
  nd58 = 4;
  nd10 = 7;
  nd13 = 20;
  a_s();
  EXPECT_EQ(e_s0::cdctl.extent(1), 6);
  EXPECT_EQ(e_s0::cdctl.extent(2), 2);
  EXPECT_EQ(e_s0::cdctl.extent(3), 4);
  EXPECT_EQ(e_s0::ca.size(), 3);
  EXPECT_EQ(e_s0::cdctr.extent(1), 2);
  EXPECT_EQ(e_s0::cdctr.extent(2), 5);
  EXPECT_EQ(e_s0::enabccin.size(), 6);
  EXPECT_EQ(e_s2::stor.size(), 7);
  EXPECT_EQ(outppp::pgbname.size(), 20);
  EXPECT_EQ(e_s5::tdatatmp.size(), 4);
  EXPECT_EQ(e_s5::numt.size(), 2);  // per subsystem
  EXPECT_EQ(e_s5::sm.size(), 2 * 2 * 5);
  EXPECT_EQ(e_s8::mxinv.size(), 2);
  EXPECT_EQ(stop_message(a_s),
            "Attempting to allocate already allocated variable 'ccin'");

  // Order: an array already allocated stops the group after those before it.
  d_s();
  outppp::pgbname.allocate(1);
  EXPECT_EQ(stop_message(a_s),
            "Attempting to allocate already allocated variable 'pgbname'");
  EXPECT_TRUE(e_s0::cdctl.allocated());
  EXPECT_TRUE(e_s2::stor.allocated());
  EXPECT_TRUE(outppp::ipgbi.allocated());
  EXPECT_FALSE(e_s5::sm.allocated());
  EXPECT_FALSE(e_s8::mxinv.allocated());

  d_s();
  d_s();
  EXPECT_FALSE(e_s0::ccin.allocated());
  EXPECT_FALSE(outppp::pgbname.allocated());
  EXPECT_FALSE(e_s5tap::tss.allocated());
}

// A subsystem the sparse solver takes by its order keeps gm and filled as entries
// only, in both forms; the other subsystems keep their dense matrices (in the
// shared form the planes go to them alone). Making them dense keeps every entry.
TEST_F(NetworkState, SubsystemsAboveTheSparseLimitKeepTheirEntriesOnly) {
  for (const bool per_subsystem : {false, true}) {
    SCOPED_TRACE(per_subsystem ? "per subsystem" : "shared");
    ndde::use_subsysdim = per_subsystem;
    ndde::nd1 = 5;
    ndde::nd2 = 2;
    set_orders(5, 3);
    int3::enable_sparse = true;
    int3::sparse_limit = 4;
    std::int32_t status = -1;
    e_s0::allocate_ss_matrices(2, e_s0::ssdim, status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(e_s0::sparse_store(1));
    EXPECT_FALSE(e_s0::sparse_store(2));
    if (!per_subsystem) {
      EXPECT_EQ(e_s0::gm.extent(3), 1);  // one plane, subsystem 2's
    }
    e_s0::GmView g1 = e_s0::assign_gm_ptr(1);
    e_s0::FilledView f1 = e_s0::assign_filled_ptr(1);
    ASSERT_TRUE(g1.is_sparse());
    EXPECT_EQ(g1.extent(1), 5);
    EXPECT_EQ(f1.sparse()->entries(), 5u);  // the diagonal
    EXPECT_FALSE(f1.get(1, 3));
    EXPECT_EQ(f1.sparse()->entries(), 5u);  // a read makes no entry
    // Entries by reference, kept while others are added; rows walk by column.
    double& g53 = g1(5, 3);
    g53 = 2.0;
    g1(5, 1) = 1.0;
    g1(5, 4) = 4.0;
    g1(5, 3) += 0.5;
    EXPECT_EQ(g53, 2.5);
    std::string row;
    g1.for_row(5, 4, [&](std::int32_t j, double v) {
      row += std::to_string(j) + "=" + std::to_string(static_cast<int>(v * 10)) + " ";
    });
    EXPECT_EQ(row, "1=10 3=25 4=40 ");  // column 5 is beyond the walk's n
    EXPECT_EQ(e_s0::RealView(g1).valid(), false);  // no dense view of entries
    f1(1, 3) = f1(3, 1) = true;
    auto g2 = e_s0::assign_gm_ptr(2);
    ASSERT_FALSE(g2.is_sparse());
    g2(2, 1) = 7.0;
    EXPECT_EQ(e_s0::assign_gm_ptr(1).get(2, 1), 0.0);  // no shared memory
    const auto index = stop_message([&] { e_s0::assign_gm_ptr(1)(6, 1) = 1.0; });
    EXPECT_NE(index.find("gm"), std::string::npos) << index;

    e_s0::ensure_dense_store(1);
    EXPECT_FALSE(e_s0::sparse_store(1));
    const auto d = e_s0::assign_gm_ptr(1);
    const auto fd = e_s0::assign_filled_ptr(1);
    ASSERT_FALSE(d.is_sparse());
    EXPECT_EQ(d.extent(1), 5);
    EXPECT_EQ(d(5, 3), 2.5);
    EXPECT_EQ(d(5, 4), 4.0);
    EXPECT_EQ(d(5, 5), 0.0);
    EXPECT_EQ(count_true(fd), 7);
    EXPECT_TRUE(fd(3, 1));
    EXPECT_EQ(e_s0::assign_gm_ptr(2)(2, 1), 7.0);

    e_s0::deallocate_ss(status);
    EXPECT_FALSE(e_s0::sparse_store(1));
    EXPECT_FALSE(e_s0::assign_gm_ptr(1).valid());
    int3::enable_sparse = false;
    int3::sparse_limit = std::numeric_limits<std::int32_t>::max();
  }
}

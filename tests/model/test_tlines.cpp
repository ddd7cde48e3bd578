// Line-model storage: the shapes of the arrays, the order in which they are created,
// the stops of a wrong allocation, and the re-size for a later tandem-line run.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/e_s0.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_tldyn.h"
#include "model/e_tlint.h"
#include "model/fatal.h"
#include "model/groups.h"
#include "model/ndde.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"

using wakro::FatalExit;

namespace {

// What a test needs to know of one array of the group, whatever its type.
struct ArrayInfo {
  std::string module;
  std::string name;
  int rank;
  std::function<bool()> allocated;
  std::function<std::int32_t(int)> extent;
};

template <class T, int R>
void add(std::vector<ArrayInfo>& out, const char* module, wakro::FArray<T, R>& a) {
  out.push_back(
      {module, a.name(), R, [&a] { return a.allocated(); }, [&a](int d) { return a.extent(d); }});
}

// Every array of the group, module by module in the order of the module lists.
std::vector<ArrayInfo> line_arrays() {
  std::vector<ArrayInfo> v;
#define INFO_E_S7(name, T, rank, ext) add(v, "e_s7", e_s7::name);
#define INFO_E_S7PH(name, T, rank, ext) add(v, "e_s7ph", e_s7ph::name);
#define INFO_E_S7MFD(name, T, rank, ext) add(v, "e_s7mfd", e_s7mfd::name);
#define INFO_E_TLINT(name, T, rank, ext) add(v, "e_tlint", e_tlint::name);
#define INFO_E_S7ENI(name, T, rank, ext) add(v, "e_s7eni", e_s7eni::name);
#define INFO_E_TLDYN(name, T, rank, ext) add(v, "e_tldyn", e_tldyn::name);
  WAKRO_E_S7_ARRAYS(INFO_E_S7)
  WAKRO_E_S7PH_ARRAYS(INFO_E_S7PH)
  WAKRO_E_S7MFD_ARRAYS(INFO_E_S7MFD)
  WAKRO_E_TLINT_ARRAYS(INFO_E_TLINT)
  WAKRO_E_S7ENI_ARRAYS(INFO_E_S7ENI)
  WAKRO_E_TLDYN_ARRAYS(INFO_E_TLDYN)
  return v;
}

template <class A>
std::vector<std::int32_t> shape(const A& a, int rank) {
  std::vector<std::int32_t> s;
  for (int d = 1; d <= rank; ++d) s.push_back(a.extent(d));
  return s;
}

using wakro_test::fatal_of;

std::int32_t* const kLineSizes[] = {
    &ndde::nd5,  &ndde::nd6,  &ndde::nd8,  &ndde::nd31, &ndde::nd32, &ndde::nd33, &ndde::nd34,
    &ndde::nd35, &ndde::nd36, &ndde::nd41, &ndde::nd42, &ndde::nd43, &ndde::nd44, &ndde::nd45,
    &ndde::nd46, &ndde::nd47, &ndde::nd48, &ndde::nd49, &ndde::nd53, &ndde::nd54, &ndde::nd55,
    &ndde::nd56, &ndde::nd57, &ndde::nd58, &ndde::nd69, &ndde::nd70};

class LineStorage : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    set_all(1);  // a case without lines
  }
  void TearDown() override { wakro_test::reset_shared_state(); }
  static void set_all(std::int32_t v) {
    for (std::int32_t* s : kLineSizes) *s = v;
  }
};

TEST_F(LineStorage, CaseWithoutLinesGivesExtentOneExceptFixedDimensions) {
  a_tlines();
  // Fixed dimensions of the tables; every other extent is a working size, here 1.
  const std::vector<std::pair<std::string, std::vector<std::int32_t>>> fixed = {
      {"linemodel", {1, 13}},
      {"shapek", {2, 1}},
      {"fk", {1, 2}},
      {"fm", {1, 2}},
      {"eni_host", {2}}};
  int seen_fixed = 0;
  for (const ArrayInfo& a : line_arrays()) {
    SCOPED_TRACE(a.module + "::" + a.name);
    ASSERT_TRUE(a.allocated());
    std::vector<std::int32_t> want(a.rank, 1);
    for (const auto& [name, ext] : fixed)
      if (name == a.name) {
        want = ext;
        ++seen_fixed;
      }
    EXPECT_EQ(shape(a, a.rank), want);
  }
  EXPECT_EQ(seen_fixed, 5);
}

TEST_F(LineStorage, ShapesFollowTheirWorkingSizes) {
  // Distinct sizes, so that a swapped or wrong dimension shows.
  // clang-format off
  ndde::nd5 = 2;   ndde::nd6 = 3;   ndde::nd8 = 4;   ndde::nd31 = 5;  ndde::nd32 = 6;
  ndde::nd33 = 7;  ndde::nd34 = 8;  ndde::nd35 = 9;  ndde::nd36 = 10; ndde::nd41 = 11;
  ndde::nd42 = 12; ndde::nd43 = 3;  ndde::nd44 = 14; ndde::nd45 = 15; ndde::nd46 = 16;
  ndde::nd47 = 17; ndde::nd48 = 18; ndde::nd49 = 19; ndde::nd53 = 5;  ndde::nd54 = 21;
  ndde::nd55 = 4;  ndde::nd56 = 6;  ndde::nd57 = 7;  ndde::nd58 = 25; ndde::nd69 = 26;
  ndde::nd70 = 27;
  // clang-format on
  a_tlines();
  using V = std::vector<std::int32_t>;
  // The widest line has nd55 = 4 conductors (nd5 = 2, nd43 = 3).
  EXPECT_EQ(shape(e_s7::globaldm, 3), (V{4, 4, 25}));
  EXPECT_EQ(shape(e_s7::dm, 2), (V{4, 4}));
  EXPECT_EQ(shape(e_s7::linemodel, 2), (V{25, 13}));
  EXPECT_EQ(shape(e_s7::fk, 2), (V{10, 2}));
  EXPECT_EQ(shape(e_s7::shapek, 2), (V{2, 3}));
  EXPECT_EQ(shape(e_s7::bk, 1), (V{5}));
  EXPECT_EQ(shape(e_s7::npolet, 1), (V{6}));
  EXPECT_EQ(shape(e_s7::mut, 1), (V{7}));
  EXPECT_EQ(shape(e_s7::ska, 1), (V{8}));
  EXPECT_EQ(shape(e_s7::cmy, 1), (V{9}));
  EXPECT_EQ(shape(e_s7::z, 1), (V{4}));
  EXPECT_EQ(shape(e_s7::tlname, 1), (V{3}));
  EXPECT_EQ(shape(e_s7ph::tauj, 2), (V{11, 3}));
  EXPECT_EQ(shape(e_s7ph::pek2, 2), (V{3, 11}));
  EXPECT_EQ(shape(e_s7ph::gyc, 3), (V{3, 3, 11}));
  EXPECT_EQ(shape(e_s7ph::alfah, 3), (V{19, 3, 11}));
  EXPECT_EQ(shape(e_s7ph::knodeph, 1), (V{12}));
  EXPECT_EQ(shape(e_s7ph::ikr, 1), (V{14}));
  EXPECT_EQ(shape(e_s7ph::xhm, 1), (V{18}));
  EXPECT_EQ(shape(e_s7mfd::aimfd, 4), (V{4, 4, 6, 5}));
  EXPECT_EQ(shape(e_s7mfd::alphamfd, 2), (V{6, 5}));
  EXPECT_EQ(shape(e_s7mfd::knodemfd, 1), (V{21}));
  EXPECT_EQ(shape(e_tlint::ycsera, 2), (V{3, 19}));
  EXPECT_EQ(shape(e_tlint::yckladd, 3), (V{3, 3, 19}));
  EXPECT_EQ(shape(e_tlint::rc, 1), (V{4}));
  EXPECT_EQ(shape(e_tlint::gamamfd, 2), (V{4, 4}));
  EXPECT_EQ(shape(e_s7eni::line_name, 1), (V{25}));
  EXPECT_EQ(shape(e_s7eni::eni_server_vol, 2), (V{4, 26}));
  EXPECT_EQ(shape(e_s7eni::eni_client_nodes, 2), (V{4, 27}));
  EXPECT_EQ(shape(e_s7eni::eni_host, 1), (V{53}));
  EXPECT_EQ(shape(e_tldyn::interpk, 3), (V{3, 3, 11}));
  EXPECT_EQ(shape(e_tldyn::pek1, 2), (V{3, 11}));
  EXPECT_EQ(shape(e_tldyn::vhmfd, 3), (V{4, 7, 5}));
  EXPECT_EQ(shape(e_tldyn::psiihmfd, 4), (V{4, 7, 6, 5}));
  EXPECT_EQ(shape(e_tldyn::psiimfd, 2), (V{4, 6}));
  EXPECT_EQ(shape(e_tldyn::vmfd, 2), (V{4, 7}));
  // Layout: first index fastest, texts blank, numbers zero.
  e_s7::linemodel(25, 13) = 7;
  EXPECT_EQ(e_s7::linemodel.data()[25 * 13 - 1], 7);
  EXPECT_TRUE(e_s7::tlname(3).is_blank());
  EXPECT_EQ(e_s7eni::eni_host(53).size(), 72u);
  EXPECT_EQ(e_s7::globaldm(4, 4, 25), 0.0);
}

TEST_F(LineStorage, PhaseDomainWiderThanModeDomainSizesTheConductorTables) {
  ndde::nd5 = 3;
  ndde::nd43 = 6;
  a_tlines();
  EXPECT_EQ(e_tlint::knodet.extent(1), 6);
  EXPECT_EQ(e_tlint::mnodet.extent(1), 6);
  EXPECT_EQ(e_s7eni::eni_server_vol.extent(1), 6);
  EXPECT_EQ(e_s7eni::eni_client_nodes.extent(1), 6);
  EXPECT_EQ(e_s7::globaldm.extent(1), 6);
  EXPECT_EQ(e_s7::globaldm.extent(2), 6);
  // A six-conductor admittance fits the copy of every line.
  e_s7::globaldm(6, 6, 1) = 0.25;
  EXPECT_EQ(e_s7::globaldm(6, 6, 1), 0.25);
  // Tables of one model keep that model's own size.
  EXPECT_EQ(e_s7ph::gyc.extent(1), 6);
  EXPECT_EQ(e_tlint::rmfd.extent(1), 1);
}

TEST_F(LineStorage, SecondAllocationStopsNamingVdckAndReleaseIsSilent) {
  a_tlines();
  const FatalExit e = fatal_of([] { a_tlines(); });
  EXPECT_EQ(e.status(), wakro::kRuntimeStopStatus);
  EXPECT_EQ(e.message(), "Attempting to allocate already allocated variable 'vdck'");

  d_tlines();
  EXPECT_EQ(fatal_of([] { d_tlines(); }).status(), -1);
  for (const ArrayInfo& a : line_arrays()) EXPECT_FALSE(a.allocated()) << a.name;
  // Released storage may be created again.
  EXPECT_EQ(fatal_of([] { a_tlines(); }).status(), -1);
  EXPECT_TRUE(e_tldyn::vmfd.allocated());
}

TEST_F(LineStorage, CreationOrderModuleByModule) {
  // An array that exists already stops the creation at its place: everything
  // listed before it then exists, nothing after it.
  struct Probe {
    std::function<void()> preallocate;
    std::string name;
    bool first;  // first of its module, else last
    std::string module;
    std::vector<std::string> complete_modules;  // created in full before it
  };
  const std::vector<Probe> probes = {
      {[] { e_s7::vdck.allocate(1); }, "vdck", true, "e_s7", {}},
      {[] { e_s7::globaldm.allocate(1, 1, 1); }, "globaldm", false, "e_s7", {}},
      {[] { e_s7ph::tauj.allocate(1, 1); }, "tauj", true, "e_s7ph", {"e_s7"}},
      {[] { e_s7ph::gammah.allocate(1, 1, 1); }, "gammah", false, "e_s7ph", {"e_s7"}},
      {[] { e_s7mfd::dxmfd.allocate(1); }, "dxmfd", false, "e_s7mfd", {"e_s7", "e_s7ph"}},
      {[] { e_tlint::rc.allocate(1); }, "rc", true, "e_tlint", {"e_s7", "e_s7ph", "e_s7mfd"}},
      {[] { e_s7eni::line_name.allocate(1); },
       "line_name",
       true,
       "e_s7eni",
       {"e_s7", "e_s7ph", "e_s7mfd", "e_tlint"}},
      {[] { e_tldyn::interpk.allocate(1, 1, 1); },
       "interpk",
       true,
       "e_tldyn",
       {"e_s7", "e_s7ph", "e_s7mfd", "e_tlint", "e_s7eni"}},
      {[] { e_tldyn::vmfd.allocate(1, 1); },
       "vmfd",
       false,
       "e_tldyn",
       {"e_s7", "e_s7ph", "e_s7mfd", "e_tlint", "e_s7eni"}},
  };
  for (const Probe& pr : probes) {
    SCOPED_TRACE(pr.name);
    pr.preallocate();
    const FatalExit e = fatal_of([] { a_tlines(); });
    EXPECT_EQ(e.message(), "Attempting to allocate already allocated variable '" + pr.name + "'");
    const auto all = line_arrays();
    int before_in_module = 0, in_module = 0;
    for (const ArrayInfo& a : all) {
      if (a.name == pr.name) continue;
      bool complete = false;
      for (const auto& m : pr.complete_modules) complete = complete || m == a.module;
      if (complete) {
        EXPECT_TRUE(a.allocated()) << a.module << "::" << a.name;
      } else if (a.module == pr.module) {
        ++in_module;
        if (a.allocated()) ++before_in_module;
      } else {
        EXPECT_FALSE(a.allocated()) << a.module << "::" << a.name;
      }
    }
    // First of its module: nothing of it before; last: all of the rest before.
    EXPECT_EQ(before_in_module, pr.first ? 0 : in_module);
    d_tlines();
  }
}

TEST_F(LineStorage, OversizedConductorTableStopsWithOverflow) {
  // 70000 x 70000 conductor matrices do not fit a 32-bit element count.
  ndde::nd55 = 70000;
  const FatalExit e = fatal_of([] { a_tlines(); });
  EXPECT_EQ(e.status(), wakro::kRuntimeStopStatus);
  EXPECT_EQ(e.message(), "Integer overflow when calculating the amount of memory to allocate");
  // Arrays created before the failure stay; the failing one was not created.
  EXPECT_TRUE(e_s7::mut.allocated());
  EXPECT_FALSE(e_s7::dm.allocated());
  EXPECT_FALSE(e_tldyn::vmfd.allocated());
}

TEST_F(LineStorage, TandemResizeTakesNewFileSizesAndKeepsLineCounts) {
  ndde::nd5 = 3;
  ndde::nd6 = 2;
  ndde::nd41 = 2;
  ndde::nd53 = 1;
  ndde::nd58 = 5;
  ndde::nd69 = 1;
  ndde::nd70 = 1;
  ndde::nd8 = 4;
  ndde::nd31 = 10;
  ndde::nd36 = 6;
  a_tlines();
  e_s0::cdctl.allocate(ndde::nd_conductors(), 2, ndde::nd58);
  e_s7::linemodel(5, 1) = 2;

  // The later run's dimension pass: more poles and longer buffers, and other line
  // counts that must not be taken.
  for (int k : {dim::maxmodes, dim::tlines, dim::tlines_ph, dim::tlines_mfdtd, dim::tlines_total,
                dim::eni_servers, dim::eni_clients})
    ndde::e_ndim(k) = 9;
  ndde::e_ndim(dim::maxpoles) = 12;
  ndde::e_ndim(dim::travwaves) = 40;
  ndde::e_ndim(dim::nummodes) = 0;  // raised to 1
  ndde::e_ndim(dim::maxmodes_ph) = 4;
  ndde::e_ndim(dim::maxpoles_ph) = 5;
  ndde::e_ndim(dim::maxmodes_mfdtd) = 2;
  ndde::e_ndim(dim::maxinc_mfdtd) = 3;
  resize_tlines_for_tandem();

  EXPECT_EQ(ndde::nd5, 3);
  EXPECT_EQ(ndde::nd6, 2);
  EXPECT_EQ(ndde::nd41, 2);
  EXPECT_EQ(ndde::nd53, 1);
  EXPECT_EQ(ndde::nd58, 5);
  EXPECT_EQ(ndde::nd69, 1);
  EXPECT_EQ(ndde::nd70, 1);
  EXPECT_EQ(ndde::nd8, 12);
  EXPECT_EQ(ndde::nd31, 40);
  EXPECT_EQ(ndde::nd36, 1);
  EXPECT_EQ(ndde::nd43, 4);
  EXPECT_EQ(ndde::nd49, 5);
  EXPECT_EQ(ndde::nd55, 2);
  EXPECT_EQ(ndde::nd57, 3);
  EXPECT_EQ(ndde::nd32, 1);  // e_ndim 0: raised to 1

  using V = std::vector<std::int32_t>;
  EXPECT_EQ(shape(e_s7::a, 1), (V{12}));
  EXPECT_EQ(shape(e_s7::bk, 1), (V{40}));
  EXPECT_EQ(shape(e_s7::vdck, 1), (V{1}));
  EXPECT_EQ(shape(e_s7::kss, 1), (V{2}));
  EXPECT_EQ(shape(e_s7::linemodel, 2), (V{5, 13}));
  EXPECT_EQ(shape(e_s7::globaldm, 3), (V{4, 4, 5}));  // widest line now nd43 = 4
  EXPECT_EQ(shape(e_s0::cdctl, 3), (V{4, 2, 5}));     // line currents follow it
  EXPECT_EQ(shape(e_s7ph::alfah, 3), (V{5, 4, 2}));
  EXPECT_EQ(shape(e_tldyn::vhmfd, 3), (V{2, 3, 1}));
  EXPECT_EQ(shape(e_s7eni::eni_host, 1), (V{2}));
  // The storage is new: the reader of the run fills it again.
  EXPECT_EQ(e_s7::linemodel(5, 1), 0);
  for (const ArrayInfo& a : line_arrays()) EXPECT_TRUE(a.allocated()) << a.name;
}

}  // namespace

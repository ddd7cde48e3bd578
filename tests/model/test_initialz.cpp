// Initial values of the shared state: every array named gets its value over its
// whole allocated extent, var only on the first run, channel names blank and
// channel indices numbered, and arrays not named are left as they are.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s5.h"
#include "model/e_s7.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_tldyn.h"
#include "model/e_tlint.h"
#include "model/ideal.h"
#include "model/initialz.h"
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
#include "model/storage.h"
#include "model/umec.h"
#include "support/shared_state.h"

namespace {

using wakro::cplx;

// One array of the table: how to spoil it and how to check that it got its value.
struct Entry {
  std::string name;
  std::function<void()> spoil;
  std::function<bool()> holds;
};

template <class A, class V>
Entry set_to(A& a, V poison, V value) {
  return {a.name(), [&a, poison] { a.fill(poison); },
          [&a, value] {
            if (a.size() < 1) return false;
            for (const auto& x : a)
              if (!(x == value)) return false;
            return true;
          }};
}

std::vector<Entry> documented_values() {
  const cplx c0{0.0, 0.0}, cp{3.0, -4.0};
  return {
      set_to(options::rootmatch, 7, 0),
      set_to(options::interpss, false, true),
      set_to(options::xterpsrc, false, true),
      set_to(options::rmchatter, false, true),
      set_to(options::dtchatter, false, true),
      set_to(int2::glvl, 9.0, 0.001),
      set_to(int2::nmb, 7, 0),
      set_to(int2::insb, 7, 0),
      set_to(ideal::gonmax, 9.0, 1.0e8),
      set_to(ideal::gidlbr, 7, 0),
      set_to(ideal::nidlbr, 7, 0),
      set_to(ideal::gms, 9.0, 0.0),
      set_to(mna::mna_elem, 7, 0),
      set_to(mna::mbus_mna, 7, 0),
      set_to(mna::mna_start, 7, 0),
      set_to(mna::mna_end, 7, 0),
      set_to(int3::use_klu, true, false),
      set_to(e_s0::cdctr, 9.0, 0.0),
      set_to(e_s0::cdctro, 9.0, 0.0),
      set_to(e_s0::vdc, 9.0, 0.0),
      set_to(e_s0::ccin, 9.0, 0.0),
      set_to(e_s0::ggin, 9.0, 0.0),
      set_to(e_s0::ccli, 9.0, 0.0),
      set_to(e_s0::ccgm, 9.0, 0.0),
      set_to(e_s0::ccgmd, 9.0, 0.0),
      set_to(e_s0::mbus, 7, 0),
      set_to(e_s0::idealss, true, false),
      set_to(e_s0::enabccin, true, false),
      set_to(e_s5::ccmc, 9.0, 0.0),
      set_to(e_s5::ccmcd, 9.0, 0.0),
      set_to(e_s5::nummag, 7, 0),
      set_to(e_s5::numt, 7, 0),
      set_to(umec::nturn, 9.0, 0.0),
      set_to(umec::ai, 9.0, 0.0),
      set_to(umec::fininjs, 9.0, 0.0),
      set_to(umec::fininjsd, 9.0, 0.0),
      set_to(umec::dvolt, 9.0, 0.0),
      set_to(umec::dvoltd, 9.0, 0.0),
      set_to(umec::dphi, 9.0, 0.0),
      set_to(umec::dphid, 9.0, 0.0),
      set_to(umec::satflag, 7, 0),
      set_to(umec::xt, 9.0, 0.0),
      set_to(umec::yt, 9.0, 0.0),
      set_to(umec::awlm, 9.0, 0.0),
      set_to(umec::lwlm, 9.0, 0.0),
      set_to(umec::ayok, 9.0, 0.0),
      set_to(umec::lyok, 9.0, 0.0),
      set_to(umec::aol, 9.0, 0.0),
      set_to(umec::lol, 9.0, 0.0),
      set_to(umec::msl1, 9.0, 0.0),
      set_to(umec::zes, 9.0, 0.0),
      set_to(umec::ramp, 9.0, 0.0),
      set_to(umec::satenab, 7, 0),
      set_to(umec::wn, 7, 0),
      set_to(umec::bn, 7, 0),
      set_to(umec::cor, 7, 0),
      set_to(umec::injcur, 7, 0),
      set_to(e_s7::linemodel, 7, 0),
      set_to(e_s7::globaldm, 9.0, 0.0),
      set_to(e_s7mfd::kssmfd, 7, 0),
      set_to(e_s7mfd::mssmfd, 7, 0),
      set_to(e_s7mfd::modemfd, 7, 0),
      set_to(e_s7mfd::nmfd, 7, 0),
      set_to(e_s7mfd::npolesmfd, 7, 0),
      set_to(e_s7mfd::dxmfd, 9.0, 0.0),
      set_to(e_s7mfd::alphamfd, cp, c0),
      set_to(e_s7mfd::zeta2mfd, 9.0, 0.0),
      set_to(e_s7mfd::xhi2mfd, 9.0, 0.0),
      set_to(e_s7mfd::knodemfd, 7, 0),
      set_to(e_s7mfd::mnodemfd, 7, 0),
      set_to(e_s7mfd::zeta1mfd, 9.0, 0.0),
      set_to(e_s7mfd::xhi1mfd, 9.0, 0.0),
      set_to(e_s7mfd::zplusimfd, 9.0, 0.0),
      set_to(e_s7mfd::zminusmfd, 9.0, 0.0),
      set_to(e_s7mfd::yplusmfd, 9.0, 0.0),
      set_to(e_s7mfd::yplusimfd, 9.0, 0.0),
      set_to(e_s7mfd::yminusmfd, 9.0, 0.0),
      set_to(e_s7mfd::yhmfd, 9.0, 0.0),
      set_to(e_s7mfd::aimfd, cp, c0),
      set_to(e_s7mfd::inflengthmfd, true, false),
      set_to(e_tldyn::tmp1, 9.0, 0.0),
      set_to(e_tldyn::tmp2, 9.0, 0.0),
      set_to(e_tldyn::tmp3, 9.0, 0.0),
      set_to(e_tldyn::ismfd, 9.0, 0.0),
      set_to(e_tldyn::irmfd, 9.0, 0.0),
      set_to(e_tldyn::iomfd1, 9.0, 0.0),
      set_to(e_tldyn::iomfd2, 9.0, 0.0),
      set_to(e_tldyn::iomfd3, 9.0, 0.0),
      set_to(e_tldyn::dvmfd, 9.0, 0.0),
      set_to(e_tldyn::dimfd, 9.0, 0.0),
      set_to(e_tldyn::psisummfd, 9.0, 0.0),
      set_to(e_tldyn::ishmfd, 9.0, 0.0),
      set_to(e_tldyn::irhmfd, 9.0, 0.0),
      set_to(e_tldyn::vmfd, 9.0, 0.0),
      set_to(e_tldyn::vhmfd, 9.0, 0.0),
      set_to(e_tldyn::ihmfd0, 9.0, 0.0),
      set_to(e_tldyn::ihmfd1, 9.0, 0.0),
      set_to(e_tldyn::ihmfd2, 9.0, 0.0),
      set_to(e_tldyn::ihmfd3, 9.0, 0.0),
      set_to(e_tldyn::psiimfd, cp, c0),
      set_to(e_tldyn::psiihmfd, cp, c0),
      set_to(e_tlint::rmfd, 9.0, 0.0),
      set_to(e_tlint::dlmfd, 9.0, 0.0),
      set_to(e_tlint::gmfd, 9.0, 0.0),
      set_to(e_tlint::cmfd, 9.0, 0.0),
      set_to(e_tlint::gamamfd, 9.0, 0.0),
      set_to(e_s7ph::alfayc, cp, c0),
      set_to(e_s7ph::alfah, cp, c0),
      set_to(e_s7ph::xyck, cp, c0),
      set_to(e_s7ph::xycm, cp, c0),
      set_to(e_s7ph::xhk, cp, c0),
      set_to(e_s7ph::xhm, cp, c0),
      set_to(e_s7ph::ycserc, cp, c0),
      set_to(e_s7ph::hserc, cp, c0),
      set_to(e_s7ph::gyc, 9.0, 0.0),
      set_to(e_s7ph::oldinterpk, 9.0, 0.0),
      set_to(e_s7ph::oldinterpm, 9.0, 0.0),
      set_to(e_s7ph::gh, 9.0, 0.0),
      set_to(e_s7ph::epsarr, 9.0, 0.0),
      set_to(e_s7ph::tauj, 7, 0),
      set_to(e_s7ph::ihisk, 9.0, 0.0),
      set_to(e_s7ph::ihism, 9.0, 0.0),
      set_to(e_s7ph::iki, 9.0, 0.0),
      set_to(e_s7ph::imi, 9.0, 0.0),
      set_to(e_s7ph::nyc, 7, 0),
      set_to(e_s7ph::nh, 7, 0),
      set_to(e_s7ph::pek2, 7, 0),
      set_to(e_s7ph::ikr, 9.0, 0.0),
      set_to(e_s7ph::imr, 9.0, 0.0),
      set_to(e_s7ph::ng, 7, 0),
      set_to(e_s7ph::maxtauj, 7, 0),
      set_to(e_s7ph::ppek, 7, 0),
      set_to(branches::nsw, 7, 0),
      set_to(branches::cbr, 9.0, 0.0),
      set_to(branches::ccbr, 9.0, 0.0),
      set_to(branches::ccbrd, 9.0, 0.0),
      set_to(branches::geqchange, true, false),
      set_to(int4::ccind, 9.0, 0.0),
      set_to(int4::ggind, 9.0, 0.0),
      set_to(int4::cclid, 9.0, 0.0),
      set_to(int4::gginchange, true, false),
      set_to(quolbv3::subs, 7, 0),
      set_to(quolbv3::node, 7, 0),
      set_to(quolbv3::stoi, 7, 0),
      set_to(quolbv3::stof, 9.0, 0.0),
      set_to(quolbv3::stoc, cp, c0),
      set_to(quolbv3::cx, 9.0, 0.0),
      set_to(quolbv3::cxmap, 7, 0),
      set_to(quolbv3::cscs, 9.0, 0.0),
      set_to(quolbv3::cscr, 9.0, 0.0),
      set_to(quolbv3::stol, true, false),
      set_to(e_s2::stor, 9.0, 0.0),
      set_to(storage::stori, 7, 0),
      set_to(storage::storf, 9.0, 0.0),
      set_to(storage::storc, cp, c0),
      set_to(storage::stxfri, 7, 0),
      set_to(storage::stxfrf, 9.0, 0.0),
      set_to(storage::stxfrc, cp, c0),
      set_to(storage::storl, true, false),
      set_to(storage::stxfrl, true, false),
      set_to(rt_config::rtci, 7, 0),
      set_to(rt_config::rtcf, 9.0, 0.0),
      set_to(rt_config::rtcc, cp, c0),
      set_to(rt_config::rtcl, true, false),
      set_to(radiolinks::tx, 9.0, 0.0),
      set_to(e_s4::pgb, 9.0, 0.0),
  };
}

class InitialValues : public ::testing::Test {
 protected:
  void SetUp() override { wakro_test::reset_shared_state(); }
  void TearDown() override { wakro_test::reset_shared_state(); }
  // A small case with distinct sizes, so every extent is exercised.
  static void allocate_small_case() {
    const std::pair<int, std::int32_t> sizes[] = {{dim::nodes, 4},        {dim::subsys, 3},
                                                  {dim::windings, 2},     {dim::trafos, 2},
                                                  {dim::maxmodes, 2},     {dim::tlines, 1},
                                                  {dim::maxpoles, 3},     {dim::stor, 5},
                                                  {dim::vars, 6},         {dim::pgbs, 12},
                                                  {dim::branches, 5},     {dim::cx, 2},
                                                  {dim::nnodes, 9},       {dim::stol, 2},
                                                  {dim::storl, 3},        {dim::storf, 8},
                                                  {dim::tlines_ph, 1},    {dim::maxmodes_ph, 3},
                                                  {dim::tlines_mfdtd, 1}, {dim::maxmodes_mfdtd, 2},
                                                  {dim::tlines_total, 3}, {dim::rtcl, 2},
                                                  {dim::rtcf, 4}};
    for (const auto& [k, v] : sizes) ndde::e_ndim(k) = v;
    std::int32_t status = -1;
    ndde::allocate_nd(status);
    ASSERT_EQ(status, 0);
  }
};

}  // namespace

TEST_F(InitialValues, EveryNamedArrayGetsItsValueOverItsWholeExtent) {
  allocate_small_case();
  const auto entries = documented_values();
  for (const auto& e : entries) e.spoil();
  for (const auto& e : entries) EXPECT_FALSE(e.holds()) << e.name << " was not spoiled";
  wakro_initialz();
  for (const auto& e : entries) EXPECT_TRUE(e.holds()) << e.name;
}

TEST_F(InitialValues, ScalarFlagsAndCounters) {
  allocate_small_case();
  options::prndim = options::prnparm = options::echo = true;
  outppp::mplt = 5;
  mna::enable_mna = true;
  mna::mnaid = 3;
  int3::enable_sparse = true;
  int3::sparse_limit = 12;
  umec::coreinj = 4;
  e_s7::ntwbufu = e_s7::ntermtu = e_s7::npoltu = e_s7::npolzu = e_s7::npolau = 8;
  e_s7::line = e_s7::nlmodeu = e_s7::img = 8;
  e_s7mfd::linemfd = e_s7mfd::nlmodeumfd = 8;
  e_s7ph::lineph = e_s7ph::nlmodeuph = 8;
  e_s7ph::npnt1 = e_s7ph::npnt2 = e_s7ph::npnt3 = e_s7ph::npnt4 = 8;

  wakro_initialz();

  EXPECT_FALSE(options::prndim);
  EXPECT_FALSE(options::prnparm);
  EXPECT_FALSE(options::echo);
  EXPECT_EQ(outppp::mplt, 0);
  EXPECT_FALSE(mna::enable_mna);
  EXPECT_EQ(mna::mnaid, 0);
  EXPECT_FALSE(int3::enable_sparse);
  EXPECT_EQ(int3::sparse_limit, 2147483647);
  EXPECT_EQ(umec::coreinj, 0);
  for (std::int32_t v : {e_s7::ntwbufu, e_s7::ntermtu, e_s7::npoltu, e_s7::npolzu, e_s7::npolau,
                         e_s7::line, e_s7::nlmodeu, e_s7::img, e_s7mfd::linemfd,
                         e_s7mfd::nlmodeumfd, e_s7ph::lineph, e_s7ph::nlmodeuph, e_s7ph::npnt1,
                         e_s7ph::npnt2, e_s7ph::npnt3, e_s7ph::npnt4})
    EXPECT_EQ(v, 0);
}

TEST_F(InitialValues, ChannelNamesBlankAndIndicesNumbered) {
  allocate_small_case();  // PGBS 12 gives 20 channels
  ASSERT_EQ(ndde::nd13, 20);
  outppp::pgbname.fill(wakro::FixedText<200>("Vrms"));
  outppp::ipgbi.fill(-1);
  wakro_initialz();
  ASSERT_EQ(outppp::ipgbi.size(), 20);
  for (std::int32_t i = 1; i <= 20; ++i) {
    EXPECT_EQ(outppp::ipgbi(i), i);
    EXPECT_EQ(outppp::pgbname(i).view(), std::string(200, ' ')) << "channel " << i;
  }
}

TEST_F(InitialValues, CaseWithoutChannelsStillNumbersTen) {
  std::int32_t status = -1;
  ndde::allocate_nd(status);
  wakro_initialz();
  ASSERT_EQ(outppp::ipgbi.size(), 10);
  ASSERT_EQ(outppp::pgbname.size(), 10);
  for (std::int32_t i = 1; i <= 10; ++i) {
    EXPECT_EQ(outppp::ipgbi(i), i);
    EXPECT_TRUE(outppp::pgbname(i).is_blank());
  }
}

TEST_F(InitialValues, VariablesClearedOnTheFirstRunOnly) {
  allocate_small_case();
  ASSERT_EQ(e_s4::var.size(), 6);
  e_s4::var.fill(2.5);
  wakro_initialz();
  for (double v : e_s4::var) EXPECT_EQ(v, 0.0);

  // A later run keeps what the previous run left in var, and only there.
  ctrl::mmm = 2;
  e_s4::var(3) = 4.0;
  storage::storf(8) = 1.0;
  e_s0::vdc(4, 3) = 1.0;
  branches::cbr(5, 3) = 1.0;
  wakro_initialz();
  EXPECT_EQ(e_s4::var(3), 4.0);
  EXPECT_EQ(e_s4::var(1), 0.0);
  EXPECT_EQ(storage::storf(8), 0.0);
  EXPECT_EQ(e_s0::vdc(4, 3), 0.0);
  EXPECT_EQ(branches::cbr(5, 3), 0.0);
}

TEST_F(InitialValues, ArraysNotNamedAreLeftAlone) {
  allocate_small_case();
  e_s4::con.fill(1.25);
  branches::geq.fill(3.0);
  rt_config::tfdata.fill(-2.0);
  wakro_initialz();
  for (double v : e_s4::con) EXPECT_EQ(v, 1.25);
  for (double v : branches::geq) EXPECT_EQ(v, 3.0);
  for (double v : rt_config::tfdata) EXPECT_EQ(v, -2.0);
}

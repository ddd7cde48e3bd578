// Every allocation group against its table: element kind, extents in the order of
// the dimensions, and the order in which the arrays are allocated. An array that
// is allocated beforehand stops its group at its own place, so exactly the arrays
// listed before it exist afterwards. The groups of the allocation sequence are
// checked the same way, one group at a time.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "model/assorc.h"
#include "model/branches.h"
#include "model/clvi.h"
#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_s7.h"
#include "model/e_s8.h"
#include "model/e_tldyn.h"
#include "model/fatal.h"
#include "model/fixedtext.h"
#include "model/groups.h"
#include "model/harmimp.h"
#include "model/harmimp1.h"
#include "model/ideal.h"
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
#include "model/sparse.h"
#include "model/spcial.h"
#include "model/storage.h"
#include "model/temp1.h"
#include "model/temp2.h"
#include "model/temp3.h"
#include "model/umec.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"

namespace {

// 'r' real, 'i' integer, 'l' logical, 'c' complex, 't' text, '?' anything else.
template <class T>
constexpr char kind_of() {
  if constexpr (std::is_same_v<T, double>) return 'r';
  if constexpr (std::is_same_v<T, std::int32_t>) return 'i';
  if constexpr (std::is_same_v<T, bool>) return 'l';
  if constexpr (std::is_same_v<T, wakro::cplx>) return 'c';
  if constexpr (std::is_same_v<T, wakro::FixedText<200>>) return 't';
  return '?';
}

struct Entry {
  std::string name;
  char kind;
  std::vector<std::int32_t> extents;  // as the table writes them
  std::function<bool()> allocated;
  std::function<std::vector<std::int32_t>()> actual_extents;
  std::function<void()> preallocate;  // allocates it with every extent 1
  bool kept = false;  // allocated beforehand, the group keeps it (no stop)
};

Entry kept_if_allocated(Entry e) {
  e.kept = true;
  return e;
}

template <class T, int R, bool C, std::size_t... I>
void allocate_ones(wakro::FArray<T, R, C>& a, std::index_sequence<I...>) {
  a.allocate(((void)I, 1)...);
}

template <class T, int R, bool C>
Entry entry(wakro::FArray<T, R, C>& a, char kind, std::vector<std::int32_t> extents) {
  return {a.name(),
          kind_of<T>() == kind ? kind : '!',
          std::move(extents),
          [&a] { return a.allocated(); },
          [&a] {
            std::vector<std::int32_t> e;
            for (int d = 1; d <= R; ++d) e.push_back(a.extent(d));
            return e;
          },
          [&a] { allocate_ones(a, std::make_index_sequence<R>{}); }};
}

using wakro_test::stop_message;

// Working sizes that differ from each other, so a swapped dimension shows.
void distinct_sizes() {
  using namespace ndde;
  nd1 = 5;
  nd2 = 3;
  nd3 = 4;
  nd4 = 6;
  nd5 = 7;
  nd7 = 8;
  nd10 = 9;
  nd11 = 11;
  nd12 = 12;
  nd13 = 20;
  nd14 = 13;
  nd15 = 14;
  nd16 = 15;
  nd17 = 16;
  nd18 = 17;
  nd19 = 18;
  nd20 = 19;
  nd21 = 21;
  nd22 = 22;
  nd23 = 23;
  nd24 = 24;
  nd25 = 25;
  nd26 = 26;
  nd27 = 27;
  nd28 = 28;
  nd29 = 29;
  nd30 = 30;
  nd37 = 37;
  nd38 = 38;
  nd43 = 1;
  nd55 = 1;
  nd51 = 51;
  nd52 = 52;
  nd58 = 33;
  nd59 = 59;
  nd60 = 60;
  nd61 = 61;
  nd62 = 62;
  nd63 = 63;
  nd64 = 64;
  nd72 = 72;
}

void clear_table() {
  for (int k = 1; k <= 80; ++k) {
    ndde::e_ndim(k) = 0;
    ndde::nd(k) = 0;
  }
}

class GroupTables : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    distinct_sizes();
    assorc::input = "SNAP";  // the case-map group then holds dsx too
  }
  void TearDown() override { wakro_test::reset_shared_state(); }

  // Allocates the group once and compares every entry with its table row, then
  // checks the order position by position.
  static void check_group(const std::function<void()>& allocate,
                          const std::function<void()>& release,
                          const std::vector<Entry>& table) {
    allocate();
    for (const Entry& e : table) {
      SCOPED_TRACE(e.name);
      EXPECT_NE(e.kind, '!') << "element type differs from the table";
      ASSERT_TRUE(e.allocated());
      EXPECT_EQ(e.actual_extents(), e.extents);
    }
    release();
    release();
    for (const Entry& e : table) EXPECT_FALSE(e.allocated()) << e.name;

    for (std::size_t i = 0; i < table.size(); ++i) {
      if (table[i].kept) continue;  // its place shows through its neighbours
      SCOPED_TRACE("allocated beforehand: " + table[i].name);
      table[i].preallocate();
      EXPECT_EQ(stop_message(allocate),
                "Attempting to allocate already allocated variable '" + table[i].name + "'");
      for (std::size_t j = 0; j < table.size(); ++j) {
        if (j == i) continue;
        EXPECT_EQ(table[j].allocated(), j < i) << table[j].name;
      }
      release();
      for (const Entry& e : table) EXPECT_FALSE(e.allocated()) << e.name;
    }
  }
};

}  // namespace

TEST_F(GroupTables, NetworkOutputAndTransformerGroup) {
  using namespace e_s0;
  check_group(a_s, d_s,
              {entry(ccin, 'r', {5, 3}),       entry(vdc, 'r', {5, 3}),
               entry(ccgm, 'r', {5, 3}),       entry(ccgmd, 'r', {5, 3}),
               entry(ccli, 'r', {5, 3}),       entry(ggin, 'r', {5, 3}),
               entry(ca, 'r', {5}),            entry(cdctr, 'r', {4, 6}),
               entry(cdctro, 'r', {4, 6}),     entry(mbus, 'i', {3}),
               entry(idealss, 'l', {3}),       entry(enabccin, 'l', {5, 3}),
               entry(cdctl, 'r', {7, 2, 33}),  entry(e_s2::stor, 'r', {9}),
               entry(e_s4::var, 'r', {11}),    entry(e_s4::con, 'r', {12}),
               entry(e_s4::pgb, 'r', {20}),    entry(outppp::mpgbi, 'i', {20}),
               entry(outppp::ipgbi, 'i', {20}), entry(outppp::pgbname, 't', {20}),
               entry(e_s5::sm, 'r', {4, 4, 6}), entry(e_s5::hm, 'r', {4, 4, 6}),
               entry(e_s5::ccmc, 'r', {4, 6}), entry(e_s5::ccmcd, 'r', {4, 6}),
               entry(e_s5::tdatatmp, 'r', {8}), entry(e_s5::mcb, 'i', {4, 6}),
               entry(e_s5::ncb, 'i', {4, 6}),  entry(e_s5::msiz, 'i', {6}),
               entry(e_s5::numt, 'i', {3}),    entry(e_s5::nummag, 'i', {6}),
               entry(e_s5tap::lorig, 'r', {4, 4, 6}), entry(e_s5tap::rorig, 'r', {4, 4, 6}),
               entry(e_s5tap::tss, 'i', {6}),  entry(e_s5tap::tkind, 'i', {6}),
               entry(e_s8::mxinv, 'i', {3})});
}

TEST_F(GroupTables, InterpolationGroup) {
  check_group(a_interp, d_interp,
              {entry(int1::iorv, 'i', {14, 3}),     entry(int1::xstor, 'r', {14, 3}),
               entry(int1::gfinal, 'r', {14, 3}),
               entry(int2::insb, 'i', {3}),         entry(int2::ntriang, 'i', {3}),
               entry(int2::nmb, 'i', {3}),          entry(int2::ll, 'i', {5, 3}),
               entry(int2::nilltr, 'l', {5, 3}),    entry(int2::glvl, 'r', {3}),
               entry(int3::use_klu, 'l', {3}),      entry(int4::ccind, 'r', {5, 3}),
               entry(int4::ggind, 'r', {5, 3}),     entry(int4::cclid, 'r', {5, 3}),
               entry(int4::gginchange, 'l', {5}),   entry(options::rootmatch, 'i', {3}),
               entry(options::interpss, 'l', {3}),  entry(options::xterpsrc, 'l', {3}),
               entry(options::rmchatter, 'l', {3}), entry(options::dtchatter, 'l', {3})});
}

TEST_F(GroupTables, ChatterIdealAndSolvedGroups) {
  check_group(a_calcvi, d_calcvi,
              {entry(clvi::icntv, 'i', {5, 3}), entry(clvi::icntbr, 'i', {14, 3}),
               entry(clvi::nchat_rep, 'l', {5, 3}), entry(clvi::brchat_rep, 'l', {14, 3})});
  check_group(a_ideal, d_ideal,
              {entry(ideal::gms, 'r', {5, 3}), entry(ideal::gonmax, 'r', {3}),
               entry(ideal::nodev, 'i', {14, 2}), entry(ideal::clpslist, 'i', {14, 3}),
               entry(ideal::gidlbr, 'i', {3}), entry(ideal::nidlbr, 'i', {3}),
               entry(ideal::ibrlist, 'i', {14}), entry(ideal::vsrc, 'l', {14}),
               entry(ideal::nodev1, 'i', {14, 2})});
  check_group(a_spcial, d_spcial,
              {entry(spcial::vdcnew, 'r', {5}), entry(spcial::cbrnew, 'r', {14})});
}

TEST_F(GroupTables, UmecGroup) {
  using namespace umec;
  check_group(a_umec, d_umec,
              {entry(awlm, 'r', {6}),        entry(lwlm, 'r', {6}),
               entry(ayok, 'r', {6}),        entry(lyok, 'r', {6}),
               entry(aol, 'r', {6}),         entry(lol, 'r', {6}),
               entry(nturn, 'r', {4, 6}),    entry(msl1, 'r', {6}),
               entry(ai, 'r', {4, 6}),       entry(zes, 'r', {6}),
               entry(dvolt, 'r', {4, 6}),    entry(dvoltd, 'r', {4, 6}),
               entry(dphi, 'r', {23, 6}),    entry(dphid, 'r', {23, 6}),
               entry(xt, 'r', {10, 6}),      entry(yt, 'r', {10, 6}),
               entry(fininjs, 'r', {4, 6}),  entry(fininjsd, 'r', {4, 6}),
               entry(satenab, 'i', {6}),     entry(wn, 'i', {6}),
               entry(bn, 'i', {6}),          entry(cor, 'i', {6}),
               entry(satflag, 'i', {23, 6}), entry(injcur, 'i', {6}),
               entry(ramp, 'r', {6})});
}

TEST_F(GroupTables, BranchGroup) {
  using namespace branches;
  const std::vector<std::int32_t> bs = {14, 3};
  check_group(a_branches, d_branches,
              {entry(cbr, 'r', bs),       entry(ccbr, 'r', bs),     entry(ccbrd, 'r', bs),
               entry(ebr, 'r', bs),       entry(ebrd, 'r', bs),     entry(ebron, 'r', bs),
               entry(ebrof, 'r', bs),     entry(swlevl, 'r', bs),   entry(geq, 'r', bs),
               entry(geqon, 'r', bs),     entry(geqof, 'r', bs),    entry(geqd, 'r', bs),
               entry(flipidlbr, 'l', bs), entry(geqchange, 'l', {14}),
               entry(rlg, 'r', bs),       entry(rcg, 'r', bs),      entry(rcl, 'r', bs),
               entry(rsc, 'r', bs),       entry(rsl, 'r', bs),      entry(ccl, 'r', bs),
               entry(ccld, 'r', bs),      entry(ccc, 'r', bs),      entry(cccd, 'r', bs),
               entry(g2l, 'r', bs),       entry(g2c, 'r', bs),      entry(v12l, 'r', bs),
               entry(v20l, 'r', bs),      entry(nsw, 'i', {3}),     entry(brnsw, 'i', bs),
               entry(iet, 'i', bs),       entry(ief, 'i', bs),      entry(thisbr, 'i', bs),
               entry(resistor, 'l', bs),  entry(inductor, 'l', bs), entry(capacitr, 'l', bs),
               entry(source, 'l', bs),    entry(switch_, 'l', bs),  entry(idealbr, 'l', bs),
               entry(openbr, 'l', bs),    entry(defrdbr, 'l', bs),
               entry(harmimp::branch_r, 'r', bs), entry(harmimp::branch_l, 'r', bs),
               entry(harmimp::branch_c, 'r', bs)});
}

TEST_F(GroupTables, CaseMapOfASnapshotStartAndRadioLinks) {
  using namespace quolbv3;
  check_group(a_quolbv3, d_quolbv3,
              {entry(nbrch, 'i', {3}),   entry(nmbrch, 'i', {3}), entry(node, 'i', {21}),
               entry(subs, 'i', {8}),    entry(testss, 'i', {21}), entry(txfr, 'i', {22, 4}),
               entry(stol, 'l', {23}),   entry(stoi, 'i', {24}),  entry(stof, 'r', {25}),
               entry(stoc, 'c', {26}),   entry(cx, 'r', {15}),    entry(cxmap, 'i', {16}),
               kept_if_allocated(entry(dsx, 'r', {17})), entry(cscs, 'r', {13}),  entry(cscr, 'r', {19})});
  check_group(a_radiolinks, d_radiolinks,
              {entry(radiolinks::tx, 'r', {37}), entry(radiolinks::txrx, 'i', {38})});
}

TEST_F(GroupTables, StoresAndConfigurationStore) {
  using namespace storage;
  check_group(a_storage, d_storage,
              {entry(storl, 'l', {27}), entry(stori, 'i', {28}), entry(storf, 'r', {29}),
               entry(storc, 'c', {30}), entry(stxfrl, 'l', {51}), entry(stxfri, 'i', {52}),
               entry(stxfrf, 'r', {59}), entry(stxfrc, 'c', {60})});
  check_group(a_rtconfig, d_rtconfig,
              {entry(rt_config::rtcl, 'l', {61}), entry(rt_config::rtci, 'i', {62}),
               entry(rt_config::rtcf, 'r', {63}), entry(rt_config::rtcc, 'c', {64}),
               entry(rt_config::tfdata, 'r', {8, 4}),
               entry(rt_config::umecwdgdata, 'r', {4, 2})});
}

TEST_F(GroupTables, WorkMnaAndSparsityGroups) {
  check_group(a_temp, d_temp,
              {entry(temp1::si, 'r', {4, 4}),   entry(temp1::caa, 'r', {5}),
               entry(temp1::caai, 'r', {14}),   entry(temp1::icnt, 'i', {14}),
               entry(temp1::stabck, 'l', {3}),  entry(temp1::consid, 'l', {14}),
               entry(temp2::av, 'r', {4}),      entry(temp2::ac, 'r', {4}),
               entry(temp2::rm, 'r', {4, 4}),   entry(temp2::hs, 'r', {4, 4}),
               entry(temp2::rli, 'r', {4, 4}),  entry(temp2::irli, 'r', {4, 4}),
               entry(temp3::itemp, 'i', {5}),   entry(temp3::collap, 'l', {5})});
  // The MNA records are of their own kind: only their order and extents count.
  std::vector<Entry> mna_table = {entry(mna::mnads, '?', {72}), entry(mna::mna_elem, 'i', {3}),
                                  entry(mna::mbus_mna, 'i', {3}), entry(mna::mna_start, 'i', {3}),
                                  entry(mna::mna_end, 'i', {3}), entry(mna::mnad, '?', {72})};
  check_group(a_mna, d_mna, mna_table);
  check_group(a_sparsity, d_sparsity,
              {entry(sparse::lcol, 'i', {18, 3}), entry(sparse::lbegin, 'i', {5, 3}),
               entry(sparse::lend, 'i', {5, 3}), entry(sparse::ucol, 'i', {18, 3}),
               entry(sparse::ubegin, 'i', {5, 3}), entry(sparse::uend, 'i', {5, 3})});
}

TEST_F(GroupTables, AllocationSequenceRunsTheFourteenGroupsInOrder) {
  clear_table();  // sizes from an empty table; only the order matters here
  assorc::input = "DATA";
  // First and last array of each group of the sequence, in the sequence's order.
  struct Group {
    Entry first;
    Entry last;
  };
  const std::vector<Group> groups = {
      {entry(e_s0::ccin, 'r', {}), entry(e_s8::mxinv, 'i', {})},
      {entry(e_s7::vdck, 'r', {}), entry(e_tldyn::vmfd, 'r', {})},
      {entry(int1::iorv, 'i', {}), entry(options::dtchatter, 'l', {})},
      {entry(clvi::icntv, 'i', {}), entry(clvi::brchat_rep, 'l', {})},
      {entry(ideal::gms, 'r', {}), entry(ideal::nodev1, 'i', {})},
      {entry(spcial::vdcnew, 'r', {}), entry(spcial::cbrnew, 'r', {})},
      {entry(umec::awlm, 'r', {}), entry(umec::ramp, 'r', {})},
      {entry(branches::cbr, 'r', {}), entry(harmimp::branch_c, 'r', {})},
      {entry(quolbv3::nbrch, 'i', {}), entry(quolbv3::cscr, 'r', {})},
      {entry(storage::storl, 'l', {}), entry(storage::stxfrc, 'c', {})},
      {entry(temp1::si, 'r', {}), entry(temp3::collap, 'l', {})},
      {entry(radiolinks::tx, 'r', {}), entry(radiolinks::txrx, 'i', {})},
      {entry(rt_config::rtcl, 'l', {}), entry(rt_config::umecwdgdata, 'r', {})},
      {entry(mna::mnads, '?', {}), entry(mna::mnad, '?', {})},
  };
  std::int32_t status = -1;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    SCOPED_TRACE("group starting with " + groups[g].first.name);
    groups[g].first.preallocate();
    EXPECT_EQ(stop_message([&] { ndde::allocate_nd(status); }),
              "Attempting to allocate already allocated variable '" + groups[g].first.name + "'");
    for (std::size_t h = 0; h < groups.size(); ++h) {
      if (h < g) {
        EXPECT_TRUE(groups[h].last.allocated()) << groups[h].last.name;
      } else if (h > g) {
        EXPECT_FALSE(groups[h].first.allocated()) << groups[h].first.name;
      }
    }
    ndde::deallocate_nd();
  }
  // The whole sequence: the sparse lists and the scan's work arrays are not in it.
  EXPECT_EQ(stop_message([&] { ndde::allocate_nd(status); }), "<no stop>");
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(mna::mnad.allocated());
  EXPECT_FALSE(sparse::lcol.allocated());
  EXPECT_FALSE(harmimp1::mbus1.allocated());
  EXPECT_FALSE(quolbv3::dsx.allocated());
  // The release sequence takes the MNA set-up's sparse lists with it.
  sparse::lcol.allocate(1, 1);
  mna::bvect.allocate(1);
  ndde::deallocate_nd();
  EXPECT_FALSE(sparse::lcol.allocated());
  EXPECT_FALSE(mna::bvect.allocated());
  EXPECT_FALSE(e_s0::ccin.allocated());
  EXPECT_FALSE(mna::mnad.allocated());
}

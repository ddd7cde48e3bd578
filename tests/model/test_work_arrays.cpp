// The solution work arrays, the MNA tables, the UMEC core state and the work
// modules of the harmonic-impedance scan.
#include <gtest/gtest.h>

#include "model/clvi.h"
#include "model/ideal.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int4.h"
#include "model/mna.h"
#include "model/options.h"
#include "model/sparse.h"
#include "model/spcial.h"
#include "model/temp1.h"
#include "model/temp2.h"
#include "model/temp3.h"
#include "model/umec.h"
#include "network_fixture.h"

using network_test::NetworkState;
using network_test::stop_message;

TEST_F(NetworkState, SolutionWorkGroupsExtents) {
  using namespace ndde;
  nd1 = 5;
  nd2 = 3;
  nd3 = 4;
  nd15 = 9;
  a_interp();
  a_ideal();
  a_temp();
  a_calcvi();
  a_spcial();
  EXPECT_EQ(int4::gginchange.size(), 5);  // per node number only
  EXPECT_EQ(int4::ggind.size(), 15);
  EXPECT_EQ(int1::iorv.extent(1), 9);
  EXPECT_EQ(int1::iorv.extent(2), 3);
  EXPECT_EQ(int2::ll.extent(1), 5);
  EXPECT_EQ(options::dtchatter.size(), 3);
  EXPECT_EQ(ideal::nodev.extent(1), 9);
  EXPECT_EQ(ideal::nodev.extent(2), 2);
  EXPECT_EQ(ideal::clpslist.extent(2), 3);
  EXPECT_EQ(temp1::si.size(), 16);
  EXPECT_EQ(temp1::stabck.size(), 3);
  EXPECT_EQ(temp2::irli.extent(2), 4);
  EXPECT_EQ(temp3::collap.size(), 5);
  EXPECT_EQ(clvi::brchat_rep.extent(1), 9);
  EXPECT_EQ(spcial::cbrnew.size(), 9);
  EXPECT_EQ(stop_message(a_interp),
            "Attempting to allocate already allocated variable 'iorv'");
  EXPECT_EQ(stop_message(a_ideal), "Attempting to allocate already allocated variable 'gms'");
  EXPECT_EQ(stop_message(a_temp), "Attempting to allocate already allocated variable 'si'");
  EXPECT_EQ(stop_message(a_calcvi),
            "Attempting to allocate already allocated variable 'icntv'");
  EXPECT_EQ(stop_message(a_spcial),
            "Attempting to allocate already allocated variable 'vdcnew'");
  d_interp();
  d_interp();
  d_ideal();
  d_temp();
  d_calcvi();
  d_spcial();
  EXPECT_FALSE(options::dtchatter.allocated());
  EXPECT_FALSE(ideal::nodev1.allocated());
  EXPECT_FALSE(temp3::collap.allocated());
  EXPECT_FALSE(clvi::brchat_rep.allocated());
  EXPECT_FALSE(spcial::vdcnew.allocated());
}

TEST_F(NetworkState, SparsityListsFromTheDimensionTable) {
  ndde::nd1 = 4;
  ndde::nd2 = 2;
  ndde::nd19 = 7;
  a_sparsity();
  EXPECT_EQ(sparse::lcol.extent(1), 7);
  EXPECT_EQ(sparse::ucol.extent(2), 2);
  EXPECT_EQ(sparse::uend.extent(1), 4);
  d_sparsity();
  d_sparsity();
  EXPECT_FALSE(sparse::lcol.allocated());
}

TEST_F(NetworkState, MnaReleaseSkipsWhatTheSetUpNeverAllocated) {
  ndde::nd72 = 3;
  ndde::nd2 = 2;
  a_mna();
  EXPECT_EQ(mna::mnad.size(), 3);
  EXPECT_EQ(mna::mnads.size(), 3);
  EXPECT_EQ(mna::mbus_mna.size(), 2);
  // A fresh element record is a kind-0 branch of value 0.
  EXPECT_EQ(mna::mnad(2).kind, 0);
  EXPECT_EQ(mna::mnad(2).value1, 0.0);
  EXPECT_EQ(mna::mnads(3).nodes(2, 5), 0);
  EXPECT_EQ(stop_message(a_mna), "Attempting to allocate already allocated variable 'mnads'");
  d_mna();  // bvect, xvect never allocated
  EXPECT_FALSE(mna::mnad.allocated());
  // After the set-up allocated the augmented vectors, they go too.
  a_mna();
  mna::bvect.allocate(4);
  mna::xvect.allocate(4);
  d_mna();
  EXPECT_FALSE(mna::bvect.allocated());
  EXPECT_FALSE(mna::xvect.allocated());
  EXPECT_FALSE(mna::mnads.allocated());
}

TEST_F(NetworkState, UmecTablesKeepTheirFixedCounts) {
  a_umec();  // a case without transformers: one transformer, one winding
  EXPECT_EQ(umec::dphi.extent(1), 23);
  EXPECT_EQ(umec::dphi.extent(2), 1);
  EXPECT_EQ(umec::satflag.extent(1), 23);
  EXPECT_EQ(umec::xt.extent(1), 10);
  EXPECT_EQ(umec::yt.extent(2), 1);
  EXPECT_EQ(umec::nturn.size(), 1);
  EXPECT_EQ(stop_message(a_umec), "Attempting to allocate already allocated variable 'awlm'");
  d_umec();
  d_umec();
  EXPECT_FALSE(umec::ramp.allocated());
}

TEST_F(NetworkState, ScanWorkModulesFollowTheirCounts) {
  ndde::nd2 = 3;
  ndde::nd3 = 2;
  harmimp1::ku = 5;
  harmimp1::ntot = 4;
  a_harmimp1_1(11);
  a_harmimp1_2();
  a_harmimp2();
  a_harmimp3();
  EXPECT_EQ(harmimp1::mbus1.size(), 6);
  EXPECT_EQ(harmimp1::nlookup.size(), 11);
  EXPECT_EQ(harmimp1::lmat.size(), 6);
  EXPECT_EQ(harmimp2::yl.extent(2), 4);
  EXPECT_EQ(harmimp3::yvec.size(), 6);
  EXPECT_EQ(harmimp3::tftmp2.size(), 4);
  EXPECT_EQ(stop_message(a_harmimp3),
            "Attempting to allocate already allocated variable 'yvec'");
  d_harmimp1_1();
  d_harmimp1_2();
  d_harmimp2();
  d_harmimp3();
  d_harmimp3();
  EXPECT_FALSE(harmimp1::nlookup.allocated());
  EXPECT_FALSE(harmimp3::li.allocated());
}

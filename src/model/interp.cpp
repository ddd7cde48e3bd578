// Group interp: modules int1 .. int4 and the per-subsystem options, allocated in
// this fixed order and released in the same order.
#include "model/groups.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/int4.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/release_each.h"

void a_interp() {
  using namespace ndde;
  int1::iorv.allocate(nd15, nd2);
  int1::xstor.allocate(nd15, nd2);
  int1::gfinal.allocate(nd15, nd2);
  int2::insb.allocate(nd2);
  int2::ntriang.allocate(nd2);
  int2::nmb.allocate(nd2);
  int2::ll.allocate(nd1, nd2);
  int2::nilltr.allocate(nd1, nd2);
  int2::glvl.allocate(nd2);
  int3::use_klu.allocate(nd2);
  int4::ccind.allocate(nd1, nd2);
  int4::ggind.allocate(nd1, nd2);
  int4::cclid.allocate(nd1, nd2);
  int4::gginchange.allocate(nd1);  // one entry per node number
  options::rootmatch.allocate(nd2);
  options::interpss.allocate(nd2);
  options::xterpsrc.allocate(nd2);
  options::rmchatter.allocate(nd2);
  options::dtchatter.allocate(nd2);
}

void d_interp() {
  wakro::release_each(int1::iorv, int1::xstor, int1::gfinal, int2::insb, int2::ntriang, int2::nmb,
                      int2::ll, int2::nilltr, int2::glvl, int3::use_klu, int4::ccind,
                      int4::ggind, int4::cclid, int4::gginchange, options::rootmatch,
                      options::interpss, options::xterpsrc, options::rmchatter,
                      options::dtchatter);
}

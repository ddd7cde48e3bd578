// Group ideal: the collapse lists of ideal branches, allocated in this fixed order
// and released in the same order.
#include "model/ideal.h"

#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"

void a_ideal() {
  using namespace ideal;
  using namespace ndde;
  gms.allocate(nd1, nd2);
  gonmax.allocate(nd2);
  nodev.allocate(nd15, 2);
  clpslist.allocate(nd15, nd2);
  gidlbr.allocate(nd2);
  nidlbr.allocate(nd2);
  ibrlist.allocate(nd15);
  vsrc.allocate(nd15);
  nodev1.allocate(nd15, 2);
}

void d_ideal() {
  using namespace ideal;
  wakro::release_each(gms, gonmax, nodev, clpslist, gidlbr, nidlbr, ibrlist, vsrc, nodev1);
}

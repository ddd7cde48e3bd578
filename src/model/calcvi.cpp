// Group calcvi: the chatter counters of module clvi, allocated in this fixed order
// and released in the same order.
#include "model/clvi.h"
#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"

void a_calcvi() {
  using namespace clvi;
  using namespace ndde;
  icntv.allocate(nd1, nd2);
  icntbr.allocate(nd15, nd2);
  nchat_rep.allocate(nd1, nd2);
  brchat_rep.allocate(nd15, nd2);
}

void d_calcvi() {
  using namespace clvi;
  wakro::release_each(icntv, icntbr, nchat_rep, brchat_rep);
}

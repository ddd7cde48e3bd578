// Group quolbv3: the case map, allocated in this fixed order and released in the
// same order (gsx, allocated by the start-up dialogue, is released here too).
#include "model/quolbv3.h"

#include "model/assorc.h"
#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"

void a_quolbv3() {
  using namespace quolbv3;
  using namespace ndde;
  nbrch.allocate(nd2);
  nmbrch.allocate(nd2);
  node.allocate(nd21);
  subs.allocate(nd7);
  testss.allocate(nd21);
  txfr.allocate(nd22, 4);
  stol.allocate(nd23);
  stoi.allocate(nd24);
  stof.allocate(nd25);
  stoc.allocate(nd26);
  cx.allocate(nd16);
  cxmap.allocate(nd17);
  // dsx belongs to a run started from a snapshot; the load-flow data of the
  // start-up dialogue may have allocated it already, and that one is kept.
  if (assorc::input == "SNAP" && !dsx.allocated()) dsx.allocate(nd18);
  cscs.allocate(nd14);
  cscr.allocate(nd20);
}

void d_quolbv3() {
  using namespace quolbv3;
  wakro::release_each(nbrch, nmbrch, node, subs, testss, txfr, stol, stoi, stof, stoc, cx,
                      cxmap, dsx, cscs, cscr, gsx);
}

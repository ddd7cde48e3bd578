// Group branches: the branch arrays and the per-branch R, L, C tables of the
// harmonic-impedance registry, allocated (branch nd15, subsystem nd2) in this fixed
// order and released in the same order.
#include "model/branches.h"

#include "model/groups.h"
#include "model/harmimp.h"
#include "model/ndde.h"
#include "model/release_each.h"

void a_branches() {
  using namespace branches;
  const std::int32_t nb = ndde::nd15;
  const std::int32_t ns = ndde::nd2;
  cbr.allocate(nb, ns);
  ccbr.allocate(nb, ns);
  ccbrd.allocate(nb, ns);
  ebr.allocate(nb, ns);
  ebrd.allocate(nb, ns);
  ebron.allocate(nb, ns);
  ebrof.allocate(nb, ns);
  swlevl.allocate(nb, ns);
  geq.allocate(nb, ns);
  geqon.allocate(nb, ns);
  geqof.allocate(nb, ns);
  geqd.allocate(nb, ns);
  flipidlbr.allocate(nb, ns);
  geqchange.allocate(nb);  // one entry per branch number
  rlg.allocate(nb, ns);
  rcg.allocate(nb, ns);
  rcl.allocate(nb, ns);
  rsc.allocate(nb, ns);
  rsl.allocate(nb, ns);
  ccl.allocate(nb, ns);
  ccld.allocate(nb, ns);
  ccc.allocate(nb, ns);
  cccd.allocate(nb, ns);
  g2l.allocate(nb, ns);
  g2c.allocate(nb, ns);
  v12l.allocate(nb, ns);
  v20l.allocate(nb, ns);
  nsw.allocate(ns);  // one entry per subsystem
  brnsw.allocate(nb, ns);
  iet.allocate(nb, ns);
  ief.allocate(nb, ns);
  thisbr.allocate(nb, ns);
  resistor.allocate(nb, ns);
  inductor.allocate(nb, ns);
  capacitr.allocate(nb, ns);
  source.allocate(nb, ns);
  switch_.allocate(nb, ns);
  idealbr.allocate(nb, ns);
  openbr.allocate(nb, ns);
  defrdbr.allocate(nb, ns);
  harmimp::branch_r.allocate(nb, ns);
  harmimp::branch_l.allocate(nb, ns);
  harmimp::branch_c.allocate(nb, ns);
}

void d_branches() {
  using namespace branches;
  wakro::release_each(cbr, ccbr, ccbrd, ebr, ebrd, ebron, ebrof, swlevl, geq, geqon,
                      geqof, geqd, flipidlbr, geqchange, rlg, rcg, rcl, rsc, rsl, ccl,
                      ccld, ccc, cccd, g2l, g2c, v12l, v20l, nsw, brnsw, iet, ief, thisbr,
                      resistor, inductor, capacitr, source, switch_, idealbr, openbr,
                      defrdbr, harmimp::branch_r, harmimp::branch_l, harmimp::branch_c);
}

// history: the trapezoidal history current sources of the inductive and the
// capacitive part of every branch of subsystem ss, and their nodal sum.
//
// Leaves: CCL/CCC (part histories, previous values in CCLD/CCCD), CCBR (branch
// history, previous value in CCBRD) of every non-deferred branch with an L or C
// part, and e_s0::ccgm(1..MBUS, ss) = transformer histories (from the dsmdyn hook)
// plus branch histories, added at the from-node and subtracted at the to-node.
// Resistor-only and deferred branches keep their CCBR.
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "network/hooks.h"
#include "network/solution.h"

void history(std::int32_t ss) {
  using namespace branches;
  // Step 1: CCGM keeps the previous step in CCGMD and restarts from the windings.
  wakro::network_hooks().dsmdyn(ss);

  // Step 2: part histories, branch by branch.
  const std::int32_t nbr = int2::insb(ss);
  for (std::int32_t br = 1; br <= nbr; ++br) {
    if (defrdbr(br, ss)) continue;
    const bool has_l = inductor(br, ss);
    const bool has_c = capacitr(br, ss);
    if (!has_l && !has_c) continue;
    const double i = cbr(br, ss);
    double h = 0.0;
    if (has_l) {
      ccld(br, ss) = ccl(br, ss);
      ccl(br, ss) = v12l(br, ss) * g2l(br, ss) + i;
      h = ccl(br, ss) * rlg(br, ss);
    }
    if (has_c) {
      cccd(br, ss) = ccc(br, ss);
      ccc(br, ss) = -(v20l(br, ss) * g2c(br, ss)) - i;
      h += ccc(br, ss) * rcg(br, ss);
    }
    ccbrd(br, ss) = ccbr(br, ss);
    ccbr(br, ss) = h;
    const std::int32_t f = ief(br, ss);
    const std::int32_t t = iet(br, ss);
    if (f > 0) e_s0::ccgm(f, ss) += h;
    if (t > 0) e_s0::ccgm(t, ss) -= h;
  }
}

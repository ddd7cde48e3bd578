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
#include "network/branch_view.h"
#include "network/hooks.h"
#include "network/solution.h"

void history(std::int32_t ss) {
  // Step 1: CCGM keeps the previous step in CCGMD and restarts from the windings.
  wakro::network_hooks().dsmdyn(ss);

  // Step 2: part histories, branch by branch, the arrays in local views.
  using wakro::branch_column;
  const auto defrdbr = branch_column(branches::defrdbr, ss);
  const auto inductor = branch_column(branches::inductor, ss);
  const auto capacitr = branch_column(branches::capacitr, ss);
  const auto ief = branch_column(branches::ief, ss);
  const auto iet = branch_column(branches::iet, ss);
  const auto cbr = branch_column(branches::cbr, ss);
  const auto ccl = branch_column(branches::ccl, ss);
  const auto ccld = branch_column(branches::ccld, ss);
  const auto ccc = branch_column(branches::ccc, ss);
  const auto cccd = branch_column(branches::cccd, ss);
  const auto v12l = branch_column(branches::v12l, ss);
  const auto v20l = branch_column(branches::v20l, ss);
  const auto g2l = branch_column(branches::g2l, ss);
  const auto g2c = branch_column(branches::g2c, ss);
  const auto rlg = branch_column(branches::rlg, ss);
  const auto rcg = branch_column(branches::rcg, ss);
  const auto ccbr = branch_column(branches::ccbr, ss);
  const auto ccbrd = branch_column(branches::ccbrd, ss);
  const auto ccgm = branch_column(e_s0::ccgm, ss);  // by node
  const std::int32_t nbr = int2::insb(ss);
  for (std::int32_t br = 1; br <= nbr; ++br) {
    if (defrdbr[br]) continue;
    const bool has_l = inductor[br];
    const bool has_c = capacitr[br];
    if (!has_l && !has_c) continue;
    const double i = cbr[br];
    double h = 0.0;
    if (has_l) {
      ccld[br] = ccl[br];
      ccl[br] = v12l[br] * g2l[br] + i;
      h = ccl[br] * rlg[br];
    }
    if (has_c) {
      cccd[br] = ccc[br];
      ccc[br] = -(v20l[br] * g2c[br]) - i;
      h += ccc[br] * rcg[br];
    }
    ccbrd[br] = ccbr[br];
    ccbr[br] = h;
    const std::int32_t f = ief[br];
    const std::int32_t t = iet[br];
    if (f > 0) ccgm[f] += h;
    if (t > 0) ccgm[t] -= h;
  }
}

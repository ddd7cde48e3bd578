// small_subsystem_step: the ordinary step of a small plain subsystem in one
// routine, for the solution driver (intsolvi).
//
// Taken when the subsystem has fewer than kPackedFactorsMin nodes and every
// branch is a series R-L-C branch of its own (any of the three parts, no source,
// not deferred, not ideal, not an arrester), and the step is an ordinary
// one: neither time zero nor the first or last step, no Norton conductance
// changed (MXINV beyond the nodes: no factorisation due), no re-solution at the
// step's start (no switching between steps under interpolation), no switch, no
// ideal branch, no MNA element, no transformer, the own elimination (not the
// sparse solver), no source extrapolation, the own chatter detector (or chatter
// detection off), and the chatter half step not due (removal off, or its flag
// clear). Such a step is one normal pass over the whole step (notfirst clear,
// fracv 1), which the general path spreads over history, buildca, slvnew,
// incalcvi and finishup; here they are the steps below, with their arithmetic in
// their order, so that every value ends as theirs to the bit. The transformer
// hook dsmdyn is called as history calls it.
//
// Leaves what those routines leave for such a step: CCGMD, CCGM (the branch
// histories); per branch CBR, CCBR, CCBRD, EBRD, GEQD, and of an inductive part
// CCLD, CCL, V12L, of a capacitive part CCCD, CCC, V20L; e_s0::ca
// (cleared past the subsystem's nodes), temp1::caa, spcial::vdcnew and VDC of
// its nodes; the chatter counters, flag and reports; CCLID, and CCIND, GGIND of
// the Norton nodes; int1::solution_time at the step's end; e_s8::switched cleared.
#include "network/small_subsystem.h"

#include <algorithm>
#include <cstdint>

#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/clvi.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_s8.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/int4.h"
#include "model/mna.h"
#include "model/options.h"
#include "model/spcial.h"
#include "model/temp1.h"
#include "network/branch_view.h"
#include "network/chatter.h"
#include "network/dense_substitution.h"
#include "network/hooks.h"

namespace wakro {
namespace {

// x moved towards x_new by f.
inline double towards(double x, double x_new, double f) { return x + (x_new - x) * f; }

// True when the step of ss is an ordinary one for a small plain subsystem (see
// the top of this file); c: its columns.
bool ordinary_small_step(std::int32_t ss, const SubsystemColumns& c) {
  const std::int32_t n = e_s0::mbus(ss);
  if (detail::small_step_disabled || n >= kPackedFactorsMin) return false;
  // A factorisation, a re-solution or the chatter half step is due.
  if (e_s1::timezero || e_s1::firststep || e_s1::laststep || e_s8::mxinv(ss) <= n) return false;
  if (e_s8::switched(ss) && options::interpss(ss)) return false;
  if (options::rmchatter(ss) && temp1::stabck(ss)) return false;
  // A detector put in place of the own one sees the new values apart.
  if (options::dtchatter(ss) && network_hooks().chatdt != &chatdt) return false;
  // Elements whose stages the general path runs.
  if (options::xterpsrc(ss) || branches::nsw(ss) > 0 || e_s0::idealss(ss) || int3::use_klu(ss))
    return false;
  if (mna::mna_elem.allocated() && mna::mna_elem(ss) > 0) return false;
  if (e_s5::jset > 0 && e_s5::numt(ss) > 0) return false;
  // Every branch a series R-L-C branch of its own.
  const std::int32_t nbr = int2::insb(ss);
  bool plain = true;
  for (std::int32_t br = 1; br <= nbr; ++br)
    plain &= (!c.source[br] & !c.defrdbr[br] & !c.idealbr[br] &
              (c.iorv[br] != switch_mode::arrester)) != 0;
  return plain;
}

}  // namespace

bool small_subsystem_step(std::int32_t ss, const SubsystemColumns& c) {
  if (!ordinary_small_step(ss, c)) return false;
  ++detail::small_steps_taken;
  const std::int32_t n = e_s0::mbus(ss);
  const std::int32_t nbr = int2::insb(ss);
  // The pass: from the step's start (elapsed 0) over the whole step, as its
  // only solution (values copied, f = fracv = 1).
  constexpr double kElapsed = 0.0;
  constexpr double kFrac = 1.0;
  const double f = kFrac;
  const auto& ief = c.ief;
  const auto& iet = c.iet;
  const auto& ccgm = c.ccgm;  // by node
  const auto& ll = c.ll;
  const auto& ccin = c.ccin;
  const std::int32_t nmb = int2::nmb(ss);

  // Step 1 (history): CCGM into CCGMD and the transformers' histories, then
  // the part histories i_L = v_L * 2G_L + i and i_C = -v_C * 2G_C - i, and the
  // branch history h = i_L * R_LG + i_C * R_CG summed into CCGM (a resistor
  // alone keeps its CCBR).
  network_hooks().dsmdyn(ss);
  for (std::int32_t br = 1; br <= nbr; ++br) {
    const bool has_l = c.inductor[br];
    const bool has_c = c.capacitr[br];
    if (!has_l && !has_c) continue;
    const double i = c.cbr[br];
    double h = 0.0;
    if (has_l) {
      c.ccld[br] = c.ccl[br];
      c.ccl[br] = c.v12l[br] * c.g2l[br] + i;
      h = c.ccl[br] * c.rlg[br];
    }
    if (has_c) {
      c.cccd[br] = c.ccc[br];
      c.ccc[br] = -(c.v20l[br] * c.g2c[br]) - i;
      h += c.ccc[br] * c.rcg[br];
    }
    c.ccbrd[br] = c.ccbr[br];
    c.ccbr[br] = h;
    const std::int32_t from = ief[br];
    const std::int32_t to = iet[br];
    if (from > 0) ccgm[from] += h;
    if (to > 0) ccgm[to] -= h;
  }
  if (!options::rmchatter(ss)) temp1::stabck(ss) = false;

  // Step 2 (buildca): the line injection at the step's start less the history
  // sum, then the Norton injections of this step.
  using e_s0::ca;
  if (n < ca.size()) std::fill(ca.begin() + n, ca.end(), 0.0);
  double* const rhs = ca.data() - 1;  // by node
  for (std::int32_t k = 1; k <= n; ++k) {
    const double now = c.ccli[k];
    const double before = c.cclid[k];
    const double x = now + (now - before) * kElapsed;
    rhs[k] = x - ccgm[k];
  }
  for (std::int32_t k = 1; k <= nmb; ++k) rhs[ll[k]] += ccin[ll[k]];

  // Step 3 (slvnew): the new node voltages.
  double* const vnew = spcial::vdcnew.data() - 1;  // by node
  substitute_dense(c, n, rhs, temp1::caa.data() - 1, vnew);

  // Step 4: the pass reaches the step's end.
  const double delt = e_s1::delt;
  int1::solution_time = delt * (ctrl::iii - 1) + (kElapsed + kFrac) * delt;

  // Step 5 (incalcvi): the node voltages taken over, each checked for chatter
  // against the one it replaces (the flag is clear: removal is off or its flag
  // was).
  const bool chatter = options::dtchatter(ss);
  const double level = int2::glvl(ss);
  const auto& vdc = c.vdc;
  if (chatter) {
    std::int32_t* const counter = &clvi::icntv(1, ss) - 1;
    std::int32_t first = n + 1;  // the first node whose chatter fired
    for (std::int32_t k = 1; k <= n; ++k) {
      bool fired = false;
      counter[k] = chatter_count(vnew[k], vdc[k], level, counter[k], fired);
      first = fired && k < first ? k : first;
      vdc[k] = vnew[k];
    }
    if (first <= n) chatdt_nodes_fired(ss, first);
  } else {
    for (std::int32_t k = 1; k <= n; ++k) vdc[k] = vnew[k];
  }

  // Step 6 (incalcvi, finishup): per branch the new current, checked for
  // chatter (unless the voltages set the flag: the counters then restart), the
  // history and the parts' voltages and histories moved to the step's end (the
  // capacitive part's from the inductive part's moved one); then the copies the
  // next step starts from.
  bool check = chatter;
  if (check && temp1::stabck(ss)) {
    chatdt_branches_held(ss);
    check = false;
  }
  const BranchColumn<std::int32_t> counter{&clvi::icntbr(1, ss)};
  std::int32_t first = nbr + 1;  // the first branch whose chatter fired
  for (std::int32_t br = 1; br <= nbr; ++br) {
    const std::int32_t from = ief[br];
    const std::int32_t to = iet[br];
    const double u = (from > 0 ? vnew[from] : 0.0) - (to > 0 ? vnew[to] : 0.0) + 0.0;
    const double i = c.geq[br] * u + c.ccbr[br];
    if (check) {
      bool fired = false;
      counter[br] = chatter_count(i, c.cbr[br], level, counter[br], fired);
      first = fired && br < first ? br : first;
    }
    c.cbr[br] = i;
    c.ccbr[br] = towards(c.ccbrd[br], c.ccbr[br], f);
    if (c.inductor[br]) {
      c.v12l[br] = c.rcl[br] * c.ccc[br] + c.rlg[br] * u - c.rsc[br] * c.ccl[br];
      c.ccl[br] = towards(c.ccld[br], c.ccl[br], f);
    }
    if (c.capacitr[br]) {
      c.v20l[br] = c.rcl[br] * c.ccl[br] + c.rcg[br] * u - c.rsl[br] * c.ccc[br];
      c.ccc[br] = towards(c.cccd[br], c.ccc[br], f);
    }
    c.ebrd[br] = c.ebr[br];
    c.ccbrd[br] = c.ccbr[br];
    c.geqd[br] = c.geq[br];
  }
  if (check && first <= nbr) chatdt_branches_fired(ss, first);

  // Step 7 (finishup): the line injections and the Norton injections kept.
  const std::int32_t nodes = int4::cclid.extent(1);
  for (std::int32_t k = 1; k <= nodes; ++k) c.cclid[k] = c.ccli[k];
  for (std::int32_t k = 1; k <= nmb; ++k) {
    const std::int32_t x = ll[k];
    c.ccind[x] = ccin[x];
    c.ggind[x] = c.ggin[x];
  }
  e_s8::switched(ss) = false;
  return true;
}

}  // namespace wakro

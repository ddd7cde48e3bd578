// small_subsystem_step: the ordinary step of a small subsystem in one routine,
// for the solution driver (intsolvi).
//
// Taken when the subsystem has fewer than kPackedFactorsMin nodes and at most
// kMaxBranches branches, every branch the network's own (a series R-L-C branch,
// with or without a source, a switch or not; not deferred, not ideal, not an
// arrester or a segmented branch), and the step is an ordinary one: neither
// time zero nor the first or last step, no Norton conductance changed (MXINV
// beyond the nodes: no factorisation due), no re-solution at the step's start
// (no switching between steps under interpolation), no ideal branch, no MNA
// element, no transformer, the own elimination (not the sparse solver), no
// source extrapolation, the own chatter detector (or chatter detection off), the
// own crossing test, the chatter half step not due (removal off, or its flag
// clear), and no switch crossing inside the step. Such a step is one normal pass
// over the whole step (notfirst clear, fracv 1), which the general path spreads
// over history, buildca, slvnew, interpol, incalcvi and finishup; here they are
// the steps below, with their arithmetic in their order, so that every value
// ends as theirs to the bit.
//
// Whether a switch crosses is known only once the step is solved: the
// histories are formed into arrays of the routine, the right-hand side and the
// solution into the work vectors the general path fills again (e_s0::ca,
// temp1::caa, spcial::vdcnew), and only when no switch crosses before the step's
// end is anything else written; otherwise the general path does the whole step
// (a step with a switching costs the attempt). The transformer hook dsmdyn is
// called as history calls it, when the step is committed (with no transformer
// it restarts CCGM from zero, which the right-hand side assumed), unless it is
// the process's own routine, whose work the step then does itself.
//
// A subsystem of one, two or three nodes (a three-phase bus, say) holds its
// node values during the step in registers, each step's code made for its node
// count: the node sums, the right-hand side, the substitution and the new
// voltages then pass from one stage to the next without a store and a load
// between (the work vectors are written all the same, after the substitution).
// That is most of the step's chain of dependent operations for so few nodes;
// four or more keep them in memory.
//
// Leaves what those routines leave for such a step: CCGMD, CCGM (the branch
// histories); per branch CBR, CCBR, CCBRD, EBRD, GEQD, and of an inductive part
// CCLD, CCL, V12L, of a capacitive part CCCD, CCC, V20L; XSTOR of the switches
// taking part (their crossings, each beyond the step); e_s0::ca (cleared past
// the subsystem's nodes), temp1::caa, spcial::vdcnew and VDC of its nodes; the
// chatter counters, flag and reports; CCLID, and CCIND, GGIND of the Norton
// nodes; storage::this_ as the sources' records and the crossing tests leave it;
// int1::solution_time at the step's end; e_s8::switched cleared.
#include "network/small_subsystem.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

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
#include "model/mna.h"
#include "model/options.h"
#include "model/spcial.h"
#include "model/storage.h"
#include "model/substep.h"
#include "model/temp1.h"
#include "network/branch_terms.h"
#include "network/branch_view.h"
#include "network/chatter.h"
#include "network/crossing_test.h"
#include "network/dense_substitution.h"
#include "network/hooks.h"
#include "network/switching.h"

namespace wakro {
namespace {

// The most branches a subsystem may have for this step (its histories are held
// in arrays of this size on the stack until the step is known to be ordinary).
constexpr std::int32_t kMaxBranches = 48;

// A subsystem whose switches cross on step after step would pay an attempt on
// each of them besides its general step. After a declined attempt the next
// steps that could take the small step make none for a pause that doubles with
// each decline that follows (1, 3, 7, then kMaxPause steps) and ends with the
// first attempt taken: a bridge between its commutations loses at most one
// step after each, a subsystem switching on most of its steps makes one
// attempt in kMaxPause + 1. Both paths leave the same values, so the pauses
// change only the time.
constexpr std::uint8_t kMaxPause = 15;
struct Pause {
  std::uint8_t left = 0;    // steps still to pass without an attempt
  std::uint8_t length = 0;  // the last pause's length (0: the last attempt was taken)
};
// By subsystem from 1 at [ss - 1]; sized and cleared at time zero
// (reset_small_step_pauses), so that a run does not inherit the pauses of the
// run before it and no step allocates.
std::vector<Pause> g_pauses;

// True when ss (with switches) is in a pause, which this step moves on.
inline bool pausing(std::int32_t ss) {
  const auto k = static_cast<std::size_t>(ss - 1);
  if (k >= g_pauses.size() || g_pauses[k].left == 0) return false;
  --g_pauses[k].left;
  return true;
}

// An attempt of ss (with switches) declined (true) or taken.
inline void attempted(std::int32_t ss, bool declined) {
  const auto k = static_cast<std::size_t>(ss - 1);
  if (k >= g_pauses.size()) return;
  Pause& p = g_pauses[k];
  p.length = !declined ? 0 : static_cast<std::uint8_t>(std::min(2 * p.length + 1, int{kMaxPause}));
  p.left = p.length;
}

// x moved towards x_new by f.
inline double towards(double x, double x_new, double f) { return x + (x_new - x) * f; }

// True when the step of ss may be an ordinary one for a small subsystem (see
// the top of this file), run holding what holds for every subsystem; whether a
// switch crosses, and whether every branch is one the step handles, are found
// by the step itself.
bool ordinary_small_step(std::int32_t ss, const SmallStepRun& run) {
  const std::int32_t n = e_s0::mbus(ss);
  const std::int32_t nbr = int2::insb(ss);
  if (!run.possible || n >= kPackedFactorsMin || nbr > kMaxBranches) return false;
  // A factorisation, a re-solution or the chatter half step is due.
  if (e_s8::mxinv(ss) <= n) return false;
  if (e_s8::switched(ss) && options::interpss(ss)) return false;
  if (options::rmchatter(ss) && temp1::stabck(ss)) return false;
  // A detector put in place of the own one sees the new values apart.
  if (options::dtchatter(ss) && !run.own_chatdt) return false;
  // Elements whose stages the general path runs.
  if (options::xterpsrc(ss) || e_s0::idealss(ss) || int3::use_klu(ss)) return false;
  if (mna::mna_elem.allocated() && mna::mna_elem(ss) > 0) return false;
  if (e_s5::jset > 0 && e_s5::numt(ss) != 0) return false;
  // Switches: their crossing tests are the own ones, inline.
  const std::int32_t nsw = branches::nsw(ss);
  if (nsw > kMaxBranches) return false;
  if (nsw > 0 && (!run.own_crossing || pausing(ss))) return false;
  // The branches are looked at by the step (unusual_branch) as it forms their
  // histories.
  return true;
}

// True when branch br is not the network's own (deferred, ideal) or has a mode
// whose test or state update keeps a record of its own (an arrester's segments
// and energy, a segmented branch).
inline bool unusual_branch(const SubsystemColumns& c, std::int32_t br) {
  const std::int32_t m = std::abs(c.iorv[br]);
  return (c.defrdbr[br] | c.idealbr[br] | (m == switch_mode::arrester) |
          (m == switch_mode::segmented)) != 0;
}

// f.template operator()<L, C>(br) for branch br with an inductive part (L) and a
// capacitive part (C) or not: code of its own for each kind of branch.
template <class F>
inline void by_parts(const SubsystemColumns& c, std::int32_t br, F& f) {
  if (c.inductor[br]) {
    if (c.capacitr[br]) {
      f.template operator()<true, true>(br);
    } else {
      f.template operator()<true, false>(br);
    }
  } else if (c.capacitr[br]) {
    f.template operator()<false, true>(br);
  } else {
    f.template operator()<false, false>(br);
  }
}

// A step's values by node: in registers for N > 0 nodes, otherwise in memory
// (at p, by node from 1).
template <std::int32_t N>
using Nodes = std::conditional_t<(N > 0), RegisterNodes<(N > 0 ? N : 1)>, MemoryNodes<double>>;
template <std::int32_t N>
Nodes<N> nodes_at(double* p) {
  if constexpr (N > 0) {
    return Nodes<N>{};
  } else {
    return Nodes<N>{p};
  }
}

}  // namespace

SmallStepRun small_step_run() {
  SmallStepRun run;
  run.possible = !detail::small_step_disabled && !e_s1::timezero && !e_s1::firststep &&
                 !e_s1::laststep;
  const NetworkHooks& hooks = network_hooks();
  run.own_chatdt = hooks.chatdt == &chatdt;
  using Crossing = double (*)(std::int32_t, std::int32_t, const SubStep&);
  run.own_crossing = hooks.switch_crossing == static_cast<Crossing>(&switch_crossing);
  run.plain_dsmdyn = hooks.dsmdyn == hooks.plain_dsmdyn;
  // The pass reaches the step's end: elapsed 0, fraction 1.
  const double delt = e_s1::delt;
  run.end_time = delt * (ctrl::iii - 1) + (0.0 + 1.0) * delt;
  return run;
}

void reset_small_step_pauses(std::int32_t nmat) {
  g_pauses.assign(static_cast<std::size_t>(std::max(nmat, 0)), Pause{});
}

namespace {

// The pass: from the step's start (elapsed 0) over the whole step, as its only
// solution (values copied, f = fracv = 1). kPass is the sub-step as the
// right-hand side and the crossing tests see it, kWhole as the new state is
// formed (the pass reaches the step's end). (Constants, so that a step without
// a source or a switch, which never hands them on, does not build them.)
constexpr double kElapsed = 0.0;
constexpr double kFrac = 1.0;
constexpr SubStep kPass{};
constexpr SubStep kWhole = [] {
  SubStep s{};
  s.frac = s.fracv = kFrac;
  s.stepdone = true;
  return s;
}();
constexpr double kEarliest = 0.0001;  // as the crossing search lifts a crossing

// Until the crossing tests have found no switch crossing in the step, nothing
// is written that the general path would read before writing it: the
// histories go to these arrays, by branch.
struct StepHistories {
  double hist[kMaxBranches + 1];    // CCBR after the histories
  double part_l[kMaxBranches + 1];  // CCL after them, of an inductive part
  double part_c[kMaxBranches + 1];  // CCC after them, of a capacitive part
};

// The switches taking part and the crossings found, by position.
struct StepCrossings {
  std::int32_t nsw = 0;
  const std::int32_t* switches = nullptr;  // by position
  const bool* consid = nullptr;            // by branch
  double found[kMaxBranches + 1];          // by position
};

// Step 1 (history) for one branch by its parts (inductive L, capacitive C),
// each kind with code of its own: the part histories i_L = v_L * 2G_L + i and
// i_C = -v_C * 2G_C - i, and the branch history h = i_L * R_LG + i_C * R_CG
// summed by node (a resistor alone keeps its CCBR).
template <std::int32_t N>
struct BranchHistory {
  const SubsystemColumns& c;
  StepHistories& h;
  Nodes<N>& sums;
  template <bool L, bool C>
  [[gnu::always_inline]] void operator()(std::int32_t br) {
    if constexpr (!L && !C) {
      h.hist[br] = c.ccbr[br];
    } else {
      const double i = c.cbr[br];
      double x = 0.0;
      if constexpr (L) {
        h.part_l[br] = c.v12l[br] * c.g2l[br] + i;
        x = h.part_l[br] * c.rlg[br];
      }
      if constexpr (C) {
        h.part_c[br] = -(c.v20l[br] * c.g2c[br]) - i;
        x += h.part_c[br] * c.rcg[br];
      }
      h.hist[br] = x;
      const std::int32_t from = c.ief[br];
      const std::int32_t to = c.iet[br];
      if (from > 0) sums.add(from, x);
      if (to > 0) sums.add(to, -x);
    }
  }
};

// Step 1 (history): every branch's histories, summed by node into sums
// (CCGM as it restarts from zero: no transformer). False, with nothing
// written, when a branch is not one the step handles.
template <std::int32_t N>
[[gnu::always_inline]] inline bool form_histories(const SubsystemColumns& c, std::int32_t n, std::int32_t nbr,
                                                  StepHistories& h, Nodes<N>& sums, bool& any_source) {
  for (std::int32_t k = 1; k <= n; ++k) sums.set(k, 0.0);
  BranchHistory<N> history_of{c, h, sums};
  for (std::int32_t br = 1; br <= nbr; ++br) {
    if (unusual_branch(c, br)) return false;
    any_source |= c.source[br];
    by_parts(c, br, history_of);
  }
  return true;
}

// Step 2 (buildca): the line injection at the step's start less the history
// sum, the source voltages times GEQ (storage::this_ naming each source's
// record, as the registered-source lookup of the step gives it), then the
// Norton injections of this step, into rhs. Returns the source records (null
// without a source).
template <std::int32_t N>
[[gnu::always_inline]] inline const SourceRecords* form_right_hand_side(std::int32_t ss, const SubsystemColumns& c,
                                                                        std::int32_t n, std::int32_t nmb,
                                                                        bool any_source, const Nodes<N>& sums,
                                                                        Nodes<N>& rhs) {
  const auto& ll = c.ll;
  const auto& ccin = c.ccin;
  // Without a source the Norton injections follow at once, so that a node's
  // term is formed in a register and stored once: the list ascends (as the
  // lists are made), and a node takes the entries that name it where the walk
  // stands; entries left (a list out of order) are added after, in list order,
  // which leaves every node its additions in the same order.
  std::int32_t norton = 1;  // the first list entry not yet added
  const auto merged = [&](std::int32_t k, double r) {
    while (norton <= nmb && ll[norton] == k) {
      r += ccin[k];
      ++norton;
    }
    return r;
  };
  for (std::int32_t k = 1; k <= n; ++k) {
    const double now = c.ccli[k];
    const double before = c.cclid[k];
    const double x = now + (now - before) * kElapsed;
    rhs.set(k, any_source ? x - sums.get(k) : merged(k, x - sums.get(k)));
  }
  // (The registered-source lookup of the step, made only when there is a
  // source: a subsystem without one never asks. Should the step be left to the
  // general path, that makes the lookup again, to the same records.)
  const SourceRecords* const records = any_source ? &taken_source_records(ss, c) : nullptr;
  const std::int32_t count = any_source ? records->source_count : 0;
  for (std::int32_t s = 0; s < count; ++s) {
    const std::int32_t br = records->with_source[static_cast<std::size_t>(s)] + 1;
    const std::size_t k = static_cast<std::size_t>(br - 1);
    storage::this_ = records->owner[k];
    double j = 0.0;
    j += source_voltage(c, br, ss, kPass, records->registered[k] != 0, true) * c.geq[br];
    const std::int32_t from = c.ief[br];
    const std::int32_t to = c.iet[br];
    if (to > 0) rhs.add(to, j);
    if (from > 0) rhs.add(from, -j);
  }
  for (std::int32_t k = norton; k <= nmb; ++k) rhs.add(ll[k], ccin[ll[k]]);
  return records;
}

// Step 4 (interpol): the crossing of every switch taking part, the new current
// of a current mode formed with the history above. False when a switch
// crosses inside the step (before its end), with storage::this_ back at
// owner_before: the step is then the general path's.
[[gnu::always_inline]] inline bool no_switch_crosses(std::int32_t ss, const SubsystemColumns& c,
                                                     const StepHistories& h, std::int32_t owner_before,
                                                     StepCrossings& x) {
  x.switches = &branches::brnsw(1, ss) - 1;
  x.consid = temp1::consid.data() - 1;
  double earliest = kNoCrossing;
  const auto formed = [&h](const SubsystemColumns& cols, std::int32_t sub, std::int32_t b, const SubStep& at) {
    return detail::new_current_with(cols, sub, b, at, h.hist[b]);
  };
  for (std::int32_t k = 1; k <= x.nsw; ++k) {
    const std::int32_t br = x.switches[k];
    if (!x.consid[br]) continue;
    storage::this_ = c.thisbr[br];
    const double at = std::max(detail::crossing_with(c, ss, br, kPass, formed), kEarliest);
    x.found[k] = at;
    earliest = std::min(earliest, at);
  }
  if (!(earliest >= 1.0)) {
    storage::this_ = owner_before;
    ++detail::small_steps_declined;
    attempted(ss, true);
    return false;
  }
  attempted(ss, false);
  return true;
}

// The histories by node committed (history: CCGM into CCGMD and the
// transformers' histories, which restart CCGM from zero; the branch histories
// are added with the branches' new state). The transformer hook as history
// calls it; the process's own routine, for a subsystem without transformers,
// keeps CCGM in CCGMD and restarts CCGM from zero, to which the general path
// adds the histories as the sums were added: CCGM takes the sums, with no
// call. Then the crossings found, each switch's beyond the step.
template <std::int32_t N>
[[gnu::always_inline]] inline void commit_node_histories(std::int32_t ss, const SubsystemColumns& c, std::int32_t n,
                                                         const Nodes<N>& sums, bool add_histories,
                                                         const StepCrossings& x) {
  if (add_histories) {
    network_hooks().dsmdyn(ss);
  } else {
    const auto& ccgm = c.ccgm;
    const auto& ccgmd = c.ccgmd;
    for (std::int32_t k = 1; k <= n; ++k) {
      ccgmd[k] = ccgm[k];
      ccgm[k] = sums.get(k);
    }
  }
  if (!options::rmchatter(ss)) temp1::stabck(ss) = false;
  if (x.nsw > 0) {
    const BranchColumn<double> xstor = branch_column(int1::xstor, ss);
    for (std::int32_t k = 1; k <= x.nsw; ++k)
      if (x.consid[x.switches[k]]) xstor[x.switches[k]] = x.found[k];
  }
}

// Step 6 (incalcvi): the node voltages taken over, each checked for chatter
// against the one it replaces (the flag is clear: removal is off or its flag
// was).
template <std::int32_t N>
[[gnu::always_inline]] inline void take_node_voltages(std::int32_t ss, const SubsystemColumns& c, std::int32_t n,
                                                      const Nodes<N>& vnew, bool chatter, double level) {
  const auto& vdc = c.vdc;
  if (chatter) {
    std::int32_t* const counter = &clvi::icntv(1, ss) - 1;
    std::int32_t first = n + 1;  // the first node whose chatter fired
    for (std::int32_t k = 1; k <= n; ++k) {
      bool fired = false;
      counter[k] = chatter_count(vnew.get(k), vdc[k], level, counter[k], fired);
      first = fired && k < first ? k : first;
      vdc[k] = vnew.get(k);
    }
    if (first <= n) chatdt_nodes_fired(ss, first);
  } else {
    for (std::int32_t k = 1; k <= n; ++k) vdc[k] = vnew.get(k);
  }
}

// Step 7 for one branch, by its parts (inductive L, capacitive C): each kind of
// branch has its own code, reading only what it uses.
template <std::int32_t N>
struct BranchCommit {
  std::int32_t ss;
  const SubsystemColumns& c;
  const StepHistories& h;
  const Nodes<N>& vnew;
  const SourceRecords* records;
  bool add_histories;
  bool check;
  double level;
  BranchColumn<std::int32_t> counter;
  std::int32_t& first;  // the first branch whose chatter fired
  template <bool L, bool C>
  [[gnu::always_inline]] void operator()(std::int32_t br) {
    const double f = kFrac;
    const std::int32_t from = c.ief[br];
    const std::int32_t to = c.iet[br];
    // CCBRD and CCBR after the histories (a resistor alone keeps both).
    double before;
    double x;
    if constexpr (L || C) {
      before = c.ccbr[br];
      x = h.hist[br];
      if (add_histories) {
        if (from > 0) c.ccgm[from] += x;
        if (to > 0) c.ccgm[to] -= x;
      }
    } else {
      before = c.ccbrd[br];
      x = c.ccbr[br];
    }
    double e = 0.0;
    if (c.source[br]) {
      const std::size_t k = static_cast<std::size_t>(br - 1);
      storage::this_ = records->owner[k];
      e = source_voltage(c, br, ss, kWhole, records->registered[k] != 0, false);
    }
    const double u = (from > 0 ? vnew.get(from) : 0.0) - (to > 0 ? vnew.get(to) : 0.0) + e;
    const double geq = c.geq[br];
    const double i = geq * u + x;
    if (check) {
      bool fired = false;
      counter[br] = chatter_count(i, c.cbr[br], level, counter[br], fired);
      first = fired && br < first ? br : first;
    }
    c.cbr[br] = i;
    const double moved = towards(before, x, f);
    c.ccbr[br] = moved;
    c.ccbrd[br] = moved;
    // The parts' histories after the histories, and the previous ones (a
    // part the branch lacks keeps its history, which the other part's
    // voltage still reads).
    if constexpr (L) {
      const double l_before = c.ccl[br];
      const double l_now = h.part_l[br];
      const double c_now = C ? h.part_c[br] : c.ccc[br];
      c.ccld[br] = l_before;
      c.v12l[br] = c.rcl[br] * c_now + c.rlg[br] * u - c.rsc[br] * l_now;
      const double l_moved = towards(l_before, l_now, f);
      c.ccl[br] = l_moved;
      if constexpr (C) {
        const double c_before = c.ccc[br];
        c.cccd[br] = c_before;
        c.v20l[br] = c.rcl[br] * l_moved + c.rcg[br] * u - c.rsl[br] * c_now;
        c.ccc[br] = towards(c_before, c_now, f);
      }
    } else if constexpr (C) {
      const double l_moved = c.ccl[br];
      const double c_before = c.ccc[br];
      const double c_now = h.part_c[br];
      c.cccd[br] = c_before;
      c.v20l[br] = c.rcl[br] * l_moved + c.rcg[br] * u - c.rsl[br] * c_now;
      c.ccc[br] = towards(c_before, c_now, f);
    }
    c.ebrd[br] = c.ebr[br];
    c.geqd[br] = geq;
  }
};

// Step 7 (history, incalcvi, finishup): per branch the histories taken over
// (the previous ones kept as the last step's), the new current with its
// source voltage at the step's end, checked for chatter (unless the voltages
// set the flag: the counters then restart), the history and the parts'
// voltages and histories moved to the step's end (the capacitive part's from
// the inductive part's moved one).
template <std::int32_t N>
[[gnu::always_inline]] inline void commit_branches(std::int32_t ss, const SubsystemColumns& c, std::int32_t nbr,
                                                   const StepHistories& h, const Nodes<N>& vnew,
                                                   const SourceRecords* records, bool add_histories, bool chatter,
                                                   double level) {
  bool check = chatter;
  if (check && temp1::stabck(ss)) {
    chatdt_branches_held(ss);
    check = false;
  }
  std::int32_t first = nbr + 1;
  BranchCommit<N> commit{ss,    c,     h, vnew, records, add_histories, check, level,
                         BranchColumn<std::int32_t>{&clvi::icntbr(1, ss)}, first};
  for (std::int32_t br = 1; br <= nbr; ++br) by_parts(c, br, commit);
  if (check && first <= nbr) chatdt_branches_fired(ss, first);
}

// The step itself, for a subsystem of N nodes (N > 0: its node values held in
// registers; N == 0: any count below kPackedFactorsMin, in memory).
template <std::int32_t N>
bool small_step(std::int32_t ss, const SubsystemColumns& c, const SmallStepRun& run) {
  const std::int32_t n = N > 0 ? N : e_s0::mbus(ss);
  const std::int32_t nbr = int2::insb(ss);
  const std::int32_t nmb = int2::nmb(ss);
  const std::int32_t owner_before = storage::this_;

  // Step 1 (history), into the step's own arrays (the sums' memory is used
  // without registers only).
  StepHistories h;
  double sums_memory[N > 0 ? 1 : kPackedFactorsMin];
  Nodes<N> sums = nodes_at<N>(sums_memory);
  bool any_source = false;
  if (!form_histories<N>(c, n, nbr, h, sums, any_source)) return false;  // (nothing written yet)

  // Step 2 (buildca), into e_s0::ca (cleared past the nodes with one library
  // call: this file's loops are compiled as plain loops, and the vector may be
  // as long as the case's largest subsystem).
  using e_s0::ca;
  if (n < ca.size())
    std::memset(ca.data() + n, 0, static_cast<std::size_t>(ca.size() - n) * sizeof(double));
  double* const rhs_at = ca.data() - 1;  // by node
  Nodes<N> rhs = nodes_at<N>(rhs_at);
  const SourceRecords* const records = form_right_hand_side<N>(ss, c, n, nmb, any_source, sums, rhs);

  // Step 3 (slvnew): the new node voltages, and the work vectors as the
  // general path leaves them.
  double* const vnew_at = spcial::vdcnew.data() - 1;  // by node
  double* const caa_at = temp1::caa.data() - 1;
  Nodes<N> vnew = nodes_at<N>(vnew_at);
  Nodes<N> caa = nodes_at<N>(caa_at);
  substitute_dense_over(c, n, rhs, caa, vnew);
  if constexpr (N > 0) {
    for (std::int32_t k = 1; k <= N; ++k) {
      rhs_at[k] = rhs.get(k);
      caa_at[k] = caa.get(k);
      vnew_at[k] = vnew.get(k);
    }
  }

  // Step 4 (interpol); a subsystem without switches skips it: nothing crosses.
  StepCrossings x;
  x.nsw = branches::nsw(ss);
  if (x.nsw > 0 && !no_switch_crosses(ss, c, h, owner_before, x)) return false;
  ++detail::small_steps_taken;

  // The step is an ordinary one: the histories by node and the crossings.
  const bool add_histories = !run.plain_dsmdyn;
  commit_node_histories<N>(ss, c, n, sums, add_histories, x);

  // Step 5: the pass reaches the step's end.
  int1::solution_time = run.end_time;

  // Steps 6 and 7: the node voltages, then the branches.
  const bool chatter = options::dtchatter(ss);
  const double level = int2::glvl(ss);
  take_node_voltages<N>(ss, c, n, vnew, chatter, level);
  commit_branches<N>(ss, c, nbr, h, vnew, records, add_histories, chatter, level);

  // Step 8 (finishup): the line injections and the Norton injections kept.
  keep_injections(c, nmb);
  e_s8::switched(ss) = false;
  return true;
}

}  // namespace

bool small_subsystem_step(std::int32_t ss, const SubsystemColumns& c, const SmallStepRun& run) {
  if (!ordinary_small_step(ss, run)) return false;
  switch (e_s0::mbus(ss)) {
    case 1:
      return small_step<1>(ss, c, run);
    case 2:
      return small_step<2>(ss, c, run);
    case 3:
      return small_step<3>(ss, c, run);
    default:
      return small_step<0>(ss, c, run);
  }
}

}  // namespace wakro

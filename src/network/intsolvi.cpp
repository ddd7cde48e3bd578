// intsolvi: the network solution of one time step, every subsystem in turn.
//
// Per subsystem: detect the Norton conductances and switch conductances that
// changed since the previous step, bring the factors up to date (itriang), form
// the histories, then run sub-steps: right-hand side, solution, crossing search,
// interpolation to the sub-step's end; a crossing inside the step switches, re-
// factorises and re-solves at that instant (inductor currents, capacitor
// voltages and winding currents kept through the change), and so does a
// switching between steps at the step's start; with chatter removal the first
// pass after a factorisation is cut at the step's midpoint. A matrix changed only
// by conductances of branches that hold no state is factorised again and solved
// as one trapezoidal step. finishup keeps the values
// the next step compares against. Line histories come before all subsystems and
// line terminal currents after them (hooks). The ordinary step of a small plain
// subsystem (a few nodes, series R-L-C branches only, nothing due but one
// solution) is taken in one routine after step 1 (small_subsystem.h), with
// every value as these routines leave it.
//
// Leaves, besides what the called routines leave: at time zero the Norton node
// lists int2::ll/nmb and the copies CCIND, GGIND; later, nodes injected into
// outside the lists join them; per subsystem GGINCHANGE,
// GEQCHANGE, CONSID, ICNT, XSTOR of this step; MXINV lowered to the first changed
// Norton node; e_s8::switched cleared; int1::solution_time and e_s1::onstep.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "diag/message.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s8.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int4.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/temp1.h"
#include "network/branch_view.h"
#include "network/chatter.h"
#include "network/hooks.h"
#include "network/small_subsystem.h"
#include "network/solution.h"

namespace {

// A copy with the extents of its source (re-made when they differ).
void copy_whole(const wakro::FArray<double, 2>& from, wakro::FArray<double, 2>& to) {
  if (!to.allocated() || to.extent(1) != from.extent(1) || to.extent(2) != from.extent(2)) {
    to.release();
    to.allocate(from.extent(1), from.extent(2));
  }
  std::copy(from.begin(), from.end(), to.begin());
}

// The Norton node lists at time zero: the nodes of a subsystem with an injected
// conductance or current at time zero, or enabled for a later injection.
void time_zero_lists() {
  copy_whole(e_s0::ccin, int4::ccind);
  copy_whole(e_s0::ggin, int4::ggind);
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    std::int32_t count = 0;
    for (std::int32_t n = 1; n <= e_s0::mbus(ss); ++n) {
      if (std::abs(e_s0::ggin(n, ss)) > wakro::kTiny || std::abs(e_s0::ccin(n, ss)) > wakro::kTiny ||
          e_s0::enabccin(n, ss))
        int2::ll(++count, ss) = n;
    }
    int2::nmb(ss) = count;
  }
}

// A node that receives an injection only after time zero, without being in the
// list (not enabled at time zero, or enabled only later), would have its
// conductance in the matrix but its current left out of the right-hand side. It
// joins the list (before the first entry above it: in ascending order, as the
// lists are made), with previous values of zero so that the change is seen,
// and is reported once. The listed nodes are marked first, so that a list in
// another order (a restored state's) keeps its nodes and gains none twice. A
// rare event, which reports anyway: the marks are made afresh.
[[gnu::noinline]] void admit_nodes(std::int32_t ss) {
  const std::int32_t n = e_s0::mbus(ss);
  const wakro::SubsystemColumns& c = wakro::subsystem_columns(ss);
  const auto& ll = c.ll;
  const auto& ggin = c.ggin;
  const auto& ccin = c.ccin;
  std::int32_t count = int2::nmb(ss);
  std::vector<bool> listed(static_cast<std::size_t>(std::max(n, 0)) + 1, false);
  for (std::int32_t k = 1; k <= count; ++k)
    if (ll[k] >= 1 && ll[k] <= n) listed[static_cast<std::size_t>(ll[k])] = true;
  for (std::int32_t x = 1; x <= n; ++x) {
    if (listed[static_cast<std::size_t>(x)]) continue;
    if (ggin[x] == 0.0 && ccin[x] == 0.0) continue;
    c.ggind[x] = 0.0;
    c.ccind[x] = 0.0;
    std::int32_t k = 1;  // the first entry above x
    while (k <= count && ll[k] < x) ++k;
    int2::nmb(ss) = ++count;
    for (std::int32_t j = count; j > k; --j) ll[j] = ll[j - 1];
    ll[k] = x;
    wakro_warn(0, 0, wakro::msg::kSingleLine,
               "Node " + std::to_string(x) + " of subsystem " + std::to_string(ss) +
                   " receives an injection that was not enabled at time zero; it is added now.");
  }
}

// The nodes outside the Norton list of a subsystem as a mask by node (from 1
// at [x - 1]): all bits set for a node outside the list, none for a listed one.
// Kept with what it was made from (the node count and the list), and made again
// when either differs; making it allocates only when the node count grew.
struct OutsideMask {
  std::vector<std::uint64_t> mask;
  std::int32_t nodes = -1;
  std::vector<std::int32_t> list;  // the first `count` entries
  std::int32_t count = -1;
};

const OutsideMask& outside_mask(std::int32_t ss, std::int32_t n, std::int32_t count,
                                const std::int32_t* ll) {
  static std::vector<OutsideMask> masks;
  if (masks.size() < static_cast<std::size_t>(ss)) masks.resize(static_cast<std::size_t>(ss));
  OutsideMask& m = masks[static_cast<std::size_t>(ss - 1)];
  const auto listed = static_cast<std::size_t>(count);
  if (m.nodes == n && m.count == count &&
      (count == 0 || std::memcmp(m.list.data(), ll, listed * sizeof(std::int32_t)) == 0))
    return m;
  m.nodes = n;
  m.count = count;
  m.list.assign(ll, ll + listed);
  m.mask.assign(static_cast<std::size_t>(n), ~std::uint64_t{0});
  for (std::size_t k = 0; k < listed; ++k)
    if (ll[k] >= 1 && ll[k] <= n) m.mask[static_cast<std::size_t>(ll[k] - 1)] = 0;
  return m;
}

// True when a node of ss outside its Norton list has an injection, looked at
// through the mask of those nodes: a value has one when its bits, but for the
// sign, are not all zero; one pass over the nodes (without a branch;
// vectorisable) looks at them all.
[[gnu::noinline]] bool injection_outside(std::int32_t ss, const wakro::SubsystemColumns& c,
                                         std::int32_t n, std::int32_t count) {
  const std::uint64_t* const outside =
      outside_mask(ss, n, std::max(count, 0), c.ll.first).mask.data();
  const double* const g = c.ggin.first;  // by node from 1 at [x - 1]
  const double* const i = c.ccin.first;
  std::uint64_t bits = 0;
  for (std::int32_t x = 0; x < n; ++x)
    bits |= (std::bit_cast<std::uint64_t>(g[x]) | std::bit_cast<std::uint64_t>(i[x])) & outside[x];
  return (bits << 1) != 0;  // the sign bit alone is a zero
}

// The scan for such nodes; the list changes only in admit_nodes (and when a
// saved state is restored). A subsystem of many nodes is looked at through the
// kept mask of the nodes outside its list; one of a few nodes through the bits
// of a word, made afresh (keeping them would cost more than their nodes).
inline void admit_late_norton_nodes(std::int32_t ss, const wakro::SubsystemColumns& c) {
  constexpr std::int32_t kMaskMin = 16;
  const std::int32_t n = e_s0::mbus(ss);
  const std::int32_t count = int2::nmb(ss);
  if (count >= n) return;  // every node is in the list
  bool any = false;  // an injection at a node outside the list
  if (n < kMaskMin) {
    // The nodes as bits of a word: those with an injection (a value has one
    // when its bits, but for the sign, are not all zero) less those listed.
    const auto& ll = c.ll;
    const double* const g = c.ggin.first - 1;  // by node
    const double* const i = c.ccin.first - 1;
    std::uint32_t listed = 0;
    for (std::int32_t k = 1; k <= count; ++k) {
      const std::int32_t x = ll[k];
      if (x >= 1 && x <= n) listed |= std::uint32_t{1} << (x - 1);
    }
    std::uint32_t injected = 0;
    for (std::int32_t x = 1; x <= n; ++x) {
      const std::uint64_t bits = std::bit_cast<std::uint64_t>(g[x]) | std::bit_cast<std::uint64_t>(i[x]);
      injected |= std::uint32_t{(bits << 1) != 0} << (x - 1);
    }
    any = (injected & ~listed) != 0;
  } else {
    any = injection_outside(ss, c, n, count);
  }
  if (any) admit_nodes(ss);
}

// A changed Norton conductance lowers MXINV to its node.
inline void detect_norton_changes(std::int32_t ss, const wakro::SubsystemColumns& c) {
  const auto& ll = c.ll;
  const auto& ggin = c.ggin;
  const auto& ggind = c.ggind;
  bool* const gginchange = int4::gginchange.data() - 1;
  std::int32_t mxinv = e_s8::mxinv(ss);
  const std::int32_t nmb = int2::nmb(ss);
  for (std::int32_t k = 1; k <= nmb; ++k) {
    const std::int32_t n = ll[k];
    const double before = ggind[n];
    const bool changed = std::abs(before - ggin[n]) > 1e-10 * std::abs(before);
    gginchange[n] = changed;
    if (changed && n < mxinv) mxinv = n;
  }
  e_s8::mxinv(ss) = mxinv;
}

// The switches of ss that take part in this step and their counters, and which
// switch conductances changed between steps (GEQCHANGE).
[[gnu::noinline]] void consider_switches(std::int32_t ss, const wakro::SubsystemColumns& c,
                                         std::int32_t count) {
  using namespace branches;
  namespace switch_mode = wakro::switch_mode;
  const wakro::BranchColumn<double> xstor = wakro::branch_column(int1::xstor, ss);
  const wakro::BranchColumn<std::int32_t> brnsw_ss = wakro::branch_column(brnsw, ss);
  bool* const changed = geqchange.data() - 1;  // by branch number
  bool* const consid = temp1::consid.data() - 1;
  std::int32_t* const icnt = temp1::icnt.data() - 1;
  const bool interpolated = options::interpss(ss);
  for (std::int32_t k = 1; k <= count; ++k) {
    const std::int32_t br = brnsw_ss[k];
    const std::int32_t m = std::abs(c.iorv[br]);
    xstor[br] = wakro::kNoCrossing;
    consid[br] = interpolated & (m != switch_mode::none) & (m != switch_mode::plain);
    icnt[br] = (m == switch_mode::arrester) | (m == switch_mode::segmented) ? 0 : 10;
    const double before = c.geqd[br];
    changed[br] = std::abs(before - c.geq[br]) > 1e-10 * std::abs(before);
  }
}

// Clears the n flags at p. A few flags are cleared in place, without the call:
// by words, the last word overlapping the one before it when n is not a whole
// number of words (every byte written is one of the n).
[[gnu::always_inline]] inline void clear_flags(bool* p, std::size_t n) {
  constexpr std::size_t kInPlace = 32;
  if (n > kInPlace) {
    std::fill_n(p, n, false);
    return;
  }
  const auto zero = [p](std::size_t at, auto word) {
    word = 0;
    std::memcpy(p + at, &word, sizeof word);
  };
  if (n >= 8) {
    for (std::size_t k = 0; k + 8 <= n; k += 8) zero(k, std::uint64_t{});
    zero(n - 8, std::uint64_t{});
  } else if (n >= 4) {
    zero(0, std::uint32_t{});
    zero(n - 4, std::uint32_t{});
  } else if (n >= 2) {
    zero(0, std::uint16_t{});
    zero(n - 2, std::uint16_t{});
  } else if (n == 1) {
    p[0] = false;
  }
}

// Which switches take part in this step, their counters, and
// which switch conductances changed between steps (GEQCHANGE, by branch number:
// cleared for every branch of ss first; a few entries in place, without the call).
void prepare_switches(std::int32_t ss, const wakro::SubsystemColumns& c) {
  const std::int32_t nbr = std::max(int2::insb(ss), 0);
  clear_flags(branches::geqchange.data(), static_cast<std::size_t>(nbr));
  const std::int32_t count = branches::nsw(ss);
  if (count > 0) consider_switches(ss, c, count);
}

// The pass limit was reached: reported once, and no switch of the subsystem takes
// part in the rest of the step, so the step ends within a few more passes.
[[gnu::noinline]] void freeze_switches(std::int32_t ss) {
  wakro_message(0, 0, wakro::msg::kInfo, wakro::msg::kSingleLine,
                "Subsystem " + std::to_string(ss) + " needed more than " +
                    std::to_string(wakro::kMaxSolutionPasses) +
                    " solutions in one time step; its switches are held for the rest of the step.");
  for (std::int32_t k = 1; k <= branches::nsw(ss); ++k) temp1::consid(branches::brnsw(k, ss)) = false;
}

// The sub-step as its solution sees it: a solution at an instant inside the step
// takes the sources half a step after the instant, where it stands (a copy made
// in `later`); any other solution sees s itself. Not copying the record on every
// solution spares its fields a round trip through memory.
const wakro::SubStep& solved_at(const wakro::SubStep& s, wakro::SubStep& later) {
  if (!s.iflag) return s;
  later = s;
  later.elapsed += 0.5;
  return later;
}

// True when every switch operated at frac was turned on where its ON and OFF
// characteristics meet (a valve at its forward voltage: the OFF current there is
// its holding current, and so is the ON current): its current at the instant's
// voltages is the same in either state, so that no value of the network jumps.
// The values at the instant are then the network's as interpolated to it, and
// the trapezoidal step continues from them. Any other operation (a turn-off,
// whose current is zero only to the interpolation's error and may be forced into
// a stiff loop; an arrester or segment step; an ideal ON state) is a switching
// with jumps.
bool turned_on_without_jump(std::int32_t ss, double frac) {
  using namespace branches;
  namespace switch_mode = wakro::switch_mode;
  constexpr double kSameCurrent = 1e-9;  // of the terms the two currents are made of
  for (std::int32_t k = 1; k <= nsw(ss); ++k) {
    const std::int32_t br = brnsw(k, ss);
    if (int1::xstor(br, ss) > frac) continue;  // not operated at this instant
    const std::int32_t m = std::abs(int1::iorv(br, ss));
    if (m == switch_mode::arrester || m == switch_mode::segmented) return false;
    if (openbr(br, ss) || idealbr(br, ss)) return false;
    const std::int32_t f = ief(br, ss);
    const std::int32_t t = iet(br, ss);
    const double vf = f > 0 ? e_s0::vdc(f, ss) : 0.0;
    const double vt = t > 0 ? e_s0::vdc(t, ss) : 0.0;
    const double i_on = geqon(br, ss) * (vf - vt + ebron(br, ss));
    const double i_off = geqof(br, ss) * (vf - vt + ebrof(br, ss));
    const double terms = (std::abs(geqon(br, ss)) + std::abs(geqof(br, ss))) *
                         (std::abs(vf) + std::abs(vt) + std::abs(ebron(br, ss)) + std::abs(ebrof(br, ss)));
    if (!(std::abs(i_on - i_off) <= kSameCurrent * terms)) return false;
  }
  return true;
}

// True when a source of ss takes at time zero another value than the one its
// data gave it: the source is switched on at time zero.
bool sources_switch_on(std::int32_t ss) {
  for (std::int32_t br = 1; br <= int2::insb(ss); ++br)
    if (branches::source(br, ss) && branches::ebr(br, ss) != branches::ebrd(br, ss)) return true;
  return false;
}

// The time-zero solution of ss when its sources are switched on at time zero: the
// network at time zero with the inductor currents and capacitor voltages of the
// data and the sources' time-zero values, as at a switching instant (the whole
// step solved, so every step quantity is taken at its time-zero value); then the
// histories from which the first step starts. Its values stand for the network
// about half a step later, with nothing to move them back: the first step starts
// like a step after a switching between steps (marked in e_s8::switched), with a
// solution at its start half a step on, whose values are moved back to time zero
// once the first normal solution exists.
[[gnu::noinline]] void start_at_time_zero(std::int32_t ss) {
  itriang(ss);
  startup_history(ss);
  wakro::SubStep s;
  s.iflag = true;
  s.notfirst = true;
  s.elapsed = 1.0;
  s.frac = s.fracv = 1.0;
  buildca(ss, s);
  slvnew(ss, s);
  incalcvi(ss, s);
  history(ss);
  finishup(ss);
}

// Chatter removal: with STABCK set, a normal pass that starts before the step's
// midpoint and finds no crossing at or before kCrossingBeforeHalfStep of its
// length is cut at kHalfStep (the midpoint of a full step from where it starts).
constexpr double kHalfStep = 0.5;
constexpr double kCrossingBeforeHalfStep = 0.5001;

// The state of one subsystem's sub-step loop between passes.
struct Passes {
  wakro::SubStep s;
  bool settle = false;    // the last solution was at a switching instant
  bool keep = false;      // the switchings at this instant change no value of it
  bool halfstep = false;  // the present normal pass is cut at the half step
  // The columns of the subsystem for the routines of the passes, kept from the
  // step's start (taken again after itriang); null after a routine of another
  // room (the crossing search, a replaced chatter detector) or a switching ran:
  // they are taken again then, and whenever case-sized arrays were allocated or
  // released since they were taken (key).
  const wakro::SubsystemColumns* c = nullptr;
  std::uint64_t key = 0;
};

// The columns of ss for the routines of the pass.
[[gnu::always_inline]] inline const wakro::SubsystemColumns& pass_columns(std::int32_t ss, Passes& p) {
  if (p.c == nullptr || p.key != wakro::detail::columns_key()) {
    p.c = &wakro::subsystem_columns(ss);
    p.key = wakro::detail::columns_key();
  }
  return *p.c;
}

// Step 1 of a subsystem: the step's start, changed Norton nodes, the switches
// taking part. Returns the columns of ss it took, and in key what they were
// taken for. The registered-source lookup of the step follows it
// (take_source_records): in the small step, which makes it only for a
// subsystem with a source, or before the general path.
const wakro::SubsystemColumns& begin_step(std::int32_t ss, std::uint64_t& key) {
  e_s1::onstep = true;
  int1::solution_time = (ctrl::iii - 1) * e_s1::delt;
  const wakro::SubsystemColumns& c = wakro::subsystem_columns(ss, key);
  if (!e_s1::timezero) admit_late_norton_nodes(ss, c);
  detect_norton_changes(ss, c);
  prepare_switches(ss, c);
  return c;
}

// Steps 2 and 3: whether the step starts with a re-solution, the factors and the
// histories. With interpolation, a matrix that a switching changed between steps
// is first solved again at the step's start (not at time zero: there is no
// previous step). Only a switching is solved again: a matrix changed by
// conductances of branches that hold no state across their change
// (e_s8::switched clear) is solved as the trapezoidal rule solves a conductance
// varying in time, the new value at the step's end, without the half step of
// chatter removal either; a re-solution at the step's start would take the
// previous instant with the new conductance, a local error of order dt^2 that
// adds up to first order over a ramp. A re-solution starts from the histories
// that keep inductor currents and capacitor voltages through the change.
// itriang is not called where it has nothing to do: on a step that is neither
// the first nor the last, with no row to assemble again (MXINV beyond the nodes),
// it neither factorises nor reports (its first-step settings, its test for rows
// to assemble and its end-of-run report are all it would look at). The histories
// take the columns of step 1 (c) when itriang was not called, otherwise again,
// and leave them for the first pass.
void open_step(std::int32_t ss, Passes& p, const wakro::SubsystemColumns& c, std::uint64_t c_key) {
  wakro::SubStep& s = p.s;
  const bool changed = e_s8::mxinv(ss) <= e_s0::mbus(ss);
  s.iflag = !e_s1::timezero && e_s8::switched(ss) && options::interpss(ss);
  s.iflag2 = s.iflag;
  const bool factorise = changed || e_s1::firststep || e_s1::laststep;
  if (factorise) {
    const bool chatter_before = temp1::stabck(ss);
    itriang(ss);
    // A factorisation marks a chatter step; one that no switching asked for
    // leaves the chatter state as it was: a matrix changed by conductances
    // alone, and the whole factorisation of an ideal subsystem at the first
    // step of a run resumed from a snapshot (the writing run, which goes on
    // from the same state, takes no chatter step there).
    if ((changed || e_s1::firststep) && !e_s1::timezero && !e_s8::switched(ss)) temp1::stabck(ss) = chatter_before;
  }
  p.c = factorise ? nullptr : &c;
  p.key = c_key;
  if (s.iflag) {
    startup_history(ss);
  } else {
    history(ss, pass_columns(ss, p));
  }
}

// Step 4.1: the solution of a pass and its crossing search. A solution at an
// instant takes the sources half a step on (see startup_history.cpp); the first
// one from that instant settles the values at it before anything reads them. The
// crossing search leaves the earliest crossing in frac and xearly of the record it
// is given (and reads nothing it writes).
void solve_and_search(std::int32_t ss, Passes& p, wakro::SubStep& later) {
  wakro::SubStep& s = p.s;
  const wakro::SubStep& at = solved_at(s, later);
  const wakro::SubsystemColumns& c = pass_columns(ss, p);
  buildca(ss, at, c);
  slvnew(ss, at, c);
  if (p.settle && !s.iflag) settle_instant_values(ss, s);
  p.settle = false;
  if (branches::nsw(ss) <= 0) {
    s.frac = s.xearly = wakro::kNoCrossing;  // without switches nothing crosses
  } else if (&at == &s) {
    p.c = nullptr;
    interpol(ss, s);
  } else {
    p.c = nullptr;
    interpol(ss, later);
    s.frac = later.frac;
    s.xearly = later.xearly;
  }
  s.notfirst = true;
}

// Step 4.2, a normal pass: where it ends (the earliest crossing, the chatter half
// step, or the step's end) and the solution time there.
void end_of_normal_pass(std::int32_t ss, Passes& p) {
  wakro::SubStep& s = p.s;
  p.halfstep = false;
  double x = s.frac;
  if (temp1::stabck(ss) && s.xearly > kCrossingBeforeHalfStep && s.elapsed < kHalfStep) {
    s.xearly = kHalfStep;
    temp1::stabck(ss) = false;
    p.halfstep = true;
    x = kHalfStep;
  }
  if (x + s.elapsed >= 1.0) {
    s.stepdone = true;
    if (s.elapsed > 0.0) {
      s.frac = 1.0 - s.elapsed;
      for (std::int32_t k = 1; k <= branches::nsw(ss); ++k)
        int1::xstor(branches::brnsw(k, ss), ss) = wakro::kNoCrossing;
    } else {
      s.notfirst = false;
      s.frac = 1.0;
    }
  } else {
    s.stepdone = false;
    s.frac = s.xearly + s.elapsed >= 1.0 ? 1.0 - s.elapsed : s.xearly;
  }
  s.fracv = s.frac;
  const double delt = e_s1::delt;
  int1::solution_time = delt * (ctrl::iii - 1) + (s.elapsed + s.frac) * delt;
}

// Step 4.2, a re-solution: a crossing found by it is a further switching at the
// same instant.
void end_of_resolution(Passes& p) {
  wakro::SubStep& s = p.s;
  p.halfstep = false;
  s.stepdone = false;
  if (s.frac <= 1.0) s.frac = std::min(s.xearly, 1.0);
  s.fracv = std::min(s.frac, 1.0);
}

// Step 4.3: the values moved to the pass's end. A solution at an instant whose
// switchings change no value there leaves the values as they are (it still
// looks for switches that follow at once).
void move_values(std::int32_t ss, Passes& p, wakro::SubStep& later) {
  const wakro::SubStep& moved = solved_at(p.s, later);
  if (p.s.iflag && p.keep) later.fracv = 0.0;
  incalcvi(ss, moved, pass_columns(ss, p));
  if (wakro::network_hooks().chatdt != &chatdt) p.c = nullptr;  // a replaced detector ran
}

// Step 4.5: a switch operates at frac: switch, re-factorise, solve again at this
// instant with the inductor currents, capacitor voltages and winding currents it
// has.
[[gnu::noinline]] void operate_switches(std::int32_t ss, Passes& p) {
  wakro::SubStep& s = p.s;
  if (!s.iflag) p.keep = true;  // a new instant
  s.iflag = true;
  p.c = nullptr;  // the switching routine and itriang may allocate
  wakro::network_hooks().switchbr(ss, s.frac);
  p.keep = p.keep && turned_on_without_jump(ss, s.frac);
  itriang(ss);
  startup_history(ss);
}

// One subsystem: steps 1 to 3, then the passes of step 4 until one ends the step.
// small: what a small subsystem's step needs of the whole network.
void solve_subsystem(std::int32_t ss, const wakro::SmallStepRun& small) {
  if (e_s0::mbus(ss) < 1) return;  // a subsystem without nodes has nothing to solve
  std::uint64_t c_key = 0;
  const wakro::SubsystemColumns& c = begin_step(ss, c_key);
  // A small plain subsystem's ordinary step, in one routine.
  if (wakro::small_subsystem_step(ss, c, small)) return;
  wakro::take_source_records(ss, c);  // the registered-source lookup of this step
  // Sources switched on at time zero act from that instant on (the histories
  // start from the initial currents and voltages of the data).
  if (e_s1::timezero && options::interpss(ss) && sources_switch_on(ss)) {
    start_at_time_zero(ss);
    e_s8::switched(ss) = true;
    return;
  }
  Passes p;
  wakro::SubStep& s = p.s;
  open_step(ss, p, c, c_key);
  for (std::int32_t pass = 1;; ++pass) {
    if (pass == wakro::kMaxSolutionPasses + 1) freeze_switches(ss);
    if (!options::rmchatter(ss)) temp1::stabck(ss) = false;
    wakro::SubStep later;
    solve_and_search(ss, p, later);
    if (s.iflag) {
      end_of_resolution(p);
    } else {
      end_of_normal_pass(ss, p);
    }
    move_values(ss, p, later);
    // Step 4.4: what follows the pass.
    if (s.iflag && s.frac >= 1.0) {
      // Nothing more switches at this instant: a normal solution follows from it.
      p.settle = !p.keep;
      s.iflag = s.iflag2 = false;
      history(ss);
      continue;
    }
    if (s.stepdone) {
      finishup(ss, pass_columns(ss, p));
      e_s8::switched(ss) = false;
      return;
    }
    if (!s.iflag) s.elapsed += s.frac;
    e_s1::onstep = false;
    if (p.halfstep) {
      temp1::stabck(ss) = false;
      s.iflag = s.iflag2 = false;
      history(ss);
      continue;
    }
    operate_switches(ss, p);
  }
}

}  // namespace

void intsolvi() {
  auto& hooks = wakro::network_hooks();
  if (e_s1::timezero) {
    time_zero_lists();
    wakro::reset_small_step_pauses(int2::nmat);
  }
  if (ndde::e_ndim(dim::tlines_total) > 0) hooks.dsldyn();
  if (int2::nmat < 1) {
    hooks.dslout();
    return;
  }
  const wakro::SmallStepRun small = wakro::small_step_run();
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) solve_subsystem(ss, small);
  hooks.dslout();
}

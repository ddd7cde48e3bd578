// incalcvi: moves the whole network state of subsystem ss to the end of the
// sub-step chosen by the driver, by the fraction f = fracv.
//
// With the step solved in one go (notfirst false) the new values are copied;
// otherwise each value x becomes x + (x_new - x) * f, and on a normal pass each
// step quantity with a previous-step copy xd moves towards it: xd + (x - xd) * f.
// Leaves: VDC and CCGM; per branch CBR, CCBR, V12L, CCL, V20L, CCC (and EBRD of a
// registered source under source extrapolation); the energy of an arrester in
// e_s2::stor; the transformer winding currents CDCTR and histories CCMC, with the
// UMEC core quantities; then the MNA and ideal-branch currents through their
// own routines. On the last sub-step with chatter detection, the chatter detector sees
// the new voltages and currents before they are taken over (spcial::cbrnew).
// A re-solution at an instant (iflag) keeps the currents of inductive branches,
// the voltages of capacitive parts and the winding currents: they are continuous
// through a switching (the current it gives an inductive branch goes to
// spcial::cbrnew for settle_instant_values). Every branch current is formed with
// the history the solution used (CCBR, at a re-solution the one that keeps the
// branch's state), never with the previous step's.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "diag/message.h"
#include "diag/quit.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/clvi.h"
#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/e_s5.h"
#include "model/tf_subsystems.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/mna.h"
#include "model/options.h"
#include "model/spcial.h"
#include "model/storage.h"
#include "model/temp1.h"
#include "model/umec.h"
#include "network/branch_terms.h"
#include "network/branch_view.h"
#include "network/chatter.h"
#include "network/ground.h"
#include "network/hooks.h"
#include "network/ideal_branches.h"
#include "network/mna_routines.h"
#include "network/solution.h"

namespace {

using wakro::at_node;

// x moved towards x_new by f.
inline double towards(double x, double x_new, double f) { return x + (x_new - x) * f; }

#ifdef __SSE2__
// A few nodes are checked one at a time: the pairs' set-up would cost more.
constexpr std::int32_t kNodePairsMin = 16;

// The voltage check and the voltages taken over for nodes 1, 2, ... two at a
// time, as chatter_count and towards do one at a time (the same operations on
// each lane, the comparisons' masks narrowed to the counters' 32 bits), over
// the whole pairs of the n nodes; `first` lowered to the first node that fired.
// The arrays by node from 1 at [k - 1]. Returns the node to go on from.
std::int32_t checked_node_pairs(std::int32_t n, double* vdc, const double* vnew,
                                std::int32_t* counter, double level, double f, bool notfirst,
                                std::int32_t& first) {
  const __m128d two = _mm_set1_pd(2.0);
  const __m128d sign = _mm_set1_pd(-0.0);
  const __m128d level2 = _mm_set1_pd(level);
  const __m128d f2 = _mm_set1_pd(f);
  const __m128i one = _mm_set1_epi32(1);
  const __m128i four = _mm_set1_epi32(4);
  // c + 4 > 8 unsigned, as a signed comparison of both sides shifted by 2^31.
  const __m128i bias = _mm_set1_epi32(INT32_MIN);
  const __m128i eight = _mm_set1_epi32(8 + INT32_MIN);
  // The low 32 bits of each 64-bit mask, in the two low lanes.
  const auto narrow = [](__m128d m) {
    return _mm_shuffle_epi32(_mm_castpd_si128(m), _MM_SHUFFLE(2, 0, 2, 0));
  };
  std::int32_t k = 0;  // from 0
  for (; k + 1 < n; k += 2) {
    const __m128d x = _mm_loadu_pd(vnew + k);
    const __m128d y = _mm_loadu_pd(vdc + k);
    const __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(counter + k));
    const __m128d mean = _mm_div_pd(_mm_add_pd(x, y), two);
    const __m128i big = narrow(_mm_cmpgt_pd(_mm_andnot_pd(sign, _mm_sub_pd(x, mean)), level2));
    const __m128i down = narrow(_mm_cmplt_pd(x, mean));
    const __m128i grew = _mm_and_si128(big, _mm_xor_si128(_mm_srai_epi32(c, 31), down));
    const __m128i far =
        _mm_cmpgt_epi32(_mm_xor_si128(_mm_add_epi32(c, four), bias), eight);
    const int fired = _mm_movemask_ps(_mm_castsi128_ps(_mm_and_si128(grew, far))) & 3;
    // (1 - 2 down) - (grew & c), down and grew as masks of all ones.
    const __m128i next = _mm_sub_epi32(_mm_add_epi32(one, _mm_add_epi32(down, down)),
                                       _mm_and_si128(grew, c));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(counter + k), next);
    if (fired != 0 && first > n) first = k + ((fired & 1) != 0 ? 1 : 2);
    _mm_storeu_pd(vdc + k, notfirst ? _mm_add_pd(y, _mm_mul_pd(_mm_sub_pd(x, y), f2)) : x);
  }
  return k + 1;
}
#endif

// Node voltages and the history sum. With `check` the own chatter detector's
// voltage check runs where each new voltage is taken over, on the previous
// voltage it replaces (its counters moved on, the flag settled after the pass),
// as chatdt(ss, 1) would run before them; the caller has made sure the flag was
// clear when the check began.
void node_voltages(std::int32_t ss, const wakro::SubsystemColumns& c, double f, bool notfirst,
                   bool normal, bool check) {
  const std::int32_t n = e_s0::mbus(ss);
  const auto& vdc = c.vdc;
  const double* const vnew = spcial::vdcnew.data() - 1;
  if (check) {
    std::int32_t* const counter = &clvi::icntv(1, ss) - 1;
    const double level = int2::glvl(ss);
    std::int32_t first = n + 1;  // the first node whose chatter fired
    std::int32_t k = 1;
#ifdef __SSE2__
    if (n >= kNodePairsMin)
      k = checked_node_pairs(n, vdc.first, vnew + 1, counter + 1, level, f, notfirst, first);
#endif
    for (; k <= n; ++k) {
      bool fired = false;
      counter[k] = chatter_count(vnew[k], vdc[k], level, counter[k], fired);
      first = fired && k < first ? k : first;
      vdc[k] = notfirst ? towards(vdc[k], vnew[k], f) : vnew[k];
    }
    if (first <= n) chatdt_nodes_fired(ss, first);
  } else {
    for (std::int32_t k = 1; k <= n; ++k) vdc[k] = notfirst ? towards(vdc[k], vnew[k], f) : vnew[k];
  }
  if (!notfirst || !normal) return;
  const auto& ccgm = c.ccgm;
  const auto& ccgmd = c.ccgmd;
  for (std::int32_t k = 1; k <= n; ++k) ccgm[k] = towards(ccgmd[k], ccgm[k], f);
}

// Energy of an arrester over the time since its last update, with the
// branch current this sub-step ends with.
void arrester_energy(std::int32_t ss, std::int32_t br, double i_end) {
  using e_s2::stor;
  const std::int32_t t = branches::thisbr(br, ss);
  if (t <= 0) return;
  const std::int32_t k = storage::stori(t + 1);
  const double now = int1::solution_time;
  if (stor(k + 2) > now) stor(k + 2) = now;
  if (std::lround(stor(k + 3)) == 1) {
    const std::int32_t j = static_cast<std::int32_t>(std::lround(stor(k + 1)));
    const double v = vbranch(ss, br);
    stor(j) += std::abs((stor(j - 2) + i_end) * (v + stor(j - 1))) * (now - stor(k + 2)) * 250.0;
    stor(j - 2) = i_end;
    stor(j - 1) = v;
  }
  stor(k + 2) = now;
}

// The current a branch's history gives at the sub-step's end: the history current
// the solution used for a branch that is not deferred, otherwise its current
// source for the sub-step.
inline double history_current(const wakro::SubsystemColumns& c, std::int32_t br,
                              const wakro::SubStep& s, bool deferred, double ccbr) {
  return deferred ? wakro::current_source(c, br, s) : ccbr;
}

// What the pass over the branches does with a new current under chatter detection.
enum class CurrentChatter {
  none,      // no detection: the new current is taken over at once
  deferred,  // kept in cbrnew for a replaced detector, taken over after it
  in_pass,   // checked by the own detector as it is formed, then taken over
  collect,   // how in_pass runs: its counter moved on as it is formed, the flag
             // settled after the pass
};

// A few branches are not worth checking the class lists for.
constexpr std::int32_t kClassPassMin = 16;

// True when a branch is a plain series R-L branch (as BranchClasses tells them):
// an inductive part, no capacitive part, no source, not deferred, not ideal, not
// an arrester.
inline bool plain_series_rl(const wakro::SubsystemColumns& c, std::int32_t br) {
  return (c.inductor[br] & !c.capacitr[br] & !c.source[br] & !c.defrdbr[br] & !c.idealbr[br] &
          (c.iorv[br] != wakro::switch_mode::arrester)) != 0;
}

// True when every branch of a few is a plain series R-L branch.
inline bool all_plain(const wakro::SubsystemColumns& c, std::int32_t nbr) {
  bool plain = nbr < kClassPassMin;
  for (std::int32_t br = 1; plain && br <= nbr; ++br) plain = plain_series_rl(c, br);
  return plain;
}

// The branch states of a normal solution of a few branches, all of them plain
// series R-L branches: what branch_states does for them (each u formed with the
// zero source voltage added, as its pass over any branch forms it), with the own
// detector's current check when asked (`check`; a set flag restarts every
// counter instead).
void plain_branch_states(std::int32_t ss, const wakro::SubsystemColumns& c, const wakro::SubStep& s,
                         bool check) {
  const std::int32_t nbr = int2::insb(ss);
  if (check && temp1::stabck(ss)) {
    chatdt_branches_held(ss);
    check = false;
  }
  const double f = s.fracv;
  const bool notfirst = s.notfirst;
  const double* const v = spcial::vdcnew.data() - 1;  // by node
  const wakro::BranchColumn<std::int32_t> counter{&clvi::icntbr(1, ss)};
  const double level = int2::glvl(ss);
  std::int32_t first = nbr + 1;  // the first branch whose chatter fired
  for (std::int32_t br = 1; br <= nbr; ++br) {
    const std::int32_t from = c.ief[br];
    const std::int32_t to = c.iet[br];
    const double u = (from > 0 ? v[from] : 0.0) - (to > 0 ? v[to] : 0.0) + 0.0;
    const double i = c.geq[br] * u + c.ccbr[br];
    if (check) {
      bool fired = false;
      counter[br] = chatter_count(i, c.cbr[br], level, counter[br], fired);
      first = fired && br < first ? br : first;
    }
    c.cbr[br] = notfirst ? towards(c.cbr[br], i, f) : i;
    c.ccbr[br] = towards(c.ccbrd[br], c.ccbr[br], f);
    const double p = c.rcl[br] * c.ccc[br] + c.rlg[br] * u - c.rsc[br] * c.ccl[br];
    c.v12l[br] = notfirst ? towards(c.v12l[br], p, f) : p;
    c.ccl[br] = towards(c.ccld[br], c.ccl[br], f);
  }
  if (check && first <= nbr) chatdt_branches_fired(ss, first);
}

// What a pass over the branches knows before it starts: a normal solution or a
// re-solution, what it does with a new current (none, deferred or collect), and
// whether a solution of the step exists already (values are then moved by the
// fraction, otherwise copied). Each kind gets a copy of the branch update of its
// own, with these tests folded.
template <bool Normal, CurrentChatter Check, bool NotFirst>
struct PassKind {
  static constexpr bool normal = Normal;
  static constexpr CurrentChatter check = Check;
  static constexpr bool notfirst = NotFirst;
};

// f called with the PassKind of (normal, check, notfirst).
template <bool Normal, CurrentChatter Check, class F>
[[gnu::always_inline]] inline void with_notfirst(bool notfirst, F&& f) {
  if (notfirst) return f(PassKind<Normal, Check, true>{});
  f(PassKind<Normal, Check, false>{});
}
template <class F>
[[gnu::always_inline]] inline void with_pass_kind(bool normal, CurrentChatter check, bool notfirst,
                                                  F&& f) {
  using C = CurrentChatter;
  if (normal) {
    if (check == C::collect) return with_notfirst<true, C::collect>(notfirst, f);
    if (check == C::deferred) return with_notfirst<true, C::deferred>(notfirst, f);
    return with_notfirst<true, C::none>(notfirst, f);
  }
  if (check == C::collect) return with_notfirst<false, C::collect>(notfirst, f);
  if (check == C::deferred) return with_notfirst<false, C::deferred>(notfirst, f);
  with_notfirst<false, C::none>(notfirst, f);
}

// What a pass knows of the kind of the branches it updates: nothing (each flag
// read from the columns) or their shape (a group of BranchClasses: the flags of
// the shape, neither ideal nor an arrester), with which their update loses its
// tests.
struct AnyShape {
  static constexpr bool known = false;
  static constexpr bool source = false, inductor = false, capacitr = false, deferred = false;
};
template <std::int32_t Shape>
struct KnownShape {
  using K = wakro::BranchClasses;
  static constexpr std::int32_t index = Shape;
  static constexpr bool known = true;
  static constexpr bool source = (Shape & K::kShapeSource) != 0;
  static constexpr bool inductor = (Shape & K::kShapeInductor) != 0;
  static constexpr bool capacitr = (Shape & K::kShapeCapacitor) != 0;
  static constexpr bool deferred = (Shape & K::kShapeDeferred) != 0;
};

// f called with KnownShape<g> for every shape g but the plain series R-L one
// (which has a pass of its own), the shapes in turn. All of it inline: a pass
// made out of line would take the addresses of the branch pass's locals, which
// the general pass would then keep in memory.
template <class F, std::int32_t... G>
[[gnu::always_inline]] inline void for_other_shapes(F&& f, std::integer_sequence<std::int32_t, G...>) {
  constexpr std::int32_t series_rl = wakro::BranchClasses::kShapeInductor;
  (([&]() __attribute__((always_inline)) {
     if constexpr (G != series_rl) f(KnownShape<G>{});
   }()),
   ...);
}

// The new node voltages (spcial::vdcnew) of the n nodes of a subsystem by node
// from 0, ground's 0 at [0]: a branch end, ground or a node of the subsystem, is
// read without a test. Kept between calls; grows with the node count only.
const double* voltages_from_ground(std::int32_t n) {
  static std::vector<double> kept;
  const std::size_t nodes =
      static_cast<std::size_t>(std::clamp<std::int64_t>(n, 0, spcial::vdcnew.size()));
  if (kept.size() < nodes + 1) kept.resize(nodes + 1);
  kept[0] = 0.0;
  if (nodes > 0) std::memcpy(kept.data() + 1, spcial::vdcnew.data(), nodes * sizeof(double));
  return kept.data();
}

// Branch currents and part voltages, the arrays in local views. ByShape: a
// normal solution of kClassPassMin branches or more without a replaced
// detector, taken by the branches' shapes; otherwise every branch in one pass.
// Each is a function of its own, so that the one pass keeps to what it needs.
template <bool ByShape>
void branch_states(std::int32_t ss, const wakro::SubsystemColumns& c, const wakro::SubStep& step,
                   CurrentChatter chatter_mode, const double*& made_from_ground) {
  // A copy that no store of the pass can reach: its fields stay in registers.
  const wakro::SubStep s = step;
  CurrentChatter current_check = chatter_mode;  // what any_branch does with a new current
  const double f = s.fracv;
  const bool notfirst = s.notfirst;
  const bool normal = !s.iflag;
  const bool xterp = options::xterpsrc(ss);
  const bool extrapolated = normal && xterp && !s.iflag2;
  const auto& vnew = spcial::vdcnew;
  const auto& ief = c.ief;
  const auto& iet = c.iet;
  const auto& source = c.source;
  const auto& inductor = c.inductor;
  const auto& capacitr = c.capacitr;
  const auto& defrdbr = c.defrdbr;
  const auto& idealbr = c.idealbr;
  const auto& iorv = c.iorv;
  const auto& ebr = c.ebr;
  const auto& ebrd = c.ebrd;
  const auto& geq = c.geq;
  const auto& cbr = c.cbr;
  const auto& ccbr = c.ccbr;
  const auto& ccbrd = c.ccbrd;
  const auto& ccl = c.ccl;
  const auto& ccld = c.ccld;
  const auto& ccc = c.ccc;
  const auto& cccd = c.cccd;
  const auto& v12l = c.v12l;
  const auto& v20l = c.v20l;
  const auto& rcl = c.rcl;
  const auto& rlg = c.rlg;
  const auto& rcg = c.rcg;
  const auto& rsc = c.rsc;
  const auto& rsl = c.rsl;
  const wakro::BranchColumn<double> cbrnew{spcial::cbrnew.data()};
  const wakro::BranchColumn<std::int32_t> counter{&clvi::icntbr(1, ss)};
  const double level = int2::glvl(ss);
  std::int32_t first = int2::insb(ss) + 1;  // the first branch whose chatter fired
  // The records are looked up at the first branch with a source (a subsystem
  // without one never asks).
  const wakro::SourceRecords* records = nullptr;
  // The new voltages by node from 0 (ground at [0]), for the passes by shape.
  const double* from_ground = nullptr;
  // Inlined into both passes below: a call per branch would reach every view
  // through the closure. `kind` (a PassKind) folds the tests of the pass.
  // `shape` (AnyShape or a KnownShape) tells what is known of the branch's kind.
  const auto any_branch = [&](std::int32_t br, auto kind, auto shape) __attribute__((always_inline)) {
    constexpr bool normal = decltype(kind)::normal;
    constexpr bool chatter = decltype(kind)::check == CurrentChatter::deferred;
    constexpr bool collect = decltype(kind)::check == CurrentChatter::collect;
    constexpr bool notfirst = decltype(kind)::notfirst;
    using S = decltype(shape);
    // In a pass by shape, the sub-step with what the kind knows of it written in
    // (the very values it holds: the kind was chosen from them), so that the
    // source and current rules lose their tests of them.
    wakro::SubStep known = s;
    known.iflag = !normal;
    known.notfirst = notfirst;
    const wakro::SubStep& sk = S::known ? known : s;
    // A flag of the branch: the shape's, or read where it is needed.
    const auto flag = [br](bool of_shape, const wakro::BranchColumn<bool>& column)
                          __attribute__((always_inline)) {
      return S::known ? of_shape : column[br];
    };
    const auto ideal = [&]() __attribute__((always_inline)) { return flag(false, idealbr); };
    // Step 1: source voltage at the sub-step's end (the registered-source lookup
    // of the step only for a branch with a source: nothing else reads it). A
    // pass by shape has the records already, and names the last owner after it.
    double e = 0.0;
    if (flag(S::source, source)) {
      if (!S::known && records == nullptr) records = &wakro::source_records(ss);
      const std::size_t k = static_cast<std::size_t>(br - 1);
      if (!S::known) storage::this_ = records->owner[k];
      const bool regsrc = records->registered[k] != 0;
      if (extrapolated && regsrc) ebrd[br] = notfirst ? towards(ebrd[br], ebr[br], f) : ebr[br];
      e = wakro::source_voltage_with(c, br, sk, [regsrc, xterp] { return regsrc && xterp; }, false);
    }
    // A pass by shape reads the ends in the voltages from ground (no test for it).
    const double u = S::known ? from_ground[ief[br]] - from_ground[iet[br]] + e
                              : at_node(vnew, ief[br]) - at_node(vnew, iet[br]) + e;
    const bool deferred = flag(S::deferred, defrdbr);
    const bool has_l = flag(S::inductor, inductor);
    // Step 2: branch current. A re-solution at an instant keeps the current of an
    // inductive branch: it is continuous through the switching. The current the
    // re-solution gives it waits in cbrnew for the values moved back to the
    // instant (settle_instant_values), which must meet the node currents of the
    // same solutions.
    const bool keeps_current = !normal && has_l && !deferred;
    if (keeps_current && !ideal()) cbrnew[br] = geq[br] * u + ccbr[br];
    if (!ideal() && !keeps_current) {
      const double i = geq[br] * u + history_current(c, br, sk, deferred, ccbr[br]);
      if (chatter) {
        cbrnew[br] = i;
      } else if (collect) {
        bool fired = false;
        counter[br] = chatter_count(i, cbr[br], level, counter[br], fired);
        if (fired && br < first) first = br;
        cbr[br] = notfirst ? towards(cbr[br], i, f) : i;
      } else {
        cbr[br] = notfirst ? towards(cbr[br], i, f) : i;
      }
    }
    // Step 3: history and part voltages.
    if (!deferred) {
      if (normal) ccbr[br] = towards(ccbrd[br], ccbr[br], f);
      if (has_l) {
        const double p = rcl[br] * ccc[br] + rlg[br] * u - rsc[br] * ccl[br];
        v12l[br] = notfirst ? towards(v12l[br], p, f) : p;
        if (normal) ccl[br] = towards(ccld[br], ccl[br], f);
      }
      if (flag(S::capacitr, capacitr)) {
        const double q = rcl[br] * ccl[br] + rcg[br] * u - rsl[br] * ccc[br];
        // A re-solution keeps the capacitor's voltage (continuous through it).
        if (normal) v20l[br] = notfirst ? towards(v20l[br], q, f) : q;
        if (normal) ccc[br] = towards(cccd[br], ccc[br], f);
      }
    }
    // Step 4: arrester energy, with the current the sub-step ends with (under chatter
    // detection the new current is still in cbrnew here).
    if (!S::known && iorv[br] == wakro::switch_mode::arrester) {
      double i_end = cbr[br];
      if (chatter && !ideal()) i_end = notfirst ? towards(cbr[br], cbrnew[br], f) : cbrnew[br];
      arrester_energy(ss, br, i_end);
    }
  };

  const std::int32_t nbr = int2::insb(ss);
  // The own chatter detector's current check (on a normal solution only) moves
  // each counter on where the current is formed; the flag, which clears every
  // later counter in branch order, is settled once after the pass, so that the
  // counters end as a check branch by branch leaves them.
  const bool held = chatter_mode == CurrentChatter::in_pass && temp1::stabck(ss);
  const bool check = chatter_mode == CurrentChatter::in_pass && !held;
  if (chatter_mode == CurrentChatter::in_pass)
    current_check = check ? CurrentChatter::collect : CurrentChatter::none;
  const auto settle_flag = [&] {
    if (held) chatdt_branches_held(ss);
    if (check && first <= nbr) chatdt_branches_fired(ss, first);
  };
  if constexpr (!ByShape) {
    const auto every_branch = [&](auto kind) __attribute__((always_inline)) {
      for (std::int32_t br = 1; br <= nbr; ++br) any_branch(br, kind, AnyShape{});
    };
    with_pass_kind(normal, current_check, notfirst, every_branch);
    settle_flag();
  } else {
    // A normal solution: the plain series R-L branches in a pass of their own
    // (what any_branch does for them, without its tests), then the branches of
    // every other shape, a pass per shape (any_branch with the shape's tests
    // folded), then the ideal branches and the arresters. Each branch's update
    // reads and writes its own entries only; of the owners that the updates of the
    // branches with a source name in storage::this_, the one named last in branch
    // order is named again at the end.
    const wakro::BranchClasses& classes = wakro::branch_classes(ss);
    if (classes.last_source > 0) records = &wakro::source_records(ss);
    from_ground = voltages_from_ground(e_s0::mbus(ss));
    made_from_ground = from_ground;
    const double* const v = from_ground;  // by node, ground at [0]
    const auto series_rl = [&](auto checked) __attribute__((always_inline)) {
      for (const std::int32_t br : classes.series_rl) {
        const double u = v[ief[br]] - v[iet[br]];
        const double i = geq[br] * u + ccbr[br];
        if constexpr (decltype(checked)::value) {
          bool fired = false;
          counter[br] = chatter_count(i, cbr[br], level, counter[br], fired);
          first = fired && br < first ? br : first;
        }
        cbr[br] = notfirst ? towards(cbr[br], i, f) : i;
        ccbr[br] = towards(ccbrd[br], ccbr[br], f);
        const double p = rcl[br] * ccc[br] + rlg[br] * u - rsc[br] * ccl[br];
        v12l[br] = notfirst ? towards(v12l[br], p, f) : p;
        ccl[br] = towards(ccld[br], ccl[br], f);
      }
    };
    if (check) {
      series_rl(std::true_type{});
    } else {
      series_rl(std::false_type{});
    }
    const std::int32_t* const shaped = classes.shaped.data();
    const auto other_branches = [&](auto kind) __attribute__((always_inline)) {
      const auto one_shape = [&](auto shape) __attribute__((always_inline)) {
        constexpr auto g = static_cast<std::size_t>(decltype(shape)::index);
        const std::int32_t end = classes.shape_begin[g + 1];
        for (std::int32_t k = classes.shape_begin[g]; k < end; ++k) any_branch(shaped[k], kind, shape);
      };
      for_other_shapes(one_shape, std::make_integer_sequence<std::int32_t, wakro::BranchClasses::kShapes>{});
      for (const std::int32_t br : classes.irregular) any_branch(br, kind, AnyShape{});
    };
    // Only a normal solution is taken by shape.
    with_pass_kind(true, current_check, notfirst, other_branches);
    if (classes.last_source > 0)
      storage::this_ = records->owner[static_cast<std::size_t>(classes.last_source - 1)];
    settle_flag();
  }
}

// Transformer winding currents and histories. A re-solution at an instant keeps
// the winding currents (continuous through the switching, like an inductor's).
// from_ground: the new voltages by node from 0 (ground at [0]) when the branch
// pass made them, else null (they are then made here when needed).
void transformers(std::int32_t ss, double f, bool notfirst, bool normal,
                  const double* from_ground) {
  using namespace e_s5;
  if (numt(ss) <= 0 || jset <= 0) return;
  // A re-solution keeps every winding quantity: nothing to form.
  const double* const vnew =
      !normal || from_ground != nullptr ? from_ground : voltages_from_ground(e_s0::mbus(ss));
  const std::int32_t units = numt(ss);
  // Column t of a per-winding array, by winding from 1.
  const auto winding = [](auto& a, std::int32_t t) {
    return a.data() + static_cast<std::ptrdiff_t>(t - 1) * a.extent(1) - 1;
  };
  const std::ptrdiff_t rows = hm.extent(1);
  const std::ptrdiff_t square = rows * hm.extent(2);
  std::int32_t count = 0;
  for (const std::int32_t t : in_subsystem(ss, int2::nmat)) {
    if (++count > units) {
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                    "Error during solution of transformers. ");
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                    "Transformer Subsystem Numbers are mis-aligned");
      wakro_quit("INCALCVI", 0);
    }
    const bool core = nummag(t) == 1;
    const std::int32_t nw = msiz(t);
    const std::int32_t* const from = winding(mcb, t);
    const std::int32_t* const to = winding(ncb, t);
    double* const hist = winding(ccmc, t);
    const double* const hist_before = winding(ccmcd, t);
    double* const cur = winding(e_s0::cdctr, t);
    if (!normal) continue;
    const double* const y = hm.data() + (t - 1) * square;  // hm(w, j, t) at y[(j - 1) * rows + w - 1]
    for (std::int32_t w = 1; w <= nw; ++w) {
      double d = hist[w];
      for (std::int32_t w2 = 1; w2 <= nw; ++w2) {
        d += y[(w2 - 1) * rows + (w - 1)] * (vnew[from[w2]] - vnew[to[w2]]);
      }
      cur[w] = notfirst ? towards(cur[w], d, f) : d;
      if (notfirst) {
        hist[w] = towards(hist_before[w], hist[w], f);
        if (core) {
          umec::fininjs(w, t) = towards(umec::fininjsd(w, t), umec::fininjs(w, t), f);
          umec::dvolt(w, t) = towards(umec::dvoltd(w, t), umec::dvolt(w, t), f);
          umec::dvoltd(w, t) = umec::dvolt(w, t);
        }
      }
    }
    if (normal && core)
      for (std::int32_t p = 1; p <= umec::kFluxPaths; ++p)
        umec::dphi(p, t) = towards(umec::dphid(p, t), umec::dphi(p, t), f);
  }
}

}  // namespace

void incalcvi(std::int32_t ss, const wakro::SubStep& s) {
  incalcvi(ss, s, wakro::subsystem_columns(ss));
}

void incalcvi(std::int32_t ss, const wakro::SubStep& s, const wakro::SubsystemColumns& taken) {
  const double f = s.fracv;
  const bool notfirst = s.notfirst;
  const bool normal = !s.iflag;
  const bool chatter = s.stepdone && options::dtchatter(ss);
  auto& hooks = wakro::network_hooks();

  // The engine's own detector checks each new current inside the branch pass; a
  // detector put in its place sees them all in cbrnew afterwards.
  const bool own_detector = hooks.chatdt == &chatdt;
  CurrentChatter chatter_mode = CurrentChatter::none;
  if (chatter) chatter_mode = own_detector ? CurrentChatter::in_pass : CurrentChatter::deferred;

  // Step 1: voltage chatter, new against previous: a replaced detector (and the
  // own one with the flag already set, which only clears its counters) before
  // the voltages are taken over; otherwise the own one in step 2.
  const bool check_voltages = chatter && own_detector && !temp1::stabck(ss);
  const bool detector_first = chatter && !check_voltages;
  if (detector_first) hooks.chatdt(ss, 1);
  // Step 2: node voltages (the columns taken again after a detector was called).
  const wakro::SubsystemColumns& c = detector_first ? wakro::subsystem_columns(ss) : taken;
  node_voltages(ss, c, f, notfirst, normal, check_voltages);
  // Step 3: branch states (with the current chatter of the own detector).
  const double* from_ground = nullptr;  // made by a pass by shape
  if (normal && chatter_mode != CurrentChatter::deferred && all_plain(c, int2::insb(ss))) {
    plain_branch_states(ss, c, s, chatter_mode == CurrentChatter::in_pass);
  } else if (!normal || chatter_mode == CurrentChatter::deferred ||
             int2::insb(ss) < kClassPassMin) {
    branch_states<false>(ss, c, s, chatter_mode, from_ground);
  } else {
    branch_states<true>(ss, c, s, chatter_mode, from_ground);
  }
  // Step 4: current chatter of a replaced detector, then the new currents taken over.
  if (chatter_mode == CurrentChatter::deferred) {
    hooks.chatdt(ss, 2);
    for (std::int32_t br = 1; br <= int2::insb(ss); ++br) {
      if (branches::idealbr(br, ss)) continue;
      branches::cbr(br, ss) =
          notfirst ? towards(branches::cbr(br, ss), spcial::cbrnew(br), f) : spcial::cbrnew(br);
    }
  }
  // Step 5: transformer windings.
  transformers(ss, f, notfirst, normal, from_ground);
  // Step 6: MNA elements.
  if (mna::mna_elem.allocated() && mna::mna_elem(ss) > 0) update_current(ss);
  // Step 7: ideal-branch currents (none without ideal branches).
  if (!e_s0::idealss(ss)) return;
  double unused = 0.0;
  idlcur(ss, f, 0, unused, s.stepdone, s.iflag);
}

// startup_history and settle_instant_values: the solution of subsystem ss at a
// switching instant, so that the switching acts at that instant.
//
// At the instant the inductor currents and the capacitor voltages are those of the
// network before the switching; what jumps are the voltages across inductors and
// the currents through capacitors, which the new topology alone decides. The
// companion conductances of the trapezoidal rule over a step dt are also those of
// the backward-Euler rule over half a step (2L/dt, 2C/dt), so the solution with
//   inductive part:  CCL := i          (i_L = i + v_L / X_L)
//   capacitive part: CCC := -v_C / X_C (i_C = (v_C' - v_C) / X_C)
// moves the new topology half a step on from the instant while keeping i_L and
// v_C as they are. The trapezoidal history formed from the kept currents and
// voltages and from this solution's voltages across the inductive parts and
// currents through the capacitive parts starts the step from the instant; those
// differ from their values just after the instant by O(dt), which enters the
// history times dt/2L or dt/2C: a second-order error. The backward-Euler solution
// also damps at once a mode the trapezoidal rule would keep alternating, such as
// an inductor current forced into an opened switch.
//
// Coupled windings (i = Y v + h, Y = HM, SM = I - 2 Y R) are held the same way:
// the backward-Euler half step from the winding currents i0 has h = (I + SM) i0/2.
//
// The driver solves at the instant, inside a step or at its start, with the
// sources half a step on, so that the solution stands wholly for the network
// about half a step after the instant. settle_instant_values then, once the first
// solution from the instant exists (y_new, a step on), replaces the values the
// new topology decides by their straight-line extrapolation back to the instant,
// y := 2 y - y_new, a second-order value: node voltages and the currents of every
// branch and winding, an inductive branch's from the current the solution at the
// instant gave it (kept aside in spcial::cbrnew, since the branch itself kept its
// current). Both solutions meet every node's currents, and so do the values moved
// back and everything interpolated from them. The interpolation and the crossing
// tests of that sub-step then start from values that belong to the instant. The
// history of an inductive part stays that of the kept current: its voltage V12L
// takes up the difference between the kept and the moved-back current (CCL =
// V12L G2L + i unchanged), which is the history of the backward-Euler half step
// that a stiff loop needs to settle; its O(dt) offset enters a later history only
// times dt/2L.
//
// startup_history leaves: CCL, CCC and CCBR of every non-deferred branch with an
// L or C part, and CCMC of every winding of the subsystem's transformers, replaced
// by the values above, and e_s0::ccgm(1..MBUS, ss) changed by the same amounts.
// CCLD, CCCD, CCBRD, CCMCD and CCGMD are not touched; temp2::av is its workspace.
// settle_instant_values leaves: VDC(1..MBUS, ss), CBR of every branch that is not
// ideal and V12L of every non-deferred inductive one, CDCTR of the windings, moved
// back to the instant; temp2::av and temp2::ac are its workspace.
#include <cstddef>
#include <span>

#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s5.h"
#include "model/int2.h"
#include "model/spcial.h"
#include "model/storage.h"
#include "model/temp2.h"
#include "model/tf_subsystems.h"
#include "network/branch_terms.h"
#include "network/branch_view.h"
#include "network/ground.h"
#include "network/solution.h"

namespace {

// The coupled windings of one transformer, as columns by winding from 1.
struct Windings {
  std::int32_t n = 0;
  const std::int32_t* from = nullptr;
  const std::int32_t* to = nullptr;
  double* hist = nullptr;              // CCMC
  const double* hist_before = nullptr;  // CCMCD
  double* cur = nullptr;                // CDCTR
  const double* y = nullptr;            // HM: y[(j - 1) * rows + w - 1]
  const double* q = nullptr;            // SM, laid out as HM
  std::ptrdiff_t rows = 0;

  explicit Windings(std::int32_t t) {
    using namespace e_s5;
    const auto column = [t](auto& a) {
      return a.data() + static_cast<std::ptrdiff_t>(t - 1) * a.extent(1) - 1;
    };
    n = msiz(t);
    from = column(mcb);
    to = column(ncb);
    hist = column(ccmc);
    hist_before = column(ccmcd);
    cur = column(e_s0::cdctr);
    rows = hm.extent(1);
    const std::ptrdiff_t square = rows * hm.extent(2);
    y = hm.data() + (t - 1) * square;
    q = sm.data() + (t - 1) * square;
  }
  // sum over windings j of a(w, j) x(j), x by winding.
  double row(const double* a, std::int32_t w, const double* x) const {
    double s = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) s += a[(j - 1) * rows + (w - 1)] * x[j];
    return s;
  }
  // Voltage across winding w from node voltages v (by node).
  double voltage(const double* v, std::int32_t w) const {
    return (from[w] > 0 ? v[from[w]] : 0.0) - (to[w] > 0 ? v[to[w]] : 0.0);
  }
};

// The transformers of ss (none when the case has no windings).
std::span<const std::int32_t> transformers_of(std::int32_t ss) {
  if (e_s5::jset <= 0 || !e_s5::numt.allocated() || e_s5::numt(ss) <= 0) return {};
  return e_s5::in_subsystem(ss, int2::nmat);
}

}  // namespace

void startup_history(std::int32_t ss) {
  using namespace branches;
  const std::int32_t nbr = int2::insb(ss);
  for (std::int32_t br = 1; br <= nbr; ++br) {
    if (defrdbr(br, ss)) continue;
    const bool has_l = inductor(br, ss);
    const bool has_c = capacitr(br, ss);
    if (!has_l && !has_c) continue;
    double h = 0.0;
    if (has_l) {
      ccl(br, ss) = cbr(br, ss);
      h = ccl(br, ss) * rlg(br, ss);
    }
    if (has_c) {
      ccc(br, ss) = -(v20l(br, ss) * g2c(br, ss));
      h += ccc(br, ss) * rcg(br, ss);
    }
    const double change = h - ccbr(br, ss);
    ccbr(br, ss) = h;
    const std::int32_t f = ief(br, ss);
    const std::int32_t t = iet(br, ss);
    if (f > 0) e_s0::ccgm(f, ss) += change;
    if (t > 0) e_s0::ccgm(t, ss) -= change;
  }
  // Coupled windings, i = Y v + h with Y = HM and SM = I - 2 Y R: the backward-
  // Euler half step from the winding currents i0 has h = (I - Y R) i0 =
  // (I + SM) i0 / 2 (i0 alone for windings without resistance).
  for (const std::int32_t t : transformers_of(ss)) {
    const Windings k(t);
    double* const h = temp2::av.data() - 1;  // the windings' workspace, by winding
    for (std::int32_t w = 1; w <= k.n; ++w) h[w] = 0.5 * (k.cur[w] + k.row(k.q, w, k.cur));
    for (std::int32_t w = 1; w <= k.n; ++w) {
      const double change = h[w] - k.hist[w];
      k.hist[w] = h[w];
      if (k.from[w] > 0) e_s0::ccgm(k.from[w], ss) += change;
      if (k.to[w] > 0) e_s0::ccgm(k.to[w], ss) -= change;
    }
  }
}

void settle_instant_values(std::int32_t ss, const wakro::SubStep& s) {
  using namespace branches;
  const auto back = [](double y, double y_new) { return 2.0 * y - y_new; };
  const auto at_node = [](const double* v, std::int32_t n) { return n > 0 ? v[n] : 0.0; };
  const double* const v_re = &e_s0::vdc(1, ss) - 1;  // by node, until step 3
  const double* const v_new = spcial::vdcnew.data() - 1;
  // Step 1: branch currents. The current of an inductive branch is the one the
  // re-solution gave it (waiting in cbrnew: it kept its current itself) taken
  // back in the same way, so that every node's currents sum to zero; its
  // inductor's voltage takes up the difference to the kept current, so that the
  // histories formed from the two (CCL = V12L G2L + i) stay those of the kept
  // current: a stiff loop is damped as before.
  const wakro::SubStep solved = s.solved();
  const wakro::SubsystemColumns& c = wakro::subsystem_columns(ss);
  const wakro::SourceRecords& records = wakro::source_records(ss);
  const wakro::BranchColumn<const std::int32_t> owner{records.owner.data()};
  const wakro::BranchColumn<const unsigned char> registered{records.registered.data()};
  const double* const cbrnew = spcial::cbrnew.data() - 1;  // by branch
  // The plain series R-L branches in a pass of their own (what the general pass
  // does for them, without its tests), then the others.
  const wakro::BranchClasses& classes = wakro::branch_classes(ss);
  for (const std::int32_t br : classes.series_rl) {
    const double u = at_node(v_new, c.ief[br]) - at_node(v_new, c.iet[br]);
    const double i_new = c.geq[br] * u + c.ccbr[br];
    const double i_kept = c.cbr[br];
    const double i = back(cbrnew[br], i_new);
    c.cbr[br] = i;
    const double g2l = c.g2l[br];
    if (g2l != 0.0) c.v12l[br] += (i_kept - i) / g2l;
  }
  for (const std::int32_t br : classes.other) {
    if (c.idealbr[br]) continue;
    double e = 0.0;
    if (c.source[br]) {
      storage::this_ = owner[br];
      e = wakro::source_voltage(c, br, ss, solved, registered[br] != 0, false);
    }
    const double u = at_node(v_new, c.ief[br]) - at_node(v_new, c.iet[br]) + e;
    const bool deferred = c.defrdbr[br];
    const double j = deferred ? wakro::current_source(c, br, solved) : c.ccbr[br];
    const double i_new = c.geq[br] * u + j;
    const double g2l = c.g2l[br];
    if (deferred || !c.inductor[br] || g2l == 0.0) {
      c.cbr[br] = back(c.cbr[br], i_new);
      continue;
    }
    const double i_kept = c.cbr[br];
    c.cbr[br] = back(cbrnew[br], i_new);
    c.v12l[br] += (i_kept - c.cbr[br]) / g2l;
  }
  // Step 2: winding currents, the re-solution's from its voltages and the history
  // it used (now CCMCD).
  for (const std::int32_t t : transformers_of(ss)) {
    const Windings k(t);
    double* const d_re = temp2::av.data() - 1;
    double* const d_new = temp2::ac.data() - 1;
    for (std::int32_t w = 1; w <= k.n; ++w) {
      double a = k.hist_before[w];
      double b = k.hist[w];
      for (std::int32_t j = 1; j <= k.n; ++j) {
        const double yw = k.y[(j - 1) * k.rows + (w - 1)];
        a += yw * k.voltage(v_re, j);
        b += yw * k.voltage(v_new, j);
      }
      d_re[w] = a;
      d_new[w] = b;
    }
    for (std::int32_t w = 1; w <= k.n; ++w) k.cur[w] = back(d_re[w], d_new[w]);
  }
  // Step 3: node voltages.
  for (std::int32_t k = 1; k <= e_s0::mbus(ss); ++k)
    e_s0::vdc(k, ss) = back(e_s0::vdc(k, ss), spcial::vdcnew(k));
}

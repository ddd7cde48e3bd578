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
// Inside a step the driver solves at the instant with the sources half a step on,
// so that the solution stands wholly for the network about half a step after the
// instant. settle_instant_values then, once the first solution from the instant
// exists (y_new, a step on), replaces each value the new topology decides that
// no history reads (node voltages, currents of branches without an inductive
// part) by its straight-line extrapolation back to the instant, y := 2 y - y_new,
// a second-order value; the interpolation and the crossing tests of that sub-step
// then start from values that belong to the instant. The voltages across
// inductive parts are left as solved: with the kept currents they give the
// histories of the backward-Euler half step (CCL = i + v_L / X_L), which a stiff
// loop needs to settle (extrapolated, they would excite the alternation), and
// their O(dt) offset enters a later history only times dt/2L.
//
// startup_history leaves: CCL, CCC and CCBR of every non-deferred branch with an
// L or C part replaced by the values above, and e_s0::ccgm(1..MBUS, ss) changed by
// the same amounts (transformer windings and other branches keep their share).
// CCLD, CCCD, CCBRD and CCGMD are not touched.
// settle_instant_values leaves: VDC(1..MBUS, ss) and CBR of every branch that is
// neither ideal, deferred nor inductive moved back to the instant.
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/spcial.h"
#include "network/ground.h"
#include "network/solution.h"

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
}

void settle_instant_values(std::int32_t ss, const wakro::SubStep& s) {
  using namespace branches;
  using wakro::at_node;
  const auto back = [](double y, double y_new) { return 2.0 * y - y_new; };
  // Step 1: currents of the branches without an inductive part, from the new node
  // voltages.
  const wakro::SubStep solved = s.solved();
  for (std::int32_t br = 1; br <= int2::insb(ss); ++br) {
    if (idealbr(br, ss) || defrdbr(br, ss) || inductor(br, ss)) continue;
    const bool regsrc = wakro::registered_source(br, ss);
    const double e = source(br, ss) ? wakro_gete(br, ss, solved, regsrc, false) : 0.0;
    const double u =
        at_node(spcial::vdcnew, ief(br, ss)) - at_node(spcial::vdcnew, iet(br, ss)) + e;
    cbr(br, ss) = back(cbr(br, ss), geq(br, ss) * u + wakro_geti(br, ss, solved));
  }
  // Step 2: node voltages.
  for (std::int32_t k = 1; k <= e_s0::mbus(ss); ++k)
    e_s0::vdc(k, ss) = back(e_s0::vdc(k, ss), spcial::vdcnew(k));
}

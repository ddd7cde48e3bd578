// startup_history: the histories with which subsystem ss is solved again at a
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
// v_C as they are. Its voltages across the inductive parts and its currents through
// the capacitive parts are then used as the values just after the instant (they
// differ from them by O(dt), which enters the next step's history times dt/2L
// or dt/2C: a second-order error), and the trapezoidal history formed from them
// and the unchanged currents and voltages starts the step from the instant. The
// backward-Euler solution also damps at once a mode the trapezoidal rule would
// keep alternating, such as an inductor current forced into an opened switch.
//
// Leaves: CCL, CCC and CCBR of every non-deferred branch with an L or C part
// replaced by the values above, and e_s0::ccgm(1..MBUS, ss) changed by the same
// amounts (transformer windings and other branches keep their share). CCLD, CCCD,
// CCBRD and CCGMD are not touched.
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"
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

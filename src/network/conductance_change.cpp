// change_branch_conductance: a branch conductance changed at run time, brought
// into the matrix the solution assembles (model/e_s0.h for the two forms of gm).
//
// Leaves: GEQ(br, ss) := g; for a branch that is not a switch, gm changed by
// dG = g - GEQ(before) as its form requires (and ideal::gms for a branch to
// ground in nodal form); mxinv(ss) lowered to the branch's lower non-ground node
// (e_s8::switched set for a switch only).
#include <cstdint>
#include <string_view>

#include "diag/listout.h"
#include "diag/quit.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/ideal.h"
#include "network/entry_update.h"
#include "network/matrix.h"
#include "network/switching.h"

namespace wakro {

void change_branch_conductance(std::string_view caller, std::int32_t ss, std::int32_t br,
                               double g) {
  using namespace branches;
  // Step 1: the branch, and for a switch only its GEQ.
  wakro_testbrn(caller, br, ss);
  const std::int32_t f = ief(br, ss);
  const std::int32_t t = iet(br, ss);
  if (!switch_(br, ss)) {
    e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
    if (!gm.valid()) {
      ListLine() << "Conductance matrix of SS" << ss << "does not exist";
      wakro_quit(caller, 0);
    }
    // Step 2: the change into gm, in its present form.
    const double dg = g - geq(br, ss);
    if (f == 0 || t == 0) {
      const std::int32_t n = f == 0 ? t : f;
      gm(n, n) += dg;
      if (e_s0::gm_built) ideal::gms(n, ss) += dg;
    } else {
      gm(f, t) += dg;
      gm(t, f) += dg;
      if (e_s0::gm_built) {
        gm(f, f) += dg;
        gm(t, t) += dg;
      }
    }
    note_gm_change(ss, f, t);
  }
  // Step 3: the new conductance and the rows to factorise again. The change of a
  // branch other than a switch holds no state across it (a resistance; an
  // inductance or capacitance whose model keeps its flux or charge): it is no
  // switching, and the step takes it as the trapezoidal rule takes a conductance
  // that varies in time.
  geq(br, ss) = g;
  if (switch_(br, ss)) {
    setmxinv(ss, f, t);
  } else {
    lower_mxinv(ss, f, t);
  }
}

}  // namespace wakro

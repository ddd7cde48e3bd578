// Branch access for the solution and for model code: the source voltage and the
// current source of a branch for the present sub-step, and the branch voltage and
// current. No workspace is written, except storage::this_ by registered_source
// and whatever the registered-source hook writes (EBR of that source).
//
// The three forms of a step quantity q (EBR of a source, CCBR of a deferred
// branch), with q and qd its present and previous-step values:
//   normal solution   reaches one full step beyond the present instant, so q is
//                     extrapolated by the fraction already solved:  q + (q - qd) * elapsed
//   re-solution       at the present instant, so it is interpolated: qd + (q - qd) * elapsed
//   start of step     qd + (q - qd) * elapsed (the driver solves it half a step on,
//                     elapsed 0.5, and moves its values back to the instant), or q
//                     for a branch whose conductance changed between steps.
// The current source of a branch that is not deferred is its history CCBR in every
// form: the solution's history sum holds CCBR (at a re-solution the one that keeps
// the branch's inductor current and capacitor voltage), never the previous step's.
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/options.h"
#include "model/storage.h"
#include "network/branch_terms.h"
#include "network/solution.h"

namespace wakro {

bool registered_source(std::int32_t br, std::int32_t ss) {
  const std::int32_t t = branches::thisbr(br, ss);
  storage::this_ = t;
  return t > 0 && storage::stori(t) == branch_code::registered_source;
}

}  // namespace wakro

double wakro_gete(std::int32_t br, std::int32_t ss, const wakro::SubStep& s, bool regsrc,
                  bool advance) {
  return wakro::source_voltage(wakro::subsystem_columns(ss), br, ss, s, regsrc, advance);
}

double wakro_geti(std::int32_t br, std::int32_t ss, const wakro::SubStep& s) {
  return wakro::current_source(wakro::subsystem_columns(ss), br, s);
}

double vbranch(std::int32_t ss, std::int32_t br) {
  return wakro::branch_voltage(wakro::subsystem_columns(ss), br);
}

double cbranch(std::int32_t ss, std::int32_t br) { return branches::cbr(br, ss); }

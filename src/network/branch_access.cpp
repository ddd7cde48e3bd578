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
#include "network/hooks.h"
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
  using branches::ebr;
  using branches::ebrd;
  // Start-of-step re-solution.
  if (s.iflag2) {
    if (branches::geqchange(br)) return ebr(br, ss);
    return ebrd(br, ss) + (ebr(br, ss) - ebrd(br, ss)) * s.elapsed;
  }
  const bool interpolated_source = regsrc && options::xterpsrc(ss);
  // Re-solution at the present instant.
  if (s.iflag) {
    if (s.notfirst && !interpolated_source)
      return ebrd(br, ss) + (ebr(br, ss) - ebrd(br, ss)) * s.elapsed;
    return ebrd(br, ss);
  }
  // Normal solution: a registered source computes its own value for the target time.
  if (interpolated_source) {
    if (advance) wakro::network_hooks().wakro_vsrc_dyn();
    return ebr(br, ss);
  }
  if (s.notfirst) return ebr(br, ss) + (ebr(br, ss) - ebrd(br, ss)) * s.elapsed;
  return ebr(br, ss);
}

double wakro_geti(std::int32_t br, std::int32_t ss, const wakro::SubStep& s) {
  using branches::ccbr;
  using branches::ccbrd;
  // A branch of the network's own: the history the solution holds (at a re-solution
  // the one that keeps its inductor current and capacitor voltage).
  if (!branches::defrdbr(br, ss)) return ccbr(br, ss);
  if (s.iflag2) {
    if (branches::geqchange(br)) return ccbr(br, ss);
    return ccbrd(br, ss) + (ccbr(br, ss) - ccbrd(br, ss)) * s.elapsed;
  }
  if (!s.iflag) {
    if (s.notfirst) return ccbr(br, ss) + (ccbr(br, ss) - ccbrd(br, ss)) * s.elapsed;
    return ccbr(br, ss);
  }
  if (s.notfirst) return ccbrd(br, ss) + (ccbr(br, ss) - ccbrd(br, ss)) * s.elapsed;
  return ccbrd(br, ss);
}

double vbranch(std::int32_t ss, std::int32_t br) {
  const std::int32_t f = branches::ief(br, ss);
  const std::int32_t t = branches::iet(br, ss);
  const double vf = f > 0 ? e_s0::vdc(f, ss) : 0.0;
  const double vt = t > 0 ? e_s0::vdc(t, ss) : 0.0;
  return vf - vt;
}

double cbranch(std::int32_t ss, std::int32_t br) { return branches::cbr(br, ss); }

// The source voltage and the current source of a branch for a sub-step, and the
// branch voltage, on the subsystem's columns (branch_view.h): the rule that
// wakro_gete, wakro_geti and vbranch (branch_access.cpp) follow, written once
// here so that the passes over the branches (right-hand side, branch states,
// crossing tests) take it inline instead of calling those routines, which would
// find the arrays' columns again on every call.
#pragma once

#include <cstdint>

#include "model/branches.h"
#include "model/options.h"
#include "model/substep.h"
#include "network/branch_view.h"
#include "network/hooks.h"

namespace wakro {

// The source voltage of branch br of ss for sub-step s (see branch_access.cpp for
// its three forms). regsrc: the branch is a registered voltage source; advance:
// such a source computes its value for the solution first. The caller has set
// storage::this_ to the branch's owner.
// The same, with interpolated() telling whether the branch is a registered voltage
// source of a subsystem that extrapolates sources (a pass over many branches reads
// the option once): asked only where the rule needs it.
template <class Interpolated>
[[gnu::always_inline]] inline double source_voltage_with(const SubsystemColumns& c, std::int32_t br,
                                                         const SubStep& s, Interpolated interpolated,
                                                         bool advance) {
  const BranchColumn<double> ebr = c.ebr;
  const BranchColumn<double> ebrd = c.ebrd;
  // Start-of-step re-solution.
  if (s.iflag2) {
    if (branches::geqchange(br)) return ebr[br];
    return ebrd[br] + (ebr[br] - ebrd[br]) * s.elapsed;
  }
  const bool interpolated_source = interpolated();
  // Re-solution at the present instant.
  if (s.iflag) {
    if (s.notfirst && !interpolated_source) return ebrd[br] + (ebr[br] - ebrd[br]) * s.elapsed;
    return ebrd[br];
  }
  // Normal solution: a registered source computes its own value for the target
  // time (which it leaves in EBR).
  if (interpolated_source) {
    if (advance) network_hooks().wakro_vsrc_dyn();
    return ebr[br];
  }
  if (s.notfirst) return ebr[br] + (ebr[br] - ebrd[br]) * s.elapsed;
  return ebr[br];
}
inline double source_voltage(const SubsystemColumns& c, std::int32_t br, std::int32_t ss,
                             const SubStep& s, bool regsrc, bool advance) {
  return source_voltage_with(
      c, br, s, [regsrc, ss] { return regsrc && options::xterpsrc(ss); }, advance);
}

// The current source of branch br of ss for sub-step s.
[[gnu::always_inline]] inline double current_source(const SubsystemColumns& c, std::int32_t br,
                                                    const SubStep& s) {
  const BranchColumn<double> ccbr = c.ccbr;
  const BranchColumn<double> ccbrd = c.ccbrd;
  // A branch of the network's own: the history the solution holds (at a
  // re-solution the one that keeps its inductor current and capacitor voltage).
  if (!c.defrdbr[br]) return ccbr[br];
  if (s.iflag2) {
    if (branches::geqchange(br)) return ccbr[br];
    return ccbrd[br] + (ccbr[br] - ccbrd[br]) * s.elapsed;
  }
  if (!s.iflag) {
    if (s.notfirst) return ccbr[br] + (ccbr[br] - ccbrd[br]) * s.elapsed;
    return ccbr[br];
  }
  if (s.notfirst) return ccbrd[br] + (ccbr[br] - ccbrd[br]) * s.elapsed;
  return ccbrd[br];
}

// The branch voltage VDC(IEF) - VDC(IET), ground as 0 V.
inline double branch_voltage(const SubsystemColumns& c, std::int32_t br) {
  const std::int32_t f = c.ief[br];
  const std::int32_t t = c.iet[br];
  const double vf = f > 0 ? c.vdc[f] : 0.0;
  const double vt = t > 0 ? c.vdc[t] : 0.0;
  return vf - vt;
}

}  // namespace wakro

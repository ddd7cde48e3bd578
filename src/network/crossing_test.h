// The crossing test of one switch (switch_crossing, switch_crossing.cpp) written
// once here, inline, so that the solution's own crossing search (interpol) runs
// it in its loop over the switches on the columns it took, without a call per
// switch. The modes whose test reads a table (the arrester's segments, a
// segmented branch's record) are called out of line.
#pragma once

#include <cmath>
#include <cstdint>

#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/int1.h"
#include "model/options.h"
#include "model/spcial.h"
#include "model/storage.h"
#include "model/substep.h"
#include "network/branch_terms.h"
#include "network/branch_view.h"
#include "network/ideal_branches.h"
#include "network/solution.h"

namespace wakro::detail {

// The mode-5 and mode-15 tests (switch_crossing.cpp).
double arrester_crossing(std::int32_t ss, std::int32_t br, double vold, double vnew);
double segmented_crossing(std::int32_t ss, std::int32_t br, const SubStep& sub);

// The new current of branch br of ss, formed with the history current
// `history` it solves with (the current source of the branch for the solved
// sub-step): new_branch_current on the columns c of ss. Whether the branch is a
// registered source matters only for a source under source extrapolation, so
// only such a branch's record is looked at; storage::this_ names the branch's
// record throughout, as that lookup leaves it.
inline double new_current_with(const SubsystemColumns& c, std::int32_t ss, std::int32_t br,
                               const SubStep& s, double history) {
  storage::this_ = c.thisbr[br];
  const SubStep solved = s.solved();
  double e = 0.0;
  if (c.source[br]) {
    const bool regsrc = options::xterpsrc(ss) && registered_source(br, ss);
    e = source_voltage(c, br, ss, solved, regsrc, false);
  }
  const double* const vnew = spcial::vdcnew.data() - 1;  // by node
  const std::int32_t f = c.ief[br];
  const std::int32_t t = c.iet[br];
  const double v = (f > 0 ? vnew[f] : 0.0) - (t > 0 ? vnew[t] : 0.0);
  return history + (e + v) * c.geq[br];
}

// new_branch_current on the columns c of ss.
inline double new_current(const SubsystemColumns& c, std::int32_t ss, std::int32_t br,
                          const SubStep& s) {
  return new_current_with(c, ss, br, s, current_source(c, br, s.solved()));
}

// The crossing of a level that may be crossed in either direction.
inline double either_way(double before, double after, double level) {
  const bool up = before <= level && level < after;
  const bool down = level <= before && after < level;
  return (up || down) ? wakro_interpx(before, after, level) : kNoCrossing;
}

// switch_crossing on the columns c of ss, the new current of a current mode
// taken from new_current_of(c, ss, br, s) (the history the solution used is in
// CCBR, or where the caller holds it).
template <class NewCurrent>
[[gnu::always_inline]] inline double crossing_with(const SubsystemColumns& c, std::int32_t ss,
                                                   std::int32_t br, const SubStep& s,
                                                   NewCurrent&& new_current_of) {
  namespace mode = switch_mode;
  constexpr double kTol = 1e-10;  // level tolerance of every mode but the segmented one
  const std::int32_t code = c.iorv[br];
  const std::int32_t m = std::abs(code);
  const double level = branches::swlevl(br, ss);

  if (m == mode::timed) {
    // Timed: the level is the instant. It must lie after the present instant and
    // not beyond the step's end; on the first pass of a step an instant exactly at
    // the step's start is taken too (it was the end of the previous step, which
    // could not switch at its very end).
    if (s.iflag) return kNoCrossing;
    const double now = int1::solution_time;
    const bool after_now = now < level || (s.elapsed == 0.0 && now == level);
    if (after_now && level <= e_s1::time) return (level - now) / e_s1::delt;
    return kNoCrossing;
  }
  if (m == mode::segmented) return segmented_crossing(ss, br, s);

  if (m != mode::current_crossing && m != mode::current_rising) {
    // The voltage modes: the branch voltage at the sub-step's end, and at its
    // start where the test needs it.
    const double* const vdcnew = spcial::vdcnew.data() - 1;  // by node
    const std::int32_t f = c.ief[br];
    const std::int32_t t = c.iet[br];
    const double vnew = (f > 0 ? vdcnew[f] : 0.0) - (t > 0 ? vdcnew[t] : 0.0);
    if (m == mode::arrester) return arrester_crossing(ss, br, branch_voltage(c, br), vnew);
    if (m == mode::voltage_crossing) return either_way(branch_voltage(c, br), vnew, level);
    if (code == mode::voltage_rising) {
      if (!(vnew > level + kTol)) return kNoCrossing;
      const double vold = branch_voltage(c, br);
      return vold > level + kTol ? 0.0 : wakro_interpx(vold, vnew, level);
    }
    if (code == mode::voltage_falling) {
      if (!(vnew < level - kTol)) return kNoCrossing;
      const double vold = branch_voltage(c, br);
      return vold >= level - kTol ? wakro_interpx(vold, vnew, level) : 0.0;
    }
    if (code == mode::voltage_above) {
      const double bound = kTol + std::abs(level);
      if (!(std::abs(vnew) > bound)) return kNoCrossing;
      const double vold = branch_voltage(c, br);
      return std::abs(vold) > bound ? 0.0
                                    : wakro_interpx(std::abs(vold), std::abs(vnew), std::abs(level));
    }
    return kNoCrossing;
  }

  // The current modes.
  double inew = new_current_of(c, ss, br, s);
  const double iold = c.cbr[br];
  if (c.idealbr[br]) idlcur(ss, 1.0, br, inew, false, s.iflag);
  if (m == mode::current_crossing) return either_way(iold, inew, level);
  if (code == mode::current_rising) {
    if (!(inew > level + kTol)) return kNoCrossing;
    return iold <= level + kTol ? wakro_interpx(iold, inew, level) : 0.0;
  }
  if (code == mode::current_falling) {
    if (!(inew < level - kTol)) return kNoCrossing;
    return iold < level - kTol ? 0.0 : wakro_interpx(iold, inew, level);
  }
  return kNoCrossing;
}

// switch_crossing on the columns c of ss.
[[gnu::always_inline]] inline double crossing_of(const SubsystemColumns& c, std::int32_t ss,
                                                 std::int32_t br, const SubStep& s) {
  const auto formed = [](const SubsystemColumns& cols, std::int32_t sub, std::int32_t b,
                          const SubStep& at) { return new_current(cols, sub, b, at); };
  return crossing_with(c, ss, br, s, formed);
}

}  // namespace wakro::detail

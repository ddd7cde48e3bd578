// switch_crossing: the crossing test of one switch after a solution of its
// subsystem. The branch's voltage and current at the start of the sub-step (VDC,
// CBR) and at its end (VDCNEW, the new current) are joined by straight lines; the
// result is the fraction of the step, from the present instant, at which the
// switch's condition is first met (kNoCrossing when it is not met in this sub-step; 0
// when it already holds at the start).
//
// Leaves, for a surge arrester (switch_mode::arrester) the direction of its segment change in
// EBRON (+1, -1, 0 for none), and for a segmented branch (switch_mode::segmented) the same in the
// step word of its record. Reads the arrester table and the kind-15 record of
// switch_records.h; a record that points outside its tables ends the run. The
// test of every mode is written in crossing_test.h (inline, for the crossing
// search); the arrester's and the segmented branch's tables are read here.
#include <cmath>
#include <cstdlib>
#include <string>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/spcial.h"
#include "network/branch_terms.h"
#include "network/branch_view.h"
#include "network/crossing_test.h"
#include "network/ground.h"
#include "network/ideal_branches.h"
#include "network/solution.h"
#include "network/switch_records.h"
#include "network/switching.h"

namespace wakro {

double new_branch_current(std::int32_t ss, std::int32_t br, const SubStep& s) {
  return detail::new_current(subsystem_columns(ss), ss, br, s);
}

}  // namespace wakro

namespace {

using wakro::kNoCrossing;
namespace switch_mode = wakro::switch_mode;

constexpr double kTol = 1e-10;  // level tolerance of the arrester's segment bounds

[[noreturn]] void bad_record(std::int32_t ss, std::int32_t br, const char* what) {
  wakro_message(
      0, 0, wakro::msg::kError, wakro::msg::first_of(2),
      std::string(what) + " of switch in branch " + std::to_string(br) + " of subsystem ");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                std::to_string(ss) + " points outside its tables.");
  wakro_quit("INTERPOL", 0);
}

// --- Mode 5: surge arrester ---------------------------------------------------

// Signed segment of voltage v: j-1 for the breakpoints B(j) <= |v| < B(j+1),
// 0 below the second breakpoint, N-1 from the last one on.
std::int32_t arrester_segment(const wakro::ArresterTable& a, double v) {
  const std::int32_t n = a.segments();
  const double m = std::abs(v);
  std::int32_t s = n - 1;
  for (std::int32_t j = 1; j <= n; ++j) {
    if (m < a.breakpoint(j + 1)) {
      s = j - 1;
      break;
    }
  }
  return v < 0.0 ? -s : s;
}

// Signed bounds of segment s (segment 0 spans both polarities).
void arrester_bounds(const wakro::ArresterTable& a, std::int32_t s, double& lo, double& hi) {
  const std::int32_t k = std::abs(s);
  if (k == 0) {
    hi = a.breakpoint(2);
    lo = -hi;
  } else if (s > 0) {
    lo = a.breakpoint(k + 1);
    hi = a.breakpoint(k + 2);
  } else {
    lo = -a.breakpoint(k + 2);
    hi = -a.breakpoint(k + 1);
  }
}

double arrester_test(std::int32_t ss, std::int32_t br, double vold, double vnew) {
  const wakro::ArresterTable a{br, ss};
  const std::int32_t n = a.segments();
  const std::int32_t p = a.index();
  if (n < 1 || p < 0 ||
      !wakro::record_fits(p + std::int64_t{1}, 3 * std::int64_t{n}, e_s2::stor.extent(1)))
    bad_record(ss, br, "Arrester table");
  double& direction = branches::ebron(br, ss);
  std::int32_t s = static_cast<std::int32_t>(std::lround(branches::swlevl(br, ss)));
  if (std::abs(s) > n - 1) s = s < 0 ? -(n - 1) : n - 1;
  double lo = 0.0;
  double hi = 0.0;
  arrester_bounds(a, s, lo, hi);
  const auto near_bound = [&](double v) {
    return std::abs(v - lo) <= kTol || std::abs(v - hi) <= kTol;
  };
  const std::int32_t old_seg = near_bound(vold) ? s : arrester_segment(a, vold);
  const std::int32_t new_seg = arrester_segment(a, vnew);
  if (near_bound(vnew) || new_seg == old_seg) {
    direction = 0.0;
    return kNoCrossing;
  }
  const std::int32_t d = new_seg > old_seg ? 1 : -1;
  arrester_bounds(a, old_seg, lo, hi);
  direction = d;
  return wakro_interpx(vold, vnew, d > 0 ? hi : lo);
}

// --- Mode 15: segmented branch --------------------------------------------------

// The segment whose current range holds i, negative for a negative current.
std::int32_t segment_of_current(const wakro::SegmentedRecord& k, double i) {
  const std::int32_t n = k.segments();
  const double m = std::abs(i);
  std::int32_t s = n - 1;
  for (std::int32_t j = 0; j < n; ++j) {
    if (m < k.breakpoint(j + 1)) {
      s = j;
      break;
    }
  }
  return i < 0.0 ? -s : s;
}

// The current bounds [lo, hi] of segment s (signed as segment_of_current gives it).
void segment_current_bounds(const wakro::SegmentedRecord& k, std::int32_t s, double& lo, double& hi) {
  const std::int32_t a = std::abs(s);
  const double lower = a == 0 ? -k.breakpoint(1) : k.breakpoint(a);
  const double upper = a == k.segments() - 1 ? 1e6 * k.breakpoint(a) : k.breakpoint(a + 1);
  if (a == 0) {
    lo = lower;
    hi = k.breakpoint(1);
  } else if (s > 0) {
    lo = lower;
    hi = upper;
  } else {
    lo = -upper;
    hi = -lower;
  }
}

// The record and its companion branch, checked against their tables.
wakro::SegmentedRecord checked_segment_record(std::int32_t ss, std::int32_t br) {
  const std::int64_t wide_r = -std::int64_t{branches::thisbr(br, ss)};
  if (!wakro::record_fits(wide_r, 4, rt_config::rtci.extent(1)))
    bad_record(ss, br, "Segment record");
  const wakro::SegmentedRecord k{static_cast<std::int32_t>(wide_r)};
  const std::int32_t n = k.segments();
  const std::int32_t c = k.companion();
  if (n < 1 ||
      !wakro::record_fits(k.base(), 3 * std::int64_t{n} + 1, rt_config::rtcf.extent(1)) ||
      c < 0 || c > int2::insb(ss) || std::abs(k.segment()) > n - 1)
    bad_record(ss, br, "Segment record");
  return k;
}

// The fraction of the step at which the branch current leaves its present segment
// (and the direction stored in the record), or kNoCrossing.
double segmented_test(std::int32_t ss, std::int32_t br, const wakro::SubStep& sub) {
  const wakro::SegmentedRecord k = checked_segment_record(ss, br);
  const std::int32_t n = k.segments();
  const std::int32_t c = k.companion();
  double inew = wakro::new_branch_current(ss, br, sub);
  double iold = branches::cbr(br, ss);
  if (c > 0) {
    inew += wakro::new_branch_current(ss, c, sub);
    iold += branches::cbr(c, ss);
  }
  // The tolerance of this switch alone: 1% of its first breakpoint.
  const double tol = 0.01 * k.breakpoint(1);
  const std::int32_t s = k.segment();
  double lo = 0.0;
  double hi = 0.0;
  segment_current_bounds(k, s, lo, hi);
  const std::int32_t g = segment_of_current(k, inew);
  const bool near = std::abs(inew - lo) <= tol || std::abs(inew - hi) <= tol;
  if (near || g == s) {
    k.step() = 0;
    return kNoCrossing;
  }
  const std::int32_t d = g > s ? 1 : -1;
  if (n - 1 == s * d) {  // outwards from the last segment: nothing to change to
    k.step() = 0;
    return kNoCrossing;
  }
  const double x = wakro_interpx(iold, inew, d > 0 ? hi : lo);
  // A change back within a thousandth of a step of the last one is chatter.
  const double since = ctrl::iii + sub.elapsed - k.last_change();
  if (x < 0.001 && since < 0.001 && k.step() + d == 0) {
    k.step() = 0;
    return kNoCrossing;
  }
  k.step() = d;
  return x;
}

}  // namespace

namespace wakro {

double detail::arrester_crossing(std::int32_t ss, std::int32_t br, double vold, double vnew) {
  return arrester_test(ss, br, vold, vnew);
}

double detail::segmented_crossing(std::int32_t ss, std::int32_t br, const SubStep& sub) {
  return segmented_test(ss, br, sub);
}

double switch_crossing(std::int32_t ss, std::int32_t br, const SubStep& s) {
  return detail::crossing_of(subsystem_columns(ss), ss, br, s);
}

}  // namespace wakro

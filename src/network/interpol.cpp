// interpol: after a solution of subsystem ss, the fraction of the sub-step at
// which each switch taking part in interpolation first meets its switching
// condition, found by linear interpolation between the previous state and the
// new solution; the test of each switching mode is the switch_crossing hook.
//
// Leaves: XSTOR(br, ss) of every considered switch (kNoCrossing = no crossing; a crossing
// is at least 0.0001, so a switch never operates exactly at the start of a
// sub-step); frac = the earliest crossing; xearly = the latest crossing within
// 0.0001 of the earliest (switchings that close together are taken together),
// kNoCrossing when that is above 1 or there is none.
#include <algorithm>

#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/int1.h"
#include "model/storage.h"
#include "model/temp1.h"
#include "network/branch_view.h"
#include "network/crossing_test.h"
#include "network/hooks.h"
#include "network/solution.h"
#include "network/switching.h"

void interpol(std::int32_t ss, wakro::SubStep& s) {
  using wakro::kNoCrossing;
  constexpr double kEarliest = 0.0001;
  constexpr double kGroup = 0.0001;
  const std::int32_t nsw = branches::nsw(ss);
  // Step 1: without switches nothing crosses.
  if (nsw <= 0) {
    s.frac = s.xearly = kNoCrossing;
    return;
  }
  // Step 2: crossing of each considered switch.
  const wakro::SubsystemColumns& c = wakro::subsystem_columns(ss);
  const wakro::BranchColumn<std::int32_t> switches = wakro::branch_column(branches::brnsw, ss);
  const wakro::BranchColumn<double> xstor = wakro::branch_column(int1::xstor, ss);
  const bool* const consid = temp1::consid.data() - 1;  // by branch number
  // The engine's own test runs here, inline, on the columns taken here.
  using Crossing = double (*)(std::int32_t, std::int32_t, const wakro::SubStep&);
  const Crossing crossing = wakro::network_hooks().switch_crossing;
  const bool own = crossing == static_cast<Crossing>(&wakro::switch_crossing);
  double earliest = kNoCrossing;
  for (std::int32_t k = 1; k <= nsw; ++k) {
    const std::int32_t br = switches[k];
    if (!consid[br]) continue;
    storage::this_ = c.thisbr[br];
    xstor[br] = kNoCrossing;
    double x = own ? wakro::detail::crossing_of(c, ss, br, s) : crossing(ss, br, s);
    x = std::max(x, kEarliest);
    xstor[br] = x;
    earliest = std::min(earliest, x);
  }
  // Step 3: the group of switchings at the earliest instant.
  s.frac = earliest;
  double latest = -1.0;
  for (std::int32_t k = 1; k <= nsw; ++k) {
    const std::int32_t br = switches[k];
    if (!consid[br]) continue;
    const double x = xstor[br];
    if (x < earliest + kGroup) latest = std::max(latest, x);
  }
  s.xearly = (latest < 0.0 || latest > 1.0) ? kNoCrossing : latest;
}

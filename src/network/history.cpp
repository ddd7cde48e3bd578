// history: the trapezoidal history current sources of the inductive and the
// capacitive part of every branch of subsystem ss, and their nodal sum.
//
// Leaves: CCL/CCC (part histories, previous values in CCLD/CCCD), CCBR (branch
// history, previous value in CCBRD) of every non-deferred branch with an L or C
// part, and e_s0::ccgm(1..MBUS, ss) = transformer histories (from the dsmdyn hook)
// plus branch histories, added at the from-node and subtracted at the to-node.
// Resistor-only and deferred branches keep their CCBR.
#include <array>
#include <cstdint>
#include <vector>

#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "network/branch_lists.h"
#include "network/branch_view.h"
#include "network/hooks.h"
#include "network/solution.h"

namespace {

// The flags of a branch's parts (bits of ListedBranch::flags).
constexpr std::uint32_t kDeferred = 1;
constexpr std::uint32_t kInductor = 2;
constexpr std::uint32_t kCapacitor = 4;

// The branches of ss that are not deferred and have an inductive or a
// capacitive part.
const wakro::FlaggedBranches& branches_with_parts(std::int32_t ss,
                                                  const wakro::SubsystemColumns& c) {
  static std::vector<wakro::FlaggedBranches> lists;
  const std::array<const bool*, 3> columns{c.defrdbr.first, c.inductor.first, c.capacitr.first};
  return wakro::flagged_branches(
      wakro::kept_list(lists, ss), int2::insb(ss), columns, [](std::uint32_t flags) {
        return (flags & kDeferred) == 0 && (flags & (kInductor | kCapacitor)) != 0;
      });
}

}  // namespace

void history(std::int32_t ss) { history(ss, wakro::subsystem_columns(ss)); }

void history(std::int32_t ss, const wakro::SubsystemColumns& c) {
  // Step 1: CCGM keeps the previous step in CCGMD and restarts from the windings.
  wakro::network_hooks().dsmdyn(ss);

  // Step 2: part histories of the listed branches (not deferred, with an L or a
  // C part), in branch order, the arrays in local views.
  const auto& ief = c.ief;
  const auto& iet = c.iet;
  const auto& cbr = c.cbr;
  const auto& ccl = c.ccl;
  const auto& ccld = c.ccld;
  const auto& ccc = c.ccc;
  const auto& cccd = c.cccd;
  const auto& v12l = c.v12l;
  const auto& v20l = c.v20l;
  const auto& g2l = c.g2l;
  const auto& g2c = c.g2c;
  const auto& rlg = c.rlg;
  const auto& rcg = c.rcg;
  const auto& ccbr = c.ccbr;
  const auto& ccbrd = c.ccbrd;
  const auto& ccgm = c.ccgm;  // by node
  const wakro::FlaggedBranches& parts = branches_with_parts(ss, c);
  for (std::int32_t e = 0; e < parts.size; ++e) {
    const wakro::ListedBranch listed = parts.list[static_cast<std::size_t>(e)];
    const std::int32_t br = listed.br;
    const double i = cbr[br];
    double h = 0.0;
    if (listed.flags & kInductor) {
      ccld[br] = ccl[br];
      ccl[br] = v12l[br] * g2l[br] + i;
      h = ccl[br] * rlg[br];
    }
    if (listed.flags & kCapacitor) {
      cccd[br] = ccc[br];
      ccc[br] = -(v20l[br] * g2c[br]) - i;
      h += ccc[br] * rcg[br];
    }
    ccbrd[br] = ccbr[br];
    ccbr[br] = h;
    const std::int32_t f = ief[br];
    const std::int32_t t = iet[br];
    if (f > 0) ccgm[f] += h;
    if (t > 0) ccgm[t] -= h;
  }
}

// buildca: the right-hand side of one sub-step of subsystem ss.
//
// Leaves e_s0::ca(1..) (the whole vector cleared first) holding, per node k of
// the subsystem: the line injection at the instant solved for, minus the history
// sum CCGM(k); plus for every branch its deferred current source and source
// voltage times GEQ (added at the to-node, subtracted at the from-node, a ground
// end skipped); plus the Norton injections of the listed Norton nodes.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/int4.h"
#include "model/options.h"
#include "model/storage.h"
#include "network/branch_lists.h"
#include "network/branch_terms.h"
#include "network/branch_view.h"
#include "network/solution.h"

namespace {

// The flags of the branches' source terms (bits of ListedBranch::flags).
constexpr std::uint32_t kDeferred = 1;  // a deferred current source
constexpr std::uint32_t kSource = 2;    // a source voltage

// The branches of ss with a deferred current source or a source voltage.
const wakro::FlaggedBranches& source_terms(std::int32_t ss, const wakro::SubsystemColumns& c) {
  static std::vector<wakro::FlaggedBranches> lists;
  const std::array<const bool*, 2> columns{c.defrdbr.first, c.source.first};
  return wakro::flagged_branches(wakro::kept_list(lists, ss), int2::insb(ss), columns,
                                 [](std::uint32_t flags) { return flags != 0; });
}

// The terms of the branches with a deferred current source or a source voltage
// (the registered-source lookup of the step, source_records, only for a branch
// with a source: nothing else reads it; storage::this_ names the source's record
// while it is evaluated), walked in branch order. The records are looked up at
// the first branch with a source (a subsystem without one never asks). The
// sub-step is read from a local copy, which a registered source's routine,
// called in the loop, cannot reach: its fields stay in registers, and in a
// normal solution (kNormal: neither at the step's start nor at an instant inside
// it, the common case) its two flags are known to be clear.
template <bool kNormal>
void add_terms(std::int32_t ss, const wakro::SubStep& s, const wakro::SubsystemColumns& c,
               double* rhs) {
  wakro::SubStep at = s;
  if constexpr (kNormal) at.iflag = at.iflag2 = false;
  const wakro::SourceRecords* records = nullptr;
  const auto& geq = c.geq;
  const auto& ief = c.ief;
  const auto& iet = c.iet;
  const wakro::FlaggedBranches& terms = source_terms(ss, c);
  for (std::int32_t e = 0; e < terms.size; ++e) {
    const wakro::ListedBranch listed = terms.list[static_cast<std::size_t>(e)];
    const std::int32_t br = listed.br;
    double j = 0.0;
    if (listed.flags & kDeferred) j = wakro::current_source(c, br, at);
    if (listed.flags & kSource) {
      if (records == nullptr) records = &wakro::source_records(ss);
      const std::size_t k = static_cast<std::size_t>(br - 1);
      storage::this_ = records->owner[k];
      j += wakro::source_voltage(c, br, ss, at, records->registered[k] != 0, true) * geq[br];
    }
    const std::int32_t f = ief[br];
    const std::int32_t t = iet[br];
    if (t > 0) rhs[t] += j;
    if (f > 0) rhs[f] -= j;
  }
}

void add_source_terms(std::int32_t ss, const wakro::SubStep& s, const wakro::SubsystemColumns& c,
                      double* rhs) {
  if (!s.iflag && !s.iflag2) {
    add_terms<true>(ss, s, c, rhs);
  } else {
    add_terms<false>(ss, s, c, rhs);
  }
}

}  // namespace

void buildca(std::int32_t ss, const wakro::SubStep& s) {
  buildca(ss, s, wakro::subsystem_columns(ss));
}

void buildca(std::int32_t ss, const wakro::SubStep& s, const wakro::SubsystemColumns& c) {
  using e_s0::ca;
  const std::int32_t n = e_s0::mbus(ss);

  // Step 1: clear (the entries of the nodes are all written by step 2).
  if (n < ca.size()) std::fill(ca.begin() + std::max(n, 0), ca.end(), 0.0);

  // Step 2: line injection at the instant solved for, less the history sum.
  double* const rhs = ca.data() - 1;  // by node number
  {
    const auto& ccli = c.ccli;
    const auto& cclid = c.cclid;
    const auto& ccgm = c.ccgm;
    for (std::int32_t k = 1; k <= n; ++k) {
      const double now = ccli[k];
      const double before = cclid[k];
      double x;
      if (s.iflag) {
        x = before + (now - before) * s.elapsed;
      } else {
        x = now + (now - before) * s.elapsed;
      }
      rhs[k] = x - ccgm[k];
    }
  }

  // Step 3: branch current sources and source voltages.
  add_source_terms(ss, s, c, rhs);

  // Step 4: Norton injections.
  const auto& ll = c.ll;
  const auto& ccin = c.ccin;
  const auto& ccind = c.ccind;
  const bool extrapolate = options::xterpsrc(ss) && s.notfirst;
  const bool* const gginchange = int4::gginchange.data() - 1;
  const std::int32_t nmb = int2::nmb(ss);
  for (std::int32_t k = 1; k <= nmb; ++k) {
    const std::int32_t x = ll[k];
    const double now = ccin[x];
    const double before = ccind[x];
    double v;
    if (s.iflag2) {
      v = gginchange[x] ? now : before;
    } else {
      v = s.iflag ? before : now;
      if (extrapolate) v += (now - before) * s.elapsed;
    }
    rhs[x] += v;
  }
}

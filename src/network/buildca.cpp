// buildca: the right-hand side of one sub-step of subsystem ss.
//
// Leaves e_s0::ca(1..) (the whole vector cleared first) holding, per node k of
// the subsystem: the line injection at the instant solved for, minus the history
// sum CCGM(k); plus for every branch its deferred current source and source
// voltage times GEQ (added at the to-node, subtracted at the from-node, a ground
// end skipped); plus the Norton injections of the listed Norton nodes.
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/int4.h"
#include "model/options.h"
#include "network/branch_view.h"
#include "network/solution.h"

void buildca(std::int32_t ss, const wakro::SubStep& s) {
  using e_s0::ca;
  const std::int32_t n = e_s0::mbus(ss);

  // Step 1: clear.
  ca.fill(0.0);

  // Step 2: line injection at the instant solved for, less the history sum.
  for (std::int32_t k = 1; k <= n; ++k) {
    const double now = e_s0::ccli(k, ss);
    const double before = int4::cclid(k, ss);
    double c;
    if (s.iflag2) {
      c = before;
    } else if (s.iflag) {
      c = before + (now - before) * s.elapsed;
    } else {
      c = now + (now - before) * s.elapsed;
    }
    ca(k) = c - e_s0::ccgm(k, ss);
  }

  // Step 3: branch current sources and source voltages (the registered-source
  // lookup only for a branch with a source: nothing else reads it).
  using wakro::branch_column;
  const auto defrdbr = branch_column(branches::defrdbr, ss);
  const auto source = branch_column(branches::source, ss);
  const auto geq = branch_column(branches::geq, ss);
  const auto ief = branch_column(branches::ief, ss);
  const auto iet = branch_column(branches::iet, ss);
  const std::int32_t nbr = int2::insb(ss);
  for (std::int32_t br = 1; br <= nbr; ++br) {
    const bool deferred = defrdbr[br];
    const bool has_source = source[br];
    if (!deferred && !has_source) continue;  // nothing to add
    double j = 0.0;
    if (deferred) j = wakro_geti(br, ss, s);
    if (has_source) {
      const bool regsrc = wakro::registered_source(br, ss);
      j += wakro_gete(br, ss, s, regsrc, true) * geq[br];
    }
    const std::int32_t f = ief[br];
    const std::int32_t t = iet[br];
    if (t > 0) ca(t) += j;
    if (f > 0) ca(f) -= j;
  }

  // Step 4: Norton injections.
  const bool extrapolate = options::xterpsrc(ss) && s.notfirst;
  for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) {
    const std::int32_t x = int2::ll(k, ss);
    const double now = e_s0::ccin(x, ss);
    const double before = int4::ccind(x, ss);
    double c;
    if (s.iflag2) {
      c = int4::gginchange(x) ? now : before;
    } else {
      c = s.iflag ? before : now;
      if (extrapolate) c += (now - before) * s.elapsed;
    }
    ca(x) += c;
  }
}

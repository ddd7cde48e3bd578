// istnew: before a factorisation of subsystem ss from row MXINV(ss), lowers MXINV
// to the smaller end node of every ideal branch that would otherwise have one end
// before it and one at or after it, so that each collapse of ideal branches lies
// wholly in the rows that are assembled again. Scans again from the first branch
// after every change, since a lower MXINV can reach further branches.
//
// Leaves: e_s8::mxinv(ss).
#include <algorithm>

#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s8.h"
#include "model/int2.h"
#include "network/ideal_branches.h"

void istnew(std::int32_t ss) {
  std::int32_t m = e_s8::mxinv(ss);
  if (m < 2 || !e_s0::idealss(ss) || int2::insb(ss) < 1) return;
  bool lowered = true;
  while (lowered) {
    lowered = false;
    for (std::int32_t b = 1; b <= int2::insb(ss); ++b) {
      if (!branches::idealbr(b, ss)) continue;
      const std::int32_t f = branches::ief(b, ss);
      const std::int32_t t = branches::iet(b, ss);
      if (f == 0 || t == 0) continue;
      const std::int32_t lo = std::min(f, t);
      const std::int32_t hi = std::max(f, t);
      if (hi >= m && lo < m) {
        m = lo;
        lowered = true;
        break;
      }
    }
  }
  e_s8::mxinv(ss) = m;
}

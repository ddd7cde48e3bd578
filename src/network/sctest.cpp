// sctest: checks that no loop of ideal branches of subsystem ss holds an ideal
// source (two ideal voltages in parallel, or one shorted by an ideal branch).
//
// The ideal branches are listed (ideal::nodev1 their nodes, ideal::vsrc whether
// each carries a source); branches with an end that no other listed branch meets
// are pruned one by one, working at the end of the list and rotating a branch
// that cannot be pruned to the front. When every remaining branch has been
// rotated once without a prune, the remaining ones form loops; the first source
// among them ends the run. A source branch whose two ends are one node is a loop
// by itself and is reported as lying between nodes 0 and that node.
#include <algorithm>
#include <string>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "network/ideal_branches.h"

namespace {

using ideal::nodev1;
using ideal::vsrc;

// True when node x is an end of one of the entries 1..last.
bool meets(std::int32_t x, std::int32_t last) {
  for (std::int32_t k = 1; k <= last; ++k)
    if (nodev1(k, 1) == x || nodev1(k, 2) == x) return true;
  return false;
}

// Entry n moved to the front, entries 1..n-1 one place up.
void rotate_to_front(std::int32_t n) {
  const std::int32_t p = nodev1(n, 1);
  const std::int32_t q = nodev1(n, 2);
  const bool s = vsrc(n);
  for (std::int32_t k = n; k > 1; --k) {
    nodev1(k, 1) = nodev1(k - 1, 1);
    nodev1(k, 2) = nodev1(k - 1, 2);
    vsrc(k) = vsrc(k - 1);
  }
  nodev1(1, 1) = p;
  nodev1(1, 2) = q;
  vsrc(1) = s;
}

[[noreturn]] void shorted_source(std::int32_t p, std::int32_t q, std::int32_t ss) {
  if (p == q) p = 0;
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                "Short circuited or parallel ideal voltage source between nodes ");
  wakro_message(
      0, 0, wakro::msg::kError, wakro::msg::kLastLine,
      std::to_string(p) + " and " + std::to_string(q) + " of subsystem " + std::to_string(ss));
  wakro_quit("SCTEST", 0);
}

}  // namespace

void sctest(std::int32_t ss) {
  // Step 1: the ideal branches of ss.
  const std::int32_t capacity = std::min(nodev1.extent(1), vsrc.extent(1));
  std::int32_t n = 0;
  for (std::int32_t b = 1; b <= int2::insb(ss); ++b) {
    if (!branches::idealbr(b, ss)) continue;
    if (++n > capacity) {
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine,
                    "Problem in SCTEST, Temporary dimensions exceed");
      wakro_quit("SCTEST", 0);
    }
    nodev1(n, 1) = branches::ief(b, ss);
    nodev1(n, 2) = branches::iet(b, ss);
    vsrc(n) = branches::source(b, ss);
    if (vsrc(n) && nodev1(n, 1) == nodev1(n, 2)) shorted_source(nodev1(n, 1), nodev1(n, 2), ss);
  }

  // Step 2: prune the branches that end in a node of their own.
  std::int32_t rotated = 0;
  while (n >= 2 && rotated < n) {
    if (!meets(nodev1(n, 1), n - 1) || !meets(nodev1(n, 2), n - 1)) {
      --n;
      rotated = 0;
    } else {
      rotate_to_front(n);
      ++rotated;
    }
  }
  if (n < 2) return;

  // Step 3: a source among the branches in loops.
  for (std::int32_t k = 1; k <= n; ++k)
    if (vsrc(k)) shorted_source(nodev1(k, 1), nodev1(k, 2), ss);
}

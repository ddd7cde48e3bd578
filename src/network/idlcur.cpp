// idlcur: the currents of the ideal branches of subsystem ss from the present
// solution (spcial::vdcnew, with the right-hand side e_s0::ca it came from).
//
// An ideal branch has no conductance, so its current is the current balance at
// one of its nodes z: what is injected there, less what leaves through the
// conductances of GM and GGIN, through the switching branches that are not ideal,
// and through the ideal branches already computed; plus what the MNA elements
// inject. The list of ideal branches is worked from its end; a branch whose both
// nodes still meet an uncomputed ideal branch is moved to the front and tried
// later. When every remaining branch has been tried (a loop of ideal branches),
// one uncomputed neighbour is allowed, which breaks the loop; a loop of two
// parallel branches is accepted this way (one of them carries the pair's current),
// a longer loop or a second loop ends the run.
//
// Leaves: spcial::cbrnew of the ideal branches; with brq >= 1 iq; with brq < 1 the
// branches' CBR (and CCBR) moved towards the new values by frac.
#include <string>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "model/mna.h"
#include "model/spcial.h"
#include "network/ground.h"
#include "network/ideal_branches.h"
#include "network/mna_routines.h"

namespace {

using ideal::ibrlist;
using spcial::cbrnew;
using wakro::at_node;

// Branches at positions 1..last that touch node x, plus one.
std::int32_t touching(std::int32_t x, std::int32_t last, std::int32_t ss) {
  std::int32_t count = 1;
  for (std::int32_t p = 1; p <= last; ++p) {
    const std::int32_t b = ibrlist(p);
    if (branches::ief(b, ss) == x || branches::iet(b, ss) == x) ++count;
  }
  return count;
}

// The current leaving node z through the ideal branch at position k.
double balance(std::int32_t z, std::int32_t k, std::int32_t n, std::int32_t ss) {
  using namespace branches;
  const auto& v = spcial::vdcnew;
  const e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
  const std::int32_t nbus = e_s0::mbus(ss);
  double i = e_s0::ca(z) - (e_s0::ggin(z, ss) + gm.get(z, z)) * v(z);
  // Row z's couplings (its stored entries on the sparse store).
  gm.for_row(z, nbus, [&](std::int32_t j, double g) {
    if (j != z) i += g * v(j);
  });
  for (std::int32_t s = 1; s <= nsw(ss); ++s) {
    const std::int32_t br = brnsw(s, ss);
    if (idealbr(br, ss)) continue;
    const std::int32_t f = ief(br, ss);
    const std::int32_t t = iet(br, ss);
    if (f == z && t != z) i -= geq(br, ss) * (v(z) - at_node(v, t));
    if (t == z && f != z) i -= geq(br, ss) * (v(z) - at_node(v, f));
  }
  if (mna::mna_elem.allocated() && mna::mna_elem(ss) > 0) i += mna_cur(z, ss);
  for (std::int32_t p = k + 1; p <= n; ++p) {
    const std::int32_t b = ibrlist(p);
    if (ief(b, ss) == z) i -= cbrnew(b);
    if (iet(b, ss) == z) i += cbrnew(b);
  }
  return i;
}

// Branch at position k moved to position 1, positions 1..k-1 one place up.
void to_front(std::int32_t k) {
  const std::int32_t b = ibrlist(k);
  for (std::int32_t p = k; p > 1; --p) ibrlist(p) = ibrlist(p - 1);
  ibrlist(1) = b;
}

[[noreturn]] void second_loop(std::int32_t b, std::int32_t ss) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(3),
                "More than " + std::to_string(1) + " loops entirely ");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kMiddleLine,
                "consisting of ideal branches. ");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                "Check branch " + std::to_string(b) + " in subsystem " + std::to_string(ss) + ".");
  wakro_quit("IDLCUR", 0);
}

}  // namespace

void idlcur(std::int32_t ss, double frac, std::int32_t brq, double& iq, bool /*chk*/, bool nosrc) {
  using namespace branches;
  if (!e_s0::idealss(ss)) return;

  // Step 1: the ideal branches of ss (a branch from ground to ground carries
  // nothing and is left out).
  std::int32_t n = 0;
  for (std::int32_t b = 1; b <= int2::insb(ss); ++b) {
    if (!idealbr(b, ss) || (ief(b, ss) == 0 && iet(b, ss) == 0)) continue;
    ibrlist(++n) = b;
    cbrnew(b) = 0.0;
  }
  if (n == 0) return;

  // Step 2: from the end of the list.
  std::int32_t h = 1;
  std::int32_t stalls = 0;
  std::int32_t stalled_at = 0;
  std::int32_t broken = 0;
  std::int32_t left_at_break = 0;
  for (std::int32_t k = n; k >= 1;) {
    const std::int32_t b = ibrlist(k);
    // A grounded branch is balanced at its other node only (ground has no row).
    const bool grounded = ief(b, ss) == 0 || iet(b, ss) == 0;
    const std::int32_t x = ief(b, ss) != 0 ? ief(b, ss) : iet(b, ss);
    const std::int32_t y = ief(b, ss) != 0 ? iet(b, ss) : 0;
    std::int32_t z = x;
    bool stalled = false;
    if (touching(x, k - 1, ss) > h) {
      if (grounded || touching(y, k - 1, ss) > h) {
        stalled = true;
      } else {
        z = y;
      }
    }
    if (!stalled) {
      const double i = balance(z, k, n, ss);
      cbrnew(b) = z == ief(b, ss) ? i : -i;
      h = 1;
      --k;
      continue;
    }
    to_front(k);
    stalls = k == stalled_at ? stalls + 1 : 1;
    stalled_at = k;
    if (stalls >= k) {
      ++h;
      stalls = 0;
      if (++broken == 1) left_at_break = k;
      if (broken >= 2) second_loop(b, ss);
    }
  }

  // Step 3: one loop only, and of two branches.
  if (broken == 1 && left_at_break > 2) {
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine,
                  "Ideal loop processing is incomplete");
    wakro_quit("IDLCUR", 0);
  }

  // Step 4: the one current asked for, or every current moved to the sub-step end.
  if (brq >= 1) {
    iq = cbrnew(brq);
    return;
  }
  for (std::int32_t p = 1; p <= n; ++p) {
    const std::int32_t b = ibrlist(p);
    cbr(b, ss) += (cbrnew(b) - cbr(b, ss)) * frac;
    if (!defrdbr(b, ss) && !nosrc) ccbr(b, ss) = ccbrd(b, ss) + (ccbr(b, ss) - ccbrd(b, ss)) * frac;
  }
}

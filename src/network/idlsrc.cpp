// idlsrc: the ideal branches of subsystem ss applied to its working matrix.
//
// Lists, made again whole on every call (rows before MXINV keep the collapse of
// an earlier factorisation, and the lists must describe it, since the right-hand
// side replays them on every solution):
//   entries 1..NIDLBR(ss)       ideal branches between two non-ground nodes, in
//                               branch order: NODEV(k) = (node collapsed, node it
//                               is collapsed into), CLPSLIST(k, ss) = the branch,
//                               negative when the pair is reversed against its
//                               from/to order, 0 when it closes a loop;
//   entries ..GIDLBR(ss)        ideal branches to ground, CLPSLIST negative when
//                               the from-node is ground.
// As the collapses proceed, a collapsed node is replaced by its partner in every
// later entry. The orientation of a branch whose rows are assembled again follows
// the matrix (the lower node is collapsed into the higher one, unless the
// higher node has nothing else in its column); a branch wholly before MXINV keeps
// the orientation it had (branches::flipidlbr).
//
// Matrix rows from MXINV on: row c += row a, row a := "V(a) - V(c)"; a grounded
// entry's row x := "V(x)". The fill pattern follows (row a's marks are kept for
// the sparse solver, whose analysed pattern must stay a superset).
// Leaves: the lists, branches::flipidlbr, temp3::collap (the rows that are
// constraints now), the working matrix and its pattern.
#include <string>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s8.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/mna.h"
#include "model/temp3.h"
#include "network/ideal_branches.h"

namespace {

using ideal::clpslist;
using ideal::nodev;

[[noreturn]] void straddles(std::int32_t b, std::int32_t ss) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                "Internal problem in IDLSRC processing");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                " branch " + std::to_string(b) + " of subsystem " + std::to_string(ss));
  wakro_quit("IDLSRC", 0);
}

// Row x of the working matrix (columns 1..n) cleared; its pattern too unless the
// sparse solver keeps it.
void clear_row(e_s0::RealView w, e_s0::FillView f, std::int32_t x, std::int32_t n, bool keep) {
  for (std::int32_t j = 1; j <= n; ++j) {
    w(x, j) = 0.0;
    if (!keep) f(x, j) = false;
  }
}

// The entries of the lists.
void make_lists(std::int32_t ss, std::int32_t m, e_s0::RealView w) {
  using namespace branches;
  std::int32_t k = 0;
  for (std::int32_t b = 1; b <= int2::insb(ss); ++b) {
    const std::int32_t f = ief(b, ss);
    const std::int32_t t = iet(b, ss);
    if (!idealbr(b, ss) || f == 0 || t == 0) continue;
    ++k;
    if (f >= m || t >= m) {
      if (f < m || t < m) straddles(b, ss);
      flipidlbr(b, ss) = w(t, t) + w(f, t) == 0.0 || t < f;
    }
    const bool flip = flipidlbr(b, ss);
    nodev(k, 1) = flip ? t : f;
    nodev(k, 2) = flip ? f : t;
    clpslist(k, ss) = flip ? -b : b;
  }
  ideal::nidlbr(ss) = k;
  for (std::int32_t b = 1; b <= int2::insb(ss); ++b) {
    const std::int32_t f = ief(b, ss);
    const std::int32_t t = iet(b, ss);
    // Exactly one end at ground; a branch from ground to ground has no effect.
    if (!idealbr(b, ss) || (f == 0) == (t == 0)) continue;
    ++k;
    flipidlbr(b, ss) = f == 0;
    clpslist(k, ss) = f == 0 ? -b : b;
    nodev(k, 1) = f;
    nodev(k, 2) = t;
  }
  ideal::gidlbr(ss) = k;
}

}  // namespace

void idlsrc(std::int32_t ss) {
  const std::int32_t m = e_s8::mxinv(ss);
  const std::int32_t nbus = e_s0::mbus(ss);
  const bool augmented = mna::enable_mna && mna::mna_elem.allocated() && mna::mna_elem(ss) > 0;
  const std::int32_t n = augmented ? mna::mbus_mna(ss) : nbus;
  const bool keep_pattern = int3::use_klu(ss);
  e_s0::RealView w = e_s0::assign_rdc_ptr(ss);
  e_s0::FillView fill = e_s0::assign_temfil_ptr(ss);

  // Step 1: no row is a constraint yet.
  for (std::int32_t x = 1; x <= nbus; ++x) temp3::collap(x) = false;

  // Step 2: the lists.
  make_lists(ss, m, w);
  const std::int32_t ncollapse = ideal::nidlbr(ss);
  const std::int32_t total = ideal::gidlbr(ss);

  // Step 3: collapses between two nodes.
  for (std::int32_t k = 1; k <= ncollapse; ++k) {
    const std::int32_t a = nodev(k, 1);
    const std::int32_t c = nodev(k, 2);
    const bool assembled = a >= m && c >= m;
    if (a == c) {
      // The replacements made both ends one node: the branch closes a loop.
      clpslist(k, ss) = 0;
      if (assembled) sctest(ss);
      continue;
    }
    if (assembled) {
      for (std::int32_t j = 1; j <= n; ++j) {
        w(c, j) += w(a, j);
        if (fill(a, j)) fill(c, j) = true;
      }
      clear_row(w, fill, a, n, keep_pattern);
      w(a, c) = -1.0;
      w(a, a) = 1.0;
      fill(a, c) = fill(a, a) = true;
    }
    temp3::collap(a) = true;
    for (std::int32_t j = k + 1; j <= total; ++j) {
      if (nodev(j, 1) == a) nodev(j, 1) = c;
      if (nodev(j, 2) == a) nodev(j, 2) = c;
    }
  }

  // Step 4: nodes tied to ground.
  for (std::int32_t k = ncollapse + 1; k <= total; ++k) {
    const std::int32_t x = nodev(k, 1) != 0 ? nodev(k, 1) : nodev(k, 2);
    if (temp3::collap(x)) {
      clpslist(k, ss) = 0;
      if (x >= m) sctest(ss);
      continue;
    }
    temp3::collap(x) = true;
    if (x < m) continue;
    clear_row(w, fill, x, n, keep_pattern);
    w(x, x) = 1.0;
    fill(x, x) = true;
  }
}

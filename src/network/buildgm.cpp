// wakro_buildgm: the time-zero build of every subsystem's conductance matrix from
// set-up form to nodal form (model/e_s0.h).
//
// Leaves: for each node j of each subsystem s, ideal::gms(j, s) := the set-up
// diagonal gm(j, j) (the conductance to ground) and gm(j, j) := the sum of column
// j (that conductance plus every conductance to other nodes); the off-diagonals
// unchanged; e_s0::gm_built set. A subsystem without matrices is passed over, and
// the loops stay within the view and ideal::gms whatever mbus says. A gm on the
// sparse store is built from its stored entries only.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/e_s0.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "network/matrix.h"

namespace {

// The same build over the stored entries of a sparse gm: the column sums taken
// row by row, so that each column adds its entries in the order of the dense
// loop (the entries not stored are 0 and change no sum).
void build_stored(const e_s0::GmView& gm, std::int32_t n, std::int32_t s) {
  std::vector<double> sum(static_cast<std::size_t>(std::max(n, 0)), 0.0);
  for (std::int32_t i = 1; i <= n; ++i)
    gm.for_row(i, n, [&](std::int32_t j, double v) { sum[static_cast<std::size_t>(j - 1)] += v; });
  for (std::int32_t j = 1; j <= n; ++j) {
    ideal::gms(j, s) = gm(j, j);
    gm(j, j) = sum[static_cast<std::size_t>(j - 1)];
  }
}

}  // namespace

void wakro_buildgm() {
  for (std::int32_t s = 1; s <= int2::nmat; ++s) {
    e_s0::GmView gm = e_s0::assign_gm_ptr(s);
    if (!gm.valid()) continue;
    const std::int32_t n =
        std::min({e_s0::mbus(s), gm.extent(1), gm.extent(2), ideal::gms.extent(1)});
    if (gm.is_sparse()) {
      build_stored(gm, n, s);
      continue;
    }
    for (std::int32_t j = 1; j <= n; ++j) {
      ideal::gms(j, s) = gm(j, j);
      double sum = 0.0;
      for (std::int32_t i = 1; i <= n; ++i) sum += gm(i, j);
      gm(j, j) = sum;
    }
  }
  e_s0::gm_built = true;
}

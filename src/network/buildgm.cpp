// wakro_buildgm: the time-zero build of every subsystem's conductance matrix from
// set-up form to nodal form (model/e_s0.h).
//
// Leaves: for each node j of each subsystem s, ideal::gms(j, s) := the set-up
// diagonal gm(j, j) (the conductance to ground) and gm(j, j) := the sum of column
// j (that conductance plus every conductance to other nodes); the off-diagonals
// unchanged; e_s0::gm_built set. A subsystem without matrices is passed over, and
// the loops stay within the view and ideal::gms whatever mbus says.
#include <algorithm>
#include <cstdint>

#include "model/e_s0.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "network/matrix.h"

void wakro_buildgm() {
  for (std::int32_t s = 1; s <= int2::nmat; ++s) {
    e_s0::RealView gm = e_s0::assign_gm_ptr(s);
    if (!gm.valid()) continue;
    const std::int32_t n =
        std::min({e_s0::mbus(s), gm.extent(1), gm.extent(2), ideal::gms.extent(1)});
    for (std::int32_t j = 1; j <= n; ++j) {
      ideal::gms(j, s) = gm(j, j);
      double sum = 0.0;
      for (std::int32_t i = 1; i <= n; ++i) sum += gm(i, j);
      gm(j, j) = sum;
    }
  }
  e_s0::gm_built = true;
}

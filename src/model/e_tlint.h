// Module e_tlint: read-time scratch of the line reader, used while one line is
// read and not kept in snapshots.
//
// The end nodes knodet/mnodet hold the conductors of any line model, so their
// length is ndde::nd_conductors(), the largest conductor count of any model.
//
// Rows X(name, element type, rank, (extents)) in creation order, extents in the
// working sizes of the dimension table (ndde); see e_s7.h.
#pragma once

#include <cstdint>

#include "model/farray.h"

#define WAKRO_E_TLINT_ARRAYS(X)                                                         \
  X(rc, wakro::cplx, 1, (nd8))                   /* residues, pole/residue form */      \
  X(pc, wakro::cplx, 1, (nd8))                   /* poles, pole/residue form */         \
  X(ycsera, wakro::cplx, 2, (nd43, nd49))        /* Yc poles (negated), per column */   \
  X(yckladd, wakro::cplx, 3, (nd43, nd43, nd49)) /* Yc residues (row, column, pole) */  \
  X(lambyc, wakro::cplx, 2, (nd43, nd49))        /* Yc present-value coefficients */    \
  X(muyc, wakro::cplx, 2, (nd43, nd49))          /* Yc previous-value coefficients */   \
  X(hsera, wakro::cplx, 2, (nd43, nd49))         /* H poles (negated), per group */     \
  X(ycserd, double, 2, (nd43, nd43))             /* constant term D of the Yc fit */    \
  X(tau, double, 1, (nd43))                      /* group travel times [s] */           \
  X(knodet, std::int32_t, 1, (nd_conductors()))  /* sending-end node per conductor */   \
  X(mnodet, std::int32_t, 1, (nd_conductors()))  /* receiving-end node per conductor */ \
  X(rmfd, double, 2, (nd55, nd55))               /* MFDTD resistance matrix */          \
  X(dlmfd, double, 2, (nd55, nd55))              /* MFDTD inductance matrix */          \
  X(gmfd, double, 2, (nd55, nd55))               /* MFDTD conductance matrix */         \
  X(cmfd, double, 2, (nd55, nd55))               /* MFDTD capacitance matrix */         \
  X(gamamfd, double, 2, (nd55, nd55))            /* MFDTD propagation matrix */

namespace e_tlint {

#define WAKRO_E_TLINT_DECLARE(name, T, rank, extents) inline wakro::FArray<T, rank> name{#name};
WAKRO_E_TLINT_ARRAYS(WAKRO_E_TLINT_DECLARE)
#undef WAKRO_E_TLINT_DECLARE

}  // namespace e_tlint

// Module e_tldyn: the per-step history of the phase-domain and MFDTD lines.
//
// Rows X(name, element type, rank, (extents)) in creation order, extents in the
// working sizes of the dimension table (ndde); see e_s7.h.
#pragma once

#include <cstdint>

#include "model/farray.h"

#define WAKRO_E_TLDYN_ARRAYS(X)                                                                   \
  X(interpk, double, 3, (nd43, nd43, nd41))             /* interpolated wave, sending end */      \
  X(interpm, double, 3, (nd43, nd43, nd41))             /* interpolated wave, receiving end */    \
  X(iik, double, 1, (nd43))                             /* end currents, sending end */           \
  X(iim, double, 1, (nd43))                             /* end currents, receiving end */         \
  X(pek1, std::int32_t, 2, (nd43, nd41))                /* previous ring read position */         \
  X(vhmfd, double, 3, (nd55, nd57, nd53))               /* MFDTD history voltages */              \
  X(ismfd, double, 1, (nd55))                           /* MFDTD work vector */                   \
  X(irmfd, double, 1, (nd55))                           /* MFDTD work vector */                   \
  X(ishmfd, double, 2, (nd55, nd53))                    /* MFDTD sending-end history current */   \
  X(irhmfd, double, 2, (nd55, nd53))                    /* MFDTD receiving-end history current */ \
  X(iomfd1, double, 1, (nd55))                          /* MFDTD work vector */                   \
  X(iomfd2, double, 1, (nd55))                          /* MFDTD work vector */                   \
  X(iomfd3, double, 1, (nd55))                          /* MFDTD work vector */                   \
  X(ihmfd1, double, 3, (nd55, nd57, nd53))              /* MFDTD history currents 1 */            \
  X(ihmfd2, double, 3, (nd55, nd57, nd53))              /* MFDTD history currents 2 */            \
  X(ihmfd3, double, 3, (nd55, nd57, nd53))              /* MFDTD history currents 3 */            \
  X(ihmfd0, double, 3, (nd55, nd57, nd53))              /* MFDTD currents */                      \
  X(psiimfd, wakro::cplx, 2, (nd55, nd56))              /* MFDTD work matrix */                   \
  X(psisummfd, double, 1, (nd55))                       /* MFDTD work vector */                   \
  X(psiihmfd, wakro::cplx, 4, (nd55, nd57, nd56, nd53)) /* MFDTD convolution history */           \
  X(tmp1, double, 1, (nd55))                            /* MFDTD work vector */                   \
  X(tmp2, double, 1, (nd55))                            /* MFDTD work vector */                   \
  X(tmp3, double, 1, (nd55))                            /* MFDTD work vector */                   \
  X(dvmfd, double, 1, (nd55))                           /* MFDTD work vector */                   \
  X(dimfd, double, 1, (nd55))                           /* MFDTD work vector */                   \
  X(vmfd, double, 2, (nd55, nd57))                      /* MFDTD work matrix */

namespace e_tldyn {

#define WAKRO_E_TLDYN_DECLARE(name, T, rank, extents) inline wakro::FArray<T, rank> name{#name};
WAKRO_E_TLDYN_ARRAYS(WAKRO_E_TLDYN_DECLARE)
#undef WAKRO_E_TLDYN_DECLARE

}  // namespace e_tldyn

// Module e_s7ph: the tables of the frequency-dependent phase-domain lines
// (FRE-PHASE), with the line reader's counters.
//
// Per line p: its subsystems, conductor count and fitted data. The "NG" entries
// 1 .. ng(p) are the line's propagation groups (one travel time each); nh and nyc
// bound the entries in use of the pole tables. The pooled tables (ikr, imr, gh,
// hserc, ycserc, xhk, xhm) are shared by all phase-domain lines, each line taking a
// consecutive stretch.
//
// Rows X(name, element type, rank, (extents)) in creation order, extents in the
// working sizes of the dimension table (ndde); see e_s7.h.
#pragma once

#include <cstdint>

#include "model/farray.h"
#include "model/fixedtext.h"

#define WAKRO_E_S7PH_ARRAYS(X)                                                           \
  X(tauj, std::int32_t, 2, (nd41, nd43))        /* group delay in whole steps */         \
  X(maxtauj, std::int32_t, 1, (nd41))           /* longest group delay in steps */       \
  X(epsarr, double, 2, (nd41, nd43))            /* group interpolation fraction */       \
  X(ihisk, double, 2, (nd43, nd41))             /* sending-end history current */        \
  X(ihism, double, 2, (nd43, nd41))             /* receiving-end history current */      \
  X(iki, double, 2, (nd43, nd41))               /* sending-end propagated current */     \
  X(imi, double, 2, (nd43, nd41))               /* receiving-end propagated current */   \
  X(gyc, double, 3, (nd43, nd43, nd41))         /* constant admittance matrix */         \
  X(oldinterpk, double, 3, (nd43, nd43, nd41))  /* last interpolated wave, sending */    \
  X(oldinterpm, double, 3, (nd43, nd43, nd41))  /* last interpolated wave, receiving */  \
  X(ikr, double, 1, (nd44))                     /* pooled sending-end wave rings */      \
  X(imr, double, 1, (nd44))                     /* pooled receiving-end wave rings */    \
  X(gh, double, 1, (nd45))                      /* pooled constant H matrices */         \
  X(hserc, wakro::cplx, 1, (nd46))              /* pooled H residue coefficients */      \
  X(ycserc, wakro::cplx, 1, (nd47))             /* pooled Yc residue coefficients */     \
  X(xhk, wakro::cplx, 1, (nd48))                /* pooled sending-end H convolution */   \
  X(xhm, wakro::cplx, 1, (nd48))                /* pooled receiving-end H convolution */ \
  X(alfayc, wakro::cplx, 3, (nd49, nd43, nd41)) /* Yc pole factors */                    \
  X(alfah, wakro::cplx, 3, (nd49, nd43, nd41))  /* H pole factors */                     \
  X(xyck, wakro::cplx, 3, (nd49, nd43, nd41))   /* sending-end Yc convolution */         \
  X(xycm, wakro::cplx, 3, (nd49, nd43, nd41))   /* receiving-end Yc convolution */       \
  X(nyc, std::int32_t, 2, (nd43, nd41))         /* Yc poles in use per conductor */      \
  X(nh, std::int32_t, 2, (nd43, nd41))          /* H poles in use per group */           \
  X(ng, std::int32_t, 1, (nd41))                /* number of propagation groups */       \
  X(pek2, std::int32_t, 2, (nd43, nd41))        /* ring read position of each group */   \
  X(ppek, std::int32_t, 1, (nd41))              /* ring pointer, 1 .. maxtauj + 1 */     \
  X(kssph, std::int32_t, 1, (nd41))             /* sending-end subsystem */              \
  X(mssph, std::int32_t, 1, (nd41))             /* receiving-end subsystem */            \
  X(modeph, std::int32_t, 1, (nd41))            /* number of conductors */               \
  X(mnodeph, std::int32_t, 1, (nd42))           /* receiving-end node per conductor */   \
  X(knodeph, std::int32_t, 1, (nd42))           /* sending-end node per conductor */     \
  X(inflengthph, bool, 1, (nd41))               /* infinite-length option */             \
  X(tlnameph, wakro::FixedText<200>, 1, (nd41)) /* line name */                          \
  X(betah, wakro::cplx, 3, (nd49, nd43, nd41))  /* H present-value weights */            \
  X(gammah, wakro::cplx, 3, (nd49, nd43, nd41)) /* H previous-value weights */

namespace e_s7ph {

#define WAKRO_E_S7PH_DECLARE(name, T, rank, extents) inline wakro::FArray<T, rank> name{#name};
WAKRO_E_S7PH_ARRAYS(WAKRO_E_S7PH_DECLARE)
#undef WAKRO_E_S7PH_DECLARE

inline std::int32_t lineph = 0;     // phase-domain lines counted so far
inline std::int32_t nlmodeuph = 0;  // phase-domain conductors counted so far
inline std::int32_t npnt1 = 0;      // entries of hserc used so far (H residues)
inline std::int32_t npnt2 = 0;      // entries of ycserc used so far (Yc residues)
inline std::int32_t npnt3 = 0;      // further working counter of the line reader
inline std::int32_t npnt4 = 0;      // entries of gh used so far

}  // namespace e_s7ph

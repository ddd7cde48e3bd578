// Module e_s7mfd: the tables of the MFDTD lines, with the line reader's counters.
//
// Per line: its subsystems, conductor count, segment count and length, the fitted
// poles with their matrix residues, and the coefficient, impedance and admittance
// matrices of the finite-difference scheme (conductor x conductor per line).
//
// Rows X(name, element type, rank, (extents)) in creation order, extents in the
// working sizes of the dimension table (ndde); see e_s7.h.
#pragma once

#include <cstdint>

#include "model/farray.h"
#include "model/fixedtext.h"

#define WAKRO_E_S7MFD_ARRAYS(X)                                                             \
  X(kssmfd, std::int32_t, 1, (nd53))                 /* sending-end subsystem */            \
  X(mssmfd, std::int32_t, 1, (nd53))                 /* receiving-end subsystem */          \
  X(modemfd, std::int32_t, 1, (nd53))                /* number of conductors */             \
  X(inflengthmfd, bool, 1, (nd53))                   /* infinite-length option */           \
  X(tlnamemfd, wakro::FixedText<200>, 1, (nd53))     /* line name */                        \
  X(mnodemfd, std::int32_t, 1, (nd54))               /* receiving-end node per conductor */ \
  X(knodemfd, std::int32_t, 1, (nd54))               /* sending-end node per conductor */   \
  X(nmfd, std::int32_t, 1, (nd53))                   /* segments: length / dxmfd */         \
  X(npolesmfd, std::int32_t, 1, (nd53))              /* fitted poles of the line */         \
  X(alphamfd, wakro::cplx, 2, (nd56, nd53))          /* poles */                            \
  X(aimfd, wakro::cplx, 4, (nd55, nd55, nd56, nd53)) /* matrix residue of each pole */      \
  X(zeta2mfd, double, 2, (nd56, nd53))               /* per-pole coefficient Zeta2 */       \
  X(xhi2mfd, double, 2, (nd56, nd53))                /* per-pole coefficient Xhi2 */        \
  X(ealphamfd, wakro::cplx, 2, (nd56, nd53))         /* exp(alpha dt) of each pole */       \
  X(zeta1mfd, double, 3, (nd55, nd55, nd53))         /* coefficient matrix Zeta1 */         \
  X(xhi1mfd, double, 3, (nd55, nd55, nd53))          /* coefficient matrix Xhi1 */          \
  X(zplusimfd, double, 3, (nd55, nd55, nd53))        /* impedance matrix Zp^-1 */           \
  X(zminusmfd, double, 3, (nd55, nd55, nd53))        /* impedance matrix Zm */              \
  X(yplusmfd, double, 3, (nd55, nd55, nd53))         /* admittance matrix Yp */             \
  X(yplusimfd, double, 3, (nd55, nd55, nd53))        /* admittance matrix Yp^-1 */          \
  X(yminusmfd, double, 3, (nd55, nd55, nd53))        /* admittance matrix Ym */             \
  X(yhmfd, double, 3, (nd55, nd55, nd53))            /* admittance matrix Yh */             \
  X(dxmfd, double, 1, (nd53))                        /* segment length */

namespace e_s7mfd {

#define WAKRO_E_S7MFD_DECLARE(name, T, rank, extents) inline wakro::FArray<T, rank> name{#name};
WAKRO_E_S7MFD_ARRAYS(WAKRO_E_S7MFD_DECLARE)
#undef WAKRO_E_S7MFD_DECLARE

inline std::int32_t linemfd = 0;     // MFDTD lines counted so far
inline std::int32_t nlmodeumfd = 0;  // MFDTD conductors counted so far

}  // namespace e_s7mfd

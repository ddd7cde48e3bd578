// Module e_s7: the line directory and the tables of the mode-domain lines
// (Bergeron and FRE-DEP), with the line reader's counters.
//
// The directory `linemodel` has one row per line of any model, filled in reading
// order, 13 columns:
//   1 model (0 Bergeron, 1 FRE-DEP, 2 FRE-PHASE, 3 MFDTD)
//   2 index of the line in its model's per-line arrays
//   3 conductors of the same model before this line (its first conductor is entry
//     column 3 + 1 of the model's per-conductor arrays)
//   4 ENI role (0 ordinary, 1 server end, 2 client end)
//   5 number of conductors
//   6, 7   sending end: first index and count of the control signals it sends (cscs)
//   8, 9   sending end: first index at which it receives (cscr), > 0 when it receives
//   10, 11 receiving end: first index and count of the control signals it sends
//   12, 13 receiving end: first index at which it receives, > 0 when it receives
//
// Every "conductor of any line" dimension (globaldm and the reader's admittance
// scratch dm, dn) is sized ndde::nd_conductors(), the largest conductor count of
// any model, so a phase-domain or MFDTD line wider than the mode-domain ones fits.
//
// The arrays are listed once, in creation order, as rows
//   X(name, element type, rank, (extents))
// with the extents written in the working sizes of the dimension table (ndde);
// a_tlines (tlines.cpp) expands the list to allocate them, this header to declare
// them.
#pragma once

#include <cstdint>

#include "model/farray.h"
#include "model/fixedtext.h"

#define WAKRO_E_S7_ARRAYS(X)                                                             \
  /* per mode of the mode-domain lines (offset: directory column 3) */                   \
  X(vdck, double, 1, (nd36))  /* sending-end voltage kept from last step */              \
  X(vdcm, double, 1, (nd36))  /* receiving-end voltage, last step */                     \
  X(ck, double, 1, (nd36))    /* sending-end modal history current */                    \
  X(cm, double, 1, (nd36))    /* receiving-end modal history current */                  \
  X(ckk, double, 1, (nd36))   /* sending-end split history value */                      \
  X(cmm, double, 1, (nd36))   /* receiving-end split history value */                    \
  X(a0a, double, 1, (nd36))   /* constant term of the propagation fit */                 \
  X(a0y, double, 1, (nd36))   /* characteristic conductance of the mode */               \
  X(fnt, double, 1, (nd36))   /* fractional travel time in steps */                      \
  X(fk, double, 2, (nd36, 2)) /* sending-end shaping / wave memory */                    \
  X(fm, double, 2, (nd36, 2)) /* receiving-end shaping / wave memory */                  \
  /* pooled travelling-wave buffers */                                                   \
  X(bk, double, 1, (nd31)) /* sending-end arriving-wave ring */                          \
  X(bm, double, 1, (nd31)) /* receiving-end arriving-wave ring */                        \
  X(vk, double, 1, (nd31)) /* sending-end modal voltage ring */                          \
  X(vm, double, 1, (nd31)) /* receiving-end modal voltage ring */                        \
  X(ti, double, 1, (nd32)) /* constant transformation terms */                           \
  /* recursive-convolution data of the transformation terms */                           \
  X(skvt, double, 1, (nd33))   /* sending-end voltage state */                           \
  X(smvt, double, 1, (nd33))   /* receiving-end voltage state */                         \
  X(skit, double, 1, (nd33))   /* sending-end current state */                           \
  X(smit, double, 1, (nd33))   /* receiving-end current state */                         \
  X(alphat, double, 1, (nd33)) /* pole factor */                                         \
  X(lamdat, double, 1, (nd33)) /* present-value weight */                                \
  X(mut, double, 1, (nd33))    /* previous-value weight */                               \
  /* read-time scratch of the line reader */                                             \
  X(dm, double, 2, (nd_conductors(), nd_conductors())) /* admittance of the line read */ \
  X(dn, double, 2, (nd_conductors(), nd_conductors())) /* admittance product scratch */  \
  X(a, double, 1, (nd8))                               /* fitted residues */             \
  X(p, double, 1, (nd8))                               /* poles as read */               \
  X(z, double, 1, (nd8))                               /* zeros as read */               \
  /* recursive-convolution data of the propagation functions */                          \
  X(ska, wakro::cplx, 1, (nd34))    /* sending-end state */                              \
  X(sma, wakro::cplx, 1, (nd34))    /* receiving-end state */                            \
  X(alphaa, wakro::cplx, 1, (nd34)) /* exp(-p dt) */                                     \
  X(lamdaa, wakro::cplx, 1, (nd34)) /* present-value weight */                           \
  X(mua, wakro::cplx, 1, (nd34))    /* previous-value weight */                          \
  /* surge-impedance data */                                                             \
  X(zreq, wakro::cplx, 1, (nd35))    /* pole's share of the series resistance */         \
  X(zgc, wakro::cplx, 1, (nd35))     /* exp(-p dt) / zreq */                             \
  X(zexp, wakro::cplx, 1, (nd35))    /* exp(-p dt), the pole state's step factor */      \
  X(cky, wakro::cplx, 1, (nd35))     /* sending-end pole state */                        \
  X(cmy, wakro::cplx, 1, (nd35))     /* receiving-end pole state */                      \
  X(splitk, double, 1, (nd6))        /* Bergeron loss-split coefficient */               \
  X(shapek, double, 2, (2, nd6))     /* Bergeron shaping coefficients */                 \
  X(npolet, std::int32_t, 1, (nd32)) /* poles of each transformation term */             \
  X(npolez, std::int32_t, 1, (nd36)) /* poles of the mode's impedance fit */             \
  X(npolea, std::int32_t, 1, (nd36)) /* poles of the mode's propagation fit */           \
  X(nt, std::int32_t, 1, (nd36))     /* whole travel time in steps (ring length) */      \
  X(m1, std::int32_t, 1, (nd36))     /* ring pointer of the mode, 1 .. nt */             \
  /* per mode-domain line */                                                             \
  X(kss, std::int32_t, 1, (nd6))             /* sending-end subsystem */                 \
  X(mss, std::int32_t, 1, (nd6))             /* receiving-end subsystem */               \
  X(mode, std::int32_t, 1, (nd6))            /* number of conductors */                  \
  X(mnode, std::int32_t, 1, (nd36))          /* receiving-end node of each conductor */  \
  X(knode, std::int32_t, 1, (nd36))          /* sending-end node of each conductor */    \
  X(model, std::int32_t, 1, (nd6))           /* 0 Bergeron, 1 FRE-DEP */                 \
  X(inflength, bool, 1, (nd6))               /* infinite-length option */                \
  X(tlname, wakro::FixedText<200>, 1, (nd6)) /* line name */                             \
  /* every line of any model */                                                          \
  X(linemodel, std::int32_t, 2, (nd58, 13)) /* the line directory (columns above) */     \
  X(globaldm, double, 3, (nd_conductors(), nd_conductors(), nd58)) /* line admittance */

namespace e_s7 {

#define WAKRO_E_S7_DECLARE(name, T, rank, extents) inline wakro::FArray<T, rank> name{#name};
WAKRO_E_S7_ARRAYS(WAKRO_E_S7_DECLARE)
#undef WAKRO_E_S7_DECLARE

inline std::int32_t line = 0;       // mode-domain lines counted so far (TLINES)
inline std::int32_t img = 0;        // directory rows filled so far, all models
inline std::int32_t nlmodeu = 0;    // running total of modes (NUMMODES)
inline std::int32_t ntwbufu = 0;    // running total of wave-buffer length (TRAVWAVES)
inline std::int32_t ntermtu = 0;    // running total of transformation terms (TRANSFORMS)
inline std::int32_t npoltu = 0;     // running total of transformation data (TRANSPOLES)
inline std::int32_t npolau = 0;     // running total of propagation data (ATTPOLES)
inline std::int32_t npolzu = 0;     // running total of surge-impedance data (SURGEPOLES)
inline double tstepmin = 1.0e99;    // smallest time-step bound found over the lines [us]
inline std::int32_t ntldtwarn = 0;  // lines whose travel time was raised to one step
inline std::int32_t tldterr = 0;    // 1 when some travel time is below 0.8 step

}  // namespace e_s7

// Re-sizes the line group for a later run with tandem lines: releases it, derives
// again the sizes that follow the line-constants files (nd8, nd31..nd36,
// nd42..nd49, nd54..nd57) as max(e_ndim(k), 1), and allocates it again. The line
// counts nd5, nd6, nd41, nd53, nd58, nd69 and nd70 keep their first-run values.
// The per-conductor line currents e_s0::cdctl grow with the widest line.
void resize_tlines_for_tandem();

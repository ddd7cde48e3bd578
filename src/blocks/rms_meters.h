// RMS and peak meters: the stateless three-phase RMS, the one-state running RMS,
// the synchronous-correlation RMS meter with its forms for a node voltage, the
// current between two nodes and a branch current, the peak detector and the
// filtered per-unit peak voltage meter.
//
// Slots per call, in the order they are taken ("stor" from nexc + 1 on): the
// records of wakro::blocks::layout below; rms3ph takes none. The correlation
// record (arms10, vrms10, crms10): the input x, the time t0 of the last
// re-synchronisation, the amplitude and sign A of the reference sine, Sxy and Syy
// (main correlation and reference-energy sums), S'xy and S'yy (second sums), the
// last measured RMS M, the output filter state Y and the input filter state xf.
// v1max4's state is 1 after a peak or while |x| falls, 0 while it rises. vmea35
// reserves three cmpxp5 input filters always (used when mode < 1.75), then the
// four cmpxp5 of the output chain.
//
// The correlation meters fit A sin(2 pi f (time - t0)) to x over the last one to
// two half-periods, re-synchronising the reference at each sign change of the
// filtered input, and forget 0.5 % per step; their result is 0 for the first
// twelfth of a period. A reference amplitude found at 0 (the run's clearing of
// the storage) is set to 1, so that they measure from cleared storage too.
// vrms10 and crms11 check their node and branch numbers at the time-zero pass
// (tags "VRMS10", "CRMS11"); vmea35 its nodes (tag "VMEA35"). Node 0 reads 0 V.
#pragma once

#include <cstdint>

#include "blocks/continuous.h"

namespace wakro::blocks::layout {
namespace rms3 {  // stor: the RMS y, then two reserved
enum : std::int32_t { kOut = 1, kReserved1, kReserved2, kStorSize = kReserved2 };
}
namespace correlation {  // arms10, vrms10, crms10: stor
enum : std::int32_t { kX = 1, kT0, kA, kSxy, kSyy, kSxy2, kSyy2, kM, kY, kXf, kStorSize = kXf };
}
namespace crms11 {  // stor: the correlation record, then the branch current
enum : std::int32_t { kCurrent = 1, kStorOwn = kCurrent, kStorSize = correlation::kStorSize + kStorOwn };
}
namespace v1max4 {  // stor: previous |x|, held peak, time before which no peak is taken, state
enum : std::int32_t { kPrevious = 1, kPeak, kEarliest, kState, kStorSize = kState };
}
namespace vmea35 {  // stor: three input filters, then four output filters (cmpxp5 each)
enum : std::int32_t {
  kInputFilters = 3 * cmpxp5::kStorSize, kStorSize = kInputFilters + 4 * cmpxp5::kStorSize
};
}
}  // namespace wakro::blocks::layout

// sqrt((a^2 + b^2 + c^2) / 3).
double rms3ph(double a, double b, double c);
// Running RMS of u with time constant T: the positive root y of
// (1 + a) y^2 - y_prev y - a u^2 = 0, a = delt / max(T, delt). No time-zero
// branch: y starts from its slot.
double rms3(double u, double T);

// RMS of the component of x at frequency f; Tout smooths the result, Tin the
// input's sign detection.
double arms10(double x, double Tout, double f, double Tin);
// arms10 of VDC(na) - VDC(nb) (VDC(nb) when na = 0, VDC(na) when nb = 0),
// starting from cleared slots (A = 1) at the time-zero pass.
double vrms10(std::int32_t ss, std::int32_t na, std::int32_t nb, double Tout, double f, double Tin);
// arms10 of the current of the branch between nodes n and m.
double crms10(std::int32_t ss, std::int32_t n, std::int32_t m, double Tout, double f, double Tin);
// arms10 of the current of branch br.
double crms11(std::int32_t ss, std::int32_t br, double Tout, double f, double Tin);
// Peak of |x|, held, taken one step past each maximum, none within 3 steps of
// the last; started at Vn (no peak for 5 ms when x starts above 0.9 Vn).
double v1max4(double x, double Vn);
// Per-unit peak voltage of three nodes for controls: the envelope of the phase
// and line-to-line / sqrt 3 voltages over 0.57735 Vbase, through notches at about
// w, 2 w and 6 w and a second-order low-pass of gain 0.7153 at 2 w.
void vmea35(std::int32_t na, std::int32_t nb, std::int32_t nc, std::int32_t ss, double mode, double Vbase,
            double w, double& out);

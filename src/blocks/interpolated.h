// Interpolated-signal blocks: an integrator and two PI controllers that integrate
// exactly up to and after a switching instant inside the step, a zero-crossing
// detector, a comparator, a hysteresis buffer, a logic gate, flip-flops and a
// shift register that pass such an instant on.
//
// Every signal that may switch is an XPair (value, time from the change to the
// end of the step; conventions.h). A detector finds the instant by linear
// interpolation between the last two samples; a receiver with its interpolation
// switch on holds the previous value up to the change and the new value after it.
//
// Slots per call, in the order they are taken (slot 1 first): the records of
// wakro::blocks::layout below. wakro_xpi and wakro_xpi2 take those of their
// wakro_xint, wakro_x2comp that of its wakro_xzcd (on A - B), e_xflip1_exe its
// STORI as wakro_xflip, wakro_xshift one wakro_xflip per stage, stage 1 first.
//
// Flip-flop triggers (clock edge mode): 0 a falling clock, 1 a rising clock,
// 2 whenever the clock is true; any other mode never triggers. New state from the
// inputs (a, b) as they stood at the clock edge:
//   a b   type 0   type 1   type 2   type 3
//   0 0   Q        Q        0        Q
//   0 1   0        0        0        0
//   1 0   1        1        1        1 - Q
//   1 1   1 - Q    Q        0        0
#pragma once

#include <cstdint>
#include <span>

#include "blocks/conventions.h"

namespace wakro::blocks::layout {
namespace xint {  // wakro_xint, wakro_xpi, wakro_xpi2: STORF
enum : std::int32_t { kInput = 1, kOut, kTimeConstant, kStorfSize = kTimeConstant };
}
namespace xzcd {  // wakro_xzcd, wakro_x2comp: STORF
enum : std::int32_t { kPrevious = 1, kStorfSize = kPrevious };
}
namespace xhbuff {  // STORI, then STORF: two detectors (X - upper, then X - lower)
enum : std::int32_t { kLastOut = 1, kStoriSize = kLastOut };
enum : std::int32_t { kStorfSize = 2 * xzcd::kStorfSize };
}
namespace xlgate {  // STORI: last output, then the last rounded value of inputs 1 .. 9
enum : std::int32_t { kLastOut = 1, kFirstInput, kInputs = 9, kStoriSize = kLastOut + kInputs };
}
namespace xflip {  // wakro_xflip, e_xflip1_exe, a stage of wakro_xshift: STORI, as of the last call
enum : std::int32_t { kQ = 1, kClock, kInputA, kInputB, kStoriSize = kInputB };
}
namespace xflip1 {  // e_xflip1: RTCI
enum : std::int32_t { kEdgeMode = 1, kType, kInterp, kQ0, kRtciSize = kQ0 };
}
namespace xshift {  // STORI per stage
constexpr std::int32_t stori_size(std::int32_t n) { return n * xflip::kStoriSize; }
}
}  // namespace wakro::blocks::layout

using wakro::blocks::XPair;

// Integral of X / T' (T' = 1 when |T| < 1e-20) from Y0. With the input
// interpolation switch on, the previous input is integrated over delt - X(2) and
// the present one over X(2); otherwise the trapezoidal rule with the time
// constant of each end. With the reset switch on and RST(1) true the output is
// reset to R -- with the reset interpolation switch on, R plus the integral over
// the RST(2) after the reset instant. Clamped to HI, then to LO.
double wakro_xint(std::int32_t inputInterp, std::int32_t resetInterp, std::int32_t resetSwitch, double Y0,
                  double T, double R, double LO, double HI, const XPair& RST, const XPair& X);

// K X(1) plus the wakro_xint integral (both clamped to [LO, HI]).
double wakro_xpi(std::int32_t interp, double K, double T, double LO, double HI, double Y0, const XPair& X);

// K X(1) plus an unclamped wakro_xint integral; while the sum is at a limit the
// output is that limit and the integrator does not move.
double wakro_xpi2(std::int32_t interp, double K, double T, double LO, double HI, double Y0, const XPair& X);

// OUT(1) +1 on a rising crossing of zero (p < 0, x >= 0), -1 on a falling one
// (p > 0, x <= 0), 0 otherwise; OUT(2) the time since it.
void wakro_xzcd(double x, XPair& OUT);

// Comparator of A and B. Level mode: HIGH when A > B, else LOW. Edge mode (edge
// switch on): HOLD, but LOW on a falling and HIGH on a rising crossing of A - B.
// The crossing time is passed with the interpolation switch on.
void wakro_x2comp(std::int32_t interp, std::int32_t edge, double A, double B, double HIGH, double HOLD,
                  double LOW, XPair& OUT);

// Hysteresis between LOW and UP: 1 - Q0 from X >= UP on, Q0 from X <= LOW on,
// the last output between. LOW >= UP gives a comparator at max(UP, LOW).
void wakro_xhbuff(std::int32_t Q0, std::int32_t interp, double X, double UP, double LOW, XPair& OUT);

// AND (type 0), OR (1) or XOR (2) of n inputs (1 .. 9), X(9,2) column-major:
// x[i - 1] the value of input i, x[9 + i - 1] its time. n > 9 stops the run;
// n < 1 does nothing but take the slots.
void wakro_xlgate(std::int32_t type, std::int32_t n, std::span<const double, 18> x, XPair& OUT);

// Clocked flip-flop (see the table above).
void wakro_xflip(std::int32_t Q0, std::int32_t edgeMode, std::int32_t type, std::int32_t interp, const XPair& A,
                 const XPair& B, const XPair& C, XPair& OUT);
void e_xflip1_cfg(std::int32_t edgeMode, std::int32_t type, std::int32_t interp, std::int32_t Q0);
void e_xflip1_exe(const XPair& A, const XPair& B, const XPair& C, XPair& OUT);

// Shift register of n stages (1 .. 32) of type-2 flip-flops; stage i starts
// with bit i - 1 of the initial pattern. OUT carries the last stage.
void wakro_xshift(std::int32_t n, std::int32_t edgeMode, std::int32_t interp, std::int32_t pattern, const XPair& C,
                  const XPair& D, XPair& OUT);

// Discrete-event blocks: the zero-crossing detector that devices and many blocks
// use, monostables, a clocked latch, delay timers, pulse blocks that report a
// crossing time, samplers and track-and-hold blocks, a shift-register delay,
// small logic and a sorter of indices.
//
// Slots per call, in the order they are taken (slot 1 first): the records of
// wakro::blocks::layout below; "stor" is the old-style store from nexc + 1 on. A
// block built on others (mono3, latck2, wakro_binon, wakro_sonon) takes their
// records in its call order, counted in its size.
//
// Times that the blocks accumulate are compared with `time` within 1e-9 delt, so
// that a rounding of the sum never moves an event by a step.
#pragma once

#include <cstdint>
#include <span>

#include "blocks/conventions.h"

namespace wakro::blocks::layout {
namespace zcd {  // wakro_zcd, wakro_izcd1, izcd1: stor
enum : std::int32_t { kPrevious = 1, kStorSize = kPrevious };
}
namespace mono2 {  // stor: output (0/1), end time
enum : std::int32_t { kOutput = 1, kEndTime, kStorSize = kEndTime };
}
namespace mono3 {  // stor: its wakro_zcd, then its mono2
constexpr std::int32_t kStorSize = std::int32_t{zcd::kStorSize} + mono2::kStorSize;
}
namespace latck2 {  // stor: its own state, then its wakro_zcd
enum : std::int32_t { kState = 1, kStorOwn = kState, kStorSize = kStorOwn + zcd::kStorSize };
}
namespace itimr1 {  // stor
enum : std::int32_t { kTimeLeft = 1, kStorSize = kTimeLeft };
}
namespace itimr3 {  // stor: 16/T_up, 16/T_down, the counter
enum : std::int32_t { kUpRate = 1, kDownRate, kCounter, kStorSize = kCounter };
}
namespace t2m3 {
enum : std::int32_t { kState = 1, kStoriSize = kState };        // STORI: 0 .. 3
enum : std::int32_t { kTimeLeft = 1, kStorfSize = kTimeLeft };  // STORF
}
namespace timer3 {  // stor
enum : std::int32_t { kStart = 1, kEnd, kFired, kStorSize = kFired };
}
namespace binon {  // wakro_binon, binon3: stor: two detectors (on, then off); STORF
enum : std::int32_t { kStorSize = 2 * zcd::kStorSize };
enum : std::int32_t { kOutputState = 1, kStorfSize = kOutputState };
}
namespace sonon {  // wakro_sonon, sonon3: stor: the detector; STORF
enum : std::int32_t { kStorSize = zcd::kStorSize };
enum : std::int32_t { kOutputState = 1, kEndTime, kStorfSize = kEndTime };
}
namespace delax {  // stor: the next shift time, then N + 1 stages, newest first
enum : std::int32_t { kNextShift = 1, kNewest, kStorHead = kNextShift };
constexpr std::int32_t stor_size(std::int32_t N) { return kStorHead + N + 1; }
}
namespace sampl2 {  // stor
enum : std::int32_t { kSinceSample = 1, kHeld, kStorSize = kHeld };
}
namespace samp5 {  // stor: the frequency of the last period computation last
enum : std::int32_t { kSampleTime = 1, kPreviousInput, kHeld, kPeriod, kFrequency, kStorSize = kFrequency };
}
namespace sandh2 {  // stor
enum : std::int32_t { kHolding = 1, kHeld, kStorSize = kHeld };
}
namespace sorter {  // e_sorter: STORI N, the present order of indices
constexpr std::int32_t stori_size(std::int32_t N) { return N; }
}
}  // namespace wakro::blocks::layout

using wakro::blocks::XPair;

// OUT(1) +1 on a rising crossing of zero (p < 0, x >= 0), -1 on a falling one
// (p > 0, x <= 0), 0 otherwise; OUT(2) the time since it. Nothing at time zero.
void wakro_zcd(double x, XPair& OUT);
// The direction of wakro_zcd as an integer.
std::int32_t wakro_izcd1(double x);
// Obsolete forward of wakro_zcd: the direction, and the crossing time in t.
std::int32_t izcd1(double x, double& t);

// Retriggerable monostable: a trigger > 0 starts (or restarts) a pulse of the
// width; 0 from `time` >= its end on.
std::int32_t mono2(std::int32_t trigger, double width);
// Monostable started only by a rising edge of level through 0.5.
std::int32_t mono3(std::int32_t level, double width);

// Latch clocked by a rising edge of clock through 0.5, with set and reset; S and
// R together keep the stored state. Q and QN = 1 - Q; returns Q.
std::int32_t latck2(std::int32_t dSet, std::int32_t dReset, std::int32_t S, std::int32_t R, std::int32_t clock,
                    std::int32_t& Q, std::int32_t& QN);

// On-delay: 1 once run has been >= 1 for T.
std::int32_t itimr1(std::int32_t run, double T);
// Integrating timer with hysteresis: a counter between -8 and 11 rising by
// 16 delt / T_up while up, falling by 16 delt / T_down while down; 1 at >= 8.
// T_up or T_down <= 0 stops the run (tag "ITIMR3      ").
std::int32_t itimr3(std::int32_t up, std::int32_t down, double Tup, double Tdown, std::int32_t initialState);
// Start delay T1 and stop delay T2 as a machine of four states.
void t2m3(std::int32_t start, std::int32_t stop, double T1, double T2, std::int32_t initialState,
          std::int32_t& output);
// Pulse of at least the width, delay after B >= A.
double timer3(double delay, double width, double A, double B, double offValue, double onValue);

// 1 from a rising crossing of A through the on level to a rising crossing of B
// through the off level; the crossing's time in OUT(2).
void wakro_binon(double A, double onLevel, double B, double offLevel, std::int32_t enable, XPair& OUT);
// A pulse of the width from a rising crossing of A through the level.
void wakro_sonon(double A, double level, double width, std::int32_t enable, XPair& OUT);
// Obsolete forwards: wakro_sonon with level 0 and wakro_binon with both levels 0;
// they return the output and write its time into t.
double sonon3(double x, double width, std::int32_t enable, double& t);
double binon3(double A, double B, std::int32_t enable, double& t);

// 1 when a and b are both 0 or both > 0.
std::int32_t xnor(std::int32_t a, std::int32_t b);
// max(a b, c d).
std::int32_t and2or(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);

// X delayed through N + 1 stages shifted every TD / N. N < 1 stops the run (tag
// "DELAX       ").
double delax(double TD, std::int32_t N, double X);
// X sampled once the time since the last sample exceeds the period.
double sampl2(double period, double X);
// Sample and hold: by an external pulse (mode != 0) at the pulse time before the
// end of the step, or by an internal clock of period max(1/F, delt) (mode 0),
// interpolating the input at the sampling instant.
double samp5(double X, double F, std::int32_t pulse, double pulseTime, std::int32_t mode);
// Track and hold: Y = X, held from the step the hold becomes active.
void sandh2(double X, std::int32_t hold, std::int32_t enable, double& Y);

// Order of the indices 1 .. N by the values V (ascending for order 1, descending
// for -1), the first |K| (K > 0) or last |K| (K < 0) positions put in order,
// starting from the order of the last call. Arrays hold at least N values.
void e_sorter(std::int32_t N, std::int32_t K, std::int32_t enable, std::int32_t order, std::span<const double> V,
              std::span<std::int32_t> index);

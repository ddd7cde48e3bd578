// Breakers: switching branches whose state a control signal sets. A breaker
// closes at once on its order and opens at the next zero of its current (within
// a margin), or at once when told to; the instant inside the step is found by
// the network's interpolation from the mode and level left in IORV and SWLEVL:
//   plain (6)               nothing to look for
//   current_rising (13)     a negative current rising to the level -margin
//   current_falling (-13)   a positive current falling to the level +margin
// Control: 1 closes, 0 opens, any other value holds the present state.
// Resistances in ohms, currents in kA, times in seconds.
#pragma once

#include <cstdint>

#include "blocks/meters.h"

namespace wakro::devices::layout {
namespace tbreak {  // wakro_tbreak, stor: start of the present period
enum : std::int32_t { kPeriodStart = 1, kStorSize = kPeriodStart };
}
namespace brk_power {  // stori: the measuring end; stor: the meters of the two sets
enum : std::int32_t { kMeasuringEnd = 1, kStoriSize = kMeasuringEnd };
// One set of three branches: its real and its reactive power meter.
inline constexpr std::int32_t kSetStor = 2 * wakro::blocks::layout::branch_power::kStorSize;
inline constexpr std::int32_t kStorSize = 2 * kSetStor;
}
}  // namespace wakro::devices::layout

// Breaker with a current margin im (its magnitude is used). At time zero the
// branch is set up as a switch (tag "BREAKER"); on the first step of a resumed
// run the resistances of the state the breaker is not in are refreshed. Leaves
// harmimp::branch_r at the resistance of the present state.
void wakro_breaker1(std::int32_t ss, std::int32_t br, double ron, double roff, double im,
                    bool immed, std::int32_t ctrl);
// The older breaker: no margin, no refresh. A current of exactly 0 arms
// nothing; when the model (not the interpolation) opens the branch with
// interpolation enabled, it reports "BREAKER:Safety turnoff at nodes:".
void wakro_breaker(std::int32_t ss, std::int32_t br, double ron, double roff, bool immed,
                   std::int32_t ctrl);

// Timer of a breaker command (stor: 1 slot, the start of the present period).
// repeat != 1: out = 1 while t1 <= time < t2 (t1 < t2), or while time < t2 or
// time >= t1 (t2 < t1). repeat = 1: period max(t1, t2); out = 1 for the first t2
// of each period (t1 > t2), or 0 for the first t1 (t2 > t1). Equal times are
// fatal (tag "TBREAK").
void wakro_tbreak(double t1, double t2, std::int32_t repeat, std::int32_t& out);
void tbreak1(double t1, double t2, std::int32_t repeat, std::int32_t& out);

// Real and reactive power through branches a1..a3 plus, when b1, b2, b3 are all
// non-zero, through b1..b3 (the meters p3ph3 and q3ph3 with smoothing tc,
// measured at the to-nodes when the from-nodes of a1..a3 are all ground).
// Takes 1 stori and 12 stor slots on every call; ok := 1.
void brk_power(std::int32_t ss, std::int32_t a1, std::int32_t a2, std::int32_t a3, std::int32_t b1,
               std::int32_t b2, std::int32_t b3, std::int32_t& ok, double tc, double& p, double& q);

// A discontinued switch model: stops the run (tag "SWINT5").
[[noreturn]] void swint5();

namespace wakro::devices {

// How a resumed run reports an OFF resistance not above the ON resistance.
enum class RefreshComplaint {
  warning,       // one warning message under the component ids
  console_lines  // two plain console lines
};

// wakro_breaker1 with the form of its refresh complaint chosen by the caller.
void margin_breaker(std::int32_t ss, std::int32_t br, double ron, double roff, double im,
                    bool immed, std::int32_t ctrl, RefreshComplaint complaint);

}  // namespace wakro::devices

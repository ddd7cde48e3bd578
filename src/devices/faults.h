// Three-phase faults: six switching branches (A, B, C to ground; A-B, B-C, C-A)
// of which a type code chooses those that close while the fault control is 1;
// each is driven by the breaker logic, so a fault clears phase by phase at the
// zeros of its branch currents.
//
// Type codes: 1 A, 2 B, 3 C, 4 AB, 5 AC, 6 BC, 7 ABC to ground (the ground
// branches of the phases close); 8 AB, 9 AC, 10 BC, 11 ABC without ground (a
// phase-to-phase branch closes when both of its phases are involved); any other
// code closes nothing. Resistances in ohms, margins in kA, times in seconds.
#pragma once

#include <cstdint>

#include "devices/breakers.h"

namespace wakro::devices::layout {
namespace e3phflt1 {  // rtcf of the _cfg
enum : std::int32_t { kRoff = 1, kMargin, kRtcfSize = kMargin };
}
namespace tfault {  // stor: the timer's, taken also when it does not run
enum : std::int32_t { kStorSize = tbreak::kStorSize };
}
}  // namespace wakro::devices::layout

// Begin pass: appends roff and im to rtcf (2 slots).
void e3phflt1_cfg(double roff, double im);
// Every step: reads roff and im back; the ON resistance is at most roff / 100.
// Branches in the order of the arguments: A-B, B-C, C-A, then A, B, C to ground.
void e3phflt1_exe(std::int32_t ss, std::int32_t bab, std::int32_t bbc, std::int32_t bca,
                  std::int32_t bag, std::int32_t bbg, std::int32_t bcg, bool immed,
                  std::int32_t ctrl, std::int32_t type, double ron);
// The same over wakro_breaker1 with every value as an argument (no cap on ron).
void wakro_3phfault1(std::int32_t ss, std::int32_t bab, std::int32_t bbc, std::int32_t bca,
                     std::int32_t bag, std::int32_t bbg, std::int32_t bcg, bool immed,
                     std::int32_t ctrl, std::int32_t type, double im, double ron, double roff);
// The same over wakro_breaker (no margin).
void wakro_3phfault(std::int32_t ss, std::int32_t bab, std::int32_t bbc, std::int32_t bca,
                    std::int32_t bag, std::int32_t bbg, std::int32_t bcg, double ron, double roff,
                    bool immed, std::int32_t ctrl, std::int32_t type);
// Fault signal: 1 - wakro_tbreak(t1, t2, repeat) (1 stor slot on every call).
// Equal times give 0 at time zero and are fatal later (tag "TFAULT").
void wakro_tfault(double t1, double t2, std::int32_t repeat, std::int32_t& out);

// Breaker with a pre-insertion resistor: the configured single-phase breaker,
// the check of the resistor's value, and the timing routines that turn one
// breaker command into the staggered commands of the main and resistor contacts.
//
// Commands: non-zero = close, 0 = open; a fall from any non-zero command is an
// opening. Outputs are 0 or 1. Times in seconds; time is e_s1::time.
//
// Timing, per phase, with T0 the instant of the last opening (-1e10 at time
// zero, so that an open command present from the start has its delays elapsed):
//   open command:   S_k = 1 once time >= T0 + T_k (every output k);
//   close command:  the main outputs are 0; the resistor output of a phase is 1
//                   from the closing call until its counter moves: at the first
//                   sign change of its current, or (timed form with mode != 0)
//                   once time >= T0 + TR, T0 then being the closing instant. At
//                   time zero under a close command every counter starts at 1.
// Storage per call: one phase 2 stori (command, counter) + 2 storf (T0, last
// current); three phases 4 stori + 4 storf.
#pragma once

#include <array>
#include <cstdint>

namespace wakro::devices::layout {
namespace contact_timing {  // n phases: stori the command, then n counters; storf T0, then n currents
enum : std::int32_t { kPreviousCommand = 1, kCounters };
enum : std::int32_t { kOpeningTime = 1, kLastCurrents };
constexpr std::int32_t stori_size(std::int32_t n) { return kCounters - 1 + n; }
constexpr std::int32_t storf_size(std::int32_t n) { return kLastCurrents - 1 + n; }
}
namespace e1pbrkr1 {  // rtcf of the _cfg: |im|
enum : std::int32_t { kMargin = 1, kRtcfSize = kMargin };
}
}  // namespace wakro::devices::layout
#include <string_view>

// Begin pass: RON < ROFF (else fatal, tag "BREAKER1"); appends |im| to rtcf.
void e1pbrkr1_cfg(double ron, double roff, double im);
// Every step: wakro_breaker1 with the margin read from its rtcf slot; a resumed
// run reports unusable resistances as two console lines.
void e1pbrkr1_exe(std::int32_t ss, std::int32_t br, double ron, double roff, bool immed,
                  std::int32_t ctrl);
// RON < RPIR < ROFF, else fatal under the caller's tag.
void check_pir(double ron, double roff, double rpir, std::string_view tag);

// One phase: s1 main contact (delay t1), s2 resistor contact (delay t2, watches i).
void preinsert1(std::int32_t ctrl, double t1, double t2, double i, std::int32_t& s1,
                std::int32_t& s2);
void preinsert11(std::int32_t ctrl, std::int32_t mode, double t1, double t2, double tr, double i,
                 std::int32_t& s1, std::int32_t& s2);
// Three phases: s[0..2] main contacts, s[3..5] resistor contacts watching ia, ib,
// ic; s[k] follows t[k].
void preinsert3(std::int32_t ctrl, const std::array<double, 6>& t, double ia, double ib, double ic,
                std::array<std::int32_t, 6>& s);
void preinsert33(std::int32_t ctrl, std::int32_t mode, const std::array<double, 6>& t, double tr,
                 double ia, double ib, double ic, std::array<std::int32_t, 6>& s);

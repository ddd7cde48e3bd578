// The per-step history of each kind of line, called by dsldyn for one line at
// a time with the running offsets of the pooled tables (see dsldyn.cpp).
#pragma once

#include <cstdint>

namespace wakro::lines {

// Running offsets of a phase-domain line in the pooled tables of e_s7ph.
struct PhaseOffsets {
  std::int32_t ring = 0;     // ikr / imr slots of the earlier lines
  std::int32_t gh = 0;       // gh entries
  std::int32_t hserc = 0;    // hserc entries
  std::int32_t xh = 0;       // xhk / xhm states
  std::int32_t ycserc = 0;   // ycserc entries
};

// The modal history currents ck, cm of mode-domain line j (directory row i,
// modes o + 1 .. o + n, transformation block t0 + 1) into its conductors: added
// into e_s0::ccli at the end nodes, their negation into e_s0::cdctl.
void inject_modal(std::int32_t j, std::int32_t i, std::int32_t o, std::int32_t t0);

// FRE-DEP line j of directory row i: modes o + 1 .. o + n, first ring slot
// r0 + 1, transformation block t0 + 1, first propagation and impedance poles
// after a0 and z0 (advanced past the line's poles); server: the line's ENI
// server number (role 1).
void fredep_step(std::int32_t j, std::int32_t i, std::int32_t o, std::int32_t r0, std::int32_t t0,
                 std::int32_t& a0, std::int32_t& z0, std::int32_t server);

// FRE-PHASE line p of directory row i at the offsets `at` (advanced past it).
void frephase_step(std::int32_t p, std::int32_t i, PhaseOffsets& at, std::int32_t server);

}  // namespace wakro::lines

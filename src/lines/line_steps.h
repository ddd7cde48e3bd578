// The per-step history of each kind of line, called by dsldyn for one line at
// a time with the running offsets of the pooled tables (see dsldyn.cpp).
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace wakro::lines {

// Running offsets of a phase-domain line in the pooled tables of e_s7ph.
struct PhaseOffsets {
  std::int32_t ring = 0;     // ikr / imr slots of the earlier lines
  std::int32_t gh = 0;       // gh entries
  std::int32_t hserc = 0;    // hserc entries
  std::int32_t xh = 0;       // xhk / xhm states
  std::int32_t ycserc = 0;   // ycserc entries
};

// FRE-DEP line j of directory row i: modes o + 1 .. o + n, first ring slot
// r0 + 1, transformation block t0 + 1, first propagation and impedance poles
// after a0 and z0 (advanced past the line's poles); server: the line's ENI
// server number (role 1).
void fredep_step(std::int32_t j, std::int32_t i, std::int32_t o, std::int32_t r0, std::int32_t t0,
                 std::int32_t& a0, std::int32_t& z0, std::int32_t server);

// FRE-PHASE line p of directory row i at the offsets `at` (advanced past it).
void frephase_step(std::int32_t p, std::int32_t i, PhaseOffsets& at, std::int32_t server);

// The convolution states of one segment of MFDTD line k (m poles, n
// conductors) in e_tldyn::psiimfd, advanced over a step from the segment's three
// previous currents a, b, c (newest first): for each pole p and conductor i
//   P(i, p) = e^(alpha_p dt) P(i, p) + (2 b_i - a_i - c_i) zeta2(p) + (b_i - c_i) xi2(p)
// and their sum psisummfd(i) = Re sum_p (sum_j A_p(i, j) P(j, p)) / alpha_p, each
// pole divided by its own alpha_p. The exponentials e^(alpha_p dt) are formed
// once, at set-up (e_s7mfd::ealphamfd).
void mpsi(std::int32_t m, std::int32_t n, const FArray<double, 1>& a, const FArray<double, 1>& b,
          const FArray<double, 1>& c, std::int32_t k);

// MFDTD line l of directory row i: its segment currents and node voltages
// advanced over a step, its end histories into e_s0::ccli and e_s0::cdctl.
void mfdtd_step(std::int32_t l, std::int32_t i);

}  // namespace wakro::lines

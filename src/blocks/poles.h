// First-order poles: the lag G/(1 + sT) (realpole), the differential pole
// G sT/(1 + sT) (diffpole) and the lead-lag G (1 + sT1)/(1 + sT2) (ldlgpole).
//
// Each is discretised exactly for an input held constant over the interval since
// its last active call: with n the number of steps in that interval and
// a = exp(-n delt / T), the state s (the output divided by G) moves as
//   realpole  s = (1 - a) x + a s0
//   diffpole  s = a s0 + a (x - x0)
//   ldlgpole  s = T1 b (x - x0) + (1 - a) x + a s0,   b = a / T2
// The coefficients are cached with the time constant and n they were computed
// for, and computed again only when T moves by 1e-10 or more or n changes.
//
// Flags count as set when they are not zero. The enable flag off holds the
// output and counts the skipped steps; the reset flag loads the output with the
// reset value; the limit flag clamps the output (not the state) to [lower,
// upper]. At time zero realpole and ldlgpole start at their steady state G x,
// diffpole at 0.
//
// Slots, from the pointers on entry: the records of wakro::blocks::layout
// (pole_layout.h; STORF: ldlgpole keeps its lead coefficient before the output).
#pragma once

#include <cstdint>

#include "blocks/pole_frame.h"
#include "blocks/pole_layout.h"

// Inline: every call of a case runs the frame in its caller, where the constant
// flags and gains of the call fold away (pole_frame.h).
inline double realpole(std::int32_t reset, std::int32_t enable, std::int32_t limitFlag, double g,
                       double t, double x, double resetValue, double lower, double upper) {
  using namespace wakro::blocks::pole_frame;
  return pole<Kind::kLag>(wakro::blocks::flag_set(reset), wakro::blocks::flag_set(enable),
                          wakro::blocks::flag_set(limitFlag), 0.0, t, g, x, resetValue, lower,
                          upper);
}
inline double diffpole(std::int32_t reset, std::int32_t enable, std::int32_t limitFlag, double g,
                       double t, double x, double resetValue, double lower, double upper) {
  using namespace wakro::blocks::pole_frame;
  return pole<Kind::kDifferential>(wakro::blocks::flag_set(reset), wakro::blocks::flag_set(enable),
                                   wakro::blocks::flag_set(limitFlag), 0.0, t, g, x, resetValue,
                                   lower, upper);
}
inline double ldlgpole(std::int32_t reset, std::int32_t enable, std::int32_t limitFlag, double t1,
                       double t2, double g, double x, double resetValue, double lower,
                       double upper) {
  using namespace wakro::blocks::pole_frame;
  return pole<Kind::kLeadLag>(wakro::blocks::flag_set(reset), wakro::blocks::flag_set(enable),
                              wakro::blocks::flag_set(limitFlag), t1, t2, g, x, resetValue, lower,
                              upper);
}

// Blocks whose gains, time constants and limits are inputs that may change from
// step to step: the integrator vintgl8 (1/sT), the lag vrealp8 (G/(1 + sT)), the
// differential pole vdifpl8 (G s/(1 + sT)), the lead-lag vldlag8
// (G (1 + sT1)/(1 + sT2)) and the PI controllers vpi9 and vpi9a (Kp + 1/sT: the
// integral term integrates x/T, not Kp x/T).
//
// Each caches its discretisation coefficient with the time constant and the step
// span n it was computed for, and computes it again only when the time constant
// moves by 1e-10 or more or the span changes. A disabled block holds its output
// and counts the skipped steps; its next active call covers them in one step of
// n delt. Flags count as set only when they equal 1. The four basic blocks have
// no time-zero branch: the caller sets the reset flag on the first step to load
// the reset output Y0.
//
// Slots in the old-style store, from nexc + 1 on (wakro::blocks::layout below):
//   the input of the last active call, the output, the time constant of the
//   cached coefficient (T2 for vldlag8), the coefficient (c = n delt/(2T) for
//   vintgl8, a = exp(-n delt/T) otherwise), r = 1/T_eff (vdifpl8, vldlag8), the
//   consecutive inactive calls, the span n of the cached coefficient (these two
//   whole numbers held as reals), one not used; vpi9 and vpi9a: their
//   integrator's, then the proportional part Kp x of the last active call.
// nexc advances by 8 (vpi9, vpi9a: 9) on every call.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace tc_block {  // vintgl8, vrealp8, vdifpl8, vldlag8: stor
enum : std::int32_t {
  kInput = 1, kOut, kCachedT, kCoefficient, kRate, kInactive, kCachedSpan, kUnused, kStorSize = kUnused
};
}
namespace tc_pi {  // vpi9, vpi9a: stor: the integrator's, then the proportional part
enum : std::int32_t { kProportional = tc_block::kStorSize + 1, kStorSize = kProportional };
}
}  // namespace wakro::blocks::layout

double vintgl8(double y0, double lower, double upper, double t, double x, std::int32_t reset,
               std::int32_t enable);
double vrealp8(double g, double t, double x, double y0, std::int32_t reset, std::int32_t enable);
double vdifpl8(double g, double t, double x, double y0, std::int32_t reset, std::int32_t enable);
double vldlag8(double t1, double t2, double g, double x, double y0, std::int32_t reset,
               std::int32_t enable);
// The integral part is clamped to the output limits and loaded with Y0 - Kp x on
// reset; the sum is clamped again.
double vpi9(double kp, double t, double lower, double upper, double y0, double x, std::int32_t reset,
            std::int32_t enable);
// Anti-windup: the integrator is unlimited, but its step is undone while the
// output is at a limit; it is also loaded with Y0 - Kp x at time zero.
double vpi9a(double kp, double t, double lower, double upper, double y0, double x, std::int32_t reset,
             std::int32_t enable);

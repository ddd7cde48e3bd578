// PID controller: u = Kp e + I + D, the output clamped to [lower, upper].
//
// I integrates Ki e by the trapezoidal rule and stops while the output is at a
// limit (the integral and the stored Ki e keep their values). D is Kd times a
// derivative estimate of e, filtered by a first-order lag of time constant Td
// (exact for an input held over the step), or the plain difference quotient of
// Kd e when Td is at or below the smallest normal double.
//
// The reset flag (set when not zero) loads the integral with the reset value --
// clamped to the limits, with the warning "Initial/Reset value is outside the
// specified limits." when it lies outside -- and clears the other memory; it
// acts from the next call, this call's output is computed as usual. There is no
// time-zero branch: a caller that wants the initial value sets the reset flag on
// the first step.
//
// Slots: STORF, as wakro::blocks::layout::pid_controller names them: the
// integral I, Ki e of the last call not at a limit, the input e of the last call,
// the derivative estimate of e, Kd e of the last call.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout::pid_controller {
enum : std::int32_t { kIntegral = 1, kKiePrev, kEPrev, kDEst, kKdePrev, kStorfSize = kKdePrev };
}  // namespace wakro::blocks::layout::pid_controller

double pid_controller(double kp, double ki, double kd, double td, double lower, double upper,
                      double resetValue, double e, std::int32_t reset);

// Small function blocks: harmonic distortion, interpolation in a table of
// points, a two-point ramp characteristic, a comparison chosen by an operator
// code, a follower with fixed rise and fall rates, and a lag with its state
// clamped between limits.
//
// thdn, aplin, ramp2st and check_inequility keep no state. ramp3 and grp2 keep
// theirs in the old-style store, from nexc + 1 on, as wakro::blocks::layout below
// names it (ramp3's steps are |rate| delt).
//
// Array arguments hold at least n values; a shorter array stops the run.
#pragma once

#include <cstdint>
#include <span>

namespace wakro::blocks::layout {
namespace ramp3 {  // stor
enum : std::int32_t { kRiseStep = 1, kFallStep, kOut, kStorSize = kOut };
}
namespace grp2 {  // stor: output; input of the last step
enum : std::int32_t { kOut = 1, kInput, kStorSize = kInput };
}
}  // namespace wakro::blocks::layout

// Total harmonic distortion of the magnitudes H(1..n), H(1) the fundamental:
// sqrt(sum of (H(i)/H(1))^2, i >= 2); r receives H(i)/H(1). With the percent
// switch >= 1 the result and r are in percent. |H(1)| < 1e-20 gives 0 and
// leaves r as it was.
double thdn(std::int32_t n, std::int32_t percent, std::span<const double> h, std::span<double> r);

// Linear interpolation in the points (X(i), Y(i)), X ascending, extrapolating
// the first and last segments. One point gives Y(1); none gives 0.
double aplin(std::int32_t n, std::span<const double> xs, std::span<const double> ys, double x);

// Y1 up to X1, Y2 from X2 on (or when X1 and X2 coincide), a line between.
double ramp2st(double x, double x1, double y1, double x2, double y2);

// result = A < B (operator 1), A <= B (2), A > B (3), A >= B (4); false otherwise.
void check_inequility(std::int32_t op, double a, double b, bool& result);

// Follows X with at most the rise step up and the fall step down per step.
double ramp3(double riseRate, double fallRate, double x);

// Lag 1/(1 + sT) by the trapezoidal rule, the state clamped to [lower, upper]
// (upper first, so the lower limit wins when they cross).
double grp2(double x, double t, double lower, double upper);

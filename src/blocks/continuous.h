// The plain continuous blocks: limiter, first-order lags, integrator, PI,
// derivative, complex pole pair, delays and rate limiter.
//
// All but limit and rate_limiter keep their state in the old-style storage stor
// from nexc + 1 on (slots.h); rate_limiter keeps one slot of storf. Each call
// takes the same number of slots on every step, the time-zero pass included; at
// time zero a block writes its initial state (the present input as the previous
// one, a lag in steady state) instead of advancing.
//
// Choice of discretisation of the lags (realp2, difpl2, ldlag2), by the time
// constant T (T2 for ldlag2), which keeps its sign in the formulas:
//   |T| >  5 delt           the trapezoidal rule;
//   1e-20 <= |T| <= 5 delt  the exact exponential step, k = 1 - exp(-delt / T);
//   |T| <  1e-20            no lag at all.
#pragma once

#include <cstdint>

// The records of the blocks below, slot by slot (sizes last).
namespace wakro::blocks::layout {
namespace realp2 {  // stor: u - y of the last step; y
enum : std::int32_t { kDiff = 1, kOut, kStorSize = kOut };
}
namespace difpl2 {  // stor: lag state; output
enum : std::int32_t { kLag = 1, kOut, kStorSize = kOut };
}
namespace ldlag2 {  // stor: derivative term of the last step; lag state
enum : std::int32_t { kDerivative = 1, kLag, kStorSize = kLag };
}
namespace intgl3 {  // stor: delt/2 * X / T' of the last step; y; delt/2
enum : std::int32_t { kHalfStepTerm = 1, kOut, kHalfStep, kStorSize = kHalfStep };
}
namespace pi3 {  // stor: those of its integrator
enum : std::int32_t { kStorSize = intgl3::kStorSize };
}
namespace deriv1 {  // stor: K X of the last step
enum : std::int32_t { kPrevious = 1, kStorSize = kPrevious };
}
namespace cmpxp5 {  // stor: older rate; rate; output; older output; damping term
enum : std::int32_t { kOlderRate = 1, kRate, kOut, kOlderOut, kDamping, kStorSize = kDamping };
}
namespace delay {  // stor: time of the next sample; position of the oldest; n samples
enum : std::int32_t { kNextSample = 1, kOldest, kFirstSample, kStorHead = kOldest };
constexpr std::int32_t stor_size(std::int32_t n) { return kStorHead + n; }
}
namespace delayi {  // stor: time left to the next sample; position of the oldest; n + 1 samples
enum : std::int32_t { kTimeLeft = 1, kOldest, kFirstSample, kStorHead = kOldest };
constexpr std::int32_t stor_size(std::int32_t n) { return kStorHead + n + 1; }
}
namespace rate_limiter {  // storf: the output of the last step
enum : std::int32_t { kOut = 1, kStorfSize = kOut };
}
}  // namespace wakro::blocks::layout

// upper when x > upper, else lower when x < lower, else x (upper tested first).
inline double limit(double lower, double upper, double x) {
  if (x > upper) return upper;
  if (x < lower) return lower;
  return x;
}

// G / (1 + sT). stor 2: u - y of the last step; y.
double realp2(double G, double T, double X);
// sT / (1 + sT). stor 2: lag state; output.
double difpl2(double T, double X);
// G (1 + sT1) / (1 + sT2). stor 2: derivative term of the last step; lag state.
double ldlag2(double T1, double T2, double G, double X);
// Integral of X / T' (T' = 1 when |T| < 1e-20), starting at Y0 and clamped to
// upper, then to lower. stor 3: delt/2 * X / T' of the last step; y; delt/2.
double intgl3(double Y0, double lower, double upper, double T, double X);
// Kp X + intgl3(Y0, lower, upper, T, X), clamped to upper, then to lower.
// stor 3: those of its integrator.
double pi3(double Kp, double T, double lower, double upper, double Y0, double X);
// Backward difference of K X over delt. stor 1: K X of the last step.
double deriv1(double K, double X);
// Second-order response G w^2 / (s^2 + 2 zeta w s + w^2) advanced by an explicit
// two-step scheme; mode selects the output: 1 (and any other) y, 2 r, 3 a, 4 y + r,
// 5 a + y, 6 a + r, 7 y - r, 8 y - a, 9 r - a (values before the step's update).
// stor 5: older rate; rate; output; older output; damping term.
double cmpxp5(std::int32_t mode, double G, double zeta, double omega, double X);
// X delayed by TD, sampled every TD / n with n = min(round(TD / delt), maxCount).
// stor n + 2: time of the next sample; position of the oldest sample; n samples.
// n < 1 is a data error (tag "DELAY       ").
double delay(double TD, std::int32_t maxCount, double X);
// As delay, interpolating between the two oldest samples.
// stor n + 3: time left to the next sample; position of the oldest sample; n + 1
// samples. n < 1 is a data error (tag "DELAYI      ").
double delayi(double TD, std::int32_t maxCount, double X);
// Y follows X, changing by at most delt * |rise| per step upwards and delt * |fall|
// downwards. storf 1: the output of the last step.
void rate_limiter(double rise, double fall, double X, double& Y);

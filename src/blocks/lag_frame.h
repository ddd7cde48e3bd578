// The frame of the lags of continuous.h (realp2, difpl2, ldlag2): the choice of
// discretisation by the time constant, the kept exp(-delt / T), and realp2's step
// inline, so that the meters that smooth their reading with it (meters.cpp)
// take it without a call. Every use computes the same numbers in the same order
// as realp2 itself.
#pragma once

#include <cmath>
#include <cstdint>

#include "blocks/continuous.h"
#include "blocks/last_call.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace wakro::blocks::lag_frame {

inline constexpr double kTrapezoidSteps = 5.0;  // above this many steps: trapezoidal rule

enum class Rule { Trapezoid, Exponential, None };

// exp(-delt / T) of the exponential rule. The lags of a case often share one
// time constant (every frequency meter of one rated frequency), so the last
// value is kept for the next call with the same argument (one for the program).
inline LastCall<double> g_decay;

inline double decay(double T) {
  return g_decay.of(-e_s1::delt / T, [](double arg) { return std::exp(arg); });
}

inline Rule rule_for(double T) {
  const double t = std::fabs(T);
  if (t > kTrapezoidSteps * e_s1::delt) return Rule::Trapezoid;
  if (t >= wakro::kTiny) return Rule::Exponential;  // below this a time constant is no lag
  return Rule::None;
}

// One step of the lag with time constant T from its previous output `prev`
// towards `input`; the trapezoidal rule also takes the term `carried` that the
// block keeps from its last step (x + y and y + x are the same number, so each
// block's own order of that sum is kept).
inline double lag_step(double prev, double input, double carried, double T) {
  switch (rule_for(T)) {
    case Rule::Trapezoid: {
      const double a = e_s1::delt / (2.0 * T);
      return (prev + a * (carried + input)) / (1.0 + a);
    }
    case Rule::Exponential: {
      const double k = 1.0 - decay(T);
      return prev + k * (input - prev);
    }
    case Rule::None:
      break;
  }
  return input;
}

// G / (1 + sT) of input X: realp2.
[[gnu::always_inline]] inline double realp2(double G, double T, double X) {
  using namespace wakro::blocks::layout::realp2;
  const Slots<double> s = take_stor(kStorSize);
  const double u = G * X;
  if (e_s1::timezero) {
    s(kDiff) = 0.0;
    s(kOut) = u;
    return u;
  }
  const double y = lag_step(s(kOut), u, s(kDiff), T);
  s(kDiff) = u - y;
  s(kOut) = y;
  return y;
}

}  // namespace wakro::blocks::lag_frame

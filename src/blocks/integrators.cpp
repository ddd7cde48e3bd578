// intgl3, pi3 and deriv1: the clamped trapezoidal integrator, the PI controller
// built on it, and the backward-difference derivative.
#include <algorithm>
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_s2.h"

namespace {

using wakro::blocks::Slots;
using wakro::blocks::take_stor;

using wakro::kTiny;  // a smaller time constant integrates with T' = 1

}  // namespace

double intgl3(double Y0, double lower, double upper, double T, double X) {
  using namespace wakro::blocks::layout::intgl3;
  const Slots<double> s = take_stor(kStorSize);
  const double Tp = std::fabs(T) < kTiny ? 1.0 : T;
  double y = 0.0;
  if (e_s1::timezero) {
    s(kHalfStep) = e_s1::delt / 2.0;
    s(kHalfStepTerm) = s(kHalfStep) * X / Tp;
    y = Y0;
  } else {
    const double h = s(kHalfStep) * X / Tp;
    y = s(kOut) + h + s(kHalfStepTerm);
    s(kHalfStepTerm) = h;
  }
  if (y > upper) y = upper;
  if (y < lower) y = lower;
  s(kOut) = y;
  return y;
}

double pi3(double Kp, double T, double lower, double upper, double Y0, double X) {
  using namespace wakro::blocks::layout::pi3;
  if (e_s1::timezero) {
    // The integrator's slots start cleared: take them to check them, clear them
    // and give them back to the integrator, which takes them again.
    const Slots<double> s = take_stor(kStorSize);
    for (std::int32_t k = 1; k <= kStorSize; ++k) s(k) = 0.0;
    e_s2::nexc -= kStorSize;
  }
  const double y = Kp * X + intgl3(Y0, lower, upper, T, X);
  if (y > upper) return upper;
  return std::max(y, lower);
}

double deriv1(double K, double X) {
  using namespace wakro::blocks::layout::deriv1;
  const Slots<double> s = take_stor(kStorSize);
  const double u = K * X;
  if (e_s1::timezero) s(kPrevious) = u;
  const double out = (u - s(kPrevious)) / e_s1::delt;
  s(kPrevious) = u;
  return out;
}

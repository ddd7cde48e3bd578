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
  const Slots<double> s = take_stor(3);  // 1: h of the last step, 2: y, 3: delt/2
  const double Tp = std::fabs(T) < kTiny ? 1.0 : T;
  double y = 0.0;
  if (e_s1::timezero) {
    s(3) = e_s1::delt / 2.0;
    s(1) = s(3) * X / Tp;
    y = Y0;
  } else {
    const double h = s(3) * X / Tp;
    y = s(2) + h + s(1);
    s(1) = h;
  }
  if (y > upper) y = upper;
  if (y < lower) y = lower;
  s(2) = y;
  return y;
}

double pi3(double Kp, double T, double lower, double upper, double Y0, double X) {
  if (e_s1::timezero) {
    // The integrator's slots start cleared: take them to check them, clear them
    // and give them back to the integrator, which takes them again.
    const Slots<double> s = take_stor(3);
    s(1) = s(2) = s(3) = 0.0;
    e_s2::nexc -= 3;
  }
  const double y = Kp * X + intgl3(Y0, lower, upper, T, X);
  if (y > upper) return upper;
  return std::max(y, lower);
}

double deriv1(double K, double X) {
  const Slots<double> s = take_stor(1);  // 1: K X of the last step
  const double u = K * X;
  if (e_s1::timezero) s(1) = u;
  const double out = (u - s(1)) / e_s1::delt;
  s(1) = u;
  return out;
}

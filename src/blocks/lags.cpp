// realp2, difpl2 and ldlag2: the first-order lag, the filtered derivative and the
// lead-lag, with the choice of discretisation stated in continuous.h.
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::Slots;
using wakro::blocks::take_stor;

using wakro::kTiny;          // below this a time constant is no lag
constexpr double kTrapezoidSteps = 5.0;  // above this many steps: trapezoidal rule

enum class Rule { Trapezoid, Exponential, None };

Rule rule_for(double T) {
  const double t = std::fabs(T);
  if (t > kTrapezoidSteps * e_s1::delt) return Rule::Trapezoid;
  if (t >= kTiny) return Rule::Exponential;
  return Rule::None;
}

}  // namespace

double realp2(double G, double T, double X) {
  const Slots<double> s = take_stor(2);  // 1: u - y of the last step, 2: y
  const double u = G * X;
  if (e_s1::timezero) {
    s(1) = 0.0;
    s(2) = u;
    return u;
  }
  const double yPrev = s(2);
  double y = u;
  switch (rule_for(T)) {
    case Rule::Trapezoid: {
      const double a = e_s1::delt / (2.0 * T);
      y = (yPrev + a * (s(1) + u)) / (1.0 + a);
      break;
    }
    case Rule::Exponential: {
      const double k = 1.0 - std::exp(-e_s1::delt / T);
      y = yPrev + k * (u - yPrev);
      break;
    }
    case Rule::None:
      break;
  }
  s(1) = u - y;
  s(2) = y;
  return y;
}

double difpl2(double T, double X) {
  const Slots<double> s = take_stor(2);  // 1: lag state l, 2: output X - l
  if (e_s1::timezero) {
    s(1) = X;
    s(2) = 0.0;
    return 0.0;
  }
  const double lPrev = s(1);
  double l = X;
  switch (rule_for(T)) {
    case Rule::Trapezoid: {
      const double a = e_s1::delt / (2.0 * T);
      l = (lPrev + a * (X + s(2))) / (1.0 + a);
      break;
    }
    case Rule::Exponential: {
      const double k = 1.0 - std::exp(-e_s1::delt / T);
      l = lPrev + k * (X - lPrev);
      break;
    }
    case Rule::None:
      break;
  }
  const double out = X - l;
  s(1) = l;
  s(2) = out;
  return out;
}

double ldlag2(double T1, double T2, double G, double X) {
  const Slots<double> s = take_stor(2);  // 1: derivative term q, 2: lag state z
  const double u = G * X;
  const Rule rule = rule_for(T2);
  if (e_s1::timezero) {
    s(1) = 0.0;
    s(2) = rule == Rule::None ? u : (1.0 - T1 / T2) * u;
    return u;
  }
  switch (rule) {
    case Rule::Trapezoid: {
      // Explicit trapezoid on z: the direct path d plus the lag of the rest.
      const double d = T1 / T2 * u;
      const double z = s(2);
      const double q = (u - d - z) / T2;
      const double out = d + z;
      s(2) = z + e_s1::delt / 2.0 * (q + s(1));
      s(1) = q;
      return out;
    }
    case Rule::Exponential: {
      const double k = 1.0 - std::exp(-e_s1::delt / T2);
      const double a = (1.0 - T1 / T2) * u;
      const double z = s(2) + k * (a - s(2));
      s(2) = z;
      s(1) = (a - z) / T2;
      return u * T1 / T2 + z;
    }
    case Rule::None:
      break;
  }
  const double out = u + T1 * (u - s(2)) / e_s1::delt;
  s(1) = u;
  s(2) = u;
  return out;
}

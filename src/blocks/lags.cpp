// realp2, difpl2 and ldlag2: the first-order lag, the filtered derivative and the
// lead-lag, with the choice of discretisation stated in continuous.h.
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/lag_frame.h"
#include "blocks/last_call.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::Slots;
using wakro::blocks::take_stor;
using wakro::blocks::lag_frame::decay;
using wakro::blocks::lag_frame::Rule;
using wakro::blocks::lag_frame::rule_for;

double realp2(double G, double T, double X) { return wakro::blocks::lag_frame::realp2(G, T, X); }

double difpl2(double T, double X) {
  using namespace wakro::blocks::layout::difpl2;
  const Slots<double> s = take_stor(kStorSize);
  if (e_s1::timezero) {
    s(kLag) = X;
    s(kOut) = 0.0;
    return 0.0;
  }
  const double l = wakro::blocks::lag_frame::lag_step(s(kLag), X, s(kOut), T);
  const double out = X - l;
  s(kLag) = l;
  s(kOut) = out;
  return out;
}

double ldlag2(double T1, double T2, double G, double X) {
  using namespace wakro::blocks::layout::ldlag2;
  const Slots<double> s = take_stor(kStorSize);
  const double u = G * X;
  const Rule rule = rule_for(T2);
  if (e_s1::timezero) {
    s(kDerivative) = 0.0;
    s(kLag) = rule == Rule::None ? u : (1.0 - T1 / T2) * u;
    return u;
  }
  switch (rule) {
    case Rule::Trapezoid: {
      // Explicit trapezoid on z: the direct path d plus the lag of the rest.
      const double d = T1 / T2 * u;
      const double z = s(kLag);
      const double q = (u - d - z) / T2;
      const double out = d + z;
      s(kLag) = z + e_s1::delt / 2.0 * (q + s(kDerivative));
      s(kDerivative) = q;
      return out;
    }
    case Rule::Exponential: {
      const double k = 1.0 - decay(T2);
      const double a = (1.0 - T1 / T2) * u;
      const double z = s(kLag) + k * (a - s(kLag));
      s(kLag) = z;
      s(kDerivative) = (a - z) / T2;
      return u * T1 / T2 + z;
    }
    case Rule::None:
      break;
  }
  const double out = u + T1 * (u - s(kLag)) / e_s1::delt;
  s(kDerivative) = u;
  s(kLag) = u;
  return out;
}

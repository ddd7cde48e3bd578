// The voltage-dependent current-order characteristics (see current_order.h).
//
// One characteristic serves both: the rectifier's keeps its hysteresis in the
// caller's voltage output, the inverter's in its own slots, which also show the
// line it used.
#include "blocks/current_order.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {

constexpr double kVoltageGuard = 0.001;   // least voltage, and the divisor's guard
constexpr double kBreakLow = 0.01, kBreakHigh = 1.0;  // bounds of the break point
constexpr double kLowPointLeast = 0.009;  // least low-voltage point
constexpr double kLowPointShare = 0.9;    // low-voltage point at most this share of the break point
constexpr double kSlopeGuard = 1e-5;      // added to the line's voltage span
constexpr double kHysteresis = 0.1;       // width of the hysteresis ...
constexpr double kHighBreak = 0.9;        // ... or half of (1 - Vb) above this break point

struct Characteristic {
  double vb, vl, il, imax;  // bounded break and low points, low-voltage current, limit
  double slope, offset;     // the line between the low point and the break point
  double width;             // of the hysteresis
};

Characteristic characteristic(double P, double Imax, double Vb, double Ilow, double Vl) {
  Characteristic k{};
  k.vb = std::clamp(Vb, kBreakLow, kBreakHigh);
  k.vl = std::min(std::max(Vl, kLowPointLeast), kLowPointShare * k.vb);
  k.il = std::min(Imax, Ilow);
  k.imax = Imax;
  const double ib = P / (k.vb + kVoltageGuard);  // the current at the break point
  k.slope = (ib - k.il) / (k.vb - k.vl + kSlopeGuard);
  k.offset = k.il - k.slope * k.vl;
  k.width = k.vb > kHighBreak ? 0.5 * (1.0 - k.vb) : kHysteresis;
  return k;
}

// The voltage output: follows a rising v, stays up to the width above a falling one.
double hysteresis(double last, double v, double width) {
  if (e_s1::timezero) return v;
  return std::min(std::max(last, v), v + width);
}

// The current order at the voltage output vo, for the power current ip.
double current_order(const Characteristic& k, double vo, double ip) {
  double i = ip;
  if (vo <= k.vl) {
    i = k.il;
  } else if (vo < k.vb) {
    i = k.offset + k.slope * vo;
  }
  return std::min(i, k.imax);
}

double power_current(double P, double Vd) { return P / (std::abs(Vd) + kVoltageGuard); }

}  // namespace

void vdvocr(double P, double Vd, double Imax, double Vb, double Ilow, double Vl, double& Vo, double& Io) {
  const Characteristic k = characteristic(P, Imax, Vb, Ilow, Vl);
  Vo = hysteresis(Vo, std::max(Vd, kVoltageGuard), k.width);
  Io = current_order(k, Vo, power_current(P, Vd));
}

void vdvoci(double P, double Vd, double Imax, double Vb, double Ilow, double Vl, double& Vo, double& Io,
            double a, double b, double c, double ratio) {
  using namespace wakro::blocks::layout::vdvoci;
  const wakro::blocks::Slots<double> s = wakro::blocks::take_stor(kStorSize);
  const Characteristic k = characteristic(P, Imax, Vb, Ilow, Vl);
  const double ca = std::cos(a), cb = std::cos(b), cc = std::cos(c);
  const double v = ca * ca - (cb * cb - cc * cc) * ratio;
  Vo = hysteresis(s(kLastVoltage), std::max(v, kVoltageGuard), k.width);
  Io = current_order(k, Vo, power_current(P, Vd));
  s(kSlope) = k.slope;
  s(kOffset) = k.offset;
  s(kLastVoltage) = Vo;
}

// The RMS and peak meters (see rms_meters.h).
#include "blocks/rms_meters.h"

#include <algorithm>
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/network_reads.h"
#include "blocks/slots.h"
#include "diag/nodeaccess.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::Slots;

using wakro::kThird;
using wakro::kTwoPi;
constexpr double kResyncPeriods = 0.4166666666666667;  // 5/12: shortest time between re-synchronisations
constexpr double kSettlePeriods = 0.08333333333333333;  // 1/12: result held at 0 before this
constexpr double kForget = 0.995;                       // sums keep this much per step
constexpr double kNoEnergy = 0.001;                     // below this Syy measures nothing
constexpr double kPeakToRms = 0.707106781186548;

namespace correlation = wakro::blocks::layout::correlation;
using correlation::kA;
using correlation::kM;
using correlation::kSxy;
using correlation::kSxy2;
using correlation::kSyy;
using correlation::kSyy2;
using correlation::kT0;
using correlation::kX;
using correlation::kXf;
using correlation::kY;

double sign_of(double v) { return std::signbit(v) ? -1.0 : 1.0; }

// The correlation meter on its record.
double correlate(const Slots<double>& s, double x, double Tout, double f, double Tin) {
  const double time = e_s1::time, delt = e_s1::delt;
  if (s(kA) == 0.0) s(kA) = 1.0;  // cleared storage: a unit reference

  // 1. Sign change of the filtered input, at least 5/12 period after the last
  //    one: flip the reference, restart its time, the second sums become main.
  const double xf = s(kXf) + (x - s(kXf)) * delt / std::max(Tin, delt);
  if (sign_of(xf) != sign_of(s(kXf)) && s(kT0) + kResyncPeriods / f < time) {
    s(kA) = -s(kA);
    s(kT0) = time;
    s(kSxy) = s(kSxy2);
    s(kSyy) = s(kSyy2);
    s(kSxy2) = 0.0;
    s(kSyy2) = 0.0;
  }
  s(kXf) = xf;

  // 2. The sums against the reference sine, forgetting 0.5 % per step.
  const double r = s(kA) * std::sin((time - s(kT0)) * f * kTwoPi);
  s(kSxy) = (s(kSxy) + x * r) * kForget;
  s(kSyy) = (s(kSyy) + r * r) * kForget;
  s(kSxy2) = (s(kSxy2) + x * r) * kForget;
  s(kSyy2) = (s(kSyy2) + r * r) * kForget;
  if (s(kSyy) >= kNoEnergy) s(kM) = s(kSxy) / s(kSyy) * kPeakToRms;

  // 3. The smoothed result, 0 for the first twelfth of a period.
  s(kX) = x;
  if (time < kSettlePeriods / f) {
    s(kY) = 0.0;
    return 0.0;
  }
  s(kY) += (s(kM) - s(kY)) * delt / std::max(Tout, delt);
  return std::fabs(s(kY));
}

}  // namespace

double rms3ph(double a, double b, double c) { return std::sqrt((a * a + b * b + c * c) * kThird); }

double rms3(double u, double T) {
  using namespace wakro::blocks::layout::rms3;
  const wakro::blocks::Slots<double> s = wakro::blocks::take_stor(kStorSize);
  const double a = e_s1::delt / std::max(T, e_s1::delt);
  const double yPrev = s(kOut);
  const double y = (yPrev + std::sqrt(yPrev * yPrev + 4.0 * a * (1.0 + a) * u * u)) / (2.0 * (1.0 + a));
  s(kOut) = y;
  return y;
}

double arms10(double x, double Tout, double f, double Tin) {
  return correlate(wakro::blocks::take_stor(correlation::kStorSize), x, Tout, f, Tin);
}

double vrms10(std::int32_t ss, std::int32_t na, std::int32_t nb, double Tout, double f, double Tin) {
  using wakro::blocks::node_voltage;
  if (e_s1::timezero) wakro::blocks::check_nodes("VRMS10", ss, {na, nb});
  const Slots<double> s = wakro::blocks::take_stor(correlation::kStorSize);
  if (e_s1::timezero) {
    for (std::int32_t k = 1; k <= correlation::kStorSize; ++k) s(k) = 0.0;
    s(kA) = 1.0;
  }
  double x = node_voltage(na, ss) - node_voltage(nb, ss);
  if (na == 0) x = node_voltage(nb, ss);
  if (nb == 0) x = node_voltage(na, ss);
  return correlate(s, x, Tout, f, Tin);
}

double crms10(std::int32_t ss, std::int32_t n, std::int32_t m, double Tout, double f, double Tin) {
  return arms10(cdc(n, m, ss), Tout, f, Tin);
}

double crms11(std::int32_t ss, std::int32_t br, double Tout, double f, double Tin) {
  if (e_s1::timezero) wakro::blocks::check_branch("CRMS11", ss, br);
  const double i = branches::cbr(br, ss);
  const double y = arms10(i, Tout, f, Tin);
  namespace own = wakro::blocks::layout::crms11;
  wakro::blocks::take_stor(own::kStorOwn)(own::kCurrent) = i;
  return y;
}

double v1max4(double x, double Vn) {
  using namespace wakro::blocks::layout::v1max4;
  constexpr double kStartBand = 0.9;     // a start above this fraction of Vn waits
  constexpr double kStartWait = 0.005;   // ... this long before its first peak
  constexpr double kDeadSteps = 3.0;     // no new peak within this many steps
  const Slots<double> s = wakro::blocks::take_stor(kStorSize);
  if (e_s1::timezero) {
    s(kPrevious) = 2.0 * Vn;
    s(kPeak) = Vn;
    s(kEarliest) = x > kStartBand * Vn ? kStartWait : 0.0;
    s(kState) = 1.0;
  }
  const double u = std::fabs(x);
  if (e_s1::time >= s(kEarliest)) {
    if (u - s(kPrevious) <= 0.0 && s(kState) <= 0.5) {
      s(kPeak) = u;
      s(kEarliest) = e_s1::time + kDeadSteps * e_s1::delt;
      s(kState) = 1.0;
    }
    if (u > s(kPrevious)) s(kState) = 0.0;
  }
  s(kPrevious) = u;
  return s(kPeak);
}

void vmea35(std::int32_t na, std::int32_t nb, std::int32_t nc, std::int32_t ss, double mode, double Vbase,
            double w, double& out) {
  using wakro::blocks::node_voltage;
  constexpr double kInputFilterMode = 1.75;  // below it the inputs are filtered
  constexpr double kInputNotch = 628.318;    // rad/s of the input filters
  constexpr double kInvSqrt3 = 0.57735;
  constexpr std::int32_t kNotch = 5, kLowPass = 1;
  if (e_s1::timezero) wakro::blocks::check_nodes("VMEA35", ss, {na, nb, nc});
  double va = node_voltage(na, ss), vb = node_voltage(nb, ss), vc = node_voltage(nc, ss);
  if (mode < kInputFilterMode) {
    va = cmpxp5(kNotch, 1.0, 0.1, kInputNotch, va);
    vb = cmpxp5(kNotch, 1.0, 0.1, kInputNotch, vb);
    vc = cmpxp5(kNotch, 1.0, 0.1, kInputNotch, vc);
  } else {
    wakro::blocks::take_stor(wakro::blocks::layout::vmea35::kInputFilters);  // the input filters' slots stay reserved
  }
  const double M = std::max({std::fabs(va), std::fabs(vb), std::fabs(vc), std::fabs(va - vb) * kInvSqrt3,
                             std::fabs(vb - vc) * kInvSqrt3, std::fabs(vc - va) * kInvSqrt3});
  const double x = M / (kInvSqrt3 * Vbase);
  const double y1 = cmpxp5(kNotch, 1.0, 0.1, w, x);
  const double y2 = cmpxp5(kNotch, 1.0, 0.2, 2.0 * w, y1);
  const double y3 = cmpxp5(kNotch, 1.0, 0.2, 6.0 * w, y2);
  out = cmpxp5(kLowPass, 0.7153, 0.707, 2.0 * w, y3);
}

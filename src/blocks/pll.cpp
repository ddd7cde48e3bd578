// Phase-locked oscillators, firing references and phase detector (see pll.h).
#include "blocks/pll.h"

#include <cmath>

#include "blocks/continuous.h"
#include "blocks/conventions.h"
#include "blocks/events.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::Slots;
namespace layout = wakro::blocks::layout;

constexpr double kHalf = 0.5;                     // a 0/1 level crosses zero through this offset
using wakro::kTwoPi;
constexpr double kPi = 3.141592653589793;
constexpr double kNoBase = wakro::kTiny;          // a smaller Vbase is taken as 1
constexpr double kSqrt2 = 1.414213562373095;
constexpr double kInvSqrt3 = 0.577350269189626;
constexpr double kInvSqrt2 = 0.707106781186548;
constexpr double kNoVector = 1e-32;               // both parts below this: no error
constexpr double kDegrees = 57.29577951308232;    // radians to degrees
constexpr double kInvTwoPi = 0.159154943091895;   // rad/s to Hz
constexpr double kUpperDefault = 1.2;             // tracking bounds put in for bad ones
constexpr double kLowerDefault = 0.8;

}  // namespace

void tveka1_cfg(double Vbase, double f0) {
  using namespace layout::tveka1;
  const Slots<double> c = wakro::blocks::take_rtcf(kRtcfSize);
  c(kInvBase) = Vbase <= kNoBase ? 1.0 : 1.0 / Vbase;
  c(kOmega0) = kTwoPi * f0;
}

void tveka1_exe(double Va, double Vb, double Vc, double Kp, double Ki, double offset, double lockTime, double U,
                double L, double& theta, double& error, double& freq) {
  // 1. The tracking bounds, replaced when they make no band around 1.
  if (U <= 1.0) {
    wakro::blocks::block_warn("Upper tracking boundary must be greater than 1.0");
    U = kUpperDefault;
  }
  if (L >= 1.0 || L <= 0.0) {
    wakro::blocks::block_warn("Lower tracking boundary must be positive, but smaller than 1.0");
    L = kLowerDefault;
  }
  using namespace layout::tveka1;
  const Slots<double> c = wakro::blocks::take_rtcf(kRtcfSize);
  const Slots<double> s = wakro::blocks::take_storf(kStorfSize);

  // 2. The voltage's alpha/beta vector in per unit, seen from the oscillator.
  const double th = s(kAngle);
  const double k = c(kInvBase);
  const double vAlpha = (Va - (Vb + Vc) / 2.0) * kSqrt2 * kInvSqrt3 * k;
  const double vBeta = (Vb - Vc) * kInvSqrt2 * k;
  const double y = std::cos(th) * vAlpha + std::sin(th) * vBeta;
  const double x = std::sin(th) * vAlpha - std::cos(th) * vBeta;
  double e = (std::fabs(y) < kNoVector && std::fabs(x) < kNoVector) ? 0.0 : std::atan2(y, x);
  // The error against the offset angle, the short way round: in (-pi, pi], so
  // that an offset beyond half a turn locks as the same angle given the other
  // way (200 degrees as -160), instead of pulling the frequency to a bound.
  e -= offset;
  e -= kTwoPi * std::ceil((e - kPi) / kTwoPi);

  // 3. Up to the lock time the output is the measured angle.
  theta = th;
  if (e_s1::time <= lockTime) {
    theta = th + e;
    if (theta <= 0.0) theta += kTwoPi;
    if (theta >= kTwoPi) theta -= kTwoPi;
  }
  error = kDegrees * e;

  // 4. The PI sets the angular frequency within the band; the angle advances.
  s(kIntegral) += e_s1::delt * e;
  const double w0 = c(kOmega0);
  const double w = limit(L * w0, U * w0, Ki * s(kIntegral) + w0 + Kp * e);
  if (theta >= kTwoPi) theta -= kTwoPi;
  s(kAngle) = theta + e_s1::delt * w;
  freq = w * kInvTwoPi;
}

void phd3(double A, double B, double& OUT) {
  using namespace layout::phd3;
  const Slots<double> s = wakro::blocks::take_stor(kStorOwn);
  const bool aPositive = A > 0.0;
  const double d = (aPositive != (B > 0.0)) ? 1.0 : 0.0;
  const double sA = aPositive ? 1.0 : 0.0;
  XPair dEdge{}, aEdge{};
  wakro_zcd(d - kHalf, dEdge);
  wakro_zcd(sA - kHalf, aEdge);
  // The sign says which signal's crossing opened the window: +1 when A crossed
  // (either way) in the step, so A leads B, and -1 when B did. Taking only a
  // rising A would flip the sign every half cycle for one and the same lag, and
  // the mean of the output, the phase difference, would average to zero.
  if (dEdge[0] > kHalf) s(kSign) = std::fabs(aEdge[0]) > kHalf ? 1.0 : -1.0;
  OUT = d * s(kSign);
}

// The compensator's phase-locked loop, gate signals and valve rule. The loop and
// the gates live at fixed offsets from nexc in the compensator's own block.
#include "devices/svc_firing.h"

#include <cmath>
#include <numbers>

#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_s2.h"

namespace {

using namespace wakro::devices;

using wakro::kTwoPi;
constexpr double kPi = std::numbers::pi;
constexpr double kSqrtTwoThirds = 0.816496580927726;
constexpr double kInvSqrt2 = 0.707106781186548;
constexpr double kMinSpeed = 0.8;  // of the nominal angular frequency
constexpr double kMaxSpeed = 1.2;
constexpr double kGroupLag = 5.0 * kPi / 6.0;  // second six-pulse group behind the first
constexpr double kResistanceTolerance = 1.0e-6;

double& slot(std::int32_t k) { return e_s2::stor(e_s2::nexc + k); }

double up(double x) { return x < 0.0 ? x + kTwoPi : x; }
double down(double x) { return x > kTwoPi ? x - kTwoPi : x; }

// The six reference angles of one group from its first angle.
void references(double first, double (&x)[6]) {
  x[0] = first;
  x[1] = up(first - 2.0 * kPi / 3.0);
  x[2] = down(first + 2.0 * kPi / 3.0);
  x[3] = up(first - kPi);
  x[4] = up(x[1] - kPi);
  x[5] = up(x[2] - kPi);
}

}  // namespace

void pll2(double va, double vb, double vc, double& sint, double& cost, double kp, double ki, double vbase,
          double f0, double& theta) {
  // Step 1: the angle at entry.
  const double theta0 = slot(kLoopAngle);
  theta = theta0;
  sint = std::sin(theta0);
  cost = std::cos(theta0);
  // Step 2: stationary components of the normalised voltages.
  const double valpha = kSqrtTwoThirds * (va - (vb + vc) / 2.0) / vbase;
  const double vbeta = (vb - vc) * kInvSqrt2 / vbase;
  // Steps 3-4: phase error and its integral.
  const double e = valpha * cost + vbeta * sint;
  const double integral = slot(kLoopIntegral) + e_s1::delt * e;
  slot(kLoopIntegral) = integral;
  // Step 5: angular frequency, held about the nominal one.
  const double w0 = kTwoPi * f0;
  double w = ki * integral + w0 + kp * e;
  if (w > kMaxSpeed * w0) {
    w = kMaxSpeed * w0;
  } else if (w < kMinSpeed * w0) {
    w = kMinSpeed * w0;
  }
  // Steps 6-7: the advanced angle.
  double next = theta0 + e_s1::delt * w;
  if (next >= kTwoPi) next -= kTwoPi;
  theta = next;
  slot(kLoopAngle) = next;
}

void firctl(double alpha, double kp, double ki, std::int32_t enab, double va, double vb, double vc) {
  double s = 0.0, c = 0.0, theta = 0.0;
  pll2(va, vb, vc, s, c, kp, ki, kFiringVoltageBase, kFiringFrequency, theta);
  double x[6], y[6];
  references(theta, x);
  references(up(theta - kGroupLag), y);
  for (std::int32_t k = 0; k < 6; ++k) {
    const bool on1 = enab >= 1 && alpha < x[k] && x[k] < kPi;
    const bool on2 = enab >= 1 && alpha < y[k] && y[k] < kPi;
    slot(kGateGroup1 + k) = on1 ? 1.0 : 0.0;
    slot(kGateGroup2 + k) = on2 ? 1.0 : 0.0;
  }
}

void thyrx(double x, double gate, double& r, double ron, double roff, std::int32_t& flag) {
  if (std::abs(r - ron) <= kResistanceTolerance) {
    flag = 0;
    if (x < 0.0) {
      r = roff;
      flag = -1;
    }
    return;
  }
  if (std::abs(r - roff) <= kResistanceTolerance) {
    flag = 0;
    if (gate > 0.5 && x > 0.0) {
      r = ron;
      flag = 1;
    }
  }
}

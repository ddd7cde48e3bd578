// The old-style oscillators and the converter-control blocks (see
// converter_controls.h).
#include "blocks/converter_controls.h"

#include <algorithm>
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/events.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::Slots;
namespace layout = wakro::blocks::layout;

using wakro::kTwoPi;
constexpr double kNoBase = wakro::kTiny;                // a smaller Vbase is taken as 1
constexpr double kSqrt2 = 1.414213562373095;
constexpr double kInvSqrt3 = 0.577350269189626;
constexpr double kInvSqrt2 = 0.707106781186548;
constexpr double kSqrt2Thirds = 0.816496580927726;  // sqrt(2/3), tvekt3's single factor
constexpr double kInvSqrt2T = 0.707106781186547;    // tvekt3's 1/sqrt 2
constexpr double kDegrees = 57.29577951308232;
constexpr double kInvTwoPi = 0.159154943091895;
constexpr double kSixty = 1.047197551196598;        // 60 degrees in radians
constexpr double kEdge = 0.95;                      // a detector direction counts from here

double inverse_base(double Vbase) { return Vbase <= kNoBase ? 1.0 : 1.0 / Vbase; }

// The band and zero guard of one old-style oscillator.
struct Oscillator {
  double lower, upper;  // tracking band of w, per unit of 2 pi f0
  double yGuard, xGuard;  // no error while |y| < yGuard and |x| < xGuard
};

void old_oscillator(const Oscillator& o, double Va, double Vb, double Vc, double Kp, double Ki, double Vbase,
                    double f0, double offset, double lockTime, double& theta, double& error, double& freq) {
  using namespace layout::old_oscillator;
  const Slots<double> s = wakro::blocks::take_stor(kStorSize);
  if (e_s1::timezero) s(kInvBase) = inverse_base(Vbase);
  const double th = s(kTheta), k = s(kInvBase);
  const double vAlpha = (Va - (Vb + Vc) / 2.0) * kSqrt2 * kInvSqrt3 * k;
  const double vBeta = (Vb - Vc) * kInvSqrt2 * k;
  const double y = std::cos(th) * vAlpha + std::sin(th) * vBeta;
  const double x = std::sin(th) * vAlpha - std::cos(th) * vBeta;
  double e = (std::fabs(y) < o.yGuard && std::fabs(x) < o.xGuard) ? 0.0 : std::atan2(y, x);
  e -= offset;
  theta = th;
  if (e_s1::time <= lockTime) {
    theta = th + e;
    if (theta <= 0.0) theta += kTwoPi;
    if (theta >= kTwoPi) theta -= kTwoPi;
  }
  error = kDegrees * e;
  s(kIntegral) += e_s1::delt * e;
  const double w0 = kTwoPi * f0;
  const double w = limit(o.lower * w0, o.upper * w0, Ki * s(kIntegral) + w0 + Kp * e);
  if (theta >= kTwoPi) theta -= kTwoPi;
  s(kTheta) = theta + e_s1::delt * w;
  freq = w * kInvTwoPi;
}

// The dead-time command logic shared by icpsw4 and cpsw_exe.
std::int32_t step_command(std::int32_t& busy, bool up, bool down, std::int32_t upper, std::int32_t position,
                          double dead) {
  std::int32_t command = 0;
  if (busy != 1) {
    if (up && position < upper) command = 1;
    if (down && position > 0) command = -1;
  }
  busy = mono3(command != 0 ? 1 : 0, dead);
  return command;
}

}  // namespace

void tveka3(double Va, double Vb, double Vc, double Kp, double Ki, double Vbase, double f0, double offset,
            double lockTime, double& theta, double& error, double& freq) {
  old_oscillator({0.8, 1.2, 1e-6, 1e-6}, Va, Vb, Vc, Kp, Ki, Vbase, f0, offset, lockTime, theta, error, freq);
}

void tvekn3(double Va, double Vb, double Vc, double Kp, double Ki, double Vbase, double f0, double offset,
            double lockTime, double& theta, double& error, double& freq) {
  old_oscillator({0.5, 1.5, 1.0, 1e-6}, Va, Vb, Vc, Kp, Ki, Vbase, f0, offset, lockTime, theta, error, freq);
}

void tvekt3(double Va, double Vb, double Vc, double Kp, double Ki, double Vbase, double f0, double& freq,
            double& theta, double& error) {
  constexpr double kNoError = 1e-10;
  using namespace layout::old_oscillator;  // kIntegral: the integral of y
  const Slots<double> s = wakro::blocks::take_stor(kStorSize);
  const double w0 = kTwoPi * f0;
  if (e_s1::timezero) {
    s(kTheta) = -w0 * e_s1::delt;
    s(kInvBase) = inverse_base(Vbase);
  }
  const double th = s(kTheta), k = s(kInvBase);
  const double vAlpha = (Va - (Vb + Vc) / 2.0) * kSqrt2Thirds * k;
  const double vBeta = (Vb - Vc) * kInvSqrt2T * k;
  const double y = std::cos(th) * vAlpha + std::sin(th) * vBeta;
  error = std::fabs(y) < kNoError
              ? 0.0
              : kDegrees * std::asin(y / std::max(std::fabs(y), vAlpha * vAlpha + vBeta * vBeta));
  s(kIntegral) += e_s1::delt * y;
  const double w = limit(0.8 * w0, 1.2 * w0, Ki * s(kIntegral) + w0 + Kp * y);
  theta = th + e_s1::delt * w;
  if (theta >= kTwoPi) theta -= kTwoPi;
  s(kTheta) = theta;
  freq = w * kInvTwoPi;
}

void tvpuln(std::int32_t unit, std::span<double, 6> theta) {
  double step = kSixty, turn = kTwoPi;
  if (unit != 0) {
    theta[0] *= kDegrees;
    step = 60.0;
    turn = 360.0;
  }
  for (std::size_t i = 1; i < 6; ++i) {
    theta[i] = theta[i - 1] - step;
    if (theta[i] < 0.0) theta[i] += turn;
  }
}

void edph2(double xa, double xb, double xc, double& ya, double& yb, double& yc, double f) {
  using namespace layout::edph2;
  const Slots<double> s = wakro::blocks::take_stor(kStorSize);
  if (e_s1::timezero) {
    const double a = kTwoPi * f * e_s1::delt;
    s(kC1) = 1.0 - a * a;
    s(kC2) = a * kInvSqrt3;
  }
  const double c1 = s(kC1), c2 = s(kC2);
  ya = c1 * xa + c2 * (xc - xb);
  yb = c1 * xb + c2 * (xa - xc);
  yc = c1 * xc + c2 * (xb - xa);
}

std::int32_t icpsw4(std::int32_t up, std::int32_t down, std::int32_t upper, std::int32_t position, double dead) {
  using namespace layout::step_changer;
  const Slots<std::int32_t> s = wakro::blocks::take_stori(kStoriSize);
  return step_command(s(kBusy), up > 0, down > 0, upper, position, dead);
}

void cpsw_cfg(std::int32_t upper) {
  using namespace layout::cpsw;
  wakro::blocks::take_rtci(kRtciSize)(kUpper) = upper;
}

std::int32_t cpsw_exe(std::int32_t up, std::int32_t down, std::int32_t position, std::int32_t& command, double dead) {
  using layout::cpsw::kUpper, layout::cpsw::kRtciSize;
  using layout::step_changer::kBusy, layout::step_changer::kStoriSize;
  const std::int32_t upper = wakro::blocks::take_rtci(kRtciSize)(kUpper);
  const Slots<std::int32_t> s = wakro::blocks::take_stori(kStoriSize);
  command = step_command(s(kBusy), up >= 1, down > 0, upper, position, dead);
  return s(kBusy);
}

void gama18(std::span<const double, 6> V, std::span<const double, 6> T, double VTH, double F, double& last,
            double& mean, double& minimum) {
  using namespace layout::gama18;
  const Slots<std::int32_t> flags = wakro::blocks::take_stori(kStoriSize);
  const Slots<double> values = wakro::blocks::take_storf(kStorfSize);
  // Valve k's slots.
  const auto armed = [&](std::int32_t k) -> std::int32_t& { return flags(kArmed + k - 1); };
  const auto measured = [&](std::int32_t k) -> double& { return values(kMeasured + k - 1); };
  const double w = 360.0 * F;

  // 1. Which valves fire in this step: the step after the second of two rising
  //    crossings of the threshold, or any step after the first while armed.
  bool fired[6] = {};
  std::int32_t firing = 0;
  for (std::int32_t k = 1; k <= kValves; ++k) {
    XPair d{};
    wakro_zcd(V[k - 1] - VTH, d);
    const bool rising = d[0] >= kEdge;
    if (rising && armed(k) == 0) {
      armed(k) = 1;
    } else if (armed(k) != 0) {
      armed(k) = 0;
      fired[k - 1] = true;
      ++firing;
    }
  }
  wakro::blocks::take_stor(kStorReserved);  // reserved with the detectors

  // 2. A valve that fires alone is measured; one masked by another's firing is not.
  for (std::int32_t k = 1; k <= kValves; ++k) {
    const bool masked = firing - (fired[k - 1] ? 1 : 0) > 0;
    if (e_s1::timezero) continue;
    if (fired[k - 1] && !masked) measured(k) = 1.0;
    if (masked && !fired[k - 1]) measured(k) = 0.0;
  }

  // 3. The outputs.
  last = 0.0;
  double sum = 0.0;
  minimum = w * T[0];
  for (std::int32_t k = 1; k <= kValves; ++k) {
    const double g = w * T[k - 1];
    last += measured(k) * g;
    sum += g;
    minimum = std::min(minimum, g);
  }
  mean = sum / 6.0;
}

void gamme6(double current, double voltage, double& angle, double enable, double F, std::int32_t& isNew) {
  using namespace layout::gamme6;
  const Slots<double> f = wakro::blocks::take_storf(kStorfSize);
  const Slots<std::int32_t> flag = wakro::blocks::take_stori(kStoriSize);
  XPair dI{}, dV{};
  wakro_zcd(current, dI);
  wakro_zcd(voltage, dV);
  isNew = 0;
  if (e_s1::timezero) {
    f(kStart) = f(kAngle) = 0.0;
    for (std::int32_t k = kArmed; k <= kStoriSize; ++k) flag(k) = 0;
  }
  const bool iFalls = dI[0] <= -kEdge, vRises = dV[0] >= kEdge;
  if (enable >= kEdge) flag(kEnabled) = 1;

  // Completion of an armed measurement.
  if (flag(kArmed) != 0) {
    if (flag(kCurrentFirst) != 0 && vRises) {
      f(kAngle) = 360.0 * F * (e_s1::time - f(kStart));
      isNew = 1;
    } else if (flag(kVoltageFirst) != 0 && iFalls) {
      f(kAngle) = -360.0 * F * (e_s1::time - f(kStart));
      isNew = 1;
    }
    if (isNew == 1) flag(kArmed) = flag(kCurrentFirst) = flag(kVoltageFirst) = 0;
  } else if (flag(kEnabled) != 0) {
    // Arming by whichever zero comes first.
    if (iFalls && !vRises) {
      flag(kArmed) = flag(kCurrentFirst) = 1;
      f(kStart) = e_s1::time;
    } else if (vRises && !iFalls) {
      flag(kArmed) = flag(kVoltageFirst) = 1;
      f(kStart) = e_s1::time;
    }
  }
  angle = f(kAngle);
}

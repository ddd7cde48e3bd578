// The interpolated integrator, the two PI controllers built on it, the crossing
// detector, the comparator and the hysteresis buffer (interpolated.h).
//
// The integrator honours a switching instant inside the step: with its input
// interpolation on, the input X = (x, dx) held the previous value x_prev over the
// first delt - dx of the step and the new value x over the last dx, so
//   y = y_prev + (delt - dx) x_prev / T_prev + dx x / T'
// is the exact integral of that piecewise-constant input.
#include <algorithm>
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/interpolated.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/storage.h"

namespace {

using wakro::blocks::logic_true;
using wakro::blocks::Slots;
using wakro::blocks::switch_on;
using wakro::blocks::take_stori;
using wakro::blocks::take_storf;

constexpr double kTinyT = wakro::kTiny;       // a smaller time constant integrates with T' = 1
constexpr double kTinySwing = 1e-30;   // a smaller swing puts the crossing mid-step
constexpr double kNoLimit = 1e20;      // the unclamped integrator of wakro_xpi2

// A time since a change, kept inside the step it belongs to.
double within_step(double t) { return std::clamp(t, 0.0, e_s1::delt); }

}  // namespace

double wakro_xint(std::int32_t inputInterp, std::int32_t resetInterp, std::int32_t resetSwitch, double Y0,
                  double T, double R, double LO, double HI, const XPair& RST, const XPair& X) {
  using namespace wakro::blocks::layout::xint;
  const Slots<double> s = take_storf(kStorfSize);
  const double delt = e_s1::delt;
  const double x = X[0];
  const double Tp = std::fabs(T) < kTinyT ? 1.0 : T;

  // Step 1: at time zero the previous input is the present one.
  if (e_s1::timezero) {
    s(kInput) = x;
    s(kTimeConstant) = Tp;
  }
  const double xPrev = s(kInput), yPrev = s(kOut), TPrev = s(kTimeConstant);

  // Step 2: split of the step -- the previous input holds over b, the new over a.
  const bool interp = switch_on(inputInterp);
  const double dx = interp ? within_step(X[1]) : 0.0;
  const double a = interp ? dx : delt / 2.0;
  const double b = interp ? delt - dx : delt / 2.0;

  // Step 3: the integral.
  double y = e_s1::timezero ? Y0 : yPrev + b * xPrev / TPrev + a * x / Tp;

  // Step 4: reset, at the reset instant dr before the end of the step when asked.
  if (switch_on(resetSwitch) && logic_true(RST[0])) {
    const double dr = within_step(RST[1]);
    if (!switch_on(resetInterp)) {
      y = R;
    } else if (!interp) {
      const double xr = x - (x - xPrev) * dr / delt;  // the input at the reset instant
      y = R + dr * (x + xr) / 2.0 / Tp;
    } else if (dx > dr) {
      y = R + dr * x / Tp;
    } else {
      y = R + ((dr - dx) * xPrev + dx * x) / Tp;
    }
  }

  // Step 5: clamp (the lower limit wins when the limits cross) and store.
  if (y > HI) y = HI;
  if (y < LO) y = LO;
  s(kInput) = x;
  s(kOut) = y;
  s(kTimeConstant) = Tp;
  return y;
}

double wakro_xpi(std::int32_t interp, double K, double T, double LO, double HI, double Y0, const XPair& X) {
  const XPair noReset{0.0, 0.0};
  const double integral = wakro_xint(interp, 0, 0, Y0, T, 0.0, LO, HI, noReset, X);
  return limit(LO, HI, K * X[0] + integral);
}

double wakro_xpi2(std::int32_t interp, double K, double T, double LO, double HI, double Y0, const XPair& X) {
  using namespace wakro::blocks::layout::xint;
  // The integrator's slots as they stand before its step, to undo the step while
  // the output is held at a limit (its time constant slot keeps the new value).
  // Take the slots to read them and give them back: the integrator takes them.
  const Slots<double> s = take_storf(kStorfSize);
  storage::nstorf -= kStorfSize;
  const double xKept = s(kInput), yKept = s(kOut);

  const XPair noReset{0.0, 0.0};
  const double y = K * X[0] + wakro_xint(interp, 0, 0, Y0, T, 0.0, -kNoLimit, kNoLimit, noReset, X);
  if (y < HI && y > LO) return y;
  // At time zero the integrator has only taken its initial state: it keeps it.
  if (e_s1::timezero) return y >= HI ? HI : LO;
  s(kInput) = xKept;
  s(kOut) = yKept;
  return y >= HI ? HI : LO;
}

void wakro_xzcd(double x, XPair& OUT) {
  using namespace wakro::blocks::layout::xzcd;
  const Slots<double> s = take_storf(kStorfSize);
  OUT = {0.0, 0.0};
  if (e_s1::timezero) {
    s(kPrevious) = x;
    return;
  }
  const double p = s(kPrevious);
  s(kPrevious) = x;
  if (p < 0.0 && x >= 0.0) {
    OUT[0] = 1.0;
  } else if (p > 0.0 && x <= 0.0) {
    OUT[0] = -1.0;
  } else {
    return;
  }
  OUT[1] = std::fabs(x - p) <= kTinySwing ? e_s1::delt / 2.0 : wakro::blocks::crossing_time(p, x, e_s1::delt);
}

void wakro_x2comp(std::int32_t interp, std::int32_t edge, double A, double B, double HIGH, double HOLD,
                  double LOW, XPair& OUT) {
  XPair cross{};
  wakro_xzcd(A - B, cross);
  const bool edgeMode = switch_on(edge);
  OUT[0] = edgeMode ? HOLD : (A > B ? HIGH : LOW);
  OUT[1] = 0.0;
  if (cross[0] == 0.0) return;
  if (switch_on(interp)) OUT[1] = cross[1];
  if (edgeMode) OUT[0] = cross[0] < 0.0 ? LOW : HIGH;
}

void wakro_xhbuff(std::int32_t Q0, std::int32_t interp, double X, double UP, double LOW, XPair& OUT) {
  using namespace wakro::blocks::layout::xhbuff;
  const Slots<std::int32_t> last = take_stori(kStoriSize);
  if (e_s1::timezero) last(kLastOut) = Q0;
  XPair upper{}, lower{};
  std::int32_t q = last(kLastOut);
  double t = 0.0;
  if (LOW < UP) {
    wakro_xzcd(X - UP, upper);
    wakro_xzcd(X - LOW, lower);
    if (X >= UP) {
      q = 1 - Q0;
      t = upper[1];
    } else if (X <= LOW) {
      q = Q0;
      t = lower[1];
    }
  } else {
    // No band: a plain comparator at the single threshold.
    const double threshold = std::max(UP, LOW);
    wakro_xzcd(X - threshold, upper);
    wakro_xzcd(X - threshold, lower);
    q = X >= threshold ? 1 - Q0 : Q0;
    t = upper[1];
  }
  last(kLastOut) = q;
  OUT[0] = q;
  OUT[1] = switch_on(interp) ? t : 0.0;
}

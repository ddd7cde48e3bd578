// The interpolated timers, pulse and signal generators and firing-pulse blocks
// of generators.h.
//
// Every block takes the same slots on every call, whatever path it takes, so
// the pointers reach the same values on every step. The time within a period is
// kept in [0, period), so a long run loses no precision and a period shorter
// than the step cannot make it grow without bound. Nothing is allocated per call.
#include "blocks/generators.h"

#include <algorithm>
#include <cmath>

#include "blocks/interpolated.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::block_error_line;
using wakro::blocks::block_stop;
using wakro::blocks::block_warn;
using wakro::blocks::logic_true;
using wakro::blocks::Slots;
using wakro::blocks::switch_on;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_storf;
using wakro::blocks::take_stori;
using wakro::blocks::take_storl;
using wakro::blocks::XPair;

namespace {

// Below this a difference of two values counts as none.
using wakro::kTiny;
// End time of a monostable at rest.
constexpr double kNoEnd = 1e6;

// The crossing detector of the timers: the room's interpolated one.
XPair detect_crossing(double x) {
  XPair out{};
  wakro_xzcd(x, out);
  return out;
}

}  // namespace

// ---------------------------------------------------------------- wakro_xondlay

namespace {
enum OnDelayState : std::int32_t { kIdle = 0, kTiming = 1, kOn = 2 };
}

void wakro_xondlay(std::int32_t interp, double D, const XPair& X, XPair& OUT) {
  using namespace wakro::blocks::layout::xondlay;
  const Slots<double> onTime = take_storf(kStorfSize);
  const Slots<std::int32_t> state = take_stori(kStoriSize);
  const bool withTimes = switch_on(interp);
  const bool xOn = logic_true(X[0]);
  if (e_s1::timezero) state(kState) = kIdle;
  OUT = {0.0, 0.0};
  // Step 1: an input that comes on starts the delay, from its own instant.
  if (state(kState) == kIdle) {
    if (!xOn) return;
    onTime(kOnTime) = e_s1::time + D - (withTimes ? X[1] : 0.0);
    state(kState) = kTiming;
  }
  // Step 2: the delay runs out, or a break sends it back to idle.
  if (state(kState) == kTiming) {
    if (!xOn) {
      state(kState) = kIdle;
      return;
    }
    if (e_s1::time < onTime(kOnTime)) return;
    OUT[0] = X[0];
    if (withTimes) OUT[1] = e_s1::time - onTime(kOnTime);
    state(kState) = kOn;
    return;
  }
  // Step 3: on; the output follows the input and goes off with it.
  OUT[0] = X[0];
  if (!xOn) {
    state(kState) = kIdle;
    if (withTimes) OUT[1] = X[1];
  }
}

// ---------------------------------------------------------------- wakro_xttrans

namespace {
enum TransitionState : std::int32_t { kOff = 0, kTurningOn = 1, kHeldOn = 2, kTurningOff = 3 };
}

void wakro_xttrans(std::int32_t initial, double Ton, double Toff, const XPair& X, XPair& OUT) {
  using namespace wakro::blocks::layout::xttrans;
  const Slots<double> f = take_storf(kStorfSize);
  const Slots<std::int32_t> state = take_stori(kStoriSize);
  double& timeLeft = f(kTimeLeft);
  double& changeTime = f(kChangeTime);
  const bool xOn = logic_true(X[0]);
  if (e_s1::timezero) {
    if (initial == 0) state(kState) = kOff;
    if (initial == 1) state(kState) = kHeldOn;
  }
  switch (state(kState)) {
    case kOff:
      OUT = {0.0, 0.0};
      if (!xOn) return;
      timeLeft = Ton;
      changeTime = X[1];
      if (changeTime >= Ton) {
        OUT = {1.0, changeTime - Ton};
        state(kState) = kHeldOn;
      } else {
        state(kState) = kTurningOn;
      }
      return;
    case kTurningOn:
      OUT = {0.0, 0.0};
      timeLeft -= e_s1::delt;
      if (timeLeft < 0.0) {
        OUT = {1.0, changeTime - timeLeft};
        state(kState) = kHeldOn;
      }
      return;
    case kHeldOn:
      OUT = {1.0, 0.0};
      if (xOn) return;
      timeLeft = Toff;
      changeTime = X[1];
      if (changeTime >= Toff) {
        OUT = {0.0, changeTime - Toff};
        state(kState) = kOff;
      } else {
        state(kState) = kTurningOff;
      }
      return;
    case kTurningOff:
      OUT = {1.0, 0.0};
      timeLeft -= e_s1::delt;
      if (timeLeft < 0.0) {
        OUT = {0.0, changeTime - timeLeft};
        state(kState) = kOff;
      }
      return;
    default:
      // A state no path writes (a corrupt store): the output stays off.
      OUT = {0.0, 0.0};
      return;
  }
}

// ---------------------------------------------------------------- wakro_xmstab

void wakro_xmstab(std::int32_t interp, double W, const XPair& X, XPair& OUT) {
  using namespace wakro::blocks::layout::xmstab;
  const Slots<double> s = take_storf(kStorfOwn);  // its own; the detector takes the rest
  double& output = s(kOutput);
  double& endTime = s(kEndTime);
  const bool withTimes = switch_on(interp);
  if (e_s1::timezero) {
    output = 0.0;
    endTime = kNoEnd;
  }
  const XPair edge = detect_crossing(X[0] - 0.5);
  OUT = {output, 0.0};
  // Step 1: a rising edge starts a pulse, from the input's own instant.
  if (edge[0] > 0.0) {
    OUT[0] = 1.0;
    endTime = e_s1::time + std::max(W, 0.0);
    if (withTimes) {
      endTime -= X[1];
      OUT[1] = X[1];
    }
  }
  // Step 2: the pulse ends (possibly within the step in which it began).
  if (e_s1::time > endTime - 1e-4 * e_s1::delt) {
    OUT[0] = 0.0;
    output = 0.0;
    if (withTimes) OUT[1] = std::max(0.0, e_s1::time - endTime);
    endTime = kNoEnd;
  } else {
    output = OUT[0];
  }
}

// ---------------------------------------------------------------- wakro_xigen

void wakro_xigen(std::int32_t area, std::int32_t interp, double T1, double H, double P,
                 XPair& OUT) {
  using namespace wakro::blocks::layout::xigen;
  const Slots<double> f = take_storf(kStorfSize);
  const Slots<std::int32_t> count = take_stori(kStoriSize);
  if (e_s1::timezero) {
    count(kGiven) = 0;
    f(kHeight) = switch_on(area) ? H / e_s1::delt : H;
    f(kNextTime) = T1;
  }
  OUT = {0.0, 0.0};
  if (e_s1::time < f(kNextTime)) return;
  OUT[0] = f(kHeight);
  if (switch_on(interp)) OUT[1] = e_s1::time - f(kNextTime);
  count(kGiven) += 1;
  f(kNextTime) = T1 + count(kGiven) * P;
}

// ---------------------------------------------------------------- e_xigen1

namespace {
// A frequency at or below this gives the period of "never again".
constexpr double kLowestFrequency = 1e-12;
constexpr double kNeverPeriod = 1e12;
}  // namespace

void e_xigen1_cfg(std::int32_t area, double T1, double H, double F) {
  using namespace wakro::blocks::layout::xigen1;
  bool bad = false;
  if (F <= 0.0) bad = true, block_error_line("Frequency must be greater than zero");
  if (T1 < 0.0) bad = true, block_error_line("Time of first impulse cannot be negative");
  if (H <= 0.0) bad = true, block_error_line("Height of impulse must be greater than zero");
  if (bad) block_stop("IMPULSE");
  const Slots<double> c = take_rtcf(kRtcfSize);
  c(kHeight) = switch_on(area) ? H / e_s1::delt : H;
  c(kNextTime) = T1;
  c(kFirstTime) = T1;
  c(kPeriod) = F <= kLowestFrequency ? kNeverPeriod : 1.0 / F;
}

void e_xigen1_exe(XPair& OUT) {
  using namespace wakro::blocks::layout::xigen1;
  const Slots<double> c = take_rtcf(kRtcfSize);
  const Slots<std::int32_t> count = take_stori(kStoriSize);
  if (e_s1::timezero) {
    count(kGiven) = 0;
    c(kNextTime) = c(kFirstTime);
  }
  OUT = {0.0, 0.0};
  if (e_s1::time <= c(kNextTime) - 1e-4 * e_s1::delt) return;
  OUT = {c(kHeight), std::max(0.0, e_s1::time - c(kNextTime))};
  count(kGiven) += 1;
  c(kNextTime) = c(kFirstTime) + count(kGiven) * c(kPeriod);
}

// ---------------------------------------------------------------- wakro_xsgen, e_xsgen1

namespace {

enum SignalType : std::int32_t { kTriangle = 1, kPulse = 2 };

// The warnings of a frequency the generator cannot use as given.
struct FrequencyWarnings {
  const char* tooSmall;
  const char* negative;
};
constexpr FrequencyWarnings kXsgenWarnings = {
    "SIGNAL GENERATOR - Frequency is too small, 1.0E-6 is assumed.",
    "SIGNAL GENERATOR - Frequency is negative, absolute value is assumed."};
constexpr FrequencyWarnings kEXsgenWarnings = {"Frequency is too small, 1.0E-6 is assumed",
                                               "Frequency is negative, Absolute value is assumed"};
constexpr double kLowestSignalFrequency = 1e-6;

// The generator itself; the storage is that of wakro_xsgen.
void signal_generator(std::int32_t type, bool withTimes, double phase, double F, double duty,
                      double maximum, double minimum, const FrequencyWarnings& warnings,
                      XPair& OUT) {
  using namespace wakro::blocks::layout::xsgen;
  const Slots<double> s = take_storf(kStorfSize);
  const Slots<bool> high = take_storl(kStorlSize);
  double& tau = s(kTau);
  double& P = s(kPeriod);
  double& onTime = s(kOnTime);
  double& riseSlope = s(kRiseSlope);
  double& fallSlope = s(kFallSlope);
  double& givenF = s(kGivenF);

  // Step 1: the frequency in use, with a warning where it is not the one given.
  double used = F;
  bool recompute = e_s1::timezero || std::abs(F - givenF) > kTiny;
  if (std::abs(F) <= kLowestSignalFrequency) {
    block_warn(warnings.tooSmall);
    used = kLowestSignalFrequency;
  } else if (F < 0.0) {
    block_warn(warnings.negative);
    used = -F;
    if (!e_s1::timezero && std::abs(F + givenF) <= kTiny) recompute = false;
  }

  // Step 2: the period and the slopes.
  if (recompute) {
    high(kHigh) = false;
    P = 1.0 / used;
    onTime = std::clamp(duty, 0.0, 100.0) * P / 100.0;
    const double span = maximum - minimum;
    riseSlope = onTime <= 0.5 * e_s1::delt ? 0.0 : span / onTime;
    fallSlope = P - onTime <= 0.5 * e_s1::delt ? 0.0 : span / (P - onTime);
    if (e_s1::timezero) tau = std::fmod(phase * P / 360.0, P);
    givenF = F;
  }

  // Step 3: a new period starts; tau stays in [0, P).
  OUT = {0.0, 0.0};
  if (tau >= P || tau < 0.0) {
    tau = std::fmod(tau, P);
    if (tau < 0.0) tau += P;
    if (type == kPulse && withTimes) OUT[1] = tau;
  }

  // Step 4: the waveform at tau.
  if (type == kTriangle) {
    OUT[0] = tau <= onTime ? minimum + riseSlope * tau : maximum - fallSlope * (tau - onTime);
  } else if (type == kPulse) {
    if (tau < onTime) {
      OUT[0] = maximum;
      if (withTimes) high(kHigh) = true;
    } else {
      OUT[0] = minimum;
      if (withTimes && high(kHigh)) OUT[1] = tau - onTime;
      high(kHigh) = false;
    }
  }
  tau += e_s1::delt;
}

}  // namespace

void wakro_xsgen(std::int32_t type, std::int32_t interp, double phase, double F, double duty,
                 double maximum, double minimum, XPair& OUT) {
  signal_generator(type, switch_on(interp), phase, F, duty, maximum, minimum, kXsgenWarnings, OUT);
}

namespace {
constexpr double kRadiansPerDegree = 0.017453292519943;
}

void e_xsgen1_cfg(std::int32_t type, double phase, double duty, double maximum, double minimum) {
  using namespace wakro::blocks::layout::xsgen1;
  bool bad = false;
  if (minimum >= maximum) bad = true, block_error_line("Maximum must be greater than Minimim");
  if (type == kPulse && !(duty > kTiny && duty < 100.0))
    bad = true, block_error_line("Duty cycle cannot be 0 or 100 for a pulse");
  if (bad) block_stop("E_XSGEN");
  // The phase is brought into (0, 360] degrees.
  const double phi = phase * kRadiansPerDegree;
  double degrees = std::atan2(std::sin(phi), std::cos(phi)) / kRadiansPerDegree;
  if (degrees <= 0.0) degrees += 360.0;
  const Slots<double> c = take_rtcf(kRtcfSize);
  c(kPhase) = degrees;
  c(kDuty) = duty;
  c(kMaximum) = maximum;
  c(kMinimum) = minimum;
}

void e_xsgen1_exe(std::int32_t type, double F, XPair& OUT) {
  using namespace wakro::blocks::layout::xsgen1;
  const Slots<double> c = take_rtcf(kRtcfSize);
  signal_generator(type, true, c(kPhase), F, c(kDuty), c(kMaximum), c(kMinimum), kEXsgenWarnings, OUT);
}

// ---------------------------------------------------------------- wakro_blp

void wakro_blp(double A, double B, double U, double L, XPair& OUT) {
  using namespace wakro::blocks::layout::blp;
  const Slots<double> s = take_storf(kStorfOwn);  // its own: order s0, ramp s1, the one before s2
  const double delt = e_s1::delt;
  if (e_s1::timezero) {
    s(kOrder) = B;
    s(kRamp) = A;
    s(kOlderRamp) = A;
  }
  OUT = detect_crossing(A - B);
  const double s0 = s(kOrder), s1 = s(kRamp), s2 = s(kOlderRamp);
  s(kOrder) = B;
  s(kOlderRamp) = s1;
  s(kRamp) = A;
  if (e_s1::timezero || std::abs(s1 - s2) <= kTiny) return;  // no ramp slope to extrapolate

  // Step 1: the ramp extrapolated to this step, and whether it is near the band.
  const double e = 2.0 * s1 - s2;
  const double W = std::abs(U - L);
  const bool near = W - std::abs(e - A) >= 0.01 * W;
  const double k = delt / (s1 - s2);
  // Step 2: which edge of the band, if any, the ramp passed between the samples.
  double edge = 0.0;
  if (e > U) {
    if (!(s1 <= s0 || near)) return;
    edge = U;
  } else {
    if (e >= L || (s1 < s0 && !near)) return;
    edge = L;
  }
  // Step 3: the crossing measured from the instant the ramp met that edge.
  const bool upper = edge == U;
  if (upper ? B < A : A < B) {
    OUT = {0.0, 0.0};
    return;
  }
  const double t = delt + (s1 - edge) * k;
  if (std::abs(t) <= kTiny) return;
  const double denominator = (s0 - B) / delt - (edge - A) / t;
  if (std::abs(denominator) <= kTiny) return;
  OUT = {1.0, std::clamp((A - B) / denominator, 0.0, delt)};
}

// ---------------------------------------------------------------- wakro_itfp, wakro_igfp

namespace {
// Crossing times below this fraction of the step are raised to it, so that a
// crossing always reports a time.
constexpr double kLeastTime = 1e-5;
}  // namespace

void wakro_itfp(std::int32_t enable, double width, double U, double L, double ramp, double order,
                XPair& OUT) {
  using namespace wakro::blocks::layout::itfp;
  const Slots<double> s = take_storf(kStorfOwn);  // its own; its wakro_blp takes the rest
  double& state = s(kState);
  double& endTime = s(kEndTime);
  if (e_s1::timezero) state = endTime = 0.0;
  wakro_blp(ramp, order, U, L, OUT);
  const bool rising = OUT[0] > 0.5 && enable != 0 && !e_s1::timezero;
  if (rising) {
    OUT[1] = std::max(OUT[1], kLeastTime * e_s1::delt);
    state = 1.0;
    endTime = e_s1::time + width + 1e-6 * e_s1::delt;
  } else {
    OUT[1] = 0.0;
  }
  if (e_s1::time > endTime) state = 0.0;
  OUT[0] = e_s1::time <= endTime ? state : 0.0;
}

void wakro_igfp(std::int32_t enable, double U, double L, double onRamp, double onOrder,
                double offOrder, double offRamp, XPair& OUT) {
  using namespace wakro::blocks::layout::igfp;
  const Slots<double> s = take_storf(kStorfOwn);  // its own; two wakro_blp take the rest
  double& state = s(kState);
  XPair on, off;
  wakro_blp(onRamp, onOrder, U, L, on);
  wakro_blp(-offRamp, -offOrder, -L, -U, off);
  if (e_s1::timezero) state = onRamp > onOrder ? 1.0 : 0.0;
  const double least = kLeastTime * e_s1::delt;
  if (enable == 0) {
    state = 0.0;
    OUT = {0.0, 0.0};
  } else if (off[0] > 0.5) {
    state = 0.0;
    OUT = {0.0, std::max(off[1], least)};
  } else if (on[0] > 0.5) {
    state = 1.0;
    OUT = {1.0, std::max(on[1], least)};
  } else {
    OUT = {state, 0.0};
  }
}

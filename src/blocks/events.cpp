// The crossing detector, monostables, latch, timers, crossing-time pulse blocks
// and small logic (events.h).
#include <algorithm>
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/events.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::block_fatal;
using wakro::blocks::nint_sat;
using wakro::blocks::obsolete_forward;
using wakro::blocks::Slots;
using wakro::blocks::take_stor;
using wakro::blocks::take_stori;
using wakro::blocks::take_storf;

constexpr double kTinySwing = 1e-30;      // a smaller swing puts the crossing mid-step
constexpr double kMinTimeFraction = 1e-5; // pulse times are at least this part of delt
constexpr double kEndMargin = 1e-6;       // a fixed-width pulse ends this part of delt late

// Accumulated times match `time` within this part of a step.
double time_tolerance() { return 1e-9 * e_s1::delt; }

// The crossing time of a rising detector output, kept off zero.
double raised_time(double t) { return std::max(t, kMinTimeFraction * e_s1::delt); }

}  // namespace

// ---------------------------------------------------------------- detectors

void wakro_zcd(double x, XPair& OUT) {
  using namespace wakro::blocks::layout::zcd;
  const Slots<double> s = take_stor(kStorSize);
  OUT = {0.0, 0.0};
  const double p = s(kPrevious);
  s(kPrevious) = x;
  if (e_s1::timezero) return;
  if (p < 0.0 && x >= 0.0) {
    OUT[0] = 1.0;
  } else if (p > 0.0 && x <= 0.0) {
    OUT[0] = -1.0;
  } else {
    return;
  }
  OUT[1] = std::fabs(x - p) <= kTinySwing ? 0.5 * e_s1::delt : wakro::blocks::crossing_time(p, x, e_s1::delt);
}

std::int32_t wakro_izcd1(double x) {
  XPair out{};
  wakro_zcd(x, out);
  return nint_sat(out[0]);
}

std::int32_t izcd1(double x, double& t) {
  obsolete_forward("IZCD1", "WAKRO_ZCD");
  XPair out{};
  wakro_zcd(x, out);
  t = out[1];
  return nint_sat(out[0]);
}

// ---------------------------------------------------------------- monostables and latch

std::int32_t mono2(std::int32_t trigger, double width) {
  using namespace wakro::blocks::layout::mono2;
  const Slots<double> s = take_stor(kStorSize);
  if (trigger > 0) {
    s(kEndTime) = e_s1::time + width;
    s(kOutput) = 1.0;
  }
  if (e_s1::time >= s(kEndTime) - time_tolerance()) s(kOutput) = 0.0;
  return nint_sat(s(kOutput));
}

std::int32_t mono3(std::int32_t level, double width) {
  XPair edge{};
  wakro_zcd(level - 0.5, edge);
  return mono2(edge[0] > 0.0 ? 1 : 0, width);
}

std::int32_t latck2(std::int32_t dSet, std::int32_t dReset, std::int32_t S, std::int32_t R, std::int32_t clock,
                    std::int32_t& Q, std::int32_t& QN) {
  using namespace wakro::blocks::layout::latck2;
  const Slots<double> s = take_stor(kStorOwn);
  const std::int32_t stored = nint_sat(s(kState));
  XPair edge{};
  wakro_zcd(clock - 0.5, edge);
  std::int32_t q = stored;
  if (edge[0] > 0.0) {
    if (dSet >= 1 && dReset < 1) q = 1;
    if (dSet < 1 && dReset > 0) q = 0;
  }
  if (S < 1 && R > 0) q = 0;
  if (S >= 1 && R < 1) q = 1;
  if (S * R >= 1) q = stored;
  Q = q;
  QN = 1 - q;
  s(kState) = q;
  return q;
}

// ---------------------------------------------------------------- timers

std::int32_t itimr1(std::int32_t run, double T) {
  using namespace wakro::blocks::layout::itimr1;
  const Slots<double> s = take_stor(kStorSize);
  if (e_s1::timezero || run < 1) {
    s(kTimeLeft) = T;
    return 0;
  }
  s(kTimeLeft) -= e_s1::delt;
  return s(kTimeLeft) <= time_tolerance() ? 1 : 0;
}

std::int32_t itimr3(std::int32_t up, std::int32_t down, double Tup, double Tdown, std::int32_t initialState) {
  using namespace wakro::blocks::layout::itimr3;
  constexpr double kSpan = 16.0, kBottom = -8.0, kTop = 11.0, kOnAt = 8.0;
  if (e_s1::timezero && (Tup <= 0.0 || Tdown <= 0.0))
    block_fatal("ITIMR3", {"Timer up and down times must be greater than zero."});
  const Slots<double> s = take_stor(kStorSize);
  if (e_s1::timezero) {
    s(kUpRate) = kSpan / Tup;
    s(kDownRate) = kSpan / Tdown;
    s(kCounter) = initialState < 1 ? kBottom : kTop;
  } else {
    s(kCounter) = limit(kBottom, kTop, s(kCounter) + (up * s(kUpRate) - down * s(kDownRate)) * e_s1::delt);
  }
  return s(kCounter) >= kOnAt ? 1 : 0;
}

void t2m3(std::int32_t start, std::int32_t stop, double T1, double T2, std::int32_t initialState,
          std::int32_t& output) {
  using namespace wakro::blocks::layout::t2m3;
  enum State : std::int32_t { kOff = 0, kStarting = 1, kOn = 2, kStopping = 3 };
  const Slots<std::int32_t> state = take_stori(kStoriSize);
  const Slots<double> left = take_storf(kStorfSize);
  const double delt = e_s1::delt;

  // Step 1: the time-zero pass starts off, or on (stopping at once when asked).
  if (e_s1::timezero && (initialState == 0 || initialState == 1)) {
    state(kState) = initialState == 0 ? kOff : kOn;
    if (initialState == 1 && stop >= 1) {
      state(kState) = kStopping;
      left(kTimeLeft) = T2;
    }
    output = initialState;
    return;
  }
  // Step 2: one move of the machine.
  switch (state(kState)) {
    case kOff:
      output = 0;
      if (start >= 1) {
        left(kTimeLeft) = T1;
        state(kState) = kStarting;
      }
      break;
    case kStarting:
      output = 0;
      left(kTimeLeft) -= delt;
      if (left(kTimeLeft) < delt / 2.0) {
        output = 1;
        state(kState) = kOn;
      }
      break;
    case kOn:
      output = 1;
      if (stop >= 1) {
        left(kTimeLeft) = T2;
        state(kState) = kStopping;
      }
      break;
    default:
      output = 1;
      left(kTimeLeft) -= delt;
      if (left(kTimeLeft) < delt / 2.0) {
        output = 0;
        state(kState) = kOff;
      }
      break;
  }
}

double timer3(double delay, double width, double A, double B, double offValue, double onValue) {
  using namespace wakro::blocks::layout::timer3;
  const Slots<double> s = take_stor(kStorSize);
  const double t = e_s1::time, tol = time_tolerance();
  if (t < s(kStart) - tol) return offValue;
  if (t < s(kEnd) - tol) return onValue;
  if (B < A) {
    s(kFired) = 0.0;
    return offValue;
  }
  if (s(kFired) != 0.0) return onValue;
  s(kStart) = t + delay;
  s(kEnd) = s(kStart) + width;
  s(kFired) = 1.0;
  return t < s(kStart) - tol ? offValue : onValue;
}

// ---------------------------------------------------------------- pulses with a crossing time

void wakro_binon(double A, double onLevel, double B, double offLevel, std::int32_t enable, XPair& OUT) {
  using namespace wakro::blocks::layout::binon;
  XPair on{}, off{};
  wakro_zcd(A - onLevel, on);
  wakro_zcd(B - offLevel, off);
  const Slots<double> state = take_storf(kStorfSize);
  if (enable == 0) {
    state(kOutputState) = 0.0;
    OUT = {0.0, 0.0};
  } else if (off[0] > 0.0) {
    state(kOutputState) = 0.0;
    OUT = {0.0, raised_time(off[1])};
  } else if (on[0] > 0.0) {
    state(kOutputState) = 1.0;
    OUT = {1.0, raised_time(on[1])};
  } else {
    OUT = {state(kOutputState), 0.0};
  }
}

void wakro_sonon(double A, double level, double width, std::int32_t enable, XPair& OUT) {
  using namespace wakro::blocks::layout::sonon;
  wakro_zcd(A - level, OUT);
  const Slots<double> s = take_storf(kStorfSize);
  const double t = e_s1::time;
  if (enable != 0 && OUT[0] > 0.0) {
    s(kOutputState) = 1.0;
    s(kEndTime) = t + width + kEndMargin * e_s1::delt;
    OUT[1] = raised_time(OUT[1]);
  } else {
    OUT[1] = 0.0;
  }
  if (t > s(kEndTime)) s(kOutputState) = 0.0;
  OUT[0] = t <= s(kEndTime) ? s(kOutputState) : 0.0;
}

double sonon3(double x, double width, std::int32_t enable, double& t) {
  obsolete_forward("SONON3", "WAKRO_SONON");
  XPair out{};
  wakro_sonon(x, 0.0, width, enable, out);
  t = out[1];
  return out[0];
}

double binon3(double A, double B, std::int32_t enable, double& t) {
  obsolete_forward("BINON3", "WAKRO_BINON");
  XPair out{};
  wakro_binon(A, 0.0, B, 0.0, enable, out);
  t = out[1];
  return out[0];
}

// ---------------------------------------------------------------- small logic

std::int32_t xnor(std::int32_t a, std::int32_t b) { return (a == 0 && b == 0) || (a > 0 && b > 0) ? 1 : 0; }

std::int32_t and2or(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
  return std::max(a * b, c * d);
}

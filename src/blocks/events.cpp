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
  const Slots<double> s = take_stor(1);  // 1: previous input
  OUT = {0.0, 0.0};
  const double p = s(1);
  s(1) = x;
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
  const Slots<double> s = take_stor(2);  // 1: output, 2: end time
  if (trigger > 0) {
    s(2) = e_s1::time + width;
    s(1) = 1.0;
  }
  if (e_s1::time >= s(2) - time_tolerance()) s(1) = 0.0;
  return nint_sat(s(1));
}

std::int32_t mono3(std::int32_t level, double width) {
  XPair edge{};
  wakro_zcd(level - 0.5, edge);
  return mono2(edge[0] > 0.0 ? 1 : 0, width);
}

std::int32_t latck2(std::int32_t dSet, std::int32_t dReset, std::int32_t S, std::int32_t R, std::int32_t clock,
                    std::int32_t& Q, std::int32_t& QN) {
  const Slots<double> s = take_stor(1);  // 1: state
  const std::int32_t stored = nint_sat(s(1));
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
  s(1) = q;
  return q;
}

// ---------------------------------------------------------------- timers

std::int32_t itimr1(std::int32_t run, double T) {
  const Slots<double> s = take_stor(1);  // 1: time left
  if (e_s1::timezero || run < 1) {
    s(1) = T;
    return 0;
  }
  s(1) -= e_s1::delt;
  return s(1) <= time_tolerance() ? 1 : 0;
}

std::int32_t itimr3(std::int32_t up, std::int32_t down, double Tup, double Tdown, std::int32_t initialState) {
  constexpr double kSpan = 16.0, kBottom = -8.0, kTop = 11.0, kOnAt = 8.0;
  if (e_s1::timezero && (Tup <= 0.0 || Tdown <= 0.0))
    block_fatal("ITIMR3", {"Timer up and down times must be greater than zero."});
  const Slots<double> s = take_stor(3);  // 1: 16/T_up, 2: 16/T_down, 3: counter
  if (e_s1::timezero) {
    s(1) = kSpan / Tup;
    s(2) = kSpan / Tdown;
    s(3) = initialState < 1 ? kBottom : kTop;
  } else {
    s(3) = limit(kBottom, kTop, s(3) + (up * s(1) - down * s(2)) * e_s1::delt);
  }
  return s(3) >= kOnAt ? 1 : 0;
}

void t2m3(std::int32_t start, std::int32_t stop, double T1, double T2, std::int32_t initialState,
          std::int32_t& output) {
  enum State : std::int32_t { kOff = 0, kStarting = 1, kOn = 2, kStopping = 3 };
  const Slots<std::int32_t> state = take_stori(1);
  const Slots<double> left = take_storf(1);
  const double delt = e_s1::delt;

  // Step 1: the time-zero pass starts off, or on (stopping at once when asked).
  if (e_s1::timezero && (initialState == 0 || initialState == 1)) {
    state(1) = initialState == 0 ? kOff : kOn;
    if (initialState == 1 && stop >= 1) {
      state(1) = kStopping;
      left(1) = T2;
    }
    output = initialState;
    return;
  }
  // Step 2: one move of the machine.
  switch (state(1)) {
    case kOff:
      output = 0;
      if (start >= 1) {
        left(1) = T1;
        state(1) = kStarting;
      }
      break;
    case kStarting:
      output = 0;
      left(1) -= delt;
      if (left(1) < delt / 2.0) {
        output = 1;
        state(1) = kOn;
      }
      break;
    case kOn:
      output = 1;
      if (stop >= 1) {
        left(1) = T2;
        state(1) = kStopping;
      }
      break;
    default:
      output = 1;
      left(1) -= delt;
      if (left(1) < delt / 2.0) {
        output = 0;
        state(1) = kOff;
      }
      break;
  }
}

double timer3(double delay, double width, double A, double B, double offValue, double onValue) {
  const Slots<double> s = take_stor(3);  // 1: start, 2: end, 3: fired flag
  const double t = e_s1::time, tol = time_tolerance();
  if (t < s(1) - tol) return offValue;
  if (t < s(2) - tol) return onValue;
  if (B < A) {
    s(3) = 0.0;
    return offValue;
  }
  if (s(3) != 0.0) return onValue;
  s(1) = t + delay;
  s(2) = s(1) + width;
  s(3) = 1.0;
  return t < s(1) - tol ? offValue : onValue;
}

// ---------------------------------------------------------------- pulses with a crossing time

void wakro_binon(double A, double onLevel, double B, double offLevel, std::int32_t enable, XPair& OUT) {
  XPair on{}, off{};
  wakro_zcd(A - onLevel, on);
  wakro_zcd(B - offLevel, off);
  const Slots<double> state = take_storf(1);
  if (enable == 0) {
    state(1) = 0.0;
    OUT = {0.0, 0.0};
  } else if (off[0] > 0.0) {
    state(1) = 0.0;
    OUT = {0.0, raised_time(off[1])};
  } else if (on[0] > 0.0) {
    state(1) = 1.0;
    OUT = {1.0, raised_time(on[1])};
  } else {
    OUT = {state(1), 0.0};
  }
}

void wakro_sonon(double A, double level, double width, std::int32_t enable, XPair& OUT) {
  wakro_zcd(A - level, OUT);
  const Slots<double> s = take_storf(2);  // 1: output state, 2: end time
  const double t = e_s1::time;
  if (enable != 0 && OUT[0] > 0.0) {
    s(1) = 1.0;
    s(2) = t + width + kEndMargin * e_s1::delt;
    OUT[1] = raised_time(OUT[1]);
  } else {
    OUT[1] = 0.0;
  }
  if (t > s(2)) s(1) = 0.0;
  OUT[0] = t <= s(2) ? s(1) : 0.0;
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

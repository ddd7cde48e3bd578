// The frame of the first-order poles of poles.h, inlined at each call through
// the inline entries realpole, diffpole and ldlgpole: the constant flags and
// gains of a caller fold away and the direct update costs no call. The rare
// calls take the general path, one out-of-line function per kind.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "blocks/continuous.h"
#include "blocks/conventions.h"
#include "blocks/pole_layout.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace wakro::blocks::pole_frame {

// Gains at or below this in magnitude give an inverse gain of 0.
constexpr double kTinyGain = 1e-38;
// Time constants below this in magnitude give a = 0 (the pole passes through).
constexpr double kTinyTime = wakro::kTiny;
// A time constant that moves less than this keeps the cached coefficient.
constexpr double kRecompute = 1e-10;

// The three poles share one frame, instantiated for each kind and inlined into
// its entry: the kind's tests fold away and no argument record is built.
enum class Kind { kLag, kDifferential, kLeadLag };

struct PoleArgs {
  bool reset, enable, limit;
  double t1;  // lead time constant (lead-lag only)
  double t;   // lag time constant
  double g, x, resetValue, lower, upper;
};

// The real slots of a pole; the output is the last.
template <Kind K>
constexpr std::int32_t real_slots() {
  return K == Kind::kLeadLag ? std::int32_t{wakro::blocks::layout::ldlgpole::kStorfSize}
                             : std::int32_t{wakro::blocks::layout::pole::kStorfSize};
}

// The general path: every case of a call.
template <Kind K>
[[gnu::noinline]] inline double pole_general(const PoleArgs& p, const Slots<double> f,
                                             const Slots<std::int32_t> i) {
  using namespace wakro::blocks::layout::pole;
  // Step 1: the slots taken by pole; the output is the last real slot.
  constexpr std::int32_t out = real_slots<K>();

  // Step 2: steps since the last active call, and the inverse gain.
  const std::int32_t n =
      i(kInactive) < std::numeric_limits<std::int32_t>::max() ? i(kInactive) + 1 : i(kInactive);
  const double gInv = std::abs(p.g) <= kTinyGain ? 0.0 : 1.0 / p.g;

  // Step 3: an inactive call holds its output and counts the step.
  if (!p.enable) {
    double y = f(out);
    if (p.reset) {
      f(kState) = gInv * (p.limit ? ::limit(p.lower, p.upper, p.resetValue) : p.resetValue);
      y = p.g * f(kState);
      f(out) = y;
    } else if (e_s1::timezero) {
      if constexpr (K == Kind::kDifferential) {
        y = p.limit ? p.g * gInv * ::limit(p.lower, p.upper, 0.0) : 0.0;
      } else {
        const double gx = p.g * p.x;
        f(kState) = gInv * (p.limit ? ::limit(p.lower, p.upper, gx) : gx);
        y = p.g * f(kState);
      }
      f(out) = y;
    }
    i(kInactive) = n;
    return y;
  }

  // Step 4: the coefficients for T and n, cached.
  double a, b = 0.0;
  if (std::abs(p.t - f(kCachedT)) >= kRecompute || i(kCachedSpan) != n) {
    const double span = n * e_s1::delt;
    a = std::abs(p.t) < kTinyTime ? 0.0 : std::exp(-span / p.t);
    if constexpr (K == Kind::kLeadLag) b = std::abs(p.t) < kTinyTime ? 1.0 / span : a / p.t;
    f(kCachedT) = p.t;
    f(kCoefficient) = a;
    if constexpr (K == Kind::kLeadLag) f(wakro::blocks::layout::ldlgpole::kLead) = b;
    i(kCachedSpan) = n;
  } else {
    a = f(kCoefficient);
    if constexpr (K == Kind::kLeadLag) b = f(wakro::blocks::layout::ldlgpole::kLead);
  }

  // Step 5: the new state from the previous state s0 and input x0.
  const double s0 = f(kState), x0 = f(kInput);
  double s = 0.0;
  if (p.reset) {
    s = gInv * p.resetValue;
  } else if (e_s1::timezero) {
    s = K == Kind::kDifferential ? 0.0 : gInv * p.g * p.x;
  } else {
    if constexpr (K == Kind::kLag) s = (1.0 - a) * p.x + a * s0;
    if constexpr (K == Kind::kDifferential) s = a * s0 + a * (p.x - x0);
    if constexpr (K == Kind::kLeadLag) s = p.t1 * b * (p.x - x0) + (1.0 - a) * p.x + a * s0;
  }
  // Step 6: the limits act on the output, the state follows.
  if (p.limit) s = gInv * ::limit(p.lower, p.upper, p.g * s);

  // Step 7: output and memory.
  const double y = p.g * s;
  f(kInput) = p.x;
  f(kState) = s;
  f(out) = y;
  i(kInactive) = 0;
  return y;
}

// The frame: an active call of an enabled pole, past time zero, with no reset
// and its cached coefficients in force, goes straight to the state update; every
// other call takes the general path above. Both compute the same numbers in the
// same order. The arguments stay loose until the general path needs them as a
// record, so that the direct update stores none of them.
template <Kind K>
[[gnu::always_inline]] inline double pole(bool reset, bool enable, bool limited, double t1,
                                          double t, double g, double x, double resetValue,
                                          double lower, double upper) {
  using namespace wakro::blocks::layout::pole;
  constexpr std::int32_t out = real_slots<K>();
  const Slots<double> f = take_storf(out);
  const Slots<std::int32_t> i = take_stori(kStoriSize);
  const std::int32_t n =
      i(kInactive) < std::numeric_limits<std::int32_t>::max() ? i(kInactive) + 1 : i(kInactive);
  if (!enable || reset || e_s1::timezero || std::abs(t - f(kCachedT)) >= kRecompute ||
      i(kCachedSpan) != n) [[unlikely]] {
    const PoleArgs p{reset, enable, limited, t1, t, g, x, resetValue, lower, upper};
    return pole_general<K>(p, f, i);
  }
  const double a = f(kCoefficient);
  const double s0 = f(kState), x0 = f(kInput);
  double s = 0.0;
  if constexpr (K == Kind::kLag) s = (1.0 - a) * x + a * s0;
  if constexpr (K == Kind::kDifferential) s = a * s0 + a * (x - x0);
  if constexpr (K == Kind::kLeadLag) {
    const double b = f(wakro::blocks::layout::ldlgpole::kLead);
    s = t1 * b * (x - x0) + (1.0 - a) * x + a * s0;
  }
  if (limited) {
    const double gInv = std::abs(g) <= kTinyGain ? 0.0 : 1.0 / g;
    s = gInv * ::limit(lower, upper, g * s);
  }
  const double y = g * s;
  f(kInput) = x;
  f(kState) = s;
  f(out) = y;
  i(kInactive) = 0;
  return y;
}

}  // namespace wakro::blocks::pole_frame

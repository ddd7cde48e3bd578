// The blocks of tc_inputs.h: one frame for the four basic blocks, which differ
// in their coefficient and in how the output moves, and the two PI controllers
// built on the integrator's frame.
#include "blocks/tc_inputs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "blocks/continuous.h"
#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::Slots;
using wakro::blocks::take_stor;
using wakro::blocks::nint_sat;
using wakro::blocks::switch_on;

namespace {

using namespace wakro::blocks::layout::tc_block;
constexpr std::int32_t kBasicSlots = wakro::blocks::layout::tc_block::kStorSize;
constexpr std::int32_t kPiSlots = wakro::blocks::layout::tc_pi::kStorSize;
using wakro::blocks::layout::tc_pi::kProportional;
// Time constants below this in magnitude give c = 0 or a = 0.
constexpr double kTinyTime = wakro::kTiny;
// A time constant that moves less than this keeps the cached coefficient.
constexpr double kRecompute = 1e-10;
// Gains below this in magnitude store 0 as the lead-lag's input on reset.
constexpr double kTinyGain = 1e-10;
// The unlimited integrator of vpi9a.
constexpr double kUnlimited = 1e20;

enum class Kind { kIntegrator, kLag, kDifferential, kLeadLag };

struct Args {
  Kind kind;
  double t1;            // lead time constant (lead-lag)
  double t;             // time constant (lag time constant T2 of the lead-lag)
  double g;             // gain (not the integrator)
  double x, y0;         // input, reset output
  double lower, upper;  // integrator limits
  bool reset, enable;
};

// A whole number held as a real, read back as the nearest integer.
std::int32_t whole(double v) { return nint_sat(v); }

// One call of a basic block on its eight slots s.
double frame(const Slots<double>& s, const Args& p) {
  const double delt = e_s1::delt;
  // Step 1: steps since the last active call, this one included.
  const std::int32_t skipped = whole(s(kInactive));
  const std::int32_t n = skipped < std::numeric_limits<std::int32_t>::max() ? skipped + 1 : skipped;

  // Step 2: an inactive call holds its output (or takes Y0 on reset unclamped).
  if (!p.enable) {
    double y = s(kOut);
    if (p.reset) {
      s(kInput) = p.x;
      s(kOut) = p.y0;
      y = p.y0;
    }
    s(kInactive) = n;
    return y;
  }

  // Step 3: the coefficients for T and n, cached.
  double coef, r = 0.0;
  if (std::abs(p.t - s(kCachedT)) >= kRecompute || whole(s(kCachedSpan)) != n) {
    const double span = n * delt;
    switch (p.kind) {
      case Kind::kIntegrator: coef = std::abs(p.t) < kTinyTime ? 0.0 : span * 0.5 / p.t; break;
      case Kind::kLag: coef = std::abs(p.t) < kTinyTime ? 0.0 : std::exp(-span / p.t); break;
      case Kind::kDifferential:
      case Kind::kLeadLag:
      default: {
        const double tEff = std::abs(p.t) >= delt ? p.t : delt;
        r = 1.0 / tEff;
        coef = std::exp(-span * r);
        s(kRate) = r;
        break;
      }
    }
    s(kCachedT) = p.t;
    s(kCoefficient) = coef;
    s(kCachedSpan) = n;
  } else {
    coef = s(kCoefficient);
    r = s(kRate);
  }

  // Step 4: the output from the previous output y0 and input x0.
  const double yPrev = s(kOut), x0 = s(kInput);
  double y;
  if (p.reset) {
    y = p.y0;
  } else {
    switch (p.kind) {
      case Kind::kIntegrator: y = yPrev + coef * (x0 + p.x); break;
      case Kind::kLag: y = (1.0 - coef) * p.g * p.x + coef * yPrev; break;
      case Kind::kDifferential: y = coef * yPrev + (p.x - x0) * p.g * coef * r; break;
      case Kind::kLeadLag:
      default:
        y = (1.0 - coef) * p.g * p.x + coef * yPrev + (p.x - x0) * p.g * coef * p.t1 * r;
        break;
    }
  }
  // Step 5: the integrator clamps upper first, so the lower limit wins.
  if (p.kind == Kind::kIntegrator) {
    y = std::min(y, p.upper);
    y = std::max(y, p.lower);
  }

  // Step 6: memory. A reset lead-lag starts the next step from its steady state.
  s(kOut) = y;
  s(kInactive) = 0.0;
  if (p.kind == Kind::kLeadLag && p.reset)
    s(kInput) = std::abs(p.g) < kTinyGain ? 0.0 : p.y0 / p.g;
  else
    s(kInput) = p.x;
  return y;
}

// The first eight of a PI controller's nine slots: its integrator's.
Slots<double> integrator_slots(const Slots<double>& pi) {
  return Slots<double>(&pi(kInput), kBasicSlots, pi.index(kInput));
}

Args integrator_args(double y0, double lower, double upper, double t, double x, std::int32_t reset,
                     std::int32_t enable) {
  return {Kind::kIntegrator, 0.0, t, 1.0, x, y0, lower, upper, switch_on(reset), switch_on(enable)};
}

// The proportional part: Kp x when enabled (kept in its slot), else the kept one.
double proportional(const Slots<double>& pi, double kp, double x, std::int32_t enable) {
  if (switch_on(enable)) pi(kProportional) = x * kp;
  return pi(kProportional);
}

}  // namespace

double vintgl8(double y0, double lower, double upper, double t, double x, std::int32_t reset,
               std::int32_t enable) {
  return frame(take_stor(kBasicSlots), integrator_args(y0, lower, upper, t, x, reset, enable));
}

double vrealp8(double g, double t, double x, double y0, std::int32_t reset, std::int32_t enable) {
  return frame(take_stor(kBasicSlots),
               {Kind::kLag, 0.0, t, g, x, y0, 0.0, 0.0, switch_on(reset), switch_on(enable)});
}

double vdifpl8(double g, double t, double x, double y0, std::int32_t reset, std::int32_t enable) {
  return frame(take_stor(kBasicSlots),
               {Kind::kDifferential, 0.0, t, g, x, y0, 0.0, 0.0, switch_on(reset), switch_on(enable)});
}

double vldlag8(double t1, double t2, double g, double x, double y0, std::int32_t reset,
               std::int32_t enable) {
  return frame(take_stor(kBasicSlots),
               {Kind::kLeadLag, t1, t2, g, x, y0, 0.0, 0.0, switch_on(reset), switch_on(enable)});
}

double vpi9(double kp, double t, double lower, double upper, double y0, double x, std::int32_t reset,
            std::int32_t enable) {
  const Slots<double> pi = take_stor(kPiSlots);
  const double p = proportional(pi, kp, x, enable);
  const double i = frame(integrator_slots(pi), integrator_args(y0 - p, lower, upper, t, x, reset, enable));
  return ::limit(lower, upper, p + i);
}

double vpi9a(double kp, double t, double lower, double upper, double y0, double x, std::int32_t reset,
             std::int32_t enable) {
  const Slots<double> pi = take_stor(kPiSlots);
  const Slots<double> in = integrator_slots(pi);
  // Step 1: the proportional part; a reset or the time-zero pass loads the
  // integrator's output with Y0 - P.
  const double p = proportional(pi, kp, x, enable);
  if (switch_on(reset) || e_s1::timezero) in(kOut) = y0 - p;
  const double inputKept = in(kInput), outputKept = in(kOut);
  // Step 2: the unlimited integrator.
  const double i = frame(in, integrator_args(y0 - p, -kUnlimited, kUnlimited, t, x, reset, enable));
  // Step 3: at a limit the integrator's step is undone.
  const double v = p + i;
  if (lower < v && v < upper) return v;
  in(kInput) = inputKept;
  in(kOut) = outputKept;
  return v >= upper ? upper : lower;
}

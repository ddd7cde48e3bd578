// The configured transport delays of configured_delay.h.
//
// Workspace of one instance (after its configuration slots):
//   STORF slot 1        time slot: the time left to the next sample (sub-step
//                       mode), the time of the next sample (delay1, plain mode)
//   STORF slots 2..m+1  the ring buffer of m samples
//   STORI slot 1        STORF index of the oldest sample
//   STORI slot 2        delay2 only: the number of the next sample (plain mode)
//
// The stored index is checked on every read: one that points outside the
// block's own buffer (a state restored from elsewhere) restarts at the first
// buffer slot instead of reaching another block's slots. Accumulated times are
// compared with a tolerance of a billionth of a step, so that a sample due at
// an exact multiple of the step is not missed by the last bit of a sum.
#include "blocks/configured_delay.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

using wakro::blocks::Slots;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_rtci;
using wakro::blocks::take_rtcl;
using wakro::blocks::take_storf;
using wakro::blocks::take_stori;
using wakro::blocks::nint_sat;
using wakro::blocks::flag_set;

namespace {

// Tolerance of the time comparisons, in steps.
constexpr double kTimeTolerance = 1e-9;
// Added before truncating TD/delt in delay2's sub-step mode.
constexpr double kTruncationNudge = 2e-15;
// The first buffer slot follows the time slot.
constexpr std::int32_t kFirstSample = 2;

// Step 1 of a _cfg: the number of samples and their spacing.
struct Sampling {
  std::int32_t n;
  double spacing;
};

Sampling sampling(bool subStep, std::int32_t maxSamples, double td, double nudge) {
  const double ratio = td / e_s1::delt;
  std::int32_t n = subStep ? nint_sat(std::trunc(ratio + nudge)) : nint_sat(ratio);
  n = std::max(0, std::min(n, maxSamples));
  return {n, n >= 1 ? td / n : 0.0};
}

// Buffer length for n samples; kept below the 32-bit end so that the time slot
// can still be added and an oversized buffer reaches the dimension check.
std::int32_t buffer_length(bool subStep, std::int32_t n) {
  const std::int32_t cap = std::numeric_limits<std::int32_t>::max() - 1;
  if (n >= cap) return cap;
  return subStep ? n + 1 : std::max(n, 1);
}

// The ring buffer of one instance, over its STORF slots.
struct Ring {
  Slots<double> f;
  std::int32_t m;  // number of samples

  std::int32_t last() const { return kFirstSample + m - 1; }
  std::int32_t next(std::int32_t k) const { return k == last() ? kFirstSample : k + 1; }
  // Local slot of the stored absolute index; outside the buffer: the first slot.
  std::int32_t local(std::int32_t stored) const {
    const std::int32_t k = stored - f.index(1) + 1;
    return (k < kFirstSample || k > last()) ? kFirstSample : k;
  }
  void fill(double v) const {
    for (std::int32_t k = kFirstSample; k <= last(); ++k) f(k) = v;
  }
};

// Sub-step mode, one step: output by interpolation, a sample when due, then the
// time left moves on by one step. Returns the output; oldest is updated.
double substep(const Ring& r, std::int32_t& oldest, double spacing, double x) {
  const double delt = e_s1::delt;
  double left = r.f(1);
  const double y = spacing >= 0.5 * delt
                       ? (r.f(oldest) * left + (spacing - left) * r.f(r.next(oldest))) / spacing
                       : x;
  if (left <= kTimeTolerance * delt) {
    r.f(oldest) = x;
    oldest = r.next(oldest);
    left += spacing;
  }
  r.f(1) = left - delt;
  return y;
}

// Plain mode, the output: the oldest sample, or the input itself for a spacing
// below half a step.
double plain_output(const Ring& r, std::int32_t oldest, double spacing, double x) {
  return spacing >= 0.5 * e_s1::delt ? r.f(oldest) : x;
}

bool due(double sampleTime) { return e_s1::time >= sampleTime - kTimeTolerance * e_s1::delt; }

}  // namespace

// ---------------------------------------------------------------- delay1

void delay1_cfg(std::int32_t subStep, std::int32_t maxSamples, double td) {
  const bool sub = flag_set(subStep);
  const Sampling s = sampling(sub, maxSamples, td, 0.0);
  const Slots<double> cf = take_rtcf(1);
  const Slots<std::int32_t> ci = take_rtci(1);
  const Slots<bool> cl = take_rtcl(1);
  cf(1) = s.spacing;
  ci(1) = s.n;
  cl(1) = sub;
}

void delay1_exe(double x, double& y) {
  // Step 1: configuration and slots.
  const Slots<double> cf = take_rtcf(1);
  const Slots<std::int32_t> ci = take_rtci(1);
  const Slots<bool> cl = take_rtcl(1);
  const double spacing = cf(1);
  const bool sub = cl(1);
  const std::int32_t m = buffer_length(sub, ci(1));
  const Ring ring{take_storf(1 + m), m};
  const Slots<std::int32_t> si = take_stori(1);

  // Step 2: the time-zero pass restarts the sampling; the buffer keeps its values.
  if (e_s1::timezero) {
    ring.f(1) = spacing;
    si(1) = ring.f.index(kFirstSample);
  }
  std::int32_t oldest = ring.local(si(1));

  // Step 3: output and sampling.
  if (sub) {
    y = substep(ring, oldest, spacing, x);
  } else {
    y = plain_output(ring, oldest, spacing, x);
    if (due(ring.f(1))) {
      ring.f(oldest) = x;
      oldest = ring.next(oldest);
      ring.f(1) += spacing;
    }
  }
  si(1) = ring.f.index(oldest);
}

// ---------------------------------------------------------------- delay2

void delay2_cfg(std::int32_t subStep, std::int32_t maxSamples, std::int32_t startFromInitial,
                double td, double initial) {
  const bool sub = flag_set(subStep);
  const Sampling s = sampling(sub, maxSamples, td, sub ? kTruncationNudge : 0.0);
  const Slots<double> cf = take_rtcf(2);
  const Slots<std::int32_t> ci = take_rtci(2);
  const Slots<bool> cl = take_rtcl(1);
  cf(1) = s.spacing;
  cf(2) = initial;
  ci(1) = s.n;
  ci(2) = startFromInitial;
  cl(1) = sub;
}

void delay2_exe(double x, double& y) {
  // Step 1: configuration and slots.
  const Slots<double> cf = take_rtcf(2);
  const Slots<std::int32_t> ci = take_rtci(2);
  const Slots<bool> cl = take_rtcl(1);
  const double spacing = cf(1);
  const bool sub = cl(1);
  const std::int32_t m = buffer_length(sub, ci(1));
  const Ring ring{take_storf(1 + m), m};
  const Slots<std::int32_t> si = take_stori(2);

  // Step 2: the time-zero pass fills the buffer with the input or the initial value.
  if (e_s1::timezero) {
    ring.f(1) = spacing;
    si(1) = ring.f.index(kFirstSample);
    si(2) = 1;
    ring.fill(flag_set(ci(2)) ? cf(2) : x);
  }
  std::int32_t oldest = ring.local(si(1));

  // Step 3: output and sampling; in the plain mode sample k is due at k spacings.
  if (sub) {
    y = substep(ring, oldest, spacing, x);
  } else {
    y = plain_output(ring, oldest, spacing, x);
    if (due(spacing * si(2))) {
      ring.f(oldest) = x;
      oldest = ring.next(oldest);
      if (si(2) < std::numeric_limits<std::int32_t>::max()) ++si(2);
    }
  }
  si(1) = ring.f.index(oldest);
}

// The configured transport delays of configured_delay.h.
//
// Workspace of one instance (after its configuration slots; layouts in
// configured_delay.h):
//   STORF kTime         the time left to the next sample (sub-step mode), the
//                       time of the next sample (delay1, plain mode)
//   STORF kFirstSample.. the ring buffer of m samples
//   STORI kOldest       STORF index of the oldest sample
//   STORI kNextSample   delay2 only: the number of the next sample (plain mode)
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
using wakro::blocks::layout::delay_buffer::kFirstSample;
using wakro::blocks::layout::delay_buffer::kStorfHead;
using wakro::blocks::layout::delay_buffer::kTime;

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
// can still be added and an oversized buffer reaches the dimension check, and
// at least one sample (a count below zero comes only from a damaged snapshot's
// configuration store).
std::int32_t buffer_length(bool subStep, std::int32_t n) {
  const std::int32_t cap = std::numeric_limits<std::int32_t>::max() - 1;
  if (n >= cap) return cap;
  return subStep ? std::max(n, 0) + 1 : std::max(n, 1);
}

// The ring buffer of one instance, over its STORF slots.
struct Ring {
  Slots<double> f;
  std::int32_t m;  // number of samples

  std::int32_t last() const { return kFirstSample + m - 1; }
  std::int32_t next(std::int32_t k) const { return k == last() ? kFirstSample : k + 1; }
  // Local slot of the stored absolute index; outside the buffer: the first slot.
  std::int32_t local(std::int32_t stored) const {
    // (Wide: an index restored from a damaged snapshot may lie anywhere.)
    const std::int64_t k = std::int64_t{stored} - f.index(kTime) + 1;
    return (k < kFirstSample || k > last()) ? kFirstSample : static_cast<std::int32_t>(k);
  }
  void fill(double v) const {
    for (std::int32_t k = kFirstSample; k <= last(); ++k) f(k) = v;
  }
};

// Sub-step mode, one step: output by interpolation, a sample when due, then the
// time left moves on by one step. Returns the output; oldest is updated.
double substep(const Ring& r, std::int32_t& oldest, double spacing, double x) {
  const double delt = e_s1::delt;
  double left = r.f(kTime);
  const double y = spacing >= 0.5 * delt
                       ? (r.f(oldest) * left + (spacing - left) * r.f(r.next(oldest))) / spacing
                       : x;
  if (left <= kTimeTolerance * delt) {
    r.f(oldest) = x;
    oldest = r.next(oldest);
    left += spacing;
  }
  r.f(kTime) = left - delt;
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
  using namespace wakro::blocks::layout::delay1;
  const bool sub = flag_set(subStep);
  const Sampling s = sampling(sub, maxSamples, td, 0.0);
  const Slots<double> cf = take_rtcf(kRtcfSize);
  const Slots<std::int32_t> ci = take_rtci(kRtciSize);
  const Slots<bool> cl = take_rtcl(kRtclSize);
  cf(kSpacing) = s.spacing;
  ci(kSamples) = s.n;
  cl(kSubStep) = sub;
}

void delay1_exe(double x, double& y) {
  using namespace wakro::blocks::layout::delay1;
  // Step 1: configuration and slots.
  const Slots<double> cf = take_rtcf(kRtcfSize);
  const Slots<std::int32_t> ci = take_rtci(kRtciSize);
  const Slots<bool> cl = take_rtcl(kRtclSize);
  const double spacing = cf(kSpacing);
  const bool sub = cl(kSubStep);
  const std::int32_t m = buffer_length(sub, ci(kSamples));
  const Ring ring{take_storf(kStorfHead + m), m};
  const Slots<std::int32_t> si = take_stori(kStoriSize);

  // Step 2: the time-zero pass restarts the sampling; the buffer keeps its values.
  if (e_s1::timezero) {
    ring.f(kTime) = spacing;
    si(kOldest) = ring.f.index(kFirstSample);
  }
  std::int32_t oldest = ring.local(si(kOldest));

  // Step 3: output and sampling.
  if (sub) {
    y = substep(ring, oldest, spacing, x);
  } else {
    y = plain_output(ring, oldest, spacing, x);
    if (due(ring.f(kTime))) {
      ring.f(oldest) = x;
      oldest = ring.next(oldest);
      ring.f(kTime) += spacing;
    }
  }
  si(kOldest) = ring.f.index(oldest);
}

// ---------------------------------------------------------------- delay2

void delay2_cfg(std::int32_t subStep, std::int32_t maxSamples, std::int32_t startFromInitial,
                double td, double initial) {
  using namespace wakro::blocks::layout::delay2;
  const bool sub = flag_set(subStep);
  const Sampling s = sampling(sub, maxSamples, td, sub ? kTruncationNudge : 0.0);
  const Slots<double> cf = take_rtcf(kRtcfSize);
  const Slots<std::int32_t> ci = take_rtci(kRtciSize);
  const Slots<bool> cl = take_rtcl(kRtclSize);
  cf(kSpacing) = s.spacing;
  cf(kInitial) = initial;
  ci(kSamples) = s.n;
  ci(kStartFromInitial) = startFromInitial;
  cl(kSubStep) = sub;
}

void delay2_exe(double x, double& y) {
  using namespace wakro::blocks::layout::delay2;
  // Step 1: configuration and slots.
  const Slots<double> cf = take_rtcf(kRtcfSize);
  const Slots<std::int32_t> ci = take_rtci(kRtciSize);
  const Slots<bool> cl = take_rtcl(kRtclSize);
  const double spacing = cf(kSpacing);
  const bool sub = cl(kSubStep);
  const std::int32_t m = buffer_length(sub, ci(kSamples));
  const Ring ring{take_storf(kStorfHead + m), m};
  const Slots<std::int32_t> si = take_stori(kStoriSize);

  // Step 2: the time-zero pass fills the buffer with the input or the initial value.
  if (e_s1::timezero) {
    ring.f(kTime) = spacing;
    si(kOldest) = ring.f.index(kFirstSample);
    si(kNextSample) = 1;
    ring.fill(flag_set(ci(kStartFromInitial)) ? cf(kInitial) : x);
  }
  std::int32_t oldest = ring.local(si(kOldest));

  // Step 3: output and sampling; in the plain mode sample k is due at k spacings.
  if (sub) {
    y = substep(ring, oldest, spacing, x);
  } else {
    y = plain_output(ring, oldest, spacing, x);
    if (due(spacing * si(kNextSample))) {
      ring.f(oldest) = x;
      oldest = ring.next(oldest);
      if (si(kNextSample) < std::numeric_limits<std::int32_t>::max()) ++si(kNextSample);
    }
  }
  si(kOldest) = ring.f.index(oldest);
}

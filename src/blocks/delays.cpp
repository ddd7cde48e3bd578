// delay and delayi: a signal delayed by TD through a ring of samples taken every
// TD / n, the plain form returning the oldest sample and the interpolating form a
// blend of the two oldest.
//
// n = min(round(TD / delt), maxCount); n < 1 would sample every 0 seconds and is
// refused as a data error before any slot is taken. The ring's position is kept
// as a real (the absolute index in stor of the oldest sample); a position that
// does not lie in the block's own ring -- a changed layout, a corrupt snapshot --
// is taken as the ring's first sample instead of reaching another block's slots.
// Times accumulated by repeated addition are compared with a tolerance of
// 1e-9 delt, so that a one-ulp difference from time = iii * delt never skips a
// sample.
#include <cstdint>
#include <limits>

#include "blocks/continuous.h"
#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::nint_sat;
using wakro::blocks::Slots;
using wakro::blocks::take_stor;

constexpr double kTimeTolerance = 1e-9;  // fraction of delt
// The largest ring whose slot count (n + 3) still fits a 32-bit count; a ring
// that large passes the storage anyway and stops with its dimension report.
constexpr std::int32_t kMaxSamples = std::numeric_limits<std::int32_t>::max() - 3;

std::int32_t sample_count(double TD, std::int32_t maxCount, const char* tag) {
  std::int32_t n = nint_sat(TD / e_s1::delt);
  if (n > maxCount) n = maxCount;
  if (n > kMaxSamples) n = kMaxSamples;
  if (n < 1)
    wakro::blocks::block_fatal(tag, {"Delay time must be at least half a time step and",
                                     "the maximum number of samples at least 1."});
  return n;
}

// Position (1-based within the ring of `count` samples starting at slot `first`)
// of the oldest sample, from the absolute index kept in slot `oldest`.
std::int32_t ring_position(const Slots<double>& s, std::int32_t oldest, std::int32_t first, std::int32_t count) {
  // (Wide: an index restored from a damaged snapshot may lie anywhere.)
  const std::int64_t k = std::int64_t{nint_sat(s(oldest))} - s.index(first) + 1;
  return (k < 1 || k > count) ? 1 : static_cast<std::int32_t>(k);
}

}  // namespace

double delay(double TD, std::int32_t maxCount, double X) {
  using namespace wakro::blocks::layout::delay;
  const std::int32_t n = sample_count(TD, maxCount, "DELAY");
  const Slots<double> s = take_stor(stor_size(n));
  const double spacing = TD / n;
  if (e_s1::timezero) {
    s(kNextSample) = spacing;
    s(kOldest) = s.index(kFirstSample);
    for (std::int32_t k = 0; k < n; ++k) s(kFirstSample + k) = X;
  }
  const std::int32_t p = ring_position(s, kOldest, kFirstSample, n);
  const double out = s(kFirstSample + p - 1);
  if (e_s1::time >= s(kNextSample) - kTimeTolerance * e_s1::delt) {
    s(kNextSample) += spacing;
    s(kFirstSample + p - 1) = X;
    s(kOldest) = s.index(kFirstSample + (p == n ? 0 : p));
  }
  return out;
}

double delayi(double TD, std::int32_t maxCount, double X) {
  using namespace wakro::blocks::layout::delayi;
  const std::int32_t n = sample_count(TD, maxCount, "DELAYI");
  const Slots<double> s = take_stor(stor_size(n));
  const std::int32_t ring = n + 1;
  const double spacing = TD / n;
  if (e_s1::timezero) {
    s(kTimeLeft) = spacing;
    s(kOldest) = s.index(kFirstSample);
    for (std::int32_t k = 0; k < ring; ++k) s(kFirstSample + k) = X;
  }
  const std::int32_t p = ring_position(s, kOldest, kFirstSample, ring);
  const std::int32_t next = p == ring ? 1 : p + 1;
  double left = s(kTimeLeft);
  const double oldest = s(kFirstSample + p - 1);
  const double newer = s(kFirstSample + next - 1);
  // (oldest * left + (spacing - left) * newer) / spacing, arranged so that a
  // sample due exactly now (left = 0) comes out unchanged.
  const double out = newer + (oldest - newer) * (left / spacing);
  if (left <= kTimeTolerance * e_s1::delt) {
    left += spacing;
    s(kFirstSample + p - 1) = X;
    s(kOldest) = s.index(kFirstSample + next - 1);
  }
  s(kTimeLeft) = left - e_s1::delt;
  return out;
}

// The shift-register delay, the samplers, the track-and-hold block and the
// sorter of indices (events.h).
#include <algorithm>
#include <cmath>
#include <utility>

#include "blocks/array_args.h"
#include "blocks/events.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {

using wakro::blocks::block_fatal;
using wakro::blocks::block_warn;
using wakro::blocks::Slots;
using wakro::blocks::take_stor;
using wakro::blocks::take_stori;

double time_tolerance() { return 1e-9 * e_s1::delt; }

}  // namespace

double delax(double TD, std::int32_t N, double X) {
  using namespace wakro::blocks::layout::delax;
  if (N < 1) block_fatal("DELAX", {"Number of delay stages must be at least 1."});
  const Slots<double> s = take_stor(stor_size(N));
  const std::int32_t last = stor_size(N);
  if (e_s1::timezero) {
    s(kNextShift) = TD / N;
    for (std::int32_t k = kNewest; k <= last; ++k) s(k) = X;
  }
  const double out = s(last);
  if (e_s1::time >= s(kNextShift) - time_tolerance()) {
    s(kNextShift) = e_s1::time + TD / N;
    for (std::int32_t k = last; k > kNewest; --k) s(k) = s(k - 1);
    s(kNewest) = X;
  }
  return out;
}

double sampl2(double period, double X) {
  using namespace wakro::blocks::layout::sampl2;
  const Slots<double> s = take_stor(kStorSize);
  if (e_s1::timezero) {
    s(kSinceSample) = e_s1::delt / 2.0;
    s(kHeld) = X;
    return X;
  }
  s(kSinceSample) += e_s1::delt;
  if (s(kSinceSample) <= period) return s(kHeld);
  s(kSinceSample) = e_s1::delt / 2.0;
  s(kHeld) = X;
  return X;
}

double samp5(double X, double F, std::int32_t pulse, double pulseTime, std::int32_t mode) {
  using namespace wakro::blocks::layout::samp5;
  constexpr double kNoFrequency = 1e-10;  // below it the clock never samples
  constexpr double kNoPeriod = 1e10;
  constexpr double kFrequencyChange = 1e-6;
  constexpr double kEarly = 1e-6;  // a sample instant this part of delt ahead counts as now
  const Slots<double> s = take_stor(kStorSize);
  const double delt = e_s1::delt;

  // Step 1: at time zero the held output starts at the input.
  if (e_s1::timezero) {
    s(kPreviousInput) = X;
    s(kHeld) = X;
  }
  const double xPrev = s(kPreviousInput);

  if (mode != 0) {
    // Step 2: external pulse, at pulseTime before the end of the step.
    if (pulse >= 1) s(kHeld) = pulseTime >= 0.0 && pulseTime < delt ? (xPrev - X) * pulseTime / delt + X : X;
  } else {
    // Step 3: internal clock.
    const bool newPeriod = e_s1::timezero || std::fabs(F - s(kFrequency)) > kFrequencyChange;
    if (newPeriod) {
      s(kPeriod) = F < kNoFrequency ? kNoPeriod : std::max(1.0 / F, delt);
      s(kFrequency) = F;
    }
    const double next = s(kSampleTime) + s(kPeriod);
    if (e_s1::time - next >= -kEarly * delt) {
      s(kSampleTime) = next;
      s(kHeld) = newPeriod ? X : (xPrev - X) * std::max(0.0, (e_s1::time - next) / delt) + X;
    }
  }
  // Step 4: remember the input.
  s(kPreviousInput) = X;
  return s(kHeld);
}

void sandh2(double X, std::int32_t hold, std::int32_t enable, double& Y) {
  using namespace wakro::blocks::layout::sandh2;
  const Slots<double> s = take_stor(kStorSize);
  if (e_s1::timezero) s(kHolding) = 0.0;
  if (hold >= 1 && enable > 0) {
    if (s(kHolding) == 0.0) {
      s(kHolding) = 1.0;
      s(kHeld) = X;
    }
    Y = s(kHeld);
  } else {
    s(kHolding) = 0.0;
    Y = X;
  }
}

// ---------------------------------------------------------------- sorter

namespace {

// Whether value u belongs before value v in the given order.
bool before(std::int32_t order, double u, double v) { return order == 1 ? u < v : u > v; }

}  // namespace

void e_sorter(std::int32_t N, std::int32_t K, std::int32_t enable, std::int32_t order, std::span<const double> V,
              std::span<std::int32_t> index) {
  using namespace wakro::blocks::layout::sorter;
  if (N < 1) return;
  wakro::blocks::checked_count("e_sorter", N, V.size());
  wakro::blocks::checked_count("e_sorter", N, index.size());
  const Slots<std::int32_t> w = take_stori(stori_size(N));  // the present order of indices

  // Step 1: start from 1 .. N at time zero, and whenever a stored index is foreign.
  bool valid = !e_s1::timezero;
  for (std::int32_t i = 1; valid && i <= N; ++i) valid = w(i) >= 1 && w(i) <= N;
  if (!valid)
    for (std::int32_t i = 1; i <= N; ++i) w(i) = i;

  // Step 2: put the first (K > 0) or last (K < 0) |K| positions in order.
  if (enable != 0) {
    const std::int64_t wanted = K < 0 ? -static_cast<std::int64_t>(K) : K;
    if (wanted > N) block_warn("Elements to be sorted is more than the size of the array");
    const bool known = order == 1 || order == -1;  // any other order leaves the list
    const auto k = known ? static_cast<std::int32_t>(std::min<std::int64_t>(wanted, N - 1)) : 0;
    auto value = [&](std::int32_t pos) { return V[static_cast<std::size_t>(w(pos) - 1)]; };
    if (K > 0) {
      for (std::int32_t i = 1; i <= k; ++i)
        for (std::int32_t j = i + 1; j <= N; ++j)
          if (before(order, value(j), value(i))) std::swap(w(i), w(j));
    } else {
      for (std::int32_t i = N; i > N - k; --i)
        for (std::int32_t j = i - 1; j >= 1; --j)
          if (before(order, value(i), value(j))) std::swap(w(i), w(j));
    }
  }
  // Step 3: the order is kept and written out.
  for (std::int32_t i = 1; i <= N; ++i) index[static_cast<std::size_t>(i - 1)] = w(i);
}

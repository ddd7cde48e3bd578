// The configured blocks of configured.h: ramp, scaling, discretizer, counter,
// triangle wave and transfer characteristic.
//
// Every _exe takes the same slots on every call, whatever path it takes, so the
// pointers reach the same values on every step. Nothing is allocated per call.
#include "blocks/configured.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "blocks/array_args.h"
#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::Slots;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_rtci;
using wakro::blocks::take_stori;
using wakro::blocks::take_storf;
using wakro::blocks::block_fatal;
using wakro::blocks::block_warn;
using wakro::blocks::checked_count;
using wakro::blocks::nint_sat;
using wakro::blocks::flag_set;

namespace {

// Below this a difference of two values counts as none.
using wakro::kTiny;

}  // namespace

// ---------------------------------------------------------------- ramp1

void ramp1_cfg(double x1, double x2, double y1, double y2) {
  using namespace wakro::blocks::layout::ramp1;
  // Step 1: check; the start of the ramp must lie below its end.
  if (x1 >= x2) block_fatal("RAMP", {"Start of ramp should be less than saturating input"});
  if (std::abs(y1 - y2) < kTiny)
    block_warn("Outputs at the begining and at the end of ramp are the same.");
  // Step 2: the five constants.
  const Slots<double> c = take_rtcf(kRtcfSize);
  c(kX1) = x1;
  c(kX2) = x2;
  c(kY1) = y1;
  c(kY2) = y2;
  c(kSlope) = (y2 - y1) / (x2 - x1);
}

void ramp1_exe(double x, double& y) {
  using namespace wakro::blocks::layout::ramp1;
  const Slots<double> c = take_rtcf(kRtcfSize);
  const double x1 = c(kX1), x2 = c(kX2), y1 = c(kY1), y2 = c(kY2), slope = c(kSlope);
  if (x <= x1)
    y = y1;
  else if (x <= x2)
    y = y1 + slope * (x - x1);
  else
    y = y2;
}

// ---------------------------------------------------------------- convert_scale1

void convert_scale1_cfg(double x1, double y1, double x2, double y2) {
  using namespace wakro::blocks::layout::convert_scale1;
  if (std::abs(x1 - x2) <= kTiny)
    block_fatal("CONVERTSCALE", {"Entered data points does not ", "create one-to-one translation "});
  const Slots<double> c = take_rtcf(kRtcfSize);
  const double gain = (y1 - y2) / (x1 - x2);
  c(kGain) = gain;
  c(kOffset) = y1 - x1 * gain;
}

void convert_scale1_exe(std::int32_t n, std::span<const double> x, std::span<double> y) {
  using namespace wakro::blocks::layout::convert_scale1;
  const std::int32_t m = checked_count("CONVERT_SCALE1_EXE", n, std::min(x.size(), y.size()));
  const Slots<double> c = take_rtcf(kRtcfSize);
  const double gain = c(kGain), offset = c(kOffset);
  for (std::int32_t i = 0; i < m; ++i) y[i] = x[i] * gain + offset;
}

// ---------------------------------------------------------------- discretizer1

void discretizer1_cfg(double x1, std::int32_t n1, double x2, std::int32_t n2) {
  using namespace wakro::blocks::layout::discretizer1;
  convert_scale1_cfg(x1, n1, x2, n2);
  const Slots<std::int32_t> c = take_rtci(kRtciSize);
  c(kLowest) = n1;
  c(kHighest) = n2;
}

// Each input is scaled and then mapped to a level on its own, so no work array
// is needed.
void discretizer1_exe(std::int32_t n, std::span<const double> x, std::span<std::int32_t> out) {
  using namespace wakro::blocks::layout::discretizer1;
  namespace scale = wakro::blocks::layout::convert_scale1;
  const std::int32_t m = checked_count("DISCRETIZER1_EXE", n, std::min(x.size(), out.size()));
  const Slots<double> c = take_rtcf(scale::kRtcfSize);
  const Slots<std::int32_t> levels = take_rtci(kRtciSize);
  const double gain = c(scale::kGain), offset = c(scale::kOffset);
  const std::int32_t n1 = levels(kLowest), n2 = levels(kHighest);
  for (std::int32_t i = 0; i < m; ++i) {
    const double v = x[i] * gain + offset;
    if (v < n1)
      out[i] = n1;
    else if (v > n2)
      out[i] = n2;
    else
      out[i] = nint_sat(v);  // halves away from zero; NaN gives 0
  }
}

// ---------------------------------------------------------------- counter1

void counter1_cfg(std::int32_t lower, std::int32_t upper, std::int32_t wrapMode) {
  using namespace wakro::blocks::layout::counter1;
  if (lower >= upper) block_fatal("COUNTER", {"Lower value must be less than upper value."});
  const Slots<std::int32_t> c = take_rtci(kRtciSize);
  c(kLower) = lower;
  c(kUpper) = upper;
  c(kWrapMode) = wrapMode;
}

// The count is kept in 64 bits while it moves, so a count at the end of the
// 32-bit range can pass its limit without wrapping round.
void counter1_exe(std::int32_t direction, std::int32_t resetSwitch, std::int32_t resetValue,
                  std::int32_t& out) {
  using namespace wakro::blocks::layout::counter1;
  const Slots<std::int32_t> c = take_rtci(kRtciSize);
  const Slots<std::int32_t> s = take_stori(kStoriSize);
  const std::int32_t lower = c(kLower), upper = c(kUpper);
  const bool wraps = c(kWrapMode) != 0;
  const auto clamped = [&](std::int32_t v) { return v < lower ? lower : (v > upper ? upper : v); };

  // Step 1: the time-zero pass starts from the reset value, inside the limits.
  if (e_s1::timezero) {
    s(kCount) = clamped(resetValue);
    out = s(kCount);
    return;
  }
  // Step 2: one count up or down; past a limit it saturates or wraps.
  std::int64_t count = s(kCount);
  if (direction >= 1) {
    ++count;
    if (count > upper) count = wraps ? lower : upper;
  } else if (direction < 0) {
    --count;
    if (count < lower) count = wraps ? upper : lower;
  }
  // Step 3: a reset applies after this step's counting.
  if (flag_set(resetSwitch)) count = clamped(resetValue);
  s(kCount) = static_cast<std::int32_t>(std::clamp<std::int64_t>(count, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
  out = s(kCount);
}

// ---------------------------------------------------------------- sawtooth1

void sawtooth1_cfg(double maximum, double minimum) {
  using namespace wakro::blocks::layout::sawtooth1;
  if (minimum >= maximum) block_fatal("SAWTOOTH", {"Maximum must be greater than minimum"});
  const Slots<double> c = take_rtcf(kRtcfSize);
  c(kMaximum) = maximum;
  c(kMinimum) = minimum;
}

// The output moves by 2 (max - min) F delt per step in its direction and is
// reflected at the band's edges. A step longer than the band (a high F) is first
// reduced by whole periods 2 (max - min) of the unfolded travel, so that the
// reflections always bring the output back inside the band.
void sawtooth1_exe(double f, double& y) {
  using namespace wakro::blocks::layout::sawtooth1;
  const Slots<double> c = take_rtcf(kRtcfSize);
  const Slots<double> out = take_storf(kStorfSize);
  const Slots<std::int32_t> dir = take_stori(kStoriSize);
  const double ymax = c(kMaximum), ymin = c(kMinimum);
  const double width = ymax - ymin;

  // Step 1: the time-zero pass starts in the middle, rising.
  if (e_s1::timezero) {
    out(kOutput) = 0.5 * (ymax + ymin);
    dir(kDirection) = 1;
    y = out(kOutput);
    return;
  }
  // Step 2: move, then reflect at the edges.
  double v = out(kOutput) + 2.0 * width * dir(kDirection) * f * e_s1::delt;
  if (v > ymax + width || v < ymin - width) v = ymin + std::fmod(v - ymin, 2.0 * width);
  if (v > ymax) {
    v = 2.0 * ymax - v;
    dir(kDirection) = -1;
  }
  if (v < ymin) {
    v = 2.0 * ymin - v;
    dir(kDirection) = 1;
  }
  if (v > ymax) {
    v = 2.0 * ymax - v;
    dir(kDirection) = -1;
  }
  out(kOutput) = v;
  y = v;
}

// ---------------------------------------------------------------- txferfnc1

void txferfnc1_cfg(double x1, double y1, double x2, double y2, double slopeBelow, double slopeAbove) {
  using namespace wakro::blocks::layout::txferfnc1;
  if (x2 < x1) block_fatal("TXFER_FUNC", {"Upper threshold cannot be less than lower threshold."});
  const Slots<double> c = take_rtcf(kRtcfSize);
  c(kX1) = x1;
  c(kY1) = y1;
  c(kX2) = x2;
  c(kY2) = y2;
  c(kSlopeBelow) = slopeBelow;
  c(kSlopeAbove) = slopeAbove;
  c(kSlopeBetween) = x2 == x1 ? 0.0 : (y2 - y1) / (x2 - x1);
}

void txferfnc1_exe(double x, double& y) {
  using namespace wakro::blocks::layout::txferfnc1;
  const Slots<double> c = take_rtcf(kRtcfSize);
  const double x1 = c(kX1), y1 = c(kY1), x2 = c(kX2), y2 = c(kY2);
  const double slopeBelow = c(kSlopeBelow), slopeAbove = c(kSlopeAbove), slopeBetween = c(kSlopeBetween);
  if (x <= x1)
    y = y1 - (x1 - x) * slopeBelow;
  else if (x >= x2)
    y = y2 + (x - x2) * slopeAbove;
  else
    y = y1 + (x - x1) * slopeBetween;
}

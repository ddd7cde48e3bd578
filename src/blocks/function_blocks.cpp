// The small function blocks of function_blocks.h.
#include "blocks/function_blocks.h"

#include <algorithm>
#include <cmath>

#include "blocks/array_args.h"
#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "model/constants.h"
#include "model/e_s1.h"

using wakro::blocks::Slots;
using wakro::blocks::take_stor;
using wakro::blocks::block_fatal;
using wakro::blocks::checked_count;

namespace {

// Below this a magnitude or an interval counts as zero.
using wakro::kTiny;
constexpr double kPercent = 100.0;

}  // namespace

double thdn(std::int32_t n, std::int32_t percent, std::span<const double> h, std::span<double> r) {
  const std::int32_t m = checked_count("THDN", n, std::min(h.size(), r.size()));
  if (m < 1 || std::abs(h[0]) < kTiny) return 0.0;
  // Step 1: magnitudes relative to the fundamental, and their root sum of squares.
  r[0] = 1.0;
  double sum = 0.0;
  for (std::int32_t i = 1; i < m; ++i) {
    r[i] = h[i] / h[0];
    sum += r[i] * r[i];
  }
  double thd = std::sqrt(sum);
  // Step 2: in percent when asked.
  if (percent >= 1) {
    thd *= kPercent;
    for (std::int32_t i = 0; i < m; ++i) r[i] *= kPercent;
  }
  return thd;
}

// The segment is [X(i-1), X(i)] for the first i >= 2 with X(i) >= x, or the last
// one beyond X(n). A segment of no width gives its left value, or Y(n) when x
// lies beyond X(n).
double aplin(std::int32_t n, std::span<const double> xs, std::span<const double> ys, double x) {
  const std::int32_t m = checked_count("APLIN", n, std::min(xs.size(), ys.size()));
  if (m < 1) return 0.0;
  if (m == 1) return ys[0];
  std::int32_t i = 1;  // 0-based right end of the segment
  while (i < m - 1 && xs[i] < x) ++i;
  const bool beyond = xs[i] < x;
  const double dx = xs[i] - xs[i - 1];
  if (dx < kTiny) return beyond ? ys[m - 1] : ys[i - 1];
  return ys[i - 1] + (ys[i] - ys[i - 1]) * (x - xs[i - 1]) / dx;
}

double ramp2st(double x, double x1, double y1, double x2, double y2) {
  if (x <= x1) return y1;
  if (x >= x2 || std::abs(x2 - x1) <= kTiny) return y2;
  return y1 + (x - x1) * (y2 - y1) / (x2 - x1);
}

void check_inequility(std::int32_t op, double a, double b, bool& result) {
  enum : std::int32_t { kLess = 1, kLessEqual = 2, kGreater = 3, kGreaterEqual = 4 };
  switch (op) {
    case kLess: result = a < b; break;
    case kLessEqual: result = a <= b; break;
    case kGreater: result = a > b; break;
    case kGreaterEqual: result = a >= b; break;
    default: result = false; break;
  }
}

// The rates are taken by magnitude: a negative rise rate would otherwise move
// the output away from the input for ever.
double ramp3(double riseRate, double fallRate, double x) {
  using namespace wakro::blocks::layout::ramp3;
  const Slots<double> s = take_stor(kStorSize);
  double& riseStep = s(kRiseStep);
  double& fallStep = s(kFallStep);
  double& out = s(kOut);
  if (e_s1::timezero) {
    riseStep = std::abs(riseRate) * e_s1::delt;
    fallStep = std::abs(fallRate) * e_s1::delt;
    out = x;
    return out;
  }
  const double d = x - out;
  if (d >= 0.0 && riseStep < d)
    out += riseStep;
  else if (d < 0.0 && fallStep < -d)
    out -= fallStep;
  else
    out = x;
  return out;
}

// y = ((T - delt/2) y_prev + delt (x_prev + x)/2) / (T + delt/2). A time constant
// of practically zero passes the input through (the trapezoid alone would
// oscillate for ever); one of exactly -delt/2 would divide by zero and is a data
// error. There is no time-zero branch: the state starts from the store.
double grp2(double x, double t, double lower, double upper) {
  using namespace wakro::blocks::layout::grp2;
  const double half = 0.5 * e_s1::delt;
  if (t + half == 0.0)
    block_fatal("GRP2", {"Time constant of minus half a time step: the lag divides by zero."});
  const Slots<double> s = take_stor(kStorSize);
  double y = std::abs(t) < kTiny ? x : ((t - half) * s(kOut) + e_s1::delt * 0.5 * (s(kInput) + x)) / (t + half);
  y = std::min(y, upper);
  y = std::max(y, lower);
  s(kOut) = y;
  s(kInput) = x;
  return y;
}

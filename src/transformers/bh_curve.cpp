// The B-H characteristic of a UMEC core: its set-up check and the two lookups
// (see bh_curve.h). The lookups run every step for every magnetic branch and
// allocate nothing.
#include "transformers/bh_curve.h"

#include <array>
#include <cmath>

#include "model/constants.h"
#include "model/umec.h"

namespace wakro {
namespace {

constexpr std::int32_t kPoints = umec::kCurvePoints;
using wakro::kTiny;
constexpr double kFalling = 0.999999;  // a slope must fall at least this much
constexpr double kRising = 1.000001;   // a slope above this much rises: warned

// A segment of the curve: the point it starts from and its slope.
struct Segment {
  double x0 = 0.0, y0 = 0.0, s = 0.0;
  bool saturated = false;
};

double slope(std::int32_t k, std::int32_t i, std::int32_t j) {
  return (umec::yt(j, k) - umec::yt(i, k)) / (umec::xt(j, k) - umec::xt(i, k));
}

// The segment on which a magnitude v lies, searching along the values of one
// axis (y for flux density, x for intensity). Point values that are not above
// 0 end the curve; the last segment carries on beyond the end.
template <class Axis>
Segment find(std::int32_t k, double v, Axis axis) {
  const double s1 = umec::yt(1, k) / umec::xt(1, k);
  if (v < axis(1)) return {0.0, 0.0, s1, false};
  for (std::int32_t i = 2; i <= kPoints + 1; ++i) {
    if (i > kPoints || axis(i) <= 0.0) {
      if (i == 2) return {0.0, 0.0, s1, false};
      return {umec::xt(i - 2, k), umec::yt(i - 2, k), slope(k, i - 2, i - 1), true};
    }
    if (axis(i) > v) return {umec::xt(i - 1, k), umec::yt(i - 1, k), slope(k, i - 1, i), true};
  }
  return {};
}

}  // namespace

CurveCheck check_bh_curve(std::int32_t k) {
  std::array<double, kPoints + 1> x{}, y{};  // from 1
  for (std::int32_t i = 1; i <= kPoints; ++i) {
    x[static_cast<std::size_t>(i)] = umec::xt(i, k);
    y[static_cast<std::size_t>(i)] = umec::yt(i, k);
  }
  CurveCheck r;
  // Step 1: the first point with x > 0, moved to the front.
  std::int32_t first = 0;
  for (std::int32_t i = 1; i <= kPoints && first == 0; ++i)
    if (x[static_cast<std::size_t>(i)] > 0.0) first = i;
  std::int32_t count = kPoints;
  if (first > 1) {
    for (std::int32_t i = first; i <= kPoints; ++i) {
      x[static_cast<std::size_t>(i - first + 1)] = x[static_cast<std::size_t>(i)];
      y[static_cast<std::size_t>(i - first + 1)] = y[static_cast<std::size_t>(i)];
    }
    count = kPoints + 1 - first;
    x[static_cast<std::size_t>(count + 1)] = y[static_cast<std::size_t>(count + 1)] = 0.0;
  }
  if (first == 0 || !(y[1] > 0.0)) {
    umec::satenab(k) = 0;
    r.no_data = true;
    return r;
  }

  // Step 2: the slopes must fall.
  double s = y[1] / x[1];
  for (std::int32_t i = 2; i <= count;) {
    const auto at = static_cast<std::size_t>(i);
    if (!(y[at] > kTiny)) break;
    const double dx = x[at] - x[at - 1];
    const double m = dx > kTiny ? (y[at] - y[at - 1]) / dx : s;
    if (m > 0.0 && m <= kFalling * s) {
      s = m;
      ++i;
      continue;
    }
    if (m > kRising * s || m <= 0.0) r.ignored = true;
    for (std::int32_t j = i; j < count; ++j) {
      x[static_cast<std::size_t>(j)] = x[static_cast<std::size_t>(j + 1)];
      y[static_cast<std::size_t>(j)] = y[static_cast<std::size_t>(j + 1)];
    }
    x[static_cast<std::size_t>(count)] = y[static_cast<std::size_t>(count)] = 0.0;
    --count;
  }

  // Step 3: the curve back, and the slope of its first segment.
  for (std::int32_t i = 1; i <= kPoints; ++i) {
    umec::xt(i, k) = x[static_cast<std::size_t>(i)];
    umec::yt(i, k) = y[static_cast<std::size_t>(i)];
  }
  umec::msl1(k) = y[1] / x[1];
  return r;
}

}  // namespace wakro

using wakro::Segment;

void permpt(std::int32_t k, double phi, double& f, std::int32_t& flag, double a, double l, double& p) {
  if (umec::satenab(k) != 1) {
    flag = 0;
    p = umec::msl1(k) * a / l;
    f = phi / p;
    return;
  }
  const double b = phi / a;
  const Segment g = wakro::find(k, std::abs(b), [k](std::int32_t i) { return umec::yt(i, k); });
  flag = g.saturated ? 1 : 0;
  const double h = g.x0 + (std::abs(b) - g.y0) / g.s;
  f = b < 0.0 ? -h * l : h * l;
  p = f != 0.0 ? phi / f : g.s * a / l;
}

void permtp(std::int32_t k, double f, double& phi, std::int32_t& flag, double a, double l, double& p) {
  if (umec::satenab(k) != 1) {
    flag = 0;
    p = umec::msl1(k) * a / l;
    phi = p * f;
    return;
  }
  const double h = f / l;
  const Segment g = wakro::find(k, std::abs(h), [k](std::int32_t i) { return umec::xt(i, k); });
  flag = g.saturated ? 1 : 0;
  const double b = g.y0 + (std::abs(h) - g.x0) * g.s;
  phi = h < 0.0 ? -b * a : b * a;
  p = f != 0.0 ? phi / f : g.s * a / l;
}

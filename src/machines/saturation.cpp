// The saturation table of a machine's d axis (see saturation.h).
#include "machines/saturation.h"

#include <cmath>

#include "blocks/conventions.h"
#include "machines/machine_messages.h"
#include "model/constants.h"

namespace wakro::machines {

namespace {

constexpr double kEndOfCurve = -0.001;  // a point with x below this ends the curve
// |y1 - 1| below this: y holds factors. The margin keeps the decimal edge 1.001
// outside, as written, although 1.001 - 1 is a little below 0.001 in binary.
constexpr double kRatioWindow = 0.001 - 1.0E-12;

std::int32_t points_taken(const std::array<double, kSatPoints>& x) {
  std::int32_t n = 0;
  while (n < kSatPoints && x[n] >= kEndOfCurve) ++n;
  return n;
}

// The zone rule of both tables: the last start that does not exceed |v|.
std::int32_t zone_of(const std::array<double, kMaxZones>& start, std::int32_t n, double v) {
  if (n < 2) return n;
  const double a = std::fabs(v);
  for (std::int32_t k = 2; k <= n; ++k)
    if (start[k - 1] > a) return k - 1;
  return n;
}

}  // namespace

std::string_view build_saturation(const std::array<double, kSatPoints>& x, const std::array<double, kSatPoints>& y,
                                  double xmd, SaturationTable& t) {
  t = SaturationTable{};
  if (!(xmd > 0.0) || !std::isfinite(xmd)) return "Xmd must be positive for the saturation curve";
  const std::int32_t n = points_taken(x);
  // 1. One point or none: the unsaturated line alone.
  if (n <= 1) {
    t.n = 1;
    t.S[0] = xmd;
    return "";
  }
  // 2. The points as taken, in peak values.
  if (!(x[1] > 0.0)) return "Saturation curve: the second point must have x > 0";
  std::array<double, kSatPoints> yt = y;
  if (std::fabs(y[0] - 1.0) < kRatioWindow)
    for (std::int32_t k = 0; k < n; ++k) yt[k] = y[k] * x[k] * y[1] / x[1];
  const double c = kSqrt2Rounded * yt[1] / (x[1] * xmd);
  SaturationTable b;
  b.n = n;
  for (std::int32_t k = 0; k < n; ++k) {
    if (k > 0 && !(x[k] > x[k - 1])) return "Saturation curve: x must rise strictly";
    b.I[k] = c * x[k];
    b.F[k] = kSqrt2Rounded * yt[k];
  }
  // 3. Slopes; the last zone extends the one before it.
  for (std::int32_t k = 0; k + 1 < n; ++k) {
    b.S[k] = (b.F[k + 1] - b.F[k]) / (b.I[k + 1] - b.I[k]);
    if (!(b.S[k] > 0.0) || !std::isfinite(b.S[k])) return "Saturation curve: every slope must be positive";
  }
  b.S[n - 1] = b.S[n - 2];
  t = b;
  return "";
}

std::int32_t zone_of_current(const SaturationTable& t, double i) { return zone_of(t.I, t.n, i); }
std::int32_t zone_of_flux(const SaturationTable& t, double psi) { return zone_of(t.F, t.n, psi); }

double magnetising_flux(const SaturationTable& t, double i, std::int32_t j) {
  const double f = (std::fabs(i) - t.I[j - 1]) * t.S[j - 1] + t.F[j - 1];
  return i > 0.0 ? f : -f;
}

double magnetising_current(const SaturationTable& t, double psi) {
  const std::int32_t j = zone_of_flux(t, psi);
  return (std::fabs(psi) - t.F[j - 1]) / t.S[j - 1] + t.I[j - 1];
}

SaturationTable table_from_block(const MachineBlock& blk) {
  SaturationTable t;
  t.n = blocks::nint_sat(blk(kZoneCount));
  if (t.n < 1 || t.n > kMaxZones) machine_refuse("The machine block holds no saturation zone table");
  for (std::int32_t j = 1; j <= t.n; ++j) {
    t.I[j - 1] = blk(zone_i(j));
    t.F[j - 1] = blk(zone_f(j));
    t.S[j - 1] = blk(zone_s(j));
  }
  return t;
}

void table_to_block(const SaturationTable& t, const MachineBlock& blk) {
  blk(kZoneCount) = t.n;
  for (std::int32_t j = 1; j <= t.n; ++j) {
    blk(zone_i(j)) = t.I[j - 1];
    blk(zone_f(j)) = t.F[j - 1];
    blk(zone_s(j)) = t.S[j - 1];
  }
}

}  // namespace wakro::machines

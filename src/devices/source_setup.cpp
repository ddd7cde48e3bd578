// Set-up of voltage sources from terminal conditions, sequence impedances, and
// the series/parallel impedance conversions.
#include <cmath>
#include <complex>
#include <numbers>
#include <string_view>

#include "blocks/slots.h"
#include "devices/device_support.h"
#include "devices/voltage_sources.h"
#include "diag/convert.h"
#include "model/constants.h"

namespace {

constexpr std::string_view kCfgTag = "E_1PVSRC_CFG";
constexpr std::string_view kSeqTag = "SOURCE3R";
using wakro::kTwoPi;
constexpr double kDegree = 0.017453292519943;  // radians per degree
constexpr double kSqrt2 = 1.414213562373095;
constexpr double kInvSqrt3 = 0.577350269189626;
using wakro::kTiny;
constexpr double kPresent = 1.0e-10;  // an l or z3 above this is given

// Source impedance kinds.
enum : std::int32_t { kResistive = 1, kParallelRL = 2, kSeriesRLC = 3, kInductive = 4, kCapacitive = 5 };

struct Polar {
  double mag = 0.0;
  double deg = 0.0;
};

Polar polar(std::complex<double> z) { return {r2pm(z.real(), z.imag()), r2pa(z.real(), z.imag())}; }

// The AC source impedance |Z| at theta degrees, by kind.
Polar ac_impedance(std::int32_t ztype, double w, double r, double l, double z3) {
  switch (ztype) {
    case kResistive:
      return {r, 0.0};
    case kParallelRL:
      if (z3 > kPresent && l > kPresent) {
        const std::complex<double> y(1.0 / z3, -1.0 / (w * l));
        return polar(r + 1.0 / y);
      }
      return {r, 0.0};
    case kSeriesRLC: {
      const double x = z3 > kPresent ? w * l - 1.0e6 / (z3 * w) : w * l;
      return polar({r, x});
    }
    case kInductive:
      return {w * l, 90.0};
    case kCapacitive:
      if (z3 > kPresent) return {1.0e6 / (z3 * w), -90.0};
      return {};
    default:
      return {};
  }
}

}  // namespace

void e_1pvsrc_cfg(std::int32_t ac, std::int32_t terminal, std::int32_t ztype, double v, double f,
                  double phase_deg, double r, double l, double z3, double p, double q,
                  double extra) {
  using wakro::devices::device_fatal;
  const bool is_ac = ac == 1;
  // 1. Checks; a negative AC magnitude only warns.
  if (is_ac && f <= kTiny) device_fatal(kCfgTag, "Frequency of an AC source must be above zero");
  if (terminal != 0 && std::abs(v) <= kTiny) {
    device_fatal(kCfgTag, "Voltage of a source given by terminal conditions must not be zero");
  }
  if (is_ac && v < 0.0) wakro::devices::device_warn("Negative manitude specified for an AC source");
  const double w = is_ac ? kTwoPi * f : 0.0;
  double magnitude = 0.0;
  double phase = 0.0;
  if (terminal == 0) {
    // 2. The values given are the internal EMF.
    magnitude = is_ac ? kSqrt2 * v : v;
    phase = is_ac ? phase_deg * kDegree : 0.0;
  } else if (is_ac) {
    // 3-4. EMF behind the source impedance carrying the terminal power.
    const Polar z = ac_impedance(ztype, w, r, l, z3);
    const Polar s = polar({p, q});
    const double drop = z.mag * s.mag / v;
    const double drop_deg = phase_deg + z.deg - s.deg;
    const double ex = p2rx(v, phase_deg) + p2rx(drop, drop_deg);
    const double ey = p2ry(v, phase_deg) + p2ry(drop, drop_deg);
    magnitude = kSqrt2 * r2pm(ex, ey);
    phase = r2pa(ex, ey) * kDegree;
  } else {
    // 5. DC: only a resistive source impedance drops voltage.
    const double zr = ztype == kResistive || ztype == kParallelRL ? r : 0.0;
    magnitude = v + zr * p / v;
  }
  // 6. The block.
  namespace L = wakro::devices::layout::vsrc_cfg;
  const auto block = wakro::blocks::take_rtcf(L::kRtcfSize);
  block(L::kMagnitude) = magnitude;
  block(L::kOmega) = w;
  block(L::kPhase) = phase;
  block(L::kExtra) = extra;
}

void e_3pvsrc_cfg(std::int32_t ztype, double vll, double f, double phase_deg, double r, double l,
                  double z3, double p3, double q3, double vscale, double pscale, double extra) {
  e_1pvsrc_cfg(1, 1, ztype, vll * vscale * kInvSqrt3, f, phase_deg, r, l, z3, p3 * pscale / 3.0,
               q3 * pscale / 3.0, extra);
}

void source3r1_cfg(std::int32_t format, std::int32_t zero_seq, double a1, double b1, double a0,
                   double b0, double f, double& r1, double& l1, double& r0p, double& l0p) {
  using wakro::devices::device_fatal;
  const bool polar_form = format == 1;
  // 1-2. Checks.
  if (polar_form ? a1 <= kTiny : (a1 <= kTiny && b1 <= kTiny)) {
    device_fatal(kSeqTag, "Positive sequence impedance too small");
  }
  if (f <= kTiny) device_fatal(kSeqTag, "Frequency too small");
  const double w = kTwoPi * f;
  r0p = 0.0;
  l0p = 0.0;
  // 3. Positive sequence as series R-L.
  if (!polar_form) {
    r1 = a1;
    l1 = b1 / w;
  } else if (b1 <= 0.0) {
    r1 = a1;
    l1 = 0.0;
  } else if (b1 >= 90.0) {
    r1 = 0.0;
    l1 = a1 / w;
  } else {
    r1 = a1 * std::cos(b1 * kDegree);
    l1 = a1 * std::sin(b1 * kDegree) / w;
  }
  // 4. Zero sequence as parallel R || L.
  if (zero_seq != 1) return;
  if (!polar_form) {
    r0p = a0 > kPresent ? b0 * b0 / a0 + a0 : 1.0e10;
    l0p = b0 > kPresent ? (b0 * b0 + a0 * a0) / (w * b0) : 1.0e10;
  } else if (b0 <= 0.0) {
    r0p = a0;
  } else if (b0 >= 90.0) {
    l0p = a0 / w;
  } else {
    r0p = a0 / std::cos(b0 * kDegree);
    l0p = a0 / std::sin(b0 * kDegree) / w;
  }
}

void ser2par(double r, double x, double& rp, double& xp) {
  constexpr double kSmall = 1.0e-6;
  constexpr double kOpen = 1.0e6;
  const double s = r * r + x * x;
  if (s <= kSmall) {
    rp = xp = 0.0;
    return;
  }
  rp = std::abs(r) <= kSmall ? kOpen : s / r;
  xp = std::abs(x) <= kSmall ? kOpen : s / x;
}

void par2ser(double rp, double xp, double& r, double& x) {
  constexpr double kSmall = 1.0e-6;
  if (rp > kSmall && xp > kSmall) {
    const double k = rp * xp / (rp * rp + xp * xp);
    r = xp * k;
    x = rp * k;
  } else {
    r = x = 0.0;
  }
}

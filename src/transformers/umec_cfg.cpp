// The UMEC configuration routines (see umec_cfg.h).
//
// With w = 2 pi f, the base current Ib = mva / U1 (a third of mva for the
// three-phase unit) and Zb = U1 / Ib:
//   core     awlm = lwlm = 1, ayok = ra, lyok = 2 rl (rl for the three-winding
//            units), no outer legs or zero-sequence paths (except umec6w5l_cfg);
//   slope    msl1 = (lyok / ayok + 2) / (w U1 (0.01 im) Ib);
//   curve    x(i) *= Ib 10 sqrt2 U1 / (2 + lyok),  y(i) *= 1000 sqrt2 / w;
//   leakage  ai = x Zb / (2 w U1^2) for every winding.
// wakro_settfparm kind 3 then replaces msl1 by the curve's first slope when the
// core's saturation is enabled, so that below the knee the linear windings
// carry exactly the curve and nothing is injected.
#include "transformers/umec_cfg.h"

#include <array>
#include <cmath>
#include <span>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/constants.h"
#include "model/e_s5.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "transformers/cfg_checks.h"
#include "transformers/settfparm.h"

namespace {

using wakro::kTwoPi;
constexpr double kSqrt2 = 1.414213562373095;
constexpr double kPeakFlux = 1414.2135623730949;  // 1000 sqrt2
using wakro::kThird;
constexpr double kSmallest = 1e-32;
constexpr double kTinyPoint = wakro::kTiny;

using namespace wakro::nameplate_text;
constexpr std::string_view kRatioText = "Unrealistic Ratio of Area or Length.";

bool at_least(double v, double limit) { return v >= limit; }  // a NaN fails

// The checks of one call (see umec_cfg.h for the order and the two styles).
using Checks = wakro::CfgChecks;
namespace wdg_col = wakro::transformers::layout::umecwdgdata;
namespace sat_col = wakro::transformers::layout::umecsatdata;

// The nameplate common to the routines.
struct Plate {
  std::int32_t k = 0;
  double mva = 0.0, f = 0.0, im = 0.0, ra = 0.0, rl = 0.0;
  std::span<const double> u;  // winding voltages checked (kV)
};

// Transformer k: a UMEC transformer read, of as many windings as the records
// written for it.
void check_unit(std::string_view tag, std::int32_t k, std::int32_t windings) {
  if (!(k >= 1 && k <= e_s5::jset && e_s5::nummag(k) == 1)) {
    wakro::ListLine() << "Transformer" << k << "is not a UMEC transformer";
    wakro_quit(tag, 0);
  }
  wakro::check_tf_handover(k, wakro::kTfUmec, tag, windings);
}

void check(std::string_view tag, bool stop_at_first, const Plate& p, std::int32_t windings,
           std::span<const double> ratios) {
  check_unit(tag, p.k, windings);
  Checks c(tag, stop_at_first);
  c.require(at_least(p.mva, kSmallest), kMvaText);
  bool volts = true;
  for (const double v : p.u) volts = volts && at_least(v, kSmallest);
  c.require(volts, kVoltageText);
  c.require(p.f > 0.0, kFrequencyText);
  c.require(p.im > 0.0, kMagnetisingText);
  bool shapes = true;
  for (const double r : ratios) shapes = shapes && at_least(r, kSmallest);
  c.require_now(shapes, kRatioText);  // the ratios end the run at once
  c.finish();
}

// The core record, in the order of rt_config::umectfdata.
struct Core {
  double awlm = 1.0, lwlm = 1.0, ayok = 0.0, lyok = 0.0, aol = 0.0, lol = 0.0, zes = 0.0, msl1 = 0.0;
};

// Slope and curve of the single-phase forms.
void slope_and_curve(Core& c, double omega, double u1, double ib, double im) {
  c.msl1 = (c.lyok / c.ayok + 2.0) / (omega * u1 * (0.01 * im) * ib);
  for (std::int32_t i = 1; i <= 10; ++i) {
    rt_config::umecsatdata(i, sat_col::kCurrent) *= ib * 10.0 * kSqrt2 * u1 / (2.0 + c.lyok);
    rt_config::umecsatdata(i, sat_col::kFlux) *= kPeakFlux / omega;
  }
}

// The records handed over, then the formation.
void hand_over(std::string_view tag, std::int32_t k, const Core& c, std::span<const double> turns,
               std::span<const double> leakage) {
  const std::array<double, 8> core{c.awlm, c.lwlm, c.ayok, c.lyok, c.aol, c.lol, c.zes, c.msl1};
  for (std::int32_t i = 1; i <= wakro::transformers::layout::umectfdata::kSize; ++i)
    rt_config::umectfdata(i) = core[static_cast<std::size_t>(i - 1)];
  const auto n = static_cast<std::int32_t>(turns.size());
  for (std::int32_t w = 1; w <= n; ++w) {
    rt_config::umecwdgdata(w, wdg_col::kTurns) = turns[static_cast<std::size_t>(w - 1)];
    rt_config::umecwdgdata(w, wdg_col::kLeakage) = leakage[static_cast<std::size_t>(w - 1)];
  }
  wakro_settfparm(k, wakro::kTfUmec, tag, n);
}

// The single-phase forms of n windings with one leakage reactance x (pu), or
// the given leakage permeances when `pairs` holds them.
template <std::size_t N>
void single_phase(std::string_view tag, bool stop_at_first, std::int32_t k, double mva, double f,
                  double x, const std::array<double, N>& u, double im, double ra, double rl,
                  double lyok_factor, const std::array<double, N>* pairs) {
  const std::array<double, 2> ratios{ra, rl};
  check(tag, stop_at_first, {k, mva, f, im, ra, rl, u}, static_cast<std::int32_t>(N), ratios);
  const double omega = kTwoPi * f;
  const double ib = mva / u[0];
  const double zb = u[0] / ib;
  Core c;
  c.ayok = ra;
  c.lyok = lyok_factor * rl;
  slope_and_curve(c, omega, u[0], ib, im);
  std::array<double, N> leakage{};
  for (std::size_t w = 0; w < N; ++w)
    leakage[w] = pairs != nullptr ? (*pairs)[w] : x * zb / (2.0 * omega * u[0] * u[0]);
  hand_over(tag, k, c, u, leakage);
}

}  // namespace

using namespace wakro;

void umec2w_cfg(std::int32_t k, double mva, double f, double x, double u1, double u2, double im,
                double ra, double rl) {
  single_phase<2>(kUmec2wTag, false, k, mva, f, x, {u1, u2}, im, ra, rl, 2.0, nullptr);
}

void umec3w_cfg(std::int32_t k, double mva, double f, double x, double u1, double u2, double u3,
                double im, double ra, double rl) {
  single_phase<3>(kUmec3wTag, true, k, mva, f, x, {u1, u2, u3}, im, ra, rl, 1.0, nullptr);
}

// Leakage permeances of the star of the three pair reactances.
void umec3w2_cfg(std::int32_t k, double mva, double f, double x12, double x13, double x23, double u1,
                 double u2, double u3, double im, double ra, double rl) {
  const double wm = kTwoPi * f * mva;
  const std::array<double, 3> star{0.5 * (x12 + x13 - x23) / wm, 0.5 * (x12 - x13 + x23) / wm,
                                   0.5 * (x13 + x23 - x12) / wm};
  single_phase<3>(kUmec3wTag, false, k, mva, f, 0.0, {u1, u2, u3}, im, ra, rl, 1.0, &star);
}

void umec4w_cfg(std::int32_t k, double mva, double f, double x, double u1, double u2, double u3,
                double u4, double im, double ra, double rl) {
  single_phase<4>(kUmec4wTag, false, k, mva, f, x, {u1, u2, u3, u4}, im, ra, rl, 2.0, nullptr);
}

// The three-phase unit: the curve is given as per-unit flux against per-unit
// current, turned into the slope-scaled form of the core with c = 0.5 for the
// five-limb core (outer legs share the yoke flux) and 1 otherwise.
void umec6w5l_cfg(std::int32_t k, std::int32_t type, double mva, double f, double x, double u1,
                  double u2, double im, double rl, double ra, double dl, double da) {
  const std::array<double, 2> u{u1, u2};
  const std::array<double, 4> ratios{ra, rl, da, dl};
  const std::array<double, 6> turns{u1, u2, u1, u2, u1, u2};
  check(kUmec6wTag, false, {k, mva, f, im, ra, rl, u}, static_cast<std::int32_t>(turns.size()), ratios);
  const double omega = kTwoPi * f;
  const double ib = kThird * mva / u1;
  const double zb = u1 / ib;
  const double leakage = x * zb / (2.0 * omega * u1 * u1);
  const bool five_limb = type == 2;
  Core c;
  c.ayok = ra;
  c.lyok = 2.0 * rl;
  c.aol = five_limb ? ra / da : 1.0;
  c.lol = five_limb ? 2.0 * rl / dl : 1.0;
  c.zes = leakage;
  const double s = (five_limb ? 0.5 : 1.0) * (c.lyok / c.ayok) + 2.0;
  const double g = 1.0 / (omega * u1 * ib);
  c.msl1 = s * g / (0.01 * im);
  for (std::int32_t i = 1; i <= 10; ++i) {
    double& xi = rt_config::umecsatdata(i, sat_col::kCurrent);
    double& yi = rt_config::umecsatdata(i, sat_col::kFlux);
    const double d = xi > kTinyPoint ? s * 100.0 * g / xi : s;
    xi = yi * (kPeakFlux / omega) / d;
    if (yi > kTinyPoint) xi /= yi;
    yi *= kPeakFlux / omega;
  }
  const std::array<double, 6> leak{leakage, leakage, leakage, leakage, leakage, leakage};
  hand_over(kUmec6wTag, k, c, turns, leak);
}

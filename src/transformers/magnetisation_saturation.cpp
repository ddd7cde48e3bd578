// tsat4: core saturation of a two- to four-winding transformer with a
// magnetisation model in physical units (multiwinding_saturation.h). The core
// flux, in per unit of the tap-scaled rated peak flux, times the nominal flux
// density Bn gives B; each step the change of B/mu0 is split into a change of
// the field H and of the magnetisation M so that M follows
//   dM/dH = (Q + P6 s) / (1 - P6 P12 s),
//   Q = (Man - M) / (delta pin / mu0 - P12 (Man - M) / (1 - P6)),
// with the anhysteretic magnetisation Man(He), He = H + P12 M, of slope s,
//   Man = P14 (F1 x + x^P11) / (F2 x + P10 + x^P11) with x = |He|, sign of He,
// delta the direction of B and pin the pinning coefficient P7 (reduced to
// (1 - (M/P14)^2 P13) P7 while M has the sign of delta). Where the irreversible
// part does not apply (M beyond Man in the direction of travel, or Man - M
// beyond (1 - P6) pin / (P12 mu0)) the reversible slope P6 s / (1 - P6 P12 s)
// alone is used. The split is found by bisection (at most 25 passes) so that
// the trapezoidal rule on the step's mean slope returns the trial fraction. The
// magnetising current is the field's part of the flux through the air-core
// inductance: mu0 H / (1000 k T^2 La), k the flux-to-density factor. On the
// first step each phase starts from its initial flux, with B from it, H = B/mu0
// (M as the state holds it) and delta = +1.
//
// The configuration record (rt_config::rtcf from nrtcf, by position from 0),
// the selector in rt_config::rtci and the state (e_s2::stor from nexc + 1) are
// declared in wakro::transformers::layout::tsat4 (multiwinding_saturation.h).
#include <cmath>

#include "model/constants.h"
#include "model/e_s1.h"
#include "transformers/multiwinding_core.h"
#include "transformers/multiwinding_saturation.h"

using namespace wakro;
using namespace wakro::mw;

namespace {

namespace cfg = transformers::layout::tsat4::rtcf;
namespace sel_at = transformers::layout::selector::rtci;
namespace sv = transformers::layout::tsat4::stor;
constexpr Layout kLayout{sv::kCurrentA, sv::kSharesA};
constexpr double kMu0 = 1.2566370614359173e-06;
constexpr double kLeastFrequency = 1e-6, kLeastDensity = 0.001, kLeastAirCore = 0.001;
constexpr double kTurnDensity = 1e-6;  // T: a smaller change keeps the direction
constexpr double kSmallField = 0.01;   // A/m: Man taken as 0 below
constexpr double kFractionTolerance = 1e-6;
constexpr double kNoChange = wakro::kTiny;
constexpr int kMostPasses = 25;

constexpr std::string_view kFrequencyText = "Unrealistic value entered for frequency";
constexpr std::string_view kShapeText = "F2 must be greater than or equal to F1";
constexpr std::string_view kDensityText = "Nominal flux density is too small";
constexpr std::string_view kAirCoreText = "Air core reactance is too small";
constexpr std::string_view kParameterText =
    "Magnetisation parameters P10, P12 and P14 must not be zero";
constexpr std::string_view kSelectorText =
    "Magnetising branch selector must lie between 0 and the number of windings.";

// The model's parameters as the record keeps them.
struct Model {
  double p6, p7, f1, f2, p10, p11, p12, p13, p14;
  static Model from(const Record& r) {
    const std::int32_t p = cfg::kParameters;
    return {r[p], r[p + 1], r[p + 2], r[p + 3], r[p + 4], r[p + 5], r[p + 6], r[p + 7], r[p + 8]};
  }
};

struct Anhysteretic {
  double man;  // magnetisation [A/m]
  double s;    // its slope dMan/dHe
};

Anhysteretic anhysteretic(const Model& m, double he) {
  const double x = std::abs(he);
  if (x <= kSmallField) return {0.0, m.p14 * m.f1 / m.p10};
  const double xn = std::pow(x, m.p11);
  const double den = m.f2 * x + m.p10 + xn;
  const double man = m.p14 * (m.f1 * x + xn) / den;
  const double s = m.p14 *
                   ((m.p11 - 1.0) * (m.f2 - m.f1) * xn + m.f1 * m.p10 + m.p11 * m.p10 * xn / x) /
                   (den * den);
  return {he < 0.0 ? -man : man, s};
}

// The slope dM/dH at a trial (H, M) for the direction delta and pinning pin.
double slope_at(const Model& m, double h, double mag, double delta, double pin) {
  const Anhysteretic a = anhysteretic(m, h + m.p12 * mag);
  const double reversible = m.p6 * a.s / (1.0 - m.p6 * m.p12 * a.s);
  const double gap = a.man - mag;
  if (!(delta * gap < (1.0 - m.p6) * pin / (m.p12 * kMu0)) || -gap * delta > 0.0) return reversible;
  const double q = gap / (delta * pin / kMu0 - m.p12 * gap / (1.0 - m.p6));
  return (q + m.p6 * a.s) / (1.0 - m.p6 * m.p12 * a.s);
}

// One phase's step to the flux density b (p from 0): H, M, dM/dH, B and delta.
void magnetise(const blocks::Slots<double>& st, const Model& m, std::int32_t p, double b) {
  const std::int32_t at = sv::kPhaseStride * p, b_at = at + sv::kDensityA, h_at = at + sv::kFieldA,
                     m_at = at + sv::kMagnetisationA, slope_pos = at + sv::kSlopeA;
  const std::int32_t delta_at = sv::kDirectionA + p;
  // Step 1: direction and pinning.
  const double db = b - st(b_at);
  double delta = st(delta_at);
  if (db > kTurnDensity) delta = 1.0;
  if (db < -kTurnDensity) delta = -1.0;
  const bool reversed = delta != st(delta_at);
  const double m0 = st(m_at), h0 = st(h_at);
  double pin = m.p7;
  if (m0 * delta > 0.0) pin *= 1.0 - (m0 / m.p14) * (m0 / m.p14) * m.p13;

  // Step 2: the split of dB/mu0 into dH = f dB/mu0 and dM = (1 - f) dB/mu0.
  const double dbm = db / kMu0;
  double lo = 0.0, hi = 1.0, f = 0.5, slope = st(slope_pos);
  for (int pass = 1; pass <= kMostPasses; ++pass) {
    slope = slope_at(m, h0 + f * dbm, m0 + (1.0 - f) * dbm, delta, pin);
    const double before = reversed ? slope : st(slope_pos);
    const double corrected = std::abs(dbm) > kNoChange ? 1.0 / (1.0 + 0.5 * (before + slope)) : f;
    if (std::abs(corrected - f) < kFractionTolerance || pass == kMostPasses) break;
    if (corrected < f) {
      hi = f;
    } else {
      lo = f;
    }
    f = 0.5 * (lo + hi);
  }
  st(h_at) = h0 + f * dbm;
  st(m_at) = m0 + (1.0 - f) * dbm;
  st(slope_pos) = slope;
  st(b_at) = b;
  st(delta_at) = delta;
}

}  // namespace

void tsat4_cfg(std::int32_t nw, std::int32_t sel, std::int32_t b1a, std::int32_t b1b,
               std::int32_t b1c, std::int32_t b2a, std::int32_t b2b, std::int32_t b2c,
               std::int32_t b3a, std::int32_t b3b, std::int32_t b3c, std::int32_t b4a,
               std::int32_t b4b, std::int32_t b4c, std::int32_t ss, double s, double f, double x12,
               double x13, double x23, double x5, double x6, double x7, double v1, double v2,
               double v3, double v4, double bn, double xair, double phi0a, double phi0b,
               double phi0c, double p6, double p7, double p8, double p9, double p10, double p11,
               double p12, double p13, double p14) {
  const Branches br{{b1a, b1b, b1c, b2a, b2b, b2c, b3a, b3b, b3c, b4a, b4b, b4c}};
  const Rating a{nw, s, f, {x12, x13, x23, x5, x6, x7}, {v1, v2, v3, v4}};
  // Step 1: the checks.
  Refusals no(kTsat4Tag);
  if (check_rating(no, a, false)) no.require(sel >= 0 && sel <= nw, kSelectorText);
  no.require(!(f < kLeastFrequency), kFrequencyText);
  no.require(!(p9 < p8), kShapeText);
  no.require(!(bn < kLeastDensity), kDensityText);
  no.require(!(xair < kLeastAirCore), kAirCoreText);
  no.require(p10 != 0.0 && p12 != 0.0 && p14 != 0.0, kParameterText);
  // Steps 2 and 3: the branches become current sources of this component;
  // the record and the selector.
  const Record r = claim_record(no, kTsat4Tag, a, br, ss, cfg::kSize);
  blocks::take_rtci(sel_at::kSize)(sel_at::kSelector) = sel;
  const double omega = kTwoPi * f;
  const double vw = a.v[sel == 0 ? 0 : sel - 1];
  const double phin = kSqrt2 * vw / omega;
  r[cfg::kInitialFluxA] = phin * phi0a;
  r[cfg::kInitialFluxA + 1] = phin * phi0b;
  r[cfg::kInitialFluxA + 2] = phin * phi0c;
  const double model[cfg::kParameterCount] = {p6, p7, p8, p9, p10, p11, p12, p13, p14};
  for (std::int32_t n = 0; n < cfg::kParameterCount; ++n) r[cfg::kParameters + n] = model[n];
  r[cfg::kOmega] = omega;
  r[cfg::kDensity] = bn;
  r[cfg::kWindingVoltage] = vw;
  r[cfg::kAirInductance] = xair * (vw * vw / s) / omega;
  r[cfg::kWindingCount] = nw;
}

void tsat4_exe(std::int32_t ka, std::int32_t kb, std::int32_t kc, std::int32_t b1a,
               std::int32_t b1b, std::int32_t b1c, std::int32_t b2a, std::int32_t b2b,
               std::int32_t b2c, std::int32_t b3a, std::int32_t b3b, std::int32_t b3c,
               std::int32_t b4a, std::int32_t b4b, std::int32_t b4c, std::int32_t ss,
               std::int32_t tap_winding, double tap, std::int32_t enable) {
  const Branches br{{b1a, b1b, b1c, b2a, b2b, b2c, b3a, b3b, b3c, b4a, b4b, b4c}};
  const Units k{ka, kb, kc};
  const auto [r, st, nw] =
      open_step(kTsat4Tag, cfg::kSize, sv::kSize, cfg::kWindingCount, k, br, ss);
  const std::int32_t sel = blocks::take_rtci(sel_at::kSize)(sel_at::kSelector);

  // Step 1: the unit at the tap and the flux-to-density factor at its scale.
  const Unit u = unit_at_step(r, nw, ka, tap_winding, tap, sel == 0 ? 1 : sel);
  const double t = u.scale;
  const double kb_factor =
      r[cfg::kOmega] * r[cfg::kDensity] * 0.001 / (t * r[cfg::kWindingVoltage] * kSqrt2);
  const Model model = Model::from(r);

  // Step 2: the driving voltages.
  const PerPhase previous{st(sv::kCurrentA), st(sv::kCurrentA + 1), st(sv::kCurrentA + 2)};
  const Terminal term = terminal(st, r, kLayout, u, br, sel, ss, k);

  // Step 3: flux (trapezoidal, no decay), core flux, magnetisation and current.
  const double half_dt = 0.5 * e_s1::delt;
  for (std::int32_t p = 0; p < kPhases; ++p) {
    const std::int32_t at = sv::kPhaseStride * p, flux = at + sv::kFluxA,
                       last_w = at + sv::kLastVoltageA, density = at + sv::kDensityA,
                       field = at + sv::kFieldA, current = sv::kCurrentA + p;
    if (!term.present[p]) {
      st(current) = 0.0;
      continue;
    }
    if (e_s1::timezero) {
      st(flux) = t * r[cfg::kInitialFluxA + p];
      st(density) = 1000.0 * kb_factor * st(flux);
      st(field) = st(density) / kMu0;
      st(sv::kDirectionA + p) = 1.0;
    }
    st(flux) += half_dt * (st(last_w) + term.w[p]);
    st(last_w) = term.w[p];
    const double phi_core = st(flux) - u.l[1] * term.ip[p];
    st(sv::kCoreFluxA + p) = phi_core;
    magnetise(st, model, p, 1000.0 * kb_factor * phi_core);
    st(current) = kMu0 * st(field) * 0.001 / (t * t * r[cfg::kAirInductance] * kb_factor);
  }

  // Step 4: the shares and the injection.
  inject(st, kLayout, u, br, sel, ss, enable, previous, term);
}

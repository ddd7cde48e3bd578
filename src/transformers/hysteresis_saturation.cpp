// tsat3: core saturation of a two- to four-winding transformer with a
// hysteresis loop built from two hyperbolas (hysteresis_loop.h), no decay and
// no holding, from given initial fluxes (multiwinding_saturation.h).
//
// The configuration record (rt_config::rtcf from nrtcf, by position from 0),
// formed on the rated voltage Vw of the selected winding, the selector in
// rt_config::rtci and the state (e_s2::stor from nexc + 1) are declared in
// wakro::transformers::layout::tsat3 (multiwinding_saturation.h). Positions 0,
// 6, 13, 14 and 24 of the record are not used.
#include <cmath>

#include "model/e_s1.h"
#include "transformers/hysteresis_loop.h"
#include "transformers/multiwinding_core.h"
#include "transformers/multiwinding_saturation.h"
#include "transformers/store_integer.h"

using namespace wakro;
using namespace wakro::mw;

namespace {

namespace cfg = transformers::layout::tsat3::rtcf;
namespace curve = transformers::layout::multiwinding::curve;
namespace sel_at = transformers::layout::selector::rtci;
namespace sv = transformers::layout::tsat3::stor;
constexpr Layout kLayout{sv::kCurrentA, sv::kSharesA};
constexpr std::int32_t kFluxStride = 2;  // flux and last voltage of a phase
constexpr double kTurnFlux = 1e-6;  // kV s: a smaller move keeps the branch
constexpr double kAtKnee = 1e-12;   // relative: a turning point this close to the knee
enum Branch : int { kNone = 0, kRising = 1, kFalling = 2 };

constexpr std::string_view kSelectorText =
    "Magnetising branch selector must lie between 0 and the number of windings.";
constexpr std::string_view kLoopText =
    "Hysteresis loop cannot be formed from the width and characteristic given.";

// Loop constants of the record (curve::kCurveC and cfg::kInnerC .. kHalfWidth)
// from the curve.
struct LoopData {
  double p28 = 0.0, c = 0.0, c2 = 0.0, d2 = 0.0, q = 0.0, ihw = 0.0;
  bool formed = false;
};

LoopData form_loop(const sat::Curve& k, double width) {
  LoopData o;
  o.p28 = -((k.e + std::sqrt(k.dq)) * 0.5) / k.a;
  o.c = 4.0 * o.p28 * k.la;
  o.ihw = 0.5 * 0.01 * width * k.ipk;
  o.d2 = k.phik - 2.0 * o.ihw * k.la;
  const double e2 = k.phik - o.d2;
  const double big_e =
      o.d2 * o.d2 +
      4.0 * k.la * o.d2 *
          (0.5 * e2 / k.la + o.p28 / k.phik - 2.0 * o.ihw - std::sqrt(o.p28 / k.la)) +
      e2 * e2;
  const double root = std::sqrt(big_e);
  const double q1 = ((o.d2 + root) * (o.d2 + root) - e2 * e2) * 0.25 / k.la;
  const double q2 = ((o.d2 - root) * (o.d2 - root) - e2 * e2) * 0.25 / k.la;
  o.q = q1 < q2 ? q1 : q2;
  o.c2 = 4.0 * o.q * k.la;
  // A negative p28 or q has no real curve near its knee; E < 0 no q at all.
  o.formed = o.p28 >= 0.0 && big_e >= 0.0 && o.q >= 0.0 && std::isfinite(o.q);
  return o;
}

// The loop at the scale t (first step, or t moved by 0.001 or more).
void rescale(const blocks::Slots<double>& st, const Record& r, double t) {
  st(sv::kOuterC) = r[curve::kCurveC] * t * t;
  st(sv::kCurveH) = r[curve::kCurveH] / (t * t);
  st(sv::kOuterKnee) = r[curve::kKneeFlux] * t;
  st(sv::kInnerC) = r[cfg::kInnerC] * t * t;
  st(sv::kInnerKnee) = r[cfg::kInnerKnee] * t;
  st(sv::kAirInductance) = r[cfg::kAirInductance] * t * t;
  st(sv::kOuterP) = r[cfg::kOuterP];
  st(sv::kInnerQ) = r[cfg::kInnerQ];
  st(sv::kHalfWidth) = r[cfg::kHalfWidth] / t;
  st(sv::kOuterOffset) =
      (std::sqrt(st(sv::kOuterKnee) * st(sv::kOuterKnee) + st(sv::kOuterC)) - st(sv::kOuterKnee)) *
          st(sv::kCurveH) -
      st(sv::kHalfWidth);
  st(sv::kInnerOffset) =
      (std::sqrt(st(sv::kInnerKnee) * st(sv::kInnerKnee) + st(sv::kInnerC)) - st(sv::kInnerKnee)) *
          st(sv::kCurveH) +
      st(sv::kHalfWidth);
  st(sv::kScale) = t;
}

// One phase's current on the loop for the core flux phi, from its previous
// current i0 (p from 0). Keeps the branch, sigma, rho and the core flux.
double loop_current(const blocks::Slots<double>& st, const HysteresisLoop& lp, std::int32_t p,
                    double phi, double i0) {
  const std::int32_t previous = sv::kCoreFluxA + p, branch = sv::kBranchA + p,
                     sigma = sv::kSigmaA + p, rho = sv::kRhoA + p;
  if (e_s1::timezero) {
    st(branch) = kNone;
    return 0.0;
  }
  // Step 1: the branch the flux moves on.
  const std::int32_t was = transformers::store_integer(kTsat3Tag, st(branch), kNone, kFalling, [&] {
    return "loop branch of phase " + std::to_string(p + 1) + " in the hysteresis store";
  });
  const double phit = st(previous);
  std::int32_t now = was;
  if (phi - phit > kTurnFlux) now = kRising;
  if (phi - phit < -kTurnFlux) now = kFalling;

  // Step 2: at a turning point phit, the scaling that carries the new branch
  // from the present current to the knee.
  const double knee = lp.knee;
  if (now != was && now == kRising) {
    const double phir = i0 > lp.ihw ? lp.outer_inverse(i0) : -lp.inner_inverse(-i0);
    const double span = knee - phit;
    st(sigma) = std::abs(span) > kAtKnee * knee ? (phir - phit) / span : 0.0;
    st(rho) = -knee * st(sigma);
  } else if (now != was && now == kFalling) {
    const double phir = i0 >= -lp.ihw ? lp.inner_inverse(i0) : -lp.outer_inverse(-i0);
    const double span = phit + knee;
    st(sigma) = std::abs(span) > kAtKnee * knee ? (phir - phit) / span : 0.0;
    st(rho) = knee * st(sigma);
  }
  st(branch) = now;

  // Step 3: the current.
  if (phi >= knee) return lp.outer(phi);
  if (phi <= -knee) return -lp.outer(-phi);
  const double s = st(sigma), o = st(rho);
  if (now == kRising) {
    const double phie = phi - (s * phi + o);
    return i0 > lp.ihw ? lp.outer(phie) : -lp.inner(-phie);
  }
  if (now == kFalling) {
    const double phie = phi + s * phi + o;
    return i0 <= -lp.ihw ? -lp.outer(-phie) : lp.inner(phie);
  }
  return i0;
}

}  // namespace

void tsat3_cfg(std::int32_t nw, std::int32_t sel, std::int32_t b1a, std::int32_t b1b,
               std::int32_t b1c, std::int32_t b2a, std::int32_t b2b, std::int32_t b2c,
               std::int32_t b3a, std::int32_t b3b, std::int32_t b3c, std::int32_t b4a,
               std::int32_t b4b, std::int32_t b4c, std::int32_t ss, double s, double x, double k,
               double f, double i, double x12, double x13, double x23, double x5, double x6,
               double x7, double v1, double v2, double v3, double v4, double width, double phi0a,
               double phi0b, double phi0c) {
  const Branches br{{b1a, b1b, b1c, b2a, b2b, b2c, b3a, b3b, b3c, b4a, b4b, b4c}};
  const Rating a{nw, s, f, {x12, x13, x23, x5, x6, x7}, {v1, v2, v3, v4}};
  // Step 1: the nameplate, the selector, the characteristic and the loop.
  Refusals no(kTsat3Tag);
  sat::Curve q;
  LoopData lp;
  if (check_rating(no, a, true)) {
    no.require(sel >= 0 && sel <= nw, kSelectorText);
    if (!no.any()) {
      q = sat::form_curve(s, a.v[sel == 0 ? 0 : sel - 1], x, k, f, 0.01 * i);
      no.require(q.formed, sat::kCurveText);
    }
    if (!no.any()) {
      lp = form_loop(q, width);
      no.require(lp.formed, kLoopText);
    }
  }
  // Steps 2 and 3: the branches become current sources of this component;
  // the record and the selector.
  const Record r = claim_record(no, kTsat3Tag, a, br, ss, cfg::kSize);
  blocks::take_rtci(sel_at::kSize)(sel_at::kSelector) = sel;
  write_curve(r, q, s);
  r[curve::kCurveC] = lp.c;
  r[cfg::kWindingCount] = nw;
  r[cfg::kInnerC] = lp.c2;
  r[cfg::kInnerKnee] = lp.d2;
  r[cfg::kAirInductance] = q.la;
  r[cfg::kOuterP] = lp.p28;
  r[cfg::kInnerQ] = lp.q;
  r[cfg::kHalfWidth] = lp.ihw;
  r[cfg::kInitialFluxA] = q.phin * phi0a;
  r[cfg::kInitialFluxA + 1] = q.phin * phi0b;
  r[cfg::kInitialFluxA + 2] = q.phin * phi0c;
}

void tsat3_exe(std::int32_t ka, std::int32_t kb, std::int32_t kc, std::int32_t b1a,
               std::int32_t b1b, std::int32_t b1c, std::int32_t b2a, std::int32_t b2b,
               std::int32_t b2c, std::int32_t b3a, std::int32_t b3b, std::int32_t b3c,
               std::int32_t b4a, std::int32_t b4b, std::int32_t b4c, std::int32_t ss,
               std::int32_t tap_winding, double tap, std::int32_t enable) {
  const Branches br{{b1a, b1b, b1c, b2a, b2b, b2c, b3a, b3b, b3c, b4a, b4b, b4c}};
  const Units k{ka, kb, kc};
  const auto [r, st, nw] =
      open_step(kTsat3Tag, cfg::kSize, sv::kSize, cfg::kWindingCount, k, br, ss);
  const std::int32_t sel = blocks::take_rtci(sel_at::kSize)(sel_at::kSelector);

  // Step 1: the unit at the tap, and the loop at its scale.
  const Unit u = unit_at_step(r, nw, ka, tap_winding, tap, sel == 0 ? 1 : sel);
  const double t = u.scale;
  if (e_s1::timezero || std::abs(t - st(sv::kScale)) >= kRescaleTap) rescale(st, r, t);
  const HysteresisLoop lp = HysteresisLoop::from(st);

  // Step 2: the driving voltages.
  const PerPhase previous{st(sv::kCurrentA), st(sv::kCurrentA + 1), st(sv::kCurrentA + 2)};
  const Terminal term = terminal(st, r, kLayout, u, br, sel, ss, k);

  // Step 3: flux (trapezoidal, no decay), core flux and current of each phase.
  const double half_dt = 0.5 * e_s1::delt;
  for (std::int32_t p = 0; p < kPhases; ++p) {
    const std::int32_t flux = sv::kFluxA + kFluxStride * p,
                       last_w = sv::kLastVoltageA + kFluxStride * p, current = sv::kCurrentA + p;
    if (!term.present[p]) {
      st(current) = 0.0;
      continue;
    }
    if (e_s1::timezero) st(flux) = t * r[cfg::kInitialFluxA + p];
    st(flux) += half_dt * (st(last_w) + term.w[p]);
    st(last_w) = term.w[p];
    const double phi_core = st(flux) - u.l[1] * term.ip[p];
    st(current) = loop_current(st, lp, p, phi_core, previous[p]);
    st(sv::kCoreFluxA + p) = phi_core;
  }

  // Step 4: the shares and the injection.
  inject(st, kLayout, u, br, sel, ss, enable, previous, term);
}

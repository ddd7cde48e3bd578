// tsat2: core saturation of a two- to four-winding transformer with the
// hyperbolic characteristic of the three-phase form, behind the leakage of
// winding 1 (multiwinding_saturation.h).
//
// The configuration record (rt_config::rtcf from nrtcf, by position from 0) and
// the state (e_s2::stor from nexc + 1) are declared in
// wakro::transformers::layout::tsat2 (multiwinding_saturation.h).
#include "transformers/multiwinding_saturation.h"

#include <cmath>

#include "model/e_s1.h"
#include "transformers/multiwinding_core.h"

using namespace wakro;
using namespace wakro::mw;

namespace {

namespace cfg = transformers::layout::tsat2::rtcf;
namespace curve = transformers::layout::multiwinding::curve;
namespace sv = transformers::layout::tsat2::stor;
constexpr Layout kLayout{sv::kCurrentA, sv::kSharesA};
constexpr std::int32_t kFluxStride = 2;  // flux and slope of a phase

}  // namespace

void tsat2_cfg(std::int32_t nw, std::int32_t b1a, std::int32_t b1b, std::int32_t b1c,
               std::int32_t b2a, std::int32_t b2b, std::int32_t b2c, std::int32_t b3a,
               std::int32_t b3b, std::int32_t b3c, std::int32_t b4a, std::int32_t b4b,
               std::int32_t b4c, std::int32_t ss, double s, double x, double k, double f, double t,
               double i, double tr, double x12, double x13, double x23, double x5, double x6,
               double x7, double v1, double v2, double v3, double v4) {
  const Branches br{{b1a, b1b, b1c, b2a, b2b, b2c, b3a, b3b, b3c, b4a, b4b, b4c}};
  const Rating a{nw, s, f, {x12, x13, x23, x5, x6, x7}, {v1, v2, v3, v4}};
  // Step 1: the nameplate, the characteristic, the subsystem and the branches.
  Refusals no(kTsat2Tag);
  sat::Curve q;
  if (check_rating(no, a, true) && !no.any()) {
    q = sat::form_curve(s, v1, x, k, f, 0.01 * i);
    no.require(q.formed, sat::kCurveText);
  }
  // Steps 2 and 3: the branches become current sources of this component;
  // the record.
  const Record r = claim_record(no, kTsat2Tag, a, br, ss, cfg::kSize);
  r[cfg::kDecay] = sat::decay(t);
  write_curve(r, q, s);
  r[cfg::kRelease] = tr;
  r[cfg::kWindingCount] = nw;
  r[cfg::kZeroOffset] = q.i0;
  r[cfg::kHoldCurrent] = 1.2 * q.ipk;  // the holding threshold
}

void tsat2_exe(std::int32_t ka, std::int32_t kb, std::int32_t kc, std::int32_t b1a,
               std::int32_t b1b, std::int32_t b1c, std::int32_t b2a, std::int32_t b2b,
               std::int32_t b2c, std::int32_t b3a, std::int32_t b3b, std::int32_t b3c,
               std::int32_t b4a, std::int32_t b4b, std::int32_t b4c, std::int32_t ss,
               std::int32_t tap_winding, double tap, std::int32_t enable) {
  const Branches br{{b1a, b1b, b1c, b2a, b2b, b2c, b3a, b3b, b3c, b4a, b4b, b4c}};
  const Units k{ka, kb, kc};
  const auto [r, st, nw] =
      open_step(kTsat2Tag, cfg::kSize, sv::kSize, cfg::kWindingCount, k, br, ss);

  // Step 1: the unit at the tap, and the characteristic at its scale.
  const Unit u = unit_at_step(r, nw, ka, tap_winding, tap, 1);
  const double t = u.scale;
  if (e_s1::timezero || std::abs(t - st(sv::kScale)) >= kRescaleTap) {
    st(sv::kScaledC) = r[curve::kCurveC] * t * t;
    st(sv::kScaledH) = r[curve::kCurveH] / (t * t);
    st(sv::kScaledKnee) = r[curve::kKneeFlux] * t;
    st(sv::kScaledOffset) =
        (std::sqrt(st(sv::kScaledKnee) * st(sv::kScaledKnee) + st(sv::kScaledC)) -
         st(sv::kScaledKnee)) *
        st(sv::kScaledH);
    st(sv::kScaledHold) = r[cfg::kHoldCurrent] / t;
    st(sv::kScale) = t;
  }

  // Step 2: the voltages behind winding 1.
  const PerPhase previous{st(sv::kCurrentA), st(sv::kCurrentA + 1), st(sv::kCurrentA + 2)};
  const Terminal term = terminal(st, r, kLayout, u, br, 0, ss, k);

  // Step 3: flux, core flux and current of each phase.
  const double d = r[cfg::kDecay], half_dt = 0.5 * e_s1::delt;
  const bool released = e_s1::time > r[cfg::kRelease];
  for (std::int32_t p = 0; p < kPhases; ++p) {
    const std::int32_t flux = sv::kFluxA + kFluxStride * p, slope = sv::kSlopeA + kFluxStride * p,
                       current = sv::kCurrentA + p;
    if (!term.present[p]) {
      st(current) = 0.0;
      continue;
    }
    const double phi = st(flux);
    const double g = term.w[p] - d * phi;
    const double phi_new = phi + half_dt * (st(slope) + g);
    st(slope) = g;
    const double phi_core = phi_new - u.l[1] * term.ip[p];
    const double m = sat::magnitude(phi_core, st(sv::kScaledC), st(sv::kScaledH),
                                    st(sv::kScaledOffset), st(sv::kScaledKnee));
    if (m < st(sv::kScaledHold) || released) st(flux) = phi_new;
    st(current) = phi_core < 0.0 ? -m : m;
  }

  // Step 4: the shares and the injection.
  inject(st, kLayout, u, br, 0, ss, enable, previous, term);
}

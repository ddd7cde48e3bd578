// tsat2: core saturation of a two- to four-winding transformer with the
// hyperbolic characteristic of the three-phase form, behind the leakage of
// winding 1 (multiwinding_saturation.h).
//
// Configuration record, rt_config::rtcf from nrtcf (position counted from 0):
//   0 D decay coefficient [1/s]      8  S [MVA]
//   1, 2 advance coefficients        9  c curve constant [(kV s)^2]
//   3 Xa air-core reactance [pu]     10 h = 0.5 / La [1/H]
//   4 Im magnetising current [pu]    11 Phik knee flux [kV s]
//   5 Vk knee voltage [pu]           12 NW, the winding count set up
//   6 Tr release time [s]            13 i0 zero-flux offset [kA]
//   7 w angular frequency [rad/s]    14 Ih holding threshold [kA]
//   15..23 turns ratios and leakage inductances (multiwinding_core.h)
// State, e_s2::stor from nexc + 1 (position = slot):
//   2 c T^2, 3 h / T^2, 4 i0 at T, 5 Phik T, 9 Ih / T, 10 T of the last rescaling,
//   11..16 flux and flux derivative of phases A, B, C, 17..19 the phase
//   magnetising currents [kA], 20..28 the winding shares referred to winding 1
//   (share of winding j in phase p at 20 + (p - 1) NW + j - 1).
#include "transformers/multiwinding_saturation.h"

#include <cmath>

#include "model/e_s1.h"
#include "transformers/multiwinding_core.h"

using namespace wakro;
using namespace wakro::mw;

namespace {

constexpr std::int32_t kRecordSize = 24, kStateSize = 28;
constexpr std::int32_t kWindingCountPos = 12;
constexpr Layout kLayout{17, 20};

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
  const Record r = claim_record(no, kTsat2Tag, a, br, ss, kRecordSize);
  r[0] = sat::decay(t);
  write_curve(r, q, s);
  r[6] = tr;
  r[kWindingCountPos] = nw;
  r[13] = q.i0;
  r[14] = 1.2 * q.ipk;  // the holding threshold
}

void tsat2_exe(std::int32_t ka, std::int32_t kb, std::int32_t kc, std::int32_t b1a,
               std::int32_t b1b, std::int32_t b1c, std::int32_t b2a, std::int32_t b2b,
               std::int32_t b2c, std::int32_t b3a, std::int32_t b3b, std::int32_t b3c,
               std::int32_t b4a, std::int32_t b4b, std::int32_t b4c, std::int32_t ss,
               std::int32_t tap_winding, double tap, std::int32_t enable) {
  const Branches br{{b1a, b1b, b1c, b2a, b2b, b2c, b3a, b3b, b3c, b4a, b4b, b4c}};
  const Units k{ka, kb, kc};
  const auto [r, st, nw] =
      open_step(kTsat2Tag, kRecordSize, kStateSize, kWindingCountPos, k, br, ss);

  // Step 1: the unit at the tap, and the characteristic at its scale.
  const Unit u = unit_at_step(r, nw, ka, tap_winding, tap, 1);
  const double t = u.scale;
  if (e_s1::timezero || std::abs(t - st(10)) >= kRescaleTap) {
    st(2) = r[9] * t * t;
    st(3) = r[10] / (t * t);
    st(5) = r[11] * t;
    st(4) = (std::sqrt(st(5) * st(5) + st(2)) - st(5)) * st(3);
    st(9) = r[14] / t;
    st(10) = t;
  }

  // Step 2: the voltages behind winding 1.
  const PerPhase previous{st(17), st(18), st(19)};
  const Terminal term = terminal(st, r, kLayout, u, br, 0, ss, k);

  // Step 3: flux, core flux and current of each phase.
  const double d = r[0], half_dt = 0.5 * e_s1::delt;
  const bool released = e_s1::time > r[6];
  for (std::int32_t p = 0; p < kPhases; ++p) {
    const std::int32_t flux = 11 + 2 * p, slope = flux + 1, current = 17 + p;
    if (!term.present[p]) {
      st(current) = 0.0;
      continue;
    }
    const double phi = st(flux);
    const double g = term.w[p] - d * phi;
    const double phi_new = phi + half_dt * (st(slope) + g);
    st(slope) = g;
    const double phi_core = phi_new - u.l[1] * term.ip[p];
    const double m = sat::magnitude(phi_core, st(2), st(3), st(4), st(5));
    if (m < st(9) || released) st(flux) = phi_new;
    st(current) = phi_core < 0.0 ? -m : m;
  }

  // Step 4: the shares and the injection.
  inject(st, kLayout, u, br, 0, ss, enable, previous, term);
}

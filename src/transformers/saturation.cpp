// Core saturation: tsat1_cfg/tsat1_exe and the older tsat21/tsat21b
// (saturation.h).
//
// tsat1's configuration record (rt_config::rtcf from nrtcf) and state, and
// tsat21's state (e_s2::stor from nexc + 1), are declared slot by slot in
// wakro::transformers::layout (saturation.h).
#include "transformers/saturation.h"

#include <array>
#include <cmath>
#include <string>

#include "blocks/continuous.h"
#include "blocks/slots.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/fixedtext.h"
#include "model/harmimp.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/branch_terms.h"
#include "network/solution.h"
#include "transformers/saturation_curve.h"

namespace wakro {
namespace {

using wakro::kTwoPi;
constexpr double kSqrt2 = 1.414213562373095;
constexpr double kOneOverSqrt3 = 0.577350269189626;
constexpr double kOneThird = wakro::kThird;
constexpr double kLeastReactance = 0.002;  // pu
constexpr double kLeastKnee = 1.01, kDefaultKnee = 1.25;  // pu
constexpr double kLeastCurrent = 1e-5, kMostCurrent = 0.99;  // pu
constexpr double kHoldFactor = 1.2;
constexpr double kLeastTap = 0.001, kRescaleTap = 0.001;
constexpr double kZeroSequenceX = 1e-6;  // X at or below: zero sequence removed
constexpr double kInertKnee = 1e-6;      // |K| below: tsat21 does nothing
constexpr double kVoltageChange = 1e-6;  // kV: tsat21 sets its curve up again
constexpr double kNoLoadLosses = 1e-10;
constexpr std::int32_t kSaturationRecord = 9;
constexpr std::int32_t kDimensionNotice = 403;
constexpr std::int32_t kPhases = 3;
namespace cfg1 = transformers::layout::tsat1::rtcf;
namespace st1 = transformers::layout::tsat1::stor;
namespace st21 = transformers::layout::tsat21::stor;
using transformers::layout::kFluxStride;

}  // namespace

// The characteristic shared with the multi-winding forms (saturation_curve.h).
namespace sat {

Curve form_curve(double s, double v, double x, double k, double f, double im_pu) {
  Curve q;
  q.xa = std::abs(x) < kLeastReactance ? kLeastReactance : std::abs(x);
  q.im = limit(kLeastCurrent, kMostCurrent, im_pu);
  q.vk = std::abs(k) >= kLeastKnee ? std::abs(k) : kDefaultKnee;
  q.omega = kTwoPi * f;
  q.la = q.xa * v * v / (q.omega * s);
  q.ipk = kSqrt2 * q.im * s / v;
  q.phin = kSqrt2 * v / q.omega;
  q.phik = q.vk * q.phin;
  q.a = q.la / (q.phik * q.phik);
  const double d = q.la * q.ipk - q.phin;
  q.e = d / q.phik;
  q.dq = q.e * q.e - 4.0 * q.a * (d + q.phik) * q.ipk;
  const double b = 0.5 * (q.e + std::sqrt(q.dq));
  q.c = -(b / q.a) * 4.0 * q.la;
  q.h = 0.5 / q.la;
  q.i0 = (std::sqrt(q.phik * q.phik + q.c) - q.phik) * q.h;
  q.formed = q.dq >= 0.0 && q.c >= 0.0 && std::isfinite(q.i0);
  return q;
}

// m(phi) of the characteristic with constants c, h, i0 and knee flux phik.
double magnitude(double phi, double c, double h, double i0, double phik) {
  const double y = std::abs(phi) - phik;
  return (y + std::sqrt(y * y + c)) * h - i0;
}

double decay(double t) {
  if (t > 5.0) return 0.1;
  if (t >= 0.01) return 0.5 / t;
  if (t >= -1e-8) return 0.0;
  return 0.5 / (-t);
}

// The nameplate checks of set-up: each failure reported with the component's
// ids, then the run ends under the tag.
void check_nameplate(std::string_view tag, double s, double v, double f, const Curve& q) {
  bool failed = false;
  auto require = [&](bool ok, std::string_view text) {
    if (ok) return;
    failed = true;
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, msg::kError, msg::kSingleLine, text);
  };
  require(s > 0.0, kMvaText);
  require(v > 0.0, kVoltageText);
  require(f > 0.0, kFrequencyText);
  if (!failed) require(q.formed, kCurveText);
  if (failed) wakro_quit(tag, 0);
}

}  // namespace sat

using namespace sat;

}  // namespace wakro

using namespace wakro;

// ---------------------------------------------------------------------------
// tsat1

void tsat1_cfg(std::int32_t br_a, std::int32_t br_b, std::int32_t br_c, std::int32_t ss, double s,
               double v, double x, double k, double f, double t, double i, double tr) {
  const std::array<std::int32_t, kPhases> br{br_a, br_b, br_c};
  // Step 1: the subsystem, the branches and the nameplate.
  wakro_testssn(kTsat1Tag, ss);
  for (const std::int32_t b : br)
    if (b != 0) wakro_testbrn(kTsat1Tag, b, ss);
  const Curve q = form_curve(s, v, x, k, f, 0.01 * i);
  check_nameplate(kTsat1Tag, s, v, f, q);

  // Step 2: the branches become current sources of this component.
  for (const std::int32_t b : br) {
    if (b == 0) continue;
    change_branch_conductance(kTsat1Tag, ss, b, 0.0);
    branches::defrdbr(b, ss) = true;
    harmimp::harm_append(kSaturationRecord, ss, {b}, {});
  }

  // Step 3: the record.
  const bool full_set = br_a != 0 && br_b != 0 && br_c != 0;
  const double wdt = q.omega * e_s1::delt;
  const blocks::Slots<double> r = blocks::take_rtcf(cfg1::kSize);
  r(cfg1::kDecay) = decay(t);
  r(cfg1::kAdvance1) = full_set ? 1.0 - wdt * wdt : 1.0;
  r(cfg1::kAdvance2) = full_set ? kOneOverSqrt3 * wdt : 0.0;
  r(cfg1::kAirReactance) = q.xa;
  r(cfg1::kMagnetising) = q.im;
  r(cfg1::kKneeVoltage) = q.vk;
  r(cfg1::kRelease) = tr;
  r(cfg1::kOmega) = q.omega;
  r(cfg1::kRating) = s;
  r(cfg1::kCurveC) = q.c;
  r(cfg1::kCurveH) = q.h;
  r(cfg1::kKneeFlux) = q.phik;
  r(cfg1::kZeroOffset) = q.i0;
  r(cfg1::kHoldCurrent) = kHoldFactor * q.ipk;
}

void tsat1_exe(std::int32_t br_a, std::int32_t br_b, std::int32_t br_c, std::int32_t ss, double tap,
               std::int32_t enable) {
  const blocks::Slots<double> r = blocks::take_rtcf(cfg1::kSize);
  const blocks::Slots<double> st = blocks::take_stor(st1::kSize);
  const std::array<std::int32_t, kPhases> br{br_a, br_b, br_c};
  if (e_s1::timezero) {  // once per run: the numbers the steps index with
    wakro_testssn(kTsat1Tag, ss);
    for (const std::int32_t b : br)
      if (b != 0) wakro_testbrn(kTsat1Tag, b, ss);
  }

  // Step 1: the characteristic at the tap.
  const double t = tap < kLeastTap ? kLeastTap : tap;
  if (e_s1::timezero || std::abs(t - st(st1::kScale)) >= kRescaleTap) {
    st(st1::kScaledC) = r(cfg1::kCurveC) * t * t;
    st(st1::kScaledH) = r(cfg1::kCurveH) / (t * t);
    st(st1::kScaledKnee) = r(cfg1::kKneeFlux) * t;
    st(st1::kScaledOffset) =
        (std::sqrt(st(st1::kScaledKnee) * st(st1::kScaledKnee) + st(st1::kScaledC)) -
         st(st1::kScaledKnee)) *
        st(st1::kScaledH);
    st(st1::kScaledHold) = r(cfg1::kHoldCurrent) / t;
    st(st1::kScale) = t;
  }

  // Step 2: the branch voltages, advanced one step for a full set.
  // (vbranch of each phase, the subsystem's columns taken once for the three.)
  std::array<double, kPhases> v{};
  const SubsystemColumns& columns = subsystem_columns(ss);
  for (std::int32_t p = 0; p < kPhases; ++p)
    if (br[p] != 0) v[p] = branch_voltage(columns, br[p]);
  const double a1 = r(cfg1::kAdvance1), a2 = r(cfg1::kAdvance2);
  const std::array<double, kPhases> w{a1 * v[0] + a2 * (v[2] - v[1]), a1 * v[1] + a2 * (v[0] - v[2]),
                                      a1 * v[2] + a2 * (v[1] - v[0])};

  // Step 3: flux and current of each phase.
  const double d = r(cfg1::kDecay), half_dt = 0.5 * e_s1::delt;
  const bool released = e_s1::time > r(cfg1::kRelease);
  for (std::int32_t p = 0; p < kPhases; ++p) {
    const std::int32_t flux = st1::kFluxA + kFluxStride * p, slope = st1::kSlopeA + kFluxStride * p,
                       current = st1::kCurrentA + p;
    if (br[p] == 0) {
      st(current) = 0.0;
      continue;
    }
    const double phi = st(flux);
    const double g = w[p] - d * phi;
    const double phi_new = phi + half_dt * (st(slope) + g);
    st(slope) = g;
    const double m = magnitude(phi_new, st(st1::kScaledC), st(st1::kScaledH),
                               st(st1::kScaledOffset), st(st1::kScaledKnee));
    if (m < st(st1::kScaledHold) || released) st(flux) = phi_new;
    st(current) = phi_new < 0.0 ? -m : m;
  }

  // Step 4: the injection.
  for (std::int32_t p = 0; p < kPhases; ++p) {
    if (enable == 0) {
      st(st1::kCurrentA + p) = 0.0;
    } else if (br[p] != 0) {
      branches::ccbr(br[p], ss) = st(st1::kCurrentA + p);
    }
  }
}

// ---------------------------------------------------------------------------
// tsat21, tsat21b

namespace {

struct Phase {
  std::int32_t from = 0, to = 0;
  bool present = false;
};
using Phases = std::array<Phase, kPhases>;

bool node_in(std::int32_t n, std::int32_t ss) { return n >= 0 && n <= e_s0::mbus(ss); }

Phase phase_of(std::int32_t from, std::int32_t to, std::int32_t ss) {
  return {from, to, node_in(from, ss) && node_in(to, ss) && !(from == 0 && to == 0)};
}

double node_voltage(std::int32_t n, std::int32_t ss) { return n > 0 ? e_s0::vdc(n, ss) : 0.0; }

struct Legacy {
  std::string_view tag;  // 12-character routine tag
  std::string_view name;
  double s, v, x, k, f, t, i;
  std::int32_t enab;
};

// The characteristic's constants into the state block (set-up and later
// voltage changes).
void store_curve(const blocks::Slots<double>& st, const Legacy& a, const Curve& q) {
  st(st21::kCurveC) = q.c;
  st(st21::kCurveH) = q.h;
  st(st21::kKneeFlux) = q.phik;
  st(st21::kPeakRatio) = a.s * q.ipk / (a.v * a.v);
  st(st21::kZeroOffset) = q.i0;
  st(st21::kHoldCurrent) = kHoldFactor * q.ipk;
  st(st21::kVoltage) = a.v;
}

// Time zero: the phases, the checks, the fixed constants and the Norton nodes.
void legacy_setup(const blocks::Slots<double>& st, const Legacy& a, const Phases& ph, std::int32_t ss) {
  if (!ph[0].present && !ph[1].present && !ph[2].present)
    outmsg(kDimensionNotice, 0, 0, 0, 0.0, 0.0, a.name);  // ends the run
  const Curve q = form_curve(a.s, a.v, a.x, a.k, a.f, a.i);
  check_nameplate(a.tag, a.s, a.v, a.f, q);
  st(st21::kWarned) = 0.0;
  st(st21::kHalfStep) = 0.5 * e_s1::delt;
  st(st21::kDecay) = decay(a.t);
  const bool full_set = ph[0].present && ph[1].present && ph[2].present;
  const double wdt = q.omega * e_s1::delt;
  st(st21::kAdvance1) = full_set ? 1.0 - wdt * wdt : 1.0;
  st(st21::kAdvance2) = full_set ? wdt * kOneOverSqrt3 : 0.0;
  for (const Phase& p : ph) {
    if (!p.present) continue;
    if (p.from > 0) enable_norton(a.tag, ss, p.from);
    if (p.to > 0) enable_norton(a.tag, ss, p.to);
  }
  store_curve(st, a, q);
}

// A later change of V: the curve set up again, or kept (with one warning) when
// the new voltage gives none.
void follow_voltage(const blocks::Slots<double>& st, const Legacy& a) {
  const Curve q = a.v > 0.0 ? form_curve(a.s, a.v, a.x, a.k, a.f, a.i) : Curve{};
  if (q.formed) {
    store_curve(st, a, q);
    return;
  }
  if (st(st21::kWarned) != 0.0) return;
  st(st21::kWarned) = 1.0;
  std::string text(trim_right(a.name));
  text += ": the rated voltage gives no saturation characteristic; the previous one is kept.";
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, msg::kSingleLine, text);
}

void legacy_step(const blocks::Slots<double>& st, const Legacy& a, const Phases& ph, std::int32_t ss) {
  if (e_s1::timezero) {
    legacy_setup(st, a, ph, ss);
  } else if (std::abs(a.v - st(st21::kVoltage)) >= kVoltageChange) {
    follow_voltage(st, a);
  }
  if (std::abs(a.k) < kInertKnee) return;

  // Step 1: winding voltages, advanced one step for a full set.
  const bool full_set = ph[0].present && ph[1].present && ph[2].present;
  const bool zero_sequence_free = a.x <= kZeroSequenceX && full_set;
  std::array<double, kPhases> v{};
  for (std::int32_t p = 0; p < kPhases; ++p)
    if (ph[p].present) v[p] = node_voltage(ph[p].from, ss) - node_voltage(ph[p].to, ss);
  const double a1 = st(st21::kAdvance1), a2 = st(st21::kAdvance2);
  std::array<double, kPhases> u{a1 * v[0] + a2 * (v[2] - v[1]), a1 * v[1] + a2 * (v[0] - v[2]),
                                a1 * v[2] + a2 * (v[1] - v[0])};
  if (zero_sequence_free) {
    const double u0 = (u[0] + u[1] + u[2]) * kOneThird;
    for (double& x : u) x -= u0;
  }

  // Step 2: flux (trapezoidal, d phi/dt = u - D phi) and current of each phase.
  const double half_dt = st(st21::kHalfStep), d = st(st21::kDecay);
  double sum = 0.0;
  for (std::int32_t p = 0; p < kPhases; ++p) {
    const std::int32_t flux = st21::kFluxA + kFluxStride * p,
                       history = st21::kHistoryA + kFluxStride * p, current = st21::kCurrentA + p;
    if (!ph[p].present) {
      st(current) = 0.0;
      continue;
    }
    const double phi = st(flux);
    const double phi_new = phi + (st(history) + u[p] - d * phi) * half_dt;
    st(history) = u[p] - d * phi;
    const double m = magnitude(phi_new, st(st21::kCurveC), st(st21::kCurveH), st(st21::kZeroOffset),
                               st(st21::kKneeFlux));
    if (!(m >= st(st21::kHoldCurrent) && a.k < 0.0)) st(flux) = phi_new;
    st(current) = phi_new < 0.0 ? -m : m;
    sum += st(current);
  }
  if (zero_sequence_free)
    for (std::int32_t p = 0; p < kPhases; ++p) st(st21::kCurrentA + p) -= sum / 3.0;

  // Step 3: the injection, from the winding's from-node to its to-node.
  for (std::int32_t p = 0; p < kPhases; ++p) {
    if (a.enab == 0) {
      st(st21::kCurrentA + p) = 0.0;
      continue;
    }
    if (!ph[p].present) continue;
    if (ph[p].to > 0) e_s0::ccin(ph[p].to, ss) += st(st21::kCurrentA + p);
    if (ph[p].from > 0) e_s0::ccin(ph[p].from, ss) -= st(st21::kCurrentA + p);
  }
}

void warn_no_load_losses() {
  for (const char* line :
       {"Warning - The No Load Losses specified in the", "TSAT21 argument list are non-zero!",
        "This feature has been disabled in TSAT21 because", "the losses should be placed across each winding,",
        "not to ground.  Update your Quolb component to", "make the NLL argument 0.0 and then put",
        "resistors across each winding."})
    ListLine() << line;
}

}  // namespace

void tsat21(std::int32_t n1a, std::int32_t n2a, std::int32_t n1b, std::int32_t n2b, std::int32_t n1c,
            std::int32_t n2c, std::int32_t ss, double s, double v, double x, double k, double f,
            double t, double i, double nll, std::int32_t enab) {
  const blocks::Slots<double> st = blocks::take_stor(st21::kSize);
  if (e_s1::timezero) wakro_testssn(kTsat21Tag, ss);
  const Phases ph{phase_of(n1a, n2a, ss), phase_of(n1b, n2b, ss), phase_of(n1c, n2c, ss)};
  if (e_s1::timezero && nll > kNoLoadLosses && (ph[0].present || ph[1].present || ph[2].present))
    warn_no_load_losses();
  legacy_step(st, Legacy{kTsat21Tag, "TSAT21", s, v, x, k, f, t, i, enab}, ph, ss);
}

void tsat21b(std::int32_t br_a, std::int32_t br_b, std::int32_t br_c, std::int32_t ss, double s,
             double v, double x, double k, double f, double t, double i, std::int32_t enab) {
  const blocks::Slots<double> st = blocks::take_stor(st21::kSize);
  const std::array<std::int32_t, kPhases> br{br_a, br_b, br_c};
  if (e_s1::timezero) {
    wakro_testssn(kTsat21bTag, ss);
    for (const std::int32_t b : br)
      if (b != 0) wakro_testbrn(kTsat21bTag, b, ss);
  }
  Phases ph;
  for (std::int32_t p = 0; p < kPhases; ++p)
    if (br[p] > 0) ph[p] = phase_of(branches::ief(br[p], ss), branches::iet(br[p], ss), ss);
  const Legacy a{kTsat21bTag, "TSAT21B", s, v, x, k, f, t, i, enab};
  if (e_s1::timezero && (ph[0].present || ph[1].present || ph[2].present) && s > 0.0 && v > 0.0) {
    // The damping R-C branches (C in uF: companion resistance R/10).
    const double rd = 50.0 * v * v / s;
    const double c = 5e6 * e_s1::delt / rd;
    for (const std::int32_t b : br)
      if (b > 0) rcbranch(ss, b, rd, c);
  }
  legacy_step(st, a, ph, ss);
}

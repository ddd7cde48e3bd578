// The inverter's four control modules (see inverter_loops.h).
#include "case/inverter_loops.h"

#include <cmath>

#include "blocks/continuous.h"
#include "blocks/events.h"
#include "blocks/interpolated.h"
#include "blocks/poles.h"
#include "blocks/slots.h"
#include "diag/message.h"
#include "model/constants.h"
#include "model/e_s4.h"
#include "model/storage.h"

namespace wakro::casecode {

void wrap_angle_integrator(std::int32_t record) {
  double& y = storage::storf(record + wakro::blocks::layout::xint::kOut - 1);
  if (std::fabs(y) < kAngleWrap) return;
  y -= kTwoPi * std::floor(y / kTwoPi);
}

double wrap_angle(double x) {
  const double a = std::atan2(std::sin(x), std::cos(x));
  return a <= 0.0 ? a + kTwoPi : a;
}

}  // namespace wakro::casecode

namespace {

using namespace wakro::casecode;
using wakro::blocks::Slots;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_rtci;
using wakro::blocks::take_storl;
using wakro::kTwoPi;

constexpr double kHalfPi = wakro::kHalfPiCut;
constexpr double kLagBound = 1.0E+20;
constexpr double kDqIntegralBound = 1.0E+08;
constexpr double kPllI1Lower = -1.0E+07, kPllI1Upper = 1.0E+06;
constexpr double kAngleBound = 1.0E+05;
constexpr double kTwoThirds = wakro::kTwoThirdsRounded;
constexpr double kSqrtTwoThirds = 0.8164965809277263;
constexpr double kSmallMagnitude = 1.0E-05;
constexpr double kLimiterLagT = 0.1;

// The helpers of every step, in line: each is a single block call.
// A lag with reset off, running, no limits of its own and gain 1.
[[gnu::always_inline]] inline double lag(double t, double x) { return realpole(0, 1, 0, 1.0, t, x, 0.0, -kLagBound, kLagBound); }

// The integral of x from the initial output y0 (time constant 1, no reset).
[[gnu::always_inline]] inline double integral(double y0, double lower, double upper, double x) {
  const XPair none{0.0, 0.0}, in{x, 0.0};
  return wakro_xint(0, 0, 0, y0, 1.0, 0.0, lower, upper, none, in);
}

// One axis's terms of the decoupled dq PI.
struct PiAxis {
  double ff, prop, integral, couple;
};
struct DqPi {
  PiAxis d, q;
  Dq out;
};

// The decoupled dq PI of both loops: per axis the feed-forward kff feed, the
// proportional kp e and the integral term ki int, less (d) or plus (q) the
// coupling gain times the other axis's cross quantity.
[[gnu::always_inline]] inline DqPi decoupled_pi(double kff, const Dq& feed, double kp, const Dq& e, double ki,
                                                const Dq& integrals, double coupling, const Dq& cross) {
  DqPi t;
  t.d = {kff * feed[kAxisD], kp * e[kAxisD], ki * integrals[kAxisD], coupling * cross[kAxisQ]};
  t.q = {kff * feed[kAxisQ], kp * e[kAxisQ], ki * integrals[kAxisQ], coupling * cross[kAxisD]};
  t.out[kAxisD] = t.d.ff + t.d.prop + t.d.integral - t.d.couple;
  t.out[kAxisQ] = t.q.ff + t.q.prop + t.q.integral + t.q.couple;
  return t;
}

// A loop's inputs and output at its first entries (DqLoopEntry's order).
[[gnu::always_inline]] inline void save_loop_quantities(const ModuleCall& c, std::int32_t first, const Dq& measured,
                                                        const Dq& out, const Dq& fed, const Dq& ref, double kff,
                                                        double omega, double kp, double ki) {
  c.f(first + kLoopMeasuredD) = measured[kAxisD];
  c.f(first + kLoopMeasuredQ) = measured[kAxisQ];
  c.f(first + kLoopOutD) = out[kAxisD];
  c.f(first + kLoopOutQ) = out[kAxisQ];
  c.f(first + kLoopFedD) = fed[kAxisD];
  c.f(first + kLoopFedQ) = fed[kAxisQ];
  c.f(first + kLoopRefD) = ref[kAxisD];
  c.f(first + kLoopRefQ) = ref[kAxisQ];
  c.f(first + kLoopKff) = kff;
  c.f(first + kLoopOmega) = omega;
  c.f(first + kLoopKp) = kp;
  c.f(first + kLoopKi) = ki;
}

// The PI's terms at a loop's term entries, from its first (the d axis's
// feed-forward) on.
[[gnu::always_inline]] inline void save_pi_terms(const ModuleCall& c, std::int32_t first, const DqPi& t) {
  c.f(first + kPiFfD) = t.d.ff;
  c.f(first + kPiPropD) = t.d.prop;
  c.f(first + kPiIntTermD) = t.d.integral;
  c.f(first + kPiCoupleD) = t.d.couple;
  c.f(first + kPiFfQ) = t.q.ff;
  c.f(first + kPiPropQ) = t.q.prop;
  c.f(first + kPiIntTermQ) = t.q.integral;
  c.f(first + kPiCoupleQ) = t.q.couple;
}

// The two begin routines of a control module: counters only, or counters
// and its configured values.
void begin(const ModuleCounts& m) { (void)enter_begin(m); }

}  // namespace

// ==================================================================== PLL

void phaselocked_loopdyn(double& angle, double& error, double& omega, double& filter, double& kp, double& ki,
                         double& f0, double& upper_factor, double& lower_factor, std::int32_t& selector) {
  const ModuleCall c = enter_dyn(kPhaseLockedLoop);
  angle = c.f(kPllAngle);
  omega = c.f(kPllOmega);
  open_data(kPhaseLockedLoop, "DATADSD:");
  // 1-2. The error filter.
  const double t = guarded_div(kTwoPi, filter);
  const double ef = lag(t, error);
  // 3. Its integral.
  const Slots<double> init = take_rtcf(kPllInitials);
  const double i1 = integral(init(kPllInitI1), kPllI1Lower, kPllI1Upper, ef);
  // 4. The unlimited frequency.
  const double omega0 = kTwoPi * f0;
  const double omega_u = kp * ef + ki * i1 + omega0;
  // 5. The limits; crossed (or not numbers) they are not enforced, with one
  // warning per instance.
  const double upper = omega0 * upper_factor, lower = omega0 * lower_factor;
  const wakro::blocks::Slots<bool> warned = take_storl(1);
  const bool crossed = !(upper >= lower);
  if (crossed) {
    omega = omega_u;
    if (!warned(1)) {
      wakro_warn(c.call_no, kPllLimitId, wakro::msg::kSingleLine, "Lower limit is more than the upper limit, limits not enforced.");
      warned(1) = true;
    }
  } else {
    omega = limit(lower, upper, omega_u);
  }
  // 6. The phase offset.
  const Slots<std::int32_t> sel = take_rtci(kPllSelectors);
  const double phi = selector == sel(kPllSelPhaseOffset) ? -kHalfPi : 0.0;
  // 7. The angle integrator, wrapped by whole turns.
  const std::int32_t i2_record = storage::nstorf;
  double i2 = integral(init(kPllInitAngle), -kAngleBound, kAngleBound, omega);
  wrap_angle_integrator(i2_record);
  // 8. The angle in (0, 2 pi].
  angle = wrap_angle(phi + i2);
  // Save.
  c.f(kPllAngle) = angle;
  c.f(kPllError) = error;
  c.f(kPllOmega) = omega;
  c.f(kPllFilter) = filter;
  c.f(kPllKp) = kp;
  c.f(kPllKi) = ki;
  c.f(kPllF0) = f0;
  c.f(kPllUpperFactor) = upper_factor;
  c.f(kPllLowerFactor) = lower_factor;
  c.f(kPllFilterT) = t;
  c.f(kPllFiltered) = ef;
  c.f(kPllI1) = i1;
  c.f(kPllOmega0) = omega0;
  c.f(kPllOmegaU) = omega_u;
  c.f(kPllUpper) = upper;
  c.f(kPllLower) = lower;
  c.f(kPllTwoPiA) = kTwoPi;
  c.f(kPllPhi) = phi;
  c.f(kPllTwoPiB) = kTwoPi;
  c.f(kPllI2) = i2;
  c.f(kPllPhiPlusI2) = phi + i2;
  c.f(kPllPropTerm) = kp * ef;
  c.f(kPllIntTerm) = ki * i1;
  c.f(kPllZero) = 0.0;
  c.f(kPllOne) = 1.0;
  c.f(kPllHalfPi) = kHalfPi;
  c.f(kPllLimited) = crossed ? 0.0 : 1.0;
  c.i(kPllSelector) = selector;
  close_data();
}

void phaselocked_loopout() {
  const ModuleCall c = enter_out(kPhaseLockedLoop);
  open_data(kPhaseLockedLoop, "DATADSO:");
  c.f(kPllTwoPiA) = kTwoPi;
  c.f(kPllTwoPiB) = kTwoPi;
  c.f(kPllZero) = 0.0;
  c.f(kPllHalfPi) = kHalfPi;
  close_data();
}

void phaselocked_loopdyn_begin() {
  (void)enter_begin(kPhaseLockedLoop);
  const Slots<double> init = take_rtcf(kPllInitials);
  init(kPllInitI1) = 0.0;
  init(kPllInitAngle) = 0.0;
  take_rtci(kPllSelectors)(kPllSelPhaseOffset) = 1;
}

void phaselocked_loopout_begin() { begin(kPhaseLockedLoop); }

// ==================================================================== voltage loop

void voltage_loopdyn(Dq& v, Dq& iref, Dq& i, Dq& vref, std::int32_t& freeze, double& kff, double& omega, double& kp,
                     double& ki, std::int32_t& sign_selector, double& cf_micro) {
  const ModuleCall c = enter_dyn(kVoltageLoop);
  iref = {c.f(kVlIrefD), c.f(kVlIrefQ)};
  open_data(kVoltageLoop, "DATADSD:");
  const Slots<std::int32_t> sel = take_rtci(kVlSelectors);
  const Slots<double> init = take_rtcf(kVlInitials);
  // 1. q axis.
  const double eq = vref[kAxisQ] - v[kAxisQ];
  const double eq_in = freeze == sel(kVlSelFreezeQ) ? 0.0 : eq;
  const double iq_int = integral(init(kVlInitQ), -kDqIntegralBound, kDqIntegralBound, eq_in);
  // 2. d axis.
  const double ed = vref[kAxisD] - v[kAxisD];
  const double ed_in = freeze == sel(kVlSelFreezeD) ? 0.0 : ed;
  const double id_int = integral(init(kVlInitD), -kDqIntegralBound, kDqIntegralBound, ed_in);
  // 3. Decoupling sign and capacitance.
  const double s = sign_selector == sel(kVlSelSign) ? -1.0 : 1.0;
  const double cf = cf_micro * 1.0E-06;
  // 4-5. The current references.
  const DqPi pi = decoupled_pi(kff, i, kp, {ed, eq}, ki, {id_int, iq_int}, s * omega * cf, v);
  iref = pi.out;
  // 6. Channels.
  e_s4::pgb(c.pgb_base + kVlChIrefQ) = iref[kAxisQ];
  e_s4::pgb(c.pgb_base + kVlChIrefD) = iref[kAxisD];
  e_s4::pgb(c.pgb_base + kVlChIrefD2) = iref[kAxisD];
  // Save.
  save_loop_quantities(c, kVlVd, v, iref, i, vref, kff, omega, kp, ki);
  c.f(kVlCfMicro) = cf_micro;
  c.f(kVlEq) = eq;
  c.f(kVlEqIn) = eq_in;
  c.f(kVlIntQ) = iq_int;
  c.f(kVlEd) = ed;
  c.f(kVlEdIn) = ed_in;
  c.f(kVlIntD) = id_int;
  c.f(kVlSign) = s;
  c.f(kVlCf) = cf;
  save_pi_terms(c, kVlFfD, pi);
  c.f(kVlMicro) = 1.0E-06;
  c.f(kVlZeroQ) = 0.0;
  c.f(kVlZeroD) = 0.0;
  c.i(kVlFreeze) = freeze;
  c.i(kVlSignSelector) = sign_selector;
  c.i(kVlMinusOneSel) = 1;
  c.i(kVlPlusOneSel) = -1;
  close_data();
}

void voltage_loopout() {
  const ModuleCall c = enter_out(kVoltageLoop);
  open_data(kVoltageLoop, "DATADSO:");
  c.i(kVlMinusOneSel) = 1;
  c.i(kVlPlusOneSel) = -1;
  c.f(kVlZeroQ) = 0.0;
  c.f(kVlZeroD) = 0.0;
  close_data();
}

void voltage_loopdyn_begin() {
  (void)enter_begin(kVoltageLoop);
  const Slots<std::int32_t> sel = take_rtci(kVlSelectors);
  sel(kVlSelFreezeQ) = 1;
  sel(kVlSelFreezeD) = 1;
  sel(kVlSelSign) = 1;
  const Slots<double> init = take_rtcf(kVlInitials);
  init(kVlInitQ) = 0.0;
  init(kVlInitD) = 0.0;
}

void voltage_loopout_begin() { begin(kVoltageLoop); }

// ==================================================================== current limiter

namespace {

// The working values of one limiter pass, in the order of its steps.
struct ClsStep {
  double k1, s, s_va, ib, k2, zb, y, w, h1, imax, d, x, f, h2, delta, off_q, off_d, a, b, m, margin, divider, scale;
};

// 1. The rating in MVA (selector equal) or as given; 2. the base current and
// a skipped logical slot; 3. the base current's unit: a base in kA (rating in
// MVA over kV) is turned into amperes, the unit of the currents this limiter
// compares it with; a rating given in kVA gives amperes already; 4. base
// impedance, capacitor admittance and W.
void limiter_bases(const wakro::blocks::Slots<std::int32_t>& sel, std::int32_t unit_selector, double rating,
                   double rated_v, double cap_pu, double voltage, ClsStep& s) {
  s.k1 = unit_selector == sel(kClsSelMva) ? 0.001 : 1.0;
  s.s = s.k1 * rating;
  s.s_va = s.s * 1.0E+06;
  s.ib = guarded_div(s.s, rated_v);
  (void)take_storl(1);
  s.k2 = unit_selector == sel(kClsSelKiloAmps) ? 1000.0 : 1.0;
  s.zb = guarded_div(rated_v * rated_v, s.s);
  s.y = guarded_inverse(s.zb * cap_pu);
  s.w = kTwoThirds * s.y * (1000.0 * voltage) * (1000.0 * voltage);
}

// 5. W held from the enable pulse on; 6. the limit; 7. H1 over the divisor
// signal (1 below 1 or not a number); 8. its lag, held from the pulse on;
// 9. the offset, on the d or q axis.
void limiter_offset(const wakro::blocks::Slots<std::int32_t>& sel, std::int32_t pulse, double limit_pu,
                    double divisor, std::int32_t offset_axis, std::int32_t offset_selector, ClsStep& s) {
  s.h1 = 0.0;
  sandh2(s.w, pulse, 1, s.h1);
  s.imax = s.ib * kSqrtTwoThirds * s.k2 * limit_pu;
  s.d = divisor >= 1.0 ? divisor : 1.0;
  s.x = s.h1 / s.d;
  s.f = lag(kLimiterLagT, s.x);
  s.h2 = 0.0;
  sandh2(s.f, pulse, 1, s.h2);
  s.delta = offset_selector == sel(kClsSelOffsetOn) ? s.h2 : 0.0;
  s.off_q = offset_axis == sel(kClsSelOffsetOnD) ? 0.0 : s.delta;
  s.off_d = offset_axis == sel(kClsSelOffsetOnQ) ? 0.0 : s.delta;
}

// 10. The magnitude, guarded; 11. the margin, 1.0 before the pulse; 12. the
// scale; 13. the flag: 1 once the magnitude has reached the limit; 14. the
// limited reference.
void limiter_scale(const ModuleCall& c, const wakro::blocks::Slots<std::int32_t>& sel, std::int32_t pulse,
                   const Dq& iref, std::int32_t& flag, Dq& limited, ClsStep& s) {
  s.a = iref[kAxisQ] - s.off_q;
  s.b = iref[kAxisD] - s.off_d;
  const double sum = s.a * s.a + s.b * s.b;
  s.m = guarded_sqrt(std::isnan(sum) ? 0.0 : sum, c.call_no, kClsSqrtId);
  if (std::isnan(sum)) s.m = sum;
  const bool small = !(s.m >= kSmallMagnitude) || sum < 0.0;
  s.margin = pulse == sel(kClsSelEnabled) ? s.imax - s.m : 1.0;
  s.divider = small ? kSmallMagnitude : s.m;
  s.scale = s.imax / s.divider;
  XPair cmp{0.0, 0.0};
  wakro_x2comp(0, 0, s.margin, 0.0, 0.0, 0.0, 1.0, cmp);
  flag = rounded(cmp[0]);
  if (flag == sel(kClsSelLimit))
    limited = {s.scale * iref[kAxisD], s.scale * iref[kAxisQ]};
  else
    limited = iref;
}

// The limiter's constant signals, written by both passes.
void save_limiter_constants(const ModuleCall& c) {
  c.f(kClsTwoThirds) = kTwoThirds;
  c.f(kClsOne) = 1.0;
  c.f(kClsThousand) = 1000.0;
  c.f(kClsZero) = 0.0;
  c.f(kClsMilli) = 0.001;
  c.f(kClsTiny) = kSmallMagnitude;
}

// The pass's working values.
void save_limiter_step(const ModuleCall& c, const ClsStep& s) {
  c.f(kClsK1) = s.k1;
  c.f(kClsS) = s.s;
  c.f(kClsSva) = s.s_va;
  c.f(kClsIb) = s.ib;
  c.f(kClsK2) = s.k2;
  c.f(kClsZb) = s.zb;
  c.f(kClsY) = s.y;
  c.f(kClsW) = s.w;
  c.f(kClsH1) = s.h1;
  c.f(kClsImax) = s.imax;
  c.f(kClsD) = s.d;
  c.f(kClsX) = s.x;
  c.f(kClsF) = s.f;
  c.f(kClsH2) = s.h2;
  c.f(kClsDelta) = s.delta;
  c.f(kClsOffQ) = s.off_q;
  c.f(kClsOffD) = s.off_d;
  c.f(kClsA) = s.a;
  c.f(kClsB) = s.b;
  c.f(kClsM) = s.m;
  c.f(kClsMargin) = s.margin;
  c.f(kClsScale) = s.scale;
  c.f(kClsSmallDivisor) = s.divider;
}

}  // namespace

void current_limiter_scaledyn(std::int32_t& flag, Dq& limited, Dq& iref, double& divisor, double& rating,
                              std::int32_t& unit_selector, double& rated_v, std::int32_t& pulse, double& limit_pu,
                              std::int32_t& offset_axis, std::int32_t& recorded11, std::int32_t& recorded12,
                              double& cap_pu, std::int32_t& offset_selector, double& voltage) {
  const ModuleCall c = enter_dyn(kCurrentLimiter);
  flag = c.i(kClsFlag);
  limited = {c.f(kClsLimD), c.f(kClsLimQ)};
  open_data(kCurrentLimiter, "DATADSD:");
  const wakro::blocks::Slots<std::int32_t> sel = take_rtci(kClsSelectors);
  ClsStep s{};
  limiter_bases(sel, unit_selector, rating, rated_v, cap_pu, voltage, s);
  limiter_offset(sel, pulse, limit_pu, divisor, offset_axis, offset_selector, s);
  limiter_scale(c, sel, pulse, iref, flag, limited, s);
  // 15. Channels.
  e_s4::pgb(c.pgb_base + kClsChFlag) = flag;
  e_s4::pgb(c.pgb_base + kClsChM) = s.m;
  e_s4::pgb(c.pgb_base + kClsChImax) = s.imax;
  e_s4::pgb(c.pgb_base + kClsChScale) = s.scale;
  // Save.
  c.f(kClsIrefD) = iref[kAxisD];
  c.f(kClsIrefQ) = iref[kAxisQ];
  c.f(kClsLimD) = limited[kAxisD];
  c.f(kClsLimQ) = limited[kAxisQ];
  c.f(kClsDivisor) = divisor;
  c.f(kClsRating) = rating;
  c.f(kClsRatedV) = rated_v;
  c.f(kClsLimitPu) = limit_pu;
  c.f(kClsCapPu) = cap_pu;
  c.f(kClsVoltage) = voltage;
  save_limiter_step(c, s);
  c.f(kClsFlagReal) = flag;
  save_limiter_constants(c);
  c.i(kClsFlag) = flag;
  c.i(kClsUnitSel) = unit_selector;
  c.i(kClsPulse) = pulse;
  c.i(kClsOffsetAxisSel) = offset_axis;
  c.i(kClsRecorded11) = recorded11;
  c.i(kClsRecorded12) = recorded12;
  c.i(kClsOffsetSel) = offset_selector;
  close_data();
}

void current_limiter_scaleout() {
  const ModuleCall c = enter_out(kCurrentLimiter);
  open_data(kCurrentLimiter, "DATADSO:");
  save_limiter_constants(c);
  close_data();
}

void current_limiter_scaledyn_begin() {
  (void)enter_begin(kCurrentLimiter);
  const wakro::blocks::Slots<std::int32_t> sel = take_rtci(kClsSelectors);
  sel(kClsSelMva) = 1;
  sel(kClsSelKiloAmps) = 1;
  sel(kClsSelOffsetOn) = 1;
  sel(kClsSelOffsetOnD) = 1;
  sel(kClsSelOffsetOnQ) = 0;
  sel(kClsSelEnabled) = 1;
  sel(kClsSelLimit) = 1;
}

void current_limiter_scaleout_begin() { begin(kCurrentLimiter); }

// ==================================================================== current loop

void current_loop_1dyn(Dq& i, Dq& vref, Dq& v, Dq& iref, double& kff, double& omega, double& kp, double& ki,
                       std::int32_t& sign_selector, double& l) {
  const ModuleCall c = enter_dyn(kCurrentLoop);
  vref = {c.f(kCloVrefD), c.f(kCloVrefQ)};
  open_data(kCurrentLoop, "DATADSD:");
  // 1. The two integrals.
  const Slots<double> init = take_rtcf(kCloInitials);
  const double eq = iref[kAxisQ] - i[kAxisQ];
  const double iq_int = integral(init(kCloInitQ), -kDqIntegralBound, kDqIntegralBound, eq);
  const double ed = iref[kAxisD] - i[kAxisD];
  const double id_int = integral(init(kCloInitD), -kDqIntegralBound, kDqIntegralBound, ed);
  // 2. Decoupling sign.
  const double s = sign_selector == take_rtci(kCloSelectors)(kCloSelSign) ? -1.0 : 1.0;
  // 3-4. The voltage references.
  const DqPi pi = decoupled_pi(kff, v, kp, {ed, eq}, ki, {id_int, iq_int}, s * omega * l, i);
  vref = pi.out;
  // 5. Channel.
  e_s4::pgb(c.pgb_base + kCloChVrefD) = vref[kAxisD];
  // Save.
  save_loop_quantities(c, kCloId, i, vref, v, iref, kff, omega, kp, ki);
  c.f(kCloL) = l;
  c.f(kCloEq) = eq;
  c.f(kCloIntQ) = iq_int;
  c.f(kCloEd) = ed;
  c.f(kCloIntD) = id_int;
  c.f(kCloSign) = s;
  save_pi_terms(c, kCloFfD, pi);
  c.i(kCloSignSelector) = sign_selector;
  c.i(kCloMinusOneSel) = -1;
  c.i(kCloPlusOneSel) = 1;
  close_data();
}

void current_loop_1out() {
  const ModuleCall c = enter_out(kCurrentLoop);
  open_data(kCurrentLoop, "DATADSO:");
  c.i(kCloMinusOneSel) = -1;
  c.i(kCloPlusOneSel) = 1;
  close_data();
}

void current_loop_1dyn_begin() {
  (void)enter_begin(kCurrentLoop);
  const Slots<double> init = take_rtcf(kCloInitials);
  init(kCloInitQ) = 0.0;
  init(kCloInitD) = 0.0;
  take_rtci(kCloSelectors)(kCloSelSign) = 1;
}

void current_loop_1out_begin() { begin(kCurrentLoop); }

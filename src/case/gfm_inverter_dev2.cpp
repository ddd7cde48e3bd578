// The grid-forming inverter module's four routines (see gfm_inverter_dev2.h).
#include "case/gfm_inverter_dev2.h"

#include <cmath>

#include "blocks/continuous.h"
#include "blocks/events.h"
#include "blocks/interpolated.h"
#include "blocks/meters.h"
#include "blocks/phase_meters.h"
#include "blocks/poles.h"
#include "blocks/slots.h"
#include "case/dq_frame.h"
#include "case/inverter_loops.h"
#include "devices/variable_branches.h"
#include "devices/voltage_sources.h"
#include "diag/message.h"
#include "diag/nodeaccess.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/storage.h"

namespace {

using namespace wakro::casecode;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_rtci;
using wakro::kTwoPi;

constexpr double kLagBound = 1.0E+20;
constexpr double kIntegralBound = 1.0E+05;
constexpr double kCapBound = 1.0E+106;
constexpr double kNominalHz = 60.0;  // frequency support's fixed nominal
constexpr double kPllUpperFactorValue = 1.1, kPllLowerFactorValue = 0.8;
constexpr double kDroopLagT = 0.1;
constexpr double kMilli = 0.001;
constexpr double kKilo = 1000.0;
constexpr double kZbLow = 0.01, kZbHigh = 1.0E+04;

// Node positions within the record's 27 nodes and local branch numbers.
constexpr std::int32_t kNodeVa = 22, kNodeVb = 8, kNodeVc = 4;
// The configuration record of each phase source: its phase and its ramp time.
enum SourceConfig : std::int32_t { kSourcePhase = 1, kSourceRamp, kSourceConfigSize = kSourceRamp };
constexpr std::int32_t kPhaseSources = 3;  // branches kBrSourceC .. + 2: phases c, b, a
constexpr std::int32_t kBrIb = 1, kBrSourceC = 4, kBrIa = 7, kBrR1 = 10, kBrL1 = 13, kBrR3 = 16, kBrR2 = 19,
                       kBrL2 = 22, kBrC = 25, kBrIc = 28;

// The helpers of every step, in line: each is a single block call.
[[gnu::always_inline]] inline double lag(double t, double x) { return realpole(0, 1, 0, 1.0, t, x, 0.0, -kLagBound, kLagBound); }

// The integral of x from the initial output y0 (time constant 1, no reset).
[[gnu::always_inline]] inline double integral(double y0, double x) {
  const XPair none{0.0, 0.0}, in{x, 0.0};
  return wakro_xint(0, 0, 0, y0, 1.0, 0.0, -kIntegralBound, kIntegralBound, none, in);
}

// The dyn pass's configured values, taken after the phase-locked loop's.
struct GfmRecords {
  wakro::blocks::Slots<std::int32_t> sel;  // GfmSelector
  wakro::blocks::Slots<double> init;       // GfmInitial
};

// A level comparator: HIGH when A > B, else LOW, as an integer.
[[gnu::always_inline]] inline std::int32_t compare(double A, double B, double high, double low) {
  XPair out{0.0, 0.0};
  wakro_x2comp(0, 0, A, B, high, 0.0, low, out);
  return rounded(out[0]);
}
// 1 when time >= t0.
std::int32_t from(double t0) { return compare(t0, e_s1::time, 0.0, 1.0); }

struct Dq0 {
  double d = 0.0, q = 0.0, z = 0.0;
};
// a, b, c into the frame of an angle (trdqo's forward direction).
Dq0 forward(double a, double b, double c, const DqFrame& frame) {
  Dq0 r;
  to_dq(frame, a, b, c, r.d, r.q, r.z);
  return r;
}

// The branch values of the variable groups, in ohms, henries and microfarads.
struct BranchValues {
  double r1, l1, r3, r2, l2, cap;
};

void drive_group(const ModuleCall& c, std::int32_t id, std::int32_t first, std::int32_t kind, double value) {
  component_id(c.call_no, id);
  for (std::int32_t k = 0; k < 3; ++k) e_varrlc1_exe(kind, c.ss, c.branch(first + k), 0, value, 0.0);
}

void configure_group(const ModuleCall& c, std::int32_t id, std::int32_t first, std::int32_t kind) {
  component_id(c.call_no, id);
  for (std::int32_t k = 0; k < 3; ++k) e_varrlc1_cfg(kind, c.ss, c.branch(first + k), 0);
}

// The out pass's eighteen reads, in line.
[[gnu::always_inline]] inline double current(const ModuleCall& c, std::int32_t local) {
  return branches::cbr(c.branch(local), c.ss);
}
[[gnu::always_inline]] inline double voltage(const ModuleCall& c, std::int32_t node) {
  return wakro_vvdc(c.ss, c.node(node), 0);
}

// The working values of one dyn pass, filled step by step in the order below.
// Every member is written by its step before any later step reads it; the pass
// still starts from a cleared record (GfmStep s{}), so that a value read before
// its step had written it would be 0, never an indeterminate value.
struct GfmStep {
  // 1. Restored from the kept arrays and last step's signals.
  double theta_last, pll_last, pf_last, iref_d_last;
  double vd_last, vq_last, vd2_last, vq2_last;
  std::int32_t flag_last;
  double va[3], vb[3], vc[3], ia[3], ib[3], ic[3];
  double v_rms, u;
  // 2. Flags.
  std::int32_t s_a, s_b, s_c, s_d, s_e;
  // 3. Derived constants and branch values; the gains are passed on by reference.
  double sb, vbase, omega0, zb, lb, tp, tv;
  BranchValues bv;
  double v_set, pll_kp, pll_ki, m, n, cl_kp, cl_ki, vl_kp, vl_ki, rv, theta0;
  // 4-8. Angle hold, phase-locked loop, frequency and its support, anti-windup.
  double hold, theta_off;
  Dq0 va_pll;
  double pll_angle, omega_pll, fm, fs_integral, pfs;
  std::int32_t w;
  // 9-12. Powers, power limits, droop and the angle.
  double pv_d, pv_q;
  Dq0 iadq;
  double p, q, pf, qf, ph, qh, l_hi, l_lo, delta_p, omega, angle_integral, theta;
  DqFrame frame;  // at theta, for every set turned at it
  // 13-15. Voltages, their regulation and the voltage reference.
  Dq0 v1, v2;
  double vmag, v2mag, ev, vr_integral, e, selection, eh, dqf, magnitude, xd, xq;
  Dq vref;
  // 16-19. The loops, the limiter and the phase EMFs.
  Dq v2dq, iref;
  std::int32_t one, flag;
  Dq limited;
  Dq0 ibdq;
  Dq uref;
  double ud, uq, ea, eb, ec;
};

// 1. Restore: the kept arrays, last step's signals and the measured sets.
void restore(const ModuleCall& c, GfmArgs& a, GfmStep& s) {
  a.out50 = {c.f(kGfmOut50), c.f(kGfmOut50b), c.f(kGfmOut50c)};
  a.out51 = {c.f(kGfmOut51), c.f(kGfmOut51b), c.f(kGfmOut51c)};
  s.theta_last = c.f(kGfmTheta);
  s.pll_last = c.f(kGfmPllAngle);
  s.pf_last = c.f(kGfmPf);
  s.iref_d_last = c.f(kGfmIrefD);
  s.vd_last = c.f(kGfmVd);
  s.vq_last = c.f(kGfmVq);
  s.vd2_last = c.f(kGfmVd2);
  s.vq2_last = c.f(kGfmVq2);
  s.flag_last = c.i(kGfmFlag);
  for (std::int32_t k = 0; k < 3; ++k) {
    s.va[k] = c.f(kGfmVa1 + k);
    s.vb[k] = c.f(kGfmVb1 + k);
    s.vc[k] = c.f(kGfmVc1 + k);
    s.ia[k] = c.f(kGfmIa1 + k);
    s.ib[k] = c.f(kGfmIb1 + k);
    s.ic[k] = c.f(kGfmIc1 + k);
  }
  s.v_rms = c.f(kGfmVrms);
  s.u = c.f(kGfmU);
}

// 2. Flags, every step.
void set_flags(const GfmArgs& a, GfmStep& s) {
  s.s_a = from(a.t_a);
  s.s_b = compare(e_s1::time, a.t_b, 1.0, 0.0);
  s.s_c = from(a.t_c);
  s.s_d = from(a.t_d);
  s.s_e = from(a.t_a + a.t_e);
}

// 3. Derived constants and branch values; an implausible base impedance is
// reported once per instance.
void derive_constants(const ModuleCall& c, const GfmArgs& a, GfmStep& s) {
  s.sb = kKilo * a.rating_kva;
  s.vbase = kKilo * a.rated_kv;
  s.omega0 = kTwoPi * a.f0;
  s.zb = guarded_div(s.vbase * s.vbase, s.sb);
  s.lb = guarded_div(s.zb, s.omega0);
  s.tp = guarded_div(kTwoPi, a.p_filter);
  s.tv = guarded_div(kTwoPi, a.v_filter);
  s.bv = BranchValues{s.zb * a.r1_pu, s.lb * a.l1_pu, s.zb * a.r3_pu, s.zb * a.r2_pu, s.lb * a.l2_pu,
                      limit(-kCapBound, kCapBound, guarded_div(1.0E+06, s.omega0 * s.zb * a.cap_pu))};
  s.v_set = s.vbase * wakro::kInvSqrt3Rounded * wakro::kSqrt2Rounded * a.v_set_pu;
  s.pll_kp = guarded_div(a.pll_kp, s.vbase);
  s.pll_ki = guarded_div(a.pll_ki, s.vbase);
  s.m = guarded_div(a.p_droop, s.sb);
  s.n = guarded_div(a.rated_kv * a.q_droop, -a.rating_kva);
  s.cl_kp = s.zb * a.cl_kp;
  s.cl_ki = s.zb * a.cl_ki;
  s.vl_kp = guarded_div(a.vl_kp, s.zb);
  s.vl_ki = guarded_div(a.vl_ki, s.zb);
  s.rv = s.zb * a.rv_pu;
  s.theta0 = a.phase_deg / 360.0 * kTwoPi;
  if (!(s.zb >= kZbLow && s.zb <= kZbHigh) && c.i(kGfmZbWarned) == 0) {
    c.i(kGfmZbWarned) = 1;
    wakro_warn(c.call_no, kGfmBase, wakro::msg::kSingleLine,
               "Base impedance outside 0.01 to 10000 ohm: is the rated power (argument 2) given in kVA?");
  }
}

// 4. Angle hold.
void hold_angle(const GfmArgs& a, GfmStep& s) {
  const wakro::blocks::Slots<std::int32_t> sel = take_rtci(kGfmHoldSelectors);
  s.hold = 0.0;
  sandh2((0.3 * a.hold_factor + 0.65) * s.u, s.s_a, 1, s.hold);
  s.theta_off = (a.hold_sel == sel(kSelAngleHold) ? s.hold : 0.0) + s.theta0;
}

// 5. Phase-locked loop on V_a at its last angle.
void lock_phase(const GfmArgs& a, GfmStep& s) {
  s.va_pll = forward(s.va[0], s.va[1], s.va[2], dq_frame(s.pll_last));
  s.pll_angle = 0.0;
  s.omega_pll = 0.0;
  double pll_error = s.va_pll.d, f0 = a.f0, pll_filter = a.pll_filter, upper = kPllUpperFactorValue,
         lower = kPllLowerFactorValue;
  std::int32_t pll_sel = 0;
  phaselocked_loopdyn(s.pll_angle, pll_error, s.omega_pll, pll_filter, s.pll_kp, s.pll_ki, f0, upper, lower,
                      pll_sel);
}

// 6. Measured frequency; 7. frequency support; 8. anti-windup: the limiter
// was active last step.
void support_frequency(const GfmArgs& a, const GfmRecords& r, GfmStep& s) {
  const double fm_lag = lag(a.f_meas_t, s.omega_pll / kTwoPi);
  s.fm = s.s_d == r.sel(kSelFrequencyMeasured) ? fm_lag : kNominalHz;

  s.fs_integral = integral(r.init(kInitSupport), (kNominalHz - s.fm) * s.sb * a.fs_gain);
  s.pfs = samp5(s.fs_integral, guarded_inverse(a.fs_period), 0, 0.0, 0);

  s.w = (s.flag_last == r.sel(kSelAntiWindup) && a.anti_windup != 0) ? 1 : 0;
}

// 9. Powers from last step's voltages and this step's currents at last step's angle.
void measure_powers(const GfmArgs& a, const GfmRecords& r, GfmStep& s) {
  const bool from_va = a.v_meas_sel == r.sel(kSelPowersFromVa);
  s.pv_d = from_va ? s.vd_last : s.vd2_last;
  s.pv_q = from_va ? s.vq_last : s.vq2_last;
  s.iadq = forward(s.ia[0], s.ia[1], s.ia[2], dq_frame(s.theta_last));
  s.p = 1.5 * (s.pv_d * s.iadq.d + s.pv_q * s.iadq.q);
  s.q = 1.5 * (s.pv_q * s.iadq.d - s.pv_d * s.iadq.q);
  s.pf = lag(s.tp, s.p);
  s.qf = lag(s.tp, s.q);
  s.ph = 0.0;
  s.qh = 0.0;
  sandh2(s.pf, s.s_a, 1, s.ph);
  sandh2(s.qf, s.s_a, 1, s.qh);
}

// 10. Power-limit controllers; 11. droop.
void power_limits_and_droop(const GfmArgs& a, const GfmRecords& r, GfmStep& s) {
  const double in_hi = s.s_e == r.sel(kSelLimitHigh) ? guarded_div(s.sb * a.p_high_pu - s.pf_last, s.sb) : 0.0;
  s.l_hi = wakro_xpi(0, a.lim_gain, a.lim_t, kTwoPi * a.f_range_high, 0.0, r.init(kInitLimitHigh), XPair{in_hi, 0.0});
  const double in_lo = s.s_e == r.sel(kSelLimitLow) ? guarded_div(s.sb * a.p_low_pu - s.pf_last, s.sb) : 0.0;
  s.l_lo = wakro_xpi(0, a.lim_gain, a.lim_t, 0.0, kTwoPi * a.f_range_low, r.init(kInitLimitLow), XPair{in_lo, 0.0});

  s.delta_p = s.s_a == r.sel(kSelDroop) ? s.pfs + s.ph - s.pf : 0.0;
  s.omega = s.omega0 * s.m * s.delta_p + s.l_hi + s.l_lo + s.omega0;
}

// 12. The angle, its integrator wrapped by whole turns; 13. the voltages at
// the new angle and their magnitudes.
void advance_angle(const ModuleCall& c, const GfmRecords& r, GfmStep& s) {
  const std::int32_t angle_record = storage::nstorf;
  s.angle_integral = integral(r.init(kInitAngle), s.omega);
  wrap_angle_integrator(angle_record);
  s.theta = wrap_angle(s.angle_integral + s.theta_off);
  s.frame = dq_frame(s.theta);

  s.v2 = forward(s.vb[0], s.vb[1], s.vb[2], s.frame);
  s.v1 = forward(s.va[0], s.va[1], s.va[2], s.frame);
  s.vmag = guarded_sqrt(s.v1.d * s.v1.d + s.v1.q * s.v1.q, c.call_no, kGfmSqrtV);
  s.v2mag = guarded_sqrt(s.v2.d * s.v2.d + s.v2.q * s.v2.q, c.call_no, kGfmSqrtV2);
}

// 14. Voltage regulation and the magnitude.
void regulate_voltage(const GfmArgs& a, const GfmRecords& r, GfmStep& s) {
  s.ev = s.s_b == r.sel(kSelRegulation) ? guarded_div(s.v_set - s.vmag, s.vbase) : 0.0;
  const double ev_in = s.w == r.sel(kSelFreeze) ? 0.0 : s.ev;
  s.vr_integral = integral(r.init(kInitRegulation), ev_in);
  double v2_held = 0.0;
  sandh2(s.v2mag, s.s_a, 1, v2_held);
  s.e = v2_held + s.vbase * a.vr_ki * s.vr_integral + s.vbase * a.vr_kp * s.ev;
  s.selection = s.s_b == r.sel(kSelRegulatedMagnitude) ? s.e : s.v2mag - s.vmag + s.v_set;
  s.eh = 0.0;
  sandh2(s.selection, s.s_a, 1, s.eh);
  s.dqf = lag(kDroopLagT, s.qf - s.qh);
  s.magnitude = a.magnitude_sel == r.sel(kSelMagnitude) ? s.selection : s.eh - s.n * s.dqf;
}

// 15. Transient virtual resistance and the voltage reference.
void virtual_resistance(const GfmArgs& a, const GfmRecords& r, GfmStep& s) {
  const double xd_lag = lag(s.tv, s.rv * s.iadq.d), xq_lag = lag(s.tv, s.rv * s.iadq.q);
  s.xd = a.virtual_r_sel == r.sel(kSelVirtualRD) ? xd_lag - s.rv * s.iadq.d : 0.0;
  s.xq = a.virtual_r_sel == r.sel(kSelVirtualRQ) ? xq_lag - s.rv * s.iadq.q : 0.0;
  s.vref = Dq{s.xd, s.magnitude + s.xq};
}

// 16. Voltage loop; 17. current limiter: the d reference of the last step,
// the q of this one.
void voltage_loop_and_limit(const GfmArgs& a, GfmStep& s) {
  s.v2dq = Dq{s.v2.d, s.v2.q};
  s.iref = Dq{};
  s.one = 1;
  Dq idq{s.iadq.d, s.iadq.q};
  std::int32_t freeze = s.w;
  double vl_kff = a.vl_kff, cap_micro = s.bv.cap;
  voltage_loopdyn(s.v2dq, s.iref, idq, s.vref, freeze, vl_kff, s.omega, s.vl_kp, s.vl_ki, s.one, cap_micro);

  s.flag = 0;
  std::int32_t pulse = s.s_c, unit = 1, axis = 1, rec11 = 0, rec12 = 0, offset = 1;
  s.limited = Dq{};
  Dq lim_in{s.iref_d_last, s.iref[kAxisQ]};
  double divisor = s.v2.q, rating = a.rating_kva, kv = a.rated_kv, ilim = a.i_limit_pu, cap_pu = a.cap_pu;
  current_limiter_scaledyn(s.flag, s.limited, lim_in, divisor, rating, unit, kv, pulse, ilim, axis, rec11, rec12,
                           cap_pu, offset, s.v_rms);
}

// 18. Current loop on I_b; 19. phase EMFs [V]; arguments 52-54.
void current_loop_and_emfs(GfmArgs& a, GfmStep& s) {
  s.ibdq = forward(s.ib[0], s.ib[1], s.ib[2], s.frame);
  Dq ibm{s.ibdq.d, s.ibdq.q};
  s.uref = Dq{};
  double cl_kff = a.cl_kff, l1 = s.bv.l1;
  current_loop_1dyn(ibm, s.uref, s.v2dq, s.limited, cl_kff, s.omega, s.cl_kp, s.cl_ki, s.one, l1);

  s.ea = 0.0;
  s.eb = 0.0;
  s.ec = 0.0;
  s.ud = s.uref[kAxisD];
  s.uq = s.uref[kAxisQ];
  from_dq(s.frame, s.ud, s.uq, 0.0, s.ea, s.eb, s.ec);
  a.q_out = -kMilli * s.qf;
  a.p_out = kMilli * s.pf;
  a.f_out = s.omega / kTwoPi;
}

// 20. Output channels, all but the five the out pass measures.
void write_channels(const ModuleCall& c, const GfmArgs& a, const GfmStep& s) {
  const Dq0 icdq = forward(s.ic[0], s.ic[1], s.ic[2], s.frame);
  const Dq0 vcdq = forward(s.vc[0], s.vc[1], s.vc[2], s.frame);
  const double ndqf = s.n * s.dqf;
  const Dq0& iadq = s.iadq;
  const auto ch = [&c](std::int32_t k) -> double& { return e_s4::pgb(c.pgb_base + k); };
  ch(kGfmChDroopTerm) = (s.pf - s.p) * a.p_droop * a.p_filter;
  ch(kGfmChPowerError) = s.pf - s.p;
  ch(kGfmChSupportPower) = s.pfs;
  ch(kGfmChLimitsEnabled) = static_cast<double>(s.s_e);
  ch(kGfmChLimitedIrefQ) = s.limited[kAxisQ];
  ch(kGfmChLimiterActive) = static_cast<double>(s.flag);
  ch(kGfmChLimitedIrefD) = s.limited[kAxisD];
  ch(kGfmChMagnitudeRef) = s.magnitude;
  ch(kGfmChCapacitorDrop) = s.v2mag - s.vmag;
  ch(kGfmChLimitCorrection) = s.l_hi + s.l_lo;
  ch(kGfmChV2Magnitude) = s.v2mag;
  ch(kGfmChRegulatedE) = s.e;
  ch(kGfmChVoltageError) = guarded_div(s.v_set - s.vmag, s.vbase);
  ch(kGfmChVset) = s.v_set;
  ch(kGfmChUq) = s.uq;
  ch(kGfmChUd) = s.ud;
  ch(kGfmChDroopMagnitude) = s.eh - ndqf;
  ch(kGfmChDroopQTerm) = ndqf;
  ch(kGfmChIrefQ) = s.iref[kAxisQ];
  ch(kGfmChQHeld) = s.qh;
  ch(kGfmChQFiltered) = -kMilli * s.qf;
  ch(kGfmChIrefD) = s.iref[kAxisD];
  ch(kGfmChVqId) = s.pv_q * iadq.d;
  ch(kGfmChPHeld) = s.ph;
  ch(kGfmChPFiltered) = kMilli * s.pf;
  ch(kGfmChQ) = s.q;
  ch(kGfmChTheta) = s.theta;
  ch(kGfmChVdIq) = s.pv_d * iadq.q;
  ch(kGfmChEmfC) = s.ec;
  ch(kGfmChP) = s.p;
  ch(kGfmChEmfB) = s.eb;
  ch(kGfmChEmfA) = s.ea;
  ch(kGfmChGridI0) = iadq.z;
  ch(kGfmChGridIq) = iadq.q;
  ch(kGfmChTerminalSideV0) = s.va_pll.z;
  ch(kGfmChTerminalSideVq) = s.v1.q;
  ch(kGfmChGridId) = iadq.d;
  ch(kGfmChTerminalMinusIq) = -icdq.q;
  ch(kGfmChTerminalSideVd) = s.v1.d;
  ch(kGfmChTerminalId) = icdq.d;
  ch(kGfmChPllError) = s.va_pll.d;
  ch(kGfmChConverterIq) = s.ibdq.q;
  ch(kGfmChFilterCap) = s.bv.cap;
  ch(kGfmChCapVq) = s.v2.q;
  ch(kGfmChConverterId) = s.ibdq.d;
  ch(kGfmChCapVd) = s.v2.d;
  ch(kGfmChTerminalVq) = vcdq.q;
  ch(kGfmChPllOmega) = s.omega_pll;
  ch(kGfmChTerminalVd) = vcdq.d;
}

// 21. The network, groups in their fixed order.
void drive_network(const ModuleCall& c, const BranchValues& v, const double emf[3]) {
  using namespace wakro::devices;
  drive_group(c, kGfmGroupR2, kBrR2, kVarResistance, v.r2);
  drive_group(c, kGfmGroupC, kBrC, kVarCapacitance, v.cap);
  for (std::int32_t k = 0; k < kPhaseSources; ++k) {  // phases c, b, a
    const wakro::blocks::Slots<double> src = take_rtcf(kSourceConfigSize);
    wakro_1pvsrc(c.ss, c.branch(kBrSourceC + k), src(kSourceRamp), 0, emf[k] * kMilli, 0.0, src(kSourcePhase));
  }
  drive_group(c, kGfmGroupL2, kBrL2, kVarInductance, v.l2);
  drive_group(c, kGfmGroupR3, kBrR3, kVarResistance, v.r3);
  drive_group(c, kGfmGroupL1, kBrL1, kVarInductance, v.l1);
  drive_group(c, kGfmGroupR1, kBrR1, kVarResistance, v.r1);
}

// 22. Save: the signals the next pass starts from and this pass's working values.
void save_signals(const ModuleCall& c, const GfmArgs& a, const GfmStep& s) {
  c.f(kGfmTheta) = s.theta;
  c.f(kGfmPllAngle) = s.pll_angle;
  c.f(kGfmOmegaPll) = s.omega_pll;
  c.f(kGfmPf) = s.pf;
  c.f(kGfmIrefD) = s.iref[kAxisD];
  c.f(kGfmIrefQ) = s.iref[kAxisQ];
  c.f(kGfmVd) = s.v1.d;
  c.f(kGfmVq) = s.v1.q;
  c.f(kGfmVd2) = s.v2.d;
  c.f(kGfmVq2) = s.v2.q;
  c.f(kGfmOut50) = a.out50[0];
  c.f(kGfmOut50b) = a.out50[1];
  c.f(kGfmOut50c) = a.out50[2];
  c.f(kGfmOut51) = a.out51[0];
  c.f(kGfmOut51b) = a.out51[1];
  c.f(kGfmOut51c) = a.out51[2];
}

// 22, continued: the derived constants and branch values.
void save_constants(const ModuleCall& c, const GfmArgs& a, const GfmStep& s) {
  c.f(kGfmSb) = s.sb;
  c.f(kGfmVb) = s.vbase;
  c.f(kGfmOmega0) = s.omega0;
  c.f(kGfmZb) = s.zb;
  c.f(kGfmLb) = s.lb;
  c.f(kGfmTp) = s.tp;
  c.f(kGfmTv) = s.tv;
  c.f(kGfmVset) = s.v_set;
  c.f(kGfmPllKp) = s.pll_kp;
  c.f(kGfmPllKi) = s.pll_ki;
  c.f(kGfmM) = s.m;
  c.f(kGfmN) = s.n;
  c.f(kGfmClKp) = s.cl_kp;
  c.f(kGfmClKi) = s.cl_ki;
  c.f(kGfmVlKp) = s.vl_kp;
  c.f(kGfmVlKi) = s.vl_ki;
  c.f(kGfmRv) = s.rv;
  c.f(kGfmTheta0) = s.theta0;
  c.f(kGfmArg5Sb) = a.arg5 * a.rating_kva;
  c.f(kGfmR1) = s.bv.r1;
  c.f(kGfmL1) = s.bv.l1;
  c.f(kGfmR3) = s.bv.r3;
  c.f(kGfmR2) = s.bv.r2;
  c.f(kGfmL2) = s.bv.l2;
  c.f(kGfmCapMicro) = s.bv.cap;
}

// 22, continued: the controls' working values.
void save_controls(const ModuleCall& c, const GfmStep& s) {
  c.f(kGfmHold) = s.hold;
  c.f(kGfmThetaOff) = s.theta_off;
  c.f(kGfmPllError) = s.va_pll.d;
  c.f(kGfmFm) = s.fm;
  c.f(kGfmFsIntegral) = s.fs_integral;
  c.f(kGfmPfs) = s.pfs;
  c.f(kGfmP) = s.p;
  c.f(kGfmQ) = s.q;
  c.f(kGfmQf) = s.qf;
  c.f(kGfmPh) = s.ph;
  c.f(kGfmQh) = s.qh;
  c.f(kGfmLhi) = s.l_hi;
  c.f(kGfmLlo) = s.l_lo;
  c.f(kGfmDeltaP) = s.delta_p;
  c.f(kGfmOmega) = s.omega;
  c.f(kGfmAngleIntegral) = s.angle_integral;
  c.f(kGfmVmag) = s.vmag;
  c.f(kGfmV2mag) = s.v2mag;
  c.f(kGfmEv) = s.ev;
  c.f(kGfmVrIntegral) = s.vr_integral;
  c.f(kGfmE) = s.e;
  c.f(kGfmSelection) = s.selection;
  c.f(kGfmEh) = s.eh;
  c.f(kGfmDQf) = s.dqf;
  c.f(kGfmMagnitude) = s.magnitude;
  c.f(kGfmXd) = s.xd;
  c.f(kGfmXq) = s.xq;
  c.f(kGfmVrefD) = s.vref[kAxisD];
  c.f(kGfmVrefQ) = s.vref[kAxisQ];
}

// 22, continued: the loops' outputs, the EMFs and the flags.
void save_outputs(const ModuleCall& c, const GfmArgs& a, const GfmStep& s) {
  c.f(kGfmLimD) = s.limited[kAxisD];
  c.f(kGfmLimQ) = s.limited[kAxisQ];
  c.f(kGfmIbD) = s.ibdq.d;
  c.f(kGfmIbQ) = s.ibdq.q;
  c.f(kGfmUd) = s.uref[kAxisD];
  c.f(kGfmUq) = s.uref[kAxisQ];
  c.f(kGfmEa) = s.ea;
  c.f(kGfmEb) = s.eb;
  c.f(kGfmEc) = s.ec;
  c.f(kGfmId) = s.iadq.d;
  c.f(kGfmIq) = s.iadq.q;
  c.i(kGfmSa) = s.s_a;
  c.i(kGfmSb2) = s.s_b;
  c.i(kGfmSc) = s.s_c;
  c.i(kGfmSd) = s.s_d;
  c.i(kGfmSe) = s.s_e;
  c.i(kGfmW) = s.w;
  c.i(kGfmFlag) = s.flag;
  c.i(kGfmArg8) = a.hold_sel;
  c.i(kGfmArg9) = a.magnitude_sel;
  c.i(kGfmArg12) = a.v_meas_sel;
  c.i(kGfmArg13) = a.virtual_r_sel;
  c.i(kGfmArg44) = a.anti_windup;
}

}  // namespace

// One dyn pass: the steps run in their numbered order, each reading the
// working values the earlier ones left in the pass's record.
void gfm_inverter_dev2dyn(GfmArgs& a) {
  const ModuleCall c = enter_dyn(kGfmInverter);
  GfmStep s{};
  restore(c, a, s);
  open_data(kGfmInverter, "DATADSD:");
  set_flags(a, s);
  derive_constants(c, a, s);
  hold_angle(a, s);
  lock_phase(a, s);
  const GfmRecords r{take_rtci(kGfmSelectors), take_rtcf(kGfmInitials)};
  support_frequency(a, r, s);
  measure_powers(a, r, s);
  power_limits_and_droop(a, r, s);
  advance_angle(c, r, s);
  regulate_voltage(a, r, s);
  virtual_resistance(a, r, s);
  voltage_loop_and_limit(a, s);
  current_loop_and_emfs(a, s);
  write_channels(c, a, s);
  const double emf[3] = {s.ec, s.eb, s.ea};
  drive_network(c, s.bv, emf);  // 21
  save_signals(c, a, s);
  save_constants(c, a, s);
  save_controls(c, s);
  save_outputs(c, a, s);
  close_data();
}

void gfm_inverter_dev2out() {
  const ModuleCall c = enter_out(kGfmInverter);
  open_data(kGfmInverter, "DATADSO:");
  // 1. Group 1: V_c, I_b, V_b; Q of branches 1-3, the RMS voltage and phase of V_b.
  const wakro::blocks::Slots<double> g1 = take_rtcf(kGroupConfig);
  const double vc[3] = {voltage(c, kNodeVc), voltage(c, kNodeVc + 1), voltage(c, kNodeVc + 2)};
  const double ib[3] = {current(c, kBrIb), current(c, kBrIb + 1), current(c, kBrIb + 2)};
  const double vb[3] = {voltage(c, kNodeVb), voltage(c, kNodeVb + 1), voltage(c, kNodeVb + 2)};
  const double q13 = q3ph3(c.ss, c.branch(kBrIb), c.branch(kBrIb + 1), c.branch(kBrIb + 2), g1(kGroupSmoothing), 0) *
                     g1(kGroupScale);
  const double v_rms =
      vm3ph2(c.ss, c.node(kNodeVb), c.node(kNodeVb + 1), c.node(kNodeVb + 2), g1(kGroupSmoothing)) * g1(kGroupScale2);
  double phase_b = 0.0;
  mphase3ps(0, 0, vb[0], vb[1], vb[2], g1(kGroupSmoothing), g1(kGroupFrequency), phase_b);
  // 2. Group 2: I_a, V_a; P and Q of branches 7-9 and the phase of V_a.
  const wakro::blocks::Slots<double> g2 = take_rtcf(kGroupConfig);
  const double ia[3] = {current(c, kBrIa), current(c, kBrIa + 1), current(c, kBrIa + 2)};
  const double va[3] = {voltage(c, kNodeVa), voltage(c, kNodeVa + 1), voltage(c, kNodeVa + 2)};
  const double p79 = p3ph3(c.ss, c.branch(kBrIa), c.branch(kBrIa + 1), c.branch(kBrIa + 2), g2(kGroupSmoothing), 0) *
                     g2(kGroupScale);
  const double q79 = q3ph3(c.ss, c.branch(kBrIa), c.branch(kBrIa + 1), c.branch(kBrIa + 2), g2(kGroupSmoothing), 0) *
                     g2(kGroupScale);
  double phase_a = 0.0;
  mphase3ps(0, 0, va[0], va[1], va[2], g2(kGroupSmoothing), g2(kGroupFrequency), phase_a);
  // 3. Group 3: I_c and Q of branches 28-30.
  const wakro::blocks::Slots<double> g3 = take_rtcf(kGroupConfig);
  const double ic[3] = {current(c, kBrIc), current(c, kBrIc + 1), current(c, kBrIc + 2)};
  const double q2830 = q3ph3(c.ss, c.branch(kBrIc), c.branch(kBrIc + 1), c.branch(kBrIc + 2), g3(kGroupSmoothing), 0) *
                       g3(kGroupScale);
  // 4. The control modules.
  phaselocked_loopout();
  voltage_loopout();
  current_limiter_scaleout();
  current_loop_1out();
  // 5. Channels and the sets for the next dyn pass.
  const double u = phase_b - phase_a;
  e_s4::pgb(c.pgb_base + kGfmChPTerminalSide) = p79;
  e_s4::pgb(c.pgb_base + kGfmChQTerminalSide) = q79;
  e_s4::pgb(c.pgb_base + kGfmChQBridgeSide) = q13;
  e_s4::pgb(c.pgb_base + kGfmChQTerminal) = q2830;
  e_s4::pgb(c.pgb_base + kGfmChPhaseDifference) = u;
  for (std::int32_t k = 0; k < 3; ++k) {
    c.f(kGfmVa1 + k) = va[k] * kKilo;
    c.f(kGfmVb1 + k) = vb[k] * kKilo;
    c.f(kGfmVc1 + k) = vc[k] * kKilo;
    c.f(kGfmIa1 + k) = ia[k] * kKilo;
    c.f(kGfmIb1 + k) = ib[k] * kKilo;
    c.f(kGfmIc1 + k) = ic[k] * kKilo;
  }
  c.f(kGfmU) = u;
  c.f(kGfmVrms) = v_rms;
  c.f(kGfmPMeas) = p79;
  c.f(kGfmQMeas) = q79;
  c.f(kGfmQ13) = q13;
  c.f(kGfmQ2830) = q2830;
  c.f(kGfmPhaseB) = phase_b;
  c.f(kGfmPhaseA) = phase_a;
  close_data();
}

void gfm_inverter_dev2dyn_begin() {
  using namespace wakro::devices;
  const ModuleCall c = enter_begin(kGfmInverter);
  clear_dq_frames();
  take_rtci(kGfmHoldSelectors)(kSelAngleHold) = 1;
  phaselocked_loopdyn_begin();
  const wakro::blocks::Slots<std::int32_t> selectors = take_rtci(kGfmSelectors);
  for (std::int32_t k = 1; k <= kGfmSelectors; ++k) selectors(k) = 1;
  const wakro::blocks::Slots<double> initial = take_rtcf(kGfmInitials);
  for (std::int32_t k = 1; k <= kGfmInitials; ++k) initial(k) = 0.0;
  voltage_loopdyn_begin();
  current_limiter_scaledyn_begin();
  current_loop_1dyn_begin();
  configure_group(c, kGfmGroupR2, kBrR2, kVarResistance);
  configure_group(c, kGfmGroupC, kBrC, kVarCapacitance);
  const wakro::blocks::Slots<double> sources = take_rtcf(kPhaseSources * kSourceConfigSize);
  for (std::int32_t k = 1; k <= kPhaseSources * kSourceConfigSize; ++k) sources(k) = 0.0;
  configure_group(c, kGfmGroupL2, kBrL2, kVarInductance);
  configure_group(c, kGfmGroupR3, kBrR3, kVarResistance);
  configure_group(c, kGfmGroupL1, kBrL1, kVarInductance);
  configure_group(c, kGfmGroupR1, kBrR1, kVarResistance);
}

void gfm_inverter_dev2out_begin() {
  (void)enter_begin(kGfmInverter);
  const wakro::blocks::Slots<double> g1 = take_rtcf(kGroupConfig);
  g1(kGroupScale) = kKilo;
  g1(kGroupScale2) = 1.0;
  g1(kGroupSmoothing) = 0.02;
  g1(kGroupFrequency) = kNominalHz;
  const wakro::blocks::Slots<double> g2 = take_rtcf(kGroupConfig);
  g2(kGroupScale) = kKilo;
  g2(kGroupSmoothing) = 0.02;
  g2(kGroupFrequency) = kNominalHz;
  const wakro::blocks::Slots<double> g3 = take_rtcf(kGroupConfig);
  g3(kGroupScale) = kKilo;
  g3(kGroupSmoothing) = 0.02;
  phaselocked_loopout_begin();
  voltage_loopout_begin();
  current_limiter_scaleout_begin();
  current_loop_1out_begin();
}

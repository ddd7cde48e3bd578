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
#include "case/inverter_loops.h"
#include "devices/variable_branches.h"
#include "devices/voltage_sources.h"
#include "diag/message.h"
#include "diag/nodeaccess.h"
#include "machines/dq_library.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/storage.h"

namespace {

using namespace wakro::casecode;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_rtci;

constexpr double kLagBound = 1.0E+20;
constexpr double kIntegralBound = 1.0E+05;
constexpr double kInvSqrt3 = 0.577350269189626;
constexpr double kSqrt2 = 1.414213562373095;
constexpr double kCapBound = 1.0E+106;
constexpr double kNominalHz = 60.0;  // frequency support's fixed nominal
constexpr double kPllUpperFactorValue = 1.1, kPllLowerFactorValue = 0.8;
constexpr double kDroopLagT = 0.1;
constexpr double kMilli = 0.001;
constexpr double kKilo = 1000.0;
constexpr double kZbLow = 0.01, kZbHigh = 1.0E+04;

// Node positions within the record's 27 nodes and local branch numbers.
constexpr std::int32_t kNodeVa = 22, kNodeVb = 8, kNodeVc = 4;
constexpr std::int32_t kBrIb = 1, kBrSourceC = 4, kBrIa = 7, kBrR1 = 10, kBrL1 = 13, kBrR3 = 16, kBrR2 = 19,
                       kBrL2 = 22, kBrC = 25, kBrIc = 28;

double lag(double t, double x) { return realpole(0, 1, 0, 1.0, t, x, 0.0, -kLagBound, kLagBound); }

double integral(double x) {
  const double y0 = take_rtcf(1)(1);
  const XPair none{0.0, 0.0}, in{x, 0.0};
  return wakro_xint(0, 0, 0, y0, 1.0, 0.0, -kIntegralBound, kIntegralBound, none, in);
}

std::int32_t configured() { return take_rtci(1)(1); }

// A level comparator: HIGH when A > B, else LOW, as an integer.
std::int32_t compare(double A, double B, double high, double low) {
  XPair out{0.0, 0.0};
  wakro_x2comp(0, 0, A, B, high, 0.0, low, out);
  return static_cast<std::int32_t>(std::lround(out[0]));
}
// 1 when time >= t0.
std::int32_t from(double t0) { return compare(t0, e_s1::time, 0.0, 1.0); }

struct Dq0 {
  double d = 0.0, q = 0.0, z = 0.0;
};
Dq0 forward(double a, double b, double c, double theta) {
  Dq0 r;
  trdqo(a, b, c, r.d, r.q, r.z, theta, 1);
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

// Step 21: the network, groups in their fixed order.
void drive_network(const ModuleCall& c, const BranchValues& v, const double emf[3]) {
  using namespace wakro::devices;
  drive_group(c, kGfmGroupR2, kBrR2, kVarResistance, v.r2);
  drive_group(c, kGfmGroupC, kBrC, kVarCapacitance, v.cap);
  for (std::int32_t k = 0; k < 3; ++k) {  // branches 4, 5, 6: phases c, b, a
    const wakro::blocks::Slots<double> src = take_rtcf(2);
    wakro_1pvsrc(c.ss, c.branch(kBrSourceC + k), src(2), 0, emf[k] * kMilli, 0.0, src(1));
  }
  drive_group(c, kGfmGroupL2, kBrL2, kVarInductance, v.l2);
  drive_group(c, kGfmGroupR3, kBrR3, kVarResistance, v.r3);
  drive_group(c, kGfmGroupL1, kBrL1, kVarInductance, v.l1);
  drive_group(c, kGfmGroupR1, kBrR1, kVarResistance, v.r1);
}

double current(const ModuleCall& c, std::int32_t local) { return branches::cbr(c.branch(local), c.ss); }
double voltage(const ModuleCall& c, std::int32_t node) { return wakro_vvdc(c.ss, c.node(node), 0); }

}  // namespace

void gfm_inverter_dev2dyn(GfmArgs& a) {
  const ModuleCall c = enter_dyn(kGfmInverter);
  // 1. Restore: the kept arrays, last step's signals and the measured sets.
  a.out50 = {c.f(kGfmOut50), c.f(kGfmOut50b), c.f(kGfmOut50c)};
  a.out51 = {c.f(kGfmOut51), c.f(kGfmOut51b), c.f(kGfmOut51c)};
  const double theta_last = c.f(kGfmTheta), pll_last = c.f(kGfmPllAngle), pf_last = c.f(kGfmPf);
  const double iref_d_last = c.f(kGfmIrefD);
  const double vd_last = c.f(kGfmVd), vq_last = c.f(kGfmVq), vd2_last = c.f(kGfmVd2), vq2_last = c.f(kGfmVq2);
  const std::int32_t flag_last = c.i(kGfmFlag);
  const double va[3] = {c.f(kGfmVa1), c.f(kGfmVa2), c.f(kGfmVa3)};
  const double vb[3] = {c.f(kGfmVb1), c.f(kGfmVb2), c.f(kGfmVb3)};
  const double vc[3] = {c.f(kGfmVc1), c.f(kGfmVc2), c.f(kGfmVc3)};
  const double ia[3] = {c.f(kGfmIa1), c.f(kGfmIa2), c.f(kGfmIa3)};
  const double ib[3] = {c.f(kGfmIb1), c.f(kGfmIb2), c.f(kGfmIb3)};
  const double ic[3] = {c.f(kGfmIc1), c.f(kGfmIc2), c.f(kGfmIc3)};
  double v_rms = c.f(kGfmVrms);
  const double u = c.f(kGfmU);
  open_data(kGfmInverter, "DATADSD:");

  // 2. Flags, every step.
  const std::int32_t s_a = from(a.t_a);
  const std::int32_t s_b = compare(e_s1::time, a.t_b, 1.0, 0.0);
  const std::int32_t s_c = from(a.t_c);
  const std::int32_t s_d = from(a.t_d);
  const std::int32_t s_e = from(a.t_a + a.t_e);

  // 3. Derived constants and branch values.
  const double sb = kKilo * a.rating_kva, vbase = kKilo * a.rated_kv;
  const double omega0 = kTwoPi * a.f0;
  const double zb = guarded_div(vbase * vbase, sb);
  const double lb = guarded_div(zb, omega0);
  const double tp = guarded_div(kTwoPi, a.p_filter), tv = guarded_div(kTwoPi, a.v_filter);
  BranchValues bv{zb * a.r1_pu, lb * a.l1_pu, zb * a.r3_pu, zb * a.r2_pu, lb * a.l2_pu,
                  limit(-kCapBound, kCapBound, guarded_div(1.0E+06, omega0 * zb * a.cap_pu))};
  const double v_set = vbase * kInvSqrt3 * kSqrt2 * a.v_set_pu;
  double pll_kp = guarded_div(a.pll_kp, vbase), pll_ki = guarded_div(a.pll_ki, vbase);
  const double m = guarded_div(a.p_droop, sb), n = guarded_div(a.rated_kv * a.q_droop, -a.rating_kva);
  double cl_kp = zb * a.cl_kp, cl_ki = zb * a.cl_ki;
  double vl_kp = guarded_div(a.vl_kp, zb), vl_ki = guarded_div(a.vl_ki, zb);
  const double rv = zb * a.rv_pu;
  const double theta0 = a.phase_deg / 360.0 * kTwoPi;
  if (!(zb >= kZbLow && zb <= kZbHigh) && c.i(kGfmZbWarned) == 0) {
    c.i(kGfmZbWarned) = 1;
    wakro_warn(c.call_no, kGfmBase, wakro::msg::kSingleLine,
               "Base impedance outside 0.01 to 10000 ohm: is the rated power (argument 2) given in kVA?");
  }

  // 4. Angle hold.
  double hold = 0.0;
  sandh2((0.3 * a.hold_factor + 0.65) * u, s_a, 1, hold);
  const double theta_off = (a.hold_sel == configured() ? hold : 0.0) + theta0;

  // 5. Phase-locked loop on V_a at its last angle.
  const Dq0 va_pll = forward(va[0], va[1], va[2], pll_last);
  double pll_angle = 0.0, omega_pll = 0.0, pll_error = va_pll.d, f0 = a.f0, pll_filter = a.pll_filter,
         upper = kPllUpperFactorValue, lower = kPllLowerFactorValue;
  std::int32_t pll_sel = 0;
  phaselocked_loopdyn(pll_angle, pll_error, omega_pll, pll_filter, pll_kp, pll_ki, f0, upper, lower, pll_sel);

  // 6. Measured frequency.
  const std::int32_t sd_value = configured();
  const double fm_lag = lag(a.f_meas_t, omega_pll / kTwoPi);
  const double fm = s_d == sd_value ? fm_lag : kNominalHz;

  // 7. Frequency support.
  const double fs_integral = integral((kNominalHz - fm) * sb * a.fs_gain);
  const double pfs = samp5(fs_integral, guarded_inverse(a.fs_period), 0, 0.0, 0);

  // 8. Anti-windup: the limiter was active last step.
  const std::int32_t flag_set = configured();
  const std::int32_t w = (flag_last == flag_set && a.anti_windup != 0) ? 1 : 0;

  // 9. Powers from last step's voltages and this step's currents at last step's angle.
  const bool from_va = a.v_meas_sel == configured();
  const double pv_d = from_va ? vd_last : vd2_last, pv_q = from_va ? vq_last : vq2_last;
  const Dq0 iadq = forward(ia[0], ia[1], ia[2], theta_last);
  const double p = 1.5 * (pv_d * iadq.d + pv_q * iadq.q);
  const double q = 1.5 * (pv_q * iadq.d - pv_d * iadq.q);
  const double pf = lag(tp, p), qf = lag(tp, q);
  double ph = 0.0, qh = 0.0;
  sandh2(pf, s_a, 1, ph);
  sandh2(qf, s_a, 1, qh);

  // 10. Power-limit controllers.
  const double in_hi = s_e == configured() ? guarded_div(sb * a.p_high_pu - pf_last, sb) : 0.0;
  const double l_hi = wakro_xpi(0, a.lim_gain, a.lim_t, kTwoPi * a.f_range_high, 0.0, take_rtcf(1)(1),
                                XPair{in_hi, 0.0});
  const double in_lo = s_e == configured() ? guarded_div(sb * a.p_low_pu - pf_last, sb) : 0.0;
  const double l_lo = wakro_xpi(0, a.lim_gain, a.lim_t, 0.0, kTwoPi * a.f_range_low, take_rtcf(1)(1),
                                XPair{in_lo, 0.0});

  // 11. Droop.
  const double delta_p = s_a == configured() ? pfs + ph - pf : 0.0;
  double omega = omega0 * m * delta_p + l_hi + l_lo + omega0;

  // 12. The angle, its integrator wrapped by whole turns.
  const std::int32_t angle_record = storage::nstorf;
  const double angle_integral = integral(omega);
  wrap_angle_integrator(angle_record);
  const double theta = wrap_angle(angle_integral + theta_off);

  // 13. The voltages at the new angle and their magnitudes.
  const Dq0 v2 = forward(vb[0], vb[1], vb[2], theta);
  const Dq0 v1 = forward(va[0], va[1], va[2], theta);
  const double vmag = guarded_sqrt(v1.d * v1.d + v1.q * v1.q, c.call_no, kGfmSqrtV);
  const double v2mag = guarded_sqrt(v2.d * v2.d + v2.q * v2.q, c.call_no, kGfmSqrtV2);

  // 14. Voltage regulation and the magnitude.
  const double ev = s_b == configured() ? guarded_div(v_set - vmag, vbase) : 0.0;
  const double ev_in = w == configured() ? 0.0 : ev;
  const double vr_integral = integral(ev_in);
  double v2_held = 0.0;
  sandh2(v2mag, s_a, 1, v2_held);
  const double e = v2_held + vbase * a.vr_ki * vr_integral + vbase * a.vr_kp * ev;
  const double selection = s_b == configured() ? e : v2mag - vmag + v_set;
  double eh = 0.0;
  sandh2(selection, s_a, 1, eh);
  const double dqf = lag(kDroopLagT, qf - qh);
  const double magnitude = a.magnitude_sel == configured() ? selection : eh - n * dqf;

  // 15. Transient virtual resistance and the voltage reference.
  const double xd_lag = lag(tv, rv * iadq.d), xq_lag = lag(tv, rv * iadq.q);
  const double xd = a.virtual_r_sel == configured() ? xd_lag - rv * iadq.d : 0.0;
  const double xq = a.virtual_r_sel == configured() ? xq_lag - rv * iadq.q : 0.0;
  Dq vref{xd, magnitude + xq};

  // 16. Voltage loop.
  Dq v2dq{v2.d, v2.q}, iref{}, idq{iadq.d, iadq.q};
  std::int32_t freeze = w, one = 1;
  double vl_kff = a.vl_kff, cap_micro = bv.cap;
  voltage_loopdyn(v2dq, iref, idq, vref, freeze, vl_kff, omega, vl_kp, vl_ki, one, cap_micro);

  // 17. Current limiter: the d reference of the last step, the q of this one.
  std::int32_t flag = 0, pulse = s_c, unit = 1, axis = 1, rec11 = 0, rec12 = 0, offset = 1;
  Dq limited{}, lim_in{iref_d_last, iref[1]};
  double divisor = v2.q, rating = a.rating_kva, kv = a.rated_kv, ilim = a.i_limit_pu, cap_pu = a.cap_pu;
  current_limiter_scaledyn(flag, limited, lim_in, divisor, rating, unit, kv, pulse, ilim, axis, rec11, rec12, cap_pu,
                           offset, v_rms);

  // 18. Current loop on I_b.
  const Dq0 ibdq = forward(ib[0], ib[1], ib[2], theta);
  Dq ibm{ibdq.d, ibdq.q}, uref{};
  double cl_kff = a.cl_kff, l1 = bv.l1;
  current_loop_1dyn(ibm, uref, v2dq, limited, cl_kff, omega, cl_kp, cl_ki, one, l1);

  // 19. Phase EMFs [V]; arguments 52-54.
  double ea = 0.0, eb = 0.0, ec = 0.0, ud = uref[0], uq = uref[1], uz = 0.0;
  trdqo(ea, eb, ec, ud, uq, uz, theta, -1);
  a.q_out = -kMilli * qf;
  a.p_out = kMilli * pf;
  a.f_out = omega / kTwoPi;

  // 20. Output channels.
  Dq0 icdq = forward(ic[0], ic[1], ic[2], theta);
  const Dq0 vcdq = forward(vc[0], vc[1], vc[2], theta);
  const double ndqf = n * dqf;
  const double ch[55] = {0.0,
                         (pf - p) * a.p_droop * a.p_filter, pf - p, pfs, static_cast<double>(s_e), limited[1],
                         static_cast<double>(flag), limited[0], magnitude, v2mag - vmag, l_hi + l_lo,
                         v2mag, e, guarded_div(v_set - vmag, vbase), v_set, uq, ud, eh - ndqf, ndqf, iref[1],
                         qh, -kMilli * qf, iref[0], 0.0 /*23: out pass*/, pv_q * iadq.d, ph, kMilli * pf, q,
                         theta, pv_d * iadq.q, 0.0 /*30*/, ec, p, 0.0 /*33*/, eb, 0.0 /*35*/, ea, iadq.z,
                         iadq.q, va_pll.z, v1.q, iadq.d, -icdq.q, v1.d, icdq.d, va_pll.d, ibdq.q, bv.cap, v2.q,
                         ibdq.d, v2.d, 0.0 /*51*/, vcdq.q, omega_pll, vcdq.d};
  for (std::int32_t k : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 26,
                         27, 28, 29, 31, 32, 34, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 52,
                         53, 54})
    e_s4::pgb(c.pgb_base + k) = ch[k];

  // 21. The network.
  const double emf[3] = {ec, eb, ea};
  drive_network(c, bv, emf);

  // 22. Save.
  c.f(kGfmTheta) = theta;
  c.f(kGfmPllAngle) = pll_angle;
  c.f(kGfmOmegaPll) = omega_pll;
  c.f(kGfmPf) = pf;
  c.f(kGfmIrefD) = iref[0];
  c.f(kGfmIrefQ) = iref[1];
  c.f(kGfmVd) = v1.d;
  c.f(kGfmVq) = v1.q;
  c.f(kGfmVd2) = v2.d;
  c.f(kGfmVq2) = v2.q;
  c.f(kGfmOut50) = a.out50[0];
  c.f(kGfmOut50b) = a.out50[1];
  c.f(kGfmOut50c) = a.out50[2];
  c.f(kGfmOut51) = a.out51[0];
  c.f(kGfmOut51b) = a.out51[1];
  c.f(kGfmOut51c) = a.out51[2];
  c.f(kGfmSb) = sb;
  c.f(kGfmVb) = vbase;
  c.f(kGfmOmega0) = omega0;
  c.f(kGfmZb) = zb;
  c.f(kGfmLb) = lb;
  c.f(kGfmTp) = tp;
  c.f(kGfmTv) = tv;
  c.f(kGfmVset) = v_set;
  c.f(kGfmPllKp) = pll_kp;
  c.f(kGfmPllKi) = pll_ki;
  c.f(kGfmM) = m;
  c.f(kGfmN) = n;
  c.f(kGfmClKp) = cl_kp;
  c.f(kGfmClKi) = cl_ki;
  c.f(kGfmVlKp) = vl_kp;
  c.f(kGfmVlKi) = vl_ki;
  c.f(kGfmRv) = rv;
  c.f(kGfmTheta0) = theta0;
  c.f(kGfmArg5Sb) = a.arg5 * a.rating_kva;
  c.f(kGfmR1) = bv.r1;
  c.f(kGfmL1) = bv.l1;
  c.f(kGfmR3) = bv.r3;
  c.f(kGfmR2) = bv.r2;
  c.f(kGfmL2) = bv.l2;
  c.f(kGfmCapMicro) = bv.cap;
  c.f(kGfmHold) = hold;
  c.f(kGfmThetaOff) = theta_off;
  c.f(kGfmPllError) = va_pll.d;
  c.f(kGfmFm) = fm;
  c.f(kGfmFsIntegral) = fs_integral;
  c.f(kGfmPfs) = pfs;
  c.f(kGfmP) = p;
  c.f(kGfmQ) = q;
  c.f(kGfmQf) = qf;
  c.f(kGfmPh) = ph;
  c.f(kGfmQh) = qh;
  c.f(kGfmLhi) = l_hi;
  c.f(kGfmLlo) = l_lo;
  c.f(kGfmDeltaP) = delta_p;
  c.f(kGfmOmega) = omega;
  c.f(kGfmAngleIntegral) = angle_integral;
  c.f(kGfmVmag) = vmag;
  c.f(kGfmV2mag) = v2mag;
  c.f(kGfmEv) = ev;
  c.f(kGfmVrIntegral) = vr_integral;
  c.f(kGfmE) = e;
  c.f(kGfmSelection) = selection;
  c.f(kGfmEh) = eh;
  c.f(kGfmDQf) = dqf;
  c.f(kGfmMagnitude) = magnitude;
  c.f(kGfmXd) = xd;
  c.f(kGfmXq) = xq;
  c.f(kGfmVrefD) = vref[0];
  c.f(kGfmVrefQ) = vref[1];
  c.f(kGfmLimD) = limited[0];
  c.f(kGfmLimQ) = limited[1];
  c.f(kGfmIbD) = ibdq.d;
  c.f(kGfmIbQ) = ibdq.q;
  c.f(kGfmUd) = uref[0];
  c.f(kGfmUq) = uref[1];
  c.f(kGfmEa) = ea;
  c.f(kGfmEb) = eb;
  c.f(kGfmEc) = ec;
  c.f(kGfmId) = iadq.d;
  c.f(kGfmIq) = iadq.q;
  c.i(kGfmSa) = s_a;
  c.i(kGfmSb2) = s_b;
  c.i(kGfmSc) = s_c;
  c.i(kGfmSd) = s_d;
  c.i(kGfmSe) = s_e;
  c.i(kGfmW) = w;
  c.i(kGfmFlag) = flag;
  c.i(kGfmArg8) = a.hold_sel;
  c.i(kGfmArg9) = a.magnitude_sel;
  c.i(kGfmArg12) = a.v_meas_sel;
  c.i(kGfmArg13) = a.virtual_r_sel;
  c.i(kGfmArg44) = a.anti_windup;
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
  e_s4::pgb(c.pgb_base + 23) = p79;
  e_s4::pgb(c.pgb_base + 30) = q79;
  e_s4::pgb(c.pgb_base + 33) = q13;
  e_s4::pgb(c.pgb_base + 35) = q2830;
  e_s4::pgb(c.pgb_base + 51) = u;
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
  take_rtci(1)(1) = 1;
  phaselocked_loopdyn_begin();
  const wakro::blocks::Slots<std::int32_t> selectors = take_rtci(12);
  for (std::int32_t k = 1; k <= 12; ++k) selectors(k) = 1;
  const wakro::blocks::Slots<double> initial = take_rtcf(5);
  for (std::int32_t k = 1; k <= 5; ++k) initial(k) = 0.0;
  voltage_loopdyn_begin();
  current_limiter_scaledyn_begin();
  current_loop_1dyn_begin();
  configure_group(c, kGfmGroupR2, kBrR2, kVarResistance);
  configure_group(c, kGfmGroupC, kBrC, kVarCapacitance);
  const wakro::blocks::Slots<double> sources = take_rtcf(6);
  for (std::int32_t k = 1; k <= 6; ++k) sources(k) = 0.0;
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

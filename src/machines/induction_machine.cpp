// The induction machine in its configuration-pair forms (see induction_machine.h).
#include "machines/induction_machine.h"

#include <cmath>

#include "blocks/slots.h"
#include "devices/device_support.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "network/companion.h"
#include "network/solution.h"

namespace wakro::machines {

namespace {

using blocks::Slots;

constexpr double kThird = 0.333333333333333;
constexpr double kRootHalf = 0.707106781186548;
constexpr double kInvRoot3 = 0.577350269189626;
constexpr double kRoot3 = 1.732050807568877;
constexpr double kTwoPiAngle = 6.283185307179586;
constexpr double kThreePeriods = 18.84955592153876;  // start-up ramp, in units of 1 / wb
constexpr double kLeastVoltage = 0.001;
constexpr double kFactorMove = 1e-6;
constexpr double kDivergence = 1e10;
constexpr std::int32_t kMaxExtraCages = 3;
constexpr std::int32_t kRotorSaturationOn = 2;
constexpr std::int32_t kRotorAsIs = 1;
constexpr std::int32_t kKindImpedance = 12;
constexpr std::int32_t kSeverityError = 2;
constexpr std::int32_t kSingleLine = 1;

std::int64_t inversions = 0;

enum class Form { first, second };

void refusal(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, kSeverityError, kSingleLine, text);
}

// X'' of the stator: X(2) in series with X(1) parallel to every rotor
// circuit's total leakage.
double subtransient_reactance(const ReactanceVector& x, std::int32_t n) {
  WindingMatrix m{};
  frmlmat_nv(x, 1.0, m, n);
  double y = 1.0 / x[0];
  for (std::int32_t i = 2; i <= n; ++i) y += 1.0 / (at(m, i, i) - x[0]);
  return x[1] + 1.0 / y;
}

void induction_cfg(const InductionData& d, Form form) {
  // Every failed check is reported, then the run stops once.
  bool refused = false;
  if (d.voltage < kLeastVoltage) {
    refusal("Unrealistic rated voltage");
    refused = true;
  }
  if (d.extra_cages < 0 || d.extra_cages > kMaxExtraCages) {
    refusal("The number of extra rotor cages must lie between 0 and 3");
    refused = true;
  }
  if (d.turns == 0.0) {
    refusal("The stator-to-rotor turns ratio must not be zero");
    refused = true;
  }
  if (d.x[1] == 0.0) {
    refusal("The stator leakage reactance X(2) must not be zero");
    refused = true;
  }
  if (d.x[2] == 0.0) {
    refusal("The rotor leakage reactance X(3) must not be zero");
    refused = true;
  }
  if (refused) wakro_quit(kInductionTag, 0);

  const std::int32_t n = d.extra_cages + 2;
  const Slots<double> c = blocks::take_rtcf(kIcReals);
  const auto cf = [&c](std::int32_t k) -> double& { return c(k + 1); };
  blocks::take_rtci(1)(1) = n;
  if (form == Form::second) blocks::take_rtcl(1)(1) = d.rotor_option == kRotorSaturationOn;
  for (std::int32_t k = 0; k < 5; ++k) cf(kIcR + k) = d.r[static_cast<std::size_t>(k)];
  for (std::int32_t k = 0; k < 12; ++k) cf(kIcX + k) = d.x[static_cast<std::size_t>(k)];
  cf(kIcPower) = d.power;
  cf(kIcInverseV) = form == Form::second ? 1.0 / d.voltage : kRoot3 / d.voltage;
  const double zb = (form == Form::second ? 3.0 : 1.0) * d.voltage * d.voltage / d.power;
  cf(kIcBaseW) = d.base_w;
  cf(kIcInertia) = d.inertia;
  cf(kIcDamping) = d.damping;
  const double dt = e_s1::delt;
  cf(kIcStatorG) = d.base_w * dt / (2.0 * zb * subtransient_reactance(d.x, n));
  for (std::int32_t k = 0; k < kCurvePointCount; ++k) {
    const auto u = static_cast<std::size_t>(k);
    cf(kIcMagCurve + 2 * k) = d.mag_x[u];
    cf(kIcMagCurve + 2 * k + 1) = d.mag_y[u];
    cf(kIcLeakCurve + 2 * k) = d.leak_x[u];
    cf(kIcLeakCurve + 2 * k + 1) = d.leak_y[u];
  }
  cf(kIcTurns) = d.turns;
  cf(kIcRotorG) = d.base_w * dt / (2.0 * (zb / (d.turns * d.turns)) * d.x[2]);
  cf(kIcRcResistance) = d.rc_resistance;
  cf(kIcRcFactor) = d.rc_factor;
}

// The inverse of the winding inductance matrix of x into the block.
void form_inverse(const ReactanceVector& x, double wb, std::int32_t n, WindingMatrix& inverse,
                  std::int32_t block_offset) {
  WindingMatrix l{};
  frmlmat_nv(x, wb, l, n);
  inverse_nv(l, inverse, n);
  ++inversions;
  stormat_nv(inverse, block_offset, 1, n);
}

bool finite_all(const WindingVector& a, const WindingVector& b, std::int32_t n) {
  for (std::int32_t i = 0; i < n; ++i)
    if (!std::isfinite(a[static_cast<std::size_t>(i)]) || !std::isfinite(b[static_cast<std::size_t>(i)]))
      return false;
  return true;
}

void induction_exe(const InductionStepIn& in, Form form) {
  const std::int32_t block_size = form == Form::second ? kImBlock2 : kImBlock1;
  const std::int32_t nexc0 = e_s2::nexc;
  const Slots<double> s = blocks::take_stor(block_size);
  const Slots<double> c = blocks::take_rtcf(kIcReals);
  const std::int32_t n = blocks::take_rtci(1)(1);
  const bool rotor_saturation = form == Form::second && blocks::take_rtcl(1)(1);
  const bool rotor_as_is = form == Form::second && in.zero_sequence == kRotorAsIs;
  const auto cf = [&c](std::int32_t k) { return c(k + 1); };
  // Positions relative to the present pointers, for the routines that address
  // the stores from them.
  const std::int32_t inverse_offset = nexc0 + kImInverse - 1 - e_s2::nexc;
  const auto curve_offset = [&c](std::int32_t k) { return c.index(k + 1) - rt_config::nrtcf; };

  // 1. The constants.
  WindingVector r{};
  for (std::int32_t k = 0; k < 5; ++k) r[static_cast<std::size_t>(k)] = cf(kIcR + k);
  ReactanceVector x{};
  for (std::int32_t k = 0; k < 12; ++k) x[static_cast<std::size_t>(k)] = cf(kIcX + k);
  const double power = cf(kIcPower), inv_v = cf(kIcInverseV), wb = cf(kIcBaseW);
  const double inertia = cf(kIcInertia), damping = cf(kIcDamping), g_stator = cf(kIcStatorG);
  const double turns = cf(kIcTurns), g_rotor = cf(kIcRotorG);
  const double ib = inv_v * kThird * power;
  const double zb = 3.0 / (inv_v * inv_v * power);
  const double dt = e_s1::delt;
  const std::int32_t ss = in.ss;

  if (in.mode == 0 && inertia == 0.0) {
    refusal("The inertia must not be zero when the speed follows the mechanical equation");
    wakro_quit(kInductionTag, 0);
  }

  WindingMatrix inverse{};
  // 2. Time zero: speed, matrix, registry records, branch conductances, R-C branches.
  if (e_s1::timezero) {
    if (in.mode == 1) s(kImSpeed) = in.speed;
    form_inverse(x, wb, n, inverse, inverse_offset);
    const double x_ohm_stator = dt / (2.0 * g_stator);
    for (std::int32_t br : in.stator) {
      devices::harm_branch_record(br, ss);
      devices::harm_record(kKindImpedance, ss, {branches::ief(br, ss), branches::iet(br, ss)},
                           {r[0] * zb, x_ohm_stator, -1.0});
    }
    for (std::int32_t br : in.rotor) {
      if (br == 0) continue;
      devices::harm_branch_record(br, ss);
      devices::harm_record(kKindImpedance, ss, {branches::ief(br, ss), branches::iet(br, ss)},
                           {r[1] * zb, x[2] * zb / wb, -1.0});
    }
    for (std::int32_t br : in.stator) {
      branches::defrdbr(br, ss) = true;
      branches::geq(br, ss) = g_stator;
    }
    for (std::int32_t br : in.rotor) {
      if (br == 0) continue;
      branches::defrdbr(br, ss) = true;
      branches::geq(br, ss) = g_rotor;
    }
    const double rs = cf(kIcRcResistance) * zb;
    const double cs = cf(kIcRcFactor) * dt * 1e6 / rs;
    for (std::int32_t br : in.stator_rc) rcbranch(ss, br, rs, cs);
    const double rr = rs / (turns * turns);
    const double cr = cf(kIcRcFactor) * dt * 1e6 / rr;
    for (std::size_t k = 0; k < 3; ++k) {
      if (in.rotor_rc[k] == 0) continue;
      if (in.rotor[k] != 0) {
        rcbranch(ss, in.rotor_rc[k], rr, cr);
      } else {
        rcbranch(ss, in.rotor_rc[k], -1.0, cr);
      }
    }
  }

  // 3. The state.
  FluxStep f;
  f.r = r;
  f.x0 = x[1];
  WindingVector id{}, iq{};
  for (std::int32_t i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    f.psi_d[u] = s(kImPsiD + i);
    f.psi_q[u] = s(kImPsiQ + i);
    id[u] = s(kImId + i);
    iq[u] = s(kImIq + i);
  }
  f.psi_0 = s(kImPsi0);
  const double i0_old = s(kImI0);
  stormat_nv(inverse, inverse_offset, 0, n);
  const double te = s(kImTorque);
  const double dw_old = s(kImDSpeed);

  // 4. Mechanical step.
  const double w_old = s(kImSpeed);
  double w_new = in.speed;
  if (in.mode == 0) {
    const double dw = ((te - in.load_torque) - damping * w_old) / inertia;
    w_new = (dw_old + dw) * dt * 0.5 + w_old;
    s(kImDSpeed) = dw;
  }
  s(kImSpeed) = w_new;

  // 5. Angle.
  double theta = s(kImAngle) + dt * wb * 0.5 * (w_old + w_new);
  if (theta >= kTwoPiAngle) theta -= kTwoPiAngle;
  if (theta <= -kTwoPiAngle) theta += kTwoPiAngle;
  s(kImAngle) = theta;

  // 6. Stator voltages in the rotor frame.
  Phases vabc{}, vdq0{};
  for (std::size_t k = 0; k < 3; ++k) vabc[k] = vbranch(ss, in.stator[k]) * inv_v;
  trns_nv(vabc, vdq0, theta, 1);
  s(kImVd) = vdq0[0];
  s(kImVq) = vdq0[1];
  s(kImV0) = vdq0[2];

  // 7. Rotor voltages, referred to the stator.
  Phases vr{};
  for (std::size_t k = 0; k < 3; ++k) vr[k] = in.rotor[k] != 0 ? vbranch(ss, in.rotor[k]) * turns * inv_v : 0.0;
  const double mean = rotor_as_is ? 0.0 : (vr[0] + vr[1] + vr[2]) * kThird;
  const double valpha = (2.0 * (vr[0] - mean) - (vr[1] - mean) - (vr[2] - mean)) * kThird;
  const double vbeta = ((vr[2] - mean) - (vr[1] - mean)) * kInvRoot3;
  s(kImValpha) = valpha;
  s(kImVbeta) = vbeta;

  // 8. Derivatives at the start of the step.
  for (std::int32_t i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    f.dpsi_d[u] = -r[u] * id[u];
    f.dpsi_q[u] = -r[u] * iq[u];
  }
  f.dpsi_d[0] += vdq0[0] - w_old * wb * f.psi_q[0];
  f.dpsi_q[0] += vdq0[1] + w_old * wb * f.psi_d[0];
  f.dpsi_d[1] += valpha;
  f.dpsi_q[1] += vbeta;
  f.dpsi_0 = vdq0[2] - r[0] * i0_old;

  // 9. Divergence: a rotor d-axis derivative above 1e10, or anything not finite.
  bool diverged = !finite_all(f.psi_d, f.psi_q, n) || !finite_all(f.dpsi_d, f.dpsi_q, n) ||
                  !std::isfinite(f.psi_0) || !std::isfinite(f.dpsi_0);
  for (std::int32_t i = 1; i < n; ++i) diverged = diverged || f.dpsi_d[static_cast<std::size_t>(i)] > kDivergence;
  if (diverged) {
    refusal("Integration Error");
    wakro_quit(kInductionTag, 0);
  }

  // 10-11. The flux step, with the stator voltages at the predicted angle.
  const double theta_p = theta + (w_old + w_new) * 0.5 * wb * dt;
  Phases vp{};
  trns_nv(vabc, vp, theta_p, 1);
  euler_nv(f, inverse, w_new, vp, wb, valpha, vbeta, n);

  // 12-13. Saturation factors from the currents at the step's start, on the
  // start-up ramp.
  const double ramp_end = kThreePeriods / wb;
  const double ramp = e_s1::time >= ramp_end ? 1.0 : e_s1::time / ramp_end;
  double sum_d = 0.0, sum_q = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    sum_d += id[static_cast<std::size_t>(i)];
    sum_q += iq[static_cast<std::size_t>(i)];
  }
  const double i_mag = std::hypot(sum_d, sum_q) * kRootHalf * ramp;
  const double i_stator = (std::hypot(id[0], iq[0]) * kRootHalf + i0_old) * ramp;
  const double i_rotor = std::hypot(id[1], iq[1]) * kRootHalf * ramp;
  double f1 = 1.0, f2 = 1.0, f3 = 1.0;
  satur_nvrt(i_mag, f1, curve_offset(kIcMagCurve));
  satur_nvrt(i_stator, f2, curve_offset(kIcLeakCurve));
  if (form == Form::second) satur_nvrt(i_rotor, f3, curve_offset(kIcLeakCurve));

  // 14. A moved factor re-forms the matrix from the unsaturated reactances.
  double x0 = x[1];
  const bool moved = std::fabs(f2 - s(kImStatorLeakFactor)) > kFactorMove ||
                     std::fabs(f1 - s(kImMagFactor)) > kFactorMove ||
                     (rotor_saturation && std::fabs(f3 - s(kImRotorLeakFactor)) > kFactorMove);
  if (moved) {
    s(kImMagFactor) = f1;
    s(kImStatorLeakFactor) = f2;
    if (form == Form::second) s(kImRotorLeakFactor) = f3;
    ReactanceVector xs = x;
    xs[0] *= f1;
    xs[1] *= f2;
    if (rotor_saturation) xs[2] *= f3;
    x0 = xs[1];
    form_inverse(xs, wb, n, inverse, inverse_offset);
  }

  // 15. The new currents.
  for (std::int32_t i = 0; i < n; ++i) {
    double a = 0.0, b = 0.0;
    for (std::int32_t j = 0; j < n; ++j) {
      a += at(inverse, i + 1, j + 1) * f.psi_d[static_cast<std::size_t>(j)];
      b += at(inverse, i + 1, j + 1) * f.psi_q[static_cast<std::size_t>(j)];
    }
    id[static_cast<std::size_t>(i)] = a;
    iq[static_cast<std::size_t>(i)] = b;
  }
  const double i0 = f.psi_0 * wb / x0;

  // 16. Stator phase currents.
  Phases iabc{};
  Phases idq0{id[0], iq[0], i0};
  trns_nv(iabc, idq0, theta, 0);

  // 17. The state.
  for (std::int32_t i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    s(kImPsiD + i) = f.psi_d[u];
    s(kImPsiQ + i) = f.psi_q[u];
    s(kImId + i) = id[u];
    s(kImIq + i) = iq[u];
    s(kImDPsiD + i) = f.dpsi_d[u];
    s(kImDPsiQ + i) = f.dpsi_q[u];
  }
  s(kImPsi0) = f.psi_0;
  s(kImI0) = i0;
  s(kImDPsi0) = f.dpsi_0;

  // 18. Stator branch sources.
  for (std::size_t k = 0; k < 3; ++k) {
    const std::int32_t br = in.stator[k];
    branches::ccbr(br, ss) = iabc[k] * ib * ramp - g_stator * vbranch(ss, br);
  }

  // 19. Rotor branch sources (not ramped).
  const double ia = id[1], ibeta = iq[1], cr = turns * ib;
  Phases t{};
  const Phases rotor_i{cr * ia, (cr * 0.5) * (-ia - kRoot3 * ibeta), (cr * 0.5) * (kRoot3 * ibeta - ia)};
  for (std::size_t k = 0; k < 3; ++k)
    t[k] = in.rotor[k] != 0 ? g_rotor * vbranch(ss, in.rotor[k]) - rotor_i[k] : 0.0;
  const double tmean = rotor_as_is ? 0.0 : (t[0] + t[1] + t[2]) * kThird;
  for (std::size_t k = 0; k < 3; ++k)
    if (in.rotor[k] != 0) branches::ccbr(in.rotor[k], ss) = tmean - t[k];

  // 20-21. Torques and speed for the case code.
  const double te_new = (id[0] * f.psi_q[0] - iq[0] * f.psi_d[0]) * wb * 0.5;
  s(kImTorque) = te_new;
  s(kImLoadTorque) = in.mode == 1 ? te_new - ((w_new - w_old) / dt) * inertia - w_new * damping : in.load_torque;
  s(kImSpeedCopy) = w_new;
}

}  // namespace

void inducmc2_cfg(const InductionData& d) { induction_cfg(d, Form::second); }
void inducmc1_cfg(const InductionData& d) { induction_cfg(d, Form::first); }
void inducmc2_exe(const InductionStepIn& in) { induction_exe(in, Form::second); }
void inducmc1_exe(const InductionStepIn& in) { induction_exe(in, Form::first); }
std::int64_t induction_inversions() { return inversions; }

}  // namespace wakro::machines

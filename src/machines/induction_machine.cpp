// The induction machine in its configuration-pair forms (see induction_machine.h).
#include "machines/induction_machine.h"

#include <cmath>
#include <span>
#include <string>
#include <utility>

#include "blocks/slots.h"
#include "devices/device_support.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/fnames.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "diag/console.h"
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

// The checks of a machine's data; every failed one is reported. True when any
// failed.
bool data_refused(const InductionData& d) {
  bool refused = false;
  // Every real argument finite, the rated power and base frequency positive
  // (the bases and the conductances divide by them).
  const auto not_finite = [&refused](const std::string& name) {
    refusal(name + " is not a finite number");
    refused = true;
  };
  const std::pair<const char*, double> scalars[] = {
      {"The rated power S", d.power},     {"The rated voltage V", d.voltage},   {"The base frequency wb", d.base_w},
      {"The inertia J", d.inertia},       {"The damping D", d.damping},         {"The turns ratio a", d.turns},
      {"The R-C resistance", d.rc_resistance}, {"The R-C time constant factor", d.rc_factor}};
  for (const auto& [name, value] : scalars)
    if (!std::isfinite(value)) not_finite(name);
  const auto each = [&not_finite](const char* name, std::span<const double> values) {
    for (std::size_t k = 0; k < values.size(); ++k)
      if (!std::isfinite(values[k])) not_finite(std::string(name) + "(" + std::to_string(k + 1) + ")");
  };
  each("R", d.r);
  each("X", d.x);
  each("The leakage curve x", d.leak_x);
  each("The leakage curve y", d.leak_y);
  each("The magnetising curve x", d.mag_x);
  each("The magnetising curve y", d.mag_y);
  if (!(d.power > 0.0) && std::isfinite(d.power)) {
    refusal("The rated power S must be greater than zero");
    refused = true;
  }
  if (!(d.base_w > 0.0) && std::isfinite(d.base_w)) {
    refusal("The base frequency wb must be greater than zero");
    refused = true;
  }
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
  return refused;
}

void induction_cfg(const InductionData& d, Form form) {
  // Every failed check is reported, then the run stops once.
  if (data_refused(d)) wakro_quit(kInductionTag, 0);

  const std::int32_t n = d.extra_cages + 2;
  const Slots<double> c = blocks::take_rtcf(kIcReals);
  const auto cf = [&c](std::int32_t k) -> double& { return c(k + 1); };
  blocks::next_rtci() = n;
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

// Where a form keeps its state: the slot of each quantity in its block.
struct Layout {
  std::int32_t psi_d, psi_q, psi_0, id, iq, i0, speed, angle, dpsi_d, dpsi_q, dpsi_0, inverse, torque, dspeed,
      mag_factor, vd, leak_factor, valpha, vbeta, load_torque, speed_copy, rotor_leak_factor;
};
constexpr Layout kPairLayout{kImPsiD,       kImPsiQ,      kImPsi0,          kImId,         kImIq,
                             kImI0,         kImSpeed,     kImAngle,         kImDPsiD,      kImDPsiQ,
                             kImDPsi0,      kImInverse,   kImTorque,        kImDSpeed,     kImMagFactor,
                             kImVd,         kImStatorLeakFactor, kImValpha, kImVbeta,      kImLoadTorque,
                             kImSpeedCopy,  kImRotorLeakFactor};
constexpr Layout kSingleLayout{kSmPsiD,       kSmPsiQ,      kSmPsi0,          kSmId,         kSmIq,
                               kSmI0,         kSmSpeed,     kSmAngle,         kSmDPsiD,      kSmDPsiQ,
                               kSmDPsi0,      kSmInverse,   kSmTorque,        kSmDSpeed,     kSmMagFactor,
                               kSmVd,         kSmLeakFactor, kSmValpha,       kSmVbeta,      kSmLoadTorque,
                               kSmSpeedCopy,  0};

// The machine's constants for one step.
struct Machine {
  std::int32_t n = 2;
  WindingVector r{};
  ReactanceVector x{};
  double wb = 0.0, inertia = 0.0, damping = 0.0;
  bool rotor_saturation = false;
  bool console_texts = false;  // the single routine's divergence texts
};

// What the step hands to the network side.
struct StepOut {
  Phases i_abc{};          // stator phase currents, per unit
  double i_alpha = 0.0;    // rotor circuit currents, per unit
  double i_beta = 0.0;
  double i0 = 0.0;
  double ramp = 1.0;
  // The end-of-step voltages the step assumed, per unit: the stator phases
  // and the rotor's alpha and beta components. The branch companions correct
  // from these to the voltages the network then finds.
  Phases v_end{};
  double v_alpha_end = 0.0;
  double v_beta_end = 0.0;
};

// Steps 3 to 17 and 20 to 21 of the machine, common to every form: the
// mechanical step, the angle, the frame voltages, the start derivatives and the
// divergence check, the flux step, saturation and the new currents. sat gives
// the three factors from the magnetising, stator and rotor currents.
template <class Saturation>
StepOut machine_step(const Slots<double>& s, const Layout& L, const Machine& m, const InductionStepIn& in,
                     const Phases& vabc, double valpha, double vbeta, std::int32_t inverse_offset, Saturation sat) {
  const std::int32_t n = m.n;
  const double dt = e_s1::delt, wb = m.wb;
  // 3. The state.
  FluxStep f;
  f.r = m.r;
  f.x0 = m.x[1];
  WindingVector id{}, iq{};
  for (std::int32_t i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    f.psi_d[u] = s(L.psi_d + i);
    f.psi_q[u] = s(L.psi_q + i);
    id[u] = s(L.id + i);
    iq[u] = s(L.iq + i);
  }
  f.psi_0 = s(L.psi_0);
  const double i0_old = s(L.i0);
  WindingMatrix inverse{};
  stormat_nv(inverse, inverse_offset, 0, n);
  const double te = s(L.torque);
  const double dw_old = s(L.dspeed);

  // 4. Mechanical step. The torque known is that of the step's start, so the
  // acceleration at its end is extrapolated from the last two (the trapezoid
  // over the last two steps' accelerations lags the speed by a whole step).
  const double w_old = s(L.speed);
  double w_new = in.speed;
  if (in.mode == 0) {
    const double dw = ((te - in.load_torque) - m.damping * w_old) / m.inertia;
    w_new = (3.0 * dw - dw_old) * dt * 0.5 + w_old;
    s(L.dspeed) = dw;
  }
  s(L.speed) = w_new;

  // 5. Angle at the step's start and at its end.
  const double theta_start = s(L.angle);
  const double turn = dt * wb * 0.5 * (w_old + w_new);
  double theta = theta_start + turn;
  if (theta >= kTwoPiAngle) theta -= kTwoPiAngle;
  if (theta <= -kTwoPiAngle) theta += kTwoPiAngle;
  s(L.angle) = theta;

  // 6-7. The last solution's stator voltages are those of the step's start:
  // seen from the rotor at the start angle. The rotor's as they are.
  Phases v_abc = vabc, vdq0{};
  trns_nv(v_abc, vdq0, theta_start, 1);
  for (std::int32_t k = 0; k < 3; ++k) s(L.vd + k) = vdq0[static_cast<std::size_t>(k)];
  s(L.valpha) = valpha;
  s(L.vbeta) = vbeta;

  // 8. Derivatives at the start of the step.
  for (std::int32_t i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    f.dpsi_d[u] = -m.r[u] * id[u];
    f.dpsi_q[u] = -m.r[u] * iq[u];
  }
  f.dpsi_d[0] += vdq0[0] - w_old * wb * f.psi_q[0];
  f.dpsi_q[0] += vdq0[1] + w_old * wb * f.psi_d[0];
  f.dpsi_d[1] += valpha;
  f.dpsi_q[1] += vbeta;
  f.dpsi_0 = vdq0[2] - m.r[0] * i0_old;

  // 9. Divergence: a rotor d-axis derivative above 1e10, or anything not finite.
  bool diverged = !finite_all(f.psi_d, f.psi_q, n) || !finite_all(f.dpsi_d, f.dpsi_q, n) ||
                  !std::isfinite(f.psi_0) || !std::isfinite(f.dpsi_0);
  for (std::int32_t i = 1; i < n; ++i) diverged = diverged || f.dpsi_d[static_cast<std::size_t>(i)] > kDivergence;
  if (diverged) {
    if (m.console_texts) {
      wakro::console() << "Integration Error:\n"
                       << "The values of winding parameters are: \n"
                       << "  R - too large, L - too small.\n";
    } else {
      refusal("Integration Error");
    }
    wakro_quit(kInductionTag, 0);
  }

  // 10-11. The flux step to the end-of-step voltages: the network's voltages
  // turn at wb, so the stator's end voltage is the last solution advanced by
  // wb dt and seen from the rotor at the end angle; in the rotor's frame both
  // windings' voltages turn by the slip angle wb dt - turn over the step.
  StepOut out;
  const double slip_turn = wb * dt - turn;
  Phases v_end_dq0{};
  trns_nv(v_abc, v_end_dq0, theta_start - slip_turn, 1);
  const double cs = std::cos(slip_turn), sn = std::sin(slip_turn);
  out.v_alpha_end = valpha * cs + vbeta * sn;
  out.v_beta_end = vbeta * cs - valpha * sn;
  euler_nv(f, inverse, w_new, v_end_dq0, wb, out.v_alpha_end, out.v_beta_end, n);
  trns_nv(out.v_end, v_end_dq0, theta, 0);

  // 12-13. Saturation factors from the currents at the step's start, on the
  // start-up ramp.
  const double ramp_end = kThreePeriods / wb;
  out.ramp = e_s1::time >= ramp_end ? 1.0 : e_s1::time / ramp_end;
  double sum_d = 0.0, sum_q = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    sum_d += id[static_cast<std::size_t>(i)];
    sum_q += iq[static_cast<std::size_t>(i)];
  }
  const double i_mag = std::hypot(sum_d, sum_q) * kRootHalf * out.ramp;
  const double i_stator = (std::hypot(id[0], iq[0]) * kRootHalf + i0_old) * out.ramp;
  const double i_rotor = std::hypot(id[1], iq[1]) * kRootHalf * out.ramp;
  double f1 = 1.0, f2 = 1.0, f3 = 1.0;
  sat(i_mag, i_stator, i_rotor, f1, f2, f3);

  // 14. A moved factor re-forms the matrix from the unsaturated reactances.
  double x0 = m.x[1];
  const bool moved = std::fabs(f2 - s(L.leak_factor)) > kFactorMove || std::fabs(f1 - s(L.mag_factor)) > kFactorMove ||
                     (m.rotor_saturation && std::fabs(f3 - s(L.rotor_leak_factor)) > kFactorMove);
  if (moved) {
    s(L.mag_factor) = f1;
    s(L.leak_factor) = f2;
    if (L.rotor_leak_factor > 0) s(L.rotor_leak_factor) = f3;
    ReactanceVector xs = m.x;
    xs[0] *= f1;
    xs[1] *= f2;
    if (m.rotor_saturation) xs[2] *= f3;
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
  out.i0 = f.psi_0 * wb / x0;

  // 16. Stator phase currents.
  Phases idq0{id[0], iq[0], out.i0};
  trns_nv(out.i_abc, idq0, theta, 0);
  out.i_alpha = id[1];
  out.i_beta = iq[1];

  // 17. The state.
  for (std::int32_t i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    s(L.psi_d + i) = f.psi_d[u];
    s(L.psi_q + i) = f.psi_q[u];
    s(L.id + i) = id[u];
    s(L.iq + i) = iq[u];
    s(L.dpsi_d + i) = f.dpsi_d[u];
    s(L.dpsi_q + i) = f.dpsi_q[u];
  }
  s(L.psi_0) = f.psi_0;
  s(L.i0) = out.i0;
  s(L.dpsi_0) = f.dpsi_0;

  // 20-21. Torques and speed for the case code.
  const double te_new = (id[0] * f.psi_q[0] - iq[0] * f.psi_d[0]) * wb * 0.5;
  s(L.torque) = te_new;
  s(L.load_torque) =
      in.mode == 1 ? te_new - ((w_new - w_old) / dt) * m.inertia - w_new * m.damping : in.load_torque;
  s(L.speed_copy) = w_new;
  return out;
}

// The rotor phase currents, referred to the rotor side (c = a Ib); with c = 1
// the phase values of any alpha-beta pair.
Phases rotor_currents(double c, double i_alpha, double i_beta) {
  return {c * i_alpha, (c * 0.5) * (-i_alpha - kRoot3 * i_beta), (c * 0.5) * (kRoot3 * i_beta - i_alpha)};
}

// How much the step's end voltage of each rotor phase exceeds the last
// solution's, per unit referred to the stator: the turn of the alpha-beta
// pair, the zero sequence unchanged.
Phases rotor_advance(double valpha, double vbeta, const StepOut& o) {
  return rotor_currents(1.0, o.v_alpha_end - valpha, o.v_beta_end - vbeta);
}

void induction_exe(const InductionStepIn& in, Form form) {
  const std::int32_t block_size = form == Form::second ? kImBlock2 : kImBlock1;
  const std::int32_t nexc0 = e_s2::nexc;
  const Slots<double> s = blocks::take_stor(block_size);
  const Slots<double> c = blocks::take_rtcf(kIcReals);
  Machine m;
  m.n = blocks::next_rtci();
  m.rotor_saturation = form == Form::second && blocks::take_rtcl(1)(1);
  const std::int32_t n = m.n;
  const bool rotor_as_is = form == Form::second && in.zero_sequence == kRotorAsIs;
  const auto cf = [&c](std::int32_t k) { return c(k + 1); };
  // Positions relative to the present pointers, for the routines that address
  // the stores from them.
  const std::int32_t inverse_offset = nexc0 + kImInverse - 1 - e_s2::nexc;
  const auto curve_offset = [&c](std::int32_t k) { return c.index(k + 1) - rt_config::nrtcf; };

  // 1. The constants.
  for (std::int32_t k = 0; k < 5; ++k) m.r[static_cast<std::size_t>(k)] = cf(kIcR + k);
  for (std::int32_t k = 0; k < 12; ++k) m.x[static_cast<std::size_t>(k)] = cf(kIcX + k);
  m.wb = cf(kIcBaseW);
  m.inertia = cf(kIcInertia);
  m.damping = cf(kIcDamping);
  const double power = cf(kIcPower), inv_v = cf(kIcInverseV);
  const double g_stator = cf(kIcStatorG), turns = cf(kIcTurns), g_rotor = cf(kIcRotorG);
  const double ib = inv_v * kThird * power;
  const double zb = 3.0 / (inv_v * inv_v * power);
  const double dt = e_s1::delt;
  const std::int32_t ss = in.ss;

  if (in.mode == 0 && m.inertia == 0.0) {
    refusal("The inertia must not be zero when the speed follows the mechanical equation");
    wakro_quit(kInductionTag, 0);
  }

  // 2. Time zero: speed, matrix, registry records, branch conductances, R-C branches.
  if (e_s1::timezero) {
    if (in.mode == 1) s(kImSpeed) = in.speed;
    WindingMatrix inverse{};
    form_inverse(m.x, m.wb, n, inverse, inverse_offset);
    const double x_ohm_stator = dt / (2.0 * g_stator);
    for (std::int32_t br : in.stator) {
      devices::harm_branch_record(br, ss);
      devices::harm_record(kKindImpedance, ss, {branches::ief(br, ss), branches::iet(br, ss)},
                           {m.r[0] * zb, x_ohm_stator, -1.0});
    }
    for (std::int32_t br : in.rotor) {
      if (br == 0) continue;
      devices::harm_branch_record(br, ss);
      devices::harm_record(kKindImpedance, ss, {branches::ief(br, ss), branches::iet(br, ss)},
                           {m.r[1] * zb, m.x[2] * zb / m.wb, -1.0});
    }
    // The conductances reach the matrix through the network's change, in
    // whichever form the matrix is.
    for (std::int32_t br : in.stator) {
      branches::defrdbr(br, ss) = true;
      change_branch_conductance(kInductionTag, ss, br, g_stator);
    }
    for (std::int32_t br : in.rotor) {
      if (br == 0) continue;
      branches::defrdbr(br, ss) = true;
      change_branch_conductance(kInductionTag, ss, br, g_rotor);
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

  // 6-7. Per-unit voltages: the stator's; the rotor's referred to the stator.
  Phases vabc{}, vr{};
  for (std::size_t k = 0; k < 3; ++k) vabc[k] = vbranch(ss, in.stator[k]) * inv_v;
  for (std::size_t k = 0; k < 3; ++k) vr[k] = in.rotor[k] != 0 ? vbranch(ss, in.rotor[k]) * turns * inv_v : 0.0;
  const double mean = rotor_as_is ? 0.0 : (vr[0] + vr[1] + vr[2]) * kThird;
  const double valpha = (2.0 * (vr[0] - mean) - (vr[1] - mean) - (vr[2] - mean)) * kThird;
  const double vbeta = ((vr[2] - mean) - (vr[1] - mean)) * kInvRoot3;

  const bool second = form == Form::second;
  // The first form's block ends before the rotor-leakage factor's slot.
  Layout layout = kPairLayout;
  if (!second) layout.rotor_leak_factor = 0;
  const StepOut o = machine_step(
      s, layout, m, in, vabc, valpha, vbeta, inverse_offset,
      [&](double im, double is, double ir, double& f1, double& f2, double& f3) {
        satur_nvrt(im, f1, curve_offset(kIcMagCurve));
        satur_nvrt(is, f2, curve_offset(kIcLeakCurve));
        if (second) satur_nvrt(ir, f3, curve_offset(kIcLeakCurve));
      });

  // 18. Stator branch sources: the companion conductance carries the
  // difference between the voltage the network finds and the end voltage the
  // step assumed, so the branch current is the machine's current at the
  // voltage it actually sees, to first order.
  for (std::size_t k = 0; k < 3; ++k) {
    const std::int32_t br = in.stator[k];
    branches::ccbr(br, ss) = o.i_abc[k] * ib * o.ramp - g_stator * o.v_end[k] / inv_v;
  }

  // 19. Rotor branch sources (not ramped), likewise from the assumed end voltages.
  const Phases rotor_i = rotor_currents(turns * ib, o.i_alpha, o.i_beta);
  const Phases rotor_dv = rotor_advance(valpha, vbeta, o);
  Phases t{};
  for (std::size_t k = 0; k < 3; ++k)
    t[k] = in.rotor[k] != 0
               ? g_rotor * (vbranch(ss, in.rotor[k]) + rotor_dv[k] / (turns * inv_v)) - rotor_i[k]
               : 0.0;
  const double tmean = rotor_as_is ? 0.0 : (t[0] + t[1] + t[2]) * kThird;
  for (std::size_t k = 0; k < 3; ++k)
    if (in.rotor[k] != 0) branches::ccbr(in.rotor[k], ss) = tmean - t[k];
}

// ------------------------------------------------------- the single routine

constexpr double kDampShare = 21.0;
constexpr double kDampDecay = 19.0 / 21.0;
constexpr std::int32_t kKindNodeInductance = 1;
constexpr std::int32_t kKindNodeResistance = 0;
constexpr std::int32_t kShowLastLine = 1;

[[noreturn]] void refuse_record(const std::string& text) {
  const std::int32_t u = fnames::iunit;
  refusal(text + " (file " + unit_file_name(u) + ", line " + std::to_string(unit_line_number(u)) + ")");
  wakro_quit(kInductionTag, kShowLastLine);
}

void read_record(std::int32_t number, std::span<double> values) {
  rdcmnt();
  const std::string what = "Induction machine data record " + std::to_string(number);
  if (!rdcmnt_at_data()) refuse_record(what + " is missing");
  if (list_read_unit(fnames::iunit, {values}) != ReadStatus::ok) refuse_record(what + " cannot be read");
}

double node_voltage(std::int32_t ss, std::int32_t node) { return node == 0 ? 0.0 : e_s0::vdc(node, ss); }

// Time zero of inducmc: nodes, records, checks, constants, records of the
// registry and the damping conductances.
void inducmc_time_zero(const InducmcIn& in, const Slots<double>& s, const Slots<double>& dn, std::int32_t n,
                       std::int32_t inverse_offset) {
  const std::int32_t ss = in.ss;
  if (ss < 1 || ss > e_s0::mbus.extent(1)) {
    refusal("The subsystem of the induction machine does not exist");
    wakro_quit(kInductionTag, 0);
  }
  bool bad_node = in.neutral < 0 || in.neutral > e_s0::mbus(ss);
  for (std::int32_t p : in.stator) bad_node = bad_node || p < 0 || p > e_s0::mbus(ss);
  for (std::int32_t r : in.rotor) bad_node = bad_node || r < 0 || r > e_s0::mbus(ss);
  if (bad_node) {
    refusal("A node of the induction machine is not a node of its subsystem");
    wakro_quit(kInductionTag, 0);
  }
  std::array<double, 5> r{};
  std::array<double, 12> x{};
  std::array<double, 3> rated{}, mech{};
  std::array<double, 2 * kCurvePointCount> mag{}, leak{};
  read_record(1, r);
  read_record(2, x);
  read_record(3, rated);
  read_record(4, mech);
  read_record(5, mag);
  read_record(6, leak);
  InductionData d;
  d.extra_cages = in.extra_cages;
  d.power = rated[0];
  d.voltage = rated[1];
  d.base_w = rated[2];
  d.turns = mech[2];
  d.r = r;
  d.x = x;
  if (data_refused(d)) wakro_quit(kInductionTag, 0);

  for (std::int32_t k = 0; k < 5; ++k) s(kSmR + k) = r[static_cast<std::size_t>(k)];
  for (std::int32_t k = 0; k < 12; ++k) s(kSmX + k) = x[static_cast<std::size_t>(k)];
  s(kSmPower) = rated[0];
  s(kSmVoltage) = rated[1];
  s(kSmBaseW) = rated[2];
  s(kSmInertia) = mech[0];
  s(kSmDamping) = mech[1];
  s(kSmTurns) = mech[2];
  for (std::int32_t k = 0; k < 2 * kCurvePointCount; ++k) {
    s(kSmMagCurve + k) = mag[static_cast<std::size_t>(k)];
    s(kSmLeakCurve + k) = leak[static_cast<std::size_t>(k)];
  }
  const double wb = rated[2];
  WindingMatrix inverse{};
  form_inverse(d.x, wb, n, inverse, inverse_offset);
  for (std::int32_t k = kSmPsiD; k <= kSmDPsi0; ++k) s(k) = 0.0;
  for (std::int32_t k : std::array<std::int32_t, 10>{kSmTorque, kSmDSpeed, kSmMagFactor, kSmVd, kSmVd + 1, kSmVd + 2, kSmLeakFactor, kSmValpha,
                         kSmVbeta, kSmNeutralG})
    s(k) = 0.0;
  if (in.mode == 1) s(kSmSpeed) = in.speed;

  const double vph = rated[1] * kInvRoot3;
  const double zb = 3.0 * vph * vph / rated[0];
  const double dt = e_s1::delt;
  const double xpp = subtransient_reactance(d.x, n);
  const double a2 = mech[2] * mech[2];
  s(kSmStatorG) = dt * wb / (2.0 * zb * xpp);
  s(kSmRotorG) = dt * wb / (2.0 * (zb / a2) * x[2]);
  s(kSmNeutralG) = 1.0 / zb;
  const double gd = 1.0 / (kDampShare * zb), gdr = 1.0 / (kDampShare * zb / a2);
  dn(kDnStatorG + 1) = gd;
  dn(kDnStatorGain + 1) = 2.0 * gd / kDampShare;
  dn(kDnDecay + 1) = kDampDecay;
  dn(kDnRotorG + 1) = gdr;
  dn(kDnRotorGain + 1) = 2.0 * gdr / kDampShare;

  for (std::int32_t p : in.stator)
    if (p != 0) devices::harm_record(kKindNodeInductance, ss, {p, 0}, {zb * xpp / wb});
  for (std::int32_t q : in.rotor)
    if (q != 0) devices::harm_record(kKindNodeInductance, ss, {q, 0}, {zb * x[2] / wb});
  if (in.neutral != 0) devices::harm_record(kKindNodeResistance, ss, {in.neutral, 0}, {zb});

  // Norton nodes, and the damping conductances as branches: each stator phase
  // to the neutral (the ground without one), each rotor phase to ground.
  for (std::int32_t p : in.stator)
    if (p != 0) enable_norton(kInductionTag, ss, p);
  if (in.neutral != 0) enable_norton(kInductionTag, ss, in.neutral);
  for (std::int32_t q : in.rotor)
    if (q != 0) enable_norton(kInductionTag, ss, q);
  const std::array<double, 3> stator_y{0.0, gd, 0.0}, rotor_y{0.0, gdr, 0.0};  // between the two nodes
  for (std::int32_t p : in.stator) {
    if (p == 0) continue;
    const std::array<std::int32_t, 2> nodes{p, in.neutral};
    stamp_admittance(kInductionTag, ss, nodes, SymmetricAdmittance::packed(stator_y, 2));
  }
  for (std::int32_t q : in.rotor) {
    if (q == 0) continue;
    const std::array<std::int32_t, 2> nodes{q, 0};
    stamp_admittance(kInductionTag, ss, nodes, SymmetricAdmittance::packed(rotor_y, 2));
  }
}

}  // namespace

void inducmc(const InducmcIn& in) {
  const std::int32_t nexc0 = e_s2::nexc;
  const Slots<double> s = blocks::take_stor(kSmBlock);
  const Slots<double> dn = blocks::take_storf(kDnSlots);
  // The saturation curves are read from the block at nexc: the pointer stays at
  // the block's start until the step is done.
  e_s2::nexc = nexc0;
  if (in.extra_cages < 0 || in.extra_cages > kMaxExtraCages) {
    refusal("The number of extra rotor cages must lie between 0 and 3");
    wakro_quit(kInductionTag, 0);
  }
  Machine m;
  m.n = in.extra_cages + 2;
  m.console_texts = true;
  const std::int32_t inverse_offset = kSmInverse - 1;
  const std::int32_t ss = in.ss;
  if (e_s1::timezero) inducmc_time_zero(in, s, dn, m.n, inverse_offset);

  for (std::int32_t k = 0; k < 5; ++k) m.r[static_cast<std::size_t>(k)] = s(kSmR + k);
  for (std::int32_t k = 0; k < 12; ++k) m.x[static_cast<std::size_t>(k)] = s(kSmX + k);
  m.wb = s(kSmBaseW);
  m.inertia = s(kSmInertia);
  m.damping = s(kSmDamping);
  if (in.mode == 0 && m.inertia == 0.0) {
    refusal("The inertia must not be zero when the speed follows the mechanical equation");
    wakro_quit(kInductionTag, 0);
  }
  const double vph = s(kSmVoltage) * kInvRoot3;
  const double ib = s(kSmPower) / (3.0 * vph);
  const double turns = s(kSmTurns), g_stator = s(kSmStatorG), g_rotor = s(kSmRotorG), g_neutral = s(kSmNeutralG);

  // Per-unit voltages from the node voltages; the rotor mean always removed.
  const double v_neutral = node_voltage(ss, in.neutral);
  Phases vabc{}, vr{};
  for (std::size_t k = 0; k < 3; ++k) {
    if (in.stator[k] != 0) vabc[k] = (node_voltage(ss, in.stator[k]) - v_neutral) / vph;
    vr[k] = turns * node_voltage(ss, in.rotor[k]) / vph;
  }
  const double mean = (vr[0] + vr[1] + vr[2]) * kThird;
  const double valpha = (2.0 * (vr[0] - mean) - (vr[1] - mean) - (vr[2] - mean)) * kThird;
  const double vbeta = ((vr[2] - mean) - (vr[1] - mean)) * kInvRoot3;

  InductionStepIn step;
  step.speed = in.speed;
  step.mode = in.mode;
  step.load_torque = in.load_torque;
  const StepOut o = machine_step(s, kSingleLayout, m, step, vabc, valpha, vbeta, inverse_offset,
                                 [](double im, double is, double, double& f1, double& f2, double&) {
                                   satur_nv(im, f1, 1);
                                   satur_nv(is, f2, 0);
                                 });

  // Norton injections: the stator phases with their damping histories, the
  // neutral, the rotor phases.
  double h_sum = 0.0;
  for (std::size_t k = 0; k < 3; ++k) {
    const std::int32_t p = in.stator[k];
    if (p == 0) continue;
    double& h = dn(kDnStatorHistory + 1 + static_cast<std::int32_t>(k));
    const double vp = node_voltage(ss, p);
    h = h * dn(kDnDecay + 1) - (vp - v_neutral) * dn(kDnStatorGain + 1);
    h_sum += h;
    // The companion from the end voltage the step assumed, as the pair forms do.
    const double vp_end = vp + (o.v_end[k] - vabc[k]) * vph;
    add_norton(kInductionTag, ss, p, g_stator, -o.i_abc[k] * ib * o.ramp + g_stator * vp_end - h);
  }
  if (in.neutral != 0)
    add_norton(kInductionTag, ss, in.neutral, g_neutral, 3.0 * o.i0 * ib * o.ramp + g_neutral * v_neutral + h_sum);
  const Phases rotor_i = rotor_currents(turns * ib, o.i_alpha, o.i_beta);
  const Phases rotor_dv = rotor_advance(valpha, vbeta, o);
  Phases t{};
  for (std::size_t k = 0; k < 3; ++k) {
    const std::int32_t q = in.rotor[k];
    if (q == 0) continue;
    double& h = dn(kDnRotorHistory + 1 + static_cast<std::int32_t>(k));
    const double vq = node_voltage(ss, q);
    h = h * dn(kDnDecay + 1) - vq * dn(kDnRotorGain + 1);
    t[k] = g_rotor * (vq + rotor_dv[k] * vph / turns) - rotor_i[k] - h;
  }
  const double tmean = (t[0] + t[1] + t[2]) * kThird;
  for (std::size_t k = 0; k < 3; ++k)
    if (in.rotor[k] != 0) add_norton(kInductionTag, ss, in.rotor[k], g_rotor, t[k] - tmean);
  e_s2::nexc = nexc0 + kSmBlock;
}

void inducmc2_cfg(const InductionData& d) { induction_cfg(d, Form::second); }
void inducmc1_cfg(const InductionData& d) { induction_cfg(d, Form::first); }
void inducmc2_exe(const InductionStepIn& in) { induction_exe(in, Form::second); }
void inducmc1_exe(const InductionStepIn& in) { induction_exe(in, Form::first); }
std::int64_t induction_inversions() { return inversions; }

}  // namespace wakro::machines

// The per-step model of the three-phase synchronous machine (see sync_machine.h).
#include "machines/sync_machine.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "devices/device_support.h"
#include "devices/rc_branches.h"
#include "machines/conversion.h"
#include "machines/macdat.h"
#include "machines/machine_messages.h"
#include "machines/setup.h"
#include "machines/solver.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/rt_config.h"
#include "network/matrix.h"
#include "network/solution.h"

namespace wakro::machines {

namespace {

constexpr std::string_view kTag = "SYNC_MACHINE";
constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrt2 = 1.414213562373095;
constexpr double kThird = 0.333333333333333;
constexpr double kInvSqrt3 = 0.577350269189626;
constexpr double kSqrt3Half = 0.866025;
constexpr double kPhaseShift = 2.094395102393195;
constexpr double kFirstStep = 1.0E6;       // time step "last used" before the first step
constexpr double kUnapplied = 1.0E7;       // multiplier "last applied" on entering machine mode
constexpr double kTinyInertia = 1.0E-38;
constexpr double kTinyMultiplier = 1.0E-4;
constexpr double kLeastCurrent = 1.0E-9;   // a phase never gets a zero source at time zero
constexpr double kHandoverTime = 0.04;     // source kept after the hand-over
constexpr double kFilterStart = 0.025;     // power and torque filters start after release + this
constexpr double kDampShare = 0.45;
// Internal damping branch of the variant: 20 base impedances with a capacitor
// of time constant 10 dt, as its trapezoidal companion.
constexpr double kDampConductanceShare = 1.0 / 21.0;
constexpr double kDampHistoryShare = 2.0 / (21.0 * 21.0);
constexpr double kDampFactor = 19.0 / 21.0;
constexpr double kFilterT[3] = {0.04, 0.08, 0.12};

bool is_one(double flag) { return blocks::nint_sat(flag) == 1; }

// Changed by more than the fraction `share` either way.
bool moved(double now, double last, double share) { return now > (1.0 + share) * last || now < (1.0 - share) * last; }

// Coefficients a, b of a first-order filter y := b y_old + a (u + u_old).
void filter_coefficients(const MachineBlock& blk, std::int32_t slot_a, double dt, double t) {
  const double x = dt / t;
  blk(slot_a) = x / (1.0 + x);
  blk(slot_a + 1) = (1.0 - x) / (1.0 + x);
}

}  // namespace

double qflux(const MachineBlock& blk, double iq, double im, double r, std::int32_t z) {
  const double sat = (std::fabs(im) - blk(zone_i(z)) / r) * r * blk(zone_s(z)) + blk(zone_f(z));
  return im > 0.0 ? blk(kXa) * iq + sat : blk(kXa) * iq - sat;
}

void sync_machine_exe(MachineVariant variant, const SyncStepIn& in, SyncStepOut& out) {
  const bool damped = variant == MachineVariant::damping_branch;
  const std::int32_t reals = damped ? kConfigRealsDamped : kConfigReals;
  const MachineBlock blk = current_machine_block();
  const double dt = e_s1::delt, t = e_s1::time, m = in.multiplier;
  const bool tz = e_s1::timezero;
  const std::int32_t ss = in.ss;
  bool refactor = false;

  // 1. Time zero: the block from the record, the set-up, the interface branches.
  if (tz) {
    macdat1_cfg(blk, reals);
    smtdis(blk);
    smtqi(blk);
    macpre(blk, in.handover);
    blk(kLastStep) = kFirstStep;
    blk(kSourceBaseAngle) -= blk(kOmega) * dt;
    blk(kMultiplierApplied) = 0.0;  // no machine conductance before machine mode
    for (std::int32_t k = 0; k < 6; ++k) blk(kDampFilterState + k) = 0.0;
  }
  // 2. The record, read where it stands; the pointers move on.
  const blocks::Slots<std::int32_t> ri = blocks::take_rtci(kConfigInts);
  const blocks::Slots<double> cfg = blocks::take_rtcf(reals);
  const double e0 = cfg(kCfgSourceMagnitude), angle_offset = cfg(kCfgSourceAngle), xmd = cfg(kCfgDCircuit);
  if (tz) {
    if (!damped) {
      const double r = cfg(kCfgRcResistance) / blk(kBaseAdmittance) / m;
      const double c_uf = dt * cfg(kCfgRcTimeFactor) * 1.0E6 / r;
      for (std::int32_t br : in.rc) rcbranch(ss, br, r, c_uf);
    } else {
      blk(kDampBranchConductance) = blk(kBaseAdmittance) * kDampConductanceShare;
      blk(kDampBranchHistoryGain) = blk(kBaseAdmittance) * kDampHistoryShare;
      blk(kDampBranchFactor) = kDampFactor;
      blk(kDampBranchHistoryA) = blk(kDampBranchHistoryB) = blk(kDampBranchHistoryC) = 0.0;
    }
    for (std::int32_t br : in.phase) {
      branches::defrdbr(br, ss) = true;
      const std::int32_t node = branches::ief(br, ss);
      if (node == 0) continue;
      devices::harm_record(1, ss, {node, 0}, {1.0 / (2.0 * blk(kBranchConductancePerSecond) * m)});
      if (blk(kShuntConductance) >= 1.0E-10) devices::harm_record(0, ss, {node, 0}, {1.0 / (blk(kShuntConductance) * m)});
      devices::harm_branch_record(br, ss);
    }
  }

  // 3. A new time step: the advanced transform, the zero-sequence constants and
  // the filter coefficients.
  if (moved(dt, blk(kLastStep), 1.0E-5)) {
    sttrf2(blk, dt);
    blk(kBranchConductance) = blk(kBranchConductancePerSecond) * dt;
    setzro(blk, dt);
    filter_coefficients(blk, kPowerFilterA, dt, kFilterT[0]);
    filter_coefficients(blk, kTorqueFilterA, dt, kFilterT[1]);
    filter_coefficients(blk, kDampFilterA, dt, kFilterT[2]);
    blk(kLastStep) = dt;
    refactor = true;
  }

  // 4. The start-up source is active until 0.04 s after machine mode began.
  const bool active = !(is_one(blk(kNoStartupSource)) || t > blk(kMachineModeTime) + kHandoverTime);
  blk(kSourceActive) = active ? 1.0 : 0.0;

  // 5. Machine mode, latched.
  const double tr = std::max(blk(kReleaseTime), 0.0);
  const bool was_mode = is_one(blk(kMachineMode));
  const bool mode = (tz || t > tr + kHandoverTime) ? (in.handover == 1 || was_mode) : was_mode;
  if (mode) blk(kMachineMode) = 1.0;
  const bool first = mode && !was_mode;
  if (first) blk(kMachineModeTime) = t;

  // 6. Phase voltages and the shunt loss.
  double v[3];
  for (std::int32_t k = 0; k < 3; ++k) v[k] = vbranch(ss, in.phase[k]);
  const double vmean = (v[0] + v[1] + v[2]) * kThird;
  const double loss = blk(kShuntConductance) * ((v[0] - vmean) * (v[0] - vmean) + (v[1] - vmean) * (v[1] - vmean) +
                                                (v[2] - vmean) * (v[2] - vmean));

  // 7. The start-up source.
  double P = 0.0, Q = 0.0, Pf = 0.0, Qf = 0.0, E = 0.0, G = 0.0;
  double e[3] = {0.0, 0.0, 0.0}, inj[3] = {0.0, 0.0, 0.0};
  if (active) {
    double i[3];
    for (std::int32_t k = 0; k < 3; ++k) i[k] = tz ? 0.0 : blk(kSourceInjectionA + k) - v[k] * blk(kSourceConductanceApplied);
    P = v[0] * i[0] + v[1] * i[1] + v[2] * i[2];
    Q = ((v[0] - v[1]) * i[2] + (v[2] - v[0]) * i[1] + (v[1] - v[2]) * i[0]) * kInvSqrt3;
    Pf = P;
    Qf = Q;
    if (t > tr + kFilterStart) {
      if (!is_one(blk(kPowerFilterStarted))) {
        blk(kPowerFilterStarted) = 1.0;
        blk(kPowerFilterP) = blk(kPowerLastP) = P;
        blk(kPowerFilterQ) = blk(kPowerLastQ) = Q;
      }
      const double a = blk(kPowerFilterA), b = blk(kPowerFilterB);
      Pf = b * blk(kPowerFilterP) + a * (P + blk(kPowerLastP));
      Qf = b * blk(kPowerFilterQ) + a * (Q + blk(kPowerLastQ));
      blk(kPowerFilterP) = Pf;
      blk(kPowerFilterQ) = Qf;
    }
    blk(kPowerLastP) = P;
    blk(kPowerLastQ) = Q;
    E = std::max(e0, 0.0);
    if (tr > 1.0E-4) E = std::min(E, t * blk(kSourceRamp));
    blk(kSourceBaseAngle) += dt * blk(kOmega);
    if (blk(kSourceBaseAngle) > kTwoPi) blk(kSourceBaseAngle) -= kTwoPi;
    if (is_one(blk(kPowerFilterStarted)) && in.angle_follows == 1 && !mode) {
      const double d = blk(kBasePower) * std::max(blk(kPowerScale), 1.0E-4);
      const double dp = std::clamp(in.power_order - P, -0.8 * d, 0.8 * d);
      blk(kTrimRate) = blk(kTrimGain) * dp / d;
      blk(kTrimIntegral) += blk(kTrimRate) * dt;
      if (!is_one(blk(kTrimStarted))) {
        blk(kTrimOffset) = angle_offset;
        blk(kTrimStarted) = 1.0;
      }
    }
    const double phi = is_one(blk(kTrimStarted)) ? blk(kSourceBaseAngle) + blk(kTrimIntegral) + blk(kTrimOffset)
                                                  : blk(kSourceBaseAngle) + angle_offset;
    blk(kSourceAngle) = phi;
    blk(kHandoverAngle) = phi - dt * blk(kOmega);
    blk(kHandoverMagnitude) = E * blk(kSourceVoltageFactor);
    if (mode) {
      const double k = 20.0 - (t - blk(kMachineModeTime)) * 500.0;
      const double f = k < 1.0 ? 0.05 : std::round(k) * 0.05;
      G = f * blk(kBaseAdmittance);
    } else {
      G = m * blk(kSourceConductance);
    }
    // Damping of the source currents: their change, through a low-pass.
    const double fa = blk(kDampFilterA), fb = blk(kDampFilterB);
    e[0] = kSqrt2 * E * std::sin(phi);
    e[1] = kSqrt2 * E * std::sin(phi - kPhaseShift);
    e[2] = -e[0] - e[1];
    for (std::int32_t k = 0; k < 3; ++k) {
      const double i_old = tz ? 0.0 : blk(kSourceCurrentOldA + k);
      const double u = kDampShare * (i[k] + i_old);
      const std::int32_t ys = kDampFilterState + k, us = kDampFilterState + 3 + k;
      const double y = fb * blk(ys) + fa * (u + blk(us));
      blk(ys) = y;
      blk(us) = u;
      blk(kSourceCurrentOldA + k) = i[k];
      inj[k] = G * e[k] + (mode ? 0.0 : u - y);
      blk(kSourceInjectionA + k) = inj[k];
    }
  } else {
    blk(kPowerLastP) = blk(kPowerLastQ) = 0.0;
    for (std::int32_t k = 0; k < 3; ++k) blk(kSourceInjectionA + k) = blk(kSourceCurrentOldA + k) = 0.0;
  }
  // 7.10-7.11 The conductance applied, and last step's voltages and conductance.
  if (moved(G, blk(kSourceConductanceApplied), 1.0E-4)) {
    blk(kSourceConductanceApplied) = G;
    refactor = true;
  }
  double e_old[3];
  for (std::int32_t k = 0; k < 3; ++k) {
    e_old[k] = tz ? 0.0 : blk(kSourceVoltageOldA + k);
    blk(kSourceVoltageOldA + k) = e[k];
  }
  const double g_old = tz ? G : blk(kSourceConductanceOld);
  blk(kSourceConductanceOld) = G;

  // 8-9. The machine.
  double gm = 0.0, j[3] = {0.0, 0.0, 0.0};
  double new_speed = blk(kOmega), theta = 0.0, u1 = 0.0, u2 = 0.0;
  const double p_scale = m < kTinyMultiplier ? 0.0 : blk(kInvBasePower);
  const double m_div = m < kTinyMultiplier ? 1.0 : m;
  if (mode) {
    // 8.1 Initial state on the first step.
    if (first) {
      InitialState s;
      double speed = blk(kOmega);
      if (is_one(blk(kNoStartupSource))) {
        s.theta = blk(kInitAngle);
        if (in.zero_currents < 1) {
          s.id = blk(kInitId);
          s.iq = blk(kInitIq);
          s.ifd = blk(kInitIfd);
        }
        speed = blk(kInitSpeed);
      } else {
        const double p = (Pf / m_div + loss) * p_scale, q = (Qf / m_div) * p_scale;
        blk(kHandoverP) = p;
        blk(kHandoverQ) = q;
        s = icconv(blk, blk(kHandoverMagnitude), blk(kHandoverAngle), p, q);
      }
      blk(kId) = s.id;
      blk(kIfd) = s.ifd;
      blk(kIkd) = 0.0;
      blk(kIq) = s.iq;
      blk(kIkq1) = blk(kIkq2) = 0.0;
      blk(kRotorAngle) = s.theta;
      blk(kRotorSpeed) = speed;
      blk(kSpeedTens) = std::round(10.0 * speed);
      blk(kSpeedRemainder) = 10.0 * speed - blk(kSpeedTens);
      blk(kZeroSeqOld) = blk(kZeroSeqCurrent) = blk(kZeroSeqOut) = blk(kZeroSeqOut3) = 0.0;
      blk(kMultiplierApplied) = kUnapplied;
    }
    // 8.2 Speed.
    double w = 0.0;
    if (in.speed_mode == 1) {
      w = blk(kRotorSpeed);
      if (blk(kInertia) < kTinyInertia) machine_refuse("Unrealistic inertia in synchronous machine");
    } else {
      w = in.imposed_speed + (in.add_correction == 1 ? blk(kSpeedCorrection) : 0.0);
    }
    // 8.3 Rotor angle in [0, 2 pi).
    const double theta_old = blk(kRotorAngle);
    theta = w * dt + theta_old;
    if (theta >= kTwoPi) {
      theta -= kTwoPi;
    } else if (theta < 0.0) {
      theta += kTwoPi;
    }
    // 8.4-8.5 The electrical solution.
    const double efd = first ? blk(kIfd) * blk(kFieldCurrentScale) : in.field_voltage;
    const double kr = in.use_factor == 1 ? in.factor : 1.0;
    const MachineCurrents s0{blk(kId), blk(kIfd), blk(kIkd), blk(kIq), blk(kIkq1),
                             blk(kTwoQCircuits) <= 0.5 ? 0.0 : blk(kIkq2)};
    const StepResult r = macslv(blk, v[0], v[1], v[2], efd, kr, dt, w, theta_old, theta, s0);
    blk(kId) = r.next.id;
    blk(kIfd) = r.next.ifd;
    blk(kIkd) = r.next.ikd;
    blk(kIq) = r.next.iq;
    blk(kIkq1) = r.next.ikq1;
    blk(kIkq2) = r.next.ikq2;
    u1 = r.vd;
    u2 = r.vq;
    out.voltage_angle = std::atan2(u1, std::fabs(u2) < 1.0E-6 ? 1.0E-6 : -u2);
    out.field_current = blk(kFieldCurrentScale) * r.next.ifd;
    // 8.6 Zero sequence.
    const double vs = v[0] + v[1] + v[2];
    const double i0_old = blk(kZeroSeqCurrent);
    blk(kZeroSeqOld) = i0_old;
    const double i0 = blk(kZeroSeqDecay) * i0_old + blk(kZeroSeqGain) * vs;
    blk(kZeroSeqCurrent) = i0;
    blk(kZeroSeqOut3) = out.zero_current3 = 3.0 * m * i0;
    blk(kZeroSeqOut) = out.zero_seq = blk(kZeroSeqResistance) * i0 + blk(kZeroSeqVoltageShare) * vs;
    // 8.7-8.8 Fluxes and torque.
    const double id = r.next.id, iq = r.next.iq;
    const double imd = id + r.next.ifd + r.next.ikd, imq = iq + r.next.ikq1 + r.next.ikq2;
    const double psid = dflux(blk, id, imd, fndzon(blk, imd));
    double psiq = 0.0;
    if (!damped && in.q_saturation == 2) {
      const double ratio = blk(kXmq) / xmd;
      psiq = qflux(blk, iq, imq, ratio, fndzon(blk, ratio * imq));
    } else {
      psiq = blk(kXa) * iq + blk(kXmq) * imq;
    }
    blk(kMagCurrentD) = imd;
    blk(kMagCurrentQ) = imq;
    blk(kFluxD) = psid;
    blk(kFluxQ) = psiq;
    const double te = 0.5 * (psid * iq - psiq * id);
    out.te = te;
    // 8.9 The mechanical equation: ten times the speed, in two parts.
    if (in.speed_mode == 1) {
      const double wpu = w * blk(kInvOmega);
      double dd = 0.0, k = 1.0;
      if (in.extra_terms == 1) {
        dd = in.damping > 0.0 ? (in.ref_speed - w) * blk(kInvOmega) * in.damping : 0.0;
        k = in.accel_divisor > 0.02 ? 1.0 / in.accel_divisor : 50.0;
      }
      const double acc = (dd + in.mech_torque - te - blk(kFriction) * (0.2 * wpu + 0.8 * std::fabs(wpu) * wpu)) *
                         blk(kAccelFactor) * k * dt * 10.0;
      const double n = std::round(blk(kSpeedTens)) + acc + blk(kSpeedRemainder);
      new_speed = 0.1 * n;
      blk(kSpeedTens) = std::round(n);
      blk(kSpeedRemainder) = n - std::round(n);
    } else {
      new_speed = w;
      blk(kSpeedTens) = std::round(10.0 * w);
      blk(kSpeedRemainder) = 10.0 * w - blk(kSpeedTens);
    }
    blk(kRotorAngle) = theta;
    blk(kRotorSpeed) = new_speed;
    // 8.11 Powers.
    const double pe = ((iq * u2 + id * u1) * 0.5 * blk(kInvOmega) * blk(kBasePower) + loss) * m;
    const double qe = -m * blk(kInvOmega) * (u1 * iq - u2 * id) * 0.5 * blk(kBasePower);
    out.p = -pe - i0_old * m * vs;
    out.q = qe;
    // 8.12 Speed correction toward the power order.
    if (in.speed_mode != 1 && in.add_correction == 1) {
      const double ps = blk(kPowerScale);
      const double g = ps < 0.1 * m ? 10.0 : (ps >= 100.0 * m ? 0.01 : blk(kInvPowerScale) * m);
      double rr = (pe + in.power_order) * blk(kInvBasePower);
      rr = m < kTinyMultiplier ? rr * 10000.0 : rr / m;
      rr = std::clamp(rr, -0.8, 0.8);
      blk(kSpeedCorrection) = rr * (0.25 * blk(kXd) + g) * blk(kTrimGain);
    } else {
      blk(kSpeedCorrection) = 0.0;
    }
    // 8.13 Phase currents.
    const double c = m * blk(kRatedCurrent), st = std::sin(theta), ct = std::cos(theta);
    const double a = -(iq * st + id * ct) * c;
    const double beta = -(st * id - iq * ct) * c * kSqrt3Half;
    const double i_ph[3] = {a - m * i0, beta - a / 2.0 - m * i0, -a / 2.0 - beta - m * i0};
    // 8.14 The Norton equivalent.
    if (moved(m, blk(kMultiplierApplied), 0.05)) {
      blk(kMultiplierApplied) = m;
      refactor = true;
    }
    const double ma = blk(kMultiplierApplied);
    gm = ma * blk(kBranchConductance) + ma * blk(kShuntConductance);
    for (std::int32_t k = 0; k < 3; ++k) {
      j[k] = v[k] * (ma * blk(kBranchConductance)) + i_ph[k];
      blk(kPhaseCurrentA + k) = i_ph[k] - v[k] * ma * blk(kShuntConductance);
    }
    if (damped) {
      const double gd = ma * blk(kDampBranchHistoryGain);
      for (std::int32_t k = 0; k < 3; ++k) {
        const std::int32_t hs = kDampBranchHistoryA + k;
        blk(hs) = blk(hs) * blk(kDampBranchFactor) - v[k] * gd;
        j[k] -= blk(hs);
      }
    }
  } else if (!is_one(blk(kNoStartupSource))) {
    // 9. The hand-over values tracked from the source's power.
    const double p = (Pf / m_div + loss) * p_scale, q = (Qf / m_div) * p_scale;
    blk(kIfd) = icconv(blk, blk(kHandoverMagnitude), blk(kHandoverAngle), p, q).ifd;
  }

  // 10. The phase branches: one conductance, each its current source.
  const double g_branch = gm + G + (damped ? blk(kDampBranchConductance) * blk(kMultiplierApplied) : 0.0);
  for (std::int32_t k = 0; k < 3; ++k) {
    const std::int32_t br = in.phase[k];
    if (refactor || branches::geq(br, ss) != g_branch) change_branch_conductance(kTag, ss, br, g_branch);
    double total = j[k] + inj[k];
    if (tz && std::fabs(total) < kLeastCurrent) total = kLeastCurrent;
    branches::ccbr(br, ss) = -total;
    branches::ccbrd(br, ss) -= e_old[k] * (G - g_old);
  }

  // 11-13. Outputs.
  if (mode) {
    out.rotor_angle = theta;
    out.speed = new_speed;
    out.machine_mode = 1;
    out.machine_speed_mode = in.speed_mode >= 1 ? 1 : 0;
  } else {
    out.field_current = blk(kIfd) * blk(kFieldCurrentScale);
    out.speed = blk(kOmega);
    const bool filtered = t > tr + kFilterStart;
    out.p = filtered ? Pf : P;
    out.q = filtered ? Qf : Q;
    if (m < kTinyMultiplier) {
      out.te = 0.0;
    } else {
      const double x = (out.p / m + loss) * blk(kInvBasePower), y = (out.q / m) * blk(kInvBasePower);
      const double vm = std::max(E * blk(kSourceVoltageFactor), 0.5);
      const double s = std::sqrt(x * x + y * y) / vm;
      out.te = x + s * s * blk(kRa);
    }
    out.zero_seq = out.zero_current3 = out.voltage_angle = out.rotor_angle = 0.0;
    out.machine_mode = out.machine_speed_mode = 0;
  }
  if (t <= tr + kFilterStart) {
    out.te_filtered = out.te;
    blk(kTorqueFilterIn) = blk(kTorqueFilterOut) = out.te;
  } else {
    out.te_filtered = blk(kTorqueFilterB) * blk(kTorqueFilterOut) + (blk(kTorqueFilterIn) + out.te) * blk(kTorqueFilterA);
    blk(kTorqueFilterIn) = out.te;
    blk(kTorqueFilterOut) = out.te_filtered;
  }
  if (mode) {
    const double z = new_speed * blk(kInvOmega);
    out.tm = z * (0.8 * std::fabs(z) * blk(kFriction) + 0.2 * blk(kFriction)) + out.te_filtered;
  } else {
    out.tm = blk(kFriction) + out.te_filtered;
  }
  // 14. The monitored slots, checked against the block.
  for (std::int32_t k = 0; k < 6; ++k) {
    const std::int32_t slot = ri(kCfgMonitor + k);
    if (slot < 1 || slot > kMachineBlockSize) machine_refuse("A monitored slot of the machine lies outside its block");
    out.monitor[static_cast<std::size_t>(k)] = blk(slot);
  }
  // 15.
  advance_machine_block();
}

void syncmc3p2_exe(const SyncStepIn& in, SyncStepOut& out) { sync_machine_exe(MachineVariant::rc_branches, in, out); }

void syncmc3p1_exe(const SyncStepIn& in, SyncStepOut& out) {
  sync_machine_exe(MachineVariant::damping_branch, in, out);
}

}  // namespace wakro::machines

// The per-step model of the three-phase synchronous machine (see sync_machine.h).
#include "machines/sync_machine.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "diag/listout.h"
#include "machines/conversion.h"
#include "machines/macdat.h"
#include "machines/machine_messages.h"
#include "machines/setup.h"
#include "machines/solver.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_s0.h"
#include "model/rt_config.h"
#include "network/branch_terms.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"
#include "network/switching.h"

namespace wakro::machines {

namespace {

constexpr std::string_view kTag = "SYNC_MACHINE";
constexpr double kSqrt3Half = 0.866025;  // sqrt 3 / 2 rounded to six digits on purpose: the model's own value
constexpr double kFirstStep = 1.0E6;       // time step "last used" before the first step
constexpr double kUnapplied = 1.0E7;       // multiplier "last applied" on entering machine mode
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

namespace {

// What the steps of one call hand each other.
struct Step {
  MachineBlock blk;
  bool damped = false;
  const std::array<std::int32_t, 3>* nodes = nullptr;  // attached by node injections
  bool tz = false;
  double dt = 0.0, t = 0.0, m = 1.0, tr = 0.0;
  bool refactor = false;  // a conductance or the time step changed
  bool mode = false, first = false;
  double v[3] = {0.0, 0.0, 0.0};  // phase voltages
  double loss = 0.0;              // shunt loss
  // The start-up source: powers, filtered powers, magnitude, conductance, its
  // voltages and injections now, and its voltages and conductance of the last step.
  double P = 0.0, Q = 0.0, Pf = 0.0, Qf = 0.0, E = 0.0, G = 0.0;
  double e[3] = {0.0, 0.0, 0.0}, inj[3] = {0.0, 0.0, 0.0};
  double e_old[3] = {0.0, 0.0, 0.0}, g_old = 0.0;
  // The machine: its conductance and source currents, new speed and angle.
  double gm = 0.0, j[3] = {0.0, 0.0, 0.0};
  double new_speed = 0.0, theta = 0.0;
};

// Harmonic-impedance record kinds of a phase branch's node.
constexpr std::int32_t kHarmResistance = 0;
constexpr std::int32_t kHarmInductance = 1;

void damping_branch_constants(const MachineBlock& blk) {
  blk(kDampBranchConductance) = blk(kBaseAdmittance) * kDampConductanceShare;
  blk(kDampBranchHistoryGain) = blk(kBaseAdmittance) * kDampHistoryShare;
  blk(kDampBranchFactor) = kDampFactor;
  blk(kDampBranchHistoryA) = blk(kDampBranchHistoryB) = blk(kDampBranchHistoryC) = 0.0;
}

// 1. Time zero: the block from the record, the set-up, and the branches: the
// R-C interface branches (or the internal damping branch's constants), the
// phase branches deferred to the machine, and their registry records.
void time_zero(Step& s, const SyncStepIn& in, const blocks::Slots<double>& cfg) {
  const MachineBlock& blk = s.blk;
  // A multiplier of 0 (or below) is no machine: its R-C branches stay open and it
  // has no impedance to record (both would be 1/0).
  const bool present = s.m > 0.0;
  if (!s.damped) {
    const double r = present ? cfg(kCfgRcResistance) / blk(kBaseAdmittance) / s.m : 0.0;
    const double c_uf = present ? s.dt * cfg(kCfgRcTimeFactor) * 1.0E6 / r : 0.0;
    for (std::int32_t br : in.rc) rcbranch(in.ss, br, r, c_uf);
  } else {
    damping_branch_constants(blk);
  }
  for (std::int32_t br : in.phase) {
    branches::defrdbr(br, in.ss) = true;
    const std::int32_t node = branches::ief(br, in.ss);
    if (node == 0 || !present) continue;
    harm_record(kHarmInductance, in.ss, {node, 0}, {1.0 / (2.0 * blk(kBranchConductancePerSecond) * s.m)});
    if (blk(kShuntConductance) >= 1.0E-10)
      harm_record(kHarmResistance, in.ss, {node, 0}, {1.0 / (blk(kShuntConductance) * s.m)});
    harm_branch_record(br, in.ss);
  }
}

// 2. A new time step: the advanced transform, the zero-sequence constants and
// the coefficients of the three filters.
void new_time_step(Step& s) {
  const MachineBlock& blk = s.blk;
  if (!moved(s.dt, blk(kLastStep), 1.0E-5)) return;
  sttrf2(blk, s.dt);
  blk(kBranchConductance) = blk(kBranchConductancePerSecond) * s.dt;
  setzro(blk, s.dt);
  filter_coefficients(blk, kPowerFilterA, s.dt, kFilterT[0]);
  filter_coefficients(blk, kTorqueFilterA, s.dt, kFilterT[1]);
  filter_coefficients(blk, kDampFilterA, s.dt, kFilterT[2]);
  blk(kLastStep) = s.dt;
  s.refactor = true;
}

// 3. Machine mode, latched: entered at time zero or after the release time
// plus 0.04 s when the hand-over is asked for.
void enter_mode(Step& s, std::int32_t handover) {
  const MachineBlock& blk = s.blk;
  const bool was_mode = is_one(blk(kMachineMode));
  s.mode = (s.tz || s.t > s.tr + kHandoverTime) ? (handover == 1 || was_mode) : was_mode;
  if (s.mode) blk(kMachineMode) = 1.0;
  s.first = s.mode && !was_mode;
  if (s.first) blk(kMachineModeTime) = s.t;
}

// 4. Phase voltages and the loss in the shunt conductance.
void terminal(Step& s, const SyncStepIn& in) {
  // (vbranch of each phase, the subsystem's columns taken once for the three.)
  const SubsystemColumns* columns = s.nodes == nullptr ? &subsystem_columns(in.ss) : nullptr;
  for (std::int32_t k = 0; k < 3; ++k) {
    const auto x = static_cast<std::size_t>(k);
    if (s.nodes == nullptr) {
      s.v[k] = branch_voltage(*columns, in.phase[x]);
    } else {
      const std::int32_t n = (*s.nodes)[x];
      s.v[k] = n == 0 ? 0.0 : e_s0::vdc(n, in.ss);
    }
  }
  const double vmean = (s.v[0] + s.v[1] + s.v[2]) * kThirdRounded;
  double sum = 0.0;
  for (double vk : s.v) sum += (vk - vmean) * (vk - vmean);
  s.loss = s.blk(kShuntConductance) * sum;
}

// 5. The start-up source's power, filtered from release + 0.025 s on.
void source_power(Step& s, const double (&i)[3]) {
  const MachineBlock& blk = s.blk;
  const double* v = s.v;
  s.P = v[0] * i[0] + v[1] * i[1] + v[2] * i[2];
  s.Q = ((v[0] - v[1]) * i[2] + (v[2] - v[0]) * i[1] + (v[1] - v[2]) * i[0]) * kInvSqrt3Rounded;
  s.Pf = s.P;
  s.Qf = s.Q;
  if (s.t > s.tr + kFilterStart) {
    if (!is_one(blk(kPowerFilterStarted))) {
      blk(kPowerFilterStarted) = 1.0;
      blk(kPowerFilterP) = blk(kPowerLastP) = s.P;
      blk(kPowerFilterQ) = blk(kPowerLastQ) = s.Q;
    }
    const double a = blk(kPowerFilterA), b = blk(kPowerFilterB);
    s.Pf = b * blk(kPowerFilterP) + a * (s.P + blk(kPowerLastP));
    s.Qf = b * blk(kPowerFilterQ) + a * (s.Q + blk(kPowerLastQ));
    blk(kPowerFilterP) = s.Pf;
    blk(kPowerFilterQ) = s.Qf;
  }
  blk(kPowerLastP) = s.P;
  blk(kPowerLastQ) = s.Q;
}

// 6. The start-up source's angle this step: the base angle, trimmed toward the
// power order while it is asked for and the machine is not solved.
double source_angle(Step& s, const SyncStepIn& in, double angle_offset) {
  const MachineBlock& blk = s.blk;
  blk(kSourceBaseAngle) += s.dt * blk(kOmega);
  if (blk(kSourceBaseAngle) > kTwoPi) blk(kSourceBaseAngle) -= kTwoPi;
  if (is_one(blk(kPowerFilterStarted)) && in.angle_follows == 1 && !s.mode) {
    const double d = blk(kBasePower) * std::max(blk(kPowerScale), 1.0E-4);
    const double dp = std::clamp(in.power_order - s.P, -0.8 * d, 0.8 * d);
    blk(kTrimRate) = blk(kTrimGain) * dp / d;
    blk(kTrimIntegral) += blk(kTrimRate) * s.dt;
    if (!is_one(blk(kTrimStarted))) {
      blk(kTrimOffset) = angle_offset;
      blk(kTrimStarted) = 1.0;
    }
  }
  return is_one(blk(kTrimStarted)) ? blk(kSourceBaseAngle) + blk(kTrimIntegral) + blk(kTrimOffset)
                                   : blk(kSourceBaseAngle) + angle_offset;
}

// 7. The start-up source while it is active: its currents of the last step,
// power, magnitude (ramped during the release time), angle, conductance (stepped
// down after the hand-over), damping of its current changes, and injections.
void startup_source(Step& s, const SyncStepIn& in, double e0, double angle_offset) {
  const MachineBlock& blk = s.blk;
  double i[3];
  for (std::int32_t k = 0; k < 3; ++k)
    i[k] = s.tz ? 0.0 : blk(kSourceInjectionA + k) - s.v[k] * blk(kSourceConductanceApplied);
  source_power(s, i);
  s.E = std::max(e0, 0.0);
  if (s.tr > 1.0E-4) s.E = std::min(s.E, s.t * blk(kSourceRamp));
  const double phi = source_angle(s, in, angle_offset);
  blk(kSourceAngle) = phi;
  blk(kHandoverAngle) = phi - s.dt * blk(kOmega);
  blk(kHandoverMagnitude) = s.E * blk(kSourceVoltageFactor);
  if (s.mode) {
    // From the full base admittance down to 0.05 of it in steps of 2 ms.
    const double k = 20.0 - (s.t - blk(kMachineModeTime)) * 500.0;
    s.G = (k < 1.0 ? 0.05 : std::round(k) * 0.05) * blk(kBaseAdmittance);
  } else {
    s.G = s.m * blk(kSourceConductance);
  }
  s.e[0] = kSqrt2Rounded * s.E * std::sin(phi);
  s.e[1] = kSqrt2Rounded * s.E * std::sin(phi - kThirdTurnRounded);
  s.e[2] = -s.e[0] - s.e[1];
  const double fa = blk(kDampFilterA), fb = blk(kDampFilterB);
  for (std::int32_t k = 0; k < 3; ++k) {
    const double i_old = s.tz ? 0.0 : blk(kSourceCurrentOldA + k);
    const double u = kDampShare * (i[k] + i_old);
    const std::int32_t ys = kDampFilterState + k, us = kDampFilterState + 3 + k;
    const double y = fb * blk(ys) + fa * (u + blk(us));
    blk(ys) = y;
    blk(us) = u;
    blk(kSourceCurrentOldA + k) = i[k];
    s.inj[k] = s.G * s.e[k] + (s.mode ? 0.0 : u - y);
    blk(kSourceInjectionA + k) = s.inj[k];
  }
}

// 8. The source's conductance applied and its last-step voltages and conductance.
void source_history(Step& s) {
  const MachineBlock& blk = s.blk;
  if (moved(s.G, blk(kSourceConductanceApplied), 1.0E-4)) {
    blk(kSourceConductanceApplied) = s.G;
    s.refactor = true;
  }
  for (std::int32_t k = 0; k < 3; ++k) {
    s.e_old[k] = s.tz ? 0.0 : blk(kSourceVoltageOldA + k);
    blk(kSourceVoltageOldA + k) = s.e[k];
  }
  s.g_old = s.tz ? s.G : blk(kSourceConductanceOld);
  blk(kSourceConductanceOld) = s.G;
}

// The per-unit powers that the hand-over state is computed from.
void handover_power(const Step& s, double& p, double& q) {
  const double scale = s.m < kTinyMultiplier ? 0.0 : s.blk(kInvBasePower);
  const double m = s.m < kTinyMultiplier ? 1.0 : s.m;
  p = (s.Pf / m + s.loss) * scale;
  q = (s.Qf / m) * scale;
}

// 9. The first machine-mode step's state: given, or from the start-up
// source's voltage and power at the hand-over.
void initial_state(Step& s, const SyncStepIn& in) {
  const MachineBlock& blk = s.blk;
  InitialState st;
  double speed = blk(kOmega);
  if (is_one(blk(kNoStartupSource))) {
    st.theta = blk(kInitAngle);
    if (in.zero_currents < 1) {
      st.id = blk(kInitId);
      st.iq = blk(kInitIq);
      st.ifd = blk(kInitIfd);
    }
    speed = blk(kInitSpeed);
  } else {
    double p = 0.0, q = 0.0;
    handover_power(s, p, q);
    blk(kHandoverP) = p;
    blk(kHandoverQ) = q;
    st = icconv(blk, blk(kHandoverMagnitude), blk(kHandoverAngle), p, q);
  }
  blk(kId) = st.id;
  blk(kIfd) = st.ifd;
  blk(kIkd) = 0.0;
  blk(kIq) = st.iq;
  blk(kIkq1) = blk(kIkq2) = 0.0;
  blk(kRotorAngle) = st.theta;
  blk(kRotorSpeed) = speed;
  blk(kSpeedTens) = std::round(10.0 * speed);
  blk(kSpeedRemainder) = 10.0 * speed - blk(kSpeedTens);
  blk(kZeroSeqOld) = blk(kZeroSeqCurrent) = blk(kZeroSeqOut) = blk(kZeroSeqOut3) = 0.0;
  blk(kMultiplierApplied) = kUnapplied;
}

// 10. The mechanical equation: ten times the speed kept as a whole number and a
// remainder, so that small accelerations are not lost against a large speed.
double mechanical(const Step& s, const SyncStepIn& in, double w, double te) {
  const MachineBlock& blk = s.blk;
  if (in.speed_mode != 1) {
    blk(kSpeedTens) = std::round(10.0 * w);
    blk(kSpeedRemainder) = 10.0 * w - blk(kSpeedTens);
    return w;
  }
  const double wpu = w * blk(kInvOmega);
  double dd = 0.0, k = 1.0;
  if (in.extra_terms == 1) {
    dd = in.damping > 0.0 ? (in.ref_speed - w) * blk(kInvOmega) * in.damping : 0.0;
    k = in.accel_divisor > 0.02 ? 1.0 / in.accel_divisor : 50.0;
  }
  const double friction = blk(kFriction) * (0.2 * wpu + 0.8 * std::fabs(wpu) * wpu);
  const double acc = (dd + in.mech_torque - te - friction) * blk(kAccelFactor) * k * s.dt * 10.0;
  const double n = std::round(blk(kSpeedTens)) + acc + blk(kSpeedRemainder);
  blk(kSpeedTens) = std::round(n);
  blk(kSpeedRemainder) = n - std::round(n);
  return 0.1 * n;
}

// 11. The speed correction toward the power order (imposed speed only).
void speed_correction(const Step& s, const SyncStepIn& in, double pe) {
  const MachineBlock& blk = s.blk;
  if (in.speed_mode == 1 || in.add_correction != 1) {
    blk(kSpeedCorrection) = 0.0;
    return;
  }
  const double ps = blk(kPowerScale), m = s.m;
  const double g = ps < 0.1 * m ? 10.0 : (ps >= 100.0 * m ? 0.01 : blk(kInvPowerScale) * m);
  double r = (pe + in.power_order) * blk(kInvBasePower);
  r = m < kTinyMultiplier ? r * 10000.0 : r / m;
  r = std::clamp(r, -0.8, 0.8);
  blk(kSpeedCorrection) = r * (0.25 * blk(kXd) + g) * blk(kTrimGain);
}

// 12a. The rotor's speed this step: its own (the mechanical equation's) or
// the imposed one with the trim's correction; a machine without inertia is
// refused.
double machine_speed(const Step& s, const SyncStepIn& in) {
  const MachineBlock& blk = s.blk;
  if (in.speed_mode != 1) return in.imposed_speed + (in.add_correction == 1 ? blk(kSpeedCorrection) : 0.0);
  if (blk(kInertia) < kTinyInertia) {
    if (s.nodes == nullptr) machine_refuse("Unrealistic inertia in synchronous machine");
    ListLine() << "ERROR: Unrealistic inertia in Sync. Machine";
    machine_stop();
  }
  return blk(kRotorSpeed);
}

// 12b. The rotor angle advanced by w over the step, kept in [0, 2 pi).
double advanced_angle(double theta_old, double w, double dt) {
  double theta = w * dt + theta_old;
  if (theta >= kTwoPi) {
    theta -= kTwoPi;
  } else if (theta < 0.0) {
    theta += kTwoPi;
  }
  return theta;
}

// The zero-sequence state of a step: the phase-voltage sum, the current
// before and after.
struct ZeroSequence {
  double vs = 0.0, i0_old = 0.0, i0 = 0.0;
};

// 12c. The zero sequence: its current and the two outputs.
ZeroSequence zero_sequence(const Step& s, SyncStepOut& out) {
  const MachineBlock& blk = s.blk;
  ZeroSequence z;
  z.vs = s.v[0] + s.v[1] + s.v[2];
  z.i0_old = blk(kZeroSeqCurrent);
  blk(kZeroSeqOld) = z.i0_old;
  z.i0 = blk(kZeroSeqDecay) * z.i0_old + blk(kZeroSeqGain) * z.vs;
  blk(kZeroSeqCurrent) = z.i0;
  blk(kZeroSeqOut3) = out.zero_current3 = 3.0 * s.m * z.i0;
  blk(kZeroSeqOut) = out.zero_seq = blk(kZeroSeqResistance) * z.i0 + blk(kZeroSeqVoltageShare) * z.vs;
  return z;
}

// 12d. The phase currents at the rotor angle theta and the machine's Norton
// equivalent (with the damping branch's history in the variant).
void norton_equivalent(Step& s, const MachineCurrents& c, double theta, double i0) {
  const MachineBlock& blk = s.blk;
  const double scale = s.m * blk(kRatedCurrent), st = std::sin(theta), ct = std::cos(theta);
  const double a = -(c.iq * st + c.id * ct) * scale;
  const double beta = -(st * c.id - c.iq * ct) * scale * kSqrt3Half;
  const double i_ph[3] = {a - s.m * i0, beta - a / 2.0 - s.m * i0, -a / 2.0 - beta - s.m * i0};
  if (moved(s.m, blk(kMultiplierApplied), 0.05)) {
    blk(kMultiplierApplied) = s.m;
    s.refactor = true;
  }
  const double ma = blk(kMultiplierApplied);
  s.gm = ma * blk(kBranchConductance) + ma * blk(kShuntConductance);
  for (std::int32_t k = 0; k < 3; ++k) {
    s.j[k] = s.v[k] * (ma * blk(kBranchConductance)) + i_ph[k];
    blk(kPhaseCurrentA + k) = i_ph[k] - s.v[k] * ma * blk(kShuntConductance);
  }
  if (!s.damped) return;
  const double gd = ma * blk(kDampBranchHistoryGain);
  for (std::int32_t k = 0; k < 3; ++k) {
    const std::int32_t hs = kDampBranchHistoryA + k;
    blk(hs) = blk(hs) * blk(kDampBranchFactor) - s.v[k] * gd;
    s.j[k] -= blk(hs);
  }
}

// 12. Machine mode: speed, rotor angle, the electrical solution, zero sequence,
// fluxes and torque, the mechanical equation, powers, phase currents and the
// machine's Norton equivalent.
void machine_step(Step& s, const SyncStepIn& in, double xmd, SyncStepOut& out) {
  const MachineBlock& blk = s.blk;
  if (s.first) initial_state(s, in);
  const double w = machine_speed(s, in);
  const double theta_old = blk(kRotorAngle);
  const double theta = advanced_angle(theta_old, w, s.dt);
  // The electrical solution.
  const double efd = s.first ? blk(kIfd) * blk(kFieldCurrentScale) : in.field_voltage;
  const double kr = in.use_factor == 1 ? in.factor : 1.0;
  const MachineCurrents s0{blk(kId), blk(kIfd), blk(kIkd), blk(kIq), blk(kIkq1),
                           blk(kTwoQCircuits) <= 0.5 ? 0.0 : blk(kIkq2)};
  const StepResult r = macslv(blk, s.v[0], s.v[1], s.v[2], efd, kr, s.dt, w, theta_old, theta, s0);
  const MachineCurrents& c = r.next;
  blk(kId) = c.id;
  blk(kIfd) = c.ifd;
  blk(kIkd) = c.ikd;
  blk(kIq) = c.iq;
  blk(kIkq1) = c.ikq1;
  blk(kIkq2) = c.ikq2;
  const double u1 = r.vd, u2 = r.vq;
  out.voltage_angle = std::atan2(u1, std::fabs(u2) < 1.0E-6 ? 1.0E-6 : -u2);
  out.field_current = blk(kFieldCurrentScale) * c.ifd;
  const ZeroSequence z = zero_sequence(s, out);
  // Fluxes and torque.
  const double imd = c.id + c.ifd + c.ikd, imq = c.iq + c.ikq1 + c.ikq2;
  const double psid = dflux(blk, c.id, imd, fndzon(blk, imd));
  double psiq = blk(kXa) * c.iq + blk(kXmq) * imq;
  if (!s.damped && in.q_saturation == 2) {
    const double ratio = blk(kXmq) / xmd;
    psiq = qflux(blk, c.iq, imq, ratio, fndzon(blk, ratio * imq));
  }
  blk(kMagCurrentD) = imd;
  blk(kMagCurrentQ) = imq;
  blk(kFluxD) = psid;
  blk(kFluxQ) = psiq;
  out.te = 0.5 * (psid * c.iq - psiq * c.id);
  s.new_speed = mechanical(s, in, w, out.te);
  s.theta = theta;
  blk(kRotorAngle) = theta;
  blk(kRotorSpeed) = s.new_speed;
  // Powers.
  const double pe = ((c.iq * u2 + c.id * u1) * 0.5 * blk(kInvOmega) * blk(kBasePower) + s.loss) * s.m;
  out.p = -pe - z.i0_old * s.m * z.vs;
  out.q = -s.m * blk(kInvOmega) * (u1 * c.iq - u2 * c.id) * 0.5 * blk(kBasePower);
  speed_correction(s, in, pe);
  norton_equivalent(s, c, theta, z.i0);
}

// 13. The phase branches: one conductance for the three, through the network's
// run-time change (which marks the matrix for re-factorisation); each its
// negated current source; and the previous-step source corrected for the
// change of the start-up source's conductance.
void phase_branches(const Step& s, const SyncStepIn& in) {
  const double damping = s.damped ? s.blk(kDampBranchConductance) * s.blk(kMultiplierApplied) : 0.0;
  const double g = s.gm + s.G + damping;
  for (std::int32_t k = 0; k < 3; ++k) {
    const std::int32_t br = in.phase[static_cast<std::size_t>(k)];
    if (s.refactor || branches::geq(br, in.ss) != g) change_branch_conductance(kTag, in.ss, br, g);
    double total = s.j[k] + s.inj[k];
    if (s.tz && std::fabs(total) < kLeastCurrent) total = kLeastCurrent;
    branches::ccbr(br, in.ss) = -total;
    branches::ccbrd(br, in.ss) -= s.e_old[k] * (s.G - s.g_old);
  }
}

// 13'. The node-injection form: each phase node that is not ground takes the
// Norton conductance and current through the network's injection helper, its
// previous-step injection the correction for the change of the start-up
// source's conductance; a changed admittance lowers the re-factorisation
// marker to the smallest phase node that is not ground (it holds no state, so
// the change is no switching).
void node_entry(const Step& s, const SyncStepIn& in) {
  const double damping = s.blk(kDampBranchConductance) * s.blk(kMultiplierApplied);
  const double g = s.gm + s.G + damping;
  const std::array<std::int32_t, 3>& n = *s.nodes;
  for (std::int32_t k = 0; k < 3; ++k) {
    const std::int32_t node = n[static_cast<std::size_t>(k)];
    if (node == 0) continue;
    double total = s.j[k] + s.inj[k];
    if (s.tz && std::fabs(total) < kLeastCurrent) total = kLeastCurrent;
    add_norton(kTag, in.ss, node, g, total);
    correct_previous_injection(kTag, in.ss, node, s.e_old[k] * (s.G - s.g_old));
  }
  if (s.refactor) {  // a change of a conductance that holds no state: not a switching
    lower_mxinv(in.ss, n[0], n[1]);
    lower_mxinv(in.ss, n[2], 0);
  }
}

// 14. The outputs: machine mode's, or the source's power and air-gap torque;
// the filtered torque and the mechanical-side torque.
void outputs(const Step& s, SyncStepOut& out) {
  const MachineBlock& blk = s.blk;
  if (s.mode) {
    out.rotor_angle = s.theta;
    out.speed = s.new_speed;
    out.machine_mode = 1;
  } else {
    out.field_current = blk(kIfd) * blk(kFieldCurrentScale);
    out.speed = blk(kOmega);
    const bool filtered = s.t > s.tr + kFilterStart;
    out.p = filtered ? s.Pf : s.P;
    out.q = filtered ? s.Qf : s.Q;
    out.te = 0.0;
    if (s.m >= kTinyMultiplier) {
      const double x = (out.p / s.m + s.loss) * blk(kInvBasePower), y = (out.q / s.m) * blk(kInvBasePower);
      const double v = std::max(s.E * blk(kSourceVoltageFactor), 0.5);
      const double i = std::sqrt(x * x + y * y) / v;
      out.te = x + i * i * blk(kRa);
    }
    out.zero_seq = out.zero_current3 = out.voltage_angle = out.rotor_angle = 0.0;
    out.machine_mode = out.machine_speed_mode = 0;
  }
  if (s.t <= s.tr + kFilterStart) {
    out.te_filtered = out.te;
    blk(kTorqueFilterIn) = blk(kTorqueFilterOut) = out.te;
  } else {
    out.te_filtered = blk(kTorqueFilterB) * blk(kTorqueFilterOut) + (blk(kTorqueFilterIn) + out.te) * blk(kTorqueFilterA);
    blk(kTorqueFilterIn) = out.te;
    blk(kTorqueFilterOut) = out.te_filtered;
  }
  if (s.mode) {
    const double z = s.new_speed * blk(kInvOmega);
    out.tm = z * (0.8 * std::fabs(z) * blk(kFriction) + 0.2 * blk(kFriction)) + out.te_filtered;
  } else {
    out.tm = blk(kFriction) + out.te_filtered;
  }
}

// 2-14. One step after the time-zero work: the step-dependent constants, the
// start-up source, the machine, the network entry and the outputs.
void common_step(Step& s, const SyncStepIn& in, double e0, double angle_offset, double xmd, SyncStepOut& out) {
  const MachineBlock& blk = s.blk;
  new_time_step(s);
  // The start-up source is active until 0.04 s after machine mode began.
  const bool active = !(is_one(blk(kNoStartupSource)) || s.t > blk(kMachineModeTime) + kHandoverTime);
  blk(kSourceActive) = active ? 1.0 : 0.0;
  s.tr = std::max(blk(kReleaseTime), 0.0);
  enter_mode(s, in.handover);
  terminal(s, in);
  if (active) {
    startup_source(s, in, e0, angle_offset);
  } else {
    blk(kPowerLastP) = blk(kPowerLastQ) = 0.0;
    for (std::int32_t k = 0; k < 3; ++k) blk(kSourceInjectionA + k) = blk(kSourceCurrentOldA + k) = 0.0;
  }
  source_history(s);
  if (s.mode) {
    machine_step(s, in, xmd, out);
    out.machine_speed_mode = in.speed_mode >= 1 ? 1 : 0;
  } else if (!is_one(blk(kNoStartupSource))) {
    // Outside machine mode the field current of the hand-over state is tracked.
    double p = 0.0, q = 0.0;
    handover_power(s, p, q);
    blk(kIfd) = icconv(blk, blk(kHandoverMagnitude), blk(kHandoverAngle), p, q).ifd;
  }
  if (s.nodes == nullptr) {
    phase_branches(s, in);
  } else {
    node_entry(s, in);
  }
  outputs(s, out);
}

// The constants every form sets at time zero after the set-up routines.
void time_zero_constants(Step& s) {
  const MachineBlock& blk = s.blk;
  blk(kLastStep) = kFirstStep;
  blk(kSourceBaseAngle) -= blk(kOmega) * s.dt;
  blk(kMultiplierApplied) = 0.0;  // no machine conductance before machine mode
  for (std::int32_t k = 0; k < 6; ++k) blk(kDampFilterState + k) = 0.0;
}

// The block's slot of each monitored slot number, checked against the block.
void monitored(const MachineBlock& blk, const std::array<std::int32_t, 6>& slots, SyncStepOut& out) {
  for (std::size_t k = 0; k < slots.size(); ++k) {
    const std::int32_t slot = slots[k];
    if (slot < 1 || slot > kMachineBlockSize) machine_refuse("A monitored slot of the machine lies outside its block");
    out.monitor[k] = blk(slot);
  }
}

}  // namespace

void sync_machine_exe(MachineVariant variant, const SyncStepIn& in, SyncStepOut& out) {
  Step s{current_machine_block()};
  s.damped = variant == MachineVariant::damping_branch;
  s.tz = e_s1::timezero;
  s.dt = e_s1::delt;
  s.t = e_s1::time;
  s.m = in.multiplier;
  const MachineBlock& blk = s.blk;
  const std::int32_t reals = s.damped ? kConfigRealsDamped : kConfigReals;
  // The block filled from the record, at time zero; then the record read where
  // it stands, the configuration pointers moved on.
  if (s.tz) {
    macdat1_cfg(blk, reals);
    smtdis(blk);
    smtqi(blk);
    macpre(blk, in.handover);
    time_zero_constants(s);
  }
  const blocks::Slots<std::int32_t> ri = blocks::take_rtci(kConfigInts);
  const blocks::Slots<double> cfg = blocks::take_rtcf(reals);
  if (s.tz) time_zero(s, in, cfg);
  common_step(s, in, cfg(kCfgSourceMagnitude), cfg(kCfgSourceAngle), cfg(kCfgXmd), out);
  std::array<std::int32_t, 6> slots{};
  for (std::int32_t k = 0; k < 6; ++k) slots[static_cast<std::size_t>(k)] = ri(kCfgMonitor + k);
  monitored(blk, slots, out);
  advance_machine_block();
}

void newsnc(const NewsncIn& arg, SyncStepOut& out) {
  Step s{current_machine_block()};
  s.damped = true;  // the terminal filter is built in
  s.nodes = &arg.nodes;
  s.tz = e_s1::timezero;
  s.dt = e_s1::delt;
  s.t = e_s1::time;
  s.m = std::max(arg.step.multiplier, 0.0);
  const MachineBlock& blk = s.blk;
  const std::int32_t ss = arg.step.ss;
  if (s.tz) {
    // The phase nodes, checked before anything is read or written.
    if (ss < 1 || ss > e_s0::mbus.extent(1)) machine_refuse("The subsystem of the machine does not exist");
    for (std::int32_t n : arg.nodes)
      if (n < 0 || n > e_s0::mbus(ss)) machine_refuse("A phase node of the machine is not a node of its subsystem");
    macdat(blk);
    smtdis(blk);
    smtqi(blk);
    macpre(blk, arg.step.handover);
    time_zero_constants(s);
    damping_branch_constants(blk);
    for (std::int32_t n : arg.nodes) {
      if (n == 0) continue;
      enable_norton(kTag, ss, n);
      // A multiplier of 0 is no machine: no impedance to record (1/0 otherwise).
      if (s.m <= 0.0) continue;
      harm_record(kHarmInductance, ss, {n, 0}, {1.0 / (2.0 * blk(kBranchConductancePerSecond) * s.m)});
      if (blk(kShuntConductance) >= 1.0E-10)
        harm_record(kHarmResistance, ss, {n, 0}, {1.0 / (blk(kShuntConductance) * s.m)});
    }
  }
  SyncStepIn in = arg.step;
  in.multiplier = s.m;
  // Per-unit field quantities on request.
  if (arg.per_unit_field == 1) in.field_voltage /= blk(kFieldVoltageScale);
  common_step(s, in, std::max(arg.source_voltage, 0.0), arg.source_angle, blk(kXmd), out);
  if (arg.per_unit_field == 1) out.field_current /= blk(kFieldCurrentScale);
  monitored(blk, arg.monitor, out);
  advance_machine_block();
}

void syncmc3p2_exe(const SyncStepIn& in, SyncStepOut& out) { sync_machine_exe(MachineVariant::rc_branches, in, out); }

void syncmc3p1_exe(const SyncStepIn& in, SyncStepOut& out) {
  sync_machine_exe(MachineVariant::damping_branch, in, out);
}

}  // namespace wakro::machines

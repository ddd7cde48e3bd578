// The generator module's four routines (see generic_sg_1.h).
#include "case/generic_sg_1.h"

#include <array>
#include <cmath>

#include "blocks/conventions.h"
#include "blocks/events.h"
#include "blocks/interpolated.h"
#include "blocks/meters.h"
#include "blocks/slots.h"
#include "case/gast.h"
#include "diag/message.h"
#include "diag/nodeaccess.h"
#include "machines/exciter_ac7b.h"
#include "machines/machine_block.h"
#include "machines/sync_config.h"
#include "machines/sync_machine.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/rt_config.h"
#include "output/runtime_messages.h"

namespace {

using namespace wakro::casecode;
using namespace wakro::machines;
using wakro::blocks::next_rtcf;
using wakro::blocks::next_rtci;
using wakro::blocks::take_rtcf;
using wakro::blocks::take_storf;
using wakro::blocks::take_stori;

constexpr double kRefSpeed = kGeneratorData.w;  // rad/s
constexpr double kAmbientLimit = 1.0;      // GAST's AT
constexpr double kIntegralBound = 1.0E+05;
constexpr double kVtSmoothing = 0.02;      // s
constexpr double kVtFloor = 1.0E-08;
constexpr double kHzPerPu = 60.0;
constexpr double kMw = 100.0;              // MW per unit of the case's 100 MVA base
const double kSqrt3 = std::sqrt(3.0);

// Argument positions of the record entry that the step reads after the
// machine's configuration record base (kept from before the machine call).
double machine_config(std::int32_t record, std::int32_t slot) { return rt_config::rtcf(record + slot - 1); }

// Step 10: the rotor-angle tracker on its four storage reals.
double track_angle(std::int32_t block, std::int32_t latch, const SyncStepOut& out, double w_rated,
                   double third_term) {
  const wakro::blocks::Slots<double> t = take_storf(kTrackReals);
  if (out.machine_mode == 0) {
    t(kTrackAngle) = 0.0;
    return 0.0;
  }
  if (latch == 0) {
    t(kTrackStart) = e_s2::stor(block + kNoStartupSource) >= 0.5 ? e_s2::stor(block + kInitAngle)
                                                                 : e_s2::stor(block + kHandoverAngle);
    t(kTrackSum) = 0.0;
  }
  t(kTrackSum) += (out.speed - w_rated) * e_s1::delt;
  t(kTrackThird) = third_term;
  t(kTrackAngle) = t(kTrackStart) + t(kTrackSum) + t(kTrackThird);
  return t(kTrackAngle);
}

SyncMachineData machine_data(double v, double theta, double p, double q, double power_scale, double vb, double ib,
                             double h, double ra, double xp_agfc) {
  SyncMachineData m;
  m.data_form = 1;
  m.q_circuits = 2;
  m.start_mode = 1;
  m.rated_current = ib;
  m.rated_voltage = vb;
  m.w = kRefSpeed;
  m.inertia = h;
  m.friction = kGeneratorData.friction;
  m.shunt_r = kGeneratorData.shunt_r;
  m.ra = ra;
  m.xp_agfc = xp_agfc;
  m.d = kGeneratorData.d;
  m.q = kGeneratorData.q;
  m.sat_x = {0.0, 1.0, -1.0};  // the linear curve
  m.sat_y = {0.0, 1.0};
  const double rating = 3.0 * vb * ib;
  m.v_or_angle = v;
  m.angle_or_id = theta;
  m.p_or_iq = p / rating;
  m.q_or_ifd = q / rating;
  m.speed_pu = 0.0;
  m.release_time = kGeneratorData.release_time;
  m.power_scale = power_scale;
  m.trim_time = kGeneratorData.trim_time;
  m.rc_resistance = kGeneratorData.rc_resistance;
  m.rc_time_factor = kGeneratorData.rc_time_factor;
  return m;
}

}  // namespace

wakro::machines::Ac7bData wakro::casecode::generator_exciter_data() {
  wakro::machines::Ac7bData d;
  d.KPR = 12.77;
  d.KIR = 20.0;
  d.VRMAX = 5.0;
  d.VRMIN = -5.0;
  d.KPA = 20.0;
  d.KIA = 1.0;
  d.VAMAX = 1.0;
  d.VAMIN = -1.0;
  d.KP = 6.41;
  d.EFDMIN = 0.79;
  d.KL = 26.2;
  d.VFEMAX = 6.1;
  d.SE1 = 1.195;
  d.E1 = 4.025;
  d.SE2 = 0.097;
  d.E2 = 3.02;
  d.TE = 1.945;
  d.KE = 1.0;
  d.KD = 0.567;
  d.KC = 0.172;
  d.KF2 = 1.0;
  return d;
}

namespace {

// The working values of one dyn pass, in the order of its steps.
struct SgStep {
  double speed_last;
  std::int32_t release, speed_mode, machine_mode;
  double fs, base_ref, error, integral, sampled, gov_ref;
  std::int32_t block, record, latch;
  double w_rated;
  SyncStepOut out;
  double efd0, tracked, vt, it1, it2, speed;
};

// 1. Flags: the secondary control's release, the speed mode and the hand-over.
void set_flags(double release_time, double speed_mode_time, double handover_time, SgStep& s) {
  const double t = e_s1::time;
  s.release = t >= release_time ? 1 : 0;
  s.speed_mode = t >= speed_mode_time ? 1 : 0;
  s.machine_mode = t >= handover_time ? 1 : 0;
}

// 2. Sampling frequency of the secondary control; 4. the governor's base
// reference; 5. the secondary control sees the speed from its release time on;
// 6. its error; 7. the integral, sampled, added to the base reference.
void secondary_control(double period, double governor_mw, double scale, double gain, SgStep& s) {
  s.fs = guarded_inverse(period);
  s.base_ref = guarded_div(governor_mw, kMw * scale);
  const std::int32_t released_value = next_rtci();
  const double speed_sc = s.release == released_value ? s.speed_last : 1.0;
  s.error = (1.0 - speed_sc) * gain;
  const double y0 = next_rtcf();
  const wakro::blocks::XPair no_reset{0.0, 0.0};
  const wakro::blocks::XPair input{s.error, 0.0};
  s.integral = wakro_xint(0, 0, 0, y0, 1.0, 0.0, -kIntegralBound, kIntegralBound, no_reset, input);
  s.sampled = samp5(s.integral, s.fs, 0, 0.0, 0);
  s.gov_ref = s.base_ref + s.sampled;
}

// 9. The machine; its block and record bases kept from before its call.
void run_machine(const ModuleCall& c, double pm, double efd, SgStep& s) {
  component_id(c.call_no, kSgMachineId);
  s.block = e_s2::nexc;
  s.record = rt_config::nrtcf;
  const wakro::blocks::Slots<std::int32_t> latch = take_stori(1);
  latch(1) = rounded(e_s2::stor(s.block + kMachineMode));
  s.latch = latch(1);
  s.w_rated = machine_config(s.record, kCfgOmega);
  SyncStepIn in;
  in.ss = c.ss;
  for (std::int32_t k = 0; k < 3; ++k) {
    in.phase[static_cast<std::size_t>(k)] = c.branch(kSgBrPhase + k);
    in.rc[static_cast<std::size_t>(k)] = c.branch(kSgBrRc + k);
  }
  in.power_order = 0.0;
  in.angle_follows = 0;
  in.handover = s.machine_mode;
  in.multiplier = 1.0;
  in.speed_mode = s.speed_mode;
  in.imposed_speed = s.w_rated;
  in.mech_torque = pm;
  in.accel_divisor = 1.0;
  in.damping = 0.0;
  in.ref_speed = kRefSpeed;
  in.field_voltage = efd;
  in.factor = 1.0;
  in.q_saturation = 0;
  syncmc3p2_exe(in, s.out);
}

// 11. Terminal voltage in per unit and the exciter's current terms; 12. speed
// in per unit.
void terminal_terms(const ModuleCall& c, SgStep& s) {
  const double rated_voltage = machine_config(s.record, kCfgRatedVoltage);
  const double rated_current = machine_config(s.record, kCfgRatedCurrent);
  const std::int32_t t = kSgNodeTerminal;
  s.vt = vm3ph2(c.ss, c.node(t), c.node(t + 1), c.node(t + 2), kVtSmoothing) / (kSqrt3 * rated_voltage);
  s.it1 = 0.0;
  s.it2 = 0.0;
  if (s.vt > kVtFloor) {
    const double k = 1.0 / (3.0 * rated_current * rated_voltage);
    s.it1 = s.out.p * k / s.vt;
    s.it2 = -s.out.q * k / s.vt;
  } else {
    s.vt = 1.0;
  }
  s.speed = s.out.speed / s.w_rated;
}

// 15. Channels.
void write_channels(const ModuleCall& c, double efd, double ifd, double pm, double hz, const SgStep& s) {
  e_s4::pgb(c.pgb_base + kChEfd) = efd;
  e_s4::pgb(c.pgb_base + kChIfd) = ifd;
  e_s4::pgb(c.pgb_base + kChPmMW) = pm * kMw;
  e_s4::pgb(c.pgb_base + kChP) = s.out.p;
  e_s4::pgb(c.pgb_base + kChQ) = s.out.q;
  e_s4::pgb(c.pgb_base + kChTe) = s.out.te;
  e_s4::pgb(c.pgb_base + kChAngle) = s.tracked;
  e_s4::pgb(c.pgb_base + kChSpeed) = s.speed;
  e_s4::pgb(c.pgb_base + kChHz) = hz;
  e_s4::pgb(c.pgb_base + kChPm) = pm;
  e_s4::pgb(c.pgb_base + kChSampled) = s.sampled;
}

// 16. Save the signals.
void save_signals(const ModuleCall& c, const SgStep& s) {
  c.f(kSgSpeed) = s.speed;
  c.f(kSgGovRef) = s.gov_ref;
  c.f(kSgBaseRef) = s.base_ref;
  c.f(kSgError) = s.error;
  c.f(kSgIntegral) = s.integral;
  c.f(kSgSampled) = s.sampled;
  c.f(kSgEfd0) = s.efd0;
  c.f(kSgVt) = s.vt;
  c.f(kSgIT1) = s.it1;
  c.f(kSgIT2) = s.it2;
  c.f(kSgP) = s.out.p;
  c.f(kSgQ) = s.out.q;
  c.f(kSgTe) = s.out.te;
  c.f(kSgRotorAngle) = s.out.rotor_angle;
  c.f(kSgTrackedAngle) = s.tracked;
  c.f(kSgMachineMode) = s.out.machine_mode;
  c.i(kSgRelease) = s.release;
  c.i(kSgSpeedMode) = s.speed_mode;
  c.i(kSgMachineModeFlag) = s.machine_mode;
  c.i(kSgLatch) = s.latch;
}

}  // namespace

// One dyn pass: the steps in their numbered order.
void generic_sg_1dyn(SgArgs& a) {
  const ModuleCall c = enter_dyn(kGenericSg1);
  // Restore: last step's speed.
  SgStep s{};
  s.speed_last = c.f(kSgSpeed);
  open_data(kGenericSg1, "DATADSD:");
  set_flags(a.release_time, a.speed_mode_time, a.handover_time, s);
  // 3. Per-unit scale and the two scaled stored values.
  a.scale = a.rating_mw / kMw;
  a.stored21 = c.f(kSgStored21) * a.scale;
  a.stored22 = c.f(kSgStored22) * a.scale;
  secondary_control(a.sample_period, a.governor_mw, a.scale, a.sc_gain, s);
  // 8. The governor on last step's speed.
  double w_gov = s.speed_last, at = kAmbientLimit;
  gastdyn(w_gov, s.gov_ref, a.pm, a.t4, a.droop, a.switching_time, at);
  run_machine(c, a.pm, a.efd, s);
  a.ifd = s.out.field_current;
  // 10. EFD0 and the tracked rotor angle.
  s.efd0 = e_s2::stor(s.block + kIfd) * e_s2::stor(s.block + kFieldCurrentScale);
  s.tracked = track_angle(s.block, s.latch, s.out, s.w_rated, c.f(kSgSpeedAngleTerm));
  terminal_terms(c, s);
  // 13. The exciter: it initialises until machine mode.
  component_id(c.call_no, kSgExciterId);
  excac7b2_exe(a.vref, std::array<double, 3>{s.vt, s.it1, s.it2}, 0.0, a.ifd, s.efd0, s.machine_mode, a.efd, 0.0);
  // 14. Electrical frequency.
  a.f_hz = s.speed * kHzPerPu;
  write_channels(c, a.efd, a.ifd, a.pm, a.f_hz, s);
  // 16. The further power in per unit, the arguments kept, the signals.
  c.f(kSgArg4Scaled) = guarded_div(a.further_mw, kMw * a.scale);
  c.f(kSgArg7) = a.arg7;
  c.i(kSgArg5) = a.arg5;
  save_signals(c, s);
  close_data();
}

void generic_sg_1out() {
  const ModuleCall c = enter_out(kGenericSg1);
  open_data(kGenericSg1, "DATADSO:");
  const wakro::blocks::Slots<double> cfg = take_rtcf(kOutConfig);
  const std::int32_t t = kSgNodeTerminal, m = kSgBrMeter;
  const double va = wakro_vvdc(c.ss, c.node(t), 0);
  const double vb = wakro_vvdc(c.ss, c.node(t + 1), 0);
  const double vc = wakro_vvdc(c.ss, c.node(t + 2), 0);
  // Power flows out of the machine through its meter branches.
  const double p = p3ph3(c.ss, c.branch(m), c.branch(m + 1), c.branch(m + 2), cfg(kOutSmoothing), 0) * cfg(kOutPScale);
  const double q = q3ph3(c.ss, c.branch(m), c.branch(m + 1), c.branch(m + 2), cfg(kOutSmoothing), 0) * cfg(kOutQScale);
  const double v = vm3ph2(c.ss, c.node(t), c.node(t + 1), c.node(t + 2), cfg(kOutSmoothing));
  if (e_s4::update_ag != 0) {
    quolb_agr2(c.call_no, kSgMeterId, p, "Pd");
    quolb_agr2(c.call_no, kSgMeterId, q, "Qd");
    quolb_agr2(c.call_no, kSgMeterId, v, "Vd");
  }
  if (e_s1::firststep) {
    quolb_agi2(c.call_no, kSgMeterId, 1, "hide1");
    quolb_agi2(c.call_no, kSgMeterId, 1, "hide2");
  }
  gastout();
  c.f(kSgConst100a) = 100.0;
  c.f(kSgConst100b) = 100.0;
  c.f(kSgConst100c) = 100.0;
  c.f(kSgConst1a) = 1.0;
  c.f(kSgConst1b) = 1.0;
  c.f(kSgConst1c) = 1.0;
  c.f(kSgConst1d) = 1.0;
  c.f(kSgMeterP) = p;
  c.f(kSgMeterQ) = q;
  c.f(kSgMeterV) = v;
  c.f(kSgVa) = va;
  c.f(kSgVb) = vb;
  c.f(kSgVc) = vc;
  close_data();
}

void generic_sg_1dyn_begin(double& v, double& theta, double& p, double& q, double& power_scale, double& vb,
                           double& ib, double& c3, double& release, double& c5, double& h) {
  (void)c3;
  (void)release;
  (void)c5;
  const ModuleCall c = enter_begin(kGenericSg1);
  next_rtci() = 1;
  next_rtcf() = 0.0;
  gastdyn_begin();
  component_id(c.call_no, kSgMachineId);
  double ra = 0.0, xp_agfc = 0.0, out17 = 0.0;
  const GeneratorData& g = kGeneratorData;
  syncmc3p0_cfg(0, 0, 2, kRefSpeed, g.ta, g.xp, g.agfc, g.d.x, g.d.x_sub, g.d.x_tr, g.check_value11, g.q.x, g.q.x_sub,
                g.q.x_tr, ra, xp_agfc, out17);
  syncmc3p2_cfg(machine_data(v, theta, p, q, power_scale, vb, ib, h, ra, xp_agfc));
  component_id(c.call_no, kSgExciterId);
  excac7b2_cfg(generator_exciter_data());
}

void generic_sg_1out_begin(double& v, double& theta, double& p, double& q, double& power_scale, double& vb,
                           double& ib, double& c3, double& release, double& c5, double& h) {
  (void)v, (void)theta, (void)p, (void)q, (void)power_scale, (void)vb, (void)ib, (void)c3, (void)release, (void)c5,
      (void)h;
  (void)enter_begin(kGenericSg1);
  const wakro::blocks::Slots<double> cfg = take_rtcf(kOutConfig);
  cfg(kOutPScale) = 1.0;
  cfg(kOutQScale) = 1.0;
  cfg(kOutSmoothing) = 0.06;
  gastout_begin();
}

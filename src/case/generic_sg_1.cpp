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

constexpr double kRefSpeed = 376.992;      // rad/s
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
  m.friction = 0.001;
  m.shunt_r = 300.0;
  m.ra = ra;
  m.xp_agfc = xp_agfc;
  m.d = {0.92, 0.135, 0.032, 0.169, 4.3, 1.0E6, 1.0E6};
  m.q = {0.51, 0.2, 0.05, 0.228, 0.85};
  m.sat_x = {0.0, 1.0, -1.0};  // the linear curve
  m.sat_y = {0.0, 1.0};
  const double rating = 3.0 * vb * ib;
  m.v_or_angle = v;
  m.angle_or_id = theta;
  m.p_or_iq = p / rating;
  m.q_or_ifd = q / rating;
  m.speed_pu = 0.0;
  m.release_time = 0.1;
  m.power_scale = power_scale;
  m.trim_time = 0.2;
  m.rc_resistance = 20.0;
  m.rc_time_factor = 10.0;
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

void generic_sg_1dyn(double& a1, double& a2, double& a3, double& a4, std::int32_t& a5, double& a6, double& a7,
                     double& a8, double& a9, double& a10, double& a11, double& a12, double& a13, double& a14,
                     double& a15, double& a16, double& a17, double& a18, double& a19, double& a20, double& a21,
                     double& a22, double& a23, double& a24, double& a25, double& a26) {
  (void)a11;
  (void)a12;
  (void)a17;
  (void)a19;
  (void)a20;
  const ModuleCall c = enter_dyn(kGenericSg1);
  // Restore: the outputs written on some paths only, and last step's speed.
  const double speed_last = c.f(kSgSpeed);
  open_data(kGenericSg1, "DATADSD:");
  const double t = e_s1::time;

  // 1. Flags.
  const std::int32_t release = t >= a14 ? 1 : 0;
  const std::int32_t speed_mode = t >= a8 ? 1 : 0;
  const std::int32_t machine_mode = t >= a9 ? 1 : 0;
  // 2. Sampling frequency of the secondary control.
  const double fs = guarded_inverse(a13);
  // 3. Per-unit scale and the two scaled stored values.
  a1 = a2 / kMw;
  a21 = c.f(kSgStored21) * a1;
  a22 = c.f(kSgStored22) * a1;
  // 4. The governor's base reference.
  const double base_ref = guarded_div(a3, kMw * a1);
  // 5. The secondary control sees the speed from its release time on.
  const std::int32_t released_value = next_rtci();
  const double speed_sc = release == released_value ? speed_last : 1.0;
  // 6. Its error.
  const double error = (1.0 - speed_sc) * a15;
  // 7. The integral, sampled, added to the base reference.
  const double y0 = next_rtcf();
  const wakro::blocks::XPair no_reset{0.0, 0.0};
  const wakro::blocks::XPair input{error, 0.0};
  const double integral = wakro_xint(0, 0, 0, y0, 1.0, 0.0, -kIntegralBound, kIntegralBound, no_reset, input);
  const double sampled = samp5(integral, fs, 0, 0.0, 0);
  double gov_ref = base_ref + sampled;
  // 8. The governor on last step's speed.
  double w_gov = speed_last, at = kAmbientLimit;
  gastdyn(w_gov, gov_ref, a24, a18, a16, a10, at);

  // 9. The machine; its block and record bases kept from before its call.
  component_id(c.call_no, kSgMachineId);
  const std::int32_t block = e_s2::nexc, record = rt_config::nrtcf;
  const wakro::blocks::Slots<std::int32_t> latch = take_stori(1);
  latch(1) = rounded(e_s2::stor(block + kMachineMode));
  const double w_rated = machine_config(record, kCfgOmega);
  SyncStepIn in;
  in.ss = c.ss;
  for (std::int32_t k = 0; k < 3; ++k) {
    in.phase[static_cast<std::size_t>(k)] = c.branch(1 + k);
    in.rc[static_cast<std::size_t>(k)] = c.branch(4 + k);
  }
  in.power_order = 0.0;
  in.angle_follows = 0;
  in.handover = machine_mode;
  in.multiplier = 1.0;
  in.speed_mode = speed_mode;
  in.imposed_speed = w_rated;
  in.mech_torque = a24;
  in.accel_divisor = 1.0;
  in.damping = 0.0;
  in.ref_speed = kRefSpeed;
  in.field_voltage = a25;
  in.factor = 1.0;
  in.q_saturation = 0;
  SyncStepOut out;
  syncmc3p2_exe(in, out);
  a26 = out.field_current;

  // 10. EFD0 and the tracked rotor angle.
  const double efd0 = e_s2::stor(block + kIfd) * e_s2::stor(block + kFieldCurrentScale);
  const double tracked = track_angle(block, latch(1), out, w_rated, c.f(kSgSpeedAngleTerm));

  // 11. Terminal voltage in per unit and the exciter's current terms.
  const double rated_voltage = machine_config(record, kCfgRatedVoltage);
  const double rated_current = machine_config(record, kCfgRatedCurrent);
  double vt = vm3ph2(c.ss, c.node(4), c.node(5), c.node(6), kVtSmoothing) / (kSqrt3 * rated_voltage);
  double it1 = 0.0, it2 = 0.0;
  if (vt > kVtFloor) {
    const double k = 1.0 / (3.0 * rated_current * rated_voltage);
    it1 = out.p * k / vt;
    it2 = -out.q * k / vt;
  } else {
    vt = 1.0;
  }
  // 12. Speed in per unit.
  const double speed = out.speed / w_rated;
  // 13. The exciter: it initialises until machine mode.
  component_id(c.call_no, kSgExciterId);
  excac7b2_exe(a6, std::array<double, 3>{vt, it1, it2}, 0.0, a26, efd0, machine_mode, a25, 0.0);
  // 14. Electrical frequency.
  a23 = speed * kHzPerPu;
  // 15. Channels.
  e_s4::pgb(c.pgb_base + kChEfd) = a25;
  e_s4::pgb(c.pgb_base + kChIfd) = a26;
  e_s4::pgb(c.pgb_base + kChPmMW) = a24 * kMw;
  e_s4::pgb(c.pgb_base + kChP) = out.p;
  e_s4::pgb(c.pgb_base + kChQ) = out.q;
  e_s4::pgb(c.pgb_base + kChTe) = out.te;
  e_s4::pgb(c.pgb_base + kChAngle) = tracked;
  e_s4::pgb(c.pgb_base + kChSpeed) = speed;
  e_s4::pgb(c.pgb_base + kChHz) = a23;
  e_s4::pgb(c.pgb_base + kChPm) = a24;
  e_s4::pgb(c.pgb_base + kChSampled) = sampled;
  // 16. The further power in per unit; save the signals.
  c.f(kSgArg4Scaled) = guarded_div(a4, kMw * a1);
  c.f(kSgSpeed) = speed;
  c.f(kSgGovRef) = gov_ref;
  c.f(kSgBaseRef) = base_ref;
  c.f(kSgError) = error;
  c.f(kSgIntegral) = integral;
  c.f(kSgSampled) = sampled;
  c.f(kSgEfd0) = efd0;
  c.f(kSgVt) = vt;
  c.f(kSgIT1) = it1;
  c.f(kSgIT2) = it2;
  c.f(kSgP) = out.p;
  c.f(kSgQ) = out.q;
  c.f(kSgTe) = out.te;
  c.f(kSgRotorAngle) = out.rotor_angle;
  c.f(kSgTrackedAngle) = tracked;
  c.f(kSgMachineMode) = out.machine_mode;
  c.f(kSgArg7) = a7;
  c.i(kSgRelease) = release;
  c.i(kSgSpeedMode) = speed_mode;
  c.i(kSgMachineModeFlag) = machine_mode;
  c.i(kSgArg5) = a5;
  c.i(kSgLatch) = latch(1);
  close_data();
}

void generic_sg_1out() {
  const ModuleCall c = enter_out(kGenericSg1);
  open_data(kGenericSg1, "DATADSO:");
  const wakro::blocks::Slots<double> cfg = take_rtcf(kOutConfig);
  const double va = wakro_vvdc(c.ss, c.node(4), 0);
  const double vb = wakro_vvdc(c.ss, c.node(5), 0);
  const double vc = wakro_vvdc(c.ss, c.node(6), 0);
  // Power flows out of the machine through its meter branches.
  const double p = p3ph3(c.ss, c.branch(7), c.branch(8), c.branch(9), cfg(kOutSmoothing), 0) * cfg(kOutPScale);
  const double q = q3ph3(c.ss, c.branch(7), c.branch(8), c.branch(9), cfg(kOutSmoothing), 0) * cfg(kOutQScale);
  const double v = vm3ph2(c.ss, c.node(4), c.node(5), c.node(6), cfg(kOutSmoothing));
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
  syncmc3p0_cfg(0, 0, 2, kRefSpeed, 0.332, 0.13, 1.0, 0.92, 0.135, 0.169, 1.0E-06, 0.51, 0.2, 0.228, ra, xp_agfc,
                out17);
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

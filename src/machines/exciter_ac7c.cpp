// The AC7C excitation system (see exciter_ac7c.h).
#include "machines/exciter_ac7c.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "blocks/continuous.h"
#include "blocks/pid_controller.h"
#include "blocks/slots.h"
#include "blocks/tc_inputs.h"
#include "diag/convert.h"
#include "diag/message.h"
#include "machines/exciter_ac7b.h"
#include "machines/exciter_ac7b_chain.h"
#include "model/constants.h"
#include "model/e_warn.h"
#include "model/storage.h"

namespace wakro::machines {

namespace {

constexpr double kOpenLimit = 999.0;

// The record read back into named values.
struct Ac7cParams {
  double A, B, KPR, KIR, KDR, TDR, VRMAX, VRMIN, KPA, KIA, VAMAX, VAMIN, KP, THETAP, KI, XL, KC1, VBMAX;
  double KEFD, KL, VFEMAX, VEMIN, TE, KE, KD, KC, KF2, KF1, KF3, TF, RC, XC, TR;
  std::int32_t stab, constant, field_fed;
};

// Each data value of the configuration record with its entry, for the
// configuration that writes the record and the step that reads it back.
template <class Values, class Visit>
void each_ac7c_entry(Values& v, Visit visit) {
  visit(kCcKPR, v.KPR);
  visit(kCcKIR, v.KIR);
  visit(kCcKDR, v.KDR);
  visit(kCcTDR, v.TDR);
  visit(kCcVRMAX, v.VRMAX);
  visit(kCcVRMIN, v.VRMIN);
  visit(kCcKPA, v.KPA);
  visit(kCcKIA, v.KIA);
  visit(kCcVAMAX, v.VAMAX);
  visit(kCcVAMIN, v.VAMIN);
  visit(kCcKP, v.KP);
  visit(kCcTHETAP, v.THETAP);
  visit(kCcKI, v.KI);
  visit(kCcXL, v.XL);
  visit(kCcKC1, v.KC1);
  visit(kCcVBMAX, v.VBMAX);
  visit(kCcKEFD, v.KEFD);
  visit(kCcKL, v.KL);
  visit(kCcVFEMAX, v.VFEMAX);
  visit(kCcVEMIN, v.VEMIN);
  visit(kCcTE, v.TE);
  visit(kCcKE, v.KE);
  visit(kCcKD, v.KD);
  visit(kCcKC, v.KC);
  visit(kCcKF2, v.KF2);
  visit(kCcKF1, v.KF1);
  visit(kCcKF3, v.KF3);
  visit(kCcTF, v.TF);
  visit(kCcRC, v.RC);
  visit(kCcXC, v.XC);
  visit(kCcTR, v.TR);
}

Ac7cParams params_of(const blocks::Slots<double>& c, const blocks::Slots<std::int32_t>& ci) {
  Ac7cParams p{};
  p.A = c(kCcSatA);
  p.B = c(kCcSatB);
  each_ac7c_entry(p, [&c](Ac7cConfig k, double& x) { x = c(k); });
  p.stab = ci(kCcStabPlace);
  p.constant = ci(kCcConstSource);
  p.field_fed = ci(kCcFieldFed);
  return p;
}

// Source voltage of the exciter's field: KEFD EFD when field-fed (no upper
// limit); otherwise the potential/current source (or |KP|) rectified with the
// exciter field current as its load, at most VBMAX.
double source_voltage(const Ac7cParams& p, const std::array<double, 3>& vt, double efd, double vfe) {
  if (p.field_fed != 0) return p.KEFD * efd;
  double raw = std::fabs(p.KP);
  if (p.constant == 0) {
    const double th = p.THETAP * kDegToRad;
    const std::complex<double> kp(p.KP * std::cos(th), p.KP * std::sin(th));
    const std::complex<double> it(vt[1], vt[2]);
    const std::complex<double> j(0.0, 1.0);
    raw = std::abs(kp * vt[0] + j * (p.KI + kp * p.XL) * it);
  }
  return std::min(getefd(raw, vfe, p.KC1), p.VBMAX);
}

void flag_warning(std::int32_t k) {
  static constexpr std::string_view kText[kAc7cFlags] = {
      "Initial Condition is unrealizable due to the limit of VAMAX",
      "Initial Condition is unrealizable due to the limit of VAMIN",
      "Initial Condition is unrealizable due to the limit of VRMAX",
      "Initial Condition is unrealizable due to the limit of VRMIN",
      "Initial Condition is unrealizable due to the limit of VOEL",
      "Initial Condition is unrealizable due to the limit of VOEL",
      "Initial Condition is unrealizable due to the limit of VSCLo",
      "Initial Condition is unrealizable due to the limit of VUEL",
      "Initial Condition is unrealizable due to the limit of VSCLu",
      "Initial Condition is unrealizable due to the limit of VOEL",
      "Initial Condition is unrealizable due to the limit of VSCLo",
      "Initial Condition is unrealizable due to the limit of VUEL",
      "Initial Condition is unrealizable due to the limit of VSCLu"};
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, kText[k - 1]);
}

// Initial states of the amplifier and the regulator traced back from VRX0
// through the gates and limits; the flags of every clip met on the way.
struct InitialGates {
  double va = 0.0, vr = 0.0;
};

InitialGates initial_gates(const Ac7cParams& p, const Ac7cLimiters& l, double vrx, double vb, double efd,
                           double vfe, double vs, const blocks::Slots<bool>& fl) {
  for (std::int32_t k = 1; k <= kAc7cFlags; ++k) fl(k) = false;
  InitialGates g;
  // Amplifier: behind VB, the OEL gate, then its own limits.
  g.va = std::fabs(vb) <= kTiny ? vrx : vrx / vb;
  if (g.va > l.oel_amp) {
    g.va = l.oel_amp;
    fl(kCcClipOelAmp) = true;
  }
  bool hi = false, lo = false;
  g.va = ac7b_clipped(g.va, p.VAMIN, p.VAMAX, hi, lo);
  fl(kCcClipVamax) = hi;
  fl(kCcClipVamin) = lo;
  // Regulator output: the minimum gate, the maximum gate, then the limits. A
  // tie between two limiter signals is the stator-current limiter's.
  g.vr = p.KF2 * efd + p.KF1 * vfe;
  const double out_min = std::min(l.oel_out, l.sclo_out);
  if (g.vr > out_min) {
    g.vr = out_min;
    fl(l.oel_out < l.sclo_out ? kCcClipOelOut : kCcClipSclOOut) = true;
  }
  const double out_max = std::max(l.uel_out, l.sclu_out);
  if (g.vr < out_max) {
    g.vr = out_max;
    fl(l.uel_out > l.sclu_out ? kCcClipUelOut : kCcClipSclUOut) = true;
  }
  g.vr = ac7b_clipped(g.vr, p.VRMIN, p.VRMAX, hi, lo);
  fl(kCcClipVrmax) = hi;
  fl(kCcClipVrmin) = lo;
  // Regulator input: zero at equilibrium, traced through the gates for the flags.
  double x = 0.0;
  const double in_min = std::min(l.oel_in, l.sclo_in);
  if (in_min < x) {
    x = in_min;
    fl(l.oel_in < l.sclo_in ? kCcClipOelIn : kCcClipSclOIn) = true;
  }
  if (p.stab == 1) x -= vs;
  if (std::max(l.uel_in, l.sclu_in) > x) fl(l.uel_in > l.sclu_in ? kCcClipUelIn : kCcClipSclUIn) = true;
  return g;
}

}  // namespace

static_assert(fit_entries(kCcSatA, kCcSatB));

void excac7c1_cfg(const Ac7cData& d) {
  const blocks::Slots<double> r =
      checked_exciter_record(exciter_limits(d), kAc7cTag, LimitReport::every_failure_as_error, kAc7cConfigReals);
  each_ac7c_entry(d, [&r](Ac7cConfig k, double x) { r(k) = x; });
  const blocks::Slots<std::int32_t> ri = blocks::take_rtci(kAc7cConfigInts);
  ri(kCcStabPlace) = d.stabiliser_place;
  ri(kCcConstSource) = d.constant_source;
  ri(kCcFieldFed) = d.field_fed;
}

void excac7c1_exe(double vref, const std::array<double, 3>& vt, double vs, double ifd, double efd0,
                  std::int32_t run, double& efd, const Ac7cLimiters& l) {
  storage::this_ = storage::nstorf;
  const blocks::Slots<double> sf = blocks::take_storf(kAc7cReals);
  const blocks::Slots<std::int32_t> si = blocks::take_stori(1);
  const blocks::Slots<bool> fl = blocks::take_storl(kAc7cFlags);
  const blocks::Slots<double> c = blocks::take_rtcf(kAc7cConfigReals);
  const Ac7cParams p = params_of(c, blocks::take_rtci(kAc7cConfigInts));
  const bool init = ac7b_init_step(run);
  const std::int32_t reset = init ? 1 : 0;
  const double vc = compensated_voltage(p.RC, p.XC, vt[0], vt[1], vt[2]);
  double ref = vref, vfe = 0.0, ve = 0.0, vb = 0.0;
  InitialGates g0;
  if (!init) {
    // 1. The last step's states; the warnings of the last initialisation.
    efd = sf(kCcEfd);
    vfe = sf(kCcVfe);
    ve = sf(kCcVe);
    vb = sf(kCcVb);
    if (si(kCcStepFlag) == 1)
      for (std::int32_t k = 1; k <= kAc7cFlags; ++k)
        if (fl(k)) flag_warning(k);
  } else {
    // Initialisation from EFD0.
    efd = efd0;
    ve = getve(efd, ifd, p.KC);
    vfe = ve * (p.A * std::exp(std::fabs(p.B * ve)) + p.KE) + p.KD * ifd;
    const double vrx = std::max(vfe, -p.KL * vfe);
    vb = source_voltage(p, vt, efd, vfe);
    g0 = initial_gates(p, l, vrx, vb, efd, vfe, vs, fl);
    ref = vc - l.uel_sum - l.oel_sum - l.scl_sum - (p.stab == 0 ? vs : 0.0);
  }
  // 2. Transducer and rate feedback.
  const double vcf = vrealp8(1.0, p.TR, vc, vc, reset, 1);
  const double fb = vdifpl8(p.KF3, p.TF, vfe, 0.0, reset, 1);
  // 3. Summing point; the stabiliser here at place 0.
  double verr = l.uel_sum + l.oel_sum + l.scl_sum - vcf + ref - fb;
  if (p.stab == 0) verr += vs;
  // 4. Regulator input gates; the stabiliser after the maximum gate at place 1.
  double gin = std::max({verr, l.uel_in, l.sclu_in});
  if (p.stab == 1) gin += vs;
  gin = std::min({gin, l.oel_in, l.sclo_in});
  // 5-6. PID and the output gates.
  double vr = pid_controller(p.KPR, p.KIR, p.KDR, p.TDR, p.VRMIN, p.VRMAX, g0.vr, gin, reset);
  vr = std::min({std::max({vr, l.uel_out, l.sclu_out}), l.oel_out, l.sclo_out});
  // The PID's reset takes effect from its next call, its output on this call
  // is that of its old state: on an initialisation step the amplifier starts
  // from the regulator's initial output, so the chain starts at equilibrium.
  if (init) vr = g0.vr;
  // 7-8. Amplifier with the last step's EFD and VFE, then the OEL gate.
  const double amp_in = vr - p.KF2 * efd - p.KF1 * vfe;
  double va = vpi9a(p.KPA, ac7b_integral_time(p.KIA), p.VAMIN, p.VAMAX, g0.va, amp_in, reset, 1);
  va = std::min(va, l.oel_amp);
  // 9. Exciter input with the last step's VB.
  const double vrx = limit(-p.KL * vfe, kOpenLimit, va * vb);
  // 10. Exciter field current with the present IFD, and its ceiling.
  const double sek = p.A * std::exp(std::fabs(p.B * ve)) + p.KE;
  vfe = ve * sek + p.KD * ifd;
  const double vemax = std::fabs(sek) <= kTiny ? kOpenLimit : (p.VFEMAX - p.KD * ifd) / sek;
  // 11. The exciter's integrator, bounded below by VEMIN itself.
  ve = vintgl8(ve, p.VEMIN, vemax, p.TE, vrx - vfe, reset, 1);
  // 12-13. Field voltage, and the source voltage for the next step.
  efd = getefd(ve, ifd, p.KC);
  const double fex = std::fabs(ve) < kTiny ? 1.0 : efd / ve;
  vb = source_voltage(p, vt, efd, vfe);
  // 14.
  sf(kCcVfe) = vfe;
  sf(kCcEfd) = efd;
  sf(kCcVe) = ve;
  sf(kCcFex) = fex;
  sf(kCcRef) = ref;
  sf(kCcVb) = vb;
  si(kCcStepFlag) = init ? 1 : 0;
}

}  // namespace wakro::machines

// The AC7B excitation system (see exciter_ac7b.h).
#include "machines/exciter_ac7b.h"

#include <cmath>

#include "blocks/continuous.h"
#include "blocks/slots.h"
#include "blocks/tc_inputs.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/storage.h"

namespace wakro::machines {

namespace {

constexpr double kTiny = 1.0E-20;
constexpr double kSlowIntegral = 9999.0;  // integral time of a PI whose gain is 0
constexpr double kOpenLimit = 999.0;
constexpr std::int32_t kSeverityWarning = 1;
constexpr std::int32_t kSeverityError = 2;
constexpr std::int32_t kSingleLine = 1;

void config_error(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, kSeverityError, kSingleLine, text);
}

double integral_time(double gain) { return std::fabs(gain) < kTiny ? kSlowIntegral : 1.0 / gain; }

double ratio_or_one(double efd, double ve) { return std::fabs(ve) < kTiny ? 1.0 : efd / ve; }

// Clips x into [lo, hi], noting which limit it met.
double clipped(double x, double lo, double hi, bool& at_hi, bool& at_lo) {
  at_hi = at_lo = false;
  if (x > hi) {
    at_hi = true;
    return hi;
  }
  if (x < lo) {
    at_lo = true;
    return lo;
  }
  return x;
}

// The states back-calculated from the field voltage EFD0 on an
// initialisation step; the clipping flags of the amplifier and regulator are
// set afresh.
struct InitialExciter {
  double ve = 0.0, fex = 1.0, vfe = 0.0, va = 0.0, vr = 0.0;
  bool low_flag = true;
};

InitialExciter initial_exciter(const blocks::Slots<double>& c, const blocks::Slots<bool>& sl, double efd0,
                               double ifd, double vt) {
  InitialExciter i;
  i.ve = getve(efd0, ifd, c(kAcKC));
  if (std::fabs(i.ve) >= kTiny) {
    i.fex = efd0 / i.ve;
    i.low_flag = i.fex > kTiny;
  }
  i.vfe = i.ve * (c(kAcSatA) * std::exp(std::fabs(c(kAcSatB) * i.ve)) + c(kAcKE)) + c(kAcKD) * ifd;
  const double vrx = std::max(i.vfe, -c(kAcKL) * i.vfe);
  const double kpvt = c(kAcKP) * vt;
  bool hi = false, lo = false;
  i.va = clipped(std::fabs(kpvt) <= kTiny ? 0.0 : vrx / kpvt, c(kAcVAMIN), c(kAcVAMAX), hi, lo);
  sl(kAcClipVamax) = hi;
  sl(kAcClipVamin) = lo;
  i.vr = clipped(c(kAcKF2) * efd0 + c(kAcKF1) * i.vfe, c(kAcVRMIN), c(kAcVRMAX), hi, lo);
  sl(kAcClipVrmax) = hi;
  sl(kAcClipVrmin) = lo;
  return i;
}

}  // namespace

SaturationFit ac7b_saturation_fit(double SE1, double E1, double SE2, double E2) {
  SaturationFit f;
  if (std::fabs(SE2 - SE1) > kTiny && std::fabs(E2 - E1) > kTiny && std::fabs(SE1) > kTiny &&
      std::fabs(SE2) > kTiny && std::fabs(E1) > kTiny && std::fabs(E2) > kTiny) {
    f.B = std::log(SE2 / SE1) / (E2 - E1);
    f.A = SE1 * std::exp(-f.B * E1);
  }
  return f;
}

void excac7b2_cfg(const Ac7bData& d) {
  bool failed = false;
  auto check = [&failed](bool bad, std::string_view text) {
    if (!bad) return;
    config_error(text);
    failed = true;
  };
  check(d.VAMAX <= d.VAMIN, "VAMAX must be greater than VAMIN");
  check(d.VRMAX <= d.VRMIN, "VRMAX must be greater than VRMIN");
  // Factors that are not positive would give the logarithm of a negative ratio.
  check((d.SE1 - d.SE2) * (d.E1 - d.E2) <= 0.0 || d.SE1 <= 0.0 || d.SE2 <= 0.0, "Negative Saturation");
  if (failed) wakro_quit(kAc7bTag, 0);
  const SaturationFit f = ac7b_saturation_fit(d.SE1, d.E1, d.SE2, d.E2);
  const blocks::Slots<double> r = blocks::take_rtcf(kAc7bConfigReals);
  r(kAcSatA) = f.A;
  r(kAcSatB) = f.B;
  r(kAcKPR) = d.KPR;
  r(kAcKIR) = d.KIR;
  r(kAcVRMAX) = d.VRMAX;
  r(kAcVRMIN) = d.VRMIN;
  r(kAcKPA) = d.KPA;
  r(kAcKIA) = d.KIA;
  r(kAcVAMAX) = d.VAMAX;
  r(kAcVAMIN) = d.VAMIN;
  r(kAcKP) = d.KP;
  r(kAcEFDMIN) = d.EFDMIN;
  r(kAcKL) = d.KL;
  r(kAcVFEMAX) = d.VFEMAX;
  r(kAcTE) = d.TE;
  r(kAcKE) = d.KE;
  r(kAcKD) = d.KD;
  r(kAcKC) = d.KC;
  r(kAcKF2) = d.KF2;
  r(kAcRC) = d.RC;
  r(kAcXC) = d.XC;
  r(kAcTR) = d.TR;
  r(kAcKDR) = d.KDR;
  r(kAcTDR) = d.TDR;
  r(kAcKF1) = d.KF1;
  r(kAcKF3) = d.KF3;
  r(kAcTF) = d.TF;
}

void excac7b2_exe(double vref, const std::array<double, 3>& vt, double vs1, double ifd, double efd0,
                  std::int32_t run, double& efd, double vs2) {
  // 1. Storage and record.
  storage::this_ = storage::nstorf;
  const blocks::Slots<double> sf = blocks::take_storf(kAc7bReals);
  const blocks::Slots<std::int32_t> si = blocks::take_stori(1);
  const blocks::Slots<bool> sl = blocks::take_storl(kAc7bFlags);
  const blocks::Slots<double> c = blocks::take_rtcf(kAc7bConfigReals);
  const double A = c(kAcSatA), B = c(kAcSatB), KP = c(kAcKP), KL = c(kAcKL), KE = c(kAcKE), KD = c(kAcKD);
  const double KC = c(kAcKC), KF1 = c(kAcKF1), KF2 = c(kAcKF2);
  const double VT = vt[0], IT1 = vt[1], IT2 = vt[2];

  // 2. The path.
  const bool init = run == 0 || e_s1::timezero;
  const std::int32_t reset = init ? 1 : 0;
  double ref = 0.0, vfe = 0.0, ve = 0.0, fex = 0.0;
  bool low_flag = false;
  double va0 = 0.0, vr0 = 0.0;
  // 3. Load compensation.
  const double re = VT + c(kAcRC) * IT1 - c(kAcXC) * IT2, im = c(kAcRC) * IT2 + c(kAcXC) * IT1;
  const double vc = std::sqrt(re * re + im * im);
  if (!init) {
    // 4. A normal step: the last step's states.
    ref = vref;
    efd = sf(kAcEfd);
    vfe = sf(kAcVfe);
    ve = sf(kAcVe);
    fex = sf(kAcFex);
    low_flag = fex > kTiny;
    if (si(1) == 1) {
      static constexpr std::string_view kClipText[4] = {
          "Initial Condition is unrealizable due to the limit of VAMAX",
          "Initial Condition is unrealizable due to the limit of VAMIN",
          "Initial Condition is unrealizable due to the limit of VRMAX",
          "Initial Condition is unrealizable due to the limit of VRMIN"};
      for (std::int32_t k = 0; k < kAc7bFlags; ++k)
        if (sl(k + 1)) wakro_warn(e_warn::comp_id1, e_warn::comp_id2, kSingleLine, kClipText[k]);
    }
  } else {
    // 5. Initialisation from EFD0.
    const InitialExciter i = initial_exciter(c, sl, efd0, ifd, VT);
    efd = efd0;
    ve = i.ve;
    fex = i.fex;
    low_flag = i.low_flag;
    vfe = i.vfe;
    va0 = i.va;
    vr0 = i.vr;
    ref = vc - vs1 - vs2;  // the regulator's error starts at zero
  }
  // 6-9. Transducer, rate feedback, error and its derivative.
  const double vcf = vrealp8(1.0, c(kAcTR), vc, vc, reset, 1);
  const double fb = vdifpl8(c(kAcKF3), c(kAcTF), vfe, 0.0, reset, 1);
  const double verr = vs1 + vs2 - vcf + ref - fb;
  const double d = vdifpl8(c(kAcKDR), c(kAcTDR), verr, 0.0, reset, 1);
  // 10. Regulator.
  const double pi_r = vpi9(c(kAcKPR), integral_time(c(kAcKIR)), c(kAcVRMIN), c(kAcVRMAX), vr0, verr, reset, 1);
  const double vr = limit(c(kAcVRMIN), c(kAcVRMAX), pi_r + d);
  // 11-12. Amplifier, with the last step's EFD and VFE.
  const double amp_in = vr - KF2 * efd - KF1 * vfe;
  const double va = vpi9(c(kAcKPA), integral_time(c(kAcKIA)), c(kAcVAMIN), c(kAcVAMAX), va0, amp_in, reset, 1);
  // 13. Exciter input, bounded above at 999.
  const double vrx = limit(-KL * vfe, kOpenLimit, va * KP * VT);
  // 14. Exciter field current with the present IFD, and its ceiling.
  const double sek = A * std::exp(std::fabs(B * ve)) + KE;
  vfe = ve * sek + KD * ifd;
  const double vemax = std::fabs(sek) <= kTiny ? kOpenLimit : (c(kAcVFEMAX) - KD * ifd) / sek;
  // 15-16. The exciter's integrator.
  const double ve_low = low_flag ? c(kAcEFDMIN) / fex : 0.0;
  ve = vintgl8(ve, ve_low, vemax, c(kAcTE), vrx - vfe, reset, 1);
  // 17-19.
  efd = getefd(ve, ifd, KC);
  fex = ratio_or_one(efd, ve);
  sf(kAcVfe) = vfe;
  sf(kAcEfd) = efd;
  sf(kAcVe) = ve;
  sf(kAcFex) = fex;
  sf(kAcRef) = ref;
  si(1) = init ? 1 : 0;
}

double getefd(double ve, double ifd, double kc) {
  if (std::fabs(ve) < kTiny || kc <= 0.0 || ifd <= 0.0) return ve;
  const double in = kc * ifd / ve;
  if (in < 0.433) return ve * (1.0 - 0.577 * in);
  if (in < 0.75) return ve * std::sqrt(0.75 - in * in);
  if (in < 1.0) return ve * 1.732 * (1.0 - in);
  return 0.0;
}

double getve(double efd, double ifd, double kc) {
  if (kc <= 0.0 || std::fabs(efd) <= kTiny || ifd <= 0.0) return efd;
  const double k = kc * ifd;
  const double ve1 = efd + 0.577 * k;
  const double ve2 = 1.155 * std::sqrt(efd * efd + k * k);
  const double ve3 = 0.577 * efd + k;
  const double in1 = k / ve1, in2 = k / ve2, in3 = k / ve3;
  const bool ok1 = in1 >= 0.0 && in1 <= 0.433;
  const bool ok2 = in2 > 0.433 && in2 <= 0.75;
  const bool ok3 = in3 > 0.75 && in3 <= 1.0;
  if (ok1 + ok2 + ok3 == 1) return ok1 ? ve1 : (ok2 ? ve2 : ve3);
  const std::int32_t id1 = e_warn::comp_id1, id2 = e_warn::comp_id2;
  wakro_message(id1, id2, kSeverityWarning, 3, "Exciter internal voltage VE can not be properly ");
  wakro_message(id1, id2, kSeverityWarning, 0, "initialized. Check KC and Ifd values. ");
  wakro_message(id1, id2, kSeverityWarning, -1, "It is assumed that VE = EFD.");
  return efd;
}

}  // namespace wakro::machines

// The AC7B excitation system (see exciter_ac7b.h).
#include "machines/exciter_ac7b.h"

#include <cmath>
#include <string>

#include "blocks/continuous.h"
#include "blocks/slots.h"
#include "blocks/tc_inputs.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "machines/exciter_ac7b_chain.h"
#include "model/storage.h"

namespace wakro::machines {

namespace {

constexpr double kSlowIntegral = 9999.0;  // integral time of a PI whose gain is 0
constexpr double kOpenLimit = 999.0;

double integral_time(double gain) { return std::fabs(gain) < kTiny ? kSlowIntegral : 1.0 / gain; }

double ratio_or_one(double efd, double ve) { return std::fabs(ve) < kTiny ? 1.0 : efd / ve; }

}  // namespace

SaturationFit ac7b_saturation_fit(double SE1, double E1, double SE2, double E2) {
  SaturationFit f;
  // A factor that is not positive would make the logarithm NaN: no fit then.
  if (std::fabs(SE2 - SE1) > kTiny && std::fabs(E2 - E1) > kTiny && SE1 > kTiny && SE2 > kTiny &&
      std::fabs(E1) > kTiny && std::fabs(E2) > kTiny) {
    f.B = std::log(SE2 / SE1) / (E2 - E1);
    f.A = SE1 * std::exp(-f.B * E1);
  }
  return f;
}

void check_exciter_limits(const ExciterLimits& l, std::string_view tag, LimitReport report) {
  const bool failed[] = {l.VAMAX <= l.VAMIN, l.VRMAX <= l.VRMIN,
                         (l.SE1 - l.SE2) * (l.E1 - l.E2) <= 0.0 || l.SE1 <= 0.0 || l.SE2 <= 0.0};
  static constexpr std::string_view kText[] = {"VAMAX must be greater than VAMIN",
                                               "VRMAX must be greater than VRMIN", "Negative Saturation"};
  bool any = false;
  for (std::size_t k = 0; k < std::size(kText); ++k) {
    if (!failed[k]) continue;
    if (report == LimitReport::first_failure_as_warning) {
      wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, kText[k]);
      wakro_quit(tag, 0);
    }
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine, kText[k]);
    any = true;
  }
  if (any) wakro_quit(tag, 0);
}

namespace {

// Each data value of the configuration record with its entry, in one list for
// the configuration that writes the record and the step that reads it back:
// visit(entry, value) on the members of the data or of the chain's parameters.
template <class Values, class Visit>
void each_ac7b_entry(Values& v, Visit visit) {
  each_shared_ac7b_entry(kAcKPR, v, visit);
  visit(kAcKDR, v.KDR);
  visit(kAcTDR, v.TDR);
  visit(kAcKF1, v.KF1);
  visit(kAcKF3, v.KF3);
  visit(kAcTF, v.TF);
}

}  // namespace

static_assert(fit_entries(kAcSatA, kAcSatB) && fit_entries(kB1SatA, kB1SatB));

blocks::Slots<double> checked_exciter_record(const ExciterLimits& l, std::string_view tag, LimitReport report,
                                             std::int32_t reals) {
  check_exciter_limits(l, tag, report);
  const SaturationFit f = ac7b_saturation_fit(l.SE1, l.E1, l.SE2, l.E2);
  const blocks::Slots<double> r = blocks::take_rtcf(reals);
  r(kRecSatA) = f.A;
  r(kRecSatB) = f.B;
  return r;
}

void excac7b2_cfg(const Ac7bData& d) {
  const blocks::Slots<double> r =
      checked_exciter_record(exciter_limits(d), kAc7bTag, LimitReport::every_failure_as_error, kAc7bConfigReals);
  each_ac7b_entry(d, [&r](std::int32_t k, double x) { r(k) = x; });
}

static Ac7bParams ac7b_params_of_record(const blocks::Slots<double>& c) {
  Ac7bParams p;
  p.A = c(kAcSatA);
  p.B = c(kAcSatB);
  each_ac7b_entry(p, [&c](std::int32_t k, double& x) { x = c(k); });
  p.full = true;
  return p;
}

double ac7b_clipped(double x, double lo, double hi, bool& at_hi, bool& at_lo) {
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

bool ac7b_init_step(std::int32_t run) { return run == 0 || e_s1::timezero; }

double ac7b_integral_time(double gain) { return integral_time(gain); }

void ac7b_chain(const Ac7bParams& p, const Ac7bState& s, ClipWarnings warnings, double vref,
                const std::array<double, 3>& vt, double vs_sum, double ifd, double efd0, std::int32_t run,
                double& efd) {
  const double VT = vt[0], IT1 = vt[1], IT2 = vt[2];
  // 2. The path.
  const bool init = ac7b_init_step(run);
  const std::int32_t reset = init ? 1 : 0;
  double ref = 0.0, vfe = 0.0, ve = 0.0, fex = 0.0;
  bool low_flag = false;
  double va0 = 0.0, vr0 = 0.0;
  // 3. Load compensation.
  const double vc = compensated_voltage(p.RC, p.XC, VT, IT1, IT2);
  if (!init) {
    // 4. A normal step: the last step's states.
    ref = vref;
    efd = s.efd;
    vfe = s.vfe;
    ve = s.ve;
    fex = s.fex;
    low_flag = fex > kTiny;
    if (s.step_flag == 1) {
      for (std::int32_t k = 0; k < kAc7bFlags; ++k)
        if (s.flags(k + 1)) clip_warning(warnings, k);
    }
  } else {
    // 5. Initialisation from EFD0: the amplifier's and regulator's flags afresh.
    efd = efd0;
    ve = getve(efd0, ifd, p.KC);
    fex = 1.0;
    low_flag = true;
    if (std::fabs(ve) >= kTiny) {
      fex = efd0 / ve;
      low_flag = fex > kTiny;
    }
    vfe = ve * (p.A * std::exp(std::fabs(p.B * ve)) + p.KE) + p.KD * ifd;
    const double vrx = std::max(vfe, -p.KL * vfe);
    const double kpvt = p.KP * VT;
    bool hi = false, lo = false;
    va0 = ac7b_clipped(std::fabs(kpvt) <= kTiny ? 0.0 : vrx / kpvt, p.VAMIN, p.VAMAX, hi, lo);
    s.flags(kAcClipVamax) = hi;
    s.flags(kAcClipVamin) = lo;
    vr0 = ac7b_clipped(p.KF2 * efd0 + p.KF1 * vfe, p.VRMIN, p.VRMAX, hi, lo);
    s.flags(kAcClipVrmax) = hi;
    s.flags(kAcClipVrmin) = lo;
    ref = vc - vs_sum;  // the regulator's error starts at zero
  }
  // 6-9. Transducer, rate feedback, error and its derivative (the full form).
  const double vcf = vrealp8(1.0, p.TR, vc, vc, reset, 1);
  const double fb = p.full ? vdifpl8(p.KF3, p.TF, vfe, 0.0, reset, 1) : 0.0;
  const double verr = vs_sum - vcf + ref - fb;
  const double d = p.full ? vdifpl8(p.KDR, p.TDR, verr, 0.0, reset, 1) : 0.0;
  // 10. Regulator.
  const double pi_r = vpi9(p.KPR, integral_time(p.KIR), p.VRMIN, p.VRMAX, vr0, verr, reset, 1);
  const double vr = p.full ? limit(p.VRMIN, p.VRMAX, pi_r + d) : pi_r;
  // 11-12. Amplifier, with the last step's EFD and VFE.
  const double amp_in = vr - p.KF2 * efd - p.KF1 * vfe;
  const double va = vpi9(p.KPA, integral_time(p.KIA), p.VAMIN, p.VAMAX, va0, amp_in, reset, 1);
  // 13. Exciter input, bounded above at 999.
  const double vrx = limit(-p.KL * vfe, kOpenLimit, va * p.KP * VT);
  // 14. Exciter field current with the present IFD, and its ceiling.
  const double sek = p.A * std::exp(std::fabs(p.B * ve)) + p.KE;
  vfe = ve * sek + p.KD * ifd;
  const double vemax = std::fabs(sek) <= kTiny ? kOpenLimit : (p.VFEMAX - p.KD * ifd) / sek;
  // 15-16. The exciter's integrator.
  const double ve_low = low_flag ? p.EFDMIN / fex : 0.0;
  ve = vintgl8(ve, ve_low, vemax, p.TE, vrx - vfe, reset, 1);
  // 17-19.
  efd = getefd(ve, ifd, p.KC);
  fex = ratio_or_one(efd, ve);
  s.vfe = vfe;
  s.efd = efd;
  s.ve = ve;
  s.fex = fex;
  s.ref = ref;
  s.step_flag = init ? 1 : 0;
}

double compensated_voltage(double rc, double xc, double vt, double it1, double it2) {
  const double re = vt + rc * it1 - xc * it2, im = rc * it2 + xc * it1;
  return std::sqrt(re * re + im * im);
}

void clip_warning(ClipWarnings form, std::int32_t k) {
  static constexpr std::string_view kLimit[4] = {"VAMAX", "VAMIN", "VRMAX", "VRMIN"};
  if (form == ClipWarnings::messages) {
    static constexpr std::string_view kClipText[4] = {
        "Initial Condition is unrealizable due to the limit of VAMAX",
        "Initial Condition is unrealizable due to the limit of VAMIN",
        "Initial Condition is unrealizable due to the limit of VRMAX",
        "Initial Condition is unrealizable due to the limit of VRMIN"};
    wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, kClipText[k]);
    return;
  }
  ListLine() << "WARNING: EXCAC7B - Initial Condition is unrealizable";
  ListLine() << std::string("                   due to the limit of ") + std::string(kLimit[k]);
}

void excac7b2_exe(double vref, const std::array<double, 3>& vt, double vs1, double ifd, double efd0,
                  std::int32_t run, double& efd, double vs2) {
  // 1. Storage and record.
  storage::this_ = storage::nstorf;
  const blocks::Slots<double> sf = blocks::take_storf(kAc7bReals);
  const blocks::Slots<std::int32_t> si = blocks::take_stori(1);
  const blocks::Slots<bool> sl = blocks::take_storl(kAc7bFlags);
  const Ac7bParams p = ac7b_params_of_record(blocks::take_rtcf(kAc7bConfigReals));
  const Ac7bState s{sf(kAcVfe), sf(kAcEfd), sf(kAcVe), sf(kAcFex), sf(kAcRef), si(kAcStepFlag), sl};
  ac7b_chain(p, s, ClipWarnings::messages, vref, vt, vs1 + vs2, ifd, efd0, run, efd);
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
  wakro_message(id1, id2, wakro::msg::kWarning, wakro::msg::first_of(3), "Exciter internal voltage VE can not be properly ");
  wakro_message(id1, id2, wakro::msg::kWarning, wakro::msg::kMiddleLine, "initialized. Check KC and Ifd values. ");
  wakro_message(id1, id2, wakro::msg::kWarning, wakro::msg::kLastLine, "It is assumed that VE = EFD.");
  return efd;
}

}  // namespace wakro::machines

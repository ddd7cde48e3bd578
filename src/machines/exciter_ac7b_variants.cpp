// The two older forms of the AC7B exciter (see exciter_ac7b.h): both run the
// shared chain in its short form.

#include "blocks/slots.h"
#include "machines/exciter_ac7b.h"
#include "machines/exciter_ac7b_chain.h"
#include "model/storage.h"

namespace wakro::machines {

namespace {

// The short chain's parameters common to both forms.
template <class D>
Ac7bParams short_params(const D& d, double A, double B) {
  Ac7bParams p;
  p.A = A;
  p.B = B;
  p.KPR = d.KPR;
  p.KIR = d.KIR;
  p.VRMAX = d.VRMAX;
  p.VRMIN = d.VRMIN;
  p.KPA = d.KPA;
  p.KIA = d.KIA;
  p.VAMAX = d.VAMAX;
  p.VAMIN = d.VAMIN;
  p.KP = d.KP;
  p.EFDMIN = d.EFDMIN;
  p.KL = d.KL;
  p.VFEMAX = d.VFEMAX;
  p.TE = d.TE;
  p.KE = d.KE;
  p.KD = d.KD;
  p.KC = d.KC;
  p.KF2 = d.KF2;
  p.RC = d.RC;
  p.XC = d.XC;
  p.TR = d.TR;
  p.full = false;
  return p;
}

}  // namespace

void excac7b1_cfg(const Ac7b1Data& d) {
  check_exciter_limits(exciter_limits(d), kAc7bTag, LimitReport::first_failure_as_warning);
  const SaturationFit f = ac7b_saturation_fit(d.SE1, d.E1, d.SE2, d.E2);
  const blocks::Slots<double> r = blocks::take_rtcf(kAc7b1ConfigReals);
  r(kB1SatA) = f.A;
  r(kB1SatB) = f.B;
  r(kB1C0) = d.C0;
  r(kB1KPR) = d.KPR;
  r(kB1KIR) = d.KIR;
  r(kB1VRMAX) = d.VRMAX;
  r(kB1VRMIN) = d.VRMIN;
  r(kB1KPA) = d.KPA;
  r(kB1KIA) = d.KIA;
  r(kB1VAMAX) = d.VAMAX;
  r(kB1VAMIN) = d.VAMIN;
  r(kB1KP) = d.KP;
  r(kB1EFDMIN) = d.EFDMIN;
  r(kB1KL) = d.KL;
  r(kB1VFEMAX) = d.VFEMAX;
  r(kB1TE) = d.TE;
  r(kB1KE) = d.KE;
  r(kB1KD) = d.KD;
  r(kB1KC) = d.KC;
  r(kB1KF2) = d.KF2;
  r(kB1RC) = d.RC;
  r(kB1XC) = d.XC;
  r(kB1TR) = d.TR;
}

void excac7b1_exe(double vref, const std::array<double, 3>& vt, double vs1, double ifd, double efd0,
                  std::int32_t run, double& efd) {
  storage::this_ = storage::nstorf;
  const blocks::Slots<double> sf = blocks::take_storf(kAc7bReals);
  const blocks::Slots<std::int32_t> si = blocks::take_stori(1);
  const blocks::Slots<bool> sl = blocks::take_storl(kAc7bFlags);
  const blocks::Slots<double> c = blocks::take_rtcf(kAc7b1ConfigReals);
  Ac7b1Data d;
  d.KPR = c(kB1KPR);
  d.KIR = c(kB1KIR);
  d.VRMAX = c(kB1VRMAX);
  d.VRMIN = c(kB1VRMIN);
  d.KPA = c(kB1KPA);
  d.KIA = c(kB1KIA);
  d.VAMAX = c(kB1VAMAX);
  d.VAMIN = c(kB1VAMIN);
  d.KP = c(kB1KP);
  d.EFDMIN = c(kB1EFDMIN);
  d.KL = c(kB1KL);
  d.VFEMAX = c(kB1VFEMAX);
  d.TE = c(kB1TE);
  d.KE = c(kB1KE);
  d.KD = c(kB1KD);
  d.KC = c(kB1KC);
  d.KF2 = c(kB1KF2);
  d.RC = c(kB1RC);
  d.XC = c(kB1XC);
  d.TR = c(kB1TR);
  const Ac7bParams p = short_params(d, c(kB1SatA), c(kB1SatB));
  const Ac7bState s{sf(kAcVfe), sf(kAcEfd), sf(kAcVe), sf(kAcFex), sf(kAcRef), si(kAcStepFlag), sl};
  ac7b_chain(p, s, ClipWarnings::messages, vref, vt, c(kB1C0) + vs1, ifd, efd0, run, efd);
}

void excac7b(double vref, const std::array<double, 3>& vt, double vs1, double vs2, const Ac7bSingleData& d,
             double ifd, double efd0, std::int32_t run, double& efd) {
  storage::this_ = storage::nstorf;
  const blocks::Slots<double> sf = blocks::take_storf(kAc7bSingleReals);
  const blocks::Slots<std::int32_t> si = blocks::take_stori(1);
  const blocks::Slots<bool> sl = blocks::take_storl(kAc7bFlags);
  // The fit of an initialisation step is kept for the normal steps; an
  // undefined fit (equal points, a factor not positive) leaves A = B = 0.
  if (ac7b_init_step(run)) {
    const SaturationFit f = ac7b_saturation_fit(d.SE1, d.E1, d.SE2, d.E2);
    sf(kSgSatA) = f.A;
    sf(kSgSatB) = f.B;
  }
  const Ac7bParams p = short_params(d, sf(kSgSatA), sf(kSgSatB));
  const Ac7bState s{sf(kSgVfe), sf(kSgEfd), sf(kSgVe), sf(kSgFex), sf(kSgRef), si(kAcStepFlag), sl};
  ac7b_chain(p, s, ClipWarnings::console, vref, vt, vs1 + vs2, ifd, efd0, run, efd);
}

}  // namespace wakro::machines

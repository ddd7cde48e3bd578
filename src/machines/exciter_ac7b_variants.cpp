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

// Each data value of the older configuration record with its entry, for the
// configuration that writes the record and the step that reads it back.
template <class Values, class Visit>
void each_ac7b1_entry(Values& v, Visit visit) {
  visit(kB1C0, v.C0);
  each_shared_ac7b_entry(kB1KPR, v, visit);
}

}  // namespace

void excac7b1_cfg(const Ac7b1Data& d) {
  const blocks::Slots<double> r =
      checked_exciter_record(exciter_limits(d), kAc7bTag, LimitReport::first_failure_as_warning, kAc7b1ConfigReals);
  each_ac7b1_entry(d, [&r](std::int32_t k, double x) { r(k) = x; });
}

void excac7b1_exe(double vref, const std::array<double, 3>& vt, double vs1, double ifd, double efd0,
                  std::int32_t run, double& efd) {
  storage::this_ = storage::nstorf;
  const blocks::Slots<double> sf = blocks::take_storf(kAc7bReals);
  const blocks::Slots<std::int32_t> si = blocks::take_stori(1);
  const blocks::Slots<bool> sl = blocks::take_storl(kAc7bFlags);
  const blocks::Slots<double> c = blocks::take_rtcf(kAc7b1ConfigReals);
  Ac7b1Data d;
  each_ac7b1_entry(d, [&c](std::int32_t k, double& x) { x = c(k); });
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

// The AC7B excitation system: a field-current-regulated alternator-rectifier
// exciter fed from a potential source, with a PID voltage regulator, a PI
// amplifier, the exciter's saturation, demagnetisation and rectifier
// regulation, and load compensation of the measured voltage.
//
// excac7b2_cfg runs once in the begin pass (after the machine's configuration):
// it checks the limits and the saturation data, fits SE(VE) = A exp(|B VE|)
// through the two saturation points and appends a record of 27 reals.
// excac7b2_exe runs every step after the machine's step and turns the terminal
// quantities and field current into the field voltage EFD the machine uses on
// the next step; on an initialisation step (run switch 0 or time zero) it
// back-calculates every state, the voltage reference included, from EFD0.
// Per instance it takes 5 storf, 1 stori and 4 storl slots and 50 slots of
// e_s2::stor for its six blocks. All quantities per unit; times in seconds.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace wakro::machines {

inline constexpr std::string_view kAc7bTag = "EXCAC7B     ";

// The 29 configuration arguments, in their order.
struct Ac7bData {
  double KPR = 0.0, KIR = 0.0, KDR = 0.0, TDR = 0.0, VRMAX = 0.0, VRMIN = 0.0;
  double KPA = 0.0, KIA = 0.0, VAMAX = 0.0, VAMIN = 0.0;
  double KP = 0.0, EFDMIN = 0.0, KL = 0.0, VFEMAX = 0.0;
  double SE1 = 0.0, E1 = 0.0, SE2 = 0.0, E2 = 0.0;
  double TE = 0.0, KE = 0.0, KD = 0.0, KC = 0.0, KF2 = 0.0, KF1 = 0.0, KF3 = 0.0, TF = 0.0;
  double RC = 0.0, XC = 0.0, TR = 0.0;
};

// Entries of the configuration record.
enum Ac7bConfig : std::int32_t {
  kAcSatA = 1,
  kAcSatB,
  kAcKPR,
  kAcKIR,
  kAcVRMAX,
  kAcVRMIN,
  kAcKPA,
  kAcKIA,
  kAcVAMAX,
  kAcVAMIN,
  kAcKP,
  kAcEFDMIN,
  kAcKL,
  kAcVFEMAX,
  kAcTE,
  kAcKE,
  kAcKD,
  kAcKC,
  kAcKF2,
  kAcRC,
  kAcXC,
  kAcTR,
  kAcKDR,
  kAcTDR,
  kAcKF1,
  kAcKF3,
  kAcTF,
};
inline constexpr std::int32_t kAc7bConfigReals = kAcTF;
static_assert(kAc7bConfigReals == 27);

// The exciter's real storage entries, its integer flag and its clipping flags.
enum Ac7bReal : std::int32_t { kAcVfe = 1, kAcEfd, kAcVe, kAcFex, kAcRef };
enum Ac7bInt : std::int32_t { kAcStepFlag = 1 };  // 1 after an initialisation step
enum Ac7bFlag : std::int32_t { kAcClipVamax = 1, kAcClipVamin, kAcClipVrmax, kAcClipVrmin };
inline constexpr std::int32_t kAc7bReals = kAcRef;
inline constexpr std::int32_t kAc7bFlags = kAcClipVrmin;
inline constexpr std::int32_t kAc7bBlockSlots = 50;  // six blocks in e_s2::stor

// Saturation coefficients fitted through (E1, SE1) and (E2, SE2); both 0 when
// any of the data is too small to fit.
struct SaturationFit {
  double A = 0.0, B = 0.0;
};
SaturationFit ac7b_saturation_fit(double SE1, double E1, double SE2, double E2);

void excac7b2_cfg(const Ac7bData& d);

// vt: VT, IT1, IT2. efd: in the field voltage of the last step, out the new one.
void excac7b2_exe(double vref, const std::array<double, 3>& vt, double vs1, double ifd, double efd0,
                  std::int32_t run, double& efd, double vs2);

// The older configuration/step pair: no derivative block, no rate feedback, no
// KF1 feedback, and a constant C0 at the summing point instead of a second
// supplementary signal. Its configuration stops at the first failed check
// (through wakro_warn) and appends 23 reals; the step takes 5 storf, 1 stori,
// 4 storl and 34 slots of e_s2::stor.
struct Ac7b1Data {
  double C0 = 0.0, KPR = 0.0, KIR = 0.0, VRMAX = 0.0, VRMIN = 0.0, KPA = 0.0, KIA = 0.0;
  double VAMAX = 0.0, VAMIN = 0.0, KP = 0.0, EFDMIN = 0.0, KL = 0.0, VFEMAX = 0.0;
  double SE1 = 0.0, E1 = 0.0, SE2 = 0.0, E2 = 0.0;
  double TE = 0.0, KE = 0.0, KD = 0.0, KC = 0.0, KF2 = 0.0, RC = 0.0, XC = 0.0, TR = 0.0;
};

enum Ac7b1Config : std::int32_t {
  kB1SatA = 1,
  kB1SatB,
  kB1C0,
  kB1KPR,
  kB1KIR,
  kB1VRMAX,
  kB1VRMIN,
  kB1KPA,
  kB1KIA,
  kB1VAMAX,
  kB1VAMIN,
  kB1KP,
  kB1EFDMIN,
  kB1KL,
  kB1VFEMAX,
  kB1TE,
  kB1KE,
  kB1KD,
  kB1KC,
  kB1KF2,
  kB1RC,
  kB1XC,
  kB1TR,
};
inline constexpr std::int32_t kAc7b1ConfigReals = kB1TR;
static_assert(kAc7b1ConfigReals == 23);
inline constexpr std::int32_t kAc7bShortBlockSlots = 34;  // four blocks in e_s2::stor

// The run of entries both configuration records share, in the same order from
// their own first entry (kAcKPR, kB1KPR) on: the short chain's data.
enum Ac7bSharedEntry : std::int32_t {
  kShKPR = 0,
  kShKIR,
  kShVRMAX,
  kShVRMIN,
  kShKPA,
  kShKIA,
  kShVAMAX,
  kShVAMIN,
  kShKP,
  kShEFDMIN,
  kShKL,
  kShVFEMAX,
  kShTE,
  kShKE,
  kShKD,
  kShKC,
  kShKF2,
  kShRC,
  kShXC,
  kShTR,
};
static_assert(kAcTR - kAcKPR == kShTR && kB1TR - kB1KPR == kShTR);

// Visits the shared run of a record that starts at first: visit(entry, value)
// on the members of a form's data or of the chain's parameters, for the
// configuration that writes the record and the step that reads it back.
template <class Values, class Visit>
void each_shared_ac7b_entry(std::int32_t first, Values& v, Visit visit) {
  visit(first + kShKPR, v.KPR);
  visit(first + kShKIR, v.KIR);
  visit(first + kShVRMAX, v.VRMAX);
  visit(first + kShVRMIN, v.VRMIN);
  visit(first + kShKPA, v.KPA);
  visit(first + kShKIA, v.KIA);
  visit(first + kShVAMAX, v.VAMAX);
  visit(first + kShVAMIN, v.VAMIN);
  visit(first + kShKP, v.KP);
  visit(first + kShEFDMIN, v.EFDMIN);
  visit(first + kShKL, v.KL);
  visit(first + kShVFEMAX, v.VFEMAX);
  visit(first + kShTE, v.TE);
  visit(first + kShKE, v.KE);
  visit(first + kShKD, v.KD);
  visit(first + kShKC, v.KC);
  visit(first + kShKF2, v.KF2);
  visit(first + kShRC, v.RC);
  visit(first + kShXC, v.XC);
  visit(first + kShTR, v.TR);
}

void excac7b1_cfg(const Ac7b1Data& d);
void excac7b1_exe(double vref, const std::array<double, 3>& vt, double vs1, double ifd, double efd0,
                  std::int32_t run, double& efd);

// The single routine: all data as arguments (the 32 of the call, in order, less
// VREF, VT/IT, VS1, VS2, IFD, EFD0, the run switch and EFD), no check at all;
// on each initialisation step it fits the saturation and keeps A and B in its
// storage, running without saturation when the fit is undefined (coinciding
// points or a factor that is not positive). 7 storf, 1 stori, 4 storl and 34
// slots of e_s2::stor. Its clipping warnings are two console lines each.
struct Ac7bSingleData {
  double KPR = 0.0, KIR = 0.0, VRMAX = 0.0, VRMIN = 0.0, KPA = 0.0, KIA = 0.0, VAMAX = 0.0, VAMIN = 0.0;
  double KP = 0.0, EFDMIN = 0.0, KL = 0.0, VFEMAX = 0.0, SE1 = 0.0, E1 = 0.0, SE2 = 0.0, E2 = 0.0;
  double TE = 0.0, KE = 0.0, KD = 0.0, KC = 0.0, KF2 = 0.0, RC = 0.0, XC = 0.0, TR = 0.0;
};
enum Ac7bSingleReal : std::int32_t { kSgVfe = 1, kSgEfd, kSgSatA, kSgSatB, kSgVe, kSgFex, kSgRef };
inline constexpr std::int32_t kAc7bSingleReals = kSgRef;

void excac7b(double vref, const std::array<double, 3>& vt, double vs1, double vs2, const Ac7bSingleData& d,
             double ifd, double efd0, std::int32_t run, double& efd);

// Rectifier regulation: EFD from VE, and its inverse (with the three-line
// warning and VE = EFD when the inverse has no unique solution).
double getefd(double ve, double ifd, double kc);
double getve(double efd, double ifd, double kc);

}  // namespace wakro::machines

// The AC7C excitation system: the AC7B structure with take-over inputs of the
// over- and under-excitation limiters and the stator-current limiter at the
// summing point, the regulator's input and output and the amplifier's output; a
// switch for the place of the stabiliser signal; a PID regulator with its own
// state; an amplifier PI that stops integrating while limited; and a source
// voltage VB of the exciter that comes from a compound source (potential and
// current parts, rectified), from a constant |KP| or from the field voltage.
//
// excac7c1_cfg runs once in the begin pass: the three checks of the AC7B
// configuration, all reported before one stop ("EXCAC7C     "), the saturation
// fit, then a record of 33 reals and 3 integers. excac7c1_exe runs every step;
// per instance it takes 6 storf, 1 stori and 13 storl entries, the PID's 5
// storf entries, and 33 slots of e_s2::stor (transducer 8, rate feedback 8,
// amplifier 9, exciter integrator 8).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace wakro::machines {

inline constexpr std::string_view kAc7cTag = "EXCAC7C     ";

// The 38 configuration arguments, in their order.
struct Ac7cData {
  double KPR = 0.0, KIR = 0.0, KDR = 0.0, TDR = 0.0, VRMAX = 0.0, VRMIN = 0.0;
  double KPA = 0.0, KIA = 0.0, VAMAX = 0.0, VAMIN = 0.0;
  double KP = 0.0, THETAP = 0.0, KI = 0.0, XL = 0.0, KC1 = 0.0, VBMAX = 0.0;
  std::int32_t stabiliser_place = 0;  // 0 summing point, 1 after the regulator input's maximum gate
  std::int32_t constant_source = 0;   // non-zero: the source voltage is |KP|
  std::int32_t field_fed = 0;         // non-zero: VB = KEFD EFD
  double KEFD = 0.0, KL = 0.0, VFEMAX = 0.0, VEMIN = 0.0;
  double SE1 = 0.0, E1 = 0.0, SE2 = 0.0, E2 = 0.0;
  double TE = 0.0, KE = 0.0, KD = 0.0, KC = 0.0, KF2 = 0.0, KF1 = 0.0, KF3 = 0.0, TF = 0.0;
  double RC = 0.0, XC = 0.0, TR = 0.0;
};

// Entries of the configuration record.
enum Ac7cConfig : std::int32_t {
  kCcSatA = 1,
  kCcSatB,
  kCcKPR,
  kCcKIR,
  kCcKDR,
  kCcTDR,
  kCcVRMAX,
  kCcVRMIN,
  kCcKPA,
  kCcKIA,
  kCcVAMAX,
  kCcVAMIN,
  kCcKP,
  kCcTHETAP,
  kCcKI,
  kCcXL,
  kCcKC1,
  kCcVBMAX,
  kCcKEFD,
  kCcKL,
  kCcVFEMAX,
  kCcVEMIN,
  kCcTE,
  kCcKE,
  kCcKD,
  kCcKC,
  kCcKF2,
  kCcKF1,
  kCcKF3,
  kCcTF,
  kCcRC,
  kCcXC,
  kCcTR,
};
inline constexpr std::int32_t kAc7cConfigReals = kCcTR;
static_assert(kAc7cConfigReals == 33);
enum Ac7cConfigInt : std::int32_t { kCcStabPlace = 1, kCcConstSource, kCcFieldFed };
inline constexpr std::int32_t kAc7cConfigInts = kCcFieldFed;

// Storage entries and clipping flags of one instance.
enum Ac7cReal : std::int32_t { kCcVfe = 1, kCcEfd, kCcVe, kCcFex, kCcRef, kCcVb };
enum Ac7cInt : std::int32_t { kCcStepFlag = 1 };  // 1 after an initialisation step
inline constexpr std::int32_t kAc7cReals = kCcVb;
enum Ac7cFlag : std::int32_t {
  kCcClipVamax = 1,
  kCcClipVamin,
  kCcClipVrmax,
  kCcClipVrmin,
  kCcClipOelAmp,
  kCcClipOelOut,
  kCcClipSclOOut,
  kCcClipUelOut,
  kCcClipSclUOut,
  kCcClipOelIn,
  kCcClipSclOIn,
  kCcClipUelIn,
  kCcClipSclUIn,
};
inline constexpr std::int32_t kAc7cFlags = kCcClipSclUIn;
inline constexpr std::int32_t kAc7cBlockSlots = 33;

// The limiter inputs of one step (arguments 8 to 19).
struct Ac7cLimiters {
  double uel_sum = 0.0, uel_in = -1.0e9, uel_out = -1.0e9;
  double oel_sum = 0.0, oel_in = 1.0e9, oel_out = 1.0e9, oel_amp = 1.0e9;
  double scl_sum = 0.0, sclu_in = -1.0e9, sclu_out = -1.0e9, sclo_in = 1.0e9, sclo_out = 1.0e9;
};

void excac7c1_cfg(const Ac7cData& d);

// vt: VT, IT1, IT2. efd: in the field voltage of the last step, out the new one.
void excac7c1_exe(double vref, const std::array<double, 3>& vt, double vs, double ifd, double efd0,
                  std::int32_t run, double& efd, const Ac7cLimiters& lim);

}  // namespace wakro::machines

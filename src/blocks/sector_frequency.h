// Sector frequency meters for a three-phase bus: the time the voltage vector
// takes through each of the six 60-degree sectors marked by the sign changes of
// the phase voltages; the last six sector times give an angular frequency. They
// also give a rectified-average voltage magnitude and watch the zero sequence.
//
// Sector flags, in order: va > 0, vc <= 0, vb > 0, va <= 0, vc > 0, vb <= 0; a
// positive-sequence set turns them on one after another, one every 60 degrees.
//
// Slots per call, in the order they are taken ("stor" from nexc + 1 on): the
// records of wakro::blocks::layout below (D = max(delt, 1 ms); e_fwav1_exe reads
// the RTCF of e_fwav1_cfg back).
//
// Both start at the rated frequency with six equal sector times, awaiting
// sector 2, and check the magnitude every millisecond from 0.1 s on: a zero
// sequence above 5 % of VR prints the unbalance line (numbered text 263) and the
// run goes on; the filters move only while the voltage is present (fwav22: at
// least 80 % of VR, else the six durations are reset to the held frequency;
// e_fwav1: at least 1 %). fwav22 stops at time zero on TS, WO or VR of
// magnitude 1e-6 or less (numbered text 422); e_fwav1_cfg on |TS| < 1 ms,
// |w0| or |VR| at most 1e-6 with "Exteremely small values in Time constant,
// voltage or Frequency" (tag "FWAV22").
#pragma once

#include <cstdint>
#include <span>

namespace wakro::blocks::layout {
namespace fwav22 {  // stor: the six previous flags from kFlags, the six last sector durations from kDur
enum : std::int32_t {
  kFlags = 1, kAwaited = kFlags + 6, kLastOn, kNextCheck, kRaw, kA1, kSlow, kA2, kOut, kDur,
  kA3 = kDur + 6, kMag, kStorSize = kMag
};  // kAwaited a real; kA1 = D / TS, kA2 = D WO / 3, kA3 = D WO / 4
}
namespace fwav1 {  // e_fwav1_cfg, e_fwav1_exe
enum : std::int32_t { kVR = 1, kW0, kTS, kD, kDOverTS, kW0D, kInvVR, kRtcfSize = kInvVR };  // RTCF; kW0 = 2 pi f0
enum : std::int32_t { kAwaited = 1, kFlags, kStoriSize = kFlags + 5 };                       // STORI: six flags
enum : std::int32_t {  // STORF: w raw, slow and output; six durations; magnitude (kV); three phase voltages
  kLastOn = 1, kNextCheck, kRaw, kSlow, kOut, kDur, kMag = kDur + 6, kPrev, kStorfSize = kPrev + 2
};
}
}  // namespace wakro::blocks::layout

void fwav22(double va, double vb, double vc, double VR, double WO, double TS, double& f, double& w, double& dw,
            double& V);
void e_fwav1_cfg(double VR, double f0, double TS);
// V: the three phase voltages; Vpu the magnitude per unit of VR.
void e_fwav1_exe(std::span<const double, 3> V, double& w, double& dw, double& Vpu);

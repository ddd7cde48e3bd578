// Sector frequency meters for a three-phase bus: the time the voltage vector
// takes through each of the six 60-degree sectors marked by the sign changes of
// the phase voltages; the last six sector times give an angular frequency. They
// also give a rectified-average voltage magnitude and watch the zero sequence.
//
// Sector flags, in order: va > 0, vc <= 0, vb > 0, va <= 0, vc > 0, vb <= 0; a
// positive-sequence set turns them on one after another, one every 60 degrees.
//
// Slots per call, in the order they are taken ("stor" from nexc + 1 on):
//   fwav22        stor 22: 1-6 previous flags, 7 awaited sector (a real), 8 time
//                 of the last accepted turn-on, 9 time of the next magnitude
//                 check, 10 raw w, 11 a1 = D / TS, 12 slow w, 13 a2 = D WO / 3,
//                 14 output w, 15-20 the last six sector durations,
//                 21 a3 = D WO / 4, 22 filtered magnitude (D = max(delt, 1 ms))
//   e_fwav1_cfg   RTCF 7: VR, w0 = 2 pi f0, TS, D, D / TS, w0 D, 1 / VR
//   e_fwav1_exe   RTCF 7 (read back); STORI 7: awaited sector, six previous
//                 flags; STORF 15: time of the last turn-on, time of the next
//                 magnitude check, raw, slow and output w, six durations,
//                 filtered magnitude (kV), three previous phase voltages
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

#include <span>

void fwav22(double va, double vb, double vc, double VR, double WO, double TS, double& f, double& w, double& dw,
            double& V);
void e_fwav1_cfg(double VR, double f0, double TS);
// V: the three phase voltages; Vpu the magnitude per unit of VR.
void e_fwav1_exe(std::span<const double, 3> V, double& w, double& dw, double& Vpu);

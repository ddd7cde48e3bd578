// Converter-control blocks on the old-style and new-style storage: the old-style
// phase-locked oscillators, the six valve firing references, the one-step advance
// of a three-phase set, the step-changer commands with a dead time, and the
// extinction-angle measurement of valves.
//
// Slots per call, in the order they are taken ("stor" from nexc + 1 on):
//   tveka3, tvekn3, tvekt3  stor 3: angle theta, integral of the error, 1 / Vbase
//                           (1 / Vbase and, for tvekt3, the starting angle
//                           -2 pi f0 delt written at time zero)
//   tvpuln                  none
//   edph2                   stor 2: c1 = 1 - (2 pi f delt)^2, c2 = 2 pi f delt / sqrt 3
//                           (written at time zero)
//   icpsw4                  STORI 1: busy flag; then stor 3: its mono3
//   cpsw_cfg                RTCI 1: upper step limit
//   cpsw_exe                RTCI 1 (read back); STORI 1: busy flag; stor 3: mono3
//   gama18                  STORI 6: arming flag per valve; STORF 6: measured
//                           flag per valve (0 or 1); stor 12: six wakro_zcd, then
//                           six slots reserved
//   gamme6                  STORF 2: start time, last angle; STORI 4: armed,
//                           current first, voltage first, enabled; stor 2:
//                           wakro_zcd of the current, then of the voltage
#pragma once

#include <cstdint>
#include <span>

namespace wakro::blocks::layout {
namespace old_oscillator {  // tveka3, tvekn3, tvekt3: stor
enum : std::int32_t { kTheta = 1, kIntegral, kInvBase, kStorSize = kInvBase };
}
namespace edph2 {  // stor: c1 = 1 - (2 pi f delt)^2, c2 = 2 pi f delt / sqrt 3
enum : std::int32_t { kC1 = 1, kC2, kStorSize = kC2 };
}
namespace step_changer {  // icpsw4, cpsw_exe: STORI before the mono3 record
enum : std::int32_t { kBusy = 1, kStoriSize = kBusy };
}
namespace cpsw {  // cpsw_cfg, cpsw_exe: RTCI
enum : std::int32_t { kUpper = 1, kRtciSize = kUpper };
}
namespace gama18 {
inline constexpr std::int32_t kValves = 6;
enum : std::int32_t { kArmed = 1, kStoriSize = kArmed + kValves - 1 };     // STORI: arming flag of valve k
enum : std::int32_t { kMeasured = 1, kStorfSize = kMeasured + kValves - 1 };  // STORF: measured flag of valve k
inline constexpr std::int32_t kStorReserved = kValves;  // stor after the six wakro_zcd
}
namespace gamme6 {
enum : std::int32_t { kStart = 1, kAngle, kStorfSize = kAngle };  // STORF: start time, last angle
enum : std::int32_t { kArmed = 1, kCurrentFirst, kVoltageFirst, kEnabled, kStoriSize = kEnabled };  // STORI
}
}  // namespace wakro::blocks::layout

// The old-style oscillators. tveka3 tracks within 0.8 .. 1.2 of 2 pi f0 and
// takes no error while |y| < 1e-6 and |x| < 1e-6; tvekn3 within 0.5 .. 1.5, no
// error while |y| < 1.0 and |x| < 1e-6. Both snap to the measured angle up to the
// lock time, as tveka1_exe.
void tveka3(double Va, double Vb, double Vc, double Kp, double Ki, double Vbase, double f0, double offset,
            double lockTime, double& theta, double& error, double& freq);
void tvekn3(double Va, double Vb, double Vc, double Kp, double Ki, double Vbase, double f0, double offset,
            double lockTime, double& theta, double& error, double& freq);
// The PI acts on y itself; error = asin(y / max(|y|, valpha^2 + vbeta^2)) in
// degrees (0 while |y| < 1e-10); theta is the advanced angle; no lock time.
void tvekt3(double Va, double Vb, double Vc, double Kp, double Ki, double Vbase, double f0, double& freq,
            double& theta, double& error);
// Six firing references 60 degrees apart from theta(1) (radians in; unit 0:
// radians out, otherwise degrees out), each brought back above 0.
void tvpuln(std::int32_t unit, std::span<double, 6> theta);
// A three-phase set advanced by one step of angle 2 pi f delt.
void edph2(double xa, double xb, double xc, double& ya, double& yb, double& yc, double f);
// Step command +1 (up, below the upper limit) or -1 (down, above 0; it wins when
// both hold), then none for the dead time.
std::int32_t icpsw4(std::int32_t up, std::int32_t down, std::int32_t upper, std::int32_t position, double dead);
void cpsw_cfg(std::int32_t upper);
// As icpsw4 (up counts from 1), the command in command; returns the busy flag.
std::int32_t cpsw_exe(std::int32_t up, std::int32_t down, std::int32_t position, std::int32_t& command, double dead);
// Extinction angles of six valves: the angle of valve k is 360 F T(k) degrees;
// a valve that fires alone is measured. last = sum of the measured valves'
// angles, mean = the mean of the six, minimum = the smallest.
void gama18(std::span<const double, 6> V, std::span<const double, 6> T, double VTH, double F, double& last,
            double& mean, double& minimum);
// Extinction angle from a falling current zero to the rising voltage zero
// (positive), or from a voltage zero to a current zero (negative), in degrees
// at frequency F; isNew 1 on the step of a new value.
void gamme6(double current, double voltage, double& angle, double enable, double F, std::int32_t& isNew);

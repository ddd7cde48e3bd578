// The synchronous machine's state block and its configuration record.
//
// Every synchronous machine keeps its whole state in one block of 375 reals of
// the old-style storage `e_s2::stor`: slot k is stor(nexc + k). The block is
// filled at time zero (macdat from data records, macdat1_cfg from the
// configuration record), completed by the set-up routines, and worked on each
// step by the machine's per-step model, which moves nexc on by the block size
// after its work. Positions never change: case code and snapshots rely on them.
//
// The configuration record that syncmc3p2_cfg appends and macdat1_cfg reads back
// is 10 integers and 100 reals, named below in the same way.
#pragma once

#include <cstdint>

#include "blocks/slots.h"

namespace wakro::machines {

// Slots of the machine block, in their order. Positions not named are not used.
enum MachineSlot : std::int32_t {
  kSourceActive = 1,       // 1 while the start-up source is active
  kSourceAngle,            // angle of the start-up source this step
  kMagCurrentD,            // d- and q-axis magnetising currents
  kMagCurrentQ,
  kFluxD,                  // d- and q-axis fluxes
  kFluxQ,
  kPhaseCurrentA,          // machine phase currents without the shunt part
  kPhaseCurrentB,
  kPhaseCurrentC,
  kDataForm = 11,          // 0 equivalent circuit given, 1 terminal data given
  kTwoQCircuits,           // 1 when the q axis has two rotor circuits
  kComputedStart,          // 1 initial state from the operating point, 0 given
  kRatedCurrent = 16,      // rated RMS phase current (base current)
  kRatedVoltage,           // rated RMS phase voltage (base voltage)
  kOmega,                  // base angular frequency, rad/s
  kNeutralR,               // neutral resistance and reactance, per unit
  kNeutralX,
  kInertia,                // inertia constant H, s
  kFriction,               // friction-windage coefficient
  kVdPerOmega,             // each step: vd / w, field voltage / w, vq / w
  kFieldVoltagePerOmega,
  kVqPerOmega,
  kRa,                     // armature resistance
  kXa,                     // armature leakage reactance
  kShuntR,                 // terminal shunt resistance, per unit
  kXmd = 31,               // d-axis equivalent circuit
  kRf,
  kXf,
  kRkd,
  kXkd,
  kXkf,                    // field-damper mutual leakage
  kDSeventh,               // seventh d-axis value of the equivalent-circuit form
  kXmq = 41,               // q-axis equivalent circuit
  kRkq1,
  kXkq1,
  kRkq2,
  kXkq2,
  kXkfQ,                   // q-axis counterpart of kXkf
  kXdData = 51,            // d-axis terminal data as entered
  kXdSubData,
  kTdoSubData,
  kXdTrData,
  kTdoTrData,
  kFitTargetRe,
  kFitTargetIm,
  kXqData = 61,            // q-axis terminal data as entered
  kXqSubData,
  kTqoSubData,
  kXqTrData,
  kTqoTrData,
  kQSixthData,
  kSatCurve = 71,          // saturation curve as entered: (x1, y1) .. (x10, y10)
  kZoneCount = 91,         // number of saturation zones
  kZoneI = 101,            // zone tables: current, flux and slope of zone 1 ..
  kZoneF = 121,
  kZoneS = 141,
  kInitAngle = 161,        // initial rotor angle, currents and speed
  kInitId,
  kInitIq,
  kInitIfd,
  kInitSpeed,
  kOpVoltage,              // operating point: V, angle, P, Q
  kOpAngle,
  kOpP,
  kOpQ,
  kPowerScale,             // scale of the power trim and speed correction
  kTrimTime,               // floor 0.05; its reciprocal is the trim gain
  kReleaseTime,            // release time of the start-up source
  kSourceRamp,             // ramp rate of the start-up source voltage
  kMultiplierApplied,
  kTrimRate,               // start-up angle trim
  kTrimIntegral,
  kTrimStarted,
  kTrimOffset,
  kBranchConductance,      // kBranchConductancePerSecond * dt
  kZoneInverse = 181,      // per zone six slots: m11, m12, m13, m22, m23, m33
  kQ11 = 251,              // inverse q-axis matrix
  kQ12,
  kQ13,
  kQ22,
  kQ23,
  kQ33,
  kTrimGain,               // 1 / kTrimTime
  kInvPowerScale,          // 1 / kPowerScale
  kXd,                     // Xa + Xmd
  kInvBasePower,           // 1 / (3 Ib Vb)
  kSourceConductance,      // 1 / (0.01 Zb)
  kShuntConductance,       // 1 / (Zb * kShuntR)
  kBranchConductancePerSecond,  // 0.5 w / (Xd'' Zb)
  kFieldVoltageScale,      // w sqrt2 Rf / Xmd
  kFieldCurrentScale,      // Xmd / sqrt2
  kTransform = 266,        // plain two-axis transform t1 .. t6
  kTransformAdvanced = 272,  // the transform advanced by one step
  kOmegaRa = 281,          // w R, w Rf, w Rkd, w Rkq1, w Rkq2
  kOmegaRf,
  kOmegaRkd,
  kOmegaRkq1,
  kOmegaRkq2,
  kInvOmega,
  kAccelFactor,            // w / (2 H)
  kBasePower,              // 3 Ib Vb
  kLastStep,
  kRotorAngle,
  kRotorSpeed,
  kSpeedCorrection,
  kNoStartupSource,
  kMachineMode,
  kHandoverMagnitude,
  kHandoverAngle,
  kHandoverP,
  kHandoverQ,
  kId = 301,               // electrical state
  kIfd,
  kIkd,
  kIq,
  kIkq1,
  kIkq2,
  kZeroSeqOld = 310,       // zero-sequence state, coefficients and outputs
  kZeroSeqCurrent,
  kZeroSeqGain,
  kZeroSeqDecay,
  kZeroSeqVoltageShare,
  kZeroSeqResistance,
  kZeroSeqOut,
  kZeroSeqOut3,
  kMachineModeTime,
  kBaseImpedance,
  kBaseAdmittance,
  kSourceConductanceApplied,
  kSourceBaseAngle,
  kSourceInjectionA,
  kSourceInjectionB,
  kSourceInjectionC,
  kSourceCurrentOldA,
  kSourceCurrentOldB,
  kSourceCurrentOldC,
  kSourceVoltageFactor,
  kPowerFilterStarted,
  kPowerFilterP,
  kPowerFilterQ,
  kPowerLastP,
  kPowerLastQ,
  kPowerFilterA,
  kPowerFilterB,
  kSourceVoltageOldA = 340,
  kSourceVoltageOldB,
  kSourceVoltageOldC,
  kSourceConductanceOld,
  kTorqueFilterA = 345,
  kTorqueFilterB,
  kTorqueFilterIn,
  kTorqueFilterOut,
  kDampFilterA,
  kDampFilterB,
  kDampFilterState,        // six states: filtered damping of a, b, c, then their last inputs
  kDampBranchConductance = 368,  // internal damping branch (variant): conductance,
  kDampBranchHistoryGain,        // history gain per volt, history factor and
  kDampBranchFactor,             // the histories of phases a, b, c
  kDampBranchHistoryA,
  kDampBranchHistoryB,
  kDampBranchHistoryC,
  kSpeedTens = 374,        // speed integrator: nearest(10 w) and the remainder
  kSpeedRemainder,
};

inline constexpr std::int32_t kMachineBlockSize = kSpeedRemainder;
inline constexpr std::int32_t kMaxZones = 10;
inline constexpr std::int32_t kSatPoints = 10;

static_assert(kVqPerOmega == 25 && kShuntR == 28 && kDSeventh == 37 && kXkfQ == 46);
static_assert(kBranchConductance == 179 && kFieldCurrentScale == 265 && kBasePower == 288);
static_assert(kHandoverQ == 298 && kSourceVoltageFactor == 329 && kPowerFilterB == 336);
static_assert(kDampFilterState + 5 == 356 && kMachineBlockSize == 375);

// Slot of zone j's table entry or its first inverse-matrix element.
constexpr std::int32_t zone_i(std::int32_t j) { return kZoneI + j - 1; }
constexpr std::int32_t zone_f(std::int32_t j) { return kZoneF + j - 1; }
constexpr std::int32_t zone_s(std::int32_t j) { return kZoneS + j - 1; }
constexpr std::int32_t zone_inverse(std::int32_t j) { return kZoneInverse + 6 * (j - 1); }
static_assert(zone_inverse(kMaxZones) + 5 == 240);

using MachineBlock = blocks::Slots<double>;

// The block of the machine being worked on: stor(nexc + 1 .. nexc + 375),
// checked against the array's extent; the pointer does not move.
MachineBlock current_machine_block();
// The block taken and the pointer moved on by the block size (the per-step
// model, at the end of its work).
void advance_machine_block();

// Integer entries of the configuration record.
enum ConfigInt : std::int32_t {
  kCfgDataForm = 1,
  kCfgQCircuits,
  kCfgComputedStart,   // 0 when the initial-condition mode is 2, else 1
  kCfgZoneCount,
  kCfgMonitor,         // six monitor slot numbers
  kCfgMonitorLast = kCfgMonitor + 5,
};
inline constexpr std::int32_t kConfigInts = kCfgMonitorLast;

// Real entries of the configuration record.
enum ConfigReal : std::int32_t {
  kCfgRatedCurrent = 1,
  kCfgRatedVoltage,
  kCfgOmega,
  kCfgNeutralR,
  kCfgNeutralX,
  kCfgInertia,
  kCfgFriction,
  kCfgRa,
  kCfgXa,
  kCfgShuntR,
  kCfgXmd,             // d-axis equivalent circuit
  kCfgRf,
  kCfgXf,
  kCfgRkd,
  kCfgXkd,
  kCfgXkf,
  kCfgXmq,             // q-axis equivalent circuit
  kCfgRkq1,
  kCfgXkq1,
  kCfgRkq2,
  kCfgXkq2,
  kCfgXkfQ,
  kCfgXdData,          // d-axis terminal data as entered
  kCfgXdSubData,
  kCfgTdoSubData,
  kCfgXdTrData,
  kCfgTdoTrData,
  kCfgFitTargetRe,
  kCfgFitTargetIm,
  kCfgXqData,          // q-axis terminal data as entered
  kCfgXqSubData,
  kCfgTqoSubData,
  kCfgXqTrData,
  kCfgTqoTrData,
  kCfgInitAngle,
  kCfgInitId,
  kCfgInitIq,
  kCfgInitIfd,
  kCfgInitSpeed,
  kCfgOpVoltage,
  kCfgOpAngle,
  kCfgOpP,
  kCfgOpQ,
  kCfgReleaseTime,
  kCfgPowerScale,
  kCfgTrimTime,
  kCfgSatX,            // 10 values
  kCfgSatY = kCfgSatX + kSatPoints,
  kCfgZoneI = kCfgSatY + kSatPoints,
  kCfgZoneF = kCfgZoneI + kMaxZones,
  kCfgZoneS = kCfgZoneF + kMaxZones,
  kCfgSourceMagnitude = kCfgZoneS + kMaxZones,
  kCfgSourceAngle,
  kCfgRcResistance,
  kCfgRcTimeFactor,
};
inline constexpr std::int32_t kConfigReals = kCfgRcTimeFactor;
// The record of the variant with the internal damping branch ends before the
// R-C factors.
inline constexpr std::int32_t kConfigRealsDamped = kCfgSourceAngle;

static_assert(kCfgXmd == 11 && kCfgXmq == 17 && kCfgXdData == 23 && kCfgXqData == 30);
static_assert(kCfgInitAngle == 35 && kCfgTrimTime == 46 && kCfgSatX == 47 && kCfgZoneS == 87);
static_assert(kConfigReals == 100 && kConfigInts == 10 && kConfigRealsDamped == 98);
static_assert(kDampBranchHistoryC == 373);

// The load-flow start value e_cpfsync keeps in two reals of storage::storf.
enum StartValueSlot : std::int32_t {
  kStartMagnitude = 1,  // magnitude of the voltage behind the start-up impedance, times k
  kStartAngle,          // its angle
};
inline constexpr std::int32_t kStartValueSize = kStartAngle;

}  // namespace wakro::machines

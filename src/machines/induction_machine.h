// The induction machine in its configuration-pair forms.
//
// A three-phase machine with one stator winding and up to four rotor circuits
// per axis (the wound-rotor circuit, whose three phases may be brought out, and
// up to three cages), modelled in the rotor's d-q-0 frame with fluxes as states,
// magnetising and leakage saturation, and a one-mass mechanical equation or an
// imposed speed. It enters the network through its own phase branches, each of
// fixed conductance with a current source rewritten every step.
//
//   inducmc2_cfg / inducmc2_exe   rated phase voltage, optional rotor-leakage
//                                 saturation, rotor zero-sequence option; a
//                                 block of 78 slots;
//   inducmc1_cfg / inducmc1_exe   rated line-to-line voltage, no rotor-leakage
//                                 saturation, the rotor mean always removed; a
//                                 block of 77 slots.
//
// The configuration record (67 reals, the circuit count n, and for the second
// form the rotor option) and the state block are named below. The set-up
// refuses (tag "INDUCMC     ") a rated voltage below 0.001, a cage count outside
// 0..3, a zero turns ratio and a zero X(2) or X(3); the step refuses a zero
// inertia while the speed follows the mechanical equation, and stops on a rotor
// flux derivative above 1e10 or on a flux or derivative that is not finite.
#pragma once

#include <array>
#include <cstdint>
#include <tuple>

#include "machines/induction_numerics.h"

namespace wakro::machines {

// The lengths of the data the records hold.
inline constexpr std::int32_t kResistanceCount = 5;                         // R(1..5)
inline constexpr auto kReactanceCount = static_cast<std::int32_t>(std::tuple_size_v<ReactanceVector>);  // X(1..12)
inline constexpr std::int32_t kCurvePointCount = 10;
inline constexpr std::int32_t kCurveValueCount = 2 * kCurvePointCount;      // x1, y1 .. x10, y10
using CurveValues = std::array<double, kCurvePointCount>;

// Configuration record: slot k is rtcf(p + k - 1), p the pointer on entry.
enum InductionConfigSlot : std::int32_t {
  kIcR = 1,                                  // R(1..5)
  kIcX = kIcR + kResistanceCount,            // X(1..12)
  kIcPower = kIcX + kReactanceCount,         // S, MVA
  kIcInverseV,                               // 1 / phase voltage, 1/kV
  kIcBaseW,                                  // wb, rad/s
  kIcInertia,                                // J
  kIcDamping,                                // D
  kIcStatorG,                                // G'' of each stator phase branch
  kIcMagCurve,                               // x1, y1 .. x10, y10
  kIcLeakCurve = kIcMagCurve + kCurveValueCount,
  kIcTurns = kIcLeakCurve + kCurveValueCount,  // a
  kIcRotorG,                                 // Gr of each rotor phase branch
  kIcRcResistance,                           // per unit of Zb
  kIcRcFactor,                               // R C as a multiple of the time step
  kIcReals = kIcRcFactor,
};
static_assert(kIcPower == 18 && kIcMagCurve == 24 && kIcTurns == 64 && kIcReals == 67);

// The record's logical (second form only): rtcl(p + k - 1).
enum InductionConfigLogical : std::int32_t {
  kIlRotorSaturation = 1,  // rotor-leakage saturation on
  kIlLogicals = 1,
};

// State block: slot k is stor(nexc + k), nexc on entry.
enum InductionSlot : std::int32_t {
  kImPsiD = 1,           // 1..5
  kImPsiQ = 6,           // 6..10
  kImPsi0 = 11,
  kImId = 12,            // 12..16
  kImIq = 17,            // 17..21
  kImI0 = 22,
  kImSpeed = 23,
  kImAngle = 24,
  kImDPsiD = 25,         // 25..29
  kImDPsiQ = 30,         // 30..34
  kImDPsi0 = 35,
  kImInverse = 36,       // 36..60, row by row, n a row
  kImTorque = 61,
  kImDSpeed = 62,
  kImMagFactor = 63,
  kImVd = 64,
  kImVq = 65,
  kImV0 = 66,
  kImStatorLeakFactor = 67,
  kImValpha = 68,
  kImVbeta = 69,
  kImLoadTorque = 70,
  kImSpeedCopy = 71,     // 72..77 not used
  kImRotorLeakFactor = 78,  // second form only
  kImBlock1 = 77,        // size of the first form's block
  kImBlock2 = 78,        // size of the second form's block
};

// State block of the single routine inducmc: slot k is stor(nexc + k).
enum InducmcSlot : std::int32_t {
  kSmR = 1,              // R(1..5)            (record 1)
  kSmX = 6,              // X(1..12)           (record 2)
  kSmPower = 18,         // S, MVA             (record 3)
  kSmVoltage = 19,       // V line to line, kV
  kSmBaseW = 20,         // wb, rad/s
  kSmPsiD = 21,          // 21..25
  kSmPsiQ = 26,          // 26..30
  kSmPsi0 = 31,
  kSmId = 32,            // 32..36
  kSmIq = 37,            // 37..41
  kSmI0 = 42,
  kSmSpeed = 43,
  kSmAngle = 44,
  kSmDPsiD = 45,         // 45..49
  kSmDPsiQ = 50,         // 50..54
  kSmDPsi0 = 55,
  kSmInverse = 56,       // 56..80
  kSmTorque = 81,
  kSmInertia = 82,       // J, D               (record 4)
  kSmDamping = 83,
  kSmDSpeed = 84,
  kSmStatorG = 85,       // G''
  kSmMagCurve = 86,      // 86..105            (record 5)
  kSmMagFactor = 106,
  kSmVd = 107,
  kSmVq = 108,
  kSmV0 = 109,
  kSmLeakCurve = 110,    // 110..129           (record 6)
  kSmLeakFactor = 130,
  kSmTurns = 131,        // a                  (record 4)
  kSmValpha = 132,
  kSmVbeta = 133,
  kSmRotorG = 134,       // Gr
  kSmNeutralG = 135,     // 1 / Zb
  kSmLoadTorque = 136,
  kSmSpeedCopy = 137,
  kSmBlock = 140,
};

// The damping network of inducmc in storf: slot k is storf(nstorf + k - 1).
enum InducmcDampingSlot : std::int32_t {
  kDnStatorG = 1,        // gd = 1 / (21 Zb)
  kDnStatorGain = 2,     // 2 gd / 21
  kDnDecay = 3,          // 19 / 21
  kDnStatorHistory = 4,  // 4..6, phases a, b, c
  kDnRotorG = 7,         // gdr = 1 / (21 Zb / a^2)
  kDnRotorGain = 8,      // 2 gdr / 21
  kDnRotorHistory = 9,   // 9..11
  kDnSlots = 11,
};

// The configuration arguments, in their order (the first form has no rotor
// option and takes V line to line).
struct InductionData {
  std::int32_t extra_cages = 0;   // N; n = N + 2 circuits per axis
  std::int32_t rotor_option = 0;  // 2: rotor leakage saturation (second form only)
  double power = 0.0;             // S, MVA
  double voltage = 0.0;           // V, kV
  double base_w = 0.0;            // wb, rad/s
  double inertia = 0.0;           // J
  double damping = 0.0;           // D
  double turns = 0.0;             // a
  double rc_resistance = 0.0;
  double rc_factor = 0.0;
  std::array<double, 5> r{};
  ReactanceVector x{};
  CurveValues leak_x{}, leak_y{}, mag_x{}, mag_y{};
};

void inducmc2_cfg(const InductionData& d);
void inducmc1_cfg(const InductionData& d);

// The step arguments (the first form has no zero-sequence option).
struct InductionStepIn {
  std::int32_t ss = 1;
  std::array<std::int32_t, 3> stator{}, stator_rc{}, rotor{}, rotor_rc{};
  double speed = 0.0;          // imposed speed, per unit
  std::int32_t mode = 0;       // 0: mechanical equation; other: imposed speed
  double load_torque = 0.0;    // Tm, per unit
  std::int32_t zero_sequence = 0;  // 1: rotor quantities as they are; other: mean removed
};

void inducmc2_exe(const InductionStepIn& in);
void inducmc1_exe(const InductionStepIn& in);

// The arguments of the single routine inducmc.
struct InducmcIn {
  std::int32_t ss = 1;
  std::array<std::int32_t, 3> stator{};  // stator phase nodes (0 = none)
  std::int32_t neutral = 0;              // 0: the neutral is the ground
  std::array<std::int32_t, 3> rotor{};   // rotor phase nodes (0 = none)
  double speed = 0.0;
  std::int32_t mode = 0;
  double load_torque = 0.0;
  std::int32_t extra_cages = 0;          // N
};

// The single routine: at time zero it reads its six data records from the
// input unit (a record missing or unreadable is refused with the file and
// line), checks its nodes against the subsystem and its data as the set-up of
// the pair forms does, and stamps its damping conductances (between each phase
// and the neutral, or to ground) through the network's admittance stamp; every
// step it enters the network by Norton injections at its nodes.
void inducmc(const InducmcIn& in);

// Number of winding-matrix inversions made by the induction machines since the
// process started (the step re-forms the matrix only on a saturation change).
std::int64_t induction_inversions();

}  // namespace wakro::machines

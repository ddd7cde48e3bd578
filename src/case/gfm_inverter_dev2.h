// GFM_Inverter_Dev2: the generated module of a grid-forming inverter in its
// averaged form. Three single-phase voltage sources, whose EMFs the control
// sets every step, feed the network through variable R, L and C branches. The
// control synchronises with the network voltage (phase-locked loop), sets its
// frequency by active-power droop (with frequency support and two power-limit
// controllers) and its voltage magnitude by a voltage regulator (or by
// reactive-power droop), and closes a dq voltage loop, a current limiter and a
// dq current loop (inverter_loops.h) before turning the voltage references
// back into phase EMFs.
//
// Counts: node record 29 (its subsystem, the count, 27 nodes), 13 integer and
// 337 real signals, 54 output channels, 30 branches of its subsystem:
//   1-3    measured: the current of the current loop (I_b)
//   4-6    the sources, phases c, b, a
//   7-9    measured: the current of the powers and the voltage loop (I_a)
//   10-12  resistance Zb arg15      13-15  inductance Lb arg14
//   16-18  resistance Zb arg19      19-21  resistance Zb arg17
//   22-24  inductance Lb arg18      25-27  capacitance 1e6 / (w0 Zb arg16) uF
//   28-30  measured: output channels only (I_c)
// Measured voltages (node positions within the record's 27 nodes): V_a at
// nodes 22-24, V_b at 8-10, V_c at 4-6. The page data file defines the 30
// branches; the module only measures 1-3, 7-9, 28-30 and drives the others.
//
// A step's measurements (the out pass, after the network solution) enter the
// control in the next step's dyn pass through the signal block. Units: volts,
// amperes, watts (network kV and kA times 1000); argument 2 is the rating in
// kVA (Sb = 1000 argument 2 VA). A base impedance outside 0.01 .. 1e4 ohm, the
// sign of a rating given in the wrong unit, warns once per instance.
//
// The angle integrator is wrapped by whole turns (inverter_loops.h), so that
// it never stops at the integrator's limits.
#pragma once

#include <array>
#include <cstdint>

#include "case/module_frame.h"

namespace wakro::casecode {

// The arguments of the dyn entry, in the generator's order (numbers in the
// comments). The module writes 50-54 only.
struct GfmArgs {
  double f0 = 60.0;             // 1  nominal frequency [Hz]
  double rating_kva = 0.0;      // 2  rated power [kVA]
  double rated_kv = 0.0;        // 3  rated line voltage [kV]
  double hold_factor = 0.0;     // 4  angle hold scaled by 0.3 arg4 + 0.65
  double arg5 = 0.0;            // 5  only saved
  double v_set_pu = 1.0;        // 6  voltage set-point [pu]
  double phase_deg = 0.0;       // 7  phase offset [deg]
  std::int32_t hold_sel = 0;    // 8  angle hold on when 1
  std::int32_t magnitude_sel = 1;  // 9  1: the unheld magnitude; else the Q droop
  double t_a = 0.0;             // 10 enable time
  double t_b = 0.0;             // 11 voltage regulation from (strictly after)
  std::int32_t v_meas_sel = 1;  // 12 1: powers from V_a; else from V_b
  std::int32_t virtual_r_sel = 0;  // 13 1: transient virtual resistance on
  double l1_pu = 0.0;           // 14 branches 13-15
  double r1_pu = 0.0;           // 15 branches 10-12
  double cap_pu = 0.0;          // 16 branches 25-27, voltage loop, limiter
  double r2_pu = 0.0;           // 17 branches 19-21
  double l2_pu = 0.0;           // 18 branches 22-24
  double r3_pu = 0.0;           // 19 branches 16-18
  double rv_pu = 0.0;           // 20 virtual resistance
  double pll_filter = 0.0;      // 21
  double p_filter = 0.0;        // 22 T_p = 2 pi / arg22
  double v_filter = 0.0;        // 23 T_v = 2 pi / arg23
  double f_meas_t = 0.0;        // 24 measured-frequency lag
  double pll_ki = 0.0;          // 25 (/ Vb)
  double vr_ki = 0.0;           // 26 (x Vb)
  double vr_kp = 0.0;           // 27 (x Vb)
  double pll_kp = 0.0;          // 28 (/ Vb)
  double p_droop = 0.0;         // 29 m = arg29 / Sb
  double q_droop = 0.0;         // 30 n = arg3 arg30 / (-arg2)
  double cl_kff = 0.0;          // 31
  double cl_ki = 0.0;           // 32 (x Zb)
  double cl_kp = 0.0;           // 33 (x Zb)
  double vl_ki = 0.0;           // 34 (/ Zb)
  double vl_kp = 0.0;           // 35 (/ Zb)
  double vl_kff = 0.0;          // 36
  double t_e = 0.0;             // 37 limit controllers from T_a + T_e
  double p_low_pu = 0.0;        // 38
  double p_high_pu = 0.0;       // 39
  double f_range_low = 0.0;     // 40 [Hz]
  double f_range_high = 0.0;    // 41 [Hz]
  double lim_gain = 0.0;        // 42
  double lim_t = 0.0;           // 43
  std::int32_t anti_windup = 0; // 44
  double t_c = 0.0;             // 45 current limiter enabled from
  double i_limit_pu = 0.0;      // 46
  double fs_period = 1.0;       // 47 frequency-support sampling period
  double fs_gain = 0.0;         // 48
  double t_d = 0.0;             // 49 measured frequency used from
  std::array<double, 3> out50{}, out51{};  // 50, 51 kept from the block
  double q_out = 0.0;           // 52 -0.001 Q_f
  double p_out = 0.0;           // 53 0.001 P_f
  double f_out = 0.0;           // 54 omega / 2 pi
};

// The real signal block (337 slots; those past the last named are unused).
enum GfmSignal : std::int32_t {
  // The out pass's measurements, read by the next dyn pass.
  kGfmVa1 = 1, kGfmVa2, kGfmVa3, kGfmVb1, kGfmVb2, kGfmVb3, kGfmVc1, kGfmVc2, kGfmVc3,
  kGfmIa1, kGfmIa2, kGfmIa3, kGfmIb1, kGfmIb2, kGfmIb3, kGfmIc1, kGfmIc2, kGfmIc3,
  kGfmU, kGfmVrms, kGfmPMeas, kGfmQMeas, kGfmQ13, kGfmQ2830, kGfmPhaseB, kGfmPhaseA,
  // Signals the dyn pass reads before it computes them (last step's values).
  kGfmTheta, kGfmPllAngle, kGfmOmegaPll, kGfmPf, kGfmIrefD, kGfmIrefQ,
  kGfmVd, kGfmVq, kGfmVd2, kGfmVq2,
  // Arguments 50 and 51, kept.
  kGfmOut50, kGfmOut50b, kGfmOut50c, kGfmOut51, kGfmOut51b, kGfmOut51c,
  // Derived constants.
  kGfmSb, kGfmVb, kGfmOmega0, kGfmZb, kGfmLb, kGfmTp, kGfmTv, kGfmVset, kGfmPllKp, kGfmPllKi, kGfmM, kGfmN,
  kGfmClKp, kGfmClKi, kGfmVlKp, kGfmVlKi, kGfmRv, kGfmTheta0, kGfmArg5Sb,
  kGfmR1, kGfmL1, kGfmR3, kGfmR2, kGfmL2, kGfmCapMicro,
  // Step signals.
  kGfmHold, kGfmThetaOff, kGfmPllError, kGfmFm, kGfmFsIntegral, kGfmPfs, kGfmP, kGfmQ, kGfmQf, kGfmPh, kGfmQh,
  kGfmLhi, kGfmLlo, kGfmDeltaP, kGfmOmega, kGfmAngleIntegral, kGfmVmag, kGfmV2mag, kGfmEv, kGfmVrIntegral,
  kGfmE, kGfmSelection, kGfmEh, kGfmDQf, kGfmMagnitude, kGfmXd, kGfmXq, kGfmVrefD, kGfmVrefQ, kGfmLimD, kGfmLimQ,
  kGfmIbD, kGfmIbQ, kGfmUd, kGfmUq, kGfmEa, kGfmEb, kGfmEc, kGfmId, kGfmIq,
  kGfmLastNamed = kGfmIq,
  kGfmReals = 337
};
static_assert(kGfmLastNamed <= kGfmReals);

// The integer signal block (13 slots).
enum GfmIntSignal : std::int32_t {
  kGfmSa = 1, kGfmSb2, kGfmSc, kGfmSd, kGfmSe, kGfmW, kGfmFlag, kGfmArg8, kGfmArg9, kGfmArg12, kGfmArg13,
  kGfmArg44, kGfmZbWarned,
  kGfmInts = 13
};
static_assert(kGfmZbWarned <= kGfmInts);

// The output channels, written at npgb + channel: the dyn pass writes all but
// the five the out pass measures (PTerminalSide, QTerminalSide, QBridgeSide,
// QTerminal, PhaseDifference).
enum GfmChannel : std::int32_t {
  kGfmChDroopTerm = 1, kGfmChPowerError, kGfmChSupportPower, kGfmChLimitsEnabled, kGfmChLimitedIrefQ,
  kGfmChLimiterActive, kGfmChLimitedIrefD, kGfmChMagnitudeRef, kGfmChCapacitorDrop, kGfmChLimitCorrection,
  kGfmChV2Magnitude, kGfmChRegulatedE, kGfmChVoltageError, kGfmChVset, kGfmChUq, kGfmChUd,
  kGfmChDroopMagnitude, kGfmChDroopQTerm, kGfmChIrefQ, kGfmChQHeld, kGfmChQFiltered, kGfmChIrefD,
  kGfmChPTerminalSide, kGfmChVqId, kGfmChPHeld, kGfmChPFiltered, kGfmChQ, kGfmChTheta, kGfmChVdIq,
  kGfmChQTerminalSide, kGfmChEmfC, kGfmChP, kGfmChQBridgeSide, kGfmChEmfB, kGfmChQTerminal, kGfmChEmfA,
  kGfmChGridI0, kGfmChGridIq, kGfmChTerminalSideV0, kGfmChTerminalSideVq, kGfmChGridId, kGfmChTerminalMinusIq,
  kGfmChTerminalSideVd, kGfmChTerminalId, kGfmChPllError, kGfmChConverterIq, kGfmChFilterCap, kGfmChCapVq,
  kGfmChConverterId, kGfmChCapVd, kGfmChPhaseDifference, kGfmChTerminalVq, kGfmChPllOmega, kGfmChTerminalVd,
  kGfmChannels = kGfmChTerminalVd
};

inline constexpr ModuleCounts kGfmInverter{"GFM_Inverter_Dev2", 29, kGfmInts, kGfmReals, kGfmChannels, 30, 0};

// The channels' names and units, in the enum's order (channel_table stops the
// build when a row's channel is not its position). The case's channel-name list
// gives each as "Inverter <n> <name> [<unit>]" (checked by the case's tests).
inline constexpr std::array<ChannelName, kGfmChannels> kGfmChannelNames = channel_table<GfmChannel>({
    {kGfmChDroopTerm, {"Droop filter term (Pf - P) m wf", "W/s"}},
    {kGfmChPowerError, {"Filtered less measured power Pf - P", "W"}},
    {kGfmChSupportPower, {"Frequency-support power Pfs", "W"}},
    {kGfmChLimitsEnabled, {"Power-limit controllers enabled (1 on)", "-"}},
    {kGfmChLimitedIrefQ, {"Limited current reference q", "A"}},
    {kGfmChLimiterActive, {"Current limiter active (1 limited)", "-"}},
    {kGfmChLimitedIrefD, {"Limited current reference d", "A"}},
    {kGfmChMagnitudeRef, {"Voltage magnitude reference", "V"}},
    {kGfmChCapacitorDrop, {"Capacitor less terminal voltage |V2| - |V|", "V"}},
    {kGfmChLimitCorrection, {"Power-limit frequency correction", "rad/s"}},
    {kGfmChV2Magnitude, {"Capacitor voltage magnitude |V2|", "V"}},
    {kGfmChRegulatedE, {"Regulated voltage magnitude E", "V"}},
    {kGfmChVoltageError, {"Terminal voltage error (Vset - |V|)/Vb", "pu of Vb, the rated line voltage"}},
    {kGfmChVset, {"Voltage set-point Vset", "V"}},
    {kGfmChUq, {"Bridge voltage reference uq", "V"}},
    {kGfmChUd, {"Bridge voltage reference ud", "V"}},
    {kGfmChDroopMagnitude, {"Q-droop magnitude Eh - n dQf", "V"}},
    {kGfmChDroopQTerm, {"Q-droop term n dQf", "V"}},
    {kGfmChIrefQ, {"Current reference iref q", "A"}},
    {kGfmChQHeld, {"Reactive power held at Ta Qh, positive when absorbing", "var"}},
    {kGfmChQFiltered, {"Filtered reactive power -Qf, positive when delivering", "kvar"}},
    {kGfmChIrefD, {"Current reference iref d", "A"}},
    {kGfmChPTerminalSide, {"Terminal-side active power (branches 7-9)", "kW"}},
    {kGfmChVqId, {"Product vq id", "W"}},
    {kGfmChPHeld, {"Active power held at Ta Ph", "W"}},
    {kGfmChPFiltered, {"Filtered active power Pf delivered", "kW"}},
    {kGfmChQ, {"Reactive power Q, positive when absorbing", "var"}},
    {kGfmChTheta, {"Inverter angle theta", "rad"}},
    {kGfmChVdIq, {"Product vd iq", "W"}},
    {kGfmChQTerminalSide, {"Terminal-side reactive power (branches 7-9)", "kvar"}},
    {kGfmChEmfC, {"Bridge EMF phase c", "V"}},
    {kGfmChP, {"Active power P delivered", "W"}},
    {kGfmChQBridgeSide, {"Bridge-side reactive power (branches 1-3)", "kvar"}},
    {kGfmChEmfB, {"Bridge EMF phase b", "V"}},
    {kGfmChQTerminal, {"Terminal reactive power (branches 28-30)", "kvar"}},
    {kGfmChEmfA, {"Bridge EMF phase a", "V"}},
    {kGfmChGridI0, {"Grid-side current zero sequence i0", "A"}},
    {kGfmChGridIq, {"Grid-side current iq (branches 7-9) at theta of the previous step", "A"}},
    {kGfmChTerminalSideV0, {"Terminal-side voltage zero sequence v0", "V"}},
    {kGfmChTerminalSideVq, {"Terminal-side voltage vq", "V"}},
    {kGfmChGridId, {"Grid-side current id (branches 7-9) at theta of the previous step", "A"}},
    {kGfmChTerminalMinusIq, {"Terminal current -iq: the grid-side current at theta of this step", "A"}},
    {kGfmChTerminalSideVd, {"Terminal-side voltage vd", "V"}},
    {kGfmChTerminalId, {"Terminal current id: the grid-side current at theta of this step", "A"}},
    {kGfmChPllError, {"PLL error: terminal-side vd at the PLL angle", "V"}},
    {kGfmChConverterIq, {"Converter current iq", "A"}},
    {kGfmChFilterCap, {"Filter capacitance", "uF"}},
    {kGfmChCapVq, {"Capacitor voltage vq", "V"}},
    {kGfmChConverterId, {"Converter current id", "A"}},
    {kGfmChCapVd, {"Capacitor voltage vd", "V"}},
    {kGfmChPhaseDifference, {"Capacitor less terminal-side phase angle", "rad"}},
    {kGfmChTerminalVq, {"Terminal voltage vq", "V"}},
    {kGfmChPllOmega, {"PLL angular frequency", "rad/s"}},
    {kGfmChTerminalVd, {"Terminal voltage vd", "V"}},
});

// The configured values the dyn pass compares its flags and selectors with
// (rtci), each written 1 by the begin routine. The angle hold's lies ahead of
// the phase-locked loop's record, the others after it, in this order.
enum GfmHoldSelector : std::int32_t { kSelAngleHold = 1, kGfmHoldSelectors = kSelAngleHold };
enum GfmSelector : std::int32_t {
  kSelFrequencyMeasured = 1,  // the measured frequency from T_d on
  kSelAntiWindup,             // the limiter's flag of the last step
  kSelPowersFromVa,           // argument 12
  kSelLimitHigh,              // the power-limit controllers from T_a + T_e
  kSelLimitLow,
  kSelDroop,                  // droop from T_a on
  kSelRegulation,             // voltage regulation after T_b
  kSelFreeze,                 // the regulation's integral frozen (anti-windup)
  kSelRegulatedMagnitude,     // the regulated E after T_b
  kSelMagnitude,              // argument 9
  kSelVirtualRD,              // argument 13, d and q
  kSelVirtualRQ,
  kGfmSelectors = kSelVirtualRQ
};

// The initial outputs of the dyn pass's five integrators (rtcf, after the
// phase-locked loop's record), each written 0 by the begin routine.
enum GfmInitial : std::int32_t {
  kInitSupport = 1,  // frequency support
  kInitLimitHigh,    // the two power-limit controllers
  kInitLimitLow,
  kInitAngle,        // the inverter's angle
  kInitRegulation,   // voltage regulation
  kGfmInitials = kInitRegulation
};

// Component ids (messages of the parts that report under their own identity).
enum GfmComponent : std::int32_t {
  kGfmSqrtV = 1, kGfmSqrtV2, kGfmGroupR2, kGfmGroupC, kGfmGroupL2, kGfmGroupR3, kGfmGroupL1, kGfmGroupR1,
  kGfmBase
};

// The out pass's configuration: five rtcf per measuring group.
enum GfmOutConfig : std::int32_t { kGroupScale = 1, kGroupScale2, kGroupSmoothing, kGroupFrequency, kGroupSpare,
                                   kGroupConfig = kGroupSpare };

}  // namespace wakro::casecode

void gfm_inverter_dev2dyn(wakro::casecode::GfmArgs& a);
void gfm_inverter_dev2out();
void gfm_inverter_dev2dyn_begin();
void gfm_inverter_dev2out_begin();

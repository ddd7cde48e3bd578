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

inline constexpr ModuleCounts kGfmInverter{"GFM_Inverter_Dev2", 29, kGfmInts, kGfmReals, 54, 30, 0};

// The output channels' names and units, channel k at k - 1: what the dyn and
// out passes write at npgb + k. The case's channel-name list gives each as
// "Inverter <n> <name> [<unit>]" (checked by the case's tests).
inline constexpr std::array<ChannelName, 54> kGfmChannelNames{{
    {"Droop filter term (Pf - P) m wf", "W/s"},  // 1
    {"Filtered less measured power Pf - P", "W"},  // 2
    {"Frequency-support power Pfs", "W"},  // 3
    {"Power-limit controllers enabled (1 on)", "-"},  // 4
    {"Limited current reference q", "A"},  // 5
    {"Current limiter active (1 limited)", "-"},  // 6
    {"Limited current reference d", "A"},  // 7
    {"Voltage magnitude reference", "V"},  // 8
    {"Capacitor less terminal voltage |V2| - |V|", "V"},  // 9
    {"Power-limit frequency correction", "rad/s"},  // 10
    {"Capacitor voltage magnitude |V2|", "V"},  // 11
    {"Regulated voltage magnitude E", "V"},  // 12
    {"Terminal voltage error (Vset - |V|)/Vb", "pu"},  // 13
    {"Voltage set-point Vset", "V"},  // 14
    {"Bridge voltage reference uq", "V"},  // 15
    {"Bridge voltage reference ud", "V"},  // 16
    {"Q-droop magnitude Eh - n dQf", "V"},  // 17
    {"Q-droop term n dQf", "V"},  // 18
    {"Current reference iref q", "A"},  // 19
    {"Reactive power held at Ta Qh", "var"},  // 20
    {"Filtered reactive power -Qf", "kvar"},  // 21
    {"Current reference iref d", "A"},  // 22
    {"Terminal-side active power (branches 7-9)", "kW"},  // 23
    {"Product vq id", "W"},  // 24
    {"Active power held at Ta Ph", "W"},  // 25
    {"Filtered active power Pf", "kW"},  // 26
    {"Reactive power Q", "var"},  // 27
    {"Inverter angle theta", "rad"},  // 28
    {"Product vd iq", "W"},  // 29
    {"Terminal-side reactive power (branches 7-9)", "kvar"},  // 30
    {"Bridge EMF phase c", "V"},  // 31
    {"Active power P", "W"},  // 32
    {"Bridge-side reactive power (branches 1-3)", "kvar"},  // 33
    {"Bridge EMF phase b", "V"},  // 34
    {"Terminal reactive power (branches 28-30)", "kvar"},  // 35
    {"Bridge EMF phase a", "V"},  // 36
    {"Grid-side current zero sequence i0", "A"},  // 37
    {"Grid-side current iq", "A"},  // 38
    {"Terminal-side voltage zero sequence v0", "V"},  // 39
    {"Terminal-side voltage vq", "V"},  // 40
    {"Grid-side current id", "A"},  // 41
    {"Terminal current -iq", "A"},  // 42
    {"Terminal-side voltage vd", "V"},  // 43
    {"Terminal current id", "A"},  // 44
    {"PLL error: terminal-side vd at the PLL angle", "V"},  // 45
    {"Converter current iq", "A"},  // 46
    {"Filter capacitance", "uF"},  // 47
    {"Capacitor voltage vq", "V"},  // 48
    {"Converter current id", "A"},  // 49
    {"Capacitor voltage vd", "V"},  // 50
    {"Capacitor less terminal-side phase angle", "deg"},  // 51
    {"Terminal voltage vq", "V"},  // 52
    {"PLL angular frequency", "rad/s"},  // 53
    {"Terminal voltage vd", "V"},  // 54
}};

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

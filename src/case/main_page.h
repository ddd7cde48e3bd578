// Station and Main: the root module of the case and its only page, the 230 kV
// network of nine buses with its generator, two grid-forming inverters, three
// step-up transformer groups, three dynamic loads, a timed three-phase fault,
// nine phase-locked oscillators, delays, the meters of nine measuring groups,
// output channels and run-time channels to the design environment.
//
// Counts of Main: node record 56 (its subsystem, the count, 54 nodes in 18
// three-phase points, point p = nodes 3p-2 .. 3p), 10 integer and 246 real
// signals, 68 output channels, 78 branches of its subsystem, 9 transformers.
// Main.dta describes the points, branches, transformers and lines; the slot
// tables below are the page's signal and channel layout, and Main.dta's
// channel list follows MainChannel.
//
// Run parameters and open values of the case (one table; the map file and the
// calls below use exactly these):
//
//   value                               used                  why
//   TIME_STEP                            50 us                 >= 5 steps in the
//                                                              shortest line travel time (0.275 ms)
//   FINISH_TIME                          25 s
//   PRINT_STEP                           1 ms
//   NNODES 190, NPAGES 20, STOF 1363, STOI 72, STOL = STOC = 0, PGBS 203,
//   SUBSYS 1, TRAFOS 9, WINDINGS 2, NODES 105 (54 of Main, 3 inside the
//   generator, 24 inside each inverter)
//   generator load flow (begin 1-4)      1.025 pu, 9.2796 deg, 163 MW, 6.627 Mvar
//   generator argument 3 (governor       163 MW                the load flow's. The run needs 2.55 MW
//     reference)                                               more than the load flow schedules
//                                                              (measured over 8-10 s against the
//                                                              case's own load flow, 315 MW of load,
//                                                              4.78 MW of losses, bus 1 at 71.78 MW):
//                                                              the loads draw 1.48 MW more than
//                                                              specified, the network loses 0.39 MW
//                                                              more, and the inverters, held at
//                                                              their 0.6 s powers, would deliver
//                                                              0.69 MW less. The generator's droop
//                                                              (R = 0.05 on 200 MVA, with the
//                                                              turbine's damping 20.02 pu power per
//                                                              pu speed) and the inverters' (0.05 on
//                                                              100 MVA each) share that and the
//                                                              machine's own losses: 59.969 Hz, the
//                                                              generator's terminal at 163.6 MW
//                                                              (+0.36 %), the inverters 85.5 and
//                                                              72.5 MW (the secondary control, from
//                                                              20 s, adds only 0.0002 pu by 25 s).
//                                                              A reference of 166.8 MW gave
//                                                              59.997 Hz but is not the case's.
//   inverter 2   rating [kVA]            100000
//   inverter 4, 5                        0, 0
//   inverter 6, 7 (instance 1, bus 3)    1.025 pu, 5.2666 deg  CHANGED from 4.6666 deg: the power
//                                                              held at T_a as the droop's reference
//                                                              is taken while the network still
//                                                              settles; with the load-flow angle it
//                                                              leaves the inverter at 80.7 MW, 5 %
//                                                              below its 85 MW; with +0.6 deg 84.5
//                                                              (85.5 once the governor is at 163)
//   inverter 6, 7 (instance 2, bus 1)    1.04 pu, 0.3 deg      CHANGED from 0 deg, for the same
//                                                              reason: at 0 deg 69.8 MW, 2.8 %
//                                                              below its 71.8 MW; with +0.3 deg 71.6
//                                                              (72.5 once the governor is at 163)
//   inverter 8, 9, 12, 13, 44            1
//   inverter 10 (T_a)                    0.6 s                 the later of the two times: the
//                                                              powers are held as the droops'
//                                                              references once the network has
//                                                              energised (the generator's start-up
//                                                              source ramps to 0.1 s, the loads
//                                                              start after 10 cycles); held at
//                                                              0.2 s they leave 59.81 Hz and the
//                                                              inverters 69 and 75 MW
//   inverter 11 (T_b)                    0.2 s                 voltage regulation from 0.2 s
//   inverter 14..20                      0.15, 0.005, 20, 0.005, 0.15, 0.005, 0.09: L1, R1, the
//                                        capacitor's reactance, R2, L2, the capacitor's series
//                                        resistance (branches 16-18), the virtual resistance
//   inverter 21..43, 45..49              the case's values, by name in inverter_args (46, the
//                                        current limit, 1.1 pu: see below)
//
// The inverters' filter. The case gives seven values for the nine positions
// of arguments 10, 11 and 14-20 (two times, L1, R1, the capacitor, R2, L2, the
// capacitor's series resistance and the virtual resistance): 0.2, 0.15, 0.005,
// 0.6, 0.15, 0.005, 0.09. We read them as a converter designer builds the
// filter: the repeated pair (0.15, 0.005) is the two L-R legs, 0.15 pu of
// inductance with 0.005 pu of resistance each; 0.09 is the virtual resistance,
// the transient damping term of the voltage reference; 0.2 and 0.6 are the
// two times, T_b and T_a. That leaves the shunt branch, which none of the
// seven values describes, to the designer: a capacitor of 0.05 pu susceptance
// (argument 16 = 20, the capacitor's formula makes its reactance argument 16
// per unit) with 0.005 pu in series (branches 16-18, between the capacitor and
// ground, where the voltage and current loops expect it: their decoupling
// term and the limiter's offset take the same argument 16). Its 0.05 pu of
// reactive current costs the bridge almost nothing. Measured over 8-10 s:
//
//                                 inverter 1 (85 MW)   inverter 2 (72 MW)
//   filter loss R I^2 (3 legs)    0.71 MW, 0.83 %      0.54 MW, 0.74 %
//   converter current             0.84 pu              0.72 pu
//
// Read with 0.6 as the capacitor instead, the shunt branch has 0.6 pu of
// reactance and draws 1.67 pu, which the bridge supplies (the terminal's
// reactive power is the load flow's): the converter carries 1.90 and 1.63 pu
// and the filter loses 4.2 and 4.5 % of the inverters' power; with 0.09 in
// series with that capacitor, 32 and 41 %. A capacitor of 0.1 pu susceptance
// (argument 16 = 10) loses the same and carries 0.84 and 0.70 pu.
//
// The current limit stays the case's 1.1 pu: with the converter near 0.8 pu
// the limiter has room, acts for 43 and 54 ms from the fault at 10.0 s
// (the converter then at most 1.12 pu), lets go, and every bus is back within
// 2 % of its pre-fault voltage by 10.25 s.
//
// Arguments 6 and 7 are the set-point and phase of the inverter's terminal.
#pragma once

#include <cstdint>

#include "case/generic_sg_1.h"
#include "case/module_frame.h"

namespace wakro::casecode {

inline constexpr std::int32_t kMainPoints = 18;
inline constexpr std::int32_t kGroups = 9;
inline constexpr std::int32_t kOscillators = 9;
inline constexpr std::int32_t kDelays = 8;

// The arguments an inverter writes back, as the page keeps them per inverter.
enum InvArgSlot : std::int32_t {
  kIaOut50 = 0,        // arguments 50 (three values), 51 (three values)
  kIaOut51 = 3,
  kIaQ = 6,            // 52, 53, 54
  kIaP,
  kIaF,
  kIaCount
};

// The real signal block.
enum MainSignal : std::int32_t {
  kMnStep1 = 1,        // 1.0 while 3.5 >= time, else 1.05
  kMnStep2,            // 1.0 while 5.2 >= time, else 1.02
  kMnLagT,             // 0.02
  kMnKp,               // 50.0
  kMnKi,               // 450.0
  kMnOne,              // 1.0
  kMnFive,             // 5.0
  kMnStart,            // 0.05
  kMnThird,            // 1/3
  kMn120,              // 120.0
  kMn20,               // 20.0
  kMnFaultCtrl,        // the fault's control, as a real
  kMnOsc,              // per oscillator: 5 slots (kOscAngle ..)
  kMnDelay = kMnOsc + 5 * kOscillators,  // the delays' outputs
  kMnGroup = kMnDelay + kDelays,         // per group: 7 slots (kGrVa ..)
  kMnAngleDiff = kMnGroup + 7 * kGroups, // group g's angle less group 9's, g = 1..8
  // The modules' arguments that they write back, kept here from step to step
  // (restored at the start of maindyn, saved at its end); a new run starts
  // them from 0, the cleared block.
  kMnGenArg = kMnAngleDiff + 8,          // the generator's: SgWrittenBack
  kMnInvArg = kMnGenArg + kGaCount,      // per inverter: InvArgSlot
  kMnLastNamed = kMnInvArg + 2 * kIaCount - 1,
  kMnReals = 246
};
static_assert(kMnLastNamed <= kMnReals);
enum OscSlot : std::int32_t { kOscAngle = 0, kOscError, kOscFreq, kOscDegrees, kOscLagged };
enum GroupSlot : std::int32_t { kGrVa = 0, kGrVb, kGrVc, kGrP, kGrQ, kGrV, kGrAngle };

// The integer signal block.
enum MainIntSignal : std::int32_t {
  kMnFaultState = 1,   // 1 when all six fault branches are open
  kMnBefore10,         // time < 10.0
  kMnBefore20,         // time < 20.0
  kMnFrom20,           // time >= 20.0
  kMnBefore5,          // time < 5.0
  kMnBefore20b,        // time < 20.0 again
  kMnFaultCtrlInt,     // the fault's control
  kMnInts = 10
};

// The output channels (Main's slice).
enum MainChannel : std::int32_t {
  // 1.63, 0.049, 0.85, -0.1145, 0.7163, 0.2791: reference P and Q of the
  // generator and the inverters, held constant [pu of 100 MVA]; the P values are
  // the load flow's, the Q values are not (it gives 0.0663, -0.1084, 0.2719).
  kChConst1 = 1,
  kChGroup = 7,        // per group g: P, Q [pu of 100 MVA], V [pu of the bus's kV], angle [deg against
                       // a 60 Hz frame] at 7 + 4 (g - 1)
  kChFreq = kChGroup + 4 * kGroups,      // 43: the oscillators' lagged frequencies [Hz]
  kChAngleDiff = kChFreq + kOscillators, // 52: group g's angle less group 9's, g = 1..8
  kChDelay = kChAngleDiff + 8,           // 60: the delays' outputs
  kChFault = kChDelay + kDelays,         // 68: 1 while the fault is applied
  kMainChannels = kChFault
};
static_assert(kMainChannels == 68);

inline constexpr ModuleCounts kMain{"Main", 56, kMnInts, kMnReals, kMainChannels, 78, 9};
inline constexpr ModuleCounts kStation{"Station", 2, 0, 0, 0, 0, 0};

// Component ids under Main's call number.
enum MainComponent : std::int32_t {
  kIdGroup1 = 1,        // transformer groups 1..3
  kIdFault = 4,
  kIdOsc = 5,           // oscillators 5..13
  kIdLoad = 14,         // loads 14..16
  kIdMeter = 17,        // measuring groups 17..25
};

}  // namespace wakro::casecode

void maindyn();
void mainout();
void maindyn_begin();
void mainout_begin();

// The root module.
void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();

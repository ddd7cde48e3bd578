// Generic_SG_1: the generated module of the case's synchronous generator
// (18 kV, 200 MVA, 60 Hz): the machine with its R-C interface branches, its AC7B
// exciter, the gas-turbine governor GAST, a slow secondary frequency control
// (an integral of 0.1 (1 - speed) from its release time, sampled every 2 s and
// added to the governor's reference), the RMS terminal voltage for the exciter,
// and in its output routine the terminal's meters and run-time channels.
//
// Counts: node record 8 (its subsystem, the count and six nodes; the machine's
// internal three phases are nodes 1-3, the terminal's nodes 4-6), 5 integer and
// 63 real signals, 11 output channels, 9 branches of its subsystem:
//   base+1..3  the machine's phase branches (node 1-3 to ground)
//   base+4..6  its R-C interface branches (node 1-3 to ground)
//   base+7..9  the meter branches, internal node k to terminal node k + 3
// The page's data file (Generic_SG_1.dta) defines these branches and the
// initial values of the signals (SgSignal).
#pragma once

#include <array>

#include <cstddef>
#include <cstdint>

#include "case/module_frame.h"
#include "machines/conversion.h"
#include "machines/exciter_ac7b.h"

namespace wakro::casecode {

// The real signal block, slots from the module's base. Slots past the last
// named one are the page's own (left as the data file gives them).
enum SgSignal : std::int32_t {
  kSgSpeed = 1,        // machine speed of the last step, per unit
  kSgGovRef,           // governor reference, per unit
  kSgBaseRef,          // its base, argument 3 / (100 argument 1)
  kSgError,            // (1 - speed) gain
  kSgIntegral,         // the secondary control's integral
  kSgSampled,          // its sampled value
  kSgEfd0,             // field current in field-voltage units, the exciter's EFD0
  kSgVt,               // terminal voltage, per unit
  kSgIT1,
  kSgIT2,
  kSgP,                // machine P [MW] and Q [Mvar]
  kSgQ,
  kSgTe,
  kSgRotorAngle,
  kSgTrackedAngle,
  kSgMachineMode,
  kSgArg4Scaled,       // argument 4 / (100 argument 1)
  kSgArg7,             // argument 7 as given
  kSgStored21,         // the two stored values scaled into arguments 21, 22
  kSgStored22,
  kSgSpeedAngleTerm,   // third term of the tracked angle (0)
  kSgMeterP,           // output routine: measured P, Q [MW, Mvar], V [kV]
  kSgMeterQ,
  kSgMeterV,
  kSgVa,               // terminal voltages [kV]
  kSgVb,
  kSgVc,
  kSgConst100a,        // constant signals written by the output routine
  kSgConst100b,
  kSgConst100c,
  kSgConst1a,
  kSgConst1b,
  kSgConst1c,
  kSgConst1d,
  kSgLastNamed = kSgConst1d,
  kSgReals = 63
};
static_assert(kSgLastNamed <= kSgReals);

// The integer signal block.
enum SgIntSignal : std::int32_t {
  kSgRelease = 1,      // time >= release time of the secondary control
  kSgSpeedMode,        // time >= the speed-mode time
  kSgMachineModeFlag,  // time >= the hand-over time
  kSgArg5,             // argument 5 as given
  kSgLatch,            // machine mode reported by the machine
  kSgInts = kSgLatch
};

// The module's branches and nodes (local numbers; each group three phases).
enum SgBranch : std::int32_t { kSgBrPhase = 1, kSgBrRc = 4, kSgBrMeter = 7, kSgBranches = kSgBrMeter + 2 };
enum SgNode : std::int32_t { kSgNodeInternal = 1, kSgNodeTerminal = 4, kSgNodes = kSgNodeTerminal + 2 };
inline constexpr std::int32_t kSgRecord = kSgNodes + 2;  // the subsystem, the count and the nodes

// Component ids of the parts that report under their own identity.
inline constexpr std::int32_t kSgMachineId = 2;
inline constexpr std::int32_t kSgExciterId = 3;
inline constexpr std::int32_t kSgMeterId = 4;

// The angle tracker's storage record (storage::storf), after the machine.
enum SgTracker : std::int32_t { kTrackStart = 1, kTrackSum, kTrackThird, kTrackAngle, kTrackReals = kTrackAngle };

// The output channels.
enum SgChannel : std::int32_t {
  kChEfd = 1,
  kChIfd,
  kChPmMW,
  kChP,
  kChQ,
  kChTe,
  kChAngle,
  kChSpeed,
  kChHz,
  kChPm,
  kChSampled,
  kSgChannels = kChSampled
};

inline constexpr ModuleCounts kGenericSg1{"Generic_SG_1", kSgRecord, kSgInts, kSgReals, kSgChannels, kSgBranches, 0};

// Their names and units, in the enum's order (channel_table stops the build
// when a row's channel is not its position; the case's channel-name list gives
// each as "<name> [<unit>]"). Pm is per unit of the machine's 200 MVA: kChPmMW
// writes it times 100, a percentage.
inline constexpr std::array<ChannelName, kSgChannels> kSgChannelNames = channel_table<SgChannel>({
    {kChEfd, {"Generator field voltage EFD", "pu"}},
    {kChIfd, {"Generator field current IFD", "pu"}},
    {kChPmMW, {"Generator mechanical power Pm", "% of 200 MVA"}},
    {kChP, {"Generator active power P delivered", "MW"}},
    {kChQ, {"Generator reactive power Q delivered", "Mvar"}},
    {kChTe, {"Generator electrical torque Te", "pu of 200 MVA"}},
    {kChAngle, {"Generator rotor angle tracked against a 60 Hz frame (not the load angle)", "rad"}},
    {kChSpeed, {"Generator speed", "pu of 60 Hz"}},
    {kChHz, {"Generator frequency", "Hz"}},
    {kChPm, {"Generator mechanical power Pm", "pu of 200 MVA"}},
    {kChSampled, {"Generator secondary control (sampled)", "pu of 200 MVA"}},
});

// The configuration record of the output routine (rtcf).
enum SgOutConfig : std::int32_t { kOutPScale = 1, kOutQScale, kOutSmoothing, kOutSpare1, kOutSpare2, kOutConfig = kOutSpare2 };

// The case's generator (18 kV, 200 MVA, 60 Hz): the machine's data, once for
// the module's configuration and for the pages that call it (their arguments
// 2, 11, 12 and 17, and the begin routines' vb, ib and h).
struct GeneratorData {
  double rating_mw = 200.0;         // argument 2
  double rated_phase_kv = 10.3923;  // RMS phase voltage: 18 kV / sqrt 3
  double rated_phase_ka = 6.415;    // RMS phase current: 200 MVA / (3 x 10.3923 kV)
  double inertia = 4.0;             // H [s]
  double w = 376.992;               // rated angular frequency [rad/s]
  double friction = 0.001;
  double shunt_r = 300.0;           // terminal shunt resistance
  // The armature: resistance (as Ta), Xp and the AGFC factor; and the
  // reactance order check's value 11.
  double ta = 0.332, xp = 0.13, agfc = 1.0, check_value11 = 1.0E-06;
  // The terminal data: Xd, Xd'', T''do, Xd', T'do and the rotor-fit target;
  // Xq, Xq'', T''qo, Xq', T'qo.
  wakro::machines::DAxisData d{0.92, 0.135, 0.032, 0.169, 4.3, 1.0E6, 1.0E6};
  wakro::machines::QAxisData q{0.51, 0.2, 0.05, 0.228, 0.85};
  double release_time = 0.1;        // start-up source released [s]
  double trim_time = 0.2;
  double rc_resistance = 20.0;      // R-C interface branch factors
  double rc_time_factor = 10.0;
};
inline constexpr GeneratorData kGeneratorData{};

// The arguments the module writes back (the others are the page's constants).
// A calling page keeps them in its real signals from step to step, in this
// order from a base slot, so that a snapshot holds them.
enum SgWrittenBack : std::int32_t {
  kGaScale = 0,        // argument 1, rating / 100
  kGaStored21,         // arguments 21, 22
  kGaStored22,
  kGaFrequency,        // 23 [Hz]
  kGaPm,               // 24, the governor's mechanical power
  kGaEfd,              // 25, the field voltage the exciter writes for the next step
  kGaIfd,              // 26, the field current
  kGaCount
};

// The module's 26 arguments, by reference, in the page's order, with the
// values the case's pages pass. The module writes arguments 1, 21-26 (the
// others are the page's constants; 11, 12, 17, 19 and 20 it does not read).
struct SgArgs {
  double scale = 0.0;                                // 1  out: rating / 100
  double rating_mw = kGeneratorData.rating_mw;       // 2  rating [MW]
  double governor_mw = 163.0;                        // 3  governor base reference [MW]
  double further_mw = 4.9;                           // 4  a further power [MW], kept per unit
  std::int32_t arg5 = 0;                             // 5  only kept
  double vref = 1.025;                               // 6  the exciter's VREF [pu]
  double arg7 = 0.163195689167;                      // 7  only kept
  double speed_mode_time = 2.5;                      // 8  the machine's speed free from [s]
  double handover_time = 2.0;                        // 9  machine mode from [s]
  double switching_time = 2.5;                       // 10 the governor's switching time [s]
  double rated_phase_kv = kGeneratorData.rated_phase_kv;  // 11
  double rated_phase_ka = kGeneratorData.rated_phase_ka;  // 12
  double sample_period = 2.0;                        // 13 the secondary control's sampling [s]
  double release_time = 20.0;                        // 14 the secondary control from [s]
  double sc_gain = 0.1;                              // 15 the secondary control's gain
  double droop = 0.05;                               // 16 the governor's droop R
  double inertia = kGeneratorData.inertia;           // 17 H [s]
  double t4 = 0.5;                                   // 18 the governor's T4
  double arg19 = 0.0, arg20 = 0.0;                   // 19, 20 passed
  double stored21 = 0.0, stored22 = 0.0;             // 21, 22 out: two stored values times argument 1
  double f_hz = 0.0;                                 // 23 out: frequency [Hz]
  double pm = 0.815;                                 // 24 Pm, the governor's mechanical power [pu]
  double efd = 0.0;                                  // 25 EFD, written by the exciter for the next step
  double ifd = 0.0;                                  // 26 out: the field current
};

// The written-back arguments, as a calling page keeps them in its real signals
// from slot base (SgWrittenBack order): restored at the start of its dyn pass,
// saved at its end.
inline void restore_written_back(const ModuleCall& c, std::int32_t base, SgArgs& a) {
  double* const to[kGaCount] = {&a.scale, &a.stored21, &a.stored22, &a.f_hz, &a.pm, &a.efd, &a.ifd};
  for (std::int32_t k = 0; k < kGaCount; ++k) *to[k] = c.f(base + k);
}
inline void save_written_back(const ModuleCall& c, std::int32_t base, const SgArgs& a) {
  const double from[kGaCount] = {a.scale, a.stored21, a.stored22, a.f_hz, a.pm, a.efd, a.ifd};
  for (std::int32_t k = 0; k < kGaCount; ++k) c.f(base + k) = from[k];
}

// The AC7B exciter data of the case's generator (also the reference data of the
// machine tests, the stiff-source example and the machine bench).
wakro::machines::Ac7bData generator_exciter_data();

}  // namespace wakro::casecode

// One dyn pass with the page's arguments (SgArgs).
void generic_sg_1dyn(wakro::casecode::SgArgs& a);
void generic_sg_1out();
// The page's load-flow point (V [pu], angle [rad], P [MW], Q [Mvar]), the
// machine's power scale, then the constants rated phase voltage [kV], rated
// phase current [kA], 2.0, 0.1, 0.05 and H [s].
void generic_sg_1dyn_begin(double& v, double& theta, double& p, double& q, double& power_scale, double& vb,
                           double& ib, double& c3, double& release, double& c5, double& h);
void generic_sg_1out_begin(double& v, double& theta, double& p, double& q, double& power_scale, double& vb,
                           double& ib, double& c3, double& release, double& c5, double& h);

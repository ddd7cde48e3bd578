// The four control modules of the grid-forming inverter, called by it in this
// order in each of its passes:
//   PhaseLocked_Loop       phase and angular frequency of a measured voltage:
//                          a lag on the error, a PI giving the frequency, limited
//                          to [lower, upper] times 2 pi f0, integrated to the angle;
//   Voltage_Loop           dq voltage PI with current feed-forward and the
//                          capacitor's decoupling term: current references;
//   Current_Limiter_Scale  the magnitude of the current references (less a held
//                          offset on one axis) against the limit, and the scale
//                          that brings it back to the limit;
//   Current_Loop_1         dq current PI with voltage feed-forward and the
//                          inductor's decoupling term: voltage references.
//
// Each module keeps the frame of every module (module_frame.h): its call
// record, counter steps, data file "<Module>.dta" at time zero and its signal
// block of the counts below, laid out by the enums. dq quantities are arrays of
// two reals, d first. The begin routines write the configured values that the
// dyn routines read back by the same names: the integrators' initial outputs
// (rtcf, the <Module>Initial records) and the selectors' configured values
// (rtci, the <Module>Selector records).
//
// The phase-locked loop's angle integrator is wrapped by whole turns once it
// passes kAngleWrap, so that the angle never reaches the integrator's limits
// (which would stop it after some 265 s at 60 Hz); the reported angle, the
// integral's value modulo 2 pi, is the same.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "case/module_frame.h"
#include "model/constants.h"

namespace wakro::casecode {

using Dq = std::array<double, 2>;  // d, q
inline constexpr std::size_t kAxisD = 0, kAxisQ = 1;  // a Dq's entries

// The terms of the decoupled dq PI both loops run, in the order each loop
// keeps them from its first term entry on.
enum DqPiTerm : std::int32_t {
  kPiFfD = 0, kPiPropD, kPiIntTermD, kPiCoupleD, kPiFfQ, kPiPropQ, kPiIntTermQ, kPiCoupleQ
};
// The quantities both loops keep first, in this order from their first entry
// on: the controlled quantity, the loop's output reference, the quantity fed
// forward, the loop's reference, then the gains and the speed.
enum DqLoopEntry : std::int32_t {
  kLoopMeasuredD = 0, kLoopMeasuredQ, kLoopOutD, kLoopOutQ, kLoopFedD, kLoopFedQ, kLoopRefD, kLoopRefQ,
  kLoopKff, kLoopOmega, kLoopKp, kLoopKi
};

// An angle integrator's output at or beyond this is moved back by whole turns.
inline constexpr double kAngleWrap = 15000.0 * kTwoPi;

// Brings the output of the angle integrator whose storf record starts at slot
// `record` (its slot 1) back by whole turns once |output| >= kAngleWrap.
void wrap_angle_integrator(std::int32_t record);

// (0, 2 pi]: atan2 of the angle, plus 2 pi when that is <= 0.
double wrap_angle(double x);

// -------------------------------------------------------------- PLL
enum PllSignal : std::int32_t {
  kPllAngle = 1,     // argument 1
  kPllError,         // argument 2
  kPllOmega,         // argument 3
  kPllFilter,        // argument 4
  kPllKp,
  kPllKi,
  kPllF0,
  kPllUpperFactor,
  kPllLowerFactor,
  kPllFilterT,       // 2 pi / argument 4
  kPllFiltered,      // e_f
  kPllI1,
  kPllOmega0,
  kPllOmegaU,
  kPllUpper,
  kPllLower,
  kPllTwoPiA,        // constant 2 pi (of the filter time)
  kPllPhi,
  kPllTwoPiB,        // constant 2 pi (of omega0)
  kPllI2,
  kPllPhiPlusI2,
  kPllPropTerm,      // Kp e_f
  kPllIntTerm,       // Ki I1
  kPllZero,          // constant 0.0 (phase offset off)
  kPllOne,           // constant 1.0 (filter gain)
  kPllHalfPi,        // constant pi / 2
  kPllLimited,       // 1.0 when the limits were applied
  kPllReals = kPllLimited
};
enum PllIntSignal : std::int32_t { kPllSelector = 1, kPllInts = kPllSelector };
inline constexpr ModuleCounts kPhaseLockedLoop{"PhaseLocked_Loop", 2, kPllInts, kPllReals, 0, 0, 0};
inline constexpr std::int32_t kPllLimitId = 1;  // component of the limit warning
// The configured value the dyn pass compares its selector with (rtci),
// written 1 by the begin routine.
enum PllSelector : std::int32_t {
  kPllSelPhaseOffset = 1,  // the phase offset of -pi/2 applies
  kPllSelectors = kPllSelPhaseOffset
};
// The initial outputs of the dyn pass's two integrators (rtcf), each written
// 0 by the begin routine.
enum PllInitial : std::int32_t {
  kPllInitI1 = 1,  // the filtered error's integral
  kPllInitAngle,   // the angle
  kPllInitials = kPllInitAngle
};

// -------------------------------------------------------------- voltage loop
enum VlSignal : std::int32_t {
  kVlVd = 1, kVlVq, kVlIrefD, kVlIrefQ, kVlId, kVlIq, kVlVrefD, kVlVrefQ,
  kVlKff, kVlOmega, kVlKp, kVlKi, kVlCfMicro,
  kVlEq, kVlEqIn, kVlIntQ, kVlEd, kVlEdIn, kVlIntD, kVlSign, kVlCf,
  kVlFfD, kVlPropD, kVlIntTermD, kVlCoupleD, kVlFfQ, kVlPropQ, kVlIntTermQ, kVlCoupleQ,
  kVlMicro,                      // constant 1e-6
  kVlZeroQ = 39, kVlZeroD = 40,  // constants 0.0: the frozen integrators' inputs
  kVlReals = 46
};
enum VlIntSignal : std::int32_t { kVlFreeze = 1, kVlSignSelector, kVlMinusOneSel, kVlPlusOneSel, kVlInts = 4 };
enum VlChannel : std::int32_t { kVlChIrefQ = 1, kVlChIrefD, kVlChIrefD2, kVlChannels = kVlChIrefD2 };
static_assert(kVlCoupleQ - kVlFfD == kPiCoupleQ && kVlKi - kVlVd == kLoopKi);
inline constexpr ModuleCounts kVoltageLoop{"Voltage_Loop", 2, kVlInts, kVlReals, kVlChannels, 0, 0};
inline constexpr std::array<ChannelName, kVlChannels> kVlChannelNames = channel_table<VlChannel>({
    {kVlChIrefQ, {"Voltage loop current reference iref q", "A"}},
    {kVlChIrefD, {"Voltage loop current reference iref d", "A"}},
    {kVlChIrefD2, {"Voltage loop current reference iref d (copy)", "A"}},
});
// The configured values the dyn pass compares its freeze flag and sign
// selector with (rtci), each written 1 by the begin routine.
enum VlSelector : std::int32_t {
  kVlSelFreezeQ = 1,  // the q integral's input held at 0
  kVlSelFreezeD,      // the d integral's input held at 0
  kVlSelSign,         // the decoupling term's sign is -1
  kVlSelectors = kVlSelSign
};
// The initial outputs of the dyn pass's two integrators (rtcf), each written
// 0 by the begin routine.
enum VlInitial : std::int32_t {
  kVlInitQ = 1,  // the q error's integral
  kVlInitD,      // the d error's integral
  kVlInitials = kVlInitD
};

// -------------------------------------------------------------- current limiter
enum ClsSignal : std::int32_t {
  kClsIrefD = 1, kClsIrefQ, kClsLimD, kClsLimQ,
  kClsDivisor, kClsRating, kClsRatedV, kClsLimitPu, kClsCapPu, kClsVoltage,
  kClsK1, kClsS, kClsSva, kClsIb, kClsK2, kClsZb, kClsY, kClsW, kClsH1, kClsImax,
  kClsD, kClsX, kClsF, kClsH2, kClsDelta, kClsOffQ, kClsOffD, kClsA, kClsB, kClsM,
  kClsMargin, kClsScale, kClsSmallDivisor, kClsFlagReal,
  kClsTwoThirds,   // constants: 2/3, 1.0, 1000.0, 0.0, 0.001, 1e-5
  kClsOne, kClsThousand, kClsZero, kClsMilli, kClsTiny,
  kClsLastNamed = kClsTiny,
  kClsReals = 63
};
static_assert(kClsLastNamed <= kClsReals);
enum ClsIntSignal : std::int32_t {
  kClsFlag = 1, kClsUnitSel, kClsPulse, kClsOffsetAxisSel, kClsRecorded11, kClsRecorded12, kClsOffsetSel,
  kClsInts = kClsOffsetSel
};
enum ClsChannel : std::int32_t { kClsChFlag = 1, kClsChM, kClsChImax, kClsChScale, kClsChannels = kClsChScale };
inline constexpr ModuleCounts kCurrentLimiter{"Current_Limiter_Scale", 2, kClsInts, kClsReals, kClsChannels, 0, 0};
inline constexpr std::array<ChannelName, kClsChannels> kClsChannelNames = channel_table<ClsChannel>({
    {kClsChFlag, {"Current limiter active (1 limited)", "-"}},
    {kClsChM, {"Current limiter reference magnitude", "A"}},
    {kClsChImax, {"Current limiter limit Imax", "A"}},
    {kClsChScale, {"Current limiter scale Imax / magnitude", "-"}},
});
inline constexpr std::int32_t kClsSqrtId = 1;  // component of the square-root message
// The configured values the dyn pass compares its selectors with (rtci),
// written by the begin routine (the value it writes in the comments).
enum ClsSelector : std::int32_t {
  kClsSelMva = 1,    // 1: the rating given in kVA is taken in MVA (times 0.001)
  kClsSelKiloAmps,   // 1: the base current times 1000
  kClsSelOffsetOn,   // 1: the held offset applies
  kClsSelOffsetOnD,  // 1: no offset on q (it is on d)
  kClsSelOffsetOnQ,  // 0: no offset on d (it is on q)
  kClsSelEnabled,    // 1: the margin counts from the pulse on
  kClsSelLimit,      // 1: the flag that limits the reference
  kClsSelectors = kClsSelLimit
};

// -------------------------------------------------------------- current loop
enum CloSignal : std::int32_t {
  kCloId = 1, kCloIq, kCloVrefD, kCloVrefQ, kCloVd, kCloVq, kCloIrefD, kCloIrefQ,
  kCloKff, kCloOmega, kCloKp, kCloKi, kCloL,
  kCloEq, kCloIntQ, kCloEd, kCloIntD, kCloSign,
  kCloFfD, kCloPropD, kCloIntTermD, kCloCoupleD, kCloFfQ, kCloPropQ, kCloIntTermQ, kCloCoupleQ,
  kCloLastNamed = kCloCoupleQ,
  kCloReals = 40
};
enum CloIntSignal : std::int32_t { kCloSignSelector = 1, kCloMinusOneSel, kCloPlusOneSel, kCloInts = 3 };
enum CloChannel : std::int32_t { kCloChVrefD = 1, kCloChannels = kCloChVrefD };
static_assert(kCloCoupleQ - kCloFfD == kPiCoupleQ && kCloKi - kCloId == kLoopKi);
inline constexpr ModuleCounts kCurrentLoop{"Current_Loop_1", 2, kCloInts, kCloReals, kCloChannels, 0, 0};
inline constexpr std::array<ChannelName, kCloChannels> kCloChannelNames = channel_table<CloChannel>({
    {kCloChVrefD, {"Current loop bridge voltage reference ud", "V"}},
});
// The configured value the dyn pass compares its sign selector with (rtci),
// written 1 by the begin routine.
enum CloSelector : std::int32_t {
  kCloSelSign = 1,  // the decoupling term's sign is -1
  kCloSelectors = kCloSelSign
};
// The initial outputs of the dyn pass's two integrators (rtcf), each written
// 0 by the begin routine.
enum CloInitial : std::int32_t {
  kCloInitQ = 1,  // the q error's integral
  kCloInitD,      // the d error's integral
  kCloInitials = kCloInitD
};

// The channels of the four loops in their call order (the phase-locked loop
// has none): the voltage loop's 3, the limiter's 4, the current loop's 1,
// with their names and units as the case's channel-name list gives them. Each
// module's table is in its channel enum's order (channel_table stops the build
// when a row's channel is not its position).
inline constexpr std::size_t kLoopChannels = std::size_t{kVlChannels} + std::size_t{kClsChannels} + kCloChannels;
inline constexpr std::array<ChannelName, kLoopChannels> kLoopChannelNames =
    joined_channel_tables(kVlChannelNames, kClsChannelNames, kCloChannelNames);

}  // namespace wakro::casecode

void phaselocked_loopdyn(double& angle, double& error, double& omega, double& filter, double& kp, double& ki,
                         double& f0, double& upper_factor, double& lower_factor, std::int32_t& selector);
void phaselocked_loopout();
void phaselocked_loopdyn_begin();
void phaselocked_loopout_begin();

void voltage_loopdyn(wakro::casecode::Dq& v, wakro::casecode::Dq& iref, wakro::casecode::Dq& i,
                     wakro::casecode::Dq& vref, std::int32_t& freeze, double& kff, double& omega, double& kp,
                     double& ki, std::int32_t& sign_selector, double& cf_micro);
void voltage_loopout();
void voltage_loopdyn_begin();
void voltage_loopout_begin();

void current_limiter_scaledyn(std::int32_t& flag, wakro::casecode::Dq& limited, wakro::casecode::Dq& iref,
                              double& divisor, double& rating, std::int32_t& unit_selector, double& rated_v,
                              std::int32_t& pulse, double& limit_pu, std::int32_t& offset_axis,
                              std::int32_t& recorded11, std::int32_t& recorded12, double& cap_pu,
                              std::int32_t& offset_selector, double& voltage);
void current_limiter_scaleout();
void current_limiter_scaledyn_begin();
void current_limiter_scaleout_begin();

void current_loop_1dyn(wakro::casecode::Dq& i, wakro::casecode::Dq& vref, wakro::casecode::Dq& v,
                       wakro::casecode::Dq& iref, double& kff, double& omega, double& kp, double& ki,
                       std::int32_t& sign_selector, double& l);
void current_loop_1out();
void current_loop_1dyn_begin();
void current_loop_1out_begin();

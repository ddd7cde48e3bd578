// GAST: the gas-turbine governor module of the generator module. It turns the
// machine speed w and a power reference Pref into the mechanical power Pm:
// speed droop 1/R, a low-value gate against the exhaust-temperature limit
// Lmax = AT + KT (AT - FT), a valve lag with position limits, a fuel-system lag,
// turbine damping, the exhaust-temperature lag that closes the limit loop, and
// an output lag of 0.005 s before the switching time Tsw and T4 from it on.
//
// Counts: node record 2, one integer and 28 real signals (GastSignal), no
// channels or branches. Its begin routine writes the integer 1 to the
// configuration store (GastSelector); the dynamics routine compares its time
// flag with it to choose the output lag's time constant.
#pragma once

#include <cstdint>

#include "case/module_frame.h"

namespace wakro::casecode {

// The real signal block, slots from the module's base.
enum GastSignal : std::int32_t {
  kGastW = 1,          // arguments as of this step
  kGastPref,
  kGastPm,
  kGastT4,
  kGastR,
  kGastTsw,
  kGastAT,
  kGastDroop,          // dw / R
  kGastDw,             // w - 1
  kGastInvR,           // 1 / R, guarded
  kGastSpeedRef,       // 1.0
  kGastError,          // Pref - dw / R
  kGastDturb,          // 0.02
  kGastDamping,        // Dturb dw
  kGastLmax,           // AT + KT (AT - FT)
  kGastGate,           // min(e, Lmax)
  kGastValveLag,
  kGastValve,          // after the position limits
  kGastVmax,           // 1.0
  kGastVmin,           // 0.05
  kGastFuel,           // fuel-system lag output
  kGastFuelNet,        // fuel-system output less the damping
  kGastFT,             // exhaust-temperature lag output
  kGastTempMargin,     // AT - FT
  kGastTempTerm,       // KT (AT - FT)
  kGastOne,            // 1.0
  kGastFastLag,        // 0.005
  kGastLagInUse,       // output lag time constant in use
  kGastReals = kGastLagInUse
};
// The integer signal: 1 when time >= Tsw.
enum GastIntSignal : std::int32_t { kGastSwitched = 1, kGastInts = kGastSwitched };

// The configured value the dyn pass compares its time flag with (rtci),
// written 1 by the begin routine.
enum GastSelector : std::int32_t {
  kGastSelSwitched = 1,  // the output lag is T4 (time >= Tsw)
  kGastSelectors = kGastSelSwitched
};

inline constexpr ModuleCounts kGast{"GAST", 2, kGastInts, kGastReals, 0, 0, 0};

// The component id of the limiter, under which its warning is sent.
inline constexpr std::int32_t kGastLimiterId = 1;

}  // namespace wakro::casecode

void gastdyn(double& w, double& Pref, double& Pm, double& T4, double& R, double& Tsw, double& AT);
void gastout();
void gastdyn_begin();
void gastout_begin();

// The gas-turbine governor's four routines (see gast.h).
#include "case/gast.h"

#include <cmath>

#include "blocks/continuous.h"
#include "blocks/poles.h"
#include "blocks/slots.h"
#include "diag/message.h"
#include "model/e_s1.h"

namespace {

using namespace wakro::casecode;
using wakro::blocks::take_rtci;
using wakro::blocks::take_storl;

// The module's constants.
constexpr double kSpeedRef = 1.0;
constexpr double kDturb = 0.02;
constexpr double kKT = 2.0;
constexpr double kVmax = 1.0;
constexpr double kVmin = 0.05;
constexpr double kT1 = 0.01;   // valve lag [s]
constexpr double kT2 = 0.05;   // fuel-system lag [s]
constexpr double kT3 = 2.0;    // exhaust-temperature lag [s]
constexpr double kFastLag = 0.005;  // output lag before the switching time [s]
constexpr double kLagBound = 1.0E+20;

// A lag with reset off, running, no limits of its own and gain 1.
double lag(double t, double x) { return realpole(0, 1, 0, 1.0, t, x, 0.0, -kLagBound, kLagBound); }

// The constants kept beside the signals, by the step and by the output pass.
void save_constants(const ModuleCall& c) {
  c.f(kGastSpeedRef) = kSpeedRef;
  c.f(kGastDturb) = kDturb;
  c.f(kGastVmax) = kVmax;
  c.f(kGastVmin) = kVmin;
  c.f(kGastOne) = 1.0;
  c.f(kGastFastLag) = kFastLag;
}

}  // namespace

void gastdyn(double& w, double& Pref, double& Pm, double& T4, double& R, double& Tsw, double& AT) {
  const ModuleCall c = enter_dyn(kGast);
  // 1. Restore what the body reads before it writes it.
  Pm = c.f(kGastPm);
  const double ft_last = c.f(kGastFT);
  double lag_in_use = c.f(kGastLagInUse);
  // 2. The data file at time zero.
  open_data(kGast, "DATADSD:");
  // 3. The switching flag.
  const std::int32_t switched = e_s1::time >= Tsw ? 1 : 0;
  // 4. The droop factor, guarded against R = 0.
  const double inv_r = guarded_inverse(R);
  // 5. The output lag's time constant: T4 when the flag equals the begin
  // routine's 1.
  lag_in_use = switched == take_rtci(kGastSelectors)(kGastSelSwitched) ? T4 : kFastLag;
  // 6. Droop, damping and the error.
  const double dw = w - kSpeedRef;
  const double droop = dw * inv_r;
  const double damping = kDturb * dw;
  const double e = Pref - droop;
  // 7. The temperature limit from last step's exhaust temperature.
  const double margin = AT - ft_last;
  const double temp_term = kKT * margin;
  const double lmax = AT + temp_term;
  // 8. Low-value gate; a NaN error takes the limit.
  const double gate = e <= lmax ? e : lmax;
  // 9. Valve lag.
  const double valve_lag = lag(kT1, gate);
  // 10. Valve position limits, with the once-only warning of crossed limits.
  const wakro::blocks::Slots<bool> warned = take_storl(1);
  double valve = valve_lag;
  if (kVmax < kVmin) {
    if (!warned(1)) {
      warned(1) = true;
      wakro_warn(c.call_no, kGastLimiterId, wakro::msg::kSingleLine, "Lower limit is more than the upper limit, limits not enforced.");
    }
  } else {
    valve = limit(kVmin, kVmax, valve_lag);
  }
  // 11-13. Fuel system, exhaust temperature, damping.
  const double fuel = lag(kT2, valve);
  const double ft = lag(kT3, fuel);
  const double fuel_net = fuel - damping;
  // 14. The output lag.
  Pm = lag(lag_in_use, fuel_net);
  // 15. Save every signal.
  c.f(kGastW) = w;
  c.f(kGastPref) = Pref;
  c.f(kGastPm) = Pm;
  c.f(kGastT4) = T4;
  c.f(kGastR) = R;
  c.f(kGastTsw) = Tsw;
  c.f(kGastAT) = AT;
  c.f(kGastDroop) = droop;
  c.f(kGastDw) = dw;
  c.f(kGastInvR) = inv_r;
  c.f(kGastError) = e;
  c.f(kGastDamping) = damping;
  c.f(kGastLmax) = lmax;
  c.f(kGastGate) = gate;
  c.f(kGastValveLag) = valve_lag;
  c.f(kGastValve) = valve;
  c.f(kGastFuel) = fuel;
  c.f(kGastFuelNet) = fuel_net;
  c.f(kGastFT) = ft;
  c.f(kGastTempMargin) = margin;
  c.f(kGastTempTerm) = temp_term;
  c.f(kGastLagInUse) = lag_in_use;
  c.i(kGastSwitched) = switched;
  save_constants(c);
  close_data();
}

void gastout() {
  const ModuleCall c = enter_out(kGast);
  open_data(kGast, "DATADSO:");
  save_constants(c);
  close_data();
}

void gastdyn_begin() {
  (void)enter_begin(kGast);
  take_rtci(kGastSelectors)(kGastSelSwitched) = 1;
}

void gastout_begin() { (void)enter_begin(kGast); }

// The PID controller of pid_controller.h.
#include "blocks/pid_controller.h"

#include <cmath>
#include <limits>

#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

using wakro::blocks::Slots;
using wakro::blocks::take_storf;
using wakro::blocks::block_warn;
using wakro::blocks::flag_set;

double pid_controller(double kp, double ki, double kd, double td, double lower, double upper,
                      double resetValue, double e, std::int32_t reset) {
  using namespace wakro::blocks::layout::pid_controller;
  const Slots<double> s = take_storf(kStorfSize);
  double& integral = s(kIntegral);
  double& kiePrev = s(kKiePrev);
  double& ePrev = s(kEPrev);
  double& dEst = s(kDEst);
  double& kdePrev = s(kKdePrev);
  const double delt = e_s1::delt;

  // Step 1: trapezoidal integral of Ki e.
  const double kie = ki * e;
  const double iNew = integral + 0.5 * delt * (kie + kiePrev);

  // Step 2: derivative, plain or through the filter.
  double d;
  if (std::abs(td) <= std::numeric_limits<double>::min()) {
    d = (kd * e - kdePrev) / delt;
    dEst = (e - ePrev) / delt;
  } else {
    const double a = std::exp(-delt / td);
    dEst = a * dEst + (1.0 - a) * (e - ePrev) / delt;
    d = kd * dEst;
  }

  // Step 3: output; at a limit the integrator stops.
  const double u = kp * e + iNew + d;
  double y;
  if (u >= upper) {
    y = upper;
  } else if (u <= lower) {
    y = lower;
  } else {
    y = u;
    integral = iNew;
    kiePrev = kie;
  }
  ePrev = e;
  kdePrev = kd * e;

  // Step 4: a reset loads the integral for the next call.
  if (flag_set(reset)) {
    double start = resetValue;
    if (resetValue > upper || resetValue < lower) {
      block_warn("Initial/Reset value is outside the specified limits.");
      start = resetValue > upper ? upper : lower;
    }
    integral = start;
    kiePrev = ePrev = dEst = kdePrev = 0.0;
  }
  return y;
}

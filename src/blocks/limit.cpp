// rate_limiter: the clamp of the rate of change (limit, the stateless clamp, is
// inline in continuous.h: blocks call it on every step).
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

void rate_limiter(double rise, double fall, double X, double& Y) {
  using namespace wakro::blocks::layout::rate_limiter;
  const wakro::blocks::Slots<double> s = wakro::blocks::take_storf(kStorfSize);
  if (e_s1::timezero) s(kOut) = X;
  const double yPrev = s(kOut);
  const double maxRise = e_s1::delt * std::fabs(rise);
  const double maxFall = e_s1::delt * std::fabs(fall);
  const double d = X - yPrev;
  double y = X;
  if (d >= 0.0 && d > maxRise) {
    y = yPrev + maxRise;
  } else if (d < 0.0 && -d > maxFall) {
    y = yPrev - maxFall;
  }
  s(kOut) = y;
  Y = y;
}

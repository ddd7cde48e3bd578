// rms3ph and rms3 (see rms_meters.h).
#include "blocks/rms_meters.h"

#include <algorithm>
#include <cmath>

#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {
constexpr double kOneThird = 0.333333333333333;
}  // namespace

double rms3ph(double a, double b, double c) { return std::sqrt((a * a + b * b + c * c) * kOneThird); }

double rms3(double u, double T) {
  const wakro::blocks::Slots<double> s = wakro::blocks::take_stor(3);  // 1: y; 2, 3 reserved
  const double a = e_s1::delt / std::max(T, e_s1::delt);
  const double yPrev = s(1);
  const double y = (yPrev + std::sqrt(yPrev * yPrev + 4.0 * a * (1.0 + a) * u * u)) / (2.0 * (1.0 + a));
  s(1) = y;
  return y;
}

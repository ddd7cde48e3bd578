// cmpxp5: the complex pole pair, a second-order system advanced each step with the
// coefficients of the two-step backward-difference formula (4/3, -1/3, 2/3 delt),
// written with the digits the block has always used.
//
// State: r (the rate) and y (the output) with their values one step older; the
// damping term w' delt + zeta' is fixed at time zero, with w' = |w| and
// zeta' = zeta for |zeta| <= 1, 0.5 / |zeta| otherwise.
#include <cmath>

#include "blocks/continuous.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {

constexpr double kTwoThirds = 0.6666667;
constexpr double kFourThirds = 1.333333;
constexpr double kRateThird = 0.3333333;
constexpr double kOutputThird = 0.333333;

}  // namespace

double cmpxp5(std::int32_t mode, double G, double zeta, double omega, double X) {
  using namespace wakro::blocks::layout::cmpxp5;
  const wakro::blocks::Slots<double> s = wakro::blocks::take_stor(kStorSize);
  const double w = std::fabs(omega);
  if (e_s1::timezero) {
    s(kOlderRate) = s(kRate) = s(kOlderOut) = 0.0;
    s(kOut) = G * X;
    const double zetaP = std::fabs(zeta) <= 1.0 ? zeta : 0.5 / std::fabs(zeta);
    s(kDamping) = w * e_s1::delt + zetaP;
  }
  const double r = s(kRate);
  const double y = s(kOut);
  const double a = G * X - 2.0 * s(kDamping) * r - y;
  const double h = e_s1::delt * kTwoThirds;
  const double rNew = kFourThirds * r - kRateThird * s(kOlderRate) + a * w * h;
  const double yNew = w * h * r + kFourThirds * y - kOutputThird * s(kOlderOut);
  s(kOlderRate) = r;
  s(kOlderOut) = y;
  s(kRate) = rNew;
  s(kOut) = yNew;
  switch (mode) {
    case 2: return r;
    case 3: return a;
    case 4: return y + r;
    case 5: return a + y;
    case 6: return a + r;
    case 7: return y - r;
    case 8: return y - a;
    case 9: return r - a;
    default: return y;
  }
}

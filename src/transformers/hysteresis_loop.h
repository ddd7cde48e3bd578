// The hysteresis loop of tsat3 (multiwinding_saturation.h): two hyperbolas at
// the tap scale T, read from the component's state block.
//   outer (rising) F(phi) = (y + sqrt(y^2 + c)) h - f0,   y = phi - knee
//   inner (falling) G(phi) = (y + sqrt(y^2 + c2)) h - g0,  y = phi - knee2
// F(0) = +Ihw/T and G(0) = -Ihw/T, so the loop is 2 Ihw/T wide at zero flux.
// Their inverses (u = i + f0, or i + g0): F^-1(i) = knee + u l - p28 / u and
// G^-1(i) = knee2 + u l - q / u, with l = La T^2.
#pragma once

#include <cmath>

#include "blocks/slots.h"

namespace wakro::mw {

struct HysteresisLoop {
  double c = 0.0, h = 0.0, f0 = 0.0, knee = 0.0;  // state slots 2, 3, 4, 5
  double c2 = 0.0, knee2 = 0.0, g0 = 0.0;         // 30, 31, 32
  double l = 0.0, p28 = 0.0, q = 0.0, ihw = 0.0;  // 33, 34, 35, 36 (ihw = Ihw / T)

  static HysteresisLoop from(const blocks::Slots<double>& st) {
    return {st(2), st(3), st(4), st(5), st(30), st(31), st(32), st(33), st(34), st(35), st(36)};
  }
  double outer(double phi) const {
    const double y = phi - knee;
    return (y + std::sqrt(y * y + c)) * h - f0;
  }
  double inner(double phi) const {
    const double y = phi - knee2;
    return (y + std::sqrt(y * y + c2)) * h - g0;
  }
  double outer_inverse(double i) const {
    const double u = i + f0;
    return knee + u * l - p28 / u;
  }
  double inner_inverse(double i) const {
    const double u = i + g0;
    return knee2 + u * l - q / u;
  }
};

}  // namespace wakro::mw

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
#include "transformers/multiwinding_saturation.h"

namespace wakro::mw {

struct HysteresisLoop {
  double c = 0.0, h = 0.0, f0 = 0.0, knee = 0.0;  // outer curve
  double c2 = 0.0, knee2 = 0.0, g0 = 0.0;         // inner curve
  double l = 0.0, p28 = 0.0, q = 0.0, ihw = 0.0;  // ihw = Ihw / T

  // From tsat3's state (wakro::transformers::layout::tsat3::stor).
  static HysteresisLoop from(const blocks::Slots<double>& st) {
    namespace sv = transformers::layout::tsat3::stor;
    return {st(sv::kOuterC), st(sv::kCurveH),    st(sv::kOuterOffset), st(sv::kOuterKnee),
            st(sv::kInnerC), st(sv::kInnerKnee), st(sv::kInnerOffset), st(sv::kAirInductance),
            st(sv::kOuterP), st(sv::kInnerQ),    st(sv::kHalfWidth)};
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

// The hyperbolic flux-current characteristic of the core-saturation components
// (saturation.h states it), shared by the three-phase and the multi-winding
// forms: its constants from the nameplate, its value, the flux decay
// coefficient and the nameplate refusals with their texts.
#pragma once

#include <string_view>

namespace wakro::sat {

inline constexpr std::string_view kMvaText = "Unrealistic Transformer MVA Rating.";
inline constexpr std::string_view kVoltageText = "Unrealistic Transformer Voltage Rating.";
inline constexpr std::string_view kFrequencyText = "Unrealistic Transformer Frequency.";
inline constexpr std::string_view kCurveText =
    "Saturation characteristic cannot be formed from the air-core reactance, knee voltage and "
    "magnetising current given.";

// The characteristic's constants from the nameplate, with the intermediate
// values that the hysteretic form builds on (phin, a, e, dq).
struct Curve {
  double xa = 0.0, im = 0.0, vk = 0.0, omega = 0.0;
  double la = 0.0, ipk = 0.0, phik = 0.0;
  double c = 0.0, h = 0.0, i0 = 0.0;
  double phin = 0.0, a = 0.0, e = 0.0, dq = 0.0;
  bool formed = false;  // Dq >= 0 and c >= 0 (a NaN fails)
};

// S [MVA], V [kV], X [pu], K [pu], f [Hz], im_pu the magnetising current [pu].
Curve form_curve(double s, double v, double x, double k, double f, double im_pu);
// m(phi) of the characteristic with constants c, h, i0 and knee flux phik.
double magnitude(double phi, double c, double h, double i0, double phik);
// Flux decay coefficient D [1/s] from the decay time T [s].
double decay(double t);
// S, V, f above 0 and the curve formed: each failure reported with the
// component's ids, then the run ends under the tag.
void check_nameplate(std::string_view tag, double s, double v, double f, const Curve& q);

}  // namespace wakro::sat

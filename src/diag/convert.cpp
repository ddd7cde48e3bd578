// Conversions for model code.
#include "diag/convert.h"
#include "model/constants.h"

#include <cmath>

double e_btor(bool b) { return b ? 1.0 : 0.0; }

// Compared on the magnitude, so a huge or NaN value never goes through an
// out-of-range integer conversion.
bool e_rtob(double r) { return std::fabs(r) >= 0.5; }

std::int32_t e_btoi(bool b) { return b ? 1 : 0; }

bool e_itob(std::int32_t i) { return i != 0; }

std::int32_t e_itoi2(std::int32_t i, std::int32_t flag) {
  std::int32_t v = static_cast<std::int16_t>(static_cast<std::uint32_t>(i) & 0xFFFFu);
  if (flag != 0 && v < 0) v += 32768;
  return v;
}

std::complex<double> e_rtoc(double r) { return {r, 0.0}; }

std::complex<double> e_rmptoc(double mag, double ang, std::int32_t deg) {
  const double a = deg != 0 ? ang * kDegToRad : ang;
  return {mag * std::cos(a), mag * std::sin(a)};
}

void e_ctormp(std::int32_t deg, std::complex<double> c, double& mag, double& ang) {
  mag = std::sqrt(c.real() * c.real() + c.imag() * c.imag());
  ang = std::atan2(c.imag(), c.real());
  if (deg != 0) ang *= kRadToDeg;
}

double p2rx(double mag, double ang) { return mag * std::cos(ang * kDegToRad); }

double p2ry(double mag, double ang) { return mag * std::sin(ang * kDegToRad); }

double r2pm(double x, double y) { return std::sqrt(x * x + y * y); }

double r2pa(double x, double y) {
  if (std::fabs(x) <= wakro::kTiny && std::fabs(y) <= wakro::kTiny) return 0.0;
  return std::atan2(y, x) * kRadToDeg;
}

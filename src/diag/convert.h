// Conversions between logical, integer, real and complex values and between
// polar and rectangular forms, as model code calls them.
//
// Angles in degrees use the factors 0.017453292519943 (degrees to radians) and
// 57.29577951308232 (radians to degrees) with exactly these digits, so results
// agree digit for digit with the models' other computations.
#pragma once

#include <complex>
#include <cstdint>

inline constexpr double kDegToRad = 0.017453292519943;
inline constexpr double kRadToDeg = 57.29577951308232;

// 1.0 when b is true, else 0.0.
double e_btor(bool b);
// True when r rounded to the nearest integer (halves away from zero) is non-zero,
// that is |r| >= 0.5 (false for NaN).
bool e_rtob(double r);
// 1 or 0.
std::int32_t e_btoi(bool b);
bool e_itob(std::int32_t i);
// The low 16 bits of i as a signed 16-bit value; with flag non-zero a negative
// result gets 32768 added (0 ... 32767).
std::int32_t e_itoi2(std::int32_t i, std::int32_t flag);
std::complex<double> e_rtoc(double r);
// mag at angle ang (degrees when deg is non-zero, else radians).
std::complex<double> e_rmptoc(double mag, double ang, std::int32_t deg);
// Magnitude and angle of c (angle in degrees when deg is non-zero).
void e_ctormp(std::int32_t deg, std::complex<double> c, double& mag, double& ang);
// Real and imaginary part of mag at ang degrees.
double p2rx(double mag, double ang);
double p2ry(double mag, double ang);
// Magnitude and angle (degrees) of x + jy; the angle is 0.0 when both |x| and |y|
// are at most 1e-20.
double r2pm(double x, double y);
double r2pa(double x, double y);

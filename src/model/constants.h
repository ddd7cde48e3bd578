// Numbers that every room uses, written once.
//
// kTwoPi:  2 pi, the nearest double (radians per turn; angular frequency per Hz).
// kThird:  1/3, the nearest double (the mean of three phases, a third of a loss).
// kTiny:   1e-20, below which a time constant, impedance, pivot or base counts as
//          zero (a model that means one of these names it after its use and sets it
//          from kTiny).
//
// The models' rounded values: a model fitted or checked with these digits keeps
// them on purpose (each is a few units in the last place from the nearest double
// of its exact value, and results depend on the bits):
// kThirdRounded      0.333333333333333    1/3 to 15 digits
// kTwoThirdsRounded  0.666666666666667    2/3 to 15 digits
// kSqrt2Rounded      1.414213562373095    sqrt 2 to 16 digits
// kInvSqrt3Rounded   0.577350269189626    1/sqrt 3 to 15 digits
// kThirdTurnRounded  2.094395102393195    2 pi/3 (the phase shift) to 16 digits
// kSqrt3Rounded      1.732050807568877    sqrt 3 to 16 digits
// kSqrtHalfRounded   0.707106781186548    sqrt 1/2 to 15 digits
// kHalfPiRounded     1.570796326794897    pi/2 rounded to 16 digits
// kHalfPiCut         1.570796326794896    pi/2 cut after 16 digits
#pragma once

#include <numbers>

namespace wakro {

inline constexpr double kTwoPi = 2.0 * std::numbers::pi;
inline constexpr double kThird = 1.0 / 3.0;
inline constexpr double kTiny = 1e-20;

inline constexpr double kThirdRounded = 0.333333333333333;
inline constexpr double kTwoThirdsRounded = 0.666666666666667;
inline constexpr double kSqrt2Rounded = 1.414213562373095;
inline constexpr double kInvSqrt3Rounded = 0.577350269189626;
inline constexpr double kThirdTurnRounded = 2.094395102393195;
inline constexpr double kSqrt3Rounded = 1.732050807568877;
inline constexpr double kSqrtHalfRounded = 0.707106781186548;
inline constexpr double kHalfPiRounded = 1.570796326794897;
inline constexpr double kHalfPiCut = 1.570796326794896;

// 1e-38, below which a machine's inertia counts as none (the machines' set-up
// warns, the mechanical equation refuses or replaces it).
inline constexpr double kTinyInertia = 1.0E-38;

}  // namespace wakro

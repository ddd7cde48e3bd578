// Numbers that every room uses, written once.
//
// kTwoPi:  2 pi, the nearest double (radians per turn; angular frequency per Hz).
// kThird:  1/3, the nearest double (the mean of three phases, a third of a loss).
// kTiny:   1e-20, below which a time constant, impedance, pivot or base counts as
//          zero (a model that means one of these names it after its use and sets it
//          from kTiny).
#pragma once

#include <numbers>

namespace wakro {

inline constexpr double kTwoPi = 2.0 * std::numbers::pi;
inline constexpr double kThird = 1.0 / 3.0;
inline constexpr double kTiny = 1e-20;

}  // namespace wakro

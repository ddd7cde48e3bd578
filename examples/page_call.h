// What the examples' model code shares: the call record a page call opens in
// dsdyn, and the EMF of the line step cases.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

#include "model/quolbv3.h"

namespace example {

// Call record: a new row of quolbv3::txfr holding the page call's signal bases
// (stored logicals, integers, reals and texts), which dsout reads back.
inline void open_call_record() {
  quolbv3::ntxfr += 1;
  quolbv3::txfr(quolbv3::ntxfr, 1) = quolbv3::nstol;
  quolbv3::txfr(quolbv3::ntxfr, 2) = quolbv3::nstoi;
  quolbv3::txfr(quolbv3::ntxfr, 3) = quolbv3::nstof;
  quolbv3::txfr(quolbv3::ntxfr, 4) = quolbv3::nstoc;
}

// E for a step (frequency 0) or E sin(2 pi f t), with E the page's stored real
// 1 [kV] and f its stored real 2 [Hz].
inline double step_emf(std::int32_t stof_base, double t) {
  const double amplitude = quolbv3::stof(stof_base + 1);
  const double f = quolbv3::stof(stof_base + 2);
  if (f == 0.0) return amplitude;
  return amplitude * std::sin(2.0 * std::numbers::pi * f * t);
}

}  // namespace example

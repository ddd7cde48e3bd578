// The d-axis saturation of a synchronous machine: a piecewise-linear magnetising
// characteristic of up to ten zones, built from an open-circuit curve.
//
// The curve is given as ten (x, y) pairs: x the field current, y the terminal
// voltage, both per unit; the second point lies on the air-gap line. A y1 within
// 0.001 of 1.0 (strictly) means the y column holds factors on the air-gap line.
// Points are taken from the first while x >= -0.001; the first point below ends
// the curve. The table holds peak values: I(k) = c x(k), F(k) = sqrt2 y(k) with
// c = sqrt2 y2 / (x2 Xmd), and the slope S(k) of each zone (the last extended).
//
// A curve of one point or none is one linear zone (I = 0, F = 0, S = Xmd). A
// curve whose x does not rise strictly, whose second x is not positive, or that
// gives a slope that is not positive, and an Xmd that is not positive, are
// refused: the builder returns the reason and the caller stops the run.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "machines/machine_block.h"

namespace wakro::machines {

struct SaturationTable {
  std::int32_t n = 0;  // zones in use, 1 .. 10 once built
  std::array<double, kMaxZones> I{};  // magnetising current at the start of each zone
  std::array<double, kMaxZones> F{};  // magnetising flux at the start of each zone
  std::array<double, kMaxZones> S{};  // slope dF/dI of each zone
};

// Builds the table from the curve's two columns; returns "" when it is sound,
// else the text of the refusal (t is then left all zero).
std::string_view build_saturation(const std::array<double, kSatPoints>& x, const std::array<double, kSatPoints>& y,
                                  double xmd, SaturationTable& t);

// Zone (1 .. n) of a magnetising current: the last zone whose start does not
// exceed |i| (a current exactly at a zone start belongs to the upper zone).
std::int32_t zone_of_current(const SaturationTable& t, double i);
// Zone of a magnetising flux by the same rule on the flux table.
std::int32_t zone_of_flux(const SaturationTable& t, double psi);
// Magnetising flux of current i in zone j: sign(i) ((|i| - I_j) S_j + F_j), a
// zero current counting as negative.
double magnetising_flux(const SaturationTable& t, double i, std::int32_t j);
// Magnetising current of flux magnitude |psi| (zone by the flux table).
double magnetising_current(const SaturationTable& t, double psi);

// The table kept in a machine block (zone count and the I, F, S slots); a count
// outside 1 .. 10 is refused with the run's stop.
SaturationTable table_from_block(const MachineBlock& blk);
void table_to_block(const SaturationTable& t, const MachineBlock& blk);

}  // namespace wakro::machines

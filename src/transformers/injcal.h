// injcal: the per-step core injection of a UMEC transformer (called by dsmdyn
// before the transformer's winding history is formed).
#pragma once

#include <cstdint>

// Follows the flux of every magnetic branch of transformer k (subsystem ss):
// the winding voltages are integrated into the wound limbs' fluxes, the leakage
// and core-type branches follow, and each branch is looked up on the core's
// B-H curve. A branch entering or leaving the saturated part sets the
// subsystem's chatter flag temp1::stabck(ss). While a branch is saturated and
// umec::injcur(k) = 1, the winding currents that the saturated core draws
// beyond the linear admittance in the network,
//   fininjs = (Ys Vw + Q - Hl Vw - Hl Z) ramp,
// (Ys, Q the core with the present permeances, Hl = hm, Z = 2 N phi / (1000 dt)
// + Vw) are left in umec::fininjs(., k); otherwise they are 0. A core whose
// saturated circuit cannot be reduced injects nothing, with one warning.
// Allocates nothing.
void injcal(std::int32_t ss, std::int32_t k);

namespace wakro {
// Set-up of transformer k's core (its warning not yet given); sized once per case.
void injcal_prepare(std::int32_t k);
}  // namespace wakro

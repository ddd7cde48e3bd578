// Time-zero set-up of a synchronous machine's block: the base-dependent
// constants, the inverse inductance matrices of the d axis (one per saturation
// zone) and of the q axis, the phase-to-axis transform advanced by one step, and
// the zero-sequence companion constants. The block must hold the machine's data
// (macdat or macdat1_cfg); call macpre, smtdis, smtqi, sttrf2, setzro in that
// order, and sttrf2 and setzro again when the time step changes.
//
// A matrix that cannot be inverted (a zone slope and Xa that make it singular)
// and a step with dt w >= pi/2 (the advanced transform would turn the wrong
// way) are refused with the run's stop.
#pragma once

#include <cstdint>

#include "machines/machine_block.h"

namespace wakro::machines {

// Base constants; mode 1 records that the machine has no start-up source.
void macpre(const MachineBlock& blk, std::int32_t mode);
// Inverse d-axis matrix of every zone (armature, field, damper).
void smtdis(const MachineBlock& blk);
// Inverse q-axis matrix (armature and one or two rotor circuits).
void smtqi(const MachineBlock& blk);
// The transform of kTransform rotated forward by dt w, into kTransformAdvanced.
void sttrf2(const MachineBlock& blk, double dt);
// Zero-sequence companion constants of the stator with the neutral impedance.
void setzro(const MachineBlock& blk, double dt);

}  // namespace wakro::machines

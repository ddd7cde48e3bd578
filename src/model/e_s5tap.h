// Module e_s5tap: what a tap change of a transformer rescales from.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace e_s5tap {

// Allocated by a_s in this order, after the e_s5 tables.
inline wakro::FArray<double, 3> lorig{"lorig"};  // winding inductance matrix as set up (nd3, nd3, nd4)
inline wakro::FArray<double, 3> rorig{"rorig"};  // winding resistance matrix as set up (nd3, nd3, nd4)
inline wakro::FArray<std::int32_t, 1> tss{"tss"};  // subsystem of the transformer's windings (nd4)
// The kind of data the configuration routine formed the transformer from (nd4):
// 0 while only its section entry has formed it (the entry's form rules), else
// wakro_settfparm's tf_kind (1: R and the inverse-inductance matrix, lorig in the
// admittance form; 2: R and the inductance matrix, lorig in the impedance form;
// 3: UMEC core). A tap change rescales lorig in the form this says it holds.
inline wakro::FArray<std::int32_t, 1> tkind{"tkind"};

}  // namespace e_s5tap

namespace wakro {

// Kinds of hand-over record (rt_config::tfdata), as e_s5tap::tkind keeps them.
enum TfKind : std::int32_t {
  kTfInverseInductance = 1,  // R and the inverse-inductance matrix (1/H)
  kTfInductance = 2,         // R and the inductance matrix (H)
  kTfUmec = 3,               // UMEC core: the rt_config::umec* records
};

}  // namespace wakro

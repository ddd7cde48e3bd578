// Module mna: the element tables of modified augmented nodal analysis.
//
// Each MNA element adds one variable (its current) and one equation to its
// subsystem's nodal equations. A declaration record (mnads) is made per element of
// the "MANA:" section; the element records (mnad) hold the elements grouped by
// subsystem, with their kind, nodes, values and solved currents.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace mna {

// Declaration record of one element, fields in this order.
struct Mnads {
  std::int32_t subsystem = 0;                 // subsystem of the element
  std::int32_t word = 0;                      // not used by the engine
  wakro::FFixed<std::int32_t, 2, 5> nodes;    // node pairs: nodes(end 1|2, pair 1..5)
  std::int32_t element = 0;                   // index of its element record (set by mna_init)
  std::int32_t npairs = 0;                    // number of node pairs given
};

// Element record, fields in this order.
struct Mnad {
  std::int32_t subsystem = 0;  // subsystem of the element
  // 0 branch, 5 branch carrying a network branch's source voltage, 1 voltage-
  // controlled voltage source, 2 voltage-controlled current source, 3 current-
  // controlled current source, 4 ideal transformer, 9 dynamic branch.
  std::int32_t kind = 0;
  std::int32_t a = 0, b = 0;   // first node pair (controlling side or branch ends; 0 ground)
  std::int32_t c = 0, d = 0;   // second node pair (controlled side)
  wakro::FFixed<std::int32_t, 2, 3> more_pairs;  // further pairs copied from the declaration
  std::int32_t zero_imp = 0;   // 1: a branch of zero impedance (set by the matrix entry)
  std::int32_t branch_i1 = 0, branch_i2 = 0;  // the two integers given by mna_branch
  std::int32_t dyn_branch = 0, dyn_i2 = 0;    // given by mna_dynbranch (branch number first)
  std::int32_t spare1 = 0;                    // not used by the engine
  double param = 0.0;                         // parameter cleared by the kind entries
  double value1 = 0.0;  // gain or resistance, by kind
  double value2 = 0.0;  // series resistance, by kind
  wakro::FFixed<std::int32_t, 4> spare4;      // not used by the engine
  double current1 = 0.0;  // solved current of the element (its augmented variable)
  double current2 = 0.0;  // controlled-side current of kinds 3 and 4
};

// Arrays, in the order a_mna allocates them.
inline wakro::FArray<Mnads, 1> mnads{"mnads"};              // declarations (nd72)
inline wakro::FArray<std::int32_t, 1> mna_elem{"mna_elem"};  // elements per subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> mbus_mna{"mbus_mna"};  // order with the elements: mbus + mna_elem (nd2)
inline wakro::FArray<std::int32_t, 1> mna_start{"mna_start"};  // first element of the subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> mna_end{"mna_end"};      // last element of the subsystem (nd2)
inline wakro::FArray<Mnad, 1> mnad{"mnad"};                    // element records (nd72)
// Right-hand side and solution of the augmented system (nd75), allocated by the
// MNA set-up with the sparse index lists.
inline wakro::FArray<double, 1> bvect{"bvect"};
inline wakro::FArray<double, 1> xvect{"xvect"};

inline bool enable_mna = false;  // MNA on ("USE_MANA")
inline std::int32_t mnaid = 0;   // declarations read so far
inline std::int32_t no_mna = 0;  // number of MNA records

}  // namespace mna

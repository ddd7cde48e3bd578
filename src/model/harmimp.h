// Module harmimp: the harmonic-impedance registry of the network components.
//
// Components that put branches, windings, loads or machine circuits into the
// network append one record each at set-up (kind, subsystem, up to six node or
// branch numbers, up to five values); the per-branch tables hold each branch's R,
// L and C. The registry has room for kMaxRecords records: harm_append refuses a
// record beyond them, so nothing is ever written past the tables.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "model/farray.h"

namespace harmimp {

inline constexpr int kMaxRecords = 10000;

inline std::int32_t harm_num = 0;                             // records in use
inline wakro::FFixed<std::int32_t, kMaxRecords> harm_type;    // kind of each record
inline wakro::FFixed<std::int32_t, kMaxRecords> harm_ss;      // subsystem of each record
inline wakro::FFixed<std::int32_t, kMaxRecords, 6> harm_node; // node or branch numbers (record, field)
inline wakro::FFixed<double, kMaxRecords, 5> harm_var;        // values (record, field)

// Per-branch tables (branch nd15, subsystem nd2), allocated by a_branches.
inline wakro::FArray<double, 2> branch_r{"branch_r"};  // resistance in ohms
inline wakro::FArray<double, 2> branch_l{"branch_l"};  // inductance
inline wakro::FArray<double, 2> branch_c{"branch_c"};  // capacitance in farads

// Appends a record: harm_num + 1 gets the kind, the subsystem, the node fields (the
// rest 0) and the values (the rest 0.0). Returns false, and changes nothing, when
// the registry is full or more than 6 nodes or 5 values are given.
bool harm_append(std::int32_t type, std::int32_t ss, std::initializer_list<std::int32_t> nodes,
                 std::initializer_list<double> values);

}  // namespace harmimp

// Module ideal: the ideal-branch collapse lists and the matrix diagonals saved at
// time zero.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace ideal {

inline wakro::FArray<double, 2> gms{"gms"};                // saved matrix diagonals (nd1, nd2)
inline wakro::FArray<double, 1> gonmax{"gonmax"};          // conductance above which a branch is ideal (nd2)
inline wakro::FArray<std::int32_t, 2> nodev{"nodev"};      // node pairs of ideal branches (nd15, 2)
inline wakro::FArray<std::int32_t, 2> clpslist{"clpslist"};  // node collapse list (nd15, nd2)
inline wakro::FArray<std::int32_t, 1> gidlbr{"gidlbr"};    // ideal-branch code of the subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> nidlbr{"nidlbr"};    // ideal branches of the subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> ibrlist{"ibrlist"};  // branches of an ideal loop (nd15)
inline wakro::FArray<bool, 1> vsrc{"vsrc"};                // the ideal branch carries a source (nd15)
inline wakro::FArray<std::int32_t, 2> nodev1{"nodev1"};    // second node-pair list (nd15, 2)

}  // namespace ideal

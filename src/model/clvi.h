// Module clvi: chatter counters of node voltages and branch currents.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace clvi {

inline wakro::FArray<std::int32_t, 2> icntv{"icntv"};    // sign alternations of each node voltage (nd1, nd2)
inline wakro::FArray<std::int32_t, 2> icntbr{"icntbr"};  // sign alternations of each branch current (nd15, nd2)
inline wakro::FArray<bool, 2> nchat_rep{"nchat_rep"};    // the node's chatter is still to be reported; cleared after the first report (nd1, nd2)
inline wakro::FArray<bool, 2> brchat_rep{"brchat_rep"};  // the branch's chatter is still to be reported (nd15, nd2)

}  // namespace clvi

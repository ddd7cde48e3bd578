// How the meters read the solved network: the node voltages e_s0::vdc, the
// branch end nodes branches::ief / iet and the branch currents branches::cbr of
// the model's shared arrays, written by the network solution after each step.
// The meters stand below the network room, so they read the arrays directly and
// never call the solution.
//
// Node 0 is ground and reads 0 V. The numbers a meter is given are checked once,
// at its time-zero pass and before it takes any slot, so that a later step reads
// the arrays without a test:
//   check_nodes(tag, ss, nodes)     the subsystem, then each nonzero node against
//                                   the subsystem's node count
//   check_branch(tag, ss, k)        the subsystem, then |k| against its branch
//                                   count ("Zero Branch Number" for 0)
// A failed check writes its reason and stops the run under the meter's tag.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string_view>

#include "diag/validators.h"
#include "model/branches.h"
#include "model/e_s0.h"

namespace wakro::blocks {

inline double node_voltage(std::int32_t n, std::int32_t ss) { return n == 0 ? 0.0 : e_s0::vdc(n, ss); }

inline void check_nodes(std::string_view tag, std::int32_t ss, std::initializer_list<std::int32_t> nodes) {
  wakro_testssn(tag, ss);
  for (const std::int32_t n : nodes)
    if (n != 0) wakro_testnn(tag, n, ss);
}

inline void check_branch(std::string_view tag, std::int32_t ss, std::int32_t k) {
  wakro_testbrn(tag, std::abs(k), ss);
}

}  // namespace wakro::blocks

// The entries of a subsystem's fill pattern that the stamps mark, stated once:
// the stamps go by it (mark_branch, stamp_admittance), and so does the check of
// a restored pattern on resume (snapshot/state_check.cpp), which requires every
// entry that the stamps of a start from data of the same network mark.
//
// The clearing of the matrices marks every node's diagonal
// (e_s0::allocate_ss_matrices). A stamp among listed nodes (a branch's two ends,
// a transformer's winding terminals, a line's conductors at one end) marks
// (a, b) and (b, a) for every two of them that are two nodes, neither ground:
// an admittance to ground or between a node and itself changes a diagonal only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace wakro {

// The stamp of an admittance between a and b marks (a, b) and (b, a).
constexpr bool stamps_entry(std::int32_t a, std::int32_t b) { return a != 0 && b != 0 && a != b; }

// f(a, b) for each two listed nodes whose entries a stamp among them marks, a
// listed before b.
template <class F>
void for_each_stamped_pair(std::span<const std::int32_t> nodes, F&& f) {
  for (std::size_t i = 1; i < nodes.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (stamps_entry(nodes[j], nodes[i])) f(nodes[j], nodes[i]);
}

}  // namespace wakro

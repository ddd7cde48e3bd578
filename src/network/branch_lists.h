// Lists of the branches of a subsystem chosen by their kind flags, ascending,
// for the per-step loops that have work at those branches only (the source
// terms of the right-hand side, the histories of the inductive and capacitive
// parts): such a loop walks its list instead of testing every branch.
//
// A list is kept with what it was chosen from, the branch count and the flag
// columns (copied one after the other), and chosen again whenever either
// differs: one comparison of the columns per request (a few branches' columns
// compared in place, without a library call). The flags are all a
// branch's place in a list depends on, so a list outlives a move of the arrays.
// Choosing allocates only when the branch count grew.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "network/branch_view.h"

namespace wakro {

// A listed branch: its number and its flags (bit k: flag column k set).
struct ListedBranch {
  std::int32_t br;
  std::uint32_t flags;
};

struct FlaggedBranches {
  std::vector<ListedBranch> list;  // the first `size` entries
  std::int32_t size = 0;
  // What the list was chosen from: the branch count, the N flag columns.
  std::int32_t count = -1;
  std::vector<unsigned char> columns;
};

// The flags of branch br (from 1) in the N columns (each from branch 1).
template <std::size_t N>
std::uint32_t branch_flags(const std::array<const bool*, N>& columns, std::int32_t br) {
  std::uint32_t flags = 0;
  for (std::size_t k = 0; k < N; ++k)
    if (columns[k][br - 1]) flags |= std::uint32_t{1} << k;
  return flags;
}

// The list in `kept` of the branches 1..nbr whose flags in the N columns pass
// `chosen` (a test of the flags), chosen again when nbr or a column differs from
// what it was chosen from. columns[k] points at the entry of branch 1.
template <std::size_t N, class Chosen>
const FlaggedBranches& flagged_branches(FlaggedBranches& kept, std::int32_t nbr,
                                        const std::array<const bool*, N>& columns, Chosen chosen) {
  const std::size_t n = nbr > 0 ? static_cast<std::size_t>(nbr) : 0;
  bool same = kept.count == nbr;
  for (std::size_t k = 0; k < N && same && n > 0; ++k)
    same = detail::same_bytes(kept.columns.data() + k * n, columns[k], n);
  if (same) return kept;

  kept.count = nbr;
  kept.columns.resize(N * n);
  for (std::size_t k = 0; k < N && n > 0; ++k)
    std::memcpy(kept.columns.data() + k * n, columns[k], n);
  kept.list.resize(n);
  kept.size = 0;
  for (std::int32_t br = 1; br <= nbr; ++br) {
    const std::uint32_t flags = branch_flags(columns, br);
    if (chosen(flags)) kept.list[static_cast<std::size_t>(kept.size++)] = {br, flags};
  }
  return kept;
}

// The kept lists of one kind, by subsystem from 1 (grown on the first request
// of a subsystem).
inline FlaggedBranches& kept_list(std::vector<FlaggedBranches>& lists, std::int32_t ss) {
  const std::size_t k = static_cast<std::size_t>(ss);
  if (lists.size() < k) lists.resize(k);
  return lists[k - 1];
}

}  // namespace wakro

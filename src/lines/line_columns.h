// Plain pointers into the line tables for the per-step loops.
//
// The per-step loops of the lines read a few entries of many tables for every
// conductor and mode. Indexing each entry through its table works out the
// entry's place from the table's descriptor every time (and again after every
// integer store, which the compiler must assume may have changed an extent);
// these helpers take a line's run of entries, or one subsystem's column of a
// node table, once per line and leave the loops plain memory reads.
//
// Checked builds (bounds checks on) keep their checks: run() checks the first
// and the last entry of the run once, and NodeColumn goes through the table's
// own index check on every access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "model/farray.h"

namespace wakro::lines {

// Entries first .. first + count - 1 along the first index of table a (the
// other indices fixed at `rest`), as a pointer to entry `first`: run(...)[k] is
// entry first + k. With count < 1 nothing may be read through it.
template <class T, int Rank, bool Checked, class... Rest>
T* run(FArray<T, Rank, Checked>& a, std::int32_t first, std::int32_t count, Rest... rest) {
  static_assert(sizeof...(Rest) == Rank - 1, "fix every index but the first");
  if (count < 1) return a.data();
  if constexpr (FArray<T, Rank, Checked>::kChecked) (void)a(first + count - 1, rest...);
  return &a(first, rest...);
}

// Column ss of a node table (node, subsystem), addressed by node number from 1.
// A subsystem outside the table gives a column that must not be read: a line
// end whose nodes are all ground never reads it.
template <class T>
class NodeColumn {
  static constexpr bool kChecked = FArray<T, 2>::kChecked;

 public:
  NodeColumn(FArray<T, 2>& a, std::int32_t ss)
      : col_(ss >= 1 && ss <= a.extent(2) ? a.data() + std::ptrdiff_t{ss - 1} * a.extent(1) : nullptr),
        where_{&a, ss} {}

  // Entry of node `node` (>= 1).
  T& operator[](std::int32_t node) const {
    if constexpr (kChecked) return (*where_.a)(node, where_.ss);
    return col_[node - 1];
  }

 private:
  // Checked builds index through the table itself; the others need no more
  // than the column.
  struct Table {
    FArray<T, 2>* a;
    std::int32_t ss;
  };
  struct NoTable {
    NoTable(FArray<T, 2>*, std::int32_t) {}
  };

  T* col_;
  [[no_unique_address]] std::conditional_t<kChecked, Table, NoTable> where_;
};

// A node's value in a column, ground and unconnected ends (node <= 0) reading 0.
inline double at_node(const NodeColumn<double>& v, std::int32_t node) { return node > 0 ? v[node] : 0.0; }

}  // namespace wakro::lines

// Column ss of a per-branch array (branches module: branch number, subsystem) as
// a plain pointer indexed with the branch number from 1, as the array itself is.
// The per-branch loops of a step read and write a dozen such arrays; through
// views taken once per loop the compiler keeps their addresses in registers
// instead of reading each array's descriptor again after every store.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/farray.h"

namespace wakro {

template <class T>
struct BranchColumn {
  T* first = nullptr;  // the entry of branch 1
  T& operator[](std::int32_t br) const { return first[br - 1]; }
};

template <class T>
BranchColumn<T> branch_column(FArray<T, 2>& a, std::int32_t ss) {
  return {a.data() + static_cast<std::ptrdiff_t>(ss - 1) * a.extent(1)};
}

}  // namespace wakro

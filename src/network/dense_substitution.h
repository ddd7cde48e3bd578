// Forward and back substitution over the factors of a subsystem held in its
// working matrix (the own elimination, unpacked): the inverse pivots on the
// diagonal, the lower and upper factors off it, each row's entries named by the
// index lists of the columns (network/branch_view.h). Written once here for
// slvnew and for the step of a small subsystem, which must agree to the bit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "network/branch_view.h"

namespace wakro {

// A subsystem of fewer nodes is substituted over its working matrix: its factors
// are few cache lines anyway. A larger one over its factors packed in list order.
inline constexpr std::int32_t kPackedFactorsMin = 16;

// Values by node from 1, read and written through get, set and add: in memory at
// p (MemoryNodes), or, for a subsystem whose node count N is known when compiled,
// held in registers (RegisterNodes: a node chosen at run time is selected among
// the N by comparisons, not read back from memory just after being stored, which
// would lengthen the step's chain of dependent operations by the store's
// forwarding; a node outside 1..N reads 0 and takes nothing).
template <class T>
struct MemoryNodes {
  T* p;
  double get(std::int32_t k) const { return p[k]; }
  void set(std::int32_t k, double x) const { p[k] = x; }
  void add(std::int32_t k, double x) const { p[k] += x; }
};
template <std::int32_t N>
struct RegisterNodes {
  static_assert(N >= 1);
  double v[N + 1] = {};
  double get(std::int32_t k) const {
    double r = 0.0;
    for (std::int32_t j = 1; j <= N; ++j) r = k == j ? v[j] : r;
    return r;
  }
  void set(std::int32_t k, double x) {
    for (std::int32_t j = 1; j <= N; ++j) v[j] = k == j ? x : v[j];
  }
  void add(std::int32_t k, double x) {
    for (std::int32_t j = 1; j <= N; ++j) v[j] = k == j ? v[j] + x : v[j];
  }
};

// rhs: the right-hand side by node (read as the forward pass reaches each row; it
// may be caa itself); caa: the work values by node (rows 1..n written); vnew: the
// solution by node (rows 1..n written). n >= 1. Each is MemoryNodes or
// RegisterNodes: the arithmetic, and so every result, is the same.
template <class Rhs, class Caa, class Vnew>
inline void substitute_dense_over(const SubsystemColumns& c, std::int32_t n, const Rhs& rhs,
                                  Caa& caa, Vnew& vnew) {
  const double* const a = c.rdc;
  const std::ptrdiff_t rows = c.rdc_rows;
  // rdc(i, j), i and j from 1.
  const auto rdc = [a, rows](std::int32_t i, std::int32_t j) { return a[(j - 1) * rows + (i - 1)]; };
  const auto& lbegin = c.lbegin;
  const auto& lend = c.lend;
  const auto& lcol = c.lcol;
  const auto& ubegin = c.ubegin;
  const auto& uend = c.uend;
  const auto& ucol = c.ucol;
  // Forward: row i takes the rows above it, each scaled by its inverse pivot.
  // The row in hand is carried in a register and stored once it is scaled (the
  // rows below read it then), not stored and read back in between: the
  // substitution is the middle of the step's chain of dependent operations.
  // (rhs[i] is read before caa[i] is written, so rhs may be caa.)
  // The row above the last is kept as well: the back substitution starts with
  // it.
  double row = rhs.get(1);
  double above = 0.0;  // caa[n - 1] once scaled
  for (std::int32_t i = 2; i <= n; ++i) {
    above = row * rdc(i - 1, i - 1);
    caa.set(i - 1, above);
    double sum = 0.0;
    for (std::int32_t k = lbegin[i]; k <= lend[i]; ++k) sum += rdc(i, lcol[k]) * caa.get(lcol[k]);
    row = rhs.get(i) - sum;
  }
  row *= rdc(n, n);
  caa.set(n, row);
  // Back: from the last row up.
  vnew.set(n, row);
  for (std::int32_t i = n - 1; i >= 1; --i) {
    double sum = 0.0;
    for (std::int32_t k = ubegin[i]; k <= uend[i]; ++k) sum += rdc(i, ucol[k]) * vnew.get(ucol[k]);
    vnew.set(i, (i == n - 1 ? above : caa.get(i)) - sum);
  }
}

// The same over vectors in memory, each by node from 1.
inline void substitute_dense(const SubsystemColumns& c, std::int32_t n, const double* rhs,
                             double* caa, double* vnew) {
  const MemoryNodes<const double> r{rhs};
  MemoryNodes<double> w{caa};
  MemoryNodes<double> v{vnew};
  substitute_dense_over(c, n, r, w, v);
}

}  // namespace wakro

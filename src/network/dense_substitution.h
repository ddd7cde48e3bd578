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

// rhs: the right-hand side by node (from 1, read as the forward pass reaches each
// row; it may be caa itself); caa: the work vector by node (from 1, rows 1..n
// written); vnew: the solution by node (from 1, rows 1..n written). n >= 1.
inline void substitute_dense(const SubsystemColumns& c, std::int32_t n, const double* rhs,
                             double* caa, double* vnew) {
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
  double row = rhs[1];
  double above = 0.0;  // caa[n - 1] once scaled
  for (std::int32_t i = 2; i <= n; ++i) {
    above = row * rdc(i - 1, i - 1);
    caa[i - 1] = above;
    double sum = 0.0;
    for (std::int32_t k = lbegin[i]; k <= lend[i]; ++k) sum += rdc(i, lcol[k]) * caa[lcol[k]];
    row = rhs[i] - sum;
  }
  row *= rdc(n, n);
  caa[n] = row;
  // Back: from the last row up.
  vnew[n] = row;
  for (std::int32_t i = n - 1; i >= 1; --i) {
    double sum = 0.0;
    for (std::int32_t k = ubegin[i]; k <= uend[i]; ++k) sum += rdc(i, ucol[k]) * vnew[ucol[k]];
    vnew[i] = (i == n - 1 ? above : caa[i]) - sum;
  }
}

}  // namespace wakro

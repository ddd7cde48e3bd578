// The own sparse elimination of a subsystem's working matrix (used by itriang).
#pragma once

#include <cstdint>

#include "model/e_s0.h"

namespace wakro {

// Builds the row index lists of subsystem ss (order n) from the pattern temfil,
// adding the symbolic fill row by row. Leaves sparse::lbegin/lend/lcol and
// ubegin/uend/ucol of ss and the fill in temfil; records the needed SPARSITY
// size in ndde::e_ndim(dim::sparsity) and ends the run when the lists do not fit.
void build_index_lists(std::int32_t ss, std::int32_t n, e_s0::FillView temfil);

// Factorises rows m..n of rdc in place over the index lists: the diagonal takes
// 1/pivot, the upper part the row of U times 1/pivot, the lower part the
// multipliers. Flags cancelled diagonals in int2::nilltr; a pivot below 1e-20
// ends the run with the singularity report.
void eliminate_from(std::int32_t ss, std::int32_t m, std::int32_t n, e_s0::RealView rdc);

}  // namespace wakro

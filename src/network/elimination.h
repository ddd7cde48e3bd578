// The own sparse elimination of a subsystem's working matrix (used by itriang).
#pragma once

#include <cstdint>
#include <vector>

#include "model/constants.h"
#include "model/e_s0.h"
#include "network/packed_factors.h"

namespace wakro {

// A pivot below this magnitude is a vanishing pivot: the matrix is refused as
// singular (by the own elimination, and so by the sparse solver too).
inline constexpr double kZeroPivot = wakro::kTiny;

// Builds the row index lists of subsystem ss (order n) from the pattern temfil,
// adding the symbolic fill row by row. Leaves sparse::lbegin/lend/lcol and
// ubegin/uend/ucol of ss and the fill in temfil; records the needed SPARSITY
// size in ndde::e_ndim(dim::sparsity) and ends the run when the lists do not fit.
// Rows before `first` keep the lists they have (their pattern in temfil is the one
// they were made from); only rows first..n of temfil are read, along its
// columns, and the work is that of reading them and of their entries.
void build_index_lists(std::int32_t ss, std::int32_t n, e_s0::FillView temfil,
                       std::int32_t first = 1);

// The off-diagonal positions (rows(k), cols(k)) set in rows first..n of the
// pattern (columns 1..n), column by column, rows ascending: read along the
// contiguous columns, eight entries at a time where they are all empty.
void pattern_entries(e_s0::FillView pattern, std::int32_t first, std::int32_t n,
                     std::vector<std::int32_t>& rows, std::vector<std::int32_t>& cols);

// Factorises rows m..n of rdc in place over the index lists: the diagonal takes
// 1/pivot, the upper part the row of U times 1/pivot, the lower part the
// multipliers. Flags cancelled diagonals in int2::nilltr; a pivot below 1e-20
// ends the run with the singularity report. pack (or nullptr): the list-ordered
// copy of the factors, holding rows 1..m-1 as rdc does; the rows factorised are
// written into it too, and the earlier rows read from it.
void eliminate_from(std::int32_t ss, std::int32_t m, std::int32_t n, e_s0::RealView rdc,
                    PackedFactors* pack);

// The first row (1..n) at which eliminate_from would stop for a vanishing pivot,
// 0 when it would factorise the whole matrix: the same arithmetic in the same
// order on a copy of the matrix a (column-major, leading dimension lda) where
// mask is set (leading dimension ldm). For a matrix that another solver found
// singular, so that the report names the node the own elimination names. Keeps
// its workspace (n x n) between calls.
std::int32_t first_vanishing_pivot(std::int32_t n, const double* a, std::int32_t lda,
                                   const bool* mask, std::int32_t ldm);
// The same for a compressed-column matrix of order n (0-based, column pointers p,
// row indices i, values x): the stored entries are the masked ones.
std::int32_t first_vanishing_pivot_compressed(std::int32_t n, const std::int32_t* p,
                                              const std::int32_t* i, const double* x);

}  // namespace wakro

// The own elimination in a fill-reducing order, for large subsystems whose node
// numbering fills the factors (a mesh numbered row by row fills the band between
// its rows).
//
// When a subsystem on the own elimination (no ideal branches, no MNA elements)
// has at least kOrderedMinNodes nodes, its pattern is ordered by CAMD at its
// first factorisation (and whenever its pattern grows). The nodes where the
// matrix changes during a run (the ends of the switching branches and the
// Norton nodes) are kept to the end of the order; the order is taken when its
// factors hold at most kOrderedFillShare of the fill of the numbered order.
// Such a subsystem then keeps, beside the working matrix:
//   - no factors in RDC: a full assembly (the first, or after the pattern grew,
//     when the subsystem is ordered again) goes into RDC as always and is taken
//     from there; the usual assembly of rows m..n goes straight into the plan's
//     matrix (assemble_ordered);
//   - the matrix in the new order by rows as last factorised, the factors L and U
//     by rows in that order and the inverse pivots, each contiguous. Its pattern
//     (TEMFIL) takes no symbolic fill, and no index lists are made.
// A factorisation compares the assembled rows with the ones last factorised and
// factorises again from the first changed row in the new order: a row's factors
// depend only on the rows before it, and the same numbers in the same order give
// the same factors, so a run that factorises again from scratch goes on bit for
// bit. The arithmetic is that of eliminate_from (row by row, inverse pivots,
// cancelled diagonals flagged in int2::nilltr by node, a vanishing pivot ends the
// run naming its node).
//
// Nothing here allocates after a subsystem's plan is made.
#pragma once

#include <cstdint>

#include "model/e_s0.h"

namespace wakro {

inline constexpr std::int32_t kOrderedMinNodes = 100;
inline constexpr double kOrderedFillShare = 0.75;

// True when subsystem ss (of order n) is factorised in the fill-reducing order:
// its last factorisation was made there (a factorisation in the numbered order
// drops the plan). The plan keeps the matrix it factorised, so its factors
// outlast a re-allocation of the working matrix.
bool ordered_elimination_active(std::int32_t ss, std::int32_t n);

// Makes the plan of ss (order n) from the pattern temfil, or drops it; returns
// true when ss is factorised in the new order from now on. temfil is left as it
// is (no symbolic fill is added to it).
bool plan_ordered_elimination(std::int32_t ss, std::int32_t n, e_s0::FillView temfil);

// Forgets the plan of ss (the subsystem goes back to the numbered order).
void drop_ordered_elimination(std::int32_t ss);

// The first factorisation of ss in the new order, after its plan was made: every
// row of rdc was assembled.
void eliminate_ordered(std::int32_t ss, e_s0::RealView rdc);

// The step's usual factorisation of ss in the new order (no growth of the
// pattern, rows m..n to assemble): the rows are assembled from gm, GGIN and the
// switches straight into the plan's matrix, with the arithmetic of the assembly
// into rdc, and factorised from the first row whose entries changed. rdc is not
// written. False, with nothing done, when ss has no current plan or its switching
// branches are not those of the plan (the caller then assembles every row into
// rdc and orders ss again).
bool assemble_ordered(std::int32_t ss, std::int32_t m, std::int32_t n, e_s0::RealView gm,
                      e_s0::FillView filled);

// Forward and back substitution of ss on its factors in the new order: rhs and
// v by node, from 1 (rhs may be v). False, with nothing done, when ss has no
// current plan.
bool substitute_ordered(std::int32_t ss, std::int32_t n, const double* rhs, double* v);

// Fill of the factors (entries of L, one triangle) in the numbered order and in
// the plan's order: for the benchmarks and tests.
struct OrderedFill {
  std::int64_t numbered = 0;
  std::int64_t ordered = 0;
};
OrderedFill ordered_fill(std::int32_t ss);

}  // namespace wakro

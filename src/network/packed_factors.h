// The factors of the own elimination in the order of their index lists, for the
// substitution.
//
// eliminate_from leaves the factors in the dense working matrix RDC; the
// substitution reads row i at the columns of its lists, one matrix column apart
// each (a cache line per entry on a large subsystem). At the first substitution
// after one or more factorisations, the factors of the rows they changed are
// copied next to each other in list order: lower(k) = RDC(i, LCOL(k)), upper(k) =
// RDC(i, UCOL(k)) and pivot(i) = RDC(i, i) (the inverse pivot), so that the
// substitution reads them in the order it uses them, with the same values and the
// same arithmetic.
//
// The copy follows the factorisations it is told of (note_factorisation); when a
// factorisation went by untold, every row is copied again; after a case-sized
// array was allocated or released the substitution reads RDC until the next
// factorisation. The storage is sized at the first copy of each subsystem and
// again only when the lists' size changes, so the factorisations of a run
// allocate nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace wakro {

struct PackedFactors {
  std::vector<double> lower;  // by position in LCOL (from 1: lower[k - 1])
  std::vector<double> upper;  // by position in UCOL
  std::vector<double> pivot;  // by row (pivot[i - 1])
  std::int32_t order = 0;     // rows 1..order copied
  std::int32_t from = 1;      // the first row changed since the copy was made
  std::int32_t seen = -1;     // the factorisation count after the last one told of
  std::uint64_t epoch = 0;    // array_layout_epoch when told
};

// The own elimination factorised rows m..n of ss and counted the factorisation;
// `all`: rows before m may have changed too (the lists were made again, ideal
// branches or MNA elements).
void note_factorisation(std::int32_t ss, std::int32_t m, bool all);

// The copy of ss brought up to its present factorisation of n rows, or nullptr
// when it cannot be (the substitution then reads RDC).
const PackedFactors* packed_factors(std::int32_t ss, std::int32_t n);

}  // namespace wakro

// The factors of the own elimination in the order of their index lists, for the
// substitution.
//
// eliminate_from leaves the factors in the dense working matrix RDC; the
// substitution reads row i at the columns of its lists, one matrix column apart
// each (a cache line per entry on a large subsystem). The elimination therefore
// also writes each row it factorises, from its contiguous workspace, into a copy
// in list order: lower(k) = RDC(i, LCOL(k)), upper(k) = RDC(i, UCOL(k)) and
// pivot(i) = RDC(i, i) (the inverse pivot), so that the substitution reads them in
// the order it uses them, with the same values and the same arithmetic, and the
// copy never walks RDC along its rows. The rows before the first one factorised
// are those of the copy when it followed every factorisation since it was made;
// otherwise (a factorisation went by on another path, the lists were made again,
// ideal branches or MNA elements may have rewritten those rows, a case-sized
// array was allocated or released) they are copied from RDC first.
//
// The storage is sized at the first factorisation of each subsystem and again
// only when the lists' capacity changes, so the factorisations of a run allocate
// nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "model/e_s0.h"

namespace wakro {

struct PackedFactors {
  std::vector<double> lower;  // by position in LCOL (from 1: lower[k - 1])
  std::vector<double> upper;  // by position in UCOL
  std::vector<double> pivot;  // by row (pivot[i - 1])
  std::int32_t order = 0;     // rows 1..order held
  std::int32_t seen = -1;     // the factorisation count when the copy was completed
  bool filling = false;       // handed to a factorisation not yet counted
  std::uint64_t epoch = 0;    // array_layout_epoch when filled
};

// The copy of ss that the own elimination fills as it factorises rows m..n (of
// order n) of rdc, with rows 1..m-1 already those of rdc; `all`: rows before m
// may have changed since the copy was made (the lists were made again, ideal
// branches or MNA elements). nullptr for a subsystem substituted over rdc
// (fewer than kPackedFactorsMin rows) or whose lists or matrix cannot be read.
PackedFactors* factors_to_pack(std::int32_t ss, std::int32_t m, std::int32_t n, bool all,
                               e_s0::RealView rdc);

// The factorisation that filled the copy of ss has been counted (int2::ntriang):
// the copy is current from now until the next factorisation.
void note_factorisation(std::int32_t ss);

// The copy of ss when it holds the present factorisation of n rows, or nullptr
// (the substitution then reads RDC).
const PackedFactors* packed_factors(std::int32_t ss, std::int32_t n);

}  // namespace wakro

// Module fdneharmimp: the admittance of a frequency-dependent network equivalent
// (a rational model in pole-residue form seen from N ports) at one complex
// frequency, for harmonic-impedance studies:
//   Y(s) = D + sum over the poles a_k of R_k / (s - a_k)   (N x N, complex)
// The model file is plain text, one number per line: four header lines; then for
// each port i a block holding the pole count m, and for each pole the real and
// imaginary part of a_k (taken from the first block, skipped in the others)
// followed by the real and imaginary parts of R_k(j, i), j = 1..N; then D row by
// row, N lines per row.
#pragma once

#include <cstdint>
#include <istream>
#include <string_view>

#include "model/farray.h"

namespace fdneharmimp {

// y must not be allocated on entry (the allocation rule stops the run); on return
// it holds Y(s), n x n. A missing, short or malformed file (not-a-number and
// infinities included), pole counts that differ between blocks, are negative or
// exceed what the file can hold, and a frequency equal to a pole end the run with
// a message naming the file.
void get_fdne_y(wakro::FArray<wakro::cplx, 2>& y, wakro::cplx s, std::int32_t n,
                std::string_view name);

// Reads and discards n lines of the stream (nothing when n < 1).
void sl(std::istream& in, std::int32_t n);

}  // namespace fdneharmimp

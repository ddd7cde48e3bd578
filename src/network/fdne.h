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
#include "model/fixedtext.h"

namespace fdneharmimp {

// The selection tables of the equivalents of a harmonic study: equivalent k
// (1 .. fdne_num) stands in subsystem fdne_ss(k) at its fdne_nc(k) nodes
// fdne_node(k, 1 .. fdne_nc(k)), and its model file is fdne_filenames(k), the
// name get_fdne_y reads with fdne_nc(k) ports. Fixed tables: no routine of the
// engine fills or reads them yet; they start empty (0 and blanks).
inline constexpr std::int32_t kMaxEquivalents = 20;      // equivalents of a study
inline constexpr std::int32_t kMaxEquivalentNodes = 12;  // nodes (ports) of one equivalent
inline constexpr std::size_t kModelNameWidth = 36;       // characters of a model file name

inline std::int32_t fdne_num = 0;
inline wakro::FFixed<std::int32_t, kMaxEquivalents> fdne_ss;
inline wakro::FFixed<std::int32_t, kMaxEquivalents, kMaxEquivalentNodes> fdne_node;
inline wakro::FFixed<std::int32_t, kMaxEquivalents> fdne_nc;
inline wakro::FFixed<wakro::FixedText<kModelNameWidth>, kMaxEquivalents> fdne_filenames;

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

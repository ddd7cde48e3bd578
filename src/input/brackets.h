// Bracketed data blocks that model code reads from its data file at time zero.
//
// A block is a line whose first word is "{", the data lines, and a line whose
// first word is "}", read through the line reader (comments, include files and
// section keys behave as everywhere). Values are read in free format from the
// unit; a "/" ends a line's values early, leaving the rest at 0.0.
//
// wakro_readxy(n, x, y)          n lines of an x-y pair into x(1..n), y(1..n)
// wakro_readmatx(nrows, ncols, a) nrows lines of ncols values into the matrix a,
//                                stored by columns with 100 rows: element (i, j) is
//                                a[(i-1) + 100 (j-1)]; at most 100 rows
// Lines after the last pair or row are skipped up to the "}". A malformed block,
// a section key inside the block, or arrays too short for the counts end in
// wakro_quit (tags "READXY", "READMATX").
#pragma once

#include <cstdint>
#include <span>

inline constexpr std::int32_t kMatrixRows = 100;

void wakro_readxy(std::int32_t n, std::span<double> x, std::span<double> y);
void wakro_readmatx(std::int32_t nrows, std::int32_t ncols, std::span<double> a);

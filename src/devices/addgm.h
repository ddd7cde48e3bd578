// Direct additions of a symmetric admittance among n nodes of one subsystem.
//
//   in  ny     length of y, which must be n (n + 1) / 2 (n >= 1)
//   in  n      number of nodes
//   in  iss    subsystem
//   in  nodes  n node numbers of iss; 0 is ground
//   in  y      packed lower triangle, row by row: y(i, i) the admittance from
//              node i to ground, y(i, j) the admittance between nodes i and j [S]
// The admittance enters the matrix through the network's admittance stamp, in the
// matrix's own convention whatever its form, and the rows from the smallest
// listed non-ground node are factorised again (the marker is only lowered).
// A wrong length ends the run with "dimension mismatch" (tag "WAKRO_ADD_GM");
// bad node or subsystem numbers are refused by the stamp. A coupling the matrix
// did not have marks a new position of its pattern, and the next factorisation
// of the subsystem analyses the pattern again.
#pragma once

#include <cstdint>

// At time zero only.
void wakro_addgm(std::int32_t ny, std::int32_t n, std::int32_t iss, const std::int32_t* nodes,
                 const double* y);
// On every call.
void wakro_addgm2(std::int32_t ny, std::int32_t n, std::int32_t iss, const std::int32_t* nodes,
                  const double* y);

// Small dense real matrices: the scaled product and the inversion with full
// pivoting, for device and machine models at set-up and during the run.
//
// Matrices are stored column by column with the leading dimension equal to their
// row count: element (i, j) of an n-row matrix is a[(j-1)*n + (i-1)], indices
// from 1. A negative count counts as 0. None of these routines keeps state,
// touches a shared module or allocates; the work arrays are the caller's.
//
// A singular matrix is reported, never returned as a result: minv gives D = 0 and
// false, matinv returns false and leaves AINV as it was; a caller that cannot go
// on stops through matinv_or_stop with its own tag.
#pragma once

#include <cstdint>
#include <string_view>

// Y := S * A * B, with A N-by-M, B M-by-P and Y N-by-P (Y apart from A and B).
// Each element is summed over k = 1..M in order, adding A(i,k) * B(k,j) * S.
// N < 1 writes nothing; M < 1 gives a zero matrix; P < 1 writes nothing.
void mymatmul(const double* A, const double* B, std::int32_t N, std::int32_t M, std::int32_t P,
              double* Y, double S);

// Inverts the N-by-N matrix A in place by Gauss-Jordan elimination with full
// pivoting and sets D to its determinant. X is not used. L and M (N integers)
// receive the row and the column of each pivot. A zero pivot ends the
// elimination with D = 0, A partly reduced, and false; otherwise true.
[[nodiscard]] bool minv(double* A, double* X, std::int32_t N, double& D, std::int32_t* L,
                        std::int32_t* M);

// AINV := the inverse of the N-by-N matrix A, which is left unchanged. X is handed
// to minv; WORK holds at least N*N reals; L and M hold N integers each. A singular
// matrix returns false and leaves AINV unchanged. N < 1 writes nothing.
[[nodiscard]] bool matinv(const double* A, double* AINV, std::int32_t N, double* X, double* WORK,
                          std::int32_t* L, std::int32_t* M);

// matinv for a caller that cannot go on without the inverse: a singular matrix is
// a data error, reported as "Matrix is singular and cannot be inverted." and
// stopped under the caller's 12-character tag.
void matinv_or_stop(std::string_view tag, const double* A, double* AINV, std::int32_t N,
                    double* X, double* WORK, std::int32_t* L, std::int32_t* M);

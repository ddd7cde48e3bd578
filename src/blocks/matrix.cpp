// mymatmul, minv and matinv (matrix.h).
//
// minv is Gauss-Jordan elimination with full pivoting in the classic form of the
// scientific subroutine packages: the pivot search runs column by column over the
// trailing block and replaces its candidate only on a strictly larger magnitude;
// the interchanges negate the element that moves out, and the final interchanges
// (columns by L, rows by M, last pivot first) undo the permutation of the result.
#include "blocks/matrix.h"

#include <cmath>
#include <cstddef>

#include "blocks/conventions.h"

namespace {

// Element (i, j), 1-based, of a matrix with leading dimension n.
inline double& at(double* a, std::int32_t n, std::int32_t i, std::int32_t j) {
  return a[static_cast<std::ptrdiff_t>(j - 1) * n + (i - 1)];
}
inline double at(const double* a, std::int32_t n, std::int32_t i, std::int32_t j) {
  return a[static_cast<std::ptrdiff_t>(j - 1) * n + (i - 1)];
}

// Copies the n-by-n matrix src into dst transposed.
void transpose_into(const double* src, double* dst, std::int32_t n) {
  for (std::int32_t j = 1; j <= n; ++j)
    for (std::int32_t i = 1; i <= n; ++i) at(dst, n, j, i) = at(src, n, i, j);
}

}  // namespace

void mymatmul(const double* A, const double* B, std::int32_t N, std::int32_t M, std::int32_t P,
              double* Y, double S) {
  if (N < 1) return;
  if (M < 0) M = 0;
  for (std::int32_t i = 1; i <= N; ++i) {
    for (std::int32_t j = 1; j <= P; ++j) {
      double& y = at(Y, N, i, j);
      y = 0.0;
      for (std::int32_t k = 1; k <= M; ++k) y += at(A, N, i, k) * at(B, M, k, j) * S;
    }
  }
}

bool minv(double* A, double* /*X*/, std::int32_t N, double& D, std::int32_t* L, std::int32_t* M) {
  D = 1.0;
  for (std::int32_t k = 1; k <= N; ++k) {
    // 1. Pivot search over the trailing block, column by column.
    L[k - 1] = k;
    M[k - 1] = k;
    double biga = at(A, N, k, k);
    for (std::int32_t j = k; j <= N; ++j) {
      for (std::int32_t i = k; i <= N; ++i) {
        if (std::fabs(biga) < std::fabs(at(A, N, i, j))) {
          biga = at(A, N, i, j);
          L[k - 1] = i;
          M[k - 1] = j;
        }
      }
    }
    // 2. Row interchange, negating the element that leaves row k.
    const std::int32_t row = L[k - 1];
    if (row > k) {
      for (std::int32_t c = 1; c <= N; ++c) {
        const double hold = -at(A, N, k, c);
        at(A, N, k, c) = at(A, N, row, c);
        at(A, N, row, c) = hold;
      }
    }
    // 3. Column interchange, the same way.
    const std::int32_t col = M[k - 1];
    if (col > k) {
      for (std::int32_t r = 1; r <= N; ++r) {
        const double hold = -at(A, N, r, k);
        at(A, N, r, k) = at(A, N, r, col);
        at(A, N, r, col) = hold;
      }
    }
    // 4. A zero pivot: the matrix is singular; stop here.
    if (biga == 0.0) {
      D = 0.0;
      return false;
    }
    // 5. Column k divided by minus the pivot.
    for (std::int32_t i = 1; i <= N; ++i)
      if (i != k) at(A, N, i, k) /= -biga;
    // 6. Reduction of the other rows and columns.
    for (std::int32_t i = 1; i <= N; ++i) {
      if (i == k) continue;
      const double aik = at(A, N, i, k);
      for (std::int32_t j = 1; j <= N; ++j)
        if (j != k) at(A, N, i, j) = aik * at(A, N, k, j) + at(A, N, i, j);
    }
    // 7. Row k divided by the pivot; the determinant and the pivot's reciprocal.
    for (std::int32_t j = 1; j <= N; ++j)
      if (j != k) at(A, N, k, j) /= biga;
    D *= biga;
    at(A, N, k, k) = 1.0 / biga;
  }
  // 8. Final interchanges, last pivot first: columns by L, rows by M.
  for (std::int32_t k = N - 1; k >= 1; --k) {
    const std::int32_t col = L[k - 1];
    if (col > k) {
      for (std::int32_t r = 1; r <= N; ++r) {
        const double hold = at(A, N, r, k);
        at(A, N, r, k) = -at(A, N, r, col);
        at(A, N, r, col) = hold;
      }
    }
    const std::int32_t row = M[k - 1];
    if (row > k) {
      for (std::int32_t c = 1; c <= N; ++c) {
        const double hold = at(A, N, k, c);
        at(A, N, k, c) = -at(A, N, row, c);
        at(A, N, row, c) = hold;
      }
    }
  }
  return true;
}

bool matinv(const double* A, double* AINV, std::int32_t N, double* X, double* WORK,
            std::int32_t* L, std::int32_t* M) {
  if (N < 1) return true;
  transpose_into(A, WORK, N);
  double D = 1.0;
  if (!minv(WORK, X, N, D, L, M)) return false;
  transpose_into(WORK, AINV, N);
  return true;
}

void matinv_or_stop(std::string_view tag, const double* A, double* AINV, std::int32_t N,
                    double* X, double* WORK, std::int32_t* L, std::int32_t* M) {
  if (!matinv(A, AINV, N, X, WORK, L, M))
    wakro::blocks::block_fatal(tag, {"Matrix is singular and cannot be inverted."});
}

// The fixed-layout matrix helpers of the UMEC core (see umec_core.h): the
// in-place inverter shipco and the products matmat and matmat1, all on 23 x 23
// tables. Nothing is allocated.
#include <cmath>

#include "transformers/umec_core.h"
#include "model/constants.h"

using wakro::umec_core::Mat23;
using wakro::umec_core::Vec23;

namespace {
constexpr double kPivotLimit = wakro::kTiny;
}  // namespace

// Gauss-Jordan in place. Step 2 works pivot by pivot: the pivot becomes its
// reciprocal, the other rows are reduced by their factor f = A(j, k) / p (kept in
// A(j, k)), and the pivot row is scaled while the last row is being reduced.
// Row n is never reduced against pivot n, so step 3 scales it afterwards.
void shipco(Mat23& a, std::int32_t n, std::int32_t& flag) {
  // Step 1: trivial orders.
  flag = 0;
  if (n < 1) return;
  if (n == 1) {
    a(1, 1) = 1.0 / a(1, 1);
    return;
  }
  // Step 2: the pivots in order, a small (or NaN) one skipped.
  for (std::int32_t k = 1; k <= n; ++k) {
    const double p = a(k, k);
    if (!(std::abs(p) >= kPivotLimit)) {
      flag = 1;
      continue;
    }
    a(k, k) = 1.0 / p;
    for (std::int32_t j = 1; j <= n; ++j) {
      if (j == k) continue;
      const double f = a(j, k) / p;
      a(j, k) = f;
      for (std::int32_t i = 1; i <= n; ++i) {
        if (i == k) continue;
        if (std::abs(f) >= kPivotLimit) a(j, i) -= a(k, i) * f;
        if (j == n) a(k, i) = -a(k, i) / p;
      }
    }
  }
  // Step 3: the last row.
  for (std::int32_t i = 1; i <= n - 1; ++i) a(n, i) = -a(n, n) * a(n, i);
}

void matmat(std::int32_t m, std::int32_t k, std::int32_t /*ld*/, std::int32_t nc, const Mat23& a,
            const Mat23& b, Mat23& c) {
  for (std::int32_t j = 1; j <= nc; ++j)
    for (std::int32_t i = 1; i <= m; ++i) {
      double s = 0.0;
      for (std::int32_t l = 1; l <= k; ++l) s += a(i, l) * b(l, j);
      c(i, j) = s;
    }
}

void matmat1(std::int32_t m, std::int32_t k, const Mat23& a, const Vec23& x, Vec23& y) {
  for (std::int32_t i = 1; i <= m; ++i) {
    double s = 0.0;
    for (std::int32_t j = 1; j <= k; ++j) s += a(i, j) * x(j);
    y(i) = s;
  }
}

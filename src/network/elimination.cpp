// Own sparse elimination: index lists with symbolic fill, and the row-by-row
// factorisation from the first changed row.
//
// Workspace: sparse::lcol/ucol (column numbers, rows in order, ascending within a
// row) and lbegin/lend, ubegin/uend (each row's range; an empty row has begin =
// end + 1) of the subsystem; the factors in rdc. Rows before m keep the factors of
// an earlier factorisation: eliminating row r uses only rows before r.
#include "network/elimination.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/sparse.h"
#include "network/solution.h"

namespace wakro {
namespace {

constexpr double kCancellation = 1e-14;

[[noreturn]] void singular(std::int32_t node, std::int32_t ss) {
  itriang_errmsg(node, ss);
  wakro_quit("ITRIANG", 0);
}

// Row r of rdc updated by every earlier row q in its lower list.
void update_row(std::int32_t ss, std::int32_t r, e_s0::RealView rdc) {
  using namespace sparse;
  for (std::int32_t kq = lbegin(r, ss); kq <= lend(r, ss); ++kq) {
    const std::int32_t q = lcol(kq, ss);
    const double l_rq = rdc(r, q);
    for (std::int32_t kc = ubegin(q, ss); kc <= uend(q, ss); ++kc) {
      const std::int32_t c = ucol(kc, ss);
      const double old = rdc(r, c);
      const double updated = old - rdc(q, c) * l_rq;
      if (c == r && std::abs(updated) < kCancellation * std::abs(old)) int2::nilltr(r, ss) = true;
      rdc(r, c) = updated;
    }
  }
}

}  // namespace

void build_index_lists(std::int32_t ss, std::int32_t n, e_s0::FillView temfil) {
  using namespace sparse;
  const std::int32_t capacity = std::min(lcol.extent(1), ucol.extent(1));
  std::int64_t nl = 0;
  std::int64_t nu = 0;
  for (std::int32_t r = 1; r <= n; ++r) {
    // Step 1: the lists of row r (its fill was added when row r-1 was listed).
    ubegin(r, ss) = static_cast<std::int32_t>(std::min<std::int64_t>(nu + 1, capacity + 1));
    for (std::int32_t c = r + 1; c <= n; ++c) {
      if (!temfil(r, c)) continue;
      ++nu;
      if (nu <= capacity) ucol(static_cast<std::int32_t>(nu), ss) = c;
    }
    uend(r, ss) = static_cast<std::int32_t>(std::min<std::int64_t>(nu, capacity));
    lbegin(r, ss) = static_cast<std::int32_t>(std::min<std::int64_t>(nl + 1, capacity + 1));
    for (std::int32_t c = 1; c < r; ++c) {
      if (!temfil(r, c)) continue;
      ++nl;
      if (nl <= capacity) lcol(static_cast<std::int32_t>(nl), ss) = c;
    }
    lend(r, ss) = static_cast<std::int32_t>(std::min<std::int64_t>(nl, capacity));
    if (r == n) break;
    // Step 2: symbolic fill of row r+1 from the upper lists of the rows it meets,
    // in ascending order so that fill found on the way is met too.
    const std::int32_t next = r + 1;
    for (std::int32_t q = 1; q < next; ++q) {
      if (!temfil(next, q)) continue;
      for (std::int32_t kc = ubegin(q, ss); kc <= uend(q, ss); ++kc) temfil(next, ucol(kc, ss)) = true;
    }
  }
  // Step 3: the size the lists need, recorded for the dimension report.
  const std::int64_t need = std::max(nl, nu) + 1;
  const std::int32_t need32 = static_cast<std::int32_t>(std::min<std::int64_t>(need, INT32_MAX));
  ndde::e_ndim(dim::sparsity) = std::max(ndde::e_ndim(dim::sparsity), need32);
  if (need > capacity) {
    wakro_message(0, 0, 2, 2, "Sparsity dimension ND19 = " + std::to_string(ndde::nd19));
    wakro_message(0, 0, 2, -1, " exceeded. It should be greater than " + std::to_string(need));
    wakro_quit("ITRIANG", 0);
  }
}

void eliminate_from(std::int32_t ss, std::int32_t m, std::int32_t n, e_s0::RealView rdc) {
  using namespace sparse;
  // Step 1: row m meets the rows factorised before it.
  if (m > 1) update_row(ss, m, rdc);
  // Step 2: pivot, scale, and update the next row.
  for (std::int32_t r = m; r < n; ++r) {
    const double pivot = rdc(r, r);
    if (std::abs(pivot) < kZeroPivot) singular(r, ss);
    const double inv = 1.0 / pivot;
    rdc(r, r) = inv;
    for (std::int32_t kc = ubegin(r, ss); kc <= uend(r, ss); ++kc) rdc(r, ucol(kc, ss)) *= inv;
    update_row(ss, r + 1, rdc);
  }
  // Step 3: the last row.
  if (std::abs(rdc(n, n)) < kZeroPivot) singular(n, ss);
  rdc(n, n) = 1.0 / rdc(n, n);
}

namespace {

// Workspace of first_vanishing_pivot: the masked matrix row by row (row r at
// w[r*n ..]), kept between calls, and the last column of each row that is not
// zero.
std::vector<double>& pivot_rows() {
  static std::vector<double> w;
  return w;
}
std::vector<std::int32_t>& pivot_last() {
  static std::vector<std::int32_t> last;
  return last;
}

// Step 2 of first_vanishing_pivot: rows in order, each met by the rows before it
// and then scaled, with the operations of eliminate_from in the same order
// (entries outside the pattern are zeros there and change nothing here).
std::int32_t eliminate_workspace(std::int32_t n) {
  std::vector<double>& w = pivot_rows();
  std::vector<std::int32_t>& last = pivot_last();
  const std::size_t order = static_cast<std::size_t>(n);
  for (std::int32_t r = 0; r < n; ++r) {
    double* row = &w[r * order];
    for (std::int32_t q = 0; q < r; ++q) {
      const double l_rq = row[q];
      if (l_rq == 0.0) continue;
      const double* u = &w[q * order];
      for (std::int32_t c = q + 1; c <= last[q]; ++c) row[c] = row[c] - u[c] * l_rq;
      last[r] = std::max(last[r], last[q]);
    }
    if (std::abs(row[r]) < kZeroPivot) return r + 1;
    const double inv = 1.0 / row[r];
    for (std::int32_t c = r + 1; c <= last[r]; ++c) row[c] *= inv;
  }
  return 0;
}

}  // namespace

std::int32_t first_vanishing_pivot(std::int32_t n, const double* a, std::int32_t lda,
                                   const bool* mask, std::int32_t ldm) {
  if (n < 1) return 0;
  std::vector<double>& w = pivot_rows();
  std::vector<std::int32_t>& last = pivot_last();
  const std::size_t order = static_cast<std::size_t>(n);
  w.assign(order * order, 0.0);
  last.assign(order, -1);
  // Step 1: the masked entries.
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t i = 0; i < n; ++i) {
      const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(j) * ldm + i;
      if (!mask[at]) continue;
      w[i * order + j] = a[static_cast<std::ptrdiff_t>(j) * lda + i];
      last[i] = j;
    }
  }
  return eliminate_workspace(n);
}

std::int32_t first_vanishing_pivot_compressed(std::int32_t n, const std::int32_t* p,
                                              const std::int32_t* i, const double* x) {
  if (n < 1) return 0;
  std::vector<double>& w = pivot_rows();
  std::vector<std::int32_t>& last = pivot_last();
  const std::size_t order = static_cast<std::size_t>(n);
  w.assign(order * order, 0.0);
  last.assign(order, -1);
  for (std::int32_t j = 0; j < n; ++j) {
    for (std::int32_t k = p[j]; k < p[j + 1]; ++k) {
      w[static_cast<std::size_t>(i[k]) * order + static_cast<std::size_t>(j)] = x[k];
      last[static_cast<std::size_t>(i[k])] = j;
    }
  }
  return eliminate_workspace(n);
}

}  // namespace wakro

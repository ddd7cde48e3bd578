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
#include <cstring>
#include <functional>
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

// The elimination's workspace, kept between calls (grown only when a subsystem
// needs more, so that the factorisations of a run allocate nothing): the row
// being eliminated spread out by column (zero outside its lists between rows),
// and the finished upper factors of the rows eliminated in this call by their
// position in UCOL.
struct RowWorkspace {
  std::vector<double> row;
  std::vector<double> upper;
};

RowWorkspace& workspace(std::int32_t n, std::int32_t upper_size) {
  static RowWorkspace w;
  if (w.row.size() < static_cast<std::size_t>(n) + 1) w.row.assign(static_cast<std::size_t>(n) + 1, 0.0);
  if (w.upper.size() < static_cast<std::size_t>(upper_size) + 1)
    w.upper.resize(static_cast<std::size_t>(upper_size) + 1);
  return w;
}

// Row r of rdc at its list positions and diagonal into w (columns by number).
void load_row(std::int32_t ss, std::int32_t r, e_s0::RealView rdc, double* w) {
  using namespace sparse;
  for (std::int32_t k = lbegin(r, ss); k <= lend(r, ss); ++k) w[lcol(k, ss)] = rdc(r, lcol(k, ss));
  w[r] = rdc(r, r);
  for (std::int32_t k = ubegin(r, ss); k <= uend(r, ss); ++k) w[ucol(k, ss)] = rdc(r, ucol(k, ss));
}

// w back into row r of rdc, and cleared; with `pack`, into the list-ordered copy
// of the factors as well (packed_factors.h).
void store_row(std::int32_t ss, std::int32_t r, e_s0::RealView rdc, double* w,
               PackedFactors* pack) {
  using namespace sparse;
  double* const lower = pack != nullptr ? pack->lower.data() - 1 : nullptr;
  for (std::int32_t k = lbegin(r, ss); k <= lend(r, ss); ++k) {
    const std::int32_t c = lcol(k, ss);
    rdc(r, c) = w[c];
    if (lower != nullptr) lower[k] = w[c];
    w[c] = 0.0;
  }
  rdc(r, r) = w[r];
  if (pack != nullptr) pack->pivot[static_cast<std::size_t>(r - 1)] = w[r];
  w[r] = 0.0;
  for (std::int32_t k = ubegin(r, ss); k <= uend(r, ss); ++k) {
    const std::int32_t c = ucol(k, ss);
    rdc(r, c) = w[c];
    w[c] = 0.0;
  }
}

// Row r (in w) updated by every earlier row q in its lower list, q ascending and
// its upper list in order: the factors of a row from `first` on are read from
// `upper` (by position in UCOL), those of an earlier row from rdc. The symbolic fill puts every column a row q
// reaches in row r's lists. A row q changes the diagonal once at most: a
// diagonal that an update takes below kCancellation of its value before it is
// flagged as cancelled.
void update_row(std::int32_t ss, std::int32_t r, std::int32_t first, e_s0::RealView rdc, double* w,
                const double* upper) {
  using namespace sparse;
  const std::int32_t* const uc = &ucol(1, ss) - 1;
  double diagonal = w[r];
  for (std::int32_t kq = lbegin(r, ss); kq <= lend(r, ss); ++kq) {
    const std::int32_t q = lcol(kq, ss);
    const double l_rq = w[q];
    const std::int32_t b = ubegin(q, ss);
    const std::int32_t e = uend(q, ss);
    if (q >= first && b <= e && uc[e] - uc[b] == e - b) {
      // The list is a run of consecutive columns (ascending, no repeats): the
      // same operations on contiguous memory, which vectorise.
      double* const wc = w + uc[b];
      const double* const u = upper + b;
      const std::int32_t len = e - b + 1;
      for (std::int32_t j = 0; j < len; ++j) wc[j] -= u[j] * l_rq;
    } else if (q >= first) {
      for (std::int32_t kc = b; kc <= e; ++kc) w[uc[kc]] -= upper[kc] * l_rq;
    } else {
      for (std::int32_t kc = b; kc <= e; ++kc) w[uc[kc]] -= rdc(q, uc[kc]) * l_rq;
    }
    if (std::abs(w[r]) < kCancellation * std::abs(diagonal)) int2::nilltr(r, ss) = true;
    diagonal = w[r];
  }
}

}  // namespace

void pattern_entries(e_s0::FillView pattern, std::int32_t first, std::int32_t n,
                     std::vector<std::int32_t>& rows, std::vector<std::int32_t>& cols) {
  rows.clear();
  cols.clear();
  if (first > n) return;
  const std::size_t count = static_cast<std::size_t>(n - first + 1);
  for (std::int32_t j = 1; j <= n; ++j) {
    const bool* const c = &pattern(first, j);
    std::size_t k = 0;
    while (k < count) {
      if (k + 8 <= count) {
        std::uint64_t word;
        std::memcpy(&word, c + k, sizeof word);
        if (word == 0) {
          k += 8;
          continue;
        }
      }
      const std::size_t stop = std::min(count, k + 8);
      for (; k < stop; ++k) {
        if (!c[k]) continue;
        const std::int32_t i = first + static_cast<std::int32_t>(k);
        if (i == j) continue;
        rows.push_back(i);
        cols.push_back(j);
      }
    }
  }
}

namespace {

// Workspace of build_index_lists, kept between calls (grown only when a
// subsystem needs more): the pattern of the rows listed, by row (entries of row
// i at at[start[i - first] ..]), a mark per column (the row last marked in), the
// lower columns of the row in hand still to meet (a heap, smallest on top) and
// its upper columns.
struct ListWorkspace {
  std::vector<std::int32_t> entry_row;
  std::vector<std::int32_t> entry_col;
  std::vector<std::int32_t> start;
  std::vector<std::int32_t> at;
  std::vector<std::int32_t> mark;
  std::vector<std::int32_t> pending;
  std::vector<std::int32_t> upper;
};

ListWorkspace& list_workspace() {
  static ListWorkspace w;
  return w;
}

// The entries of temfil in rows first..n, left by row, each row's columns
// ascending.
void read_pattern(std::int32_t first, std::int32_t n, e_s0::FillView temfil, ListWorkspace& w) {
  pattern_entries(temfil, first, n, w.entry_row, w.entry_col);
  const std::size_t rows = static_cast<std::size_t>(n - first + 1);
  // By row, stably (columns stay ascending).
  w.start.assign(rows + 1, 0);
  for (const std::int32_t i : w.entry_row) ++w.start[static_cast<std::size_t>(i - first) + 1];
  for (std::size_t r = 1; r <= rows; ++r) w.start[r] += w.start[r - 1];
  w.at.resize(w.entry_col.size());
  w.pending.assign(w.start.begin(), w.start.end() - 1);  // next free place by row
  for (std::size_t k = 0; k < w.entry_col.size(); ++k) {
    const std::size_t r = static_cast<std::size_t>(w.entry_row[k] - first);
    w.at[static_cast<std::size_t>(w.pending[r]++)] = w.entry_col[k];
  }
}

}  // namespace

void build_index_lists(std::int32_t ss, std::int32_t n, e_s0::FillView temfil, std::int32_t first) {
  using namespace sparse;
  const std::int32_t capacity = std::min(lcol.extent(1), ucol.extent(1));
  first = std::clamp(first, 1, std::max(n, 1));
  // The rows before first keep their lists: they continue from their ends.
  std::int64_t nl = first > 1 ? lend(first - 1, ss) : 0;
  std::int64_t nu = first > 1 ? uend(first - 1, ss) : 0;
  ListWorkspace& w = list_workspace();
  if (n >= first) read_pattern(first, n, temfil, w);
  if (w.mark.size() < static_cast<std::size_t>(n) + 1) w.mark.resize(static_cast<std::size_t>(n) + 1);
  std::fill(w.mark.begin(), w.mark.begin() + n + 1, 0);
  const auto later = std::greater<std::int32_t>();
  for (std::int32_t r = first; r <= n; ++r) {
    // The pattern of row r with its symbolic fill: the rows q it meets, in
    // ascending order so that fill found on the way is met too, each bring the
    // columns of their upper lists. Every column is written into temfil.
    w.pending.clear();
    w.upper.clear();
    const std::size_t row = static_cast<std::size_t>(r - first);
    const auto take = [&w, r, later](std::int32_t c) {
      if (w.mark[static_cast<std::size_t>(c)] == r) return;
      w.mark[static_cast<std::size_t>(c)] = r;
      if (c < r) {
        w.pending.push_back(c);
        std::push_heap(w.pending.begin(), w.pending.end(), later);
      } else if (c > r) {
        w.upper.push_back(c);
      }
    };
    for (std::int32_t k = w.start[row]; k < w.start[row + 1]; ++k) take(w.at[static_cast<std::size_t>(k)]);
    lbegin(r, ss) = static_cast<std::int32_t>(std::min<std::int64_t>(nl + 1, capacity + 1));
    while (!w.pending.empty()) {
      std::pop_heap(w.pending.begin(), w.pending.end(), later);
      const std::int32_t q = w.pending.back();
      w.pending.pop_back();
      ++nl;
      if (nl <= capacity) lcol(static_cast<std::int32_t>(nl), ss) = q;
      for (std::int32_t kc = ubegin(q, ss); kc <= uend(q, ss); ++kc) {
        const std::int32_t c = ucol(kc, ss);
        temfil(r, c) = true;
        take(c);
      }
    }
    lend(r, ss) = static_cast<std::int32_t>(std::min<std::int64_t>(nl, capacity));
    std::sort(w.upper.begin(), w.upper.end());
    ubegin(r, ss) = static_cast<std::int32_t>(std::min<std::int64_t>(nu + 1, capacity + 1));
    for (const std::int32_t c : w.upper) {
      ++nu;
      if (nu <= capacity) ucol(static_cast<std::int32_t>(nu), ss) = c;
    }
    uend(r, ss) = static_cast<std::int32_t>(std::min<std::int64_t>(nu, capacity));
  }
  // The size the lists need, recorded for the dimension report.
  const std::int64_t need = std::max(nl, nu) + 1;
  const std::int32_t need32 = static_cast<std::int32_t>(std::min<std::int64_t>(need, INT32_MAX));
  ndde::e_ndim(dim::sparsity) = std::max(ndde::e_ndim(dim::sparsity), need32);
  if (need > capacity) {
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                  "Sparsity dimension ND19 = " + std::to_string(ndde::nd19));
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                  " exceeded. It should be greater than " + std::to_string(need));
    wakro_quit("ITRIANG", 0);
  }
}

void eliminate_from(std::int32_t ss, std::int32_t m, std::int32_t n, e_s0::RealView rdc,
                    PackedFactors* pack) {
  using namespace sparse;
  // Each row is gathered once into a contiguous workspace, updated there by the
  // rows before it (their upper factors packed in list order: those of the rows
  // of this call, and with `pack` those of every row), pivoted and scaled, and
  // written back: the dense matrix is touched once per entry of a row instead of
  // twice per operation on it. The operations and their order are those of a
  // row-by-row elimination in place.
  RowWorkspace& ws = workspace(n, uend(n, ss));
  double* const w = ws.row.data();
  double* const upper = pack != nullptr ? pack->upper.data() - 1 : ws.upper.data();
  const std::int32_t first = pack != nullptr ? 1 : m;
  for (std::int32_t r = m; r <= n; ++r) {
    load_row(ss, r, rdc, w);
    if (r > 1) update_row(ss, r, first, rdc, w, upper);
    const double pivot = w[r];
    if (std::abs(pivot) < kZeroPivot) {
      store_row(ss, r, rdc, w, nullptr);
      singular(r, ss);
    }
    const double inv = 1.0 / pivot;
    w[r] = inv;
    for (std::int32_t kc = ubegin(r, ss); kc <= uend(r, ss); ++kc) {
      const std::int32_t c = ucol(kc, ss);
      w[c] *= inv;
      upper[kc] = w[c];
    }
    store_row(ss, r, rdc, w, pack);
  }
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

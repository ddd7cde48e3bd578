// mmat_inv: inverts in place the n x n slice k of a line matrix (first two
// extents the MFDTD conductor dimension), by Gauss-Jordan elimination with full
// pivoting.
//
// Works on a copy W of the slice (column-major, n x n), a use count per column
// and the row and column of each stage's pivot (all allocated per call: it runs
// at set-up only). Each stage takes the largest remaining entry (the last of
// equal ones, rows then columns in order) as its pivot, swaps it onto the
// diagonal and clears its column in every other row, building the inverse in
// the place of W; the column swaps are undone in reverse order at the end.
// Leaves: the inverse in slice k. A zero pivot (or no pivot at all, as with
// entries that are not numbers) is the singular-matrix error: the single-line
// message "Singular matrix encountered in MFDTD" and wakro_quit("MMAT_INV    ").
#include <cmath>
#include <utility>
#include <vector>

#include "diag/message.h"
#include "diag/quit.h"
#include "lines/line_setup.h"

namespace wakro::lines {
namespace {

[[noreturn]] void singular() {
  wakro_message(0, 0, msg::kError, msg::kSingleLine, "Singular matrix encountered in MFDTD");
  wakro_quit("MMAT_INV    ", 0);
}

}  // namespace

void mmat_inv(FArray<double, 3>& a, std::int32_t n, std::int32_t k) {
  if (n < 1) return;
  const auto un = static_cast<std::size_t>(n);
  std::vector<double> w(un * un);
  const auto W = [&w, un](std::int32_t r, std::int32_t c) -> double& {
    return w[static_cast<std::size_t>(c - 1) * un + static_cast<std::size_t>(r - 1)];
  };
  for (std::int32_t c = 1; c <= n; ++c)
    for (std::int32_t r = 1; r <= n; ++r) W(r, c) = a(r, c, k);
  std::vector<std::int32_t> used(un + 1, 0), pivot_row(un + 1, 0), pivot_col(un + 1, 0);

  for (std::int32_t stage = 1; stage <= n; ++stage) {
    // Step 1: the pivot, the largest entry of the rows and columns not yet used.
    double big = 0.0;
    std::int32_t pr = 0, pc = 0;
    for (std::int32_t r = 1; r <= n; ++r) {
      if (used[static_cast<std::size_t>(r)] == 1) continue;
      for (std::int32_t c = 1; c <= n; ++c) {
        const std::int32_t u = used[static_cast<std::size_t>(c)];
        if (u > 1) singular();
        if (u == 0 && std::abs(W(r, c)) >= big) {
          big = std::abs(W(r, c));
          pr = r;
          pc = c;
        }
      }
    }
    if (pr == 0) singular();

    // Step 2: the pivot onto the diagonal.
    ++used[static_cast<std::size_t>(pc)];
    if (pr != pc)
      for (std::int32_t c = 1; c <= n; ++c) std::swap(W(pr, c), W(pc, c));
    pivot_row[static_cast<std::size_t>(stage)] = pr;
    pivot_col[static_cast<std::size_t>(stage)] = pc;

    // Step 3: the pivot row scaled; the pivot's place takes the inverse's entry.
    if (W(pc, pc) == 0.0) singular();
    const double inv = 1.0 / W(pc, pc);
    W(pc, pc) = 1.0;
    for (std::int32_t c = 1; c <= n; ++c) W(pc, c) *= inv;

    // Step 4: the pivot column cleared in every other row.
    for (std::int32_t l = 1; l <= n; ++l) {
      if (l == pc) continue;
      const double d = W(l, pc);
      W(l, pc) = 0.0;
      for (std::int32_t c = 1; c <= n; ++c) W(l, c) -= d * W(pc, c);
    }
  }

  // Step 5: the column swaps undone, last first; the inverse back into slice k.
  for (std::int32_t stage = n; stage >= 1; --stage) {
    const std::int32_t r = pivot_row[static_cast<std::size_t>(stage)];
    const std::int32_t c = pivot_col[static_cast<std::size_t>(stage)];
    if (r != c)
      for (std::int32_t l = 1; l <= n; ++l) std::swap(W(l, r), W(l, c));
  }
  for (std::int32_t c = 1; c <= n; ++c)
    for (std::int32_t r = 1; r <= n; ++r) a(r, c, k) = W(r, c);
}

}  // namespace wakro::lines

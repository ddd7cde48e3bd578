// Dense work matrices of the winding formation (see winding_matrix.h).
//
// invert_in_place: Gauss-Jordan on the diagonal pivots p = 1 .. n in order.
// After the last pivot the matrix holds minus the inverse, which is then negated.
// stamp_windings: winding w runs from mcb(w, k) to ncb(w, k); its current is
// d(w, :) applied to the winding voltages, so at the terminals the admittance is
//   Y(from w, from j) = Y(to w, to j) = d(w, j),
//   Y(from w, to j)   = Y(to w, from j) = -d(w, j),
// a nodal admittance among the 2n terminals that the stamp turns into the form gm
// is in. Terminals at ground or shared by two windings are the stamp's concern.
#include "transformers/winding_matrix.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "model/e_s5.h"
#include "network/matrix.h"

namespace wakro::tf {

namespace {
// The terminals and their admittance, kept between calls so that a change at run
// time of a transformer no larger than one stamped (or reserved) before
// allocates nothing.
std::vector<std::int32_t> g_nodes;
std::vector<double> g_terminal_y;
}  // namespace

void reserve_stamp(std::int32_t n) {
  const auto nt = static_cast<std::size_t>(2 * std::max(n, 0));
  g_nodes.reserve(nt);
  g_terminal_y.reserve(nt * nt);
}

bool invert_in_place(Square& m, double limit) {
  const std::int32_t n = m.n;
  for (std::int32_t p = 1; p <= n; ++p) {
    // Step 1: the pivot (written so that a NaN fails).
    const double d = m(p, p);
    if (!(std::abs(d) >= limit)) return false;
    // Step 2: its reciprocal, negated.
    m(p, p) = -1.0 / d;
    const double mpp = m(p, p);
    // Step 3: the rest of the matrix.
    for (std::int32_t i = 1; i <= n; ++i) {
      if (i == p) continue;
      for (std::int32_t j = 1; j <= n; ++j) {
        if (j == p) continue;
        m(j, i) += m(p, i) * mpp * m(j, p);
      }
    }
    // Step 4: the pivot row and column.
    for (std::int32_t i = 1; i <= n; ++i) {
      if (i == p) continue;
      m(p, i) = -m(p, i) * mpp;
      m(i, p) = -mpp * m(i, p);
    }
  }
  for (double& x : m.a) x = -x;
  return true;
}

void multiply(const Square& a, const Square& b, Square& c) {
  const std::int32_t n = a.n;
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) {
      double s = 0.0;
      for (std::int32_t l = 1; l <= n; ++l) s += a(i, l) * b(l, j);
      c(i, j) = s;
    }
}

void stamp_windings(std::string_view caller, std::int32_t k, std::int32_t ss, const Square& d) {
  const std::int32_t n = d.n;
  if (n < 1) return;
  const std::int32_t nt = 2 * n;
  std::vector<std::int32_t>& nodes = g_nodes;
  std::vector<double>& y = g_terminal_y;
  e_s5::winding_terminals(k, nodes);
  y.assign(static_cast<std::size_t>(nt) * static_cast<std::size_t>(nt), 0.0);
  // Terminal 2w-1 is the from-node of winding w, 2w its to-node.
  auto at = [&](std::int32_t r, std::int32_t c) -> double& {
    return y[static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(nt) + static_cast<std::size_t>(r - 1)];
  };
  for (std::int32_t w = 1; w <= n; ++w)
    for (std::int32_t j = 1; j <= n; ++j) {
      const double dwj = d(w, j);
      at(2 * w - 1, 2 * j - 1) = dwj;
      at(2 * w, 2 * j) = dwj;
      at(2 * w - 1, 2 * j) = -dwj;
      at(2 * w, 2 * j - 1) = -dwj;
    }
  stamp_admittance(caller, ss, nodes, SymmetricAdmittance::dense(y, nt), AdmittanceMeaning::nodal);
}

}  // namespace wakro::tf

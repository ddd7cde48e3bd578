// Helpers of the tests of ideal branches, MNA elements and the sparse solver:
// ideal branches added the way the branch reader enters them, the sparse solver
// forced for every subsystem, and a dense reference solution of a resistive
// network with ideal branches (Gaussian elimination with partial pivoting over
// the node voltages and one current per ideal branch).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "model/ideal.h"
#include "net_fixture.h"
#include "network/klu_adapter.h"

namespace nettest {

// The closing block of wakro_quit for a 12-character tag.
inline std::string quit_block(const std::string& tag) {
  const std::string rule = " =========================================================\n";
  std::string padded = tag;
  padded.resize(12, ' ');
  return rule + " ERROR: Abnormal termination of WAKRO by " + padded + "\n" + rule + "  \n";
}

// A branch of the reference network: resistance r (0: ideal) and source e, with
// the engine's orientation: its current f -> t is (V(f) - V(t) + e) / r.
struct RefBranch {
  std::int32_t f = 0;
  std::int32_t t = 0;
  double r = 0.0;
  double e = 0.0;
};

// Node voltages 1..n of a resistive network with ideal branches and node
// injections inj (index 1..n; inj[0] unused).
inline std::vector<double> dense_solution(std::int32_t n, const std::vector<RefBranch>& brs,
                                          const std::vector<double>& inj) {
  std::int32_t nideal = 0;
  for (const RefBranch& b : brs)
    if (b.r == 0.0) ++nideal;
  const std::int32_t m = n + nideal;
  std::vector<std::vector<double>> a(m, std::vector<double>(m + 1, 0.0));
  auto add = [&](std::int32_t row, std::int32_t col, double v) {
    if (row > 0 && col > 0) a[row - 1][col - 1] += v;
  };
  auto rhs = [&](std::int32_t row, double v) {
    if (row > 0) a[row - 1][m] += v;
  };
  for (std::int32_t k = 1; k <= n; ++k) rhs(k, inj[static_cast<std::size_t>(k)]);
  std::int32_t r = n;
  for (const RefBranch& b : brs) {
    if (b.r != 0.0) {
      const double g = 1.0 / b.r;
      add(b.f, b.f, g), add(b.t, b.t, g), add(b.f, b.t, -g), add(b.t, b.f, -g);
      rhs(b.f, -g * b.e);
      rhs(b.t, g * b.e);
      continue;
    }
    ++r;  // current r leaves f, enters t; V(f) - V(t) = -e
    add(b.f, r, 1.0), add(b.t, r, -1.0), add(r, b.f, 1.0), add(r, b.t, -1.0);
    rhs(r, -b.e);
  }
  for (std::int32_t c = 0; c < m; ++c) {
    std::int32_t p = c;
    for (std::int32_t i = c + 1; i < m; ++i)
      if (std::abs(a[i][c]) > std::abs(a[p][c])) p = i;
    std::swap(a[c], a[p]);
    for (std::int32_t i = c + 1; i < m; ++i) {
      const double l = a[i][c] / a[c][c];
      for (std::int32_t j = c; j <= m; ++j) a[i][j] -= l * a[c][j];
    }
  }
  std::vector<double> x(m, 0.0);
  for (std::int32_t i = m - 1; i >= 0; --i) {
    double s = a[i][m];
    for (std::int32_t j = i + 1; j < m; ++j) s -= a[i][j] * x[j];
    x[i] = s / a[i][i];
  }
  std::vector<double> v(static_cast<std::size_t>(n) + 1, 0.0);
  for (std::int32_t k = 1; k <= n; ++k) v[static_cast<std::size_t>(k)] = x[k - 1];
  return v;
}

class SparseNetwork : public Network {
 protected:
  // An ideal branch f -> t with source voltage e, entered as the branch reader
  // enters one (no conductance, its pattern marked).
  std::int32_t add_ideal(std::int32_t ss, std::int32_t f, std::int32_t t, double e = 0.0) {
    const std::int32_t b = add_branch(ss, f, t, 0.0, 0.0, 0.0, 0.0, e);
    branches::idealbr(b, ss) = true;
    e_s0::idealss(ss) = true;
    return b;
  }

  // USE_SPARSE with SPARSE_LIMIT 0: every subsystem on the sparse solver.
  void force_sparse() {
    int3::enable_sparse = true;
    int3::sparse_limit = 0;
    set_klu();
  }
};

}  // namespace nettest

// The sparse solver adapter on its own: solutions against the exact inverse,
// leading dimensions larger than the order, singular matrices, re-factorisation
// from a row, order mismatch, slots of subsystems that are not 1..k, a pattern
// that grows after the analysis, pivots that degrade, the preparation of the
// working matrix, the release of the slots, and no allocation by KLU in a step.
#include <gtest/gtest.h>
#include <suitesparse/SuiteSparse_config.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "network/klu_adapter.h"
#include "support/shared_state.h"

namespace {

// A dense column-major matrix with its mask, leading dimension ld >= n; entries
// outside 1..n hold garbage that the adapter must not read.
struct Dense {
  std::int32_t n;
  std::int32_t ld;
  std::vector<double> a;
  std::vector<unsigned char> m;

  Dense(std::int32_t n_, std::int32_t ld_) : n(n_), ld(ld_), a(ld_ * ld_, 7.0e30), m(ld_ * ld_, 1) {
    for (std::int32_t j = 0; j < n; ++j)
      for (std::int32_t i = 0; i < n; ++i) {
        a[j * ld + i] = 0.0;
        m[j * ld + i] = 0;
      }
  }
  void set(std::int32_t i, std::int32_t j, double v) {  // 1-based
    a[(j - 1) * ld + (i - 1)] = v;
    m[(j - 1) * ld + (i - 1)] = 1;
  }
  const bool* mask() const { return reinterpret_cast<const bool*>(m.data()); }
  std::int32_t solve(bool first, std::int32_t refactor, std::int32_t ss, std::int32_t start,
                     std::vector<double>& x, std::int32_t order = -1) const {
    return c_lesolve(first, false, 0.0, refactor, ss, order < 0 ? n : order, start, a.data(), ld,
                     mask(), ld, x.data());
  }
};

// [[4,-1,0],[-1,4,-1],[0,-1,4]] in a frame of leading dimension 5.
Dense tridiagonal() {
  Dense d(3, 5);
  for (std::int32_t k = 1; k <= 3; ++k) d.set(k, k, 4.0);
  d.set(1, 2, -1.0), d.set(2, 1, -1.0), d.set(2, 3, -1.0), d.set(3, 2, -1.0);
  return d;
}

class SparseSolver : public ::testing::Test {
 protected:
  void SetUp() override { wakro_test::reset_shared_state(); }
  void TearDown() override { wakro_test::reset_shared_state(); }
};

TEST_F(SparseSolver, SolvesWithTheLeadingDimensionOfTheArrays) {
  const Dense d = tridiagonal();
  std::vector<double> x{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(true, 2, 1, 1, x), 0);
  EXPECT_NEAR(4.0 * x[0] - x[1], 1.0, 1e-14);
  EXPECT_NEAR(-x[0] + 4.0 * x[1] - x[2], 2.0, 1e-14);
  EXPECT_NEAR(-x[1] + 4.0 * x[2], 3.0, 1e-14);
  // The inverse is [[15, 4, 1], [4, 16, 4], [1, 4, 15]] / 56.
  EXPECT_NEAR(x[0], 26.0 / 56.0, 1e-15);
  EXPECT_NEAR(x[1], 48.0 / 56.0, 1e-15);
  EXPECT_NEAR(x[2], 54.0 / 56.0, 1e-15);
  EXPECT_EQ(wakro::sparse_solver_slots(), 1);
  // Solved again without a change: the factors are reused.
  const auto before = wakro::sparse_solver_counts();
  std::vector<double> y{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(false, 0, 1, 4, y), 0);
  EXPECT_EQ(y, x);
  EXPECT_EQ(wakro::sparse_solver_counts().factorisations, before.factorisations);
  EXPECT_EQ(wakro::sparse_solver_counts().refactorisations, before.refactorisations);
}

TEST_F(SparseSolver, SingularMatrixOnTheFirstStepReturnsMinusOneBeforeSolving) {
  Dense d(3, 3);
  for (std::int32_t j = 1; j <= 3; ++j) {
    d.set(1, j, static_cast<double>(j));
    d.set(2, j, static_cast<double>(j));  // row 2 equals row 1
    d.set(3, j, 1.0 + j * j);
  }
  std::vector<double> x{1.0, 2.0, 3.0};
  EXPECT_EQ(d.solve(true, 2, 1, 1, x), -1);
  EXPECT_EQ(x, (std::vector<double>{1.0, 2.0, 3.0}));
  EXPECT_EQ(wakro::sparse_solver_slots(), 0);  // nothing of the failure is kept
  // An empty row (an isolated node) is singular too.
  Dense e(2, 2);
  e.set(1, 1, 1.0);
  e.set(2, 2, 0.0);
  std::vector<double> y{1.0, 1.0};
  EXPECT_EQ(e.solve(true, 2, 1, 1, y), -1);
  // A re-factorisation that makes the matrix singular (row 3 becomes row 2).
  Dense t = tridiagonal();
  std::vector<double> z{1.0, 2.0, 3.0};
  ASSERT_EQ(t.solve(true, 2, 2, 1, z), 0);
  t.set(3, 1, -1.0), t.set(3, 2, 4.0), t.set(3, 3, -1.0);
  EXPECT_EQ(t.solve(false, 2, 2, 3, z), -1);
}

TEST_F(SparseSolver, RefactorisationFromARowEqualsAFreshBuild) {
  Dense d = tridiagonal();
  std::vector<double> x{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(true, 2, 1, 1, x), 0);
  d.set(3, 3, 9.0);
  d.set(3, 2, -2.0);
  std::vector<double> partial{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(false, 2, 1, 3, partial), 0);
  std::vector<double> fresh{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(true, 2, 2, 1, fresh), 0);  // a second subsystem, built whole
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(partial[k], fresh[k], 1e-15);
  EXPECT_NEAR(-2.0 * partial[1] + 9.0 * partial[2], 3.0, 1e-14);
  // Rows before the start row keep their stored values: a change there is not seen.
  d.set(1, 1, 100.0);
  std::vector<double> kept{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(false, 2, 1, 2, kept), 0);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(kept[k], fresh[k], 1e-15);
  // A different order is refused by the solve path.
  std::vector<double> four{1.0, 2.0, 3.0, 4.0};
  EXPECT_EQ(d.solve(false, 2, 1, 1, four, 2), -5);
  EXPECT_EQ(d.solve(false, 0, 1, 1, four, 2), -5);
}

TEST_F(SparseSolver, SubsystemsMayTakeTheSolverInAnyOrder) {
  const Dense d = tridiagonal();
  std::vector<double> x{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(true, 2, 3, 1, x), 0);
  EXPECT_EQ(wakro::sparse_solver_slots(), 1);
  // Later, subsystem 2 (whose slot was never built) is solved without a first step.
  std::vector<double> y{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(false, 2, 2, 1, y), 0);
  EXPECT_EQ(y, x);
  std::vector<double> z{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(false, 0, 3, 4, z), 0);
  EXPECT_EQ(z, x);
  EXPECT_EQ(wakro::sparse_solver_slots(), 2);
  wakro::release_sparse_solver();
  EXPECT_EQ(wakro::sparse_solver_slots(), 0);
}

TEST_F(SparseSolver, AnEntryOutsideTheAnalysedPatternIsAnalysedAgain) {
  Dense d = tridiagonal();
  std::vector<double> x{1.0, 0.0, 0.0};
  ASSERT_EQ(d.solve(true, 2, 1, 1, x), 0);
  const auto before = wakro::sparse_solver_counts();
  // A coupling 1 - 3 appears (rows 1 and 3) and row 2 loses its coupling to 3.
  d.set(1, 3, -2.0);
  d.set(3, 1, -2.0);
  d.m[2 * d.ld + 1] = 0;  // (2, 3) no longer an entry
  std::vector<double> y{1.0, 0.0, 0.0};
  ASSERT_EQ(d.solve(false, 2, 1, 1, y), 0);
  EXPECT_EQ(wakro::sparse_solver_counts().analyses, before.analyses + 1);
  // [[4,-1,-2],[-1,4,0],[-2,-1,4]] y = e1.
  EXPECT_NEAR(4.0 * y[0] - y[1] - 2.0 * y[2], 1.0, 1e-14);
  EXPECT_NEAR(-y[0] + 4.0 * y[1], 0.0, 1e-14);
  EXPECT_NEAR(-2.0 * y[0] - y[1] + 4.0 * y[2], 0.0, 1e-14);
  // The same pattern again: numeric only.
  d.set(1, 1, 5.0);
  std::vector<double> z{1.0, 0.0, 0.0};
  ASSERT_EQ(d.solve(false, 2, 1, 1, z), 0);
  EXPECT_EQ(wakro::sparse_solver_counts().analyses, before.analyses + 1);
  EXPECT_NEAR(5.0 * z[0] - z[1] - 2.0 * z[2], 1.0, 1e-14);
}

TEST_F(SparseSolver, APatternGrownFromALaterRowKeepsTheRowsBeforeIt) {
  Dense d = tridiagonal();
  std::vector<double> x{1.0, 0.0, 0.0};
  ASSERT_EQ(d.solve(true, 2, 1, 1, x), 0);
  const auto before = wakro::sparse_solver_counts();
  // Row 3 gains a coupling to node 1 and changes its diagonal; row 1 is changed in
  // the dense array too, but it lies before the start row and keeps its old values.
  d.set(3, 1, -2.0);
  d.set(3, 3, 5.0);
  d.set(1, 1, 100.0);
  std::vector<double> y{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(false, 2, 1, 3, y), 0);
  EXPECT_EQ(wakro::sparse_solver_counts().analyses, before.analyses + 1);
  // [[4,-1,0],[-1,4,-1],[-2,-1,5]] y = (1,2,3): y = (32, 59, 66) / 69.
  EXPECT_NEAR(y[0], 32.0 / 69.0, 1e-14);
  EXPECT_NEAR(y[1], 59.0 / 69.0, 1e-14);
  EXPECT_NEAR(y[2], 66.0 / 69.0, 1e-14);
  // The grown pattern stays: row 3 written again is numeric only.
  d.set(3, 1, -1.0);
  std::vector<double> z{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(false, 2, 1, 3, z), 0);
  EXPECT_EQ(wakro::sparse_solver_counts().analyses, before.analyses + 1);
  EXPECT_NEAR(-z[0] - z[1] + 5.0 * z[2], 3.0, 1e-14);
  EXPECT_NEAR(4.0 * z[0] - z[1], 1.0, 1e-14);
}

TEST_F(SparseSolver, APivotThatVanishesUnderNewValuesIsChosenAgain) {
  // [[1, 1], [1, 2]] factorised with the diagonal pivots; then (1,1) becomes 0,
  // which the old pivot order cannot take.
  Dense d(2, 2);
  d.set(1, 1, 1.0), d.set(1, 2, 1.0), d.set(2, 1, 1.0), d.set(2, 2, 2.0);
  std::vector<double> x{1.0, 1.0};
  ASSERT_EQ(d.solve(true, 2, 1, 1, x), 0);
  d.set(1, 1, 0.0);
  std::vector<double> y{1.0, 3.0};
  ASSERT_EQ(d.solve(false, 2, 1, 1, y), 0);
  // y2 = 1, y1 + 2 = 3.
  EXPECT_NEAR(y[0], 1.0, 1e-15);
  EXPECT_NEAR(y[1], 1.0, 1e-15);
}

TEST_F(SparseSolver, PreparationClearsTheStoredPatternAndCopiesTheConductances) {
  // The slot of subsystem 1 holds the tridiagonal pattern; rdc (leading dimension
  // 4) holds 9 everywhere; gm and filled of leading dimension 5.
  const Dense d = tridiagonal();
  std::vector<double> x{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(true, 2, 1, 1, x), 0);
  std::vector<double> rdc(16, 9.0);
  Dense gm(3, 5);
  gm.set(2, 2, 3.0), gm.set(2, 1, 1.5), gm.set(3, 3, 2.0), gm.set(1, 1, 8.0), gm.set(3, 1, 0.5);
  ASSERT_EQ(c_cpygm(0, 1, 3, 2, rdc.data(), 4, gm.a.data(), 5, gm.mask(), 5), 0);
  auto at = [&](int i, int j) { return rdc[(j - 1) * 4 + (i - 1)]; };
  // Row 1 untouched.
  for (int j = 1; j <= 4; ++j) EXPECT_EQ(at(1, j), 9.0);
  // Rows 2, 3: -gm at the filled entries, 0 at the rest of the stored pattern,
  // untouched elsewhere ((3, 1) is filled but not stored: written).
  EXPECT_EQ(at(2, 2), -3.0);
  EXPECT_EQ(at(2, 1), -1.5);
  EXPECT_EQ(at(2, 3), 0.0);
  EXPECT_EQ(at(3, 3), -2.0);
  EXPECT_EQ(at(3, 2), 0.0);
  EXPECT_EQ(at(3, 1), -0.5);
  EXPECT_EQ(at(4, 1), 9.0);  // beyond the order
  // Mode 1 writes only at the stored pattern: (3, 1) is not in it.
  std::vector<double> rdc1(16, 9.0);
  ASSERT_EQ(c_cpygm(1, 1, 3, 2, rdc1.data(), 4, gm.a.data(), 5, gm.mask(), 5), 0);
  EXPECT_EQ(rdc1[(1 - 1) * 4 + 2], 9.0);
  EXPECT_EQ(rdc1[(2 - 1) * 4 + 1], -3.0);
  // Without a slot whole rows are cleared.
  std::vector<double> rdc2(16, 9.0);
  ASSERT_EQ(c_cpygm(0, 5, 3, 3, rdc2.data(), 4, gm.a.data(), 5, gm.mask(), 5), 0);
  EXPECT_EQ(rdc2[(2 - 1) * 4 + 2], 0.0);
  EXPECT_EQ(rdc2[(3 - 1) * 4 + 2], -2.0);
  EXPECT_EQ(rdc2[(2 - 1) * 4 + 1], 9.0);
}

// With the rows' pattern known to lie within the stored one, the preparation
// writes what mode 0 writes, and the next re-factorisation packs over the stored
// positions what the walk over the masks packs: a stored position the mask no
// longer has takes 0. The knowledge lasts for that one re-factorisation: a later
// mask with a new position still makes the pattern grow.
TEST_F(SparseSolver, PatternWithinTheStoredOneIsPreparedAndPackedAsByTheMasks) {
  const Dense d = tridiagonal();
  std::vector<double> x{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(true, 2, 1, 1, x), 0);  // slot 1: walks the masks
  ASSERT_EQ(d.solve(true, 2, 2, 1, x), 0);  // slot 2: told the pattern lies within
  Dense gm(3, 5);
  gm.set(2, 2, 3.0), gm.set(2, 1, 1.5), gm.set(3, 3, 2.0);  // (2, 3), (3, 2) no longer filled
  std::vector<double> walked(16, 9.0);
  std::vector<double> within(16, 9.0);
  ASSERT_EQ(c_cpygm(0, 1, 3, 2, walked.data(), 4, gm.a.data(), 5, gm.mask(), 5), 0);
  ASSERT_EQ(c_cpygm(kWithinStoredPattern, 2, 3, 2, within.data(), 4, gm.a.data(), 5, gm.mask(), 5),
            0);
  EXPECT_EQ(within, walked);
  EXPECT_EQ(within[(2 - 1) * 4 + 2], 0.0);  // (3, 2): stored, not filled

  // The working matrix of both: row 1 as before, rows 2 and 3 from the preparation
  // with a diagonal of 5; the mask drops (2, 3) and (3, 2).
  Dense w(3, 5);
  w.set(1, 1, 4.0), w.set(1, 2, -1.0), w.set(2, 1, -1.5), w.set(2, 2, 5.0), w.set(3, 3, 5.0);
  const auto before = wakro::sparse_solver_counts();
  std::vector<double> y1{1.0, 2.0, 3.0};
  std::vector<double> y2 = y1;
  ASSERT_EQ(w.solve(false, 2, 1, 2, y1), 0);
  ASSERT_EQ(w.solve(false, 2, 2, 2, y2), 0);
  EXPECT_EQ(wakro::sparse_solver_counts().analyses, before.analyses);
  EXPECT_EQ(y2, y1);
  // [[4, -1, 0], [-1.5, 5, 0], [0, 0, 5]] y = (1, 2, 3): y3 = 0.6, y1 = 7 / 18.5.
  EXPECT_NEAR(y2[2], 0.6, 1e-15);
  EXPECT_NEAR(y2[0], 7.0 / 18.5, 1e-15);

  // Told nothing now: a new position (3, 1) makes the pattern grow.
  w.set(3, 1, -0.5);
  std::vector<double> y3{1.0, 2.0, 3.0};
  ASSERT_EQ(w.solve(false, 2, 2, 2, y3), 0);
  EXPECT_EQ(wakro::sparse_solver_counts().analyses, before.analyses + 1);
}

// SuiteSparse allocations counted through its configuration.
int g_klu_allocations = 0;
void* counting_malloc(std::size_t n) {
  ++g_klu_allocations;
  return std::malloc(n);
}
void* counting_calloc(std::size_t n, std::size_t s) {
  ++g_klu_allocations;
  return std::calloc(n, s);
}
void* counting_realloc(void* p, std::size_t n) {
  ++g_klu_allocations;
  return std::realloc(p, n);
}

TEST_F(SparseSolver, ReFactorisationAndSolveAllocateNothing) {
  const auto saved = SuiteSparse_config;
  SuiteSparse_config.malloc_func = &counting_malloc;
  SuiteSparse_config.calloc_func = &counting_calloc;
  SuiteSparse_config.realloc_func = &counting_realloc;
  Dense d = tridiagonal();
  std::vector<double> x{1.0, 2.0, 3.0};
  ASSERT_EQ(d.solve(true, 2, 1, 1, x), 0);
  const int built = g_klu_allocations;
  EXPECT_GT(built, 0);
  for (int k = 0; k < 20; ++k) {
    d.set(2, 2, 4.0 + 0.1 * k);
    std::vector<double> y{1.0, 2.0, 3.0};
    ASSERT_EQ(d.solve(false, 2, 1, 2, y), 0);
    EXPECT_NEAR(-y[0] + (4.0 + 0.1 * k) * y[1] - y[2], 2.0, 1e-14);
  }
  EXPECT_EQ(g_klu_allocations, built);
  wakro::release_sparse_solver();
  SuiteSparse_config = saved;
}

}  // namespace

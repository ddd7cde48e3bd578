// The small matrix helpers: the worked inverses, the pivot choice of the full
// pivoting, the determinant, singular matrices and the scaled product.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "block_bench.h"
#include "blocks/matrix.h"

namespace blocks_test {
namespace {

// Column-major n-by-n matrix from its rows.
std::vector<double> from_rows(std::int32_t n, const std::vector<double>& rows) {
  std::vector<double> a(static_cast<std::size_t>(n) * n);
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j < n; ++j) a[j * n + i] = rows[i * n + j];
  return a;
}

TEST(Matinv, TheWorkedTwoByTwoExample) {
  const std::vector<double> a = from_rows(2, {4, 7, 2, 6});
  const std::vector<double> keep = a;
  std::vector<double> inv(4, -1.0), work(4), x(4);
  std::array<std::int32_t, 2> l{}, m{};
  ASSERT_TRUE(matinv(a.data(), inv.data(), 2, x.data(), work.data(), l.data(), m.data()));
  const std::vector<double> expected = from_rows(2, {0.6, -0.7, -0.2, 0.4});
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(inv[k], expected[k], 1e-15) << k;
  EXPECT_EQ(a, keep);
}

TEST(Minv, PivotsOnTheLargestElementAndGivesTheDeterminant) {
  // Rows (0, 1), (1, 0): the first pivot is found at (2, 1) in the column scan.
  std::vector<double> a = from_rows(2, {0, 1, 1, 0});
  std::array<std::int32_t, 2> l{}, m{};
  double d = 0.0;
  ASSERT_TRUE(minv(a.data(), nullptr, 2, d, l.data(), m.data()));
  EXPECT_EQ(d, -1.0);
  EXPECT_EQ(a, from_rows(2, {0, 1, 1, 0}));
  EXPECT_EQ(l[0], 2);
  EXPECT_EQ(m[0], 1);
}

TEST(Minv, EqualMagnitudesKeepTheDiagonalPivots) {
  // Rows (1, 1, 1), (1, -1, 1), (1, 1, -1): determinant 4; a tie never moves the
  // pivot, so every step pivots on its diagonal element.
  std::vector<double> a = from_rows(3, {1, 1, 1, 1, -1, 1, 1, 1, -1});
  std::array<std::int32_t, 3> l{}, m{};
  double d = 0.0;
  ASSERT_TRUE(minv(a.data(), nullptr, 3, d, l.data(), m.data()));
  EXPECT_DOUBLE_EQ(d, 4.0);
  EXPECT_EQ(l[0], 1);
  EXPECT_EQ(m[0], 1);
  const std::vector<double> expected = from_rows(3, {0, 0.5, 0.5, 0.5, -0.5, 0, 0.5, 0, -0.5});
  for (int k = 0; k < 9; ++k) EXPECT_NEAR(a[k], expected[k], 1e-15) << k;
}

TEST(Minv, ASingularMatrixIsReported) {
  // A zero matrix: D = 0 after the first search, the matrix untouched.
  std::vector<double> zero(9, 0.0);
  std::array<std::int32_t, 3> l{}, m{};
  double d = 5.0;
  EXPECT_FALSE(minv(zero.data(), nullptr, 3, d, l.data(), m.data()));
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(zero, std::vector<double>(9, 0.0));
  // Rank 1: matinv reports it and leaves the result as it was.
  const std::vector<double> a = from_rows(2, {1, 2, 2, 4});
  std::vector<double> inv(4, 7.0), work(4);
  EXPECT_FALSE(matinv(a.data(), inv.data(), 2, nullptr, work.data(), l.data(), m.data()));
  EXPECT_EQ(inv, std::vector<double>(4, 7.0));
}

TEST(Matinv, ACallerThatNeedsTheInverseStopsOnASingularMatrix) {
  BlockBench bench(1e-3);
  const std::vector<double> a = from_rows(2, {1, 2, 2, 4});
  std::vector<double> inv(4), work(4);
  std::array<std::int32_t, 2> l{}, m{};
  const wakro_test::Outcome o = wakro_test::run_captured(
      [&] { matinv_or_stop("SVC", a.data(), inv.data(), 2, nullptr, work.data(), l.data(), m.data()); });
  EXPECT_EQ(o.status, 2000);
  const std::vector<std::string> lines = lines_of(o.console);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], " ***ERROR** Matrix is singular and cannot be inverted.");
  EXPECT_EQ(lines[2], " ERROR: Abnormal termination of WAKRO by SVC         ");
}

TEST(Matinv, LargerMatricesTimesTheirInverseGiveTheIdentity) {
  // Three on a permutation ((i + 3j) mod n = 0, off the diagonal) plus a small
  // full pattern: well conditioned, with off-diagonal pivots; no random numbers.
  for (std::int32_t n : {5, 8, 10}) {
    SCOPED_TRACE(n);
    std::vector<double> a(static_cast<std::size_t>(n) * n);
    for (std::int32_t j = 0; j < n; ++j)
      for (std::int32_t i = 0; i < n; ++i)
        a[j * n + i] = 0.3 * std::sin(1.0 + 0.7 * i + 1.3 * i * j) + ((i + 3 * j) % n == 0 ? 3.0 : 0.0);
    std::vector<double> inv(a.size()), work(a.size()), prod(a.size());
    std::vector<std::int32_t> l(n), m(n);
    ASSERT_TRUE(matinv(a.data(), inv.data(), n, nullptr, work.data(), l.data(), m.data()));
    mymatmul(inv.data(), a.data(), n, n, n, prod.data(), 1.0);
    for (std::int32_t j = 0; j < n; ++j)
      for (std::int32_t i = 0; i < n; ++i) EXPECT_NEAR(prod[j * n + i], i == j ? 1.0 : 0.0, 1e-12);
  }
}

TEST(Mymatmul, ScaledProducts) {
  const std::vector<double> eye = from_rows(2, {1, 0, 0, 1});
  std::vector<double> y(4, -1.0);
  mymatmul(eye.data(), eye.data(), 2, 2, 2, y.data(), 2.0);
  EXPECT_EQ(y, from_rows(2, {2, 0, 0, 2}));
  // A 2-by-3 times a 3-by-1.
  const std::vector<double> a = {1, 4, 2, 5, 3, 6};  // rows (1, 2, 3), (4, 5, 6)
  const std::vector<double> b = {1, 0, -1};
  std::vector<double> c(2, 0.0);
  mymatmul(a.data(), b.data(), 2, 3, 1, c.data(), 0.5);
  EXPECT_EQ(c, (std::vector<double>{-1.0, -1.0}));
  // M = 0: a zero 2-by-2; N = 0: nothing written.
  std::vector<double> z(4, 9.0);
  mymatmul(nullptr, nullptr, 2, 0, 2, z.data(), 1.0);
  EXPECT_EQ(z, std::vector<double>(4, 0.0));
  std::vector<double> untouched(4, 9.0);
  mymatmul(nullptr, nullptr, 0, 2, 2, untouched.data(), 1.0);
  EXPECT_EQ(untouched, std::vector<double>(4, 9.0));
  std::vector<std::int32_t> l(1), m(1);
  EXPECT_TRUE(matinv(nullptr, untouched.data(), 0, nullptr, nullptr, l.data(), m.data()));
  EXPECT_EQ(untouched, std::vector<double>(4, 9.0));
}

}  // namespace
}  // namespace blocks_test

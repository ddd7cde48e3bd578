// The sparse solver adapter: KLU (with AMD, COLAMD and BTF) factorises and solves
// the working matrix of a subsystem; CXSparse packs it into compressed columns.
//
// Matrices arrive as dense column-major arrays with their own leading dimension
// and a one-byte mask of the same shape (non-zero = entry present); only rows and
// columns 1..n are read. Per subsystem the adapter keeps a slot: the compressed
// matrix as last packed, the KLU analysis of its pattern and the numeric factors.
// Return codes of every entry:
//    0 success
//   -1 matrix singular (or its analysis failed)
//   -2 memory or building failure
//   -3 matrix too large
//   -4 any other factorisation failure
//   -5 the solve failed, or the order differs from the stored matrix's order
#pragma once

#include <cstddef>
#include <cstdint>

// Solves matrix * x = b in place (x holds b on entry) for subsystem ss of order n.
// At the first solution of a run (firststep) the slot is built again from the
// whole matrix; otherwise refactor != 0 packs rows start..n again from the dense
// matrix (rows before start keep their stored values) and factorises numerically.
// time is not used.
// Without a dense matrix (matrix and mask nullptr) the stored matrix is the one
// the caller assembled (sparse_new_pattern, values written through
// sparse_matrix): a new pattern is analysed and factorised, refactor != 0
// re-factorises the stored values; -2 when there is no stored matrix.
std::int32_t c_lesolve(bool firststep, bool laststep, double time, std::int32_t refactor,
                       std::int32_t ss, std::int32_t n, std::int32_t start, const double* matrix,
                       std::int32_t ld_matrix, const bool* mask, std::int32_t ld_mask, double* x);

// Prepares rows start..n of the dense working matrix rdc of subsystem ss from gm:
// clears the positions of the slot's stored pattern in those rows (whole rows when
// the subsystem has no slot yet), then writes rdc := -gm where filled is set
// (mode 0), at the stored pattern's positions (mode 1 and any mode not named
// here), or, with mode kWithinStoredPattern, where filled is set among the stored
// positions: the caller knows that filled and the mask of the next solve hold no
// position of those rows outside the stored pattern, so neither this call nor the
// next re-factorisation walks the dense masks (without a slot of order n it acts
// as mode 0). Returns 0 (also when an array is missing or smaller than the order,
// which leaves rdc untouched).
inline constexpr std::int32_t kWithinStoredPattern = 2;
std::int32_t c_cpygm(std::int32_t mode, std::int32_t ss, std::int32_t n, std::int32_t start,
                     double* rdc, std::int32_t ld_rdc, const double* gm, std::int32_t ld_gm,
                     const bool* filled, std::int32_t ld_filled);

namespace wakro {

// Frees every slot (matrices, analyses, factors). Runs by itself at the end of the
// program; call it when the dimensions are read again. Never inside a step.
void release_sparse_solver();

// Frees the slot of subsystem ss (matrix, analysis, factors): its next solve
// packs, analyses and factorises it anew, as the first solve of a run does, so
// that the factors and their pivot order follow from the matrix it is given
// alone, not from the run's earlier factorisations. Only between steps.
void release_sparse_slot(std::int32_t ss);

// Number of subsystems that hold a built slot (for the checks of the release).
std::int32_t sparse_solver_slots();

// How many symbolic analyses and full (pivoting) factorisations the adapter has
// made since the start of the process: the re-factorisations of a step reuse the
// analysis and the pivot order unless the pattern grew or the pivots degraded.
struct SparseSolverCounts {
  std::int64_t analyses = 0;
  std::int64_t factorisations = 0;
  std::int64_t refactorisations = 0;
};
SparseSolverCounts sparse_solver_counts();

// The smallest pivot magnitude of subsystem ss's last factors, taken back to the
// unscaled matrix (0 when it has none): the solution compares it with the own
// elimination's zero-pivot limit, so that both solvers refuse the same matrices.
double sparse_smallest_pivot(std::int32_t ss);

// The compressed-column matrix of subsystem ss as the adapter stores it (0-based,
// rows ascending within each column): n = 0 when the subsystem has no stored
// matrix.
// pattern changes whenever the stored pattern is replaced (a new slot, a pattern
// that grew), so that positions found in it are known to be stale. The values may
// be written through x; after such writes, sparse_values_written makes the next
// re-factorisation take the stored values as they stand instead of packing rows
// from the dense matrix.
struct SparseMatrixRef {
  std::int32_t n = 0;
  const std::int32_t* p = nullptr;
  const std::int32_t* i = nullptr;
  double* x = nullptr;
  std::int64_t pattern = 0;
};
SparseMatrixRef sparse_matrix(std::int32_t ss);
void sparse_values_written(std::int32_t ss);

// The assembly of a subsystem without a dense matrix. sparse_new_pattern makes
// the stored matrix of ss of order n hold the positions set in the mask
// (column-major, leading dimension ld_mask, rows and columns 1..n), every
// diagonal and the pairs (rows(k), cols(k)) (1-based), all with value 0, to be
// analysed at the next solve; with keep_stored the positions stored before stay
// too (a grown pattern). A null mask adds no positions (a pattern given by
// the pairs and the diagonal alone). False when the memory cannot be had (nothing is then
// stored). sparse_pattern_holds: the stored matrix of ss has order n and every
// position set in the mask in rows start..n.
bool sparse_new_pattern(std::int32_t ss, std::int32_t n, const bool* mask, std::int32_t ld_mask,
                        const std::int32_t* rows, const std::int32_t* cols, std::size_t pairs,
                        bool keep_stored);
bool sparse_pattern_holds(std::int32_t ss, std::int32_t n, std::int32_t start, const bool* mask,
                          std::int32_t ld_mask);

// Position in x of entry (row, col) (1-based) of a stored matrix; -1 when the
// stored pattern lacks it or the entry is outside the order.
std::int32_t sparse_position(const SparseMatrixRef& a, std::int32_t row, std::int32_t col);

}  // namespace wakro

// The sparse solver adapter over KLU (see klu_adapter.h for the entries and codes).
//
// Workspace: one slot per subsystem (slot k-1 for subsystem k) holding
//   a         the compressed-column matrix as last packed, rows ascending within
//             each column (built with CXSparse),
//   symbolic  the KLU analysis of a's pattern (AMD / COLAMD ordering, BTF),
//   numeric   the KLU factors of a's values,
// and one KLU control block (defaults, partial-pivoting tolerance 0.1). Slots are
// owned here and freed at the end of the program or by release_sparse_solver.
//
// Steps of a solve:
//   1. first solution of a run, or no slot yet: pack the whole masked matrix,
//      analyse and factorise (every run starts from a fresh analysis);
//   2. re-factorisation: the values of rows start..n are written into the stored
//      matrix in place, and KLU re-factorises with the pivot order it has. A
//      masked position that the stored pattern lacks (the pattern grew: an ideal
//      collapse, a coupling a component added) makes the matrix packed again over
//      the union of both patterns and analysed again. Pivots that degraded under
//      the new values (or a zero pivot) make KLU choose its pivots again;
//   3. solve in place.
// A step that only re-factorises and solves allocates nothing.
#include "network/klu_adapter.h"

#include <cs.h>
#include <klu.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

namespace {

constexpr double kPivotTolerance = 0.1;
// A re-factorisation whose reciprocal pivot growth fell below this fraction of the
// growth of the last pivoting factorisation chooses its pivots again.
constexpr double kGrowthDrop = 1.0e-6;

struct Slot {
  cs_di* a = nullptr;
  klu_symbolic* symbolic = nullptr;
  klu_numeric* numeric = nullptr;
  std::int32_t n = 0;
  double growth = 1.0;      // reciprocal pivot growth of the last pivoting factorisation
  double smallest = 0.0;    // smallest |pivot| of the unscaled matrix in the last factors
  bool first_step = false;  // built during the first step of the present run
  // First row (0-based) from which the masks of the next re-factorisation lie
  // within the stored pattern, as c_cpygm was told; -1: not known.
  std::int32_t within_from = -1;
  // The stored values were written in place (sparse_values_written): the next
  // re-factorisation packs nothing from the dense matrix.
  bool values_written = false;
  std::int64_t pattern = 0;  // number of the stored pattern (see SparseMatrixRef)

  bool built() const { return a != nullptr && symbolic != nullptr; }
};

struct Adapter {
  klu_common common{};
  std::vector<Slot> slots;
  wakro::SparseSolverCounts counts;
  std::int64_t patterns = 0;  // stored patterns made since the start of the process

  Adapter() { set_defaults(); }
  ~Adapter() { release_all(); }
  Adapter(const Adapter&) = delete;
  Adapter& operator=(const Adapter&) = delete;

  void set_defaults() {
    klu_defaults(&common);
    common.tol = kPivotTolerance;
  }
  void free_numeric(Slot& s) {
    if (s.numeric != nullptr) klu_free_numeric(&s.numeric, &common);
    s.numeric = nullptr;
  }
  void free_slot(Slot& s) {
    free_numeric(s);
    if (s.symbolic != nullptr) klu_free_symbolic(&s.symbolic, &common);
    s.symbolic = nullptr;
    if (s.a != nullptr) cs_di_spfree(s.a);
    s.a = nullptr;
    s.n = 0;
    s.growth = 1.0;
    s.smallest = 0.0;
    s.first_step = false;
    s.within_from = -1;
    s.values_written = false;
  }
  void release_all() {
    for (Slot& s : slots) free_slot(s);
    slots.clear();
    slots.shrink_to_fit();
  }
};

Adapter& adapter() {
  static Adapter instance;
  return instance;
}

// Code of a failed factorisation from KLU's status.
std::int32_t factor_failure(const klu_common& c) {
  switch (c.status) {
    case KLU_SINGULAR:
      return -1;
    case KLU_OUT_OF_MEMORY:
      return -2;
    case KLU_TOO_LARGE:
      return -3;
    default:
      return -4;
  }
}

// Column j of a dense column-major array with leading dimension ld.
template <class T>
T* column(T* base, std::int32_t ld, std::int32_t j) {
  return base + static_cast<std::ptrdiff_t>(j) * ld;
}

// First row >= i (0-based, below n) whose mask byte is set in column col; n when
// none. Eight mask bytes are tested at a time while eight remain.
std::int32_t next_masked(const bool* col, std::int32_t i, std::int32_t n) {
  static_assert(sizeof(bool) == 1, "one mask byte per entry");
  while (i + 8 <= n) {
    std::uint64_t block = 0;
    std::memcpy(&block, col + i, sizeof block);
    if (block != 0) break;
    i += 8;
  }
  while (i < n && !col[i]) ++i;
  return i;
}

// A compressed matrix from a triplet matrix; nullptr when it cannot be had.
cs_di* compress(cs_di* triplet) {
  if (triplet == nullptr) return nullptr;
  cs_di* c = cs_di_compress(triplet);
  cs_di_spfree(triplet);
  return c;
}

// Step 1: the whole masked matrix in compressed columns (rows ascending).
cs_di* build_full(std::int32_t n, const double* matrix, std::int32_t ldm, const bool* mask,
                  std::int32_t ldk) {
  std::int32_t nz = 0;
  for (std::int32_t j = 0; j < n; ++j) {
    const bool* mcol = column(mask, ldk, j);
    for (std::int32_t i = next_masked(mcol, 0, n); i < n; i = next_masked(mcol, i + 1, n)) ++nz;
  }
  cs_di* t = cs_di_spalloc(n, n, nz > 0 ? nz : 1, 1, 1);
  if (t == nullptr) return nullptr;
  for (std::int32_t j = 0; j < n; ++j) {
    const bool* mcol = column(mask, ldk, j);
    const double* vcol = column(matrix, ldm, j);
    for (std::int32_t i = next_masked(mcol, 0, n); i < n; i = next_masked(mcol, i + 1, n)) {
      if (!cs_di_entry(t, i, j, vcol[i])) {
        cs_di_spfree(t);
        return nullptr;
      }
    }
  }
  return compress(t);
}

// Step 2, pattern grew: the stored entries of rows before start0 with their values,
// and for rows from start0 on the union of the stored and the masked rows, taking
// the dense value where masked and 0 elsewhere.
cs_di* build_union(const cs_di* old, std::int32_t start0, const double* matrix, std::int32_t ldm,
                   const bool* mask, std::int32_t ldk) {
  const std::int32_t n = old->n;
  cs_di* t = cs_di_spalloc(n, n, old->nzmax + n, 1, 1);
  if (t == nullptr) return nullptr;
  for (std::int32_t j = 0; j < n; ++j) {
    const bool* mcol = column(mask, ldk, j);
    const double* vcol = column(matrix, ldm, j);
    std::int32_t p = old->p[j];
    const std::int32_t end = old->p[j + 1];
    bool ok = true;
    for (; p < end && old->i[p] < start0; ++p) ok = ok && cs_di_entry(t, old->i[p], j, old->x[p]);
    std::int32_t i = next_masked(mcol, start0, n);
    while (ok && (p < end || i < n)) {
      const std::int32_t stored = p < end ? old->i[p] : n;
      if (i <= stored) {
        ok = cs_di_entry(t, i, j, vcol[i]);
        if (stored == i) ++p;
        i = next_masked(mcol, i + 1, n);
      } else {
        ok = cs_di_entry(t, stored, j, 0.0);
        ++p;
      }
    }
    if (!ok) {
      cs_di_spfree(t);
      return nullptr;
    }
  }
  return compress(t);
}

// Step 2: rows from start0 written into the stored matrix. False when a masked
// position is not stored (the pattern grew); stored positions that are no longer
// masked take 0.
bool repack_in_place(cs_di* a, std::int32_t start0, const double* matrix, std::int32_t ldm,
                     const bool* mask, std::int32_t ldk) {
  const std::int32_t n = a->n;
  for (std::int32_t j = 0; j < n; ++j) {
    const bool* mcol = column(mask, ldk, j);
    const double* vcol = column(matrix, ldm, j);
    std::int32_t p = a->p[j];
    const std::int32_t end = a->p[j + 1];
    while (p < end && a->i[p] < start0) ++p;
    for (std::int32_t i = next_masked(mcol, start0, n); i < n; i = next_masked(mcol, i + 1, n)) {
      while (p < end && a->i[p] < i) a->x[p++] = 0.0;
      if (p == end || a->i[p] != i) return false;
      a->x[p++] = vcol[i];
    }
    for (; p < end; ++p) a->x[p] = 0.0;
  }
  return true;
}

// Step 2, masks known to lie within the stored pattern: rows from start0 written
// at the stored positions only (a masked one takes the dense value, the others
// 0), which is what repack_in_place leaves, without walking the masks.
void repack_stored(cs_di* a, std::int32_t start0, const double* matrix, std::int32_t ldm,
                   const bool* mask, std::int32_t ldk) {
  for (std::int32_t j = 0; j < a->n; ++j) {
    const bool* mcol = column(mask, ldk, j);
    const double* vcol = column(matrix, ldm, j);
    for (std::int32_t p = a->p[j]; p < a->p[j + 1]; ++p) {
      const std::int32_t i = a->i[p];
      if (i >= start0) a->x[p] = mcol[i] ? vcol[i] : 0.0;
    }
  }
}

// The smallest pivot magnitude of the factors taken back to the unscaled matrix:
// KLU factorises the rows divided by their scale factors Rs, so the k-th pivot of
// the unscaled matrix in the same order is Udiag(k) x Rs(Pnum(k)).
double smallest_pivot(const klu_numeric& f) {
  const auto* u = static_cast<const double*>(f.Udiag);
  double smallest = -1.0;
  for (std::int32_t k = 0; k < f.n; ++k) {
    const double scale = f.Rs != nullptr ? f.Rs[f.Pnum[k]] : 1.0;
    const double p = std::fabs(u[k] * scale);
    if (smallest < 0.0 || p < smallest) smallest = p;
  }
  return smallest < 0.0 ? 0.0 : smallest;
}

// A pivoting factorisation of the slot's matrix with its analysis.
std::int32_t factor_fresh(Adapter& ad, Slot& s) {
  ad.free_numeric(s);
  s.numeric = klu_factor(s.a->p, s.a->i, s.a->x, s.symbolic, &ad.common);
  ++ad.counts.factorisations;
  if (s.numeric == nullptr) return factor_failure(ad.common);
  s.smallest = smallest_pivot(*s.numeric);
  s.growth = 1.0;
  if (klu_rgrowth(s.a->p, s.a->i, s.a->x, s.symbolic, s.numeric, &ad.common))
    s.growth = ad.common.rgrowth;
  return 0;
}

// A new analysis of the slot's pattern, then a pivoting factorisation.
std::int32_t analyse_and_factor(Adapter& ad, Slot& s) {
  ad.free_numeric(s);
  if (s.symbolic != nullptr) klu_free_symbolic(&s.symbolic, &ad.common);
  s.symbolic = klu_analyze(s.n, s.a->p, s.a->i, &ad.common);
  ++ad.counts.analyses;
  if (s.symbolic == nullptr) return -1;
  return factor_fresh(ad, s);
}

// Step 1: the slot built from the whole matrix. On failure nothing is kept.
std::int32_t init_slot(Adapter& ad, Slot& s, std::int32_t n, const double* matrix, std::int32_t ldm,
                       const bool* mask, std::int32_t ldk) {
  ad.free_slot(s);
  s.a = build_full(n, matrix, ldm, mask, ldk);
  if (s.a == nullptr) return -2;
  s.n = n;
  s.pattern = ++ad.patterns;
  const std::int32_t code = analyse_and_factor(ad, s);
  if (code != 0) ad.free_slot(s);
  return code;
}

// Step 2: numeric re-factorisation of rows from start0 on.
std::int32_t refactor_slot(Adapter& ad, Slot& s, std::int32_t start0, const double* matrix,
                           std::int32_t ldm, const bool* mask, std::int32_t ldk) {
  const bool within = s.within_from >= 0 && start0 >= s.within_from;
  s.within_from = -1;
  if (s.values_written) {
    s.values_written = false;
  } else if (within) {
    repack_stored(s.a, start0, matrix, ldm, mask, ldk);
  } else if (!repack_in_place(s.a, start0, matrix, ldm, mask, ldk)) {
    cs_di* grown = build_union(s.a, start0, matrix, ldm, mask, ldk);
    if (grown == nullptr) return -2;
    cs_di_spfree(s.a);
    s.a = grown;
    s.pattern = ++ad.patterns;
    return analyse_and_factor(ad, s);
  }
  if (s.numeric == nullptr) return factor_fresh(ad, s);
  ++ad.counts.refactorisations;
  const bool ok = klu_refactor(s.a->p, s.a->i, s.a->x, s.symbolic, s.numeric, &ad.common) != 0;
  if (ok && klu_rgrowth(s.a->p, s.a->i, s.a->x, s.symbolic, s.numeric, &ad.common) &&
      ad.common.rgrowth >= kGrowthDrop * s.growth) {
    s.smallest = smallest_pivot(*s.numeric);
    return 0;
  }
  // A zero or degraded pivot in the old order: let KLU choose the pivots again.
  return factor_fresh(ad, s);
}

// A solve of a stored matrix that the caller assembled (no dense matrix).
std::int32_t solve_assembled(Adapter& ad, std::int32_t ss, std::int32_t n, std::int32_t refactor,
                             double* x) {
  if (static_cast<std::size_t>(ss) > ad.slots.size()) return -2;
  Slot& s = ad.slots[static_cast<std::size_t>(ss - 1)];
  if (s.a == nullptr) return -2;
  if (s.n != n) return -5;
  s.within_from = -1;
  if (s.symbolic == nullptr) {
    s.values_written = false;
    const std::int32_t code = analyse_and_factor(ad, s);
    if (code != 0) return code;
  } else if (refactor != 0 || s.numeric == nullptr) {
    s.values_written = true;
    const std::int32_t code = refactor_slot(ad, s, 0, nullptr, 0, nullptr, 0);
    if (code != 0) return code;
  }
  s.values_written = false;
  if (!klu_solve(s.symbolic, s.numeric, n, 1, x, &ad.common)) return -5;
  return 0;
}

// The stored positions of a (0-based, column by column) as triplets into t.
bool add_stored(cs_di* t, const cs_di* a) {
  for (std::int32_t j = 0; j < a->n; ++j)
    for (std::int32_t p = a->p[j]; p < a->p[j + 1]; ++p)
      if (!cs_di_entry(t, a->i[p], j, 0.0)) return false;
  return true;
}

}  // namespace

bool wakro::sparse_new_pattern(std::int32_t ss, std::int32_t n, const bool* mask,
                               std::int32_t ld_mask, const std::int32_t* rows,
                               const std::int32_t* cols, std::size_t pairs, bool keep_stored) {
  if (ss < 1 || n < 1 || (mask != nullptr && ld_mask < n)) return false;
  Adapter& ad = adapter();
  const std::size_t slot = static_cast<std::size_t>(ss - 1);
  if (ad.slots.size() <= slot) ad.slots.resize(slot + 1);
  Slot& s = ad.slots[slot];
  const bool keep = keep_stored && s.a != nullptr && s.n == n;
  std::int32_t nz = n + static_cast<std::int32_t>(pairs) + (keep ? s.a->p[n] : 0);
  for (std::int32_t j = 0; mask != nullptr && j < n; ++j) {
    const bool* mcol = column(mask, ld_mask, j);
    for (std::int32_t i = next_masked(mcol, 0, n); i < n; i = next_masked(mcol, i + 1, n)) ++nz;
  }
  cs_di* t = cs_di_spalloc(n, n, nz, 1, 1);
  bool ok = t != nullptr;
  for (std::int32_t j = 0; ok && j < n; ++j) {
    ok = cs_di_entry(t, j, j, 0.0);
    if (mask == nullptr) continue;
    const bool* mcol = column(mask, ld_mask, j);
    for (std::int32_t i = next_masked(mcol, 0, n); ok && i < n; i = next_masked(mcol, i + 1, n))
      ok = cs_di_entry(t, i, j, 0.0);
  }
  for (std::size_t k = 0; ok && k < pairs; ++k)
    if (rows[k] >= 1 && rows[k] <= n && cols[k] >= 1 && cols[k] <= n)
      ok = cs_di_entry(t, rows[k] - 1, cols[k] - 1, 0.0);
  if (ok && keep) ok = add_stored(t, s.a);
  if (!ok) {
    if (t != nullptr) cs_di_spfree(t);
    ad.free_slot(s);
    return false;
  }
  // Compressing sums duplicates (all 0); cs_dupl leaves each position once and
  // the double transpose sorts the rows within each column.
  cs_di* c = compress(t);
  cs_di* sorted = nullptr;
  if (c != nullptr && cs_di_dupl(c)) {
    cs_di* ct = cs_di_transpose(c, 1);
    if (ct != nullptr) sorted = cs_di_transpose(ct, 1);
    if (ct != nullptr) cs_di_spfree(ct);
  }
  if (c != nullptr) cs_di_spfree(c);
  ad.free_slot(s);
  if (sorted == nullptr) return false;
  s.a = sorted;
  s.n = n;
  s.pattern = ++ad.patterns;
  return true;
}

bool wakro::sparse_pattern_holds(std::int32_t ss, std::int32_t n, std::int32_t start,
                                 const bool* mask, std::int32_t ld_mask) {
  Adapter& ad = adapter();
  if (ss < 1 || static_cast<std::size_t>(ss) > ad.slots.size() || mask == nullptr) return false;
  const Slot& s = ad.slots[static_cast<std::size_t>(ss - 1)];
  if (s.a == nullptr || s.n != n || ld_mask < n) return false;
  const std::int32_t start0 = start < 1 ? 0 : start - 1;
  for (std::int32_t j = 0; j < n; ++j) {
    const bool* mcol = column(mask, ld_mask, j);
    std::int32_t p = s.a->p[j];
    const std::int32_t end = s.a->p[j + 1];
    for (std::int32_t i = next_masked(mcol, start0, n); i < n; i = next_masked(mcol, i + 1, n)) {
      while (p < end && s.a->i[p] < i) ++p;
      if (p == end || s.a->i[p] != i) return false;
    }
  }
  return true;
}

std::int32_t c_lesolve(bool firststep, bool /*laststep*/, double /*time*/, std::int32_t refactor,
                       std::int32_t ss, std::int32_t n, std::int32_t start, const double* matrix,
                       std::int32_t ld_matrix, const bool* mask, std::int32_t ld_mask, double* x) {
  Adapter& ad = adapter();
  ad.set_defaults();
  if (ss < 1 || n < 1 || x == nullptr) return -5;
  if (matrix == nullptr && mask == nullptr) return solve_assembled(ad, ss, n, refactor, x);
  if (ld_matrix < n || ld_mask < n || matrix == nullptr || mask == nullptr) return -5;
  const std::size_t slot = static_cast<std::size_t>(ss - 1);
  if (ad.slots.size() <= slot) ad.slots.resize(slot + 1);
  Slot& s = ad.slots[slot];

  // Step 1: a fresh slot at the first solution of a run (later solutions of the
  // first step re-factorise it), or when there is none.
  bool fresh = false;
  if (!s.built() || (firststep && !(s.first_step && s.n == n))) {
    const std::int32_t code = init_slot(ad, s, n, matrix, ld_matrix, mask, ld_mask);
    if (code != 0) return code;
    fresh = true;
  }
  s.first_step = firststep;
  if (s.n != n) return -5;

  // Step 2: re-factorisation (a slot just built is factorised already).
  if (!fresh && (refactor != 0 || s.numeric == nullptr)) {
    const std::int32_t start0 = start < 1 ? 0 : (start > n ? n : start - 1);
    const std::int32_t code = refactor_slot(ad, s, start0, matrix, ld_matrix, mask, ld_mask);
    if (code != 0) return code;
  }

  // Step 3: solve in place.
  s.within_from = -1;
  s.values_written = false;
  if (!klu_solve(s.symbolic, s.numeric, n, 1, x, &ad.common)) return -5;
  return 0;
}

std::int32_t c_cpygm(std::int32_t mode, std::int32_t ss, std::int32_t n, std::int32_t start,
                     double* rdc, std::int32_t ld_rdc, const double* gm, std::int32_t ld_gm,
                     const bool* filled, std::int32_t ld_filled) {
  if (rdc == nullptr || gm == nullptr || filled == nullptr || ld_rdc < n || ld_gm < n ||
      ld_filled < n)
    return 0;
  Adapter& ad = adapter();
  const std::int32_t start0 = start < 1 ? 0 : start - 1;
  Slot* s = nullptr;
  if (ss >= 1 && static_cast<std::size_t>(ss) <= ad.slots.size() &&
      ad.slots[static_cast<std::size_t>(ss - 1)].built())
    s = &ad.slots[static_cast<std::size_t>(ss - 1)];
  const bool within = mode == kWithinStoredPattern && s != nullptr && s->n == n;

  // Step 1: clear what the last packing read from rows start.. (whole rows when
  // the subsystem has no slot yet).
  for (std::int32_t j = 0; j < n; ++j) {
    double* rcol = column(rdc, ld_rdc, j);
    if (s != nullptr && j < s->n) {
      for (std::int32_t p = s->a->p[j]; p < s->a->p[j + 1]; ++p)
        if (s->a->i[p] >= start0 && s->a->i[p] < n) rcol[s->a->i[p]] = 0.0;
    } else {
      for (std::int32_t i = start0; i < n; ++i) rcol[i] = 0.0;
    }
  }

  // Step 2, the pattern of the rows within the stored one: -GM at the stored
  // positions that are filled, and the next re-factorisation walks the stored
  // positions only.
  if (within) {
    for (std::int32_t j = 0; j < n; ++j) {
      double* rcol = column(rdc, ld_rdc, j);
      const double* gcol = column(gm, ld_gm, j);
      const bool* fcol = column(filled, ld_filled, j);
      for (std::int32_t p = s->a->p[j]; p < s->a->p[j + 1]; ++p) {
        const std::int32_t i = s->a->i[p];
        if (i >= start0 && fcol[i]) rcol[i] = -gcol[i];
      }
    }
    s->within_from = start0;
    return 0;
  }

  // Step 2: -GM at the entries of the rows.
  for (std::int32_t j = 0; j < n; ++j) {
    double* rcol = column(rdc, ld_rdc, j);
    const double* gcol = column(gm, ld_gm, j);
    if (mode != 0 && s != nullptr && j < s->n) {
      for (std::int32_t p = s->a->p[j]; p < s->a->p[j + 1]; ++p) {
        const std::int32_t i = s->a->i[p];
        if (i >= start0 && i < n) rcol[i] = -gcol[i];
      }
      continue;
    }
    const bool* fcol = column(filled, ld_filled, j);
    for (std::int32_t i = next_masked(fcol, start0, n); i < n; i = next_masked(fcol, i + 1, n))
      rcol[i] = -gcol[i];
  }
  return 0;
}

namespace wakro {

void release_sparse_solver() { adapter().release_all(); }

void release_sparse_slot(std::int32_t ss) {
  Adapter& ad = adapter();
  if (ss < 1 || static_cast<std::size_t>(ss) > ad.slots.size()) return;
  ad.free_slot(ad.slots[static_cast<std::size_t>(ss - 1)]);
}

std::int32_t sparse_solver_slots() {
  std::int32_t k = 0;
  for (const Slot& s : adapter().slots)
    if (s.built()) ++k;
  return k;
}

SparseSolverCounts sparse_solver_counts() { return adapter().counts; }

double sparse_smallest_pivot(std::int32_t ss) {
  const Adapter& ad = adapter();
  if (ss < 1 || static_cast<std::size_t>(ss) > ad.slots.size()) return 0.0;
  const Slot& s = ad.slots[static_cast<std::size_t>(ss - 1)];
  return s.numeric != nullptr ? s.smallest : 0.0;
}

SparseMatrixRef sparse_matrix(std::int32_t ss) {
  Adapter& ad = adapter();
  SparseMatrixRef r;
  if (ss < 1 || static_cast<std::size_t>(ss) > ad.slots.size()) return r;
  Slot& s = ad.slots[static_cast<std::size_t>(ss - 1)];
  if (s.a == nullptr) return r;
  r.n = s.n;
  r.p = s.a->p;
  r.i = s.a->i;
  r.x = s.a->x;
  r.pattern = s.pattern;
  return r;
}

void sparse_values_written(std::int32_t ss) {
  Adapter& ad = adapter();
  if (ss < 1 || static_cast<std::size_t>(ss) > ad.slots.size()) return;
  Slot& s = ad.slots[static_cast<std::size_t>(ss - 1)];
  if (s.a != nullptr) s.values_written = true;
}

std::int32_t sparse_position(const SparseMatrixRef& a, std::int32_t row, std::int32_t col) {
  if (row < 1 || col < 1 || row > a.n || col > a.n) return -1;
  const std::int32_t* first = a.i + a.p[col - 1];
  const std::int32_t* last = a.i + a.p[col];
  const std::int32_t* at = std::lower_bound(first, last, row - 1);
  return at != last && *at == row - 1 ? static_cast<std::int32_t>(at - a.i) : -1;
}

}  // namespace wakro

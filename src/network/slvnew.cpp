// slvnew: the node voltages of one solution of subsystem ss.
//
// The right-hand side e_s0::ca is read where it stands unless ideal branches or MNA
// rows rewrite it; then it is copied into the work vector temp1::caa first: ideal
// branches replace the equations of the nodes they remove or tie to a voltage
// (the collapse list that idlsrc built, replayed on the right-hand side with the
// corrections in temp1::caai, cleared first); MNA rows get their right-hand sides
// in mna::bvect.
// Then either forward and back substitution over the factors and index lists of
// the own elimination, or the sparse solver (re-factorising from MXINV when the
// matrix changed; MXINV is then reset to MBUS + 1).
//
// Leaves spcial::vdcnew(1..MBUS(ss)); with MNA elements also their currents.
#include <algorithm>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s8.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/mna.h"
#include "model/sparse.h"
#include "model/spcial.h"
#include "model/temp1.h"
#include "network/branch_view.h"
#include "network/dense_substitution.h"
#include "network/elimination.h"
#include "network/klu_adapter.h"
#include "network/ordered_elimination.h"
#include "network/packed_factors.h"
#include "network/solution.h"

namespace {

double source_of(std::int32_t b, std::int32_t ss, const wakro::SubStep& s) {
  const bool regsrc = wakro::registered_source(b, ss);
  return wakro_gete(b, ss, s, regsrc, true);
}

// The ideal-branch collapse replayed on the right-hand side.
void collapse_rhs(std::int32_t ss, const wakro::SubStep& s) {
  using ideal::clpslist;
  using ideal::nodev;
  using temp1::caa;
  using temp1::caai;
  const std::int32_t total = ideal::gidlbr(ss);
  const std::int32_t ncollapse = ideal::nidlbr(ss);
  caai.fill(0.0);  // the corrections start from zero (only this replay reads them)
  for (std::int32_t k = 1; k <= total; ++k) {
    const std::int32_t b = clpslist(k, ss);
    if (b == 0) continue;
    const std::int32_t ab = b < 0 ? -b : b;
    nodev(k, 1) = branches::ief(ab, ss);
    nodev(k, 2) = branches::iet(ab, ss);
  }
  for (std::int32_t k = 1; k <= ncollapse; ++k) {
    const std::int32_t b = clpslist(k, ss);
    if (b == 0) continue;
    double e = source_of(b < 0 ? -b : b, ss, s);
    std::int32_t a;
    std::int32_t p;
    if (b < 0) {
      a = nodev(k, 2);
      p = nodev(k, 1);
    } else {
      a = nodev(k, 1);
      p = nodev(k, 2);
      e = -e;
    }
    if (a < 1) continue;  // a removed node is never ground
    if (p > 0) caa(p) += caa(a);
    caa(a) = e + caai(k);
    // Later entries that touch the removed node: correction and re-pointing.
    for (std::int32_t j = k + 1; j <= total; ++j) {
      const std::int32_t bj = clpslist(j, ss);
      if (bj == 0) continue;
      const std::int32_t from = bj < 0 ? 2 : 1;
      const std::int32_t to = 3 - from;
      if (nodev(j, from) == a) caai(j) -= caa(a);
      if (nodev(j, to) == a) caai(j) += caa(a);
      if (nodev(j, 1) == a) nodev(j, 1) = p;
      if (nodev(j, 2) == a) nodev(j, 2) = p;
    }
  }
  for (std::int32_t k = ncollapse + 1; k <= total; ++k) {
    const std::int32_t b = clpslist(k, ss);
    if (b == 0) continue;
    double e = source_of(b < 0 ? -b : b, ss, s);
    std::int32_t x;
    if (b < 0) {
      x = nodev(k, 2);
    } else {
      x = nodev(k, 1);
      e = -e;
    }
    if (x > 0) caa(x) = e + caai(k);
  }
}

// The right-hand sides of the MNA rows.
void mna_rhs(std::int32_t ss, std::int32_t n, const wakro::SubStep& s) {
  mna::bvect.fill(0.0);
  for (std::int32_t i = 1; i <= n; ++i) mna::bvect(i) = temp1::caa(i);
  std::int32_t row = n;
  for (std::int32_t e = mna::mna_start(ss); e <= mna::mna_end(ss); ++e) {
    ++row;
    const mna::Mnad& el = mna::mnad(e);
    if (el.kind == 0) {
      mna::bvect(row) = el.param;
    } else if (el.kind == 5) {
      // The network branch whose source voltage the element carries is the first
      // integer given by mna_branch.
      const std::int32_t b = el.branch_i1;
      if (b > 0 && b <= int2::insb(ss) && branches::source(b, ss))
        mna::bvect(row) -= source_of(b, ss, s);
    }
  }
}

// Forward substitution with the inverse pivots, then back substitution, over the
// factors in the working matrix and their index lists; the right-hand side rhs
// (by node, from 1) enters the work vector as the forward pass reaches each row
// (rhs may be the work vector itself).
void substitute(std::int32_t ss, std::int32_t n, const double* rhs,
                const wakro::SubsystemColumns& c) {
  // Only a subsystem of kOrderedMinNodes nodes or more is ever given a plan: a
  // smaller one does not look for it.
  double* const vnew = spcial::vdcnew.data() - 1;
  if (n >= wakro::kOrderedMinNodes && wakro::substitute_ordered(ss, n, rhs, vnew)) return;
  const auto& lbegin = c.lbegin;
  const auto& lend = c.lend;
  const auto& lcol = c.lcol;
  const auto& ubegin = c.ubegin;
  const auto& uend = c.uend;
  const auto& ucol = c.ucol;
  double* const caa = temp1::caa.data() - 1;
  const wakro::PackedFactors* p =
      n >= wakro::kPackedFactorsMin ? wakro::packed_factors(ss, n) : nullptr;
  if (p == nullptr) {
    wakro::substitute_dense(c, n, rhs, caa, vnew);
    return;
  }
  // The same arithmetic on the factors in list order.
  const double* const lower = p->lower.data() - 1;  // by list position
  const double* const upper = p->upper.data() - 1;
  const double* const pivot = p->pivot.data() - 1;  // by row
  caa[1] = rhs[1];
  for (std::int32_t i = 2; i <= n; ++i) {
    caa[i - 1] *= pivot[i - 1];
    double sum = 0.0;
    for (std::int32_t k = lbegin[i]; k <= lend[i]; ++k) sum += lower[k] * caa[lcol[k]];
    caa[i] = rhs[i] - sum;
  }
  caa[n] *= pivot[n];
  vnew[n] = caa[n];
  for (std::int32_t i = n - 1; i >= 1; --i) {
    double sum = 0.0;
    for (std::int32_t k = ubegin[i]; k <= uend[i]; ++k) sum += upper[k] * vnew[ucol[k]];
    vnew[i] = caa[i] - sum;
  }
}

[[noreturn]] void solver_failure(std::int32_t code) {
  switch (code) {
    case -1:
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                    "The matrix is close to singular! ");
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                    "Disable sparse solution to get more details.");
      break;
    case -2:
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine,
                    "Failed to allocate memeory!");
      break;
    case -3:
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine,
                    "The size of the matrix is too large!");
      break;
    default:
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2), "Unknown solver error! ");
      wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                    "Try disabling sparse solution.");
      break;
  }
  wakro_quit("SLVNEW", 0);
}

// The sparse solver found the matrix singular or took a pivot
// below the own elimination's limit. Both solvers refuse the same matrices with
// the same report: when the own elimination would stop at a node, the run ends
// as it would there; otherwise the sparse solver's result stands.
void refuse_as_own_elimination(std::int32_t ss, std::int32_t order, const e_s0::RealView& rdc,
                               const e_s0::FillView& temfil) {
  const std::int32_t node =
      wakro::first_vanishing_pivot(order, rdc.data(), rdc.extent(1), temfil.data(), temfil.extent(1));
  if (node < 1) return;
  itriang_errmsg(node, ss);
  wakro_quit("ITRIANG", 0);
}

// The same for a matrix held in the solver's store only.
void refuse_stored_as_own_elimination(std::int32_t ss, std::int32_t order) {
  const wakro::SparseMatrixRef a = wakro::sparse_matrix(ss);
  if (a.n != order) return;
  const std::int32_t node = wakro::first_vanishing_pivot_compressed(order, a.p, a.i, a.x);
  if (node < 1) return;
  itriang_errmsg(node, ss);
  wakro_quit("ITRIANG", 0);
}

// The sparse solver, in place on VDCNEW (or XVECT with MNA rows); rhs: the
// right-hand side of the nodes (by node, from 1).
void sparse_solve(std::int32_t ss, std::int32_t n, bool with_mna, const double* rhs) {
  double* x;
  std::int32_t order;
  if (with_mna) {
    for (std::int32_t i = 1; i <= mna::mbus_mna(ss); ++i) mna::xvect(i) = mna::bvect(i);
    x = mna::xvect.data();
    order = mna::mbus_mna(ss);
  } else {
    for (std::int32_t i = 1; i <= n; ++i) spcial::vdcnew(i) = rhs[i];
    x = spcial::vdcnew.data();
    order = n;
  }
  std::int32_t refactor = 0;
  std::int32_t start = 1;
  if (e_s8::mxinv(ss) != n + 1) {
    refactor = 2;
    start = e_s8::mxinv(ss);
    e_s8::mxinv(ss) = n + 1;
  }
  // Without MNA elements or ideal branches the matrix was assembled straight into
  // the solver's store (itriang): no work matrix is passed.
  const bool assembled = !with_mna && !e_s0::idealss(ss);
  const e_s0::RealView rdc = assembled ? e_s0::RealView{} : e_s0::assign_rdc_ptr(ss);
  const e_s0::FillView temfil = assembled ? e_s0::FillView{} : e_s0::assign_temfil_ptr(ss);
  const wakro::SparseSolverCounts before = wakro::sparse_solver_counts();
  const std::int32_t code = c_lesolve(
      e_s1::firststep, e_s1::laststep, e_s1::time, refactor, ss, order, start, rdc.data(),
      rdc.extent(1), temfil.data(), temfil.extent(1), x);
  const wakro::SparseSolverCounts after = wakro::sparse_solver_counts();
  const bool factorised = after.factorisations != before.factorisations ||
                          after.refactorisations != before.refactorisations ||
                          after.analyses != before.analyses;
  if (code == -1 ||
      (code == 0 && factorised && wakro::sparse_smallest_pivot(ss) < wakro::kZeroPivot)) {
    if (assembled) {
      refuse_stored_as_own_elimination(ss, order);
    } else {
      refuse_as_own_elimination(ss, order, rdc, temfil);
    }
  }
  if (code != 0) solver_failure(code);
}

}  // namespace

void slvnew(std::int32_t ss, const wakro::SubStep& s) {
  slvnew(ss, s, wakro::subsystem_columns(ss));
}

void slvnew(std::int32_t ss, const wakro::SubStep& s, const wakro::SubsystemColumns& c) {
  const std::int32_t n = e_s0::mbus(ss);
  if (n < 1) return;
  const bool ideal = e_s0::idealss(ss);
  const bool with_mna = mna::mna_elem.allocated() && mna::mna_elem(ss) > 0;
  const bool klu = int3::use_klu(ss);
  if (!ideal && !with_mna) {
    // Nothing rewrites the right-hand side: the solution reads it where it stands.
    const double* const rhs = e_s0::ca.data() - 1;
    if (klu) {
      sparse_solve(ss, n, false, rhs);
    } else {
      substitute(ss, n, rhs, c);
    }
    return;
  }

  // Step 1: work copy of the right-hand side.
  std::copy_n(e_s0::ca.data(), n, temp1::caa.data());
  const double* const work = temp1::caa.data() - 1;

  // Step 2: ideal branches.
  if (ideal) collapse_rhs(ss, s);

  // Step 3: MNA rows.
  if (with_mna) mna_rhs(ss, n, s);

  // Step 4: the solution, by substitution or through the sparse solver.
  if (!klu) {
    substitute(ss, n, work, c);
    return;
  }
  sparse_solve(ss, n, with_mna, work);
  // Step 5: element currents and node voltages from the augmented solution.
  if (with_mna) {
    if (e_s0::idealss(ss)) {
      std::int32_t row = n;
      for (std::int32_t e = mna::mna_start(ss); e <= mna::mna_end(ss); ++e)
        mna::mnad(e).current1 = mna::xvect(++row);
    }
    for (std::int32_t i = 1; i <= n; ++i) spcial::vdcnew(i) = mna::xvect(i);
  }
}

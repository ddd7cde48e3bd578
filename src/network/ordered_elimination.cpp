// The own elimination in a fill-reducing order (ordered_elimination.h).
#include "network/ordered_elimination.h"

#include <camd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "diag/quit.h"
#include "model/branches.h"
#include "model/int2.h"
#include "network/elimination.h"
#include "network/solution.h"

namespace wakro {
namespace {

constexpr double kCancellation = 1e-14;

using Index = std::int32_t;
using Vec = std::vector<Index>;

// The plan and factors of one subsystem (positions in the new order from 0).
struct Plan {
  bool active = false;
  Index n = 0;
  Vec node;                 // node (from 1) at each position
  Vec pos;                  // position of each node (pos[node - 1])
  // The symmetric pattern by node (from 1), without the diagonal: for assembly.
  Vec nat_ptr;
  Vec nat_col;
  // The matrix in the new order by rows, every entry of the pattern with the
  // diagonal: its column (position) and its value when last factorised.
  Vec a_ptr;
  Vec a_col;
  std::vector<double> a_val;
  // The factors by rows: L below the diagonal (columns ascending), U above it.
  Vec l_ptr;
  Vec l_col;
  std::vector<double> l_val;
  Vec u_ptr;
  Vec u_col;
  std::vector<double> u_val;
  std::vector<double> inv_pivot;
  // Where each entry of the symmetric pattern by node stands in a_val: at_row[k]
  // for (node, nat_col[k]), at_col[k] for (nat_col[k], node); diagonals by node.
  std::vector<std::ptrdiff_t> at_row;
  std::vector<std::ptrdiff_t> at_col;
  std::vector<std::ptrdiff_t> at_diag;
  // The switching branches when the plan was made: branch, ends, and where their
  // entries (f, f), (f, t), (t, t), (t, f) stand in a_val (-1: a ground end).
  struct Switch {
    std::int32_t branch, f, t;
    std::ptrdiff_t ff, ft, tt, tf;
  };
  std::vector<Switch> switches;
  std::vector<double> b_val;  // the assembly of the rows, beside a_val
  std::vector<double> work;   // a row spread by column; zero between rows
  std::vector<double> y;     // the substitution's vector in the new order
  std::int64_t numbered_fill = 0;
};

std::vector<Plan>& plans() {
  static std::vector<Plan> p;
  return p;
}

Plan* plan_of(std::int32_t ss) {
  std::vector<Plan>& p = plans();
  if (ss < 1 || static_cast<std::size_t>(ss) > p.size()) return nullptr;
  return &p[static_cast<std::size_t>(ss - 1)];
}


// Rows of a symmetric pattern given by rows (ptr, col; no diagonal): the
// elimination tree's parents in that numbering.
Vec elimination_tree(Index n, const Vec& ptr, const Vec& col) {
  Vec parent(static_cast<std::size_t>(n), -1);
  Vec ancestor(static_cast<std::size_t>(n), -1);
  for (Index r = 0; r < n; ++r) {
    for (Index k = ptr[r]; k < ptr[r + 1]; ++k) {
      Index q = col[k];
      while (q != -1 && q < r) {
        const Index next = ancestor[q];
        ancestor[q] = r;
        if (next == -1) parent[q] = r;
        q = next;
      }
    }
  }
  return parent;
}

// The columns of each row of L (below the diagonal) of a symmetric pattern by
// rows: row r reaches, from each of its entries q < r, up the tree to r. With
// `keep` false only the count is made.
std::int64_t row_patterns(Index n, const Vec& ptr, const Vec& col, bool keep, Vec* l_ptr,
                          Vec* l_col) {
  const Vec parent = elimination_tree(n, ptr, col);
  Vec mark(static_cast<std::size_t>(n), -1);
  std::int64_t total = 0;
  if (keep) {
    l_ptr->assign(static_cast<std::size_t>(n) + 1, 0);
    l_col->clear();
  }
  for (Index r = 0; r < n; ++r) {
    mark[r] = r;
    const std::size_t start = keep ? l_col->size() : 0;
    for (Index k = ptr[r]; k < ptr[r + 1]; ++k) {
      for (Index q = col[k]; q < r && mark[q] != r; q = parent[q]) {
        mark[q] = r;
        ++total;
        if (keep) l_col->push_back(q);
      }
    }
    if (keep) {
      std::sort(l_col->begin() + static_cast<std::ptrdiff_t>(start), l_col->end());
      (*l_ptr)[r + 1] = static_cast<Index>(l_col->size());
    }
  }
  return total;
}

// The symmetric pattern of rows 1..n of temfil by node (from 0), without the
// diagonal, columns ascending.
void symmetric_pattern(Index n, e_s0::FillView temfil, Vec& ptr, Vec& col) {
  Vec count(static_cast<std::size_t>(n) + 1, 0);
  // Column by column (the storage order): entry (i, j) and its mirror.
  std::vector<std::vector<Index>> rows(static_cast<std::size_t>(n));
  std::vector<std::int32_t> at_row;
  std::vector<std::int32_t> at_col;
  pattern_entries(temfil, 1, n, at_row, at_col);
  for (std::size_t k = 0; k < at_row.size(); ++k) {
    const Index i = at_row[k];
    const Index j = at_col[k];
    rows[static_cast<std::size_t>(i - 1)].push_back(j - 1);
    rows[static_cast<std::size_t>(j - 1)].push_back(i - 1);
  }
  ptr.assign(static_cast<std::size_t>(n) + 1, 0);
  col.clear();
  for (Index r = 0; r < n; ++r) {
    std::vector<Index>& row = rows[static_cast<std::size_t>(r)];
    std::sort(row.begin(), row.end());
    row.erase(std::unique(row.begin(), row.end()), row.end());
    col.insert(col.end(), row.begin(), row.end());
    ptr[r + 1] = static_cast<Index>(col.size());
  }
}

// The nodes where the matrix changes during a run: the ends of the switching
// branches and the Norton nodes (constraint set 1, ordered last).
std::vector<int> changing_nodes(std::int32_t ss, Index n) {
  std::vector<int> set(static_cast<std::size_t>(n), 0);
  const auto mark = [&set, n](std::int32_t x) {
    if (x >= 1 && x <= n) set[static_cast<std::size_t>(x - 1)] = 1;
  };
  if (branches::nsw.allocated() && branches::brnsw.allocated()) {
    for (std::int32_t k = 1; k <= branches::nsw(ss); ++k) {
      const std::int32_t b = branches::brnsw(k, ss);
      mark(branches::ief(b, ss));
      mark(branches::iet(b, ss));
    }
  }
  if (int2::nmb.allocated() && int2::ll.allocated())
    for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) mark(int2::ll(k, ss));
  if (e_s0::enabccin.allocated())
    for (Index x = 1; x <= std::min(n, e_s0::enabccin.extent(1)); ++x)
      if (e_s0::enabccin(x, ss)) mark(x);
  return set;
}

// Where entry (i, j) (nodes from 1) stands in the plan's matrix rows; -1 when it
// is outside the pattern.
std::ptrdiff_t entry_at(const Plan& p, std::int32_t i, std::int32_t j) {
  if (i < 1 || j < 1) return -1;
  const Index r = p.pos[i - 1];
  const Index c = p.pos[j - 1];
  const Index* const first = p.a_col.data() + p.a_ptr[r];
  const Index* const last = p.a_col.data() + p.a_ptr[r + 1];
  const Index* const at = std::lower_bound(first, last, c);
  return at != last && *at == c ? at - p.a_col.data() : -1;
}

// The maps of the direct assembly (see assemble_ordered).
void map_entries(Plan& p, std::int32_t ss) {
  const Index n = p.n;
  p.at_row.resize(p.nat_col.size());
  p.at_col.resize(p.nat_col.size());
  p.at_diag.resize(static_cast<std::size_t>(n));
  for (Index x = 0; x < n; ++x) {
    p.at_diag[x] = entry_at(p, x + 1, x + 1);
    for (Index k = p.nat_ptr[x]; k < p.nat_ptr[x + 1]; ++k) {
      p.at_row[k] = entry_at(p, x + 1, p.nat_col[k] + 1);
      p.at_col[k] = entry_at(p, p.nat_col[k] + 1, x + 1);
    }
  }
  p.switches.clear();
  for (std::int32_t k = 1; k <= branches::nsw(ss); ++k) {
    const std::int32_t b = branches::brnsw(k, ss);
    const std::int32_t f = branches::ief(b, ss);
    const std::int32_t t = branches::iet(b, ss);
    p.switches.push_back({b, f, t, entry_at(p, f, f), entry_at(p, f, t), entry_at(p, t, t),
                          entry_at(p, t, f)});
  }
  p.b_val.assign(p.a_val.size(), 0.0);
}

// True when the switching branches of ss are still those of the plan, each with
// its entries in the pattern.
bool switches_as_planned(const Plan& p, std::int32_t ss) {
  if (static_cast<std::size_t>(branches::nsw(ss)) != p.switches.size()) return false;
  for (std::size_t k = 0; k < p.switches.size(); ++k) {
    const Plan::Switch& w = p.switches[k];
    if (branches::brnsw(static_cast<std::int32_t>(k) + 1, ss) != w.branch ||
        branches::ief(w.branch, ss) != w.f || branches::iet(w.branch, ss) != w.t)
      return false;
    if (w.f == w.t) continue;
    if ((w.f > 0 && (w.ff < 0 || (w.t > 0 && w.ft < 0))) ||
        (w.t > 0 && (w.tt < 0 || (w.f > 0 && w.tf < 0))))
      return false;
  }
  return true;
}

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

[[noreturn]] void vanishing_pivot(Plan& p, Index r, std::int32_t ss) {
  std::fill(p.work.begin(), p.work.end(), 0.0);
  itriang_errmsg(p.node[r], ss);
  wakro_quit("ITRIANG", 0);
}

// Rows from..n-1 in the new order, from the stored matrix.
void factorise_from(Plan& p, Index from, std::int32_t ss) {
  double* const w = p.work.data();
  const Index* const ac = p.a_col.data();
  const double* const av = p.a_val.data();
  const Index* const lc = p.l_col.data();
  const Index* const uc = p.u_col.data();
  double* const uv = p.u_val.data();
  double* const lv = p.l_val.data();
  for (Index r = from; r < p.n; ++r) {
    for (Index k = p.a_ptr[r]; k < p.a_ptr[r + 1]; ++k) w[ac[k]] = av[k];
    double diagonal = w[r];
    for (Index kq = p.l_ptr[r]; kq < p.l_ptr[r + 1]; ++kq) {
      const Index q = lc[kq];
      const double l_rq = w[q];
      for (Index kc = p.u_ptr[q]; kc < p.u_ptr[q + 1]; ++kc) w[uc[kc]] -= uv[kc] * l_rq;
      if (std::abs(w[r]) < kCancellation * std::abs(diagonal)) int2::nilltr(p.node[r], ss) = true;
      diagonal = w[r];
    }
    const double pivot = w[r];
    if (std::abs(pivot) < kZeroPivot) vanishing_pivot(p, r, ss);
    const double inv = 1.0 / pivot;
    p.inv_pivot[r] = inv;
    w[r] = 0.0;
    for (Index kq = p.l_ptr[r]; kq < p.l_ptr[r + 1]; ++kq) {
      lv[kq] = w[lc[kq]];
      w[lc[kq]] = 0.0;
    }
    for (Index kc = p.u_ptr[r]; kc < p.u_ptr[r + 1]; ++kc) {
      uv[kc] = w[uc[kc]] * inv;
      w[uc[kc]] = 0.0;
    }
  }
}

}  // namespace

bool ordered_elimination_active(std::int32_t ss, std::int32_t n) {
  const Plan* p = plan_of(ss);
  return p != nullptr && p->active && p->n == n;
}

void drop_ordered_elimination(std::int32_t ss) {
  Plan* p = plan_of(ss);
  if (p != nullptr) *p = Plan{};
}

bool plan_ordered_elimination(std::int32_t ss, std::int32_t n, e_s0::FillView temfil) {
  drop_ordered_elimination(ss);
  if (ss < 1 || n < kOrderedMinNodes) return false;
  Vec ptr;
  Vec col;
  symmetric_pattern(n, temfil, ptr, col);
  const std::int64_t numbered = row_patterns(n, ptr, col, false, nullptr, nullptr);

  // CAMD takes the pattern by columns: the symmetric rows are its columns.
  Vec order(static_cast<std::size_t>(n));
  double control[CAMD_CONTROL];
  double info[CAMD_INFO];
  camd_defaults(control);
  const std::vector<int> constraint = changing_nodes(ss, n);
  if (camd_order(n, ptr.data(), col.data(), order.data(), control, info, constraint.data()) !=
      CAMD_OK)
    return false;

  Plan p;
  p.n = n;
  p.node.resize(static_cast<std::size_t>(n));
  p.pos.resize(static_cast<std::size_t>(n));
  for (Index r = 0; r < n; ++r) {
    p.node[r] = order[r] + 1;
    p.pos[order[r]] = r;
  }
  // The pattern in the new order, by rows: lower entries for the tree, every
  // entry with the diagonal for the matrix rows.
  Vec lower_ptr(static_cast<std::size_t>(n) + 1, 0);
  Vec lower_col;
  p.a_ptr.assign(static_cast<std::size_t>(n) + 1, 0);
  for (Index r = 0; r < n; ++r) {
    const Index x = order[r];
    std::vector<Index> row;
    for (Index k = ptr[x]; k < ptr[x + 1]; ++k) row.push_back(p.pos[col[k]]);
    row.push_back(r);
    std::sort(row.begin(), row.end());
    for (Index c : row) {
      p.a_col.push_back(c);
      if (c < r) lower_col.push_back(c);
    }
    p.a_ptr[r + 1] = static_cast<Index>(p.a_col.size());
    lower_ptr[r + 1] = static_cast<Index>(lower_col.size());
  }
  const std::int64_t ordered = row_patterns(n, lower_ptr, lower_col, true, &p.l_ptr, &p.l_col);
  if (static_cast<double>(ordered) > kOrderedFillShare * static_cast<double>(numbered)) return false;

  // U by rows: the transpose of L's pattern (rows ascending give columns ascending).
  p.u_ptr.assign(static_cast<std::size_t>(n) + 1, 0);
  for (Index c : p.l_col) ++p.u_ptr[c + 1];
  for (Index r = 0; r < n; ++r) p.u_ptr[r + 1] += p.u_ptr[r];
  p.u_col.resize(p.l_col.size());
  Vec next(p.u_ptr.begin(), p.u_ptr.end() - 1);
  for (Index r = 0; r < n; ++r)
    for (Index k = p.l_ptr[r]; k < p.l_ptr[r + 1]; ++k) p.u_col[next[p.l_col[k]]++] = r;

  p.nat_ptr = std::move(ptr);
  p.nat_col = std::move(col);
  p.a_val.assign(p.a_col.size(), 0.0);
  p.l_val.assign(p.l_col.size(), 0.0);
  p.u_val.assign(p.u_col.size(), 0.0);
  p.inv_pivot.assign(static_cast<std::size_t>(n), 0.0);
  p.work.assign(static_cast<std::size_t>(n), 0.0);
  p.y.assign(static_cast<std::size_t>(n), 0.0);
  p.numbered_fill = numbered;
  map_entries(p, ss);
  p.active = true;
  std::vector<Plan>& all = plans();
  if (all.size() < static_cast<std::size_t>(ss)) all.resize(static_cast<std::size_t>(ss));
  all[static_cast<std::size_t>(ss - 1)] = std::move(p);
  return true;
}

void eliminate_ordered(std::int32_t ss, e_s0::RealView rdc) {
  Plan& p = *plan_of(ss);
  const double* const a = rdc.data();
  const std::ptrdiff_t rows = rdc.extent(1);
  for (Index r = 0; r < p.n; ++r) {
    const std::ptrdiff_t i = p.node[r] - 1;
    for (Index k = p.a_ptr[r]; k < p.a_ptr[r + 1]; ++k)
      p.a_val[k] = a[static_cast<std::ptrdiff_t>(p.node[p.a_col[k]] - 1) * rows + i];
  }
  factorise_from(p, 0, ss);
}

bool assemble_ordered(std::int32_t ss, std::int32_t m, std::int32_t n, e_s0::RealView gm,
                      e_s0::FillView filled) {
  Plan* pp = plan_of(ss);
  if (pp == nullptr || !pp->active || pp->n != n || m < 1 || !switches_as_planned(*pp, ss))
    return false;
  Plan& p = *pp;
  double* const b = p.b_val.data();
  // The off-diagonal entries: by columns (the order gm is stored in) when many
  // rows are assembled, by rows when few are.
  if (n - m + 1 > n / 4) {
    for (std::int32_t j = 1; j <= n; ++j) {
      const double* const gc = &gm(1, j) - 1;
      const bool* const fc = &filled(1, j) - 1;
      for (Index k = p.nat_ptr[j - 1]; k < p.nat_ptr[j]; ++k) {
        const std::int32_t i = p.nat_col[k] + 1;
        if (i >= m) b[p.at_col[k]] = fc[i] ? -gc[i] : 0.0;
      }
    }
  } else {
    for (std::int32_t i = m; i <= n; ++i)
      for (Index k = p.nat_ptr[i - 1]; k < p.nat_ptr[i]; ++k) {
        const std::int32_t j = p.nat_col[k] + 1;
        b[p.at_row[k]] = filled(i, j) ? -gm(i, j) : 0.0;
      }
  }
  for (std::int32_t i = m; i <= n; ++i) b[p.at_diag[i - 1]] = gm(i, i) + e_s0::ggin(i, ss);
  // The switches, as add_switches enters them.
  for (const Plan::Switch& w : p.switches) {
    const double g = branches::geq(w.branch, ss);
    if ((w.f < m && w.t < m) || w.f == w.t) continue;
    if (w.f == 0 || w.t == 0) {
      b[w.f == 0 ? w.tt : w.ff] += g;
      continue;
    }
    if (w.f >= m) {
      b[w.ff] += g;
      b[w.ft] -= g;
    }
    if (w.t >= m) {
      b[w.tt] += g;
      b[w.tf] -= g;
    }
  }
  // The first row, in the new order, whose entries changed.
  Index from = p.n;
  for (std::int32_t i = m; i <= n; ++i) {
    const Index r = p.pos[i - 1];
    bool changed = false;
    for (Index k = p.a_ptr[r]; k < p.a_ptr[r + 1]; ++k) {
      changed = changed || bits(b[k]) != bits(p.a_val[k]);
      p.a_val[k] = b[k];
    }
    if (changed) from = std::min(from, r);
  }
  factorise_from(p, from, ss);
  return true;
}

namespace {

// The sum of the products val[k] * y[col[k]], k from begin to end (exclusive), in
// order.
[[gnu::always_inline]] inline double row_sum(const double* val, const Index* col, const double* y,
                                             Index begin, Index end) {
  double sum = 0.0;
  for (Index k = begin; k < end; ++k) sum += val[k] * y[col[k]];
  return sum;
}

}  // namespace

bool substitute_ordered(std::int32_t ss, std::int32_t n, const double* rhs, double* v) {
  Plan* pp = plan_of(ss);
  if (pp == nullptr || !pp->active || pp->n != n) return false;
  Plan& p = *pp;
  double* const y = p.y.data();
  const Index* const node = p.node.data();
  const double* const d = p.inv_pivot.data();
  const Index* const lp = p.l_ptr.data();
  const Index* const lc = p.l_col.data();
  const double* const lv = p.l_val.data();
  const Index* const up = p.u_ptr.data();
  const Index* const uc = p.u_col.data();
  const double* const uv = p.u_val.data();
  // Forward: row r takes the rows above it, each scaled by its inverse pivot as
  // soon as it is formed.
  for (Index r = 0; r < n; ++r) {
    const double sum = row_sum(lv, lc, y, lp[r], lp[r + 1]);
    const double unscaled = rhs[node[r]] - sum;
    y[r] = unscaled * d[r];
  }
  // Back: from the last row up; each row is final once formed and goes to its
  // node.
  v[node[n - 1]] = y[n - 1];
  for (Index r = n - 2; r >= 0; --r) {
    const double sum = row_sum(uv, uc, y, up[r], up[r + 1]);
    y[r] -= sum;
    v[node[r]] = y[r];
  }
  return true;
}

OrderedFill ordered_fill(std::int32_t ss) {
  const Plan* p = plan_of(ss);
  if (p == nullptr || !p->active) return {};
  return {p->numbered_fill, static_cast<std::int64_t>(p->l_col.size())};
}

}  // namespace wakro

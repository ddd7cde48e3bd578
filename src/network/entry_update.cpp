// The record of matrix changes between assemblies and the update of the changed
// entries on the sparse solver (see entry_update.h).
//
// Workspace, one record per subsystem (record ss-1):
//   pairs      the node pairs noted since the last assembly (at most kPairs;
//              more make the changes unknown until the next full assembly),
//   switch_g   each switch's GEQ (list order of BRNSW) as last assembled,
//   norton_g   each node's GGIN as last assembled,
// and for the sparse solver the map of the stored pattern `pattern`:
//   diag       position of each node's diagonal,
//   ft, tf     positions of each switch's couplings (f, t) and (t, f); -1 for a
//              switch to ground or with both ends at one node,
//   first, at  the switches at each node in list order (node i's are
//              at[first[i] .. first[i+1]-1], switch numbers k of BRNSW).
#include "network/entry_update.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "model/branches.h"
#include "model/int2.h"
#include "network/klu_adapter.h"

namespace wakro {
namespace {

constexpr std::size_t kPairs = 64;

struct Record {
  std::array<std::int32_t, 2 * kPairs> pairs{};
  std::size_t noted = 0;
  bool overflow = false;
  bool known = false;  // an assembly has been recorded
  // The stored pattern was made by assemble_sparse_rows during the present first
  // step (later solutions of that step keep it).
  bool first_step_pattern = false;
  std::vector<std::int32_t> switch_br;
  std::vector<double> switch_g;
  std::vector<double> norton_g;

  std::int64_t pattern = -1;
  std::vector<std::int32_t> diag;
  std::vector<std::int32_t> ft;
  std::vector<std::int32_t> tf;
  std::vector<std::int32_t> first;
  std::vector<std::int32_t> at;
};

std::vector<Record>& records() {
  static std::vector<Record> r;
  return r;
}

Record* record_of(std::int32_t ss) {
  std::vector<Record>& r = records();
  if (ss < 1 || static_cast<std::size_t>(ss) > r.size()) return nullptr;
  return &r[static_cast<std::size_t>(ss - 1)];
}

std::int32_t low_end(std::int32_t p, std::int32_t q) {
  if (p == 0) return q;
  if (q == 0) return p;
  return std::min(p, q);
}

// The map of the stored pattern a for ss; false when a position is missing.
bool build_map(Record& r, std::int32_t ss, const SparseMatrixRef& a) {
  using namespace branches;
  const std::int32_t n = a.n;
  const std::int32_t nsw_ss = nsw(ss);
  r.diag.assign(static_cast<std::size_t>(n), -1);
  for (std::int32_t i = 1; i <= n; ++i) {
    r.diag[static_cast<std::size_t>(i - 1)] = sparse_position(a, i, i);
    if (r.diag[static_cast<std::size_t>(i - 1)] < 0) return false;
  }
  r.ft.assign(static_cast<std::size_t>(nsw_ss), -1);
  r.tf.assign(static_cast<std::size_t>(nsw_ss), -1);
  r.first.assign(static_cast<std::size_t>(n) + 2, 0);
  for (std::int32_t k = 1; k <= nsw_ss; ++k) {
    const std::int32_t br = brnsw(k, ss);
    const std::int32_t f = ief(br, ss);
    const std::int32_t t = iet(br, ss);
    if (f == t || f < 0 || t < 0 || f > n || t > n) continue;
    if (f != 0 && t != 0) {
      r.ft[static_cast<std::size_t>(k - 1)] = sparse_position(a, f, t);
      r.tf[static_cast<std::size_t>(k - 1)] = sparse_position(a, t, f);
      if (r.ft[static_cast<std::size_t>(k - 1)] < 0 || r.tf[static_cast<std::size_t>(k - 1)] < 0)
        return false;
    }
    if (f != 0) ++r.first[static_cast<std::size_t>(f)];
    if (t != 0) ++r.first[static_cast<std::size_t>(t)];
  }
  for (std::int32_t i = 1; i <= n + 1; ++i)
    r.first[static_cast<std::size_t>(i)] += r.first[static_cast<std::size_t>(i - 1)];
  r.at.assign(static_cast<std::size_t>(r.first[static_cast<std::size_t>(n + 1)]), 0);
  // Filled backwards so that each node's switches end in ascending list order.
  for (std::int32_t k = nsw_ss; k >= 1; --k) {
    const std::int32_t br = brnsw(k, ss);
    const std::int32_t f = ief(br, ss);
    const std::int32_t t = iet(br, ss);
    if (f == t || f < 0 || t < 0 || f > n || t > n) continue;
    if (f != 0) r.at[static_cast<std::size_t>(--r.first[static_cast<std::size_t>(f)])] = k;
    if (t != 0) r.at[static_cast<std::size_t>(--r.first[static_cast<std::size_t>(t)])] = k;
  }
  r.pattern = a.pattern;
  return true;
}

// Writes the entries of one subsystem as the full assembly computes them.
struct Writer {
  std::int32_t ss;
  const Record& r;
  const SparseMatrixRef& a;
  e_s0::RealView& rdc;
  const e_s0::GmView& gm;
  const e_s0::FilledView& filled;

  void put(std::int32_t i, std::int32_t j, std::int32_t pos, double v) const {
    a.x[pos] = v;
    if (rdc.valid()) rdc(i, j) = v;
  }
  // gm(i, i) + GGIN(i), then every switch at i.
  void diagonal(std::int32_t i) const {
    double v = gm.get(i, i) + e_s0::ggin(i, ss);
    const std::size_t from = static_cast<std::size_t>(r.first[static_cast<std::size_t>(i)]);
    const std::size_t to = static_cast<std::size_t>(r.first[static_cast<std::size_t>(i) + 1]);
    for (std::size_t s = from; s < to; ++s) v += branches::geq(branches::brnsw(r.at[s], ss), ss);
    put(i, i, r.diag[static_cast<std::size_t>(i - 1)], v);
  }
  // -gm(i, j) where filled, then every switch between i and j.
  void coupling(std::int32_t i, std::int32_t j) const {
    coupling_at(i, j, sparse_position(a, i, j));
  }
  void coupling_at(std::int32_t i, std::int32_t j, std::int32_t pos) const {
    double v = filled.get(i, j) ? -gm.get(i, j) : 0.0;
    const std::size_t from = static_cast<std::size_t>(r.first[static_cast<std::size_t>(i)]);
    const std::size_t to = static_cast<std::size_t>(r.first[static_cast<std::size_t>(i) + 1]);
    for (std::size_t s = from; s < to; ++s) {
      const std::int32_t br = branches::brnsw(r.at[s], ss);
      const std::int32_t f = branches::ief(br, ss);
      const std::int32_t t = branches::iet(br, ss);
      if ((f == i && t == j) || (f == j && t == i)) v -= branches::geq(br, ss);
    }
    put(i, j, pos, v);
  }
  // Everything a change between p and q (0: ground) touches.
  void pair(std::int32_t p, std::int32_t q) const {
    if (p != 0) diagonal(p);
    if (q != 0 && q != p) diagonal(q);
    if (p != 0 && q != 0 && p != q) {
      coupling(p, q);
      coupling(q, p);
    }
  }
};

// True when the stored matrix a has order n and holds every position of filled
// (kept as entries) in rows m..n.
bool stored_holds(const SparseMatrixRef& a, const e_s0::FilledView& filled, std::int32_t n,
                  std::int32_t m) {
  if (n < 1 || a.n != n || a.p == nullptr || filled.extent(1) < n) return false;
  bool holds = true;
  for (std::int32_t i = std::max(m, 1); holds && i <= n; ++i)
    filled.for_row(i, n, [&](std::int32_t j, bool f) {
      if (f && holds) holds = sparse_position(a, i, j) >= 0;
    });
  return holds;
}

}  // namespace

void note_gm_change(std::int32_t ss, std::int32_t p, std::int32_t q) {
  Record* r = record_of(ss);
  if (r == nullptr) return;
  if (r->noted == kPairs) {
    r->overflow = true;
    return;
  }
  r->pairs[2 * r->noted] = p;
  r->pairs[2 * r->noted + 1] = q;
  ++r->noted;
}

void note_assembled(std::int32_t ss, bool every_node) {
  if (ss < 1) return;
  std::vector<Record>& all = records();
  if (all.size() < static_cast<std::size_t>(ss)) all.resize(static_cast<std::size_t>(ss));
  Record& r = all[static_cast<std::size_t>(ss - 1)];
  const std::int32_t nsw_ss = branches::nsw(ss);
  const std::int32_t n = e_s0::mbus(ss);
  r.switch_br.resize(static_cast<std::size_t>(std::max(nsw_ss, 0)));
  r.switch_g.resize(r.switch_br.size());
  for (std::int32_t k = 1; k <= nsw_ss; ++k) {
    const std::int32_t br = branches::brnsw(k, ss);
    r.switch_br[static_cast<std::size_t>(k - 1)] = br;
    r.switch_g[static_cast<std::size_t>(k - 1)] = branches::geq(br, ss);
  }
  r.norton_g.resize(static_cast<std::size_t>(std::max(n, 0)));
  if (every_node) {
    for (std::int32_t node = 1; node <= n; ++node)
      r.norton_g[static_cast<std::size_t>(node - 1)] = e_s0::ggin(node, ss);
  } else {
    for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) {
      const std::int32_t node = int2::ll(k, ss);
      if (node >= 1 && node <= n)
        r.norton_g[static_cast<std::size_t>(node - 1)] = e_s0::ggin(node, ss);
    }
  }
  // Room for the map of the stored pattern, so that making it at the first
  // change on the sparse solver allocates nothing.
  r.diag.reserve(r.norton_g.size());
  r.first.reserve(r.norton_g.size() + 2);
  r.ft.reserve(r.switch_g.size());
  r.tf.reserve(r.switch_g.size());
  r.at.reserve(2 * r.switch_g.size());
  r.noted = 0;
  r.overflow = false;
  r.known = true;
}

bool changes_known(std::int32_t ss, std::int32_t m, const e_s0::FillView& temfil) {
  const Record* r = record_of(ss);
  if (r == nullptr || !r->known || r->overflow) return false;
  const std::int32_t n = e_s0::mbus(ss);
  const std::int32_t nsw_ss = branches::nsw(ss);
  if (static_cast<std::size_t>(nsw_ss) != r->switch_br.size() ||
      static_cast<std::size_t>(n) != r->norton_g.size())
    return false;
  std::int32_t lowest = n + 1;
  for (std::int32_t k = 1; k <= nsw_ss; ++k) {
    const std::int32_t br = branches::brnsw(k, ss);
    if (br != r->switch_br[static_cast<std::size_t>(k - 1)]) return false;
    if (branches::geq(br, ss) != r->switch_g[static_cast<std::size_t>(k - 1)]) {
      const std::int32_t x = low_end(branches::ief(br, ss), branches::iet(br, ss));
      if (x > 0) lowest = std::min(lowest, x);
    }
  }
  for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) {
    const std::int32_t node = int2::ll(k, ss);
    if (node < 1 || node > n) return false;
    if (e_s0::ggin(node, ss) != r->norton_g[static_cast<std::size_t>(node - 1)])
      lowest = std::min(lowest, node);
  }
  for (std::size_t k = 0; k < r->noted; ++k) {
    const std::int32_t p = r->pairs[2 * k];
    const std::int32_t q = r->pairs[2 * k + 1];
    if (p < 0 || q < 0 || p > n || q > n) return false;
    if (temfil.valid() && p != 0 && q != 0 && p != q && !(temfil(p, q) && temfil(q, p)))
      return false;
    const std::int32_t x = low_end(p, q);
    if (x > 0) lowest = std::min(lowest, x);
  }
  return m >= lowest;
}

bool update_sparse_entries(std::int32_t ss, e_s0::RealView rdc, const e_s0::GmView& gm,
                           const e_s0::FilledView& filled) {
  Record* rec = record_of(ss);
  if (rec == nullptr) return false;
  Record& r = *rec;
  const SparseMatrixRef a = sparse_matrix(ss);
  const std::int32_t n = e_s0::mbus(ss);
  if (a.n != n || n < 1) return false;
  if (r.pattern != a.pattern && !build_map(r, ss, a)) {
    r.pattern = -1;
    return false;
  }
  // Step 1: every noted coupling must be stored (the pattern did not grow).
  for (std::size_t k = 0; k < r.noted; ++k) {
    const std::int32_t p = r.pairs[2 * k];
    const std::int32_t q = r.pairs[2 * k + 1];
    if (p != 0 && q != 0 && p != q &&
        (sparse_position(a, p, q) < 0 || sparse_position(a, q, p) < 0))
      return false;
  }
  // Step 2: the changed entries.
  const Writer w{ss, r, a, rdc, gm, filled};
  for (std::size_t k = 0; k < r.noted; ++k) w.pair(r.pairs[2 * k], r.pairs[2 * k + 1]);
  for (std::int32_t k = 1; k <= branches::nsw(ss); ++k) {
    const std::int32_t br = branches::brnsw(k, ss);
    if (branches::geq(br, ss) != r.switch_g[static_cast<std::size_t>(k - 1)])
      w.pair(branches::ief(br, ss), branches::iet(br, ss));
  }
  for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) {
    const std::int32_t node = int2::ll(k, ss);
    if (e_s0::ggin(node, ss) != r.norton_g[static_cast<std::size_t>(node - 1)]) w.diagonal(node);
  }
  // Step 3: the stored values are the ones to factorise.
  sparse_values_written(ss);
  note_assembled(ss, false);
  return true;
}

std::int32_t assemble_sparse_rows(std::int32_t ss, std::int32_t m, bool first_solution,
                                  const e_s0::GmView& gm, const e_s0::FilledView& filled) {
  using namespace branches;
  const std::int32_t n = e_s0::mbus(ss);
  if (n < 1) return 1;
  if (ss > static_cast<std::int32_t>(records().size()))
    records().resize(static_cast<std::size_t>(ss));
  Record& r = records()[static_cast<std::size_t>(ss - 1)];
  m = std::clamp(m, 1, n);

  // Step 1: the stored pattern holds filled's rows m..n, or is made again.
  const SparseMatrixRef old = sparse_matrix(ss);
  const bool fresh = (first_solution && !r.first_step_pattern) || old.n != n;
  r.first_step_pattern = first_solution;
  bool renew = fresh || !(filled.is_sparse() ? stored_holds(old, filled, n, m)
                                             : sparse_pattern_holds(ss, n, m, filled.data(),
                                                                    filled.extent(1)));
  if (!renew && r.pattern != old.pattern) renew = !build_map(r, ss, old);
  if (renew) {
    std::vector<std::int32_t> rows;
    std::vector<std::int32_t> cols;
    for (std::int32_t k = 1; k <= nsw(ss); ++k) {
      const std::int32_t br = brnsw(k, ss);
      const std::int32_t f = ief(br, ss);
      const std::int32_t t = iet(br, ss);
      if (f < 1 || t < 1 || f == t) continue;
      rows.insert(rows.end(), {f, t});
      cols.insert(cols.end(), {t, f});
    }
    // A filled kept as entries gives its positions as pairs too.
    if (filled.is_sparse()) {
      for (std::int32_t i = 1; i <= n; ++i) {
        filled.for_row(i, n, [&](std::int32_t j, bool f) {
          if (!f || j == i) return;
          rows.push_back(i);
          cols.push_back(j);
        });
      }
    }
    if (!sparse_new_pattern(ss, n, filled.is_sparse() ? nullptr : filled.data(), filled.extent(1),
                            rows.data(), cols.data(), rows.size(), !fresh))
      return 0;
    m = 1;
  }

  // Step 2: rows m..n at their stored positions.
  const SparseMatrixRef a = sparse_matrix(ss);
  if (r.pattern != a.pattern && !build_map(r, ss, a)) {
    r.pattern = -1;
    return 0;
  }
  e_s0::RealView none;
  const Writer w{ss, r, a, none, gm, filled};
  for (std::int32_t j = 1; j <= n; ++j) {
    for (std::int32_t p = a.p[j - 1]; p < a.p[j]; ++p) {
      const std::int32_t i = a.i[p] + 1;
      if (i < m) continue;
      if (i == j) {
        w.diagonal(i);
      } else {
        w.coupling_at(i, j, p);
      }
    }
  }
  sparse_values_written(ss);
  note_assembled(ss);
  return m;
}

double sparse_entry_sum(std::int32_t ss) {
  const SparseMatrixRef a = sparse_matrix(ss);
  double s = 0.0;
  if (a.n < 1) return s;
  for (std::int32_t p = 0; p < a.p[a.n]; ++p) s += a.x[p];
  return s;
}

}  // namespace wakro

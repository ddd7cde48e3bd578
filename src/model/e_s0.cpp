// The matrix set of the subsystems: sizing, clearing, views and release.
//
// Both storage forms are handled here so that no other routine needs to know which
// one a case uses (ndde::use_subsysdim). Allocation failures of the matrices are not
// runtime stops like those of the other groups: they are reported as the two-line
// error of allocation_failure_hook and end the run through the termination routine.
#include "model/e_s0.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "model/fatal.h"
#include "model/int3.h"
#include "model/ndde.h"

namespace e_s0 {
namespace {

// Allocates a, returning false instead of stopping when the memory or the element
// count cannot be had (the caller reports it).
template <class A, class... E>
bool try_allocate(A& a, E... extents) {
  try {
    a.allocate(extents...);
  } catch (const wakro::FatalExit&) {
    return false;
  }
  return true;
}

[[noreturn]] void report_allocation_failure() {
  if (allocation_failure_hook != nullptr) allocation_failure_hook();
  wakro::runtime_stop(std::string(kAllocFailFirst) + "\n" + std::string(kAllocFailLast));
}

// A square field of order m: kept when its extents match, allocated again otherwise.
// An order below 1 (a subsystem without a "SUBSYSDIM:" entry) still gets a 1 x 1
// field, so no builder or view meets a matrix without entries.
template <class T>
void ensure_square(wakro::FArray<T, 2>& a, std::int32_t m) {
  m = std::max(m, 1);
  if (a.allocated() && a.extent(1) == m && a.extent(2) == m) return;
  a.release();
  if (!try_allocate(a, m, m)) report_allocation_failure();
}

// A shared array of nplanes planes of order m, with the same rule.
template <class T>
void ensure_planes(wakro::FArray<T, 3>& a, std::int32_t m, std::int32_t nplanes) {
  m = std::max(m, 0);
  nplanes = std::max(nplanes, 0);
  if (a.allocated() && a.extent(1) == m && a.extent(2) == m && a.extent(3) == nplanes)
    return;
  a.release();
  if (!try_allocate(a, m, m, nplanes)) report_allocation_failure();
}

void release_records() {
  if (!ss.allocated()) return;
  for (std::int32_t k = 1; k <= ss.extent(1); ++k) {
    SsRecord& r = ss(k);
    r.rdc.release();
    r.gm.release();
    r.filled.release();
    r.temfil.release();
  }
  ss.release();
}

// Marked subsystems (mark_without_work_matrices), and those that the last
// allocation of the work matrices left without them. work_plane: in the shared
// form, the plane of each subsystem up to the last allocation's count (0: none);
// beyond it, plane k - marks below k.
std::vector<bool> g_marked;
std::vector<bool> g_without;
std::vector<std::int32_t> g_plane;

bool flag(const std::vector<bool>& v, std::int32_t k) {
  return k >= 1 && static_cast<std::size_t>(k) <= v.size() && v[static_cast<std::size_t>(k - 1)];
}

void clear_marks() {
  g_marked.clear();
  g_without.clear();
  g_plane.clear();
}

std::int32_t work_plane(std::int32_t k) {
  if (k >= 1 && static_cast<std::size_t>(k) <= g_plane.size())
    return g_plane[static_cast<std::size_t>(k - 1)];
  const std::int32_t taken =
      static_cast<std::int32_t>(g_plane.size()) -
      static_cast<std::int32_t>(std::count(g_without.begin(), g_without.end(), true));
  return k - static_cast<std::int32_t>(g_plane.size()) + taken;
}

// The shared planes of subsystems 1 .. n from the marks: returns their count.
std::int32_t assign_planes(std::int32_t n) {
  g_without.assign(static_cast<std::size_t>(std::max(n, 0)), false);
  g_plane.assign(g_without.size(), 0);
  std::int32_t planes = 0;
  for (std::int32_t k = 1; k <= n; ++k) {
    if (flag(g_marked, k)) {
      g_without[static_cast<std::size_t>(k - 1)] = true;
    } else {
      g_plane[static_cast<std::size_t>(k - 1)] = ++planes;
    }
  }
  return planes;
}

// True when sizes holds entries 1 .. n.
bool sizes_cover(std::int32_t n, const wakro::FArray<std::int32_t, 1>& sizes) {
  return n >= 0 && (n == 0 || (sizes.allocated() && sizes.extent(1) >= n));
}

// gm and filled of a subsystem on the sparse store: the entries, or (after
// ensure_dense_store) the dense arrays of the same order that replaced them.
struct SparseSet {
  wakro::SparseEntries<double> gm{"gm"};
  wakro::SparseEntries<bool> filled{"filled"};
  wakro::FArray<double, 2> dense_gm{"gm"};
  wakro::FArray<bool, 2> dense_filled{"filled"};
};

// Per subsystem, its sparse set (null: dense gm and filled). g_gm_plane: in the
// shared form, the plane of gm and filled of each subsystem (0: none); empty when
// every subsystem has its own plane k.
std::vector<std::unique_ptr<SparseSet>> g_sparse;
std::vector<std::int32_t> g_gm_plane;

SparseSet* sparse_set(std::int32_t k) {
  if (k < 1 || static_cast<std::size_t>(k) > g_sparse.size()) return nullptr;
  return g_sparse[static_cast<std::size_t>(k - 1)].get();
}

// The sparse stores of subsystems 1 .. n: each subsystem the sparse solver takes
// by its order gets one, cleared, of its matrix order (nd1 in the shared form),
// with the diagonal filled as the dense form's.
void choose_sparse_stores(std::int32_t n, const wakro::FArray<std::int32_t, 1>& sizes) {
  g_sparse.clear();
  g_gm_plane.clear();
  if (!int3::enable_sparse || !sizes_cover(n, sizes)) return;
  g_sparse.resize(static_cast<std::size_t>(n));
  for (std::int32_t k = 1; k <= n; ++k) {
    if (sizes(k) <= int3::sparse_limit) continue;
    auto set = std::make_unique<SparseSet>();
    const std::int32_t order = ndde::use_subsysdim ? std::max(sizes(k), 1) : ndde::nd1;
    const std::int32_t diagonal = ndde::use_subsysdim ? std::min(sizes(k), order) : order;
    set->gm.reset(order);
    set->filled.reset(order);
    for (std::int32_t i = 1; i <= diagonal; ++i) set->filled.at(i, i) = true;
    g_sparse[static_cast<std::size_t>(k - 1)] = std::move(set);
  }
}

// Shared form: the planes of gm and filled for subsystems 1 .. nplanes, those on
// the sparse store left out; returns the number of planes.
std::int32_t assign_gm_planes(std::int32_t nplanes) {
  g_gm_plane.clear();
  if (std::none_of(g_sparse.begin(), g_sparse.end(), [](const auto& s) { return s != nullptr; }))
    return nplanes;
  std::int32_t planes = 0;
  for (std::int32_t k = 1; k <= nplanes; ++k)
    g_gm_plane.push_back(sparse_set(k) != nullptr ? 0 : ++planes);
  return planes;
}

std::int32_t gm_plane(std::int32_t k) {
  if (g_gm_plane.empty()) return k;
  return k >= 1 && static_cast<std::size_t>(k) <= g_gm_plane.size()
             ? g_gm_plane[static_cast<std::size_t>(k - 1)]
             : 0;
}

}  // namespace

void allocate_ssdim_array(std::int32_t n, std::int32_t& status) {
  status = 0;
  if (ssdim.allocated()) {
    ssdim.release();
    status = 1;
  }
  if (!try_allocate(ssdim, n)) {
    status = 2;
    return;
  }
  ssdim.fill(0);
}

void allocate_ss_matrices(std::int32_t n, const wakro::FArray<std::int32_t, 1>& sizes,
                          std::int32_t& status) {
  status = 0;
  gm_built = false;  // cleared matrices are in set-up form
  clear_marks();
  if (ndde::use_subsysdim) {
    if (!sizes_cover(n, sizes)) {
      status = 1;
      return;
    }
    // Step 1: the records and their gm / filled fields of each subsystem's order.
    if (ss.allocated() && ss.extent(1) != n) release_records();
    if (!ss.allocated() && !try_allocate(ss, n)) report_allocation_failure();
    choose_sparse_stores(n, sizes);
    for (std::int32_t k = 1; k <= n; ++k) {
      if (sparse_set(k) != nullptr) {
        ss(k).gm.release();
        ss(k).filled.release();
        continue;
      }
      ensure_square(ss(k).gm, sizes(k));
      ensure_square(ss(k).filled, sizes(k));
    }
    // Step 2: clear, the fill pattern starting as the diagonal.
    for (std::int32_t k = 1; k <= n; ++k) {
      SsRecord& r = ss(k);
      if (!r.gm.allocated()) continue;
      r.gm.fill(0.0);
      r.filled.fill(false);
      const std::int32_t order = std::min(sizes(k), r.filled.extent(1));
      for (std::int32_t i = 1; i <= order; ++i) r.filled(i, i) = true;
    }
    return;
  }
  // Shared form: every plane of order nd1, its whole diagonal filled.
  choose_sparse_stores(n, sizes);
  const std::int32_t planes = assign_gm_planes(ndde::nd2);
  ensure_planes(gm, ndde::nd1, planes);
  ensure_planes(filled, ndde::nd1, planes);
  gm.fill(0.0);
  filled.fill(false);
  for (std::int32_t k = 1; k <= filled.extent(3); ++k)
    for (std::int32_t i = 1; i <= filled.extent(1); ++i) filled(i, i, k) = true;
}

void allocate_ss_matrices2(std::int32_t n, const wakro::FArray<std::int32_t, 1>& sizes,
                           std::int32_t& status) {
  status = 0;
  if (ndde::use_subsysdim) {
    if (!sizes_cover(n, sizes) || !ss.allocated() || ss.extent(1) < n) {
      status = 1;
      return;
    }
    assign_planes(n);
    for (std::int32_t k = 1; k <= n; ++k) {
      if (flag(g_without, k)) {
        ss(k).rdc.release();
        ss(k).temfil.release();
        continue;
      }
      ensure_square(ss(k).rdc, sizes(k));
      ensure_square(ss(k).temfil, sizes(k));
    }
  } else {
    const std::int32_t planes = assign_planes(ndde::nd2);
    ensure_planes(rdc, ndde::nd75, planes);
    ensure_planes(temfil, ndde::nd75, planes);
  }
  initialize_ss_matrices2(n);
}

void initialize_ss_matrices2(std::int32_t n) {
  if (ndde::use_subsysdim) {
    if (!ss.allocated()) return;
    const std::int32_t last = std::min(n, ss.extent(1));
    for (std::int32_t k = 1; k <= last; ++k) {
      ss(k).rdc.fill(0.0);
      ss(k).temfil.fill(false);
    }
    return;
  }
  rdc.fill(0.0);
  temfil.fill(false);
}

namespace {

SsRecord* record(std::int32_t k) {
  if (!ss.allocated() || k < 1 || k > ss.extent(1)) return nullptr;
  return &ss(k);
}

template <class T>
wakro::FView<T, 2> field_view(wakro::FArray<T, 2> SsRecord::*field, std::int32_t k) {
  SsRecord* r = record(k);
  if (r == nullptr || !(r->*field).allocated()) return {};
  return (r->*field).view();
}

template <class T>
wakro::FView<T, 2> plane_view(wakro::FArray<T, 3>& a, std::int32_t k) {
  if (!a.allocated() || k < 1 || k > a.extent(3)) return {};
  return a.plane(k);
}

}  // namespace

bool sparse_store(std::int32_t k) {
  const SparseSet* set = sparse_set(k);
  return set != nullptr && !set->dense_gm.allocated();
}

void ensure_dense_store(std::int32_t k) {
  SparseSet* set = sparse_set(k);
  if (set == nullptr || set->dense_gm.allocated()) return;
  const std::int32_t order = set->gm.order();
  ensure_square(set->dense_gm, order);
  ensure_square(set->dense_filled, order);
  set->dense_gm.fill(0.0);
  set->dense_filled.fill(false);
  for (std::int32_t i = 1; i <= order; ++i) {
    set->gm.for_row(i, [&](std::int32_t j, double v) { set->dense_gm(i, j) = v; });
    set->filled.for_row(i, [&](std::int32_t j, bool v) { set->dense_filled(i, j) = v; });
  }
  set->gm.release();
  set->filled.release();
}

GmView assign_gm_ptr(std::int32_t k) {
  if (SparseSet* set = sparse_set(k))
    return set->dense_gm.allocated() ? GmView(set->dense_gm.view()) : GmView(&set->gm);
  if (ndde::use_subsysdim) return field_view(&SsRecord::gm, k);
  return k < 1 ? RealView{} : plane_view(gm, gm_plane(k));
}

FilledView assign_filled_ptr(std::int32_t k) {
  if (SparseSet* set = sparse_set(k))
    return set->dense_filled.allocated() ? FilledView(set->dense_filled.view())
                                         : FilledView(&set->filled);
  if (ndde::use_subsysdim) return field_view(&SsRecord::filled, k);
  return k < 1 ? FillView{} : plane_view(filled, gm_plane(k));
}

RealView assign_rdc_ptr(std::int32_t k) {
  if (ndde::use_subsysdim) return field_view(&SsRecord::rdc, k);
  return k < 1 ? RealView{} : plane_view(rdc, work_plane(k));
}

FillView assign_temfil_ptr(std::int32_t k) {
  if (ndde::use_subsysdim) return field_view(&SsRecord::temfil, k);
  return k < 1 ? FillView{} : plane_view(temfil, work_plane(k));
}

void mark_without_work_matrices(std::int32_t k) {
  if (k < 1) return;
  if (g_marked.size() < static_cast<std::size_t>(k)) g_marked.resize(static_cast<std::size_t>(k));
  g_marked[static_cast<std::size_t>(k - 1)] = true;
}

bool without_work_matrices(std::int32_t k) { return flag(g_without, k); }

namespace {

// Shared array a again with one plane more, the planes of the subsystems moved
// from their old numbers (old_plane) to those of g_plane.
template <class T>
void add_plane(wakro::FArray<T, 3>& a, const std::vector<std::int32_t>& old_plane) {
  const std::int32_t m = a.extent(1);
  const std::int32_t planes = a.extent(3) + 1;
  const std::size_t plane_size = static_cast<std::size_t>(m) * static_cast<std::size_t>(m);
  const std::vector<T> kept(a.data(),
                            a.data() + plane_size * static_cast<std::size_t>(a.extent(3)));
  a.release();
  if (!try_allocate(a, m, m, planes)) report_allocation_failure();
  for (std::size_t k = 0; k < g_plane.size(); ++k) {
    if (old_plane[k] == 0) continue;
    std::copy_n(kept.begin() + static_cast<std::ptrdiff_t>(
                                   (static_cast<std::size_t>(old_plane[k]) - 1) * plane_size),
                plane_size, a.data() + (static_cast<std::size_t>(g_plane[k]) - 1) * plane_size);
  }
}

}  // namespace

void ensure_work_matrices(std::int32_t k) {
  if (!flag(g_without, k)) return;
  if (k <= static_cast<std::int32_t>(g_marked.size()))
    g_marked[static_cast<std::size_t>(k - 1)] = false;
  g_without[static_cast<std::size_t>(k - 1)] = false;
  if (ndde::use_subsysdim) {
    SsRecord* r = record(k);
    if (r == nullptr) return;
    const std::int32_t order = ssdim.allocated() && k <= ssdim.extent(1) ? ssdim(k) : 1;
    ensure_square(r->rdc, order);
    ensure_square(r->temfil, order);
    r->rdc.fill(0.0);
    r->temfil.fill(false);
    return;
  }
  if (!rdc.allocated() || !temfil.allocated()) return;
  const std::vector<std::int32_t> old_plane = g_plane;
  std::int32_t planes = 0;
  for (std::size_t j = 0; j < g_plane.size(); ++j) g_plane[j] = g_without[j] ? 0 : ++planes;
  add_plane(rdc, old_plane);
  add_plane(temfil, old_plane);
}

SsRecord* assign_ss_ptr(std::int32_t k) {
  return ndde::use_subsysdim ? record(k) : nullptr;
}

void deallocate_ss_matrices(std::int32_t& status) {
  status = 0;
  gm_built = false;
  clear_marks();
  g_sparse.clear();
  g_gm_plane.clear();
  if (!ndde::use_subsysdim &&
      !(rdc.allocated() && gm.allocated() && filled.allocated() && temfil.allocated()))
    status = 1;
  rdc.release();
  gm.release();
  filled.release();
  temfil.release();
  release_records();
}

void deallocate_ss(std::int32_t& status) {
  ssdim.release();
  deallocate_ss_matrices(status);
}

}  // namespace e_s0

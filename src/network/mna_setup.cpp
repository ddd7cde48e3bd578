// The MNA set-up of a case: element records grouped by subsystem, the dimensions
// of the augmented systems, and the working matrices and sparse lists of every
// subsystem (made on the first run of a set, cleared on later runs).
//
// Leaves: mna::no_mna, mnad, mna_elem, mna_start, mna_end, mbus_mna, the element
// index in each declaration, e_s0::idealss of every subsystem with elements;
// ndde::nd74 and nd75; the working matrices (e_s0 rdc, temfil), the lists of
// module sparse and mna::bvect, xvect.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "diag/listout.h"
#include "diag/quit.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/mna.h"
#include "model/ndde.h"
#include "model/sparse.h"
#include "network/mna_routines.h"
#include "network/solution.h"

namespace {

// Order of the sparse index lists that hold a full triangle of order n.
std::int32_t triangle(std::int32_t n) {
  const std::int64_t t = static_cast<std::int64_t>(n - 1) * n / 2 + 1;
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(t, std::numeric_limits<std::int32_t>::max()));
}

void without_mna_dimensions() {
  ndde::nd74 = ndde::nd19;
  ndde::nd75 = ndde::nd1;
}

// The working matrices of every subsystem, of the orders in sizes.
void allocate_work_matrices(const wakro::FArray<std::int32_t, 1>& sizes) {
  std::int32_t status = 0;
  e_s0::allocate_ss_matrices2(ndde::nd2, sizes, status);
  if (status == 0) return;
  wakro::ListLine() << "Subsystem work matrices could not be allocated";
  wakro_quit("MNA_SETUP", 0);
}

// Declarations are read only up to mna::mnaid; the records after it hold nothing.
std::int32_t declarations() {
  return mna::mnads.allocated() ? std::min(mna::mnaid, mna::mnads.extent(1)) : 0;
}

}  // namespace

void mna_init() {
  using namespace mna;
  no_mna = ndde::e_ndim(dim::nmana);
  for (std::int32_t k = 1; k <= mnad.extent(1); ++k) mnad(k) = Mnad{};
  mna_elem.fill(0);
  mna_start.fill(0);
  mna_end.fill(0);
  ndde::nd75 = 0;
  ndde::nd74 = 0;
  const std::int32_t ndecl = declarations();
  std::int32_t k = 0;
  for (std::int32_t ss = 1; ss <= std::min(int2::nmat, mna_elem.extent(1)); ++ss) {
    const std::int32_t first = k + 1;
    for (std::int32_t d = 1; d <= ndecl; ++d) {
      Mnads& decl = mnads(d);
      if (decl.subsystem != ss || k >= mnad.extent(1)) continue;
      Mnad& el = mnad(++k);
      el.subsystem = ss;
      ++mna_elem(ss);
      el.a = decl.nodes(1, 1);
      el.b = decl.nodes(2, 1);
      el.c = decl.nodes(1, 2);
      el.d = decl.nodes(2, 2);
      for (int p = 3; p <= 5; ++p) {
        el.more_pairs(1, p - 2) = decl.nodes(1, p);
        el.more_pairs(2, p - 2) = decl.nodes(2, p);
      }
      e_s0::idealss(ss) = true;
      decl.element = k;
    }
    if (mna_elem(ss) > 0) {
      mna_start(ss) = first;
      mna_end(ss) = k;
    }
  }
}

void mna_matdim() {
  using namespace mna;
  std::int32_t largest = 0;
  for (std::int32_t ss = 1; ss <= mbus_mna.extent(1); ++ss) {
    mbus_mna(ss) = e_s0::mbus(ss) + mna_elem(ss);
    largest = std::max(largest, mbus_mna(ss));
  }
  // No subsystem at all: the order is that of the node dimension.
  if (int2::nmat < 1 || largest < 1) largest = ndde::nd1;
  ndde::nd75 = largest;
  ndde::nd74 = triangle(largest);
}

void allocate_sparsity2() {
  using namespace sparse;
  using ndde::nd2;
  using ndde::nd74;
  using ndde::nd75;
  // Lists of an earlier case read are replaced.
  for (auto* a : {&lcol, &lbegin, &lend, &ucol, &ubegin, &uend}) a->release();
  mna::bvect.release();
  mna::xvect.release();
  lcol.allocate(nd74, nd2);
  lbegin.allocate(nd75, nd2);
  lend.allocate(nd75, nd2);
  ucol.allocate(nd74, nd2);
  ubegin.allocate(nd75, nd2);
  uend.allocate(nd75, nd2);
  mna::bvect.allocate(nd75);
  mna::xvect.allocate(nd75);
  mna::bvect.fill(0.0);
  mna::xvect.fill(0.0);
}

void initialize_mna_map() {
  if (mna::enable_mna) {
    mna_init();
    mna_matdim();
  } else {
    without_mna_dimensions();
  }
  if (ctrl::mmm != 1) {
    e_s0::initialize_ss_matrices2(ndde::nd2);
    return;
  }
  // The solver of each subsystem is known once the case is read: those assembled
  // straight into the sparse solver's store get no work matrices.
  set_klu();
  mark_sparse_subsystems();
  allocate_work_matrices(mna::enable_mna ? mna::mbus_mna : e_s0::ssdim);
  allocate_sparsity2();
}

void initialize_mna_snap() {
  if (ctrl::mmm != 1) {
    e_s0::initialize_ss_matrices2(ndde::nd2);
    return;
  }
  if (!mna::enable_mna) without_mna_dimensions();
  mark_sparse_subsystems();
  allocate_work_matrices(mna::enable_mna ? mna::mbus_mna : e_s0::ssdim);
  allocate_sparsity2();
}

// Results of the MNA elements and the entries by which component models fill
// them. The current of element e is its unknown I_r (mna::mnad(e).current1, stored
// by the solution); kinds 3 and 4 also carry the controlled-side current
// current2 = g I_r.
//
// mna_cur sums, over all elements of a subsystem, the current each one injects
// into a node, with the signs of its stamps: a +1 in (node, r) means I_r leaves
// the node. Every element contributes, so that the current balance of an ideal
// branch at a node shared with MNA elements is complete.
#include "model/e_s8.h"
#include "model/mna.h"
#include "network/mna_routines.h"

namespace {

// The element record of declaration id; nullptr when the declaration got none.
mna::Mnad* element_of(std::int32_t id) {
  using namespace mna;
  if (!mnads.allocated() || id < 1 || id > mnads.extent(1)) return nullptr;
  const std::int32_t k = mnads(id).element;
  if (!mnad.allocated() || k < 1 || k > mnad.extent(1)) return nullptr;
  return &mnad(k);
}

mna::Mnad* record(std::int32_t k) {
  if (!mna::mnad.allocated() || k < 1 || k > mna::mnad.extent(1)) return nullptr;
  return &mna::mnad(k);
}

// A changed element is entered again at the next factorisation, from row 1 (its
// column reaches rows before any node of its own).
void refactorise(const mna::Mnad& el) {
  if (e_s8::mxinv.allocated() && el.subsystem >= 1 && el.subsystem <= e_s8::mxinv.extent(1)) {
    e_s8::mxinv(el.subsystem) = 1;
    e_s8::switched(el.subsystem) = true;
  }
}

// The kind entries: kind, parameter cleared, the two values.
void set_kind(std::int32_t id, std::int32_t kind, double v1, double v2) {
  mna::Mnad* el = element_of(id);
  if (el == nullptr) return;
  el->kind = kind;
  el->param = 0.0;
  el->value1 = v1;
  el->value2 = v2;
  refactorise(*el);
}

}  // namespace

void update_current(std::int32_t ss) {
  using namespace mna;
  if (!mna_elem.allocated() || mna_elem(ss) <= 0) return;
  for (std::int32_t e = mna_start(ss); e <= mna_end(ss); ++e) {
    Mnad& el = mnad(e);
    if (el.kind == 3 || el.kind == 4) el.current2 = el.current1 * el.value1;
  }
}

double mna_cur(std::int32_t node, std::int32_t ss) {
  using namespace mna;
  if (node < 1 || !mna_elem.allocated() || mna_elem(ss) <= 0) return 0.0;
  double i = 0.0;
  for (std::int32_t e = mna_start(ss); e <= mna_end(ss); ++e) {
    const Mnad& el = mnad(e);
    const double i1 = el.current1;
    const double i2 = el.current2;
    switch (el.kind) {
      case 0:
      case 5:
      case 9:
        if (node == el.a) i -= i1;
        if (node == el.b) i += i1;
        break;
      case 1:
        if (node == el.d) i += i1;
        if (node == el.c) i -= i1;
        break;
      case 2:
        if (node == el.d) i -= i1;
        if (node == el.c) i += i1;
        break;
      case 3:
        if (node == el.d) i -= i2;
        if (node == el.c) i += i2;
        if (node == el.a) i -= i1;
        if (node == el.b) i += i1;
        break;
      case 4:
        if (node == el.d) i += i1;
        if (node == el.c) i -= i1;
        if (node == el.a) i += i2;
        if (node == el.b) i -= i2;
        break;
      default:
        break;
    }
  }
  return i;
}

void mna_out(std::int32_t id, double& i) {
  const mna::Mnad* el = element_of(id);
  i = el != nullptr ? el->current1 : 0.0;
}

void mna_vdvs(double g, double r, std::int32_t id) { set_kind(id, 1, g, r); }
void mna_vdcs(double g, std::int32_t id) {
  mna::Mnad* el = element_of(id);
  set_kind(id, 2, g, el != nullptr ? el->value2 : 0.0);
}
void mna_cdcs(double g, std::int32_t id) {
  mna::Mnad* el = element_of(id);
  set_kind(id, 3, g, el != nullptr ? el->value2 : 0.0);
}
void mna_transformer(double n, double r, std::int32_t id) { set_kind(id, 4, n, r); }

void mna_branch(double g1, double g2, std::int32_t i1, std::int32_t i2, std::int32_t k) {
  mna::Mnad* el = record(k);
  if (el == nullptr) return;
  el->value1 = g1;
  el->value2 = g2;
  el->branch_i1 = i1;
  el->branch_i2 = i2;
  refactorise(*el);
}

void mna_dynbranch(double g1, double g2, std::int32_t i1, std::int32_t i2, std::int32_t k) {
  mna::Mnad* el = record(k);
  if (el == nullptr) return;
  el->kind = 9;
  el->value1 = g1;
  el->value2 = g2;
  el->dyn_branch = i1;
  el->dyn_i2 = i2;
  refactorise(*el);
}

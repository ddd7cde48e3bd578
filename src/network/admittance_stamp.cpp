// stamp_admittance: an n x n admittance among listed nodes, stamped into gm in
// the form gm has at the call (model/e_s0.h).
//
// Each entry is first read as an admittance between two nodes or from a node to
// ground (a nodal admittance is turned into these on the fly: minus the
// off-diagonal, the row sum on the diagonal), then added by the rule of the form:
//   set-up form   between a and b: gm(a, b), gm(b, a) += y
//                 a to ground:     gm(a, a) += y
//   nodal form    between a and b: gm(a, b), gm(b, a), gm(a, a), gm(b, b) += y
//                 a to ground:     gm(a, a), ideal::gms(a) += y
// Leaves: gm, the fill pattern of every pair stamped, ideal::gms (nodal form),
// and mxinv(ss) lowered to the smallest listed node that is not ground.
#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "diag/listout.h"
#include "diag/quit.h"
#include "diag/validators.h"
#include "model/e_s0.h"
#include "model/e_s8.h"
#include "model/ideal.h"
#include "network/entry_update.h"
#include "network/matrix.h"
#include "network/stamp_pattern.h"

namespace wakro {
namespace {

// The matrices of one subsystem and the rule of the form gm is in.
struct Target {
  e_s0::GmView gm;
  e_s0::FilledView filled;
  std::int32_t ss;
  bool nodal;

  void to_ground(std::int32_t a, double y) {
    gm(a, a) += y;
    if (nodal) ideal::gms(a, ss) += y;
    note_gm_change(ss, a, 0);
  }
  void between(std::int32_t a, std::int32_t b, double y) {
    gm(a, b) += y;
    gm(b, a) += y;
    filled(a, b) = filled(b, a) = true;
    note_gm_change(ss, a, b);
    if (!nodal) return;
    gm(a, a) += y;
    gm(b, b) += y;
  }
};

// Step 1: the subsystem, the size of the admittance and every node.
void check(std::string_view caller, std::int32_t ss, std::span<const std::int32_t> nodes,
           const SymmetricAdmittance& y, const e_s0::GmView& gm) {
  wakro_testssn(caller, ss);
  if (!y.complete() || static_cast<std::size_t>(y.order()) != nodes.size()) {
    ListLine() << "Admittance of order" << y.order() << "with"
               << static_cast<std::int32_t>(nodes.size()) << "nodes does not match its"
               << static_cast<std::int32_t>(y.needed()) << "values";
    wakro_quit(caller, 0);
  }
  for (const std::int32_t n : nodes) {
    if (n == 0) continue;
    wakro_testnn(caller, n, ss);
    if (!gm.valid() || n > gm.extent(1)) {
      ListLine() << "Node number " << n << "is beyond the conductance matrix of SS" << ss;
      wakro_quit(caller, 0);
    }
  }
}

}  // namespace

std::size_t SymmetricAdmittance::needed() const {
  if (n_ < 1) return 0;
  const auto n = static_cast<std::size_t>(n_);
  return packed_ ? n * (n + 1) / 2 : n * n;
}

double SymmetricAdmittance::operator()(std::int32_t i, std::int32_t j) const {
  if (i < j) std::swap(i, j);  // the lower triangle: i >= j
  const auto r = static_cast<std::size_t>(i - 1);
  const auto c = static_cast<std::size_t>(j - 1);
  return packed_ ? values_[r * (r + 1) / 2 + c] : values_[c * static_cast<std::size_t>(n_) + r];
}

void stamp_admittance(std::string_view caller, std::int32_t ss, std::span<const std::int32_t> nodes,
                      const SymmetricAdmittance& y, AdmittanceMeaning meaning) {
  const e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
  check(caller, ss, nodes, y, gm);
  Target target{gm, e_s0::assign_filled_ptr(ss), ss, e_s0::gm_built};
  const bool nodal = meaning == AdmittanceMeaning::nodal;
  const auto n = static_cast<std::int32_t>(nodes.size());

  // Step 2: each node's admittance to ground, then each pair once.
  std::int32_t lowest = 0;
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t a = nodes[static_cast<std::size_t>(i - 1)];
    if (a == 0) continue;
    lowest = lowest == 0 ? a : std::min(lowest, a);
    double g = y(i, i);
    if (nodal) {
      g = 0.0;
      for (std::int32_t j = 1; j <= n; ++j) g += y(i, j);
    }
    target.to_ground(a, g);
  }
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) {
      const std::int32_t a = nodes[static_cast<std::size_t>(i - 1)];
      const std::int32_t b = nodes[static_cast<std::size_t>(j - 1)];
      const double v = nodal ? -y(i, j) : y(i, j);
      if (a == b) continue;  // both ground, or a node with itself
      if (stamps_entry(a, b)) {
        target.between(a, b, v);
      } else {
        target.to_ground(a == 0 ? b : a, v);
      }
    }
  }

  // Step 3: the rows to factorise again.
  if (lowest > 0) {
    e_s8::mxinv(ss) = std::min(e_s8::mxinv(ss), lowest);
    e_s8::switched(ss) = true;
  }
}

}  // namespace wakro

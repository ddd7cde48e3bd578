// dsmdyn (see dsmdyn.h): the trapezoidal history of coupled windings,
//   h = Y v(t - dt) + (I - 2 Y R) i(t - dt),   Y = hm, I - 2 Y R = sm,
// so that the winding currents of the coming solution are Y v(t) + h. h flows
// from the winding's from-node to its to-node, like a branch history current.
// Workspace: temp2::av (winding voltages) and temp2::ac (winding currents).
#include "transformers/dsmdyn.h"

#include <span>

#include "diag/listout.h"
#include "diag/quit.h"
#include "model/e_s0.h"
#include "model/e_s5.h"
#include "model/int2.h"
#include "model/temp2.h"
#include "model/tf_subsystems.h"
#include "model/umec.h"
#include "transformers/injcal.h"

namespace {

double node_voltage(std::int32_t node, std::int32_t ss) { return node == 0 ? 0.0 : e_s0::vdc(node, ss); }

[[noreturn]] void misaligned() {
  wakro::ListLine() << "ERROR during solution of transformers!";
  wakro::ListLine() << "Transformer Subsystem Numbers are mis-aligned!";
  wakro_quit(wakro::kDsmdynTag, 0);
}

}  // namespace

void dsmdyn(std::int32_t ss) {
  using namespace e_s5;
  auto& ccgm = e_s0::ccgm;

  // Step 1: the last step's sums kept, this step's started afresh.
  for (std::int32_t i = 1; i <= e_s0::mbus(ss); ++i) {
    e_s0::ccgmd(i, ss) = ccgm(i, ss);
    ccgm(i, ss) = 0.0;
  }
  if (jset <= 0 || numt(ss) == 0) return;

  // Step 2: the transformers of ss, in increasing number.
  const std::span<const std::int32_t> units = in_subsystem(ss, int2::nmat);
  if (static_cast<std::int32_t>(units.size()) > numt(ss)) misaligned();
  auto& v = temp2::av;
  auto& i = temp2::ac;
  for (const std::int32_t k : units) {
    const std::int32_t n = msiz(k);
    for (std::int32_t w = 1; w <= n; ++w) {
      v(w) = node_voltage(mcb(w, k), ss) - node_voltage(ncb(w, k), ss);
      i(w) = e_s0::cdctr(w, k);
    }
    // The core injection of this step, before the history that carries it.
    if (nummag(k) == 1) injcal(ss, k);
    // Step 3: h = hm v + sm i per winding, into the node sums.
    for (std::int32_t w = 1; w <= n; ++w) {
      double h = 0.0;
      for (std::int32_t j = 1; j <= n; ++j) h += hm(w, j, k) * v(j) + sm(w, j, k) * i(j);
      ccmcd(w, k) = ccmc(w, k);
      ccmc(w, k) = h;
      const double injection = umec::fininjs(w, k);
      const std::int32_t f = mcb(w, k);
      const std::int32_t t = ncb(w, k);
      if (f != 0) ccgm(f, ss) = h + ccgm(f, ss) + injection;
      if (t != 0) ccgm(t, ss) = ccgm(t, ss) - h - injection;
    }
  }
}

// dsmdyn (see dsmdyn.h): the trapezoidal history of coupled windings,
//   h = Y v(t - dt) + (I - 2 Y R) i(t - dt),   Y = hm, I - 2 Y R = sm,
// so that the winding currents of the coming solution are Y v(t) + h. h flows
// from the winding's from-node to its to-node, like a branch history current.
// Workspace: temp2::av (winding voltages) and temp2::ac (winding currents).
#include "transformers/dsmdyn.h"

#include <algorithm>
#include <span>

#include "diag/listout.h"
#include "diag/quit.h"
#include "model/e_s0.h"
#include "model/e_s5.h"
#include "model/int2.h"
#include "model/temp2.h"
#include "model/tf_subsystems.h"
#include "model/umec.h"
#include "network/branch_view.h"
#include "transformers/injcal.h"

namespace {

[[noreturn]] void misaligned() {
  wakro::ListLine() << "ERROR during solution of transformers!";
  wakro::ListLine() << "Transformer Subsystem Numbers are mis-aligned!";
  wakro_quit(wakro::kDsmdynTag, 0);
}

// Steps 2 and 3 below, out of line: a subsystem without transformers (most
// subsystems of a case split by lines) pays only for step 1.
[[gnu::noinline]] void winding_histories(std::int32_t ss, const wakro::SubsystemColumns& c);

}  // namespace

void dsmdyn(std::int32_t ss) {
  const wakro::SubsystemColumns& c = wakro::subsystem_columns(ss);

  // Step 1: the last step's sums kept, this step's started afresh.
  wakro::restart_node_sums(c, e_s0::mbus(ss));
  if (e_s5::jset <= 0 || e_s5::numt(ss) == 0) return;
  winding_histories(ss, c);
}

namespace {

void winding_histories(std::int32_t ss, const wakro::SubsystemColumns& c) {
  using namespace e_s5;
  const auto& ccgm = c.ccgm;
  // Step 2: the transformers of ss, in increasing number.
  const std::span<const std::int32_t> units = in_subsystem(ss, int2::nmat);
  if (static_cast<std::int32_t>(units.size()) > numt(ss)) misaligned();
  const auto& vdc = c.vdc;
  double* const v = temp2::av.data() - 1;
  double* const i = temp2::ac.data() - 1;
  const std::ptrdiff_t wmax = mcb.extent(1);  // windings per transformer column
  const std::ptrdiff_t square = static_cast<std::ptrdiff_t>(hm.extent(1)) * hm.extent(2);
  for (const std::int32_t k : units) {
    const std::int32_t n = msiz(k);
    const std::int32_t* const from = mcb.data() + (k - 1) * wmax - 1;  // by winding
    const std::int32_t* const to = ncb.data() + (k - 1) * wmax - 1;
    const double* const cur = e_s0::cdctr.data() + (k - 1) * e_s0::cdctr.extent(1) - 1;
    double* const hist = ccmc.data() + (k - 1) * ccmc.extent(1) - 1;
    double* const hist_before = ccmcd.data() + (k - 1) * ccmcd.extent(1) - 1;
    const double* const inj = umec::fininjs.data() + (k - 1) * umec::fininjs.extent(1) - 1;
    const double* const y = hm.data() + (k - 1) * square;  // y[(j - 1) * rows + w - 1]
    const double* const q = sm.data() + (k - 1) * square;
    const std::ptrdiff_t rows = hm.extent(1);
    for (std::int32_t w = 1; w <= n; ++w) {
      v[w] = (from[w] == 0 ? 0.0 : vdc[from[w]]) - (to[w] == 0 ? 0.0 : vdc[to[w]]);
      i[w] = cur[w];
    }
    // The core injection of this step, before the history that carries it.
    if (nummag(k) == 1) injcal(ss, k);
    // Step 3: h = hm v + sm i per winding, into the node sums.
    for (std::int32_t w = 1; w <= n; ++w) {
      double h = 0.0;
      for (std::int32_t j = 1; j <= n; ++j)
        h += y[(j - 1) * rows + (w - 1)] * v[j] + q[(j - 1) * rows + (w - 1)] * i[j];
      hist_before[w] = hist[w];
      hist[w] = h;
      const double injection = inj[w];
      const std::int32_t f = from[w];
      const std::int32_t t = to[w];
      if (f != 0) ccgm[f] = h + ccgm[f] + injection;
      if (t != 0) ccgm[t] = ccgm[t] - h - injection;
    }
  }
}

}  // namespace

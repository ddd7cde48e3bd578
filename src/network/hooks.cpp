// The network hooks and their defaults (see hooks.h): each default behaves as the
// routine would in a case without its subject. They leave nothing in any workspace
// except dsmdyn, which moves CCGM of the subsystem into CCGMD and clears CCGM.
#include "network/hooks.h"

#include <algorithm>
#include <cstddef>

#include "model/e_s0.h"

namespace wakro {
namespace {

// No transformer: CCGMD keeps this step's start and CCGM restarts from zero, so
// the branch histories that `history` adds are all it holds.
void dsmdyn_without_transformers(std::int32_t ss) {
  const std::int32_t n = std::min(e_s0::mbus(ss), e_s0::ccgm.extent(1));
  for (std::int32_t k = 1; k <= n; ++k) {
    e_s0::ccgmd(k, ss) = e_s0::ccgm(k, ss);
    e_s0::ccgm(k, ss) = 0.0;
  }
}

void nothing() {}
void nothing_ss(std::int32_t) {}
void nothing_mode(std::int32_t, std::int32_t) {}
double no_crossing(std::int32_t, std::int32_t, double, bool, bool) { return 1.5; }
void no_switching(std::int32_t, double) {}
void no_ideal_currents(std::int32_t, double, std::int32_t, double&, bool, bool) {}

// Dense preparation of rows start..n: the whole row cleared, then -GM where the
// pattern has an entry; the caller adds the diagonal.
std::int32_t dense_cpygm(std::int32_t, std::int32_t, std::int32_t n, std::int32_t start,
                         double* rdc, std::int32_t ld_rdc, const double* gm, std::int32_t ld_gm,
                         const bool* filled, std::int32_t ld_filled) {
  for (std::int32_t j = 0; j < n; ++j)
    for (std::int32_t i = std::max(start, 1) - 1; i < n; ++i) {
      double& r = rdc[static_cast<std::ptrdiff_t>(j) * ld_rdc + i];
      r = 0.0;
      if (filled[static_cast<std::ptrdiff_t>(j) * ld_filled + i])
        r = -gm[static_cast<std::ptrdiff_t>(j) * ld_gm + i];
    }
  return 0;
}

// No sparse solver is linked: every solve fails as "other failure".
std::int32_t no_sparse_solver(bool, bool, double, std::int32_t, std::int32_t, std::int32_t,
                              std::int32_t, const double*, std::int32_t, const bool*,
                              std::int32_t, double*) {
  return -4;
}

NetworkHooks defaults() {
  NetworkHooks h{};
  h.dsmdyn = &dsmdyn_without_transformers;
  h.dsldyn = &nothing;
  h.dslout = &nothing;
  h.wakro_vsrc_dyn = &nothing;
  h.switch_crossing = &no_crossing;
  h.switchbr = &no_switching;
  h.istnew = &nothing_ss;
  h.idlsrc = &nothing_ss;
  h.idlcur = &no_ideal_currents;
  h.mna_process = &nothing_ss;
  h.update_current = &nothing_ss;
  h.chatdt = &nothing_mode;
  h.c_cpygm = &dense_cpygm;
  h.c_lesolve = &no_sparse_solver;
  return h;
}

NetworkHooks g_hooks = defaults();

}  // namespace

NetworkHooks& network_hooks() { return g_hooks; }

void reset_network_hooks() { g_hooks = defaults(); }

}  // namespace wakro

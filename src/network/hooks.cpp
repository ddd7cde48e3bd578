// The network hooks and their defaults (see hooks.h): the stages that tests
// replace default to the solution's own routines; a service of a higher room
// defaults to what it does in a case without its subject (none is required of
// every case), leaving nothing in any workspace except dsmdyn, which moves CCGM
// of the subsystem into CCGMD and clears CCGM.
#include "network/hooks.h"

#include <algorithm>

#include "model/e_s0.h"
#include "network/branch_view.h"
#include "network/chatter.h"
#include "network/switching.h"

namespace wakro {
namespace {

// No transformer: CCGMD keeps this step's start and CCGM restarts from zero, so
// the branch histories that `history` adds are all it holds.
void dsmdyn_without_transformers(std::int32_t ss) {
  const std::int32_t n = std::min(e_s0::mbus(ss), e_s0::ccgm.extent(1));
  restart_node_sums(subsystem_columns(ss), n);
}

void nothing() {}
constexpr NetworkHooks defaults() {
  NetworkHooks h{};
  h.dsmdyn = h.plain_dsmdyn = &dsmdyn_without_transformers;
  h.dsldyn = &nothing;
  h.dslout = &nothing;
  h.wakro_vsrc_dyn = &nothing;
  h.switch_crossing = &switch_crossing;
  h.switchbr = &::switchbr;
  h.chatdt = &::chatdt;
  return h;
}

}  // namespace

constinit NetworkHooks detail::g_network_hooks = defaults();

void reset_network_hooks() { detail::g_network_hooks = defaults(); }

}  // namespace wakro

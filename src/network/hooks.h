// The hooks through which the network solution reaches code it cannot include.
//
// A routine sits behind a hook for one of two reasons, and for no other:
//   - it belongs to a higher room that the solution calls every step: dsmdyn
//     (transformer winding histories), dsldyn and dslout (line histories and
//     terminal currents), wakro_vsrc_dyn (registered voltage sources); those rooms
//     register their routines at start-up;
//   - a test really replaces it: switch_crossing and switchbr (tests script the
//     crossings and the switchings of a step), chatdt (tests watch what the
//     chatter detector sees), dsmdyn and wakro_vsrc_dyn (tests count and script
//     the calls).
// The solution's other stages (ideal branches, MNA elements, the sparse-solver
// adapter) are called directly.
//
// Every default is the right behaviour for a case that has none of the hook's
// subject, so none of them is a missing service: no transformer (dsmdyn only
// moves CCGM to CCGMD and clears it), no line, no registered source; the switch
// crossing tests, the switching and the chatter detector default to the
// solution's own routines (switching.h, chatter.h).
// Calling through a function pointer allocates nothing.
#pragma once

#include <cstdint>

#include "model/substep.h"

namespace wakro {

struct NetworkHooks {
  // Transformers: first step of the network history of subsystem ss (keeps CCGM
  // in CCGMD, clears CCGM, adds the winding histories).
  void (*dsmdyn)(std::int32_t ss);
  // The dsmdyn routine of the process (the default, or the transformer room's
  // once it registered): for a subsystem without transformers it does nothing
  // but restart the node sums (restart_node_sums). While dsmdyn is still this
  // routine, a solution path for such a subsystem may restart the sums itself
  // instead of calling it; a routine put in its place (a test's) is called.
  void (*plain_dsmdyn)(std::int32_t ss);
  // Lines: the per-step line histories (into e_s0::ccli) and, after all
  // subsystems, the terminal currents.
  void (*dsldyn)();
  void (*dslout)();
  // Sources: advances the registered voltage source whose storage record starts
  // at storage::this_ (writes its EBR for the end of the present sub-step).
  void (*wakro_vsrc_dyn)();

  // Crossing fraction of switch br of subsystem ss in the present sub-step, by
  // its switching mode (kNoCrossing when its condition is not crossed).
  double (*switch_crossing)(std::int32_t ss, std::int32_t br, const SubStep& s);
  // Operates the switches of ss whose crossing falls at fraction frac.
  void (*switchbr)(std::int32_t ss, double frac);
  // Chatter detection on the new solution (mode 1 voltages, 2 currents).
  void (*chatdt)(std::int32_t ss, std::int32_t mode);
};

namespace detail {
extern NetworkHooks g_network_hooks;
}  // namespace detail

// The hooks of the process.
inline NetworkHooks& network_hooks() { return detail::g_network_hooks; }
// Puts every hook back to its default.
void reset_network_hooks();

}  // namespace wakro

// The hooks through which the network solution reaches code it cannot include.
//
// Two kinds of routine sit behind a hook:
//   - services of higher rooms that the solution calls every step (transformer
//     winding histories, line histories and terminal currents, registered voltage
//     sources); those rooms register their routines at start-up;
//   - the solution's own later stages that are built separately (switch crossing
//     tests and switching, ideal branches, MNA elements, chatter detection, the
//     sparse-solver adapter).
// Every default is what the routine does in a case that has none of its subject:
// no transformer (dsmdyn only moves CCGM to CCGMD and clears it), no line, no
// registered source; the switch crossing tests, the switching, the chatter
// detector, the ideal branches, the MNA elements and the sparse solver default to
// the solution's own routines (switching.h, chatter.h, ideal_branches.h,
// mna_routines.h, klu_adapter.h), so tests can put stand-ins in their place.
// Calling through a function pointer allocates nothing.
#pragma once

#include <cstdint>

#include "model/substep.h"

namespace wakro {

struct NetworkHooks {
  // Transformers: first step of the network history of subsystem ss (keeps CCGM
  // in CCGMD, clears CCGM, adds the winding histories).
  void (*dsmdyn)(std::int32_t ss);
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
  // Ideal branches: MXINV below every ideal branch that straddles it; the
  // collapse of the matrix; the ideal-branch currents.
  void (*istnew)(std::int32_t ss);
  void (*idlsrc)(std::int32_t ss);
  void (*idlcur)(std::int32_t ss, double frac, std::int32_t brq, double& iq, bool chk,
                 bool nosrc);
  // MNA elements: the augmented rows of the matrix; the controlled currents.
  void (*mna_process)(std::int32_t ss);
  void (*update_current)(std::int32_t ss);
  // Chatter detection on the new solution (mode 1 voltages, 2 currents).
  void (*chatdt)(std::int32_t ss, std::int32_t mode);
  // Sparse solver: prepares rows start.. of the dense working matrix (column-major,
  // leading dimension ld) from gm; solves in place (codes 0, -1 .. -5).
  std::int32_t (*c_cpygm)(std::int32_t mode, std::int32_t ss, std::int32_t n, std::int32_t start,
                          double* rdc, std::int32_t ld_rdc, const double* gm,
                          std::int32_t ld_gm, const bool* filled, std::int32_t ld_filled);
  std::int32_t (*c_lesolve)(bool firststep, bool laststep, double time, std::int32_t refactor,
                            std::int32_t ss, std::int32_t n, std::int32_t start,
                            const double* matrix, std::int32_t ld_matrix, const bool* mask,
                            std::int32_t ld_mask, double* x);
};

// The hooks of the process.
NetworkHooks& network_hooks();
// Puts every hook back to its default.
void reset_network_hooks();

}  // namespace wakro

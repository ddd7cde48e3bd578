// The network solution's routines in the seams of the driver and of the model
// services.
#include "app/network_services.h"

#include "app/seams.h"
#include "diag/nodeaccess.h"
#include "input/reader_hooks.h"
#include "network/mna_routines.h"
#include "network/rdbranch.h"
#include "network/solution.h"

namespace wakro {

void use_network_services() {
  Seams& s = seams();
  s.intsolvi = &intsolvi;
  s.set_klu = &set_klu;
  set_branch_term_hooks(&wakro_gete, &wakro_geti);
  // The case reader sizes the work matrices and sparse lists of every case
  // (with or without MNA elements) through the MNA set-up.
  reader_hooks().initialize_mna_map = &initialize_mna_map;
  // Every case's "BRANCHES:" sections.
  use_branch_reader();
}

}  // namespace wakro

// The network solution's routines in the seams of the driver and of the model
// services.
#include "app/network_services.h"

#include "app/seams.h"
#include "diag/nodeaccess.h"
#include "network/solution.h"

namespace wakro {

void use_network_services() {
  Seams& s = seams();
  s.intsolvi = &intsolvi;
  s.set_klu = &set_klu;
  set_branch_term_hooks(&wakro_gete, &wakro_geti);
}

}  // namespace wakro

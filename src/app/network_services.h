// Plugs the network solution into the driver's seams and the model services.
#pragma once

namespace wakro {

// One step's solution (intsolvi), the solver choice at time zero (set_klu),
// the branch source terms that the node-access services read (wakro_gete,
// wakro_geti), the MNA set-up that sizes every case's work matrices, and the
// reader of the "BRANCHES:" sections.
void use_network_services();

}  // namespace wakro

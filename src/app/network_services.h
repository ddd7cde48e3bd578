// Plugs the network solution into the driver's seams and the model services.
#pragma once

namespace wakro {

// One step's solution (intsolvi), the solver choice at time zero (set_klu), and
// the branch source terms that the node-access services read (wakro_gete,
// wakro_geti), and the MNA set-up that sizes every case's work matrices.
void use_network_services();

}  // namespace wakro

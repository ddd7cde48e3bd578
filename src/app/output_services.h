// Plugs the output room's routines into the seams of the driver and the run
// loop: the console start-up dialogue, the legacy channel files, the record
// file's output step and its next-run binding, and the console progress and
// screen plot.
#pragma once

namespace wakro {

void use_output_services();

}  // namespace wakro

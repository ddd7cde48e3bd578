// wakro::stop_if_not_finite: the run loop's watch for a solution or channel
// that has become NaN or infinite.
//
// Called once per output step, after the step's network solution and output
// routines. It looks at every node voltage of every subsystem (e_s0::vdc) and
// then at every output channel (e_s4::pgb through the output list), stops at the
// first value that is not finite and ends the run through wakro_quit (status
// 2000), so the channel files keep every finite output step written before it;
// in a set of multiple runs it ends only that run, marked as cut short, and the
// set goes on.
// The message is one line naming the time, and the subsystem and node, or the
// channel's number and name:
//
//   " ERROR: Not a finite value at time 1.13600 s: subsystem 1, node 57 voltage nan"
//   " ERROR: Not a finite value at time 1.13600 s: output channel 95 nan (Inverter 1 ...)"
//
// Its cost is one comparison per node and per channel each output step.
#pragma once

namespace wakro {

void stop_if_not_finite();

}  // namespace wakro

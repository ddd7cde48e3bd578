// One reset of all the shared state of the engine, for every test fixture.
//
// The engine keeps its state in process-wide modules, hooks and seams, so every
// test starts from, and leaves behind, the state of a process before anything
// runs. reset_shared_state() does it all; its four parts are there for a test
// that clears one kind of state in the middle (for example the files and the
// reader's scalars after a fatal stop, keeping the hooks it installed).
#pragma once

namespace wakro_test {

// Every channel file and input unit closed; the unit stack at its base.
void close_files();
// Every case-sized array released (the allocation groups, the load-flow
// display, the subsystem matrices, the harmonic tables, the channel arrays),
// the sparse solver's factors freed, and the dimension table and working sizes
// back to 0.
void release_arrays();
// The scalars of the state modules at the values the process starts with.
void reset_scalars();
// Every hook and seam of every room at its default: the network's, the case
// reader's, the output's, the diagnostics' and the process entry's, the link
// and the memory budget of the arrays.
void reset_hooks();

// All four parts.
void reset_shared_state();

}  // namespace wakro_test

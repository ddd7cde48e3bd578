// Room `machines`: the electrical machine models.
//
// Owns: the synchronous machine's state block of 375 slots and its
// configuration record (machine_block.h); the d-axis saturation zones and flux
// law (saturation.h); the conversion of terminal data into the equivalent
// circuit of each axis and of an operating point into initial conditions
// (conversion.h); the reading of a machine's data records and the copy of its
// configuration record into the block (macdat.h); the set-up constants, the
// inverse inductance matrices, the frame transforms and the per-step
// predictor-corrector of the machine's currents (setup.h, solver.h); the
// begin-pass configuration of the three-phase machine in both forms
// (sync_config.h); its per-step model with the start-up source, the hand-over
// and the internal damping-branch variant, and the single-routine form that
// reads its own records and enters the network by node injections
// (sync_machine.h); the AC7B excitation system in its three forms, on one
// shared chain (exciter_ac7b.h, exciter_ac7b_chain.h); and the AC7C excitation
// system with its limiter take-over gates (exciter_ac7c.h); the induction
// machine's numerics (induction_numerics.h) and the machine in its two
// configuration-pair forms and its single-routine form (induction_machine.h);
// and the permanent-magnet synchronous machine in its three forms
// (pm_machine.h); the data-record reading and the refusals the induction and
// permanent-magnet single routines share (routine_input.h).
//
// Stands on `model` (time state, storage arrays and pointers, configuration
// store), `diag` (wakro_message, wakro_warn, wakro_quit, the console), `files`
// (the data-line and free-format readers), `blocks` (the one checked way to take
// storage slots, and the control blocks of the exciter) and `network` (the
// run-time change of a branch conductance, the branch accessors, the series R-C
// and interface branches and the harmonic-impedance registry records, for the
// per-step models that enter the matrix). A machine
// never writes the conductance matrix or the re-factorisation marker itself,
// and nothing of a higher room is included from here.
#pragma once

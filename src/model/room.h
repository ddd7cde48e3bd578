// Room `model`: the shared state modules of the engine and their allocation.
//
// Owns: the dimension table (ndde), every case-sized array and the scalar state
// modules that all routines share (one namespace per module, named as the module),
// the group routines a_<group>/d_<group> that allocate and release them, and the
// initial values of the shared state. Also the ground-floor tools every other room
// uses: the 1-based column-major arrays (farray.h), fixed-width texts
// (fixedtext.h) and the fatal exit (fatal.h).
//
// Modules (one header each):
//   assorc:          the case title and the input mode of the run
//   branch_codes:    switching modes, the no-crossing fraction, codes of branch records
//   branches:        every branch of every subsystem: end nodes, kinds, GEQ, companion terms
//   clvi:            chatter counters of node voltages and branch currents
//   ctrl:            run control of the driver, the run loop, the link and the multiple runs
//   dim:             the entries of the dimension table by name
//   e_s0:            the network state of every subsystem: node arrays and matrix sets
//   e_s1:            the time state of the run
//   e_s2:            the old-style real storage of the single-routine models
//   e_s4:            output-channel values, run-time variables and constants
//   e_s5:            winding tables of the transformers
//   e_s5tap:         what a tap change of a transformer rescales from
//   e_s7:            the line directory and the tables of the mode-domain lines
//   e_s7eni:         the ENI lines, whose two ends run in two processes
//   e_s7mfd:         the tables of the MFDTD lines
//   e_s7ph:          the tables of the phase-domain lines
//   e_s8:            the re-factorisation marker of each subsystem
//   e_s9:            copies of the first seven working sizes, for model code
//   e_tldyn:         the per-step history of the phase-domain and MFDTD lines
//   e_tlint:         read-time scratch of the line reader
//   e_warn:          identity of the component being configured or executed
//   emtio:           the console units
//   farray:          the 1-based column-major arrays, allocated and released by name
//   fatal:           the single fatal-exit point (FatalExit)
//   fixedtext:       fixed-width, blank-padded texts
//   fnames:          file names and the state of the input-file reader
//   groups:          the allocation groups a_<group> / d_<group> in their fixed order
//   harm_cus_com:    the custom-harmonic component records
//   harmimp:         the harmonic-impedance registry of the network components
//   harmimp1:        index work arrays of the harmonic-impedance scan
//   harmimp2:        connectivity work array of the harmonic-impedance scan
//   harmimp3:        complex work arrays of the harmonic-impedance scan
//   ideal:           the ideal-branch collapse lists and the diagonals saved at time zero
//   initialz:        the starting values of the shared state for one run
//   int1:            switching bookkeeping of the branches and the sub-step time
//   int2:            per-subsystem counts and node lists of the solution
//   int3:            the sparse-solver choice
//   int4:            the previous step's node injections, for change detection
//   misses:          failed answers of the console dialogue
//   mna:             the element tables of modified augmented nodal analysis
//   mrunseed:        the random stream of the multiple runs
//   multpl:          the multiple-run output file and the optimum run
//   ndde:            the dimension table: required sizes and working sizes
//   options:         the solution options, per subsystem and for the case
//   outppp:          per-channel data of the output channels and the plot settings
//   pf_display:      the load-flow display tables of the start-up dialogue
//   pmr_consolidate: what the last rank of a parallel multiple run merges
//   quolbv3:         the case map
//   radiolinks:      the values of the wireless signal links
//   release_each:    the release helper of every d_<group> routine
//   rt_config:       the configuration store of the _cfg / _exe routines
//   run_loop:        the end of the present run
//   snpdat:          the snapshot schedule
//   sock2:           the plot step last received from the design environment
//   sparse:          index lists of the sparse factor pattern, per subsystem
//   spcial:          the solution of the present sub-step before interpolation
//   storage:         the typed per-step stores and the transfer store, with their pointers
//   substep:         the sub-step record of one subsystem's solution (wakro::SubStep)
//   tandem_line:     the tandem-line option
//   temp1:           work arrays of the substitution, transformer reader and switching
//   temp2:           transformer history and matrix work arrays
//   temp3:           node work arrays of the snapshot and of the ideal-branch collapse
//   tf_subsystems:   the transformers of each subsystem, for the per-step loops
//   umec:            UMEC magnetic-core state of the transformers
//   versin:          the engine's version
//
// May call: the C++ standard library only. Nothing of ours is included from here.
#pragma once

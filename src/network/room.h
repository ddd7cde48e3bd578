// Room `network`: the per-step solution of every subsystem's nodal equations.
//
// Owns: the solution driver (intsolvi, finishup), the factorisation from the first
// changed node with its index lists and diagnostics (itriang, set_klu,
// itriang_errmsg), forward and back substitution (slvnew), the right-hand side and
// history terms with the branch accessors (buildca, history, wakro_gete,
// wakro_geti, vbranch, cbranch), the interpolation to instants inside a step
// (interpol, incalcvi, wakro_interpx), the ordinary step of a small plain
// subsystem in one routine (small_subsystem.h), the switching branches with
// their crossing tests, switchings inside the step, per-step limits and messages
// (switching.h, switch_records.h), chatter detection (chatter.h), the admittance
// of a frequency-dependent network equivalent (fdne.h), ideal branches and ideal
// sources (ideal_branches.h), the MNA elements with their set-up after a case or
// snapshot is read (mna_routines.h), and the sparse solver adapter over KLU and
// CXSparse from SuiteSparse (klu_adapter.h).
//
// Owns also every entry into the conductance matrix: the trapezoidal companion
// of a series R-L-C branch and its set-up entry, the series R-C branch of
// rcbranch and the interface branch of intfc_brnch1 (companion.h), the time-zero
// build to nodal form, the n x n admittance stamp, the run-time change of a
// branch conductance and the Norton injections (matrix.h); and the reader of the
// "BRANCHES:" section (rdbranch.h), which it registers with the case reader's
// hooks (use_branch_reader).
//
// Stands on `model` (the shared state modules), `diag` (messages, wakro_quit,
// console lines), `files` (the data-line and free-format readers) and `input`
// (the case reader's hooks), the last two for the branch reader. Sources, transformers and lines are higher rooms: the
// solution reaches them only through the hooks of hooks.h, which those rooms
// register at start-up. The network solution never calls a block. The hooks of
// record_checks.h carry the element rooms' checks of their own store records to
// the snapshot reader.
#pragma once

// Room `network`: the per-step solution of every subsystem's nodal equations.
//
// Owns: the solution driver (intsolvi, finishup), the factorisation from the first
// changed node with its index lists and diagnostics (itriang, set_klu,
// itriang_errmsg), forward and back substitution (slvnew), the right-hand side and
// history terms with the branch accessors (buildca, history, wakro_gete,
// wakro_geti, vbranch, cbranch), and the interpolation to instants inside a step
// (interpol, incalcvi, wakro_interpx).
//
// Stands on `model` (the shared state modules) and `diag` (messages, wakro_quit,
// console lines). Sources, transformers and lines are higher rooms: the solution
// reaches them only through the hooks of hooks.h, which those rooms register at
// start-up. The network solution never calls a block.
#pragma once

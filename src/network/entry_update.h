// What changed in a subsystem's matrix since its last assembly, and the update of
// only those entries (used by itriang).
//
// Three kinds of change reach the matrix between two factorisations: a switch
// takes another GEQ, a Norton node another GGIN, and the matrix helpers change
// entries of gm (change_branch_conductance, stamp_admittance), which note each
// node pair they touch here. After every assembly the solution records the
// switch conductances and Norton conductances it assembled and forgets the noted
// pairs. The next factorisation then knows every entry that changed, provided
// that MXINV was lowered by nothing else (a lower MXINV than the changes explain
// means a change this record did not see; the rows are then assembled again).
//
// On the sparse solver the changed entries are written straight into the stored
// compressed matrix: a map from each node's diagonal and each switch's two
// couplings to their positions there, made again whenever the stored pattern is
// replaced; each written entry is computed as the full assembly computes it, in
// the same order (gm, GGIN, then the switches in their list order), so the values
// are the same. The own elimination uses the record to know that the pattern did
// not grow, without comparing the patterns.
//
// Nothing here allocates once a subsystem has been assembled with its switches.
#pragma once

#include <cstdint>

#include "model/e_s0.h"

namespace wakro {

// Notes that gm(p, q) and gm(q, p) (and the diagonals of the non-ground nodes p, q)
// of ss changed. Called by the matrix helpers; p or q 0 is ground.
void note_gm_change(std::int32_t ss, std::int32_t p, std::int32_t q);

// Records, after an assembly of ss, the switch and Norton conductances it took, and
// forgets the noted pairs. every_node: GGIN of every node is recorded (after an
// assembly of rows from gm), not only of the listed Norton nodes.
void note_assembled(std::int32_t ss, bool every_node = true);

// True when every change of ss since its last recorded assembly is known, each one
// touches rows at or beyond m = MXINV (so that MXINV was lowered by them alone),
// and no noted pair lies outside temfil (the pattern did not grow; not checked
// with an empty temfil: the sparse update checks its stored pattern itself).
bool changes_known(std::int32_t ss, std::int32_t m, const e_s0::FillView& temfil);

// The sparse-solver path for a subsystem whose changes are known: writes the
// changed entries into the stored compressed matrix (and into rdc where it is
// allocated), marks the stored values as the ones to factorise and records the
// assembly. False, with nothing written, when the stored matrix is missing, of
// another order, or lacks a position of a change.
bool update_sparse_entries(std::int32_t ss, e_s0::RealView rdc, const e_s0::GmView& gm,
                           const e_s0::FilledView& filled);

// The sparse-solver path of a subsystem without work matrices (no MNA elements,
// no ideal branches): rows m..n of the stored compressed matrix assembled from gm,
// GGIN and the switches as the full assembly computes them, each entry in the
// same order. The stored pattern is made again from filled, the diagonal and the
// switches' couplings (and every row assembled) at the first solution of a run,
// when the stored matrix is missing or of another order, or when filled has a
// position in rows m..n that it lacks (the old positions then stay). Records the
// assembly and marks the stored values as the ones to factorise. Returns the
// first row assembled; 0 when the memory for a new pattern cannot be had (the
// solve then reports it).
std::int32_t assemble_sparse_rows(std::int32_t ss, std::int32_t m, bool first_solution,
                                  const e_s0::GmView& gm, const e_s0::FilledView& filled);

// The sum of every entry of the stored matrix of ss, column by column (rows
// ascending): the sum of every entry of the assembled matrix, in its order.
double sparse_entry_sum(std::int32_t ss);

}  // namespace wakro

// Ideal branches and ideal sources: branches of zero impedance that cannot enter
// the nodal matrix as a conductance. Their end nodes are collapsed instead: the
// row of one end becomes the constraint "both ends differ by the branch's source
// voltage" and its current balance moves to the other end's row; an ideal branch
// to ground turns its node's row into "this voltage is the source voltage". After
// each solution the current of every ideal branch is found from the current
// balance at one of its nodes.
//
// The lists (per subsystem: ideal::clpslist, nidlbr, gidlbr; per branch
// branches::flipidlbr) are made again, whole, at every factorisation of the
// subsystem; the matrix rows change only from MXINV on. ideal::nodev, nodev1,
// vsrc and ibrlist are work lists valid within one call.
#pragma once

#include <cstdint>

// Lowers MXINV(ss) so that no ideal branch has one end before it and one from it.
void istnew(std::int32_t ss);
// Collapses the ideal branches of ss in its working matrix, rows MXINV(ss) on.
void idlsrc(std::int32_t ss);
// Returns when no loop of ideal branches of ss holds an ideal source; otherwise
// ends the run.
void sctest(std::int32_t ss);
// brq >= 1: iq := the current of ideal branch brq from the present solution.
// brq < 1: the currents of all ideal branches of ss moved towards the present
// solution by frac (with their source currents unless nosrc). chk has no effect.
void idlcur(std::int32_t ss, double frac, std::int32_t brq, double& iq, bool chk, bool nosrc);

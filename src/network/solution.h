// The routines of the network solution, subsystem by subsystem and step by step.
//
// The step fractions and flags of one subsystem's solution travel between its
// routines as one record, wakro::SubStep (model/substep.h), owned by intsolvi.
// Node 0 is ground: its voltage is 0 and no routine here reads or writes index 0
// of a node array.
#pragma once

#include <cstdint>

#include "model/substep.h"

namespace wakro {
struct SubsystemColumns;  // network/branch_view.h
}

// One network solution of the step, every subsystem in ascending order.
void intsolvi();
// Keeps the previous-step copies of subsystem ss at the end of its step.
void finishup(std::int32_t ss);

// Brings the factorised matrix of ss up to date from row MXINV(ss).
void itriang(std::int32_t ss);
// Chooses the subsystems solved by the sparse solver (at the end of a case read,
// and again at the start of a data run).
void set_klu();
// Marks, before the work matrices are allocated, the subsystems on the sparse
// solver without MNA elements or ideal branches: their matrix is assembled
// straight into the solver's store, so they get no work matrices. Every other
// subsystem whose gm and filled kept their entries only gets them dense.
void mark_sparse_subsystems();
// k >= 1: the singular pivot report for node k; k < 1: the small-diagonal report.
void itriang_errmsg(std::int32_t k, std::int32_t ss);

// New node voltages spcial::vdcnew(1..MBUS(ss)) from the right-hand side e_s0::ca.
void slvnew(std::int32_t ss, const wakro::SubStep& s);

// Part histories of the branches summed into e_s0::ccgm.
void history(std::int32_t ss);
// Histories of a solution at a switching instant: inductor currents and capacitor
// voltages kept, the new topology deciding the rest (startup_history.cpp).
void startup_history(std::int32_t ss);
// After the first solution that follows one at a switching instant (s its
// sub-step): the values at the instant, extrapolated back to it through the two
// solutions (startup_history.cpp).
void settle_instant_values(std::int32_t ss, const wakro::SubStep& s);
// Right-hand side e_s0::ca(1..MBUS(ss)) of the present sub-step.
void buildca(std::int32_t ss, const wakro::SubStep& s);
// Source voltage of branch br for the present sub-step; the caller has set
// storage::this_ to THISBR(br, ss).
double wakro_gete(std::int32_t br, std::int32_t ss, const wakro::SubStep& s, bool regsrc,
                  bool advance);
// Current source of branch br for the present sub-step.
double wakro_geti(std::int32_t br, std::int32_t ss, const wakro::SubStep& s);
// Branch voltage VDC(IEF) - VDC(IET) (ground as 0 V) and branch current CBR.
double vbranch(std::int32_t ss, std::int32_t br);
double cbranch(std::int32_t ss, std::int32_t br);

// Fraction at which the straight line from a to b reaches c, within 0 .. 1.
double wakro_interpx(double a, double b, double c);
// Earliest crossing fraction (frac) and the switching fraction (xearly).
void interpol(std::int32_t ss, wakro::SubStep& s);
// Moves the state of ss to the end of the sub-step by fracv.
void incalcvi(std::int32_t ss, const wakro::SubStep& s);

// The same routines on the columns of ss that the caller took
// (wakro::subsystem_columns(ss), with no case-sized array allocated or released
// since; history's columns must also outlast the dsmdyn hook it calls first,
// which allocates nothing): the solution driver takes them once for the routines
// of a pass instead of each routine again.
void history(std::int32_t ss, const wakro::SubsystemColumns& c);
void buildca(std::int32_t ss, const wakro::SubStep& s, const wakro::SubsystemColumns& c);
void slvnew(std::int32_t ss, const wakro::SubStep& s, const wakro::SubsystemColumns& c);
void incalcvi(std::int32_t ss, const wakro::SubStep& s, const wakro::SubsystemColumns& c);
void finishup(std::int32_t ss, const wakro::SubsystemColumns& c);

namespace wakro {

// Largest number of solution passes of one subsystem in one step. Reaching it is
// reported once and freezes the switches of the subsystem for the rest of the step.
inline constexpr std::int32_t kMaxSolutionPasses = 1000;

// True when branch br of ss is a registered voltage source (its storage record
// holds branch_code::registered_source); sets storage::this_ to THISBR(br, ss) first.
// The passes of a step (buildca, incalcvi, finishup) read the lookup made once
// per step instead (source_records, network/branch_view.h).
bool registered_source(std::int32_t br, std::int32_t ss);

}  // namespace wakro

// The step of a small subsystem in one routine: a few nodes, a few dozen
// series R-L-C branches of its own (with sources, switches among them),
// nothing due but one solution, no switch crossing in the step. A case cut by
// its lines into many such subsystems, or a converter bridge between two
// commutations, would otherwise pay, per subsystem and step, the fixed cost of
// the general driver and of its six routines (history, buildca, slvnew,
// interpol, incalcvi, finishup) for a few hundred operations of arithmetic.
#pragma once

#include <cstdint>

namespace wakro {

struct SubsystemColumns;  // network/branch_view.h

// What a small step needs of the whole network, the same for every subsystem
// of one solution: whether the step may be one, which of the replaceable
// routines are the solution's own, and the time at the step's end.
struct SmallStepRun {
  bool possible = false;      // no step-wide reason for the general path
  bool own_chatdt = false;    // the chatter detector is the own one
  bool own_crossing = false;  // the switch crossing test is the own one
  bool plain_dsmdyn = false;  // dsmdyn is the routine of the process (see NetworkHooks)
  double end_time = 0.0;      // int1::solution_time at the step's end
};
// Found at the start of a solution, before its subsystems are solved.
SmallStepRun small_step_run();

// One ordinary step of subsystem ss (MBUS(ss) >= 1) when it is such a
// subsystem and no switch of it crosses in the step, on its columns c taken at
// the step's start after the changed Norton nodes were detected and the
// switches prepared, with what run found of the whole network: the
// histories, the right-hand side, the solution, the new state with the chatter
// check, and the copies kept for the next step, every value as the general
// path leaves it, to the bit.
// Returns false, having changed nothing, when the step is not such a step (the
// general path then solves it). After an attempt that found a switch crossing,
// the next steps of ss make none for a while (a pause that grows while the
// attempts keep failing): they go the general way, with the same values.
// Allocates nothing.
bool small_subsystem_step(std::int32_t ss, const SubsystemColumns& c, const SmallStepRun& run);

// At time zero, before the subsystems are solved: no subsystem of the run's
// nmat is in a pause.
void reset_small_step_pauses(std::int32_t nmat);

namespace detail {
// For tests that hold the general path against this one: set, every step takes
// the general path; small_steps_taken counts the steps taken here.
inline bool small_step_disabled = false;
inline std::uint64_t small_steps_taken = 0;
// The attempts that found a switch crossing inside the step and left it to the
// general path.
inline std::uint64_t small_steps_declined = 0;
}  // namespace detail

}  // namespace wakro

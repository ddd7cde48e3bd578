// The routines of the network solution, subsystem by subsystem and step by step.
//
// Names of the step fractions and flags, passed by reference between the routines
// of one subsystem's solution:
//   elapsed   fraction of the step already solved (0 at the start of the step)
//   frac      length of the present sub-step; from interpol the earliest crossing
//   xearly    switching fraction chosen by interpol (1.5: none)
//   fracv     interpolation fraction handed to incalcvi (frac limited to 1)
//   iflag     re-solution at the present instant after a change of the matrix
//   iflag2    that re-solution is at the start of the step
//   notfirst  a solution of this step exists already (interpolate, do not copy)
//   stepdone  the present sub-step reaches the end of the step
// Node 0 is ground: its voltage is 0 and no routine here reads or writes index 0
// of a node array.
#pragma once

#include <cstdint>

// One network solution of the step, every subsystem in ascending order.
void intsolvi();
// Keeps the previous-step copies of subsystem ss at the end of its step.
void finishup(std::int32_t ss);

// Brings the factorised matrix of ss up to date from row MXINV(ss).
void itriang(std::int32_t ss);
// Chooses the subsystems solved by the sparse solver (start of a data run).
void set_klu();
// k >= 1: the singular pivot report for node k; k < 1: the small-diagonal report.
void itriang_errmsg(std::int32_t k, std::int32_t ss);

// New node voltages spcial::vdcnew(1..MBUS(ss)) from the right-hand side e_s0::ca.
void slvnew(std::int32_t ss, double& elapsed, bool& notfirst, bool& iflag, bool& iflag2);

// Part histories of the branches summed into e_s0::ccgm.
void history(std::int32_t ss);
// Right-hand side e_s0::ca(1..MBUS(ss)) of the present sub-step.
void buildca(std::int32_t ss, double& elapsed, bool& notfirst, bool& iflag, bool& iflag2);
// Source voltage of branch br for the present sub-step; the caller has set
// storage::this_ to THISBR(br, ss).
double wakro_gete(std::int32_t br, std::int32_t ss, bool iflag, bool regsrc, bool notfirst,
                  bool advance, bool iflag2, double elapsed);
// Current source of branch br for the present sub-step.
double wakro_geti(std::int32_t br, std::int32_t ss, bool iflag, bool notfirst, bool iflag2,
                  double elapsed);
// Branch voltage VDC(IEF) - VDC(IET) (ground as 0 V) and branch current CBR.
double vbranch(std::int32_t ss, std::int32_t br);
double cbranch(std::int32_t ss, std::int32_t br);

// Fraction at which the straight line from a to b reaches c, within 0 .. 1.
double wakro_interpx(double a, double b, double c);
// Earliest crossing fraction (frac) and the switching fraction (xearly).
void interpol(std::int32_t ss, double& elapsed, double& frac, double& xearly, bool& iflag2,
              bool& iflag);
// Moves the state of ss to the end of the sub-step by fracv.
void incalcvi(std::int32_t ss, double& elapsed, double& fracv, bool& stepdone, bool& notfirst,
              bool& iflag2, bool& iflag);

namespace wakro {

// Largest number of solution passes of one subsystem in one step. Reaching it is
// reported once and freezes the switches of the subsystem for the rest of the step.
inline constexpr std::int32_t kMaxSolutionPasses = 1000;

// True when branch br of ss is a registered voltage source (its storage record
// holds branch_code::registered_source); sets storage::this_ to THISBR(br, ss) first.
bool registered_source(std::int32_t br, std::int32_t ss);

}  // namespace wakro

// The per-step solution of a synchronous machine's six winding currents (d axis:
// armature, field, damper; q axis: armature and one or two rotor circuits) over
// one step, by Heun's predictor-corrector, with the d-axis flux taken through
// the saturation zones found anew in each evaluation. Works on the block set up
// by setup.h; keeps nothing between calls except kVdPerOmega ..
// kVqPerOmega; the caller stores the returned currents. Allocates nothing.
#pragma once

#include <cstdint>

#include "machines/machine_block.h"

namespace wakro::machines {

struct MachineCurrents {
  double id = 0.0, ifd = 0.0, ikd = 0.0, iq = 0.0, ikq1 = 0.0, ikq2 = 0.0;
};

// One evaluation: the increments of the six currents and the axis voltages.
struct Evaluation {
  MachineCurrents delta;
  double vd = 0.0, vq = 0.0;
};

// One step: the new currents and the axis voltages of the second evaluation.
struct StepResult {
  MachineCurrents next;
  double vd = 0.0, vq = 0.0;
};

// Zone (1 .. n) of magnetising current i; 0 when the block has no zone.
std::int32_t fndzon(const MachineBlock& blk, double i);
// d-axis armature flux Xa id + flux of the magnetising current im in zone j.
double dflux(const MachineBlock& blk, double id, double im, std::int32_t j);
// Phase quantities to the stator's two axes, plain and advanced by one step.
void xtrf1(const MachineBlock& blk, double a, double b, double c, double& alpha, double& beta);
void xtrf2(const MachineBlock& blk, double a, double b, double c, double& alpha, double& beta);
// One evaluation at state s with axis voltages (alpha, beta), field voltage ef,
// factor kr on the rotor resistances, rotor angle theta, speed factor wr and
// step factor h.
Evaluation dltcrt(const MachineBlock& blk, const MachineCurrents& s, double alpha, double beta, double ef, double kr,
                  double theta, double wr, double h);
// One step from the phase quantities a, b, c, field voltage efd, factor kr, step
// factor h, speed wr and the rotor angles theta0, theta1 at the start and the
// end of the step.
StepResult macslv(const MachineBlock& blk, double a, double b, double c, double efd, double kr, double h, double wr,
                  double theta0, double theta1, const MachineCurrents& s);

}  // namespace wakro::machines
